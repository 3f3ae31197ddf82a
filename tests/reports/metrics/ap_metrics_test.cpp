// AP Metrics Response, radio and BSS level: record fields at their offsets, ordinals as
// the walker hands them over, refusals and truncated TLVs.
#include <gtest/gtest.h>

#include <string>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

const Bytes kBssA = mac("02:aa:00:00:00:01");
const Bytes kBssB = mac("02:aa:00:00:00:02");
const Bytes kRuid1 = mac("02:cc:00:00:00:01");
const Bytes kRuid2 = mac("02:cc:00:00:00:02");
const Bytes kEsp = raw({0xB1, 0xB2, 0xB3, 0xC1, 0xC2, 0xC3, 0xD1, 0xD2, 0xD3, 0xE1, 0xE2, 0xE3});

constexpr size_t kRecordSize = 49124;
size_t bss_at(size_t b) { return 24 + 4910 * b; }

Bytes ap_metrics(const Bytes& bssid, unsigned util, unsigned sta_num, unsigned flags, const Bytes& esp = {})
{
    return tlv(0x94, {bssid, u8(util), be16(sta_num), u8(flags), esp});
}
Bytes radio_metrics(const Bytes& ruid, unsigned noise, unsigned tx, unsigned self, unsigned other)
{
    return tlv(0xC6, {ruid, u8(noise), u8(tx), u8(self), u8(other)});
}
Bytes ext_metrics(const Bytes& bssid, uint32_t base)
{
    return tlv(0xC7, {bssid, be32(base + 1), be32(base + 2), be32(base + 3), be32(base + 4), be32(base + 5),
                      be32(base + 6)});
}

struct ApMetricsWalk : testing::Test {
    LogCapture log;
    Receiver rx;
    Bytes rec = Bytes(kRecordSize, 0);
    // The walk on a record of our own, so its bytes can be read afterwards.
    int walk(const Bytes& s)
    {
        const int r = process_tlv(0x800C, s.data(), rec.data(), nullptr);
        luSL_Msg_free(0x800C); // the scratch table
        return r;
    }
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
};

TEST_F(ApMetricsWalk, IncludeFlagsPickTheEspFieldsThatFollow)
{
    const struct {
        uint8_t flags;
        uint8_t stored;
        Bytes esp; // as the record holds them: BE, BK, VO, VI
    } cases[] = {
        {0x80, 0x01, cat({slice(kEsp, 0, 3), zeros(9)})},
        {0x10, 0x08, cat({zeros(9), slice(kEsp, 0, 3)})}, // VI comes first in the TLV when alone
        {0xF0, 0x0F, kEsp},
        {0x0F, 0x00, zeros(12)},
        {0xA5, 0x05, cat({slice(kEsp, 0, 3), zeros(3), slice(kEsp, 3, 3), zeros(3)})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.flags));
        rec.assign(kRecordSize, 0);
        const int present = __builtin_popcount(c.flags & 0xF0);
        ASSERT_EQ(walk(stream({ap_metrics(kBssA, 200, 3, c.flags, slice(kEsp, 0, 3 * present))})), 0);
        EXPECT_EQ(rec[2], 1);
        EXPECT_EQ(slice(rec, bss_at(0), 9), cat({kBssA, u8(200), raw({3, 0})}));
        EXPECT_EQ(slice(rec, bss_at(0) + 4897, 13), cat({u8(c.stored), c.esp}));
    }
    // The last case: the include byte is logged as received.
    EXPECT_TRUE(log.contains(8, 7,
                             "[TLV] ApMetrics: BSS 02:AA:00:00:00:01, CH util=200, accoc STA cnts=3 \ninclude_bit=A5, "
                             "AC_BE=B1B2B3, AC_BK=000000, AC_VO=C1C2C3, AC_VI=000000\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ApMetrics: BSS 02:AA:00:00:00:01, channel util=200, associated STA counts=3\n"));
}

TEST_F(ApMetricsWalk, HighIncludeBitsOfTheRecordAreKept)
{
    rec[bss_at(4) + 4897] = 0xF0;
    const Bytes v = cat({kBssA, u8(1), be16(0), u8(0x80), slice(kEsp, 0, 3)});
    EXPECT_EQ(tlv_APMetrics_extract(v.data(), rec.data(), 4), 0);
    EXPECT_EQ(rec[2], 5);
    EXPECT_EQ(rec[bss_at(4) + 4897], 0xF1);
    EXPECT_EQ(slice(rec, bss_at(4), 6), kBssA);
}

TEST_F(ApMetricsWalk, StationCountAboveSixtyFourIsCapped)
{
    ASSERT_EQ(walk(stream({ap_metrics(kBssA, 0, 64, 0), ap_metrics(kBssB, 0, 65, 0), ap_metrics(kBssA, 0, 0xFFFF, 0)})), 0);
    EXPECT_EQ(le16_at(rec, bss_at(0) + 7), 64);
    EXPECT_EQ(le16_at(rec, bss_at(1) + 7), 64);
    EXPECT_EQ(le16_at(rec, bss_at(2) + 7), 64);
    EXPECT_EQ(rec[2], 3); // the same BSSID twice makes two entries
    EXPECT_EQ(slice(rec, bss_at(2), 6), kBssA);
    const auto errors = log.at_most(3);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], (LogLine{8, 3, "",
                                  "[TLV] ApMetrics: BSS 02:AA:00:00:00:02, associated STA counts=65 exceed maximum 64, "
                                  "set to MAX!\n"}));
    EXPECT_EQ(errors[1].text,
              "[TLV] ApMetrics: BSS 02:AA:00:00:00:01, associated STA counts=65535 exceed maximum 64, set to MAX!\n");
}

// Two AP Metrics TLVs take entries 0 and 1 whatever Operating Channel Report and Radio
// Metrics TLVs sit between them; those two kinds share one count.
TEST_F(ApMetricsWalk, OrdinalsAsTheWalkerCountsThem)
{
    ASSERT_EQ(walk(stream({tlv(0x8F, zeros(4)), ap_metrics(kBssA, 1, 0, 0), radio_metrics(kRuid1, 10, 20, 30, 40),
                           ap_metrics(kBssB, 2, 0, 0)})),
              0);
    EXPECT_EQ(rec[2], 2);
    EXPECT_EQ(slice(rec, bss_at(0), 7), cat({kBssA, u8(1)}));
    EXPECT_EQ(slice(rec, bss_at(1), 7), cat({kBssB, u8(2)}));
    EXPECT_EQ(rec[3], 2);
    EXPECT_EQ(slice(rec, 4, 20), cat({zeros(10), kRuid1, raw({10, 20, 30, 40})}));
    EXPECT_TRUE(log.contains(
        8, 7, "[TLV] RadioMetrics: RUID 02:CC:00:00:00:01 Noise=10, Transmit=20, ReceiveSelf=30 , ReceiveOther=40\n"));
}

TEST_F(ApMetricsWalk, RadioMetricsAfterAnOperatingChannelReportMoveOneRadioOn)
{
    // Ordinals 1 and 2: the second has no radio entry and is dropped; the message goes out.
    auto got = parse_n(rx, 0x800C,
                       stream({tlv(0x8F, zeros(4)), radio_metrics(kRuid1, 1, 2, 3, 4), radio_metrics(kRuid2, 5, 6, 7, 8)}));
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, cat({raw({0x0C, 0x80, 0, 2}), zeros(10), kRuid1, raw({1, 2, 3, 4})}));
    const auto errors = log.at_most(3);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], (LogLine{8, 3, "",
                                  "[TLV] RadioMetrics: RUID 02:CC:00:00:00:02 is radio 3, exceeds "
                                  "MAX_RADIO_PER_DEVICE 2, dropped\n"}));
}

TEST_F(ApMetricsWalk, ExportedOrdinalsBeyondTheTablesWriteNothing)
{
    const Bytes radio = cat({kRuid2, raw({9, 8, 7, 6})});
    EXPECT_EQ(tlv_RadioMetrics_extract(radio.data(), rec.data(), 1), 0);
    EXPECT_EQ(tlv_RadioMetrics_extract(radio.data(), rec.data(), 7), 0);
    EXPECT_EQ(rec[3], 2);
    EXPECT_EQ(slice(rec, 14, 10), radio);

    const Bytes bss = cat({kBssB, u8(3), be16(1), u8(0xF0), kEsp});
    EXPECT_EQ(tlv_APMetrics_extract(bss.data(), rec.data(), 9), 0);
    EXPECT_EQ(rec[2], 10);
    const Bytes before = rec;
    EXPECT_EQ(tlv_APMetrics_extract(bss.data(), rec.data(), 10), 0);
    EXPECT_EQ(rec[2], 11); // still counted, so the encoder refuses the message
    EXPECT_EQ(tlv_APMetrics_extract(bss.data(), rec.data(), 1000), 0);
    EXPECT_EQ(rec[2], 255); // saturates rather than wrapping to a valid count
    rec[2] = before[2];
    EXPECT_EQ(rec, before);
    EXPECT_TRUE(log.contains(8, 3, "[TLV] ApMetrics: BSS 02:AA:00:00:00:02 is BSS 11, exceeds MAX_BSS_PER_DEVICE 10, dropped\n"));
}

TEST_F(ApMetricsWalk, ElevenBssesAreNotSent)
{
    Bytes s;
    for (int i = 0; i < 11; ++i) s = cat({s, ap_metrics(kBssA, 0, 0, 0)});
    auto got = parse_n(rx, 0x800C, s);
    ASSERT_TRUE(got);
    EXPECT_TRUE(got->empty()); // the encoder refused: a zero-length datagram
    EXPECT_TRUE(log.contains(4, 3, "[MSG] ApMetrcsResp: ERROR!!!: bss counts is bigger than MAX_BSS_PER_DEVICE:11\n"));
}

TEST_F(ApMetricsWalk, ExtendedMetricsFindTheirBss)
{
    ASSERT_EQ(walk(stream({ap_metrics(kBssA, 0, 0, 0), ap_metrics(kBssB, 0, 0, 0), ext_metrics(kBssB, 0x01020300)})), 0);
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(le32_at(rec, bss_at(1) + 4873 + 4 * i), 0x01020301 + i);
    EXPECT_EQ(slice(rec, bss_at(0) + 4873, 24), zeros(24));
    EXPECT_TRUE(log.contains(8, 7,
                             "[TLV] ApExtendedMetrics: BSS 02:AA:00:00:00:02, UC tx=16909057, UC rx=16909058, "
                             "MC tx=16909059, MC rx=16909060, BC tx=16909061, BC rx=16909062\n"));
}

TEST_F(ApMetricsWalk, ExtendedMetricsWithoutTheirBssFailTheMessage)
{
    // Before its AP Metrics TLV: the first free entry ends the search.
    EXPECT_FALSE(parse_n(rx, 0x800C, stream({ext_metrics(kBssA, 0), ap_metrics(kBssA, 0, 0, 0)})));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ApExtendedMetrics: empty BSS\n"));

    // All ten entries in use and none matches.
    log.clear();
    Bytes s;
    for (int i = 0; i < 10; ++i) s = cat({s, ap_metrics(kBssA, 0, 0, 0)});
    EXPECT_EQ(walk(stream({s, ext_metrics(kBssB, 0)})), -1);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ApExtendedMetrics: bss_idx reach max index,not found match BSS\n"));
    EXPECT_FALSE(log.contains(8, 7, "[TLV] ApExtendedMetrics: empty BSS\n"));
    for (int b = 0; b < 10; ++b) EXPECT_EQ(slice(rec, bss_at(b) + 4873, 24), zeros(24));

    const Bytes v = cat({kBssB, zeros(24)});
    EXPECT_EQ(tlv_APExtendedMetrics_extract(v.data(), rec.data()), -1);
}

// Each TLV cut short one byte at a time is refused with one error line, never read past:
// the cut TLV ends the buffer, so a read beyond it is caught under ASan.
TEST_F(ApMetricsWalk, TruncatedTlvsAreRefused)
{
    const struct {
        uint8_t type;
        Bytes before;
        Bytes value;
    } cases[] = {
        {0x94, {}, cat({kBssA, u8(1), be16(2), u8(0xF0), kEsp})},
        {0x94, {}, cat({kBssA, u8(1), be16(2), u8(0x20), slice(kEsp, 0, 3)})},
        {0xC6, {}, cat({kRuid1, raw({1, 2, 3, 4})})},
        {0xC7, ap_metrics(kBssA, 0, 0, 0), cat({kBssA, zeros(24)})},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(parse_n(rx, 0x800C, cat({c.before, tlv(c.type, c.value)})));
        for (size_t len = 0; len < c.value.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "tlv " << int(c.type) << " len " << len);
            log.clear();
            EXPECT_FALSE(parse_n(rx, 0x800C, cat({c.before, tlv(c.type, slice(c.value, 0, len))})));
            if (len == 0 && !c.before.empty()) {
                // A zero length after the first TLV stops the walk instead.
                EXPECT_TRUE(log.at_most(3).empty());
                continue;
            }
            const auto errors = log.at_most(3);
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_EQ(errors[0].module, 8);
            EXPECT_NE(errors[0].text.find("length " + std::to_string(len)), std::string::npos) << errors[0].text;
        }
        EXPECT_TRUE(all_slots_null());
    }
}

} // namespace
} // namespace lusl::test
