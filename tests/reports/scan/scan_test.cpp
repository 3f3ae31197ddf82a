// SPDX-License-Identifier: BSD-2-Clause
// Channel Scan Report: the Channel Scan Result extractor and its neighbour lists at record
// offsets, their release, the compact form (lengths, bytes, cuts at the buffer's end), the
// steering-side decoder, and a randomised encode/decode round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

// Growth failures of the 64-bit link table, injected where the allocator is libc's own (not
// under AddressSanitizer, whose allocator takes precedence; older Clang says so only through
// __has_feature).
#if defined(__has_feature)
#define LUSL_ASAN __has_feature(address_sanitizer)
#else
#define LUSL_ASAN 0
#endif
#if !LUSL_ASAN && !defined(__SANITIZE_ADDRESS__) && UINTPTR_MAX > 0xFFFFFFFFu && defined(__GLIBC__)
#define LUSL_OWN_REALLOC 1
static int realloc_fails_in = 0; // armed: the n-th realloc from now fails
extern "C" void* __libc_realloc(void* p, size_t n);
extern "C" void* realloc(void* p, size_t n)
{
    if (realloc_fails_in && --realloc_fails_in == 0) return nullptr;
    return __libc_realloc(p, n);
}
#else
#define LUSL_OWN_REALLOC 0
#endif

namespace lusl::test {
namespace {

using Lines = std::vector<std::string>;

const Bytes kRuid = mac("02:00:00:00:aa:01"), kRuid2 = mac("02:00:00:00:aa:02"), kRuid3 = mac("02:00:00:00:aa:03");
const std::string kCut = "4/3 [MSG] ChScanRpt: ERROR!!!: offset is bigger than SOCKET_MAX_LENGTH:32762\n";

// Record offsets of radio r and of its channel entry c.
constexpr size_t radio_at(size_t r) { return 3 + 4880 * r; }
constexpr size_t chan_at(size_t r, size_t c) { return 83 + 4880 * r + 80 * c; }

Bytes le16(unsigned v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
Bytes le32(unsigned long v) { return cat({le16(v & 0xFFFF), le16(v >> 16 & 0xFFFF)}); }
Bytes padded(Bytes b, size_t n) { return b.resize(n, 0), b; }
Bytes bss(unsigned i) { return cat({raw({0x02, 0xBB, 0, 0, 0}), u8(i)}); }

// Channel Scan Result values: the head alone (a failed scan), or a successful one.
Bytes head(const Bytes& ruid, unsigned opc, unsigned ch, unsigned status) { return cat({ruid, u8(opc), u8(ch), u8(status)}); }
Bytes nbr(const Bytes& bssid, const Bytes& ssid, unsigned signal, const Bytes& bw, unsigned present, unsigned util = 0,
          unsigned sta = 0)
{
    const Bytes b = cat({bssid, u8(unsigned(ssid.size())), ssid, u8(signal), u8(unsigned(bw.size())), bw, u8(present)});
    return present & 0x80 ? cat({b, u8(util), be16(sta)}) : b;
}
Bytes join(const std::vector<Bytes>& v) { Bytes s; for (const Bytes& t : v) s.insert(s.end(), t.begin(), t.end()); return s; }
Bytes ok(const Bytes& ruid, unsigned opc, unsigned ch, const Bytes& stamp, unsigned util, unsigned noise,
         const std::vector<Bytes>& nbrs, unsigned long duration, unsigned type)
{
    return cat({head(ruid, opc, ch, 0), u8(unsigned(stamp.size())), stamp, u8(util), u8(noise), be16(unsigned(nbrs.size())),
                join(nbrs), be32(duration), u8(type)});
}
// A neighbour whose compact block takes 13 + s + w bytes.
Bytes sized_nbr(size_t s, size_t w) { return nbr(bss(1), fill(s, 's'), 1, fill(w, 'w'), 0); }
const std::vector<Bytes> kNine(9, sized_nbr(33, 33)), kTen(10, sized_nbr(33, 33)); // blocks of 79 bytes

// The record in the slot, as the parser holds it; luSL_Msg_free releases it with its lists.
struct Slot {
    Slot() { (pChScanRpt = static_cast<ChScanRpt*>(calloc(1, sizeof(ChScanRpt))))->hdr = {0x1C, 0x80}; }
    ~Slot() { luSL_Msg_free(0x801C); }
    int add(const Bytes& value) const { return tlv_ChScanResult_extract(value.data(), reinterpret_cast<uint8_t*>(pChScanRpt)); }
    Bytes at(size_t off, size_t n) const { auto* p = reinterpret_cast<uint8_t*>(pChScanRpt) + off; return Bytes(p, p + n); }
    Bytes encode() const { const int n = luSL_ChScanRptSendV2(nullptr); return Bytes(pChScanRptSendBuf, pChScanRptSendBuf + n); }
};

struct Decoded {
    luSL_ChScanReport rpt;
    std::vector<luSL_ChScanNbr> nbrs = std::vector<luSL_ChScanNbr>(LUSL_CHSCAN_MAX_NBR);
    int n;
    explicit Decoded(const Bytes& b) : n(luSL_ChScanRpt_decode(b.data(), b.size(), &rpt, nbrs.data(), nbrs.size())) {}
};

// A decoded report written back in the compact form, field by field.
Bytes wire_of(const Decoded& d)
{
    Bytes w = raw({0x1C, 0x80, d.rpt.radio_num});
    auto put = [&w](std::initializer_list<Bytes> parts) { for (const Bytes& p : parts) w.insert(w.end(), p.begin(), p.end()); };
    auto b = [](const auto* p, size_t n) { return Bytes(p, p + n); };
    for (const luSL_ChScanRadioInfo& r : std::vector<luSL_ChScanRadioInfo>(d.rpt.radio, d.rpt.radio + d.rpt.radio_num)) {
        put({b(r.ruid, 6), b(r.timestamp, 65), le32(r.scan_duration), u8(r.scan_type), u8(r.ch_num)});
        for (const luSL_ChScanChannelInfo& c : std::vector<luSL_ChScanChannelInfo>(r.ch, r.ch + r.ch_num)) {
            put({raw({c.op_class, c.channel, c.scan_status}), b(c.timestamp, 65), u8(c.ch_util), u8(c.noise), le16(c.nbr_num)});
            for (uint32_t k = c.nbr_first; k < c.nbr_first + c.nbr_num; ++k) {
                const luSL_ChScanNbr& n = d.nbrs.at(k);
                put({b(n.bssid, 6), u8(n.ssid_len), b(n.ssid, n.ssid_len), u8(n.signal_strength), u8(n.ch_bw_len),
                     b(n.ch_bw, n.ch_bw_len), u8(n.bss_load_present), u8(n.ch_util), le16(n.sta_count)});
            }
        }
    }
    return w;
}

struct Scan : testing::Test {
    LogCapture log;
    Receiver rx;
    Lines errors(int level = 3) const // lines of that level or worse, as "module/level text"
    {
        Lines out;
        for (const LogLine& l : log.at_most(level))
            out.push_back(std::to_string(l.module) + "/" + std::to_string(l.level) + " " + l.text);
        return out;
    }
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
};

// A successful result fills the radio and channel entries and the list; a failed one only
// class, channel and status, and leaves the radio's duration and scan type. (Timestamps of
// every length, and the lists, are worked out in the round trip below.) Radios are matched by
// RUID, two at most, and a repeated (class, channel) is a new entry. A 61st channel, a third
// radio and a null RUID are refused, the record unchanged.
TEST_F(Scan, ExtractorFillsTheRecordWithinItsLimits)
{
    Slot s;
    const Bytes t32 = text("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    ASSERT_EQ(s.add(ok(kRuid, 115, 44, t32, 10, 200, std::vector<Bytes>(3, sized_nbr(1, 2)), 0xA0B0C0D0, 0x81)), 0);
    ASSERT_EQ(s.add(head(kRuid, 121, 100, 0x01)), 0);
    EXPECT_EQ(s.at(0, chan_at(0, 0)),
              cat({raw({0x1C, 0x80, 1, 0x81}), kRuid, padded(t32, 65), raw({2, 0, 0, 0}), le32(0xA0B0C0D0)}));
    EXPECT_EQ(s.at(chan_at(0, 0), 76), cat({raw({115, 44, 0, 10, 200, 0}), le16(3), padded(t32, 68)}));
    const size_t rest = sizeof(ChScanRpt) - chan_at(0, 1);
    EXPECT_EQ(s.at(chan_at(0, 1), rest), cat({raw({121, 100, 1}), zeros(rest - 3)}));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] Ch Scan result: Util = 10, NumNbr = 3, Noise = 200\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] Ch Scan result: Radio 02:00:00:00:AA:01, Opclass = 121, Channel = 100, Status = 1\n"));
    // The clear frees the list (ASan sees a double free or a leak), zeroes the count and keeps
    // the head; a second clear frees nothing.
    const Bytes link = s.at(chan_at(0, 0) + 76, 4);
    ASSERT_NE(link, zeros(4));
    luSL_ChScanRpt_NbrBss_clear(pChScanRpt);
    EXPECT_EQ(cat({s.at(chan_at(0, 0) + 6, 2), s.at(chan_at(0, 0) + 76, 4)}), cat({zeros(2), link}));
    luSL_ChScanRpt_NbrBss_clear(pChScanRpt);

    for (unsigned c = 2; c < 61; ++c) ASSERT_EQ(s.add(c == 2 ? head(kRuid2, 2, 6, 3) : head(kRuid, 115, c == 59 ? 44 : c, 1)), 0);
    EXPECT_EQ(cat({s.at(2, 1), s.at(chan_at(0, 2), 3), s.at(chan_at(0, 58), 3), s.at(chan_at(0, 59), 3)}),
              raw({2, 115, 3, 1, 115, 44, 1, 115, 60, 1}));
    EXPECT_EQ(s.at(radio_at(1), 84), cat({u8(0), kRuid2, zeros(65), u8(1), zeros(7), raw({2, 6, 3, 0})}));
    const Bytes before = s.at(0, sizeof(ChScanRpt));
    // Refused with their neighbours, which are read before the checks and go with them
    // (a leak checker sees a list that stayed behind).
    for (const Bytes& ruid : {kRuid, kRuid3, zeros(6)})
        EXPECT_EQ(s.add(ok(ruid, 1, 61, t32, 1, 2, std::vector<Bytes>(2, sized_nbr(3, 2)), 3, 4)), -1);
    EXPECT_EQ(errors(4), (Lines{"8/4 [TLV] ChScanRpt TLV number of channel exceed max definition\n",
                                "8/4 [TLV] ChScanRpt TLV number of radio exceed max definition\n",
                                "8/4 [TLV] ChScanRpt TLV radio mac is null\n"}));
    EXPECT_EQ(s.at(0, sizeof(ChScanRpt)), before);
    const uint8_t z[6] = {}, lo[6] = {0, 0, 0, 0, 0, 1}, hi[6] = {0x80};
    EXPECT_EQ(std::vector<int>({CheckingNullMAC(nullptr), CheckingNullMAC(z), CheckingNullMAC(lo), CheckingNullMAC(hi)}),
              std::vector<int>({1, 1, 0, 0}));
}

// Every Channel Scan Result cut short one byte at a time is refused with one error line and
// the report not sent. The cut TLV comes first; the whole one after it still builds a list
// that the release frees. Strings longer than their record fields are stepped over.
TEST_F(Scan, TruncatedResultsAreRefused)
{
    const Bytes whole = tlv(0xA7, ok(kRuid2, 1, 1, text("t"), 0, 0, {nbr(bss(9), text("z"), 1, {}, 0)}, 0, 0));
    const std::vector<Bytes> nbrs = {nbr(bss(3), fill(40, 's'), 3, fill(34, 'w'), 0x80, 1, 2),
                                     nbr(bss(2), text("ab"), 6, text("4"), 0)};
    for (const Bytes& v : {head(kRuid, 1, 2, 1), ok(kRuid, 115, 36, fill(70, 'T'), 1, 2, nbrs, 7, 8)}) {
        EXPECT_TRUE(parse_n(rx, 0x801C, cat({tlv(0xA7, v), whole})));
        for (size_t len = 0; len < v.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "size " << v.size() << " cut to " << len);
            log.clear();
            EXPECT_FALSE(parse_n(rx, 0x801C, cat({tlv(0xA7, slice(v, 0, len)), whole})));
            EXPECT_EQ(errors(),
                      Lines{"8/3 [TLV] ChScanResult: TLV length " + std::to_string(len) + " is too short for its content\n"});
        }
    }
}

// Neighbours are limited only by memory: nine results of 1000 neighbours each are all kept,
// and the encoder cuts the report to one datagram: header, radio, two whole channels of
// 1000 13-byte blocks and the 497 blocks of the third that fit. A record a caller keeps
// uncleared, with one node of its own, does not stop 120 reports of 100 neighbours from going
// out whole, and its node is still its own afterwards: the record, passed with the slot
// empty, is encoded in full.
TEST_F(Scan, AnyNumberOfNeighboursAndRecordsAtOnce)
{
    const std::vector<Bytes> thousand(1000, nbr(bss(7), {}, 1, {}, 0));
    Bytes nine;
    for (unsigned c = 0; c < 9; ++c) nine = cat({nine, tlv(0xA7, ok(kRuid, 1, c, {}, 0, 0, thousand, 0, 0))});
    const auto big = parse_n(rx, 0x801C, nine);
    ASSERT_TRUE(big);
    EXPECT_EQ(errors(), Lines{kCut});
    EXPECT_EQ(big->size(), 80u + 3 * 72 + 2497 * 13);
    const Decoded d(*big);
    EXPECT_EQ(std::vector<unsigned>({d.rpt.radio_num, d.rpt.radio[0].ch_num, d.rpt.radio[0].ch[2].nbr_num, unsigned(d.n)}),
              std::vector<unsigned>({1, 3, 497, 2497}));
    EXPECT_EQ(Bytes(d.nbrs[2496].bssid, d.nbrs[2496].bssid + 6), bss(7));

    std::vector<uint8_t> own(sizeof(ChScanRpt));
    own[0] = 0x1C, own[1] = 0x80;
    auto* mine = reinterpret_cast<ChScanRpt*>(own.data());
    ASSERT_EQ(tlv_ChScanResult_extract(ok(kRuid3, 5, 6, {}, 0, 0, {nbr(bss(42), text("mine"), 9, {}, 0)}, 0, 0).data(),
                                       own.data()), 0);
    const std::vector<Bytes> hundred(100, nbr(bss(1), text("x"), 1, {}, 0));
    const Bytes report = tlv(0xA7, ok(kRuid, 1, 1, {}, 0, 0, hundred, 0, 0));
    log.clear();
    for (int i = 0; i < 120; ++i) {
        const auto got = parse_n(rx, 0x801C, report);
        ASSERT_EQ(got.value_or(Bytes{}).size(), 152u + 100 * 14) << "report " << i;
    }
    EXPECT_EQ(errors(), Lines{});
    const int n = luSL_ChScanRptSendV2(own.data());
    const Bytes sent(pChScanRptSendBuf, pChScanRptSendBuf + n);
    luSL_Msg_free(0x801C);
    EXPECT_EQ(sent, cat({raw({0x1C, 0x80, 1}), kRuid3, zeros(70), raw({1, 5, 6, 0}), zeros(67), le16(1), bss(42), u8(4),
                         text("mine"), u8(9), zeros(5)}));
    luSL_ChScanRpt_NbrBss_clear(mine);
    EXPECT_EQ(mine->radio[0].ch[0].nbr_num, 0);
}

// Nodes far from the first one the process allocated (here, from another thread's heap) are
// linked through the table. One that cannot grow (first for the first such node, then past 64
// of them) refuses the result like a failed node allocation; the next parse has it again, and
// sends what the nearby nodes gave.
TEST_F(Scan, FarNodesAreLinkedThroughATableThatCanFailToGrow)
{
#if !LUSL_OWN_REALLOC
    GTEST_SKIP() << "no link table here, or the allocator is not libc's";
#else
    const char* preload = getenv("LD_PRELOAD");
    if (preload && strstr(preload, "vgpreload")) GTEST_SKIP() << "valgrind replaces realloc";
    const Bytes value = ok(kRuid, 1, 1, {}, 0, 0, std::vector<Bytes>(65, nbr(bss(1), {}, 1, {}, 0)), 0, 0);
    const Bytes cut = slice(value, 0, value.size() - 1);
    const std::string fail = "8/3 [TLV] Ch Scan result: Allocate memory fail\n",
                      short_line = "8/3 [TLV] ChScanResult: TLV length " + std::to_string(cut.size()) +
                                   " is too short for its content\n";
    const std::optional<Bytes> near = parse_n(rx, 0x801C, tlv(0xA7, value));
    ASSERT_EQ(near.value_or(Bytes{}).size(), 152u + 65 * 13);
    // Its lines go here: freed on the other thread, their blocks would be taken there for
    // nodes, near the base.
    log.clear();
    std::thread([&] {
        // Cut short as well: the length is what refuses it, as it would with memory to spare.
        for (const auto& [nth, v, line] : {std::tuple{1, value, fail}, {2, value, fail}, {2, cut, short_line}}) {
            SCOPED_TRACE(testing::Message() << "fails at " << nth << ", " << v.size() << " bytes");
            log.clear();
            realloc_fails_in = nth;
            EXPECT_FALSE(parse_n(rx, 0x801C, tlv(0xA7, v)));
            EXPECT_EQ(realloc_fails_in, 0);
            EXPECT_EQ(errors(), Lines{line});
        }
        EXPECT_EQ(parse_n(rx, 0x801C, tlv(0xA7, value)), near);
    }).join();
#endif
}

// Through the documented entry point: one channel of one small neighbour, 170 bytes. An empty
// report is its header and a radio count of 0. (Every other shape, a channel without
// neighbours among them, is worked out byte for byte in RandomReportsRoundTrip.)
TEST_F(Scan, CompactBytes)
{
    const Bytes stamp = text("2024-01-01T00:00:00Z");
    const Bytes tlvs = stream({tlv(0xA7, ok(kRuid, 115, 36, stamp, 9, 180, {nbr(bss(1), text("abc"), 0x55, text("20"), 0)},
                                            0x01020304, 0x80))});
    EXPECT_EQ(parse(rx, 0x801C, tlvs), cat({raw({0x1C, 0x80, 1}), kRuid, padded(stamp, 65), le32(0x01020304), u8(0x80), u8(1),
                                            raw({115, 36, 0}), padded(stamp, 65), u8(9), u8(180), le16(1), // channel
                                            bss(1), u8(3), text("abc"), u8(0x55), u8(2), text("20"), zeros(4)}));
    EXPECT_EQ(parse(rx, 0x801C, stream({})), raw({0x1C, 0x80, 0}));

    // More than 60 channels are refused. A radio without channels is its 77-byte block. (A
    // record passed with the slot empty is encoded in AnyNumberOfNeighboursAndRecordsAtOnce.)
    Slot s;
    pChScanRpt->radio_num = 1;
    pChScanRpt->radio[0].ch_num = 61;
    EXPECT_EQ(luSL_ChScanRptSendV2(nullptr), 0);
    EXPECT_EQ(errors(), Lines{"4/3 [MSG] ChScanRpt: ERROR!!!: num of channel is bigger than MAX_CHANNEL_NUM_PER_OPCLASS:61\n"});
    pChScanRpt->radio[0].ch_num = 0;
    pChScanRpt->radio[0].scan_duration = 0x11223344;
    EXPECT_EQ(s.encode(), cat({raw({0x1C, 0x80, 1}), zeros(71), le32(0x11223344), u8(0), u8(0)}));
}

// Radio 0: channels 0-38 of 9 neighbour blocks of 79 bytes, channel 39 of 25 such blocks and
// one of 19, so that channel 40 is checked at offset 32683 (+80 > 32762) and cut. Radio 1's
// 77-byte block still fits, its first channel does not. The record says what was sent.
TEST_F(Scan, ChannelsThatDoNotFitAreCutAndCountedDown)
{
    Slot s;
    std::vector<Bytes> last(25, kNine[0]);
    last.push_back(sized_nbr(6, 0));
    for (unsigned c = 0; c < 40; ++c) ASSERT_EQ(s.add(ok(kRuid, 1, c, {}, 0, 0, c < 39 ? kNine : last, 0, 0)), 0);
    for (unsigned c = 40; c < 45; ++c) ASSERT_EQ(s.add(head(kRuid, 1, c, 1)), 0);
    for (unsigned c = 0; c < 3; ++c) ASSERT_EQ(s.add(head(kRuid2, 1, c, 1)), 0);
    const Bytes got = s.encode();
    ASSERT_EQ(got.size(), 32760u);
    EXPECT_EQ(cat({raw({got[2], got[79], got.back()}), slice(got, 32683, 6)}), cat({raw({2, 40, 0}), kRuid2}));
    EXPECT_EQ(raw({pChScanRpt->radio[0].ch_num, pChScanRpt->radio[1].ch_num}), raw({40, 0}));
    EXPECT_EQ(errors(), Lines(2, kCut));
    EXPECT_EQ(wire_of(Decoded(got)), got);
}

// Channel 37 has room for 9 of its 10 79-byte neighbour blocks: it goes out with 9, the radio
// with 38 channels, and radio 1's block no longer fits, so the radio count is 1. Whatever the
// neighbours, the datagram stays within the buffer (ASan checks the writes) and decodes to
// exactly its own bytes.
TEST_F(Scan, NeighboursThatDoNotFitAreLeftOutAndCountedDown)
{
    Bytes tlvs;
    for (unsigned c = 0; c < 60; ++c) tlvs = cat({tlvs, tlv(0xA7, ok(kRuid, 1, c, {}, 0, 0, kTen, 0, 0))});
    auto got = parse_n(rx, 0x801C, cat({tlvs, tlv(0xA7, head(kRuid2, 1, 1, 1))}));
    ASSERT_EQ(got.value_or(Bytes{}).size(), 32757u);
    EXPECT_EQ(raw({(*got)[2], (*got)[79], le16_at(*got, 80 + 862 * 37 + 70)}), raw({1, 38, 9}));
    EXPECT_EQ(errors(), Lines(2, kCut));
    EXPECT_EQ(wire_of(Decoded(*got)), *got);

    for (size_t ssid = 0; ssid <= 33; ssid += 3) {
        for (unsigned per_channel : {1u, 6u, 40u}) {
            SCOPED_TRACE(testing::Message() << "ssid " << ssid << ", " << per_channel << " per channel");
            Slot s;
            const std::vector<Bytes> nbrs(per_channel, sized_nbr(ssid, 33 - ssid / 2));
            for (unsigned c = 0; c < 120; ++c)
                ASSERT_EQ(s.add(ok(c < 60 ? kRuid : kRuid2, 1, c, fill(64, 'T'), 0, 0, nbrs, 0, 0)), 0);
            const Bytes sent = s.encode();
            EXPECT_LE(sent.size(), size_t{SOCKET_MAX_LENGTH});
            const Decoded d(sent);
            EXPECT_EQ(wire_of(d), sent);
            // The blocks near the end, written with less room than the largest block, too.
            ASSERT_GT(d.n, 0);
            for (int k = 0; k < d.n; ++k) {
                const luSL_ChScanNbr& n = d.nbrs[k];
                ASSERT_EQ(cat({Bytes(n.ssid, n.ssid + n.ssid_len), Bytes(n.ch_bw, n.ch_bw + n.ch_bw_len)}),
                          cat({fill(ssid, 's'), fill(33 - ssid / 2, 'w')})) << "neighbour " << k;
            }
        }
    }
}

TEST_F(Scan, DecoderRefusesMalformedAndCutShortReports)
{
    Slot s;
    ASSERT_EQ(s.add(ok(kRuid, 1, 1, text("ts"), 1, 2, {sized_nbr(2, 1), sized_nbr(0, 3)}, 3, 4)), 0);
    ASSERT_EQ(s.add(head(kRuid2, 9, 9, 9)), 0);
    const Bytes good = s.encode();
    luSL_ChScanReport rpt;
    luSL_ChScanNbr two[2] = {};
    auto decode = [&](const Bytes& b, auto n, size_t k) { return luSL_ChScanRpt_decode(b.data(), b.size(), &rpt, n, k); };
    // Every cut, in a buffer of exactly its length so ASan sees any read past it.
    for (size_t len = 0; len < good.size(); ++len) {
        ASSERT_EQ(decode(slice(good, 0, len), two, 2), -1) << len;
        EXPECT_EQ(rpt.radio_num, 0);
    }
    // Header, three radios, 61 channels, an SSID and a bandwidth longer than 33.
    for (auto [at, v] : {std::pair<size_t, uint8_t>{0, 0x0C}, {2, 3}, {79, 61}, {80 + 72 + 6, 34}, {80 + 72 + 10, 34}}) {
        Bytes b = good;
        b[at] = v;
        EXPECT_EQ(decode(b, nullptr, 0), -1) << at;
    }
    EXPECT_EQ(luSL_ChScanRpt_decode(nullptr, 10, &rpt, nullptr, 0), -1);
    EXPECT_EQ(luSL_ChScanRpt_decode(good.data(), good.size(), nullptr, nullptr, 0), -1);
    // A small neighbour array gets the first neighbours only; without one, only the count.
    two[1].ssid_len = 0xAA;
    ASSERT_EQ(decode(good, two, 1), 2);
    EXPECT_EQ(raw({rpt.radio[1].ch[0].scan_status, two[0].ssid_len, two[1].ssid_len}), raw({9, 2, 0xAA}));
    EXPECT_EQ(decode(good, nullptr, 0), 2);
}

// Random results on one or two radios, and the report they should make, worked out from the
// scan: each radio with the timestamp bytes of its successful results laid over one another
// (65 at most) and the duration and type of the latest; channels with their timestamps as
// strings of at most 64 characters (a failed one with zeros), neighbours in TLV order with
// strings cut to 33 bytes and load data only when present. Encoded twice the same (the lists
// are only read), decoded and written back the same.
TEST_F(Scan, RandomReportsRoundTrip)
{
    std::mt19937 rng(1905);
    auto pick = [&](unsigned lo, unsigned hi) { return std::uniform_int_distribution<unsigned>(lo, hi)(rng); };
    auto bytes = [&](size_t n) { Bytes b(n); for (auto& x : b) x = uint8_t(pick(0, 15) ? pick(1, 255) : 0); return b; };
    auto str = [](const Bytes& b) { const size_t n = std::min<size_t>(b.size(), 33); return cat({u8(n), slice(b, 0, n)}); };
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        Slot s;
        const unsigned radios = pick(1, 2);
        Bytes want = raw({0x1C, 0x80, radios});
        size_t total = 0;
        for (unsigned r = 0; r < radios; ++r) {
            const Bytes ruid = cat({u8(pick(1, 255)), bytes(5)});
            Bytes stamp = zeros(65), last = zeros(5), channels;
            const unsigned count = pick(1, 15);
            for (unsigned c = 0; c < count; ++c) {
                const unsigned opc = pick(0, 255), ch = pick(0, 255), status = pick(0, 5) ? 0 : pick(1, 255);
                const unsigned util = pick(0, 255), noise = pick(0, 255), dur = rng(), type = pick(0, 255);
                const Bytes t = status ? Bytes{} : bytes(pick(0, 70));
                std::vector<Bytes> nbrs;
                Bytes blocks, string = zeros(65);
                for (unsigned i = status ? 0 : pick(0, 5); i > 0; --i) {
                    const Bytes bssid = bytes(6), ssid = bytes(pick(0, 36)), bw = bytes(pick(0, 36));
                    const unsigned signal = pick(0, 255), present = pick(0, 255), n_util = pick(0, 255), n_sta = pick(0, 65535);
                    nbrs.push_back(nbr(bssid, ssid, signal, bw, present, n_util, n_sta));
                    blocks = cat({blocks, bssid, str(ssid), u8(signal), str(bw), u8(present),
                                  present & 0x80 ? cat({u8(n_util), le16(n_sta)}) : zeros(3)});
                }
                ASSERT_EQ(s.add(status ? head(ruid, opc, ch, status) : ok(ruid, opc, ch, t, util, noise, nbrs, dur, type)), 0);
                for (size_t i = 0; i < t.size() && i < 64 && t[i]; ++i) string[i] = t[i];
                channels = cat({channels, raw({opc, ch, status}), string, status ? zeros(2) : raw({util, noise}),
                                le16(unsigned(nbrs.size())), blocks});
                total += nbrs.size();
                if (status) continue;
                std::copy_n(t.begin(), std::min<size_t>(t.size(), 65), stamp.begin());
                last = cat({le32(dur), u8(type)});
            }
            want = cat({want, ruid, stamp, last, u8(count), channels});
        }
        const Bytes sent = s.encode();
        EXPECT_EQ(sent, want);
        EXPECT_EQ(s.encode(), sent);
        const Decoded d(cat({sent, fill(100, 0xEE)})); // bytes after the report are not read
        EXPECT_EQ(std::vector<size_t>({size_t(d.n), d.rpt.nbr_total, d.rpt.length}),
                  std::vector<size_t>({total, total, sent.size()}));
        EXPECT_EQ(wire_of(d), sent);
    }
}

} // namespace
} // namespace lusl::test
