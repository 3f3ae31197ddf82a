// Channel Scan Report: the Channel Scan Result extractor and its neighbour lists at record
// offsets, their release, the compact form (lengths, bytes, cuts at the buffer's end), the
// steering-side decoder, and a randomised encode/decode round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "reports/metrics/scan_link.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

const Bytes kRuid = mac("02:00:00:00:aa:01");
const Bytes kRuid2 = mac("02:00:00:00:aa:02");
const std::string kCut = "[MSG] ChScanRpt: ERROR!!!: offset is bigger than SOCKET_MAX_LENGTH:32762\n";

// Record offsets of radio r and of its channel entry c.
constexpr size_t radio_at(size_t r) { return 3 + 4880 * r; }
constexpr size_t chan_at(size_t r, size_t c) { return 83 + 4880 * r + 80 * c; }

Bytes head(const Bytes& ruid, unsigned opc, unsigned ch, unsigned status)
{
    return cat({ruid, u8(opc), u8(ch), u8(status)});
}

Bytes nbr(const char* bssid, const std::string& ssid, unsigned signal, const std::string& bw, unsigned present,
          unsigned util = 0, unsigned sta = 0)
{
    Bytes b = cat({mac(bssid), u8(static_cast<unsigned>(ssid.size())), text(ssid), u8(signal),
                   u8(static_cast<unsigned>(bw.size())), text(bw), u8(present)});
    return present & 0x80 ? cat({b, u8(util), be16(sta)}) : b;
}

Bytes ok(const Bytes& ruid, unsigned opc, unsigned ch, const Bytes& stamp, unsigned util, unsigned noise,
         const std::vector<Bytes>& nbrs, unsigned long duration, unsigned type)
{
    Bytes b = cat({head(ruid, opc, ch, 0), u8(static_cast<unsigned>(stamp.size())), stamp, u8(util), u8(noise),
                   be16(static_cast<unsigned>(nbrs.size()))});
    for (const Bytes& n : nbrs) b = cat({b, n});
    return cat({b, be32(duration), u8(type)});
}

Bytes le16(unsigned v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
Bytes le32(unsigned long v) { return cat({le16(v & 0xFFFF), le16(v >> 16 & 0xFFFF)}); }

// A neighbour whose compact block takes 13 + s + w bytes.
Bytes sized_nbr(size_t s, size_t w) { return nbr("02:bb:00:00:00:01", std::string(s, 's'), 1, std::string(w, 'w'), 0); }

Bytes padded(const Bytes& b, size_t n)
{
    Bytes out = b;
    out.resize(n, 0);
    return out;
}

// A record of the parser's shape, released (nodes first) when the test ends.
struct Record {
    uint8_t* p = static_cast<uint8_t*>(calloc(1, sizeof(ChScanRpt)));
    Record() { p[0] = 0x1C, p[1] = 0x80; }
    ~Record()
    {
        luSL_ChScanRpt_NbrBss_clear(rec());
        free(p);
    }
    ChScanRpt* rec() const { return reinterpret_cast<ChScanRpt*>(p); }
    int add(const Bytes& value) const { return tlv_ChScanResult_extract(value.data(), p); }
    Bytes at(size_t off, size_t n) const { return Bytes(p + off, p + off + n); }
    Bytes all() const { return at(0, sizeof(ChScanRpt)); }
    uint16_t le16(size_t off) const { return static_cast<uint16_t>(p[off] | p[off + 1] << 8); }
    uint32_t le32(size_t off) const { return le32_at(at(off, 4), 0); }
};

struct ScanRecord : testing::Test {
    LogCapture log;
};

TEST_F(ScanRecord, FailedScanStoresOnlyClassChannelAndStatus)
{
    Record r;
    ASSERT_EQ(r.add(ok(kRuid, 115, 36, text("2024-01-01T00:00:00Z"), 9, 180, {}, 0x01020304, 0x80)), 0);
    ASSERT_EQ(r.add(head(kRuid, 121, 100, 0x01)), 0);
    EXPECT_EQ(r.p[2], 1);
    EXPECT_EQ(r.p[radio_at(0) + 72], 2);
    // The failed result leaves the radio's duration and scan type of the earlier one.
    EXPECT_EQ(r.le32(radio_at(0) + 76), 0x01020304u);
    EXPECT_EQ(r.p[radio_at(0)], 0x80);
    EXPECT_EQ(r.at(chan_at(0, 1), 80), cat({raw({121, 100, 1}), zeros(77)}));
    EXPECT_TRUE(log.contains(8, 7,
                             "[TLV] Ch Scan result: Radio 02:00:00:00:AA:01, Opclass = 121, Channel = 100, Status = 1\n"));
}

TEST_F(ScanRecord, SuccessfulResultFillsRadioChannelAndList)
{
    Record r;
    const Bytes stamp = text("2024-05-06T07:08:09.123+00:00");
    ASSERT_EQ(r.add(ok(kRuid, 115, 44, stamp, 10, 200,
                       {nbr("02:bb:00:00:00:01", "abc", 0x55, "20", 0x80, 0x20, 0x0105),
                        nbr("02:bb:00:00:00:02", "", 0x33, "", 0x7F), nbr("02:bb:00:00:00:03", "x", 1, "80", 0)},
                       0xA0B0C0D0, 0x81)),
              0);
    EXPECT_EQ(r.at(0, 3), raw({0x1C, 0x80, 1}));
    EXPECT_EQ(r.p[radio_at(0)], 0x81);
    EXPECT_EQ(r.at(radio_at(0) + 1, 6), kRuid);
    EXPECT_EQ(r.at(radio_at(0) + 7, 65), padded(stamp, 65));
    EXPECT_EQ(r.p[radio_at(0) + 72], 1);
    EXPECT_EQ(r.le32(radio_at(0) + 76), 0xA0B0C0D0u);
    const size_t c = chan_at(0, 0);
    EXPECT_EQ(r.at(c, 6), raw({115, 44, 0, 10, 200, 0}));
    EXPECT_EQ(r.le16(c + 6), 3);
    EXPECT_EQ(r.at(c + 8, 65), padded(stamp, 65));
    EXPECT_NE(r.le32(c + 76), 0u);
    // Nothing else of the record was touched.
    Bytes rest = r.all();
    std::fill(rest.begin(), rest.begin() + static_cast<long>(chan_at(0, 1)), 0);
    EXPECT_EQ(rest, zeros(sizeof(ChScanRpt)));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] Ch Scan result: Util = 10, NumNbr = 3, Noise = 200\n"));
    EXPECT_TRUE(log.at_most(6).empty());

    // The clear releases the list (ASan/LSan would see a double free or a leak), zeroes the
    // count and keeps the head; a second clear frees nothing.
    const uint32_t head_link = r.le32(c + 76);
    luSL_ChScanRpt_NbrBss_clear(r.rec());
    EXPECT_EQ(r.le16(c + 6), 0);
    EXPECT_EQ(r.le32(c + 76), head_link);
    luSL_ChScanRpt_NbrBss_clear(r.rec());
}

TEST_F(ScanRecord, TimestampsOverlayOnTheRadioAndStayWholePerChannel)
{
    Record r;
    const Bytes t32 = text("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    const Bytes t30 = text("abcdefghijklmnopqrstuvwxyz6789");
    ASSERT_EQ(r.add(ok(kRuid, 1, 1, t32, 0, 0, {}, 0, 0)), 0);
    ASSERT_EQ(r.add(ok(kRuid, 1, 2, t30, 0, 0, {}, 0, 0)), 0);
    EXPECT_EQ(r.at(radio_at(0) + 7, 65), padded(cat({t30, text("45")}), 65));
    EXPECT_EQ(r.at(chan_at(0, 0) + 8, 65), padded(t32, 65));
    EXPECT_EQ(r.at(chan_at(0, 1) + 8, 65), padded(t30, 65));

    // A 70-byte timestamp: 65 bytes on the radio, 64 characters and a zero on the channel,
    // and the fields behind it read from their true places.
    Bytes t70(70, 0);
    for (size_t i = 0; i < t70.size(); ++i) t70[i] = static_cast<uint8_t>('A' + i % 26);
    ASSERT_EQ(r.add(ok(kRuid, 1, 3, t70, 77, 88, {}, 5, 6)), 0);
    EXPECT_EQ(r.at(radio_at(0) + 7, 65), slice(t70, 0, 65));
    EXPECT_EQ(r.at(chan_at(0, 2) + 8, 65), padded(slice(t70, 0, 64), 65));
    EXPECT_EQ(r.at(chan_at(0, 2) + 3, 2), raw({77, 88}));
    EXPECT_EQ(r.le32(radio_at(0) + 76), 5u);
    EXPECT_EQ(r.p[radio_at(0)], 6);

    // A zero inside the timestamp ends the channel's string; the radio keeps every byte.
    const Bytes zeroed = text(std::string("12\0" "45", 5));
    ASSERT_EQ(r.add(ok(kRuid, 1, 4, zeroed, 0, 0, {}, 0, 0)), 0);
    EXPECT_EQ(r.at(chan_at(0, 3) + 8, 65), padded(text("12"), 65));
    EXPECT_EQ(r.at(radio_at(0) + 7, 5), zeroed);
}

TEST_F(ScanRecord, RadiosAreMatchedByRuidAndLimitedToTwo)
{
    Record r;
    ASSERT_EQ(r.add(head(kRuid, 1, 1, 1)), 0);
    ASSERT_EQ(r.add(head(kRuid2, 1, 2, 1)), 0);
    ASSERT_EQ(r.add(head(kRuid, 1, 3, 1)), 0);
    EXPECT_EQ(r.p[2], 2);
    EXPECT_EQ(r.p[radio_at(0) + 72], 2);
    EXPECT_EQ(r.p[radio_at(1) + 72], 1);
    EXPECT_EQ(r.at(radio_at(1) + 1, 6), kRuid2);
    EXPECT_EQ(r.at(chan_at(0, 1), 3), raw({1, 3, 1}));

    const Bytes before = r.all();
    EXPECT_EQ(r.add(head(mac("02:00:00:00:aa:03"), 1, 4, 0x01)), -1);
    EXPECT_TRUE(log.contains(8, 4, "[TLV] ChScanRpt TLV number of radio exceed max definition\n"));
    EXPECT_EQ(r.add(head(zeros(6), 1, 4, 0x01)), -1);
    EXPECT_TRUE(log.contains(8, 4, "[TLV] ChScanRpt TLV radio mac is null\n"));
    EXPECT_EQ(r.all(), before);
}

TEST_F(ScanRecord, SixtyFirstChannelIsRefused)
{
    Record r;
    for (unsigned c = 0; c < 60; ++c) ASSERT_EQ(r.add(head(kRuid, 1, c, 1)), 0);
    const Bytes before = r.all();
    EXPECT_EQ(r.add(head(kRuid, 1, 60, 1)), -1);
    EXPECT_TRUE(log.contains(8, 4, "[TLV] ChScanRpt TLV number of channel exceed max definition\n"));
    EXPECT_EQ(r.all(), before);
    // A repeated (class, channel) is a new entry, not a lookup.
    Record twice;
    ASSERT_EQ(twice.add(head(kRuid, 1, 6, 1)), 0);
    ASSERT_EQ(twice.add(head(kRuid, 1, 6, 2)), 0);
    EXPECT_EQ(twice.p[radio_at(0) + 72], 2);
    EXPECT_EQ(twice.at(chan_at(0, 1), 3), raw({1, 6, 2}));
}

TEST(ScanCheckingNullMAC, NullAndAllZeroOnly)
{
    const uint8_t zero[6] = {}, last[6] = {0, 0, 0, 0, 0, 1}, first[6] = {0x80, 0, 0, 0, 0, 0};
    EXPECT_EQ(CheckingNullMAC(nullptr), 1);
    EXPECT_EQ(CheckingNullMAC(zero), 1);
    EXPECT_EQ(CheckingNullMAC(last), 0);
    EXPECT_EQ(CheckingNullMAC(first), 0);
}

// Through the parser: a failed walk is not sent and its nodes are released (LSan checks).
struct ScanParse : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
};

TEST_F(ScanParse, ThirdRadioFailsTheReportAndReleasesTheLists)
{
    const Bytes n = nbr("02:bb:00:00:00:01", "net", 40, "20", 0);
    EXPECT_FALSE(parse_n(rx, 0x801C,
                         stream({tlv(0xA7, ok(kRuid, 1, 1, {}, 0, 0, {n, n}, 0, 0)),
                                 tlv(0xA7, ok(kRuid2, 1, 1, {}, 0, 0, {n}, 0, 0)),
                                 tlv(0xA7, ok(mac("02:00:00:00:aa:03"), 1, 1, {}, 0, 0, {n}, 0, 0))})));
    EXPECT_TRUE(log.contains(8, 4, "[TLV] ChScanRpt TLV number of radio exceed max definition\n"));
}

// Every Channel Scan Result cut short one byte at a time is refused with one error line. The
// cut TLV comes first; the whole one after it still builds a list that the release frees.
TEST_F(ScanParse, TruncatedResultsAreRefused)
{
    const Bytes whole = tlv(0xA7, ok(kRuid2, 1, 1, text("t"), 0, 0, {nbr("02:bb:00:00:00:09", "z", 1, "", 0)}, 0, 0));
    const Bytes values[] = {
        head(kRuid, 1, 2, 1),
        ok(kRuid, 115, 36, text("2024"), 1, 2,
           {nbr("02:bb:00:00:00:01", "abc", 3, "20", 0x80, 4, 5), nbr("02:bb:00:00:00:02", "", 6, "40", 0x00)}, 7, 8),
        // Strings longer than their record fields are stepped over, never read past.
        ok(kRuid, 115, 36, Bytes(70, 'T'), 1, 2, {nbr("02:bb:00:00:00:03", std::string(40, 's'), 3,
                                                      std::string(34, 'w'), 0x80, 1, 2)},
           7, 8),
    };
    for (const Bytes& v : values) {
        for (size_t len = 0; len < v.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "size " << v.size() << " cut to " << len);
            log.clear();
            EXPECT_FALSE(parse_n(rx, 0x801C, cat({tlv(0xA7, slice(v, 0, len)), whole})));
            const auto errors = log.at_most(3);
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_EQ(errors[0], (LogLine{8, 3, "",
                                          "[TLV] ChScanResult: TLV length " + std::to_string(len) +
                                              " is too short for its content\n"}));
        }
        log.clear();
        EXPECT_TRUE(parse_n(rx, 0x801C, cat({tlv(0xA7, v), whole})));
        EXPECT_TRUE(log.at_most(3).empty());
    }
}

// The 4-byte links of a 64-bit host come from a fixed table: a table full fails like a
// failed allocation, the nodes taken so far are released, and the next parse starts afresh.
TEST_F(ScanParse, NodeAllocationFailureReleasesWhatWasLinked)
{
#if UINTPTR_MAX <= 0xFFFFFFFFu
    GTEST_SKIP() << "links are addresses here; allocation does not fail on demand";
#else
    const size_t per_tlv = scan::kNodeTableSize * 3 / 4;
    const Bytes n = nbr("02:bb:00:00:00:01", "", 1, "", 0);
    auto many = [&](unsigned channel) {
        Bytes v = cat({head(kRuid, 1, channel, 0), u8(0), u8(0), u8(0), be16(static_cast<unsigned>(per_tlv))});
        for (size_t i = 0; i < per_tlv; ++i) v.insert(v.end(), n.begin(), n.end());
        return tlv(0xA7, cat({v, be32(0), u8(0)}));
    };
    EXPECT_FALSE(parse_n(rx, 0x801C, cat({many(1), many(2)})));
    EXPECT_TRUE(log.contains(8, 3, "[TLV] Ch Scan result: Allocate memory fail\n"));
    log.clear();
    // The table emptied with the release: the same number of nodes fits again. So many
    // neighbours do not fit one datagram; the compact form is cut, not refused.
    auto got = parse_n(rx, 0x801C, many(1));
    ASSERT_TRUE(got);
    EXPECT_LE(got->size(), size_t{SOCKET_MAX_LENGTH});
    EXPECT_FALSE(log.contains(8, 3, "[TLV] Ch Scan result: Allocate memory fail\n"));
#endif
}

// The record in the slot, as the parser holds it; luSL_Msg_free releases it with its nodes.
struct Slot {
    Slot()
    {
        pChScanRpt = static_cast<ChScanRpt*>(calloc(1, sizeof(ChScanRpt)));
        pChScanRpt->hdr = {0x1C, 0x80};
    }
    ~Slot() { luSL_Msg_free(0x801C); }
    int add(const Bytes& value) const { return tlv_ChScanResult_extract(value.data(), reinterpret_cast<uint8_t*>(pChScanRpt)); }
    Bytes encode() const
    {
        const int n = luSL_ChScanRptSendV2(nullptr);
        return n > 0 ? Bytes(pChScanRptSendBuf, pChScanRptSendBuf + n) : Bytes{};
    }
};

struct Decoded {
    luSL_ChScanReport rpt;
    std::vector<luSL_ChScanNbr> nbrs = std::vector<luSL_ChScanNbr>(LUSL_CHSCAN_MAX_NBR);
    int n;
    explicit Decoded(const Bytes& b) : n(luSL_ChScanRpt_decode(b.data(), b.size(), &rpt, nbrs.data(), nbrs.size())) {}
};

struct ScanCompact : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
};

TEST_F(ScanCompact, OneChannelIs152BytesAndOneSmallNeighbourAdds18)
{
    const Bytes stamp = text("2024-01-01T00:00:00Z");
    auto bare = parse(rx, 0x801C, stream({tlv(0xA7, ok(kRuid, 115, 36, stamp, 9, 180, {}, 0x01020304, 0x80))}));
    ASSERT_TRUE(bare);
    const Bytes radio = cat({raw({0x1C, 0x80, 1}), kRuid, padded(stamp, 65), le32(0x01020304), u8(0x80), u8(1)});
    const Bytes channel = cat({raw({115, 36, 0}), padded(stamp, 65), u8(9), u8(180)});
    EXPECT_EQ(*bare, cat({radio, channel, le16(0)}));
    EXPECT_EQ(bare->size(), 152u);

    auto one = parse(rx, 0x801C,
                     stream({tlv(0xA7, ok(kRuid, 115, 36, stamp, 9, 180, {nbr("02:bb:00:00:00:01", "abc", 0x55, "20", 0)},
                                          0x01020304, 0x80))}));
    ASSERT_TRUE(one);
    EXPECT_EQ(one->size(), 170u);
    EXPECT_EQ(*one, cat({radio, channel, le16(1), mac("02:bb:00:00:00:01"), u8(3), text("abc"), u8(0x55), u8(2),
                         text("20"), zeros(4)}));
}

TEST_F(ScanCompact, NeighbourBlocksFollowTheListWithTheirLoadData)
{
    auto got = parse(rx, 0x801C,
                     stream({tlv(0xA7, ok(kRuid, 1, 6, {}, 0, 0,
                                          {nbr("02:bb:00:00:00:01", "a", 1, "", 0x80, 0x20, 5),
                                           nbr("02:bb:00:00:00:02", "bb", 2, "4", 0x7F),
                                           nbr("02:bb:00:00:00:03", std::string(40, 'L'), 3, "", 0xC0, 7, 0x0102)},
                                          0, 0)),
                             tlv(0xA7, head(kRuid2, 2, 7, 0x03))}));
    ASSERT_TRUE(got);
    const Bytes nbrs = cat({
        mac("02:bb:00:00:00:01"), u8(1), text("a"), u8(1), u8(0), raw({0x80, 0x20, 0x05, 0x00}),
        mac("02:bb:00:00:00:02"), u8(2), text("bb"), u8(2), u8(1), text("4"), raw({0x7F, 0, 0, 0}),
        // An SSID longer than the node's 33 bytes goes out as its first 33.
        mac("02:bb:00:00:00:03"), u8(33), text(std::string(33, 'L')), u8(3), u8(0), raw({0xC0, 7, 0x02, 0x01}),
    });
    const Bytes want = cat({raw({0x1C, 0x80, 2}), kRuid, zeros(65 + 4 + 1), u8(1), raw({1, 6, 0}), zeros(67), le16(3),
                            nbrs, kRuid2, zeros(70), u8(1), raw({2, 7, 3}), zeros(67), le16(0)});
    EXPECT_EQ(*got, want);
}

TEST_F(ScanCompact, RadioWithoutChannelsAndChannelCountRefusal)
{
    {
        Slot s;
        pChScanRpt->radio_num = 1;
        pChScanRpt->radio[0].ruid[5] = 1;
        pChScanRpt->radio[0].scan_duration = 0x11223344;
        EXPECT_EQ(s.encode(), cat({raw({0x1C, 0x80, 1}), zeros(5), u8(1), zeros(65), le32(0x11223344), u8(0), u8(0)}));
        pChScanRpt->radio[0].ch_num = 61;
        EXPECT_EQ(luSL_ChScanRptSendV2(nullptr), 0);
        EXPECT_TRUE(log.contains(
            4, 3, "[MSG] ChScanRpt: ERROR!!!: num of channel is bigger than MAX_CHANNEL_NUM_PER_OPCLASS:61\n"));
    }
    // An empty report (no result TLV) goes out as its header and a radio count of 0.
    auto empty = parse(rx, 0x801C, stream({}));
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, raw({0x1C, 0x80, 0}));
}

TEST_F(ScanCompact, EncodingOnlyReadsTheListsAndFallsBackToTheArgument)
{
    Slot s;
    ASSERT_EQ(s.add(ok(kRuid, 1, 1, text("x"), 1, 2, {sized_nbr(3, 2), sized_nbr(0, 0)}, 3, 4)), 0);
    const Bytes first = s.encode();
    EXPECT_EQ(s.encode(), first);
    // With the slot empty, the record passed is encoded (and only read).
    ChScanRpt* held = pChScanRpt;
    pChScanRpt = nullptr;
    const int n = luSL_ChScanRptSendV2(reinterpret_cast<const uint8_t*>(held));
    pChScanRpt = held;
    EXPECT_EQ(Bytes(pChScanRptSendBuf, pChScanRptSendBuf + n), first);
}

// Radio 0: channels 0-38 of 9 neighbour blocks of 79 bytes, channel 39 of 25 such blocks and
// one of 19, so that channel 40 is checked at offset 32683 (+80 > 32762) and cut. Radio 1's
// 77-byte block still fits, its first channel does not.
TEST_F(ScanCompact, ChannelsThatDoNotFitAreCutAndCountedDown)
{
    Slot s;
    const Bytes big = sized_nbr(33, 33);
    const std::vector<Bytes> nine(9, big);
    std::vector<Bytes> last(25, big);
    last.push_back(sized_nbr(6, 0));
    for (unsigned c = 0; c < 39; ++c) ASSERT_EQ(s.add(ok(kRuid, 1, c, {}, 0, 0, nine, 0, 0)), 0);
    ASSERT_EQ(s.add(ok(kRuid, 1, 39, {}, 0, 0, last, 0, 0)), 0);
    for (unsigned c = 40; c < 45; ++c) ASSERT_EQ(s.add(head(kRuid, 1, c, 1)), 0);
    for (unsigned c = 0; c < 3; ++c) ASSERT_EQ(s.add(head(kRuid2, 1, c, 1)), 0);

    log.clear();
    const Bytes got = s.encode();
    ASSERT_EQ(got.size(), 32760u);
    EXPECT_EQ(got[2], 2);
    EXPECT_EQ(got[79], 40);
    EXPECT_EQ(slice(got, 32683, 6), kRuid2);
    EXPECT_EQ(got.back(), 0); // radio 1 with no channel block
    EXPECT_EQ(pChScanRpt->radio[0].ch_num, 40);
    EXPECT_EQ(pChScanRpt->radio[1].ch_num, 0);
    EXPECT_EQ(log.texts(), std::vector<std::string>(2, kCut));
    Decoded d(got);
    ASSERT_EQ(d.n, 39 * 9 + 26);
    EXPECT_EQ(d.rpt.radio[0].ch[39].nbr_num, 26);
    EXPECT_EQ(d.rpt.radio[0].ch[39].channel, 39);
    EXPECT_EQ(d.rpt.length, 32760u);
}

// Channel 37 has room for 9 of its 10 79-byte neighbour blocks: it goes out with 9, the radio
// with 38 channels, and radio 1's block no longer fits, so the radio count is 1.
TEST_F(ScanCompact, NeighboursThatDoNotFitAreLeftOutAndCountedDown)
{
    const std::vector<Bytes> ten(10, sized_nbr(33, 33));
    Bytes stream_bytes;
    for (unsigned c = 0; c < 60; ++c) stream_bytes = cat({stream_bytes, tlv(0xA7, ok(kRuid, 1, c, {}, 0, 0, ten, 0, 0))});
    stream_bytes = cat({stream_bytes, tlv(0xA7, head(kRuid2, 1, 1, 1))});
    auto got = parse_n(rx, 0x801C, stream_bytes);
    ASSERT_TRUE(got);
    ASSERT_EQ(got->size(), 32757u);
    EXPECT_EQ((*got)[2], 1);
    EXPECT_EQ((*got)[79], 38);
    EXPECT_EQ(le16_at(*got, 80 + 862 * 37 + 70), 9);
    EXPECT_EQ(log.at_most(3).size(), 2u);
    EXPECT_TRUE(log.contains(4, 3, kCut));
    Decoded d(*got);
    EXPECT_EQ(d.n, 37 * 10 + 9);
    EXPECT_EQ(d.rpt.length, 32757u);
}

// Whatever the neighbours, the datagram stays within the buffer (ASan checks the writes) and
// decodes to exactly its own length.
TEST_F(ScanCompact, FullRecordsNeverRunPastTheBuffer)
{
    for (size_t s = 0; s <= 33; s += 3) {
        for (unsigned per_channel : {1u, 6u, 40u}) {
            SCOPED_TRACE(testing::Message() << "ssid " << s << ", " << per_channel << " per channel");
            Slot slot;
            const std::vector<Bytes> nbrs(per_channel, sized_nbr(s, 33 - s / 2));
            for (const Bytes& ruid : {kRuid, kRuid2})
                for (unsigned c = 0; c < 60; ++c) ASSERT_EQ(slot.add(ok(ruid, 1, c, Bytes(64, 'T'), 0, 0, nbrs, 0, 0)), 0);
            const Bytes got = slot.encode();
            ASSERT_GT(got.size(), 3u);
            EXPECT_LE(got.size(), size_t{SOCKET_MAX_LENGTH});
            Decoded d(got);
            ASSERT_GE(d.n, 0);
            EXPECT_EQ(d.rpt.length, got.size());
        }
    }
}

TEST(ScanDecode, RefusesMalformedAndCutShortReports)
{
    LogCapture log;
    Slot s;
    ASSERT_EQ(s.add(ok(kRuid, 1, 1, text("ts"), 1, 2, {sized_nbr(2, 1), sized_nbr(0, 3)}, 3, 4)), 0);
    ASSERT_EQ(s.add(head(kRuid2, 9, 9, 9)), 0);
    const Bytes good = s.encode();
    luSL_ChScanReport rpt;
    luSL_ChScanNbr one[1];
    // Every cut, in a buffer of exactly its length so ASan sees any read past it.
    for (size_t len = 0; len < good.size(); ++len) {
        const Bytes cut = slice(good, 0, len);
        ASSERT_EQ(luSL_ChScanRpt_decode(cut.data(), cut.size(), &rpt, one, 1), -1) << len;
        EXPECT_EQ(rpt.radio_num, 0);
    }
    auto with = [&](size_t off, uint8_t v) {
        Bytes b = good;
        b[off] = v;
        return luSL_ChScanRpt_decode(b.data(), b.size(), &rpt, nullptr, 0);
    };
    EXPECT_EQ(with(0, 0x0C), -1);
    EXPECT_EQ(with(2, 3), -1);
    EXPECT_EQ(with(79, 61), -1);
    EXPECT_EQ(with(80 + 72 + 6, 34), -1);         // SSID length
    EXPECT_EQ(with(80 + 72 + 6 + 1 + 2 + 1, 34), -1); // bandwidth length
    EXPECT_EQ(luSL_ChScanRpt_decode(nullptr, 10, &rpt, nullptr, 0), -1);
    EXPECT_EQ(luSL_ChScanRpt_decode(good.data(), good.size(), nullptr, nullptr, 0), -1);

    // Trailing bytes are not read; a small neighbour array gets the first neighbours only.
    const Bytes longer = cat({good, fill(100, 0xEE)});
    luSL_ChScanNbr two[2] = {};
    two[1].ssid_len = 0xAA;
    ASSERT_EQ(luSL_ChScanRpt_decode(longer.data(), longer.size(), &rpt, two, 1), 2);
    EXPECT_EQ(rpt.length, good.size());
    EXPECT_EQ(rpt.nbr_total, 2u);
    EXPECT_EQ(rpt.radio_num, 2);
    EXPECT_EQ(rpt.radio[1].ch[0].scan_status, 9);
    EXPECT_EQ(two[0].ssid_len, 2);
    EXPECT_EQ(two[1].ssid_len, 0xAA);
    EXPECT_EQ(luSL_ChScanRpt_decode(good.data(), good.size(), &rpt, nullptr, 0), 2);
}

// ----------------------------------------------------------------- randomised round trip

struct NbrModel {
    Bytes bssid, ssid, bw;
    uint8_t signal, present, util;
    uint16_t sta;
};
struct ChannelModel {
    size_t radio;
    uint8_t opc, ch, status, util, noise, type;
    uint32_t duration;
    Bytes stamp;
    std::vector<NbrModel> nbrs;
};

Bytes value_of(const Bytes& ruid, const ChannelModel& c)
{
    if (c.status) return head(ruid, c.opc, c.ch, c.status);
    std::vector<Bytes> nbrs;
    for (const NbrModel& n : c.nbrs) {
        Bytes b = cat({n.bssid, u8(static_cast<unsigned>(n.ssid.size())), n.ssid, u8(n.signal),
                       u8(static_cast<unsigned>(n.bw.size())), n.bw, u8(n.present)});
        nbrs.push_back(n.present & 0x80 ? cat({b, u8(n.util), be16(n.sta)}) : b);
    }
    return ok(ruid, c.opc, c.ch, c.stamp, c.util, c.noise, nbrs, c.duration, c.type);
}

TEST(ScanRoundTrip, RandomRecordsDecodeToWhatWasScanned)
{
    LogCapture log;
    std::mt19937 rng(1905);
    auto pick = [&](unsigned lo, unsigned hi) { return static_cast<unsigned>(std::uniform_int_distribution<unsigned>(lo, hi)(rng)); };
    auto bytes = [&](size_t n, bool with_zeros) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<uint8_t>(with_zeros && pick(0, 15) == 0 ? 0 : pick(1, 255));
        return b;
    };
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const size_t radios = pick(1, 2);
        Bytes ruids[2] = {bytes(6, false), bytes(6, false)};
        std::vector<ChannelModel> chans(pick(1, 30));
        for (ChannelModel& c : chans) {
            c.radio = pick(0, static_cast<unsigned>(radios - 1));
            c.opc = static_cast<uint8_t>(pick(0, 255));
            c.ch = static_cast<uint8_t>(pick(0, 255));
            c.status = pick(0, 5) == 0 ? static_cast<uint8_t>(pick(1, 255)) : 0;
            c.util = static_cast<uint8_t>(pick(0, 255));
            c.noise = static_cast<uint8_t>(pick(0, 255));
            c.type = static_cast<uint8_t>(pick(0, 255));
            c.duration = static_cast<uint32_t>(rng());
            c.stamp = bytes(pick(0, 70), true);
            c.nbrs.resize(pick(0, 5));
            for (NbrModel& n : c.nbrs)
                n = {bytes(6, true), bytes(pick(0, 36), true), bytes(pick(0, 36), true), static_cast<uint8_t>(pick(0, 255)),
                     static_cast<uint8_t>(pick(0, 255)), static_cast<uint8_t>(pick(0, 255)), static_cast<uint16_t>(pick(0, 65535))};
        }

        Slot s;
        for (const ChannelModel& c : chans) ASSERT_EQ(s.add(value_of(ruids[c.radio], c)), 0);
        const Bytes sent = s.encode();
        ASSERT_LT(sent.size(), size_t{SOCKET_MAX_LENGTH} - 80); // nothing cut
        EXPECT_EQ(s.encode(), sent);
        Decoded d(sent);
        ASSERT_GE(d.n, 0);
        EXPECT_EQ(d.rpt.length, sent.size());

        // What the compact form should carry, worked out from the scan itself.
        const size_t first = chans[0].radio;
        const size_t order[2] = {first, 1 - first};
        const size_t used = std::count_if(chans.begin(), chans.end(), [&](auto& c) { return c.radio != first; }) ? 2 : 1;
        ASSERT_EQ(d.rpt.radio_num, used);
        uint32_t next_nbr = 0;
        for (size_t r = 0; r < used; ++r) {
            const luSL_ChScanRadioInfo& got = d.rpt.radio[r];
            EXPECT_EQ(Bytes(got.ruid, got.ruid + 6), ruids[order[r]]);
            Bytes stamp(65, 0);
            uint32_t duration = 0;
            uint8_t type = 0;
            size_t c_out = 0;
            for (const ChannelModel& c : chans) {
                if (c.radio != order[r]) continue;
                ASSERT_LT(c_out, got.ch_num);
                const luSL_ChScanChannelInfo& ch = got.ch[c_out++];
                EXPECT_EQ(Bytes({ch.op_class, ch.channel, ch.scan_status}), Bytes({c.opc, c.ch, c.status}));
                Bytes want_stamp(65, 0);
                uint16_t want_n = 0;
                if (c.status == 0) {
                    std::copy_n(c.stamp.begin(), std::min<size_t>(c.stamp.size(), 65), stamp.begin());
                    duration = c.duration;
                    type = c.type;
                    for (size_t i = 0; i < c.stamp.size() && i < 64 && c.stamp[i]; ++i) want_stamp[i] = c.stamp[i];
                    want_n = static_cast<uint16_t>(c.nbrs.size());
                    EXPECT_EQ(Bytes({ch.ch_util, ch.noise}), Bytes({c.util, c.noise}));
                }
                EXPECT_EQ(Bytes(ch.timestamp, ch.timestamp + 65), want_stamp);
                ASSERT_EQ(ch.nbr_num, want_n);
                EXPECT_EQ(ch.nbr_first, next_nbr);
                for (size_t i = 0; i < want_n; ++i) {
                    const NbrModel& m = c.nbrs[i];
                    const luSL_ChScanNbr& n = d.nbrs[next_nbr++];
                    const bool load = m.present & 0x80;
                    EXPECT_EQ(Bytes(n.bssid, n.bssid + 6), m.bssid);
                    EXPECT_EQ(Bytes(n.ssid, n.ssid + n.ssid_len), slice(m.ssid, 0, std::min<size_t>(m.ssid.size(), 33)));
                    EXPECT_EQ(Bytes(n.ch_bw, n.ch_bw + n.ch_bw_len), slice(m.bw, 0, std::min<size_t>(m.bw.size(), 33)));
                    EXPECT_EQ(Bytes({n.signal_strength, n.bss_load_present, n.ch_util}),
                              Bytes({m.signal, m.present, load ? m.util : uint8_t{0}}));
                    EXPECT_EQ(n.sta_count, load ? m.sta : 0);
                }
            }
            EXPECT_EQ(c_out, got.ch_num);
            EXPECT_EQ(Bytes(got.timestamp, got.timestamp + 65), stamp);
            EXPECT_EQ(got.scan_duration, duration);
            EXPECT_EQ(got.scan_type, type);
        }
        EXPECT_EQ(d.rpt.nbr_total, next_nbr);
    }
}

} // namespace
} // namespace lusl::test
