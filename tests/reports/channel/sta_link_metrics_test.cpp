// Associated and Unassociated STA Link Metric Responses.
#include <gtest/gtest.h>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

const Bytes kSrc = mac("02:5e:00:00:00:0e");
const Bytes kSta = mac("02:11:22:33:44:55");
const Bytes kBss = mac("02:aa:bb:cc:dd:01");
const Bytes kUnHead = cat({raw({0x10, 0x80}), kSrc});

Bytes bss_entry(const Bytes& bssid, unsigned long down, unsigned long up, unsigned rcpi)
{
    return cat({bssid, be32(777), be32(down), be32(up), u8(rcpi)});
}

// A station as sent (MAC, channel, time delta, RCPI) and as stored (MAC, channel, RCPI).
Bytes station(unsigned last, unsigned channel, unsigned rcpi)
{
    Bytes s = cat({mac("02:33:00:00:00:00"), u8(channel), be32(1234), u8(rcpi)});
    s[5] = static_cast<uint8_t>(last);
    return s;
}
Bytes stored(unsigned last, unsigned channel, unsigned rcpi)
{
    return cat({slice(station(last, channel, rcpi), 0, 7), u8(rcpi)});
}

struct StaLinkMetrics : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
};

TEST_F(StaLinkMetrics, AssociatedTakesTheFirstBssUplinkFirst)
{
    const Bytes v = cat({kSta, u8(2), bss_entry(kBss, 1000, 500, 0xA0), bss_entry(mac("02:aa:bb:cc:dd:02"), 1, 2, 3)});
    auto got = parse_n(rx, 0x800E, stream({tlv(0x96, v)}), kSrc);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, cat({raw({0x0E, 0x80}), kSta, raw({0xF4, 0x01, 0, 0, 0xE8, 0x03, 0, 0, 0xA0}), kBss, zeros(53)}));
    EXPECT_TRUE(log.contains(8, 7,
                             "[TLV] AssocStaLink: STA 02:11:22:33:44:55, associated BSS 02:AA:BB:CC:DD:01, "
                             "uplink/downlink rate=500/1000, RCPI=160\n"));

    // Without a BSS only the station is known; the response still goes out.
    log.clear();
    auto lone = parse_n(rx, 0x800E, stream({tlv(0x96, {kSta, u8(0)})}), kSrc);
    ASSERT_TRUE(lone);
    EXPECT_EQ(*lone, cat({raw({0x0E, 0x80}), kSta, zeros(68)}));
    ASSERT_EQ(log.at_most(3).size(), 1u);
    EXPECT_TRUE(log.contains(8, 3, "[TLV] Can't found bssid which associated station\n"));
}

TEST_F(StaLinkMetrics, UnassociatedFillsWhatFitsItsLengthAndRoom)
{
    const Bytes v = cat({u8(115), u8(3), station(1, 36, 0x50), station(2, 40, 0x60), station(3, 44, 0x70)});
    auto got = parse_n(rx, 0x8010, stream({tlv(0x98, v)}), kSrc);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, cat({kUnHead, u8(115), stored(1, 36, 0x50), stored(2, 40, 0x60), stored(3, 44, 0x70), zeros(61 * 8)}));
    size_t tlv_lines = 0;
    for (const auto& l : log.lines()) tlv_lines += l.module == 8;
    EXPECT_EQ(tlv_lines, 1u + 3u);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] UnassocStaLink: device 02:5E:00:00:00:0E, opclass=115, stacnt=3\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] UnassocStaLink:  STA 02:33:00:00:00:03, channel=44, RCPI=112\n"));

    // Length 30 leaves room for two stations; the third is still logged, as zeros.
    log.clear();
    auto cut = parse_n(rx, 0x8010, stream({tlv(0x98, slice(v, 0, 30))}), kSrc);
    ASSERT_TRUE(cut);
    EXPECT_EQ(*cut, cat({kUnHead, u8(115), stored(1, 36, 0x50), stored(2, 40, 0x60), zeros(62 * 8)}));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] UnassocStaLink:  STA 00:00:00:00:00:00, channel=0, RCPI=0\n"));

    // 66 stations: the record holds 64, the count is logged as received.
    Bytes many = raw({121, 66}), want = cat({kUnHead, u8(121)});
    for (unsigned i = 0; i < 66; ++i) {
        many = cat({many, station(i, 100, i)});
        if (i < 64) want = cat({want, stored(i, 100, i)});
    }
    log.clear();
    auto full = parse_n(rx, 0x8010, stream({tlv(0x98, many)}), kSrc);
    ASSERT_TRUE(full);
    EXPECT_EQ(*full, want);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] UnassocStaLink: device 02:5E:00:00:00:0E, opclass=121, stacnt=66\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] UnassocStaLink:  STA 02:33:00:00:00:3F, channel=100, RCPI=63\n"));
    EXPECT_FALSE(log.contains(8, 7, "[TLV] UnassocStaLink:  STA 02:33:00:00:00:40, channel=100, RCPI=64\n"));
    EXPECT_TRUE(log.at_most(4).empty());
}

TEST_F(StaLinkMetrics, TruncatedTlvs)
{
    // Associated: every cut is refused, a second BSS the record does not keep included.
    for (const Bytes& v : {cat({kSta, u8(2), bss_entry(kBss, 1, 2, 3), bss_entry(kBss, 4, 5, 6)}), cat({kSta, u8(0)})}) {
        for (size_t len = 0; len < v.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "0x96 len " << len);
            log.clear();
            EXPECT_FALSE(parse_n(rx, 0x800E, tlv(0x96, slice(v, 0, len)), kSrc));
            ASSERT_EQ(log.at_most(3).size(), 1u);
            EXPECT_TRUE(log.contains(8, 3, "[TLV] AssocStaLink: TLV length " + std::to_string(len) +
                                               " is too short for its content\n"));
            EXPECT_TRUE(all_slots_null());
        }
    }
    // Unassociated: without its two head bytes it is refused; a cut station is skipped.
    const Bytes v = cat({u8(115), u8(1), station(1, 36, 0x50)});
    for (size_t len = 0; len < v.size(); ++len) {
        SCOPED_TRACE(testing::Message() << "0x98 len " << len);
        log.clear();
        auto got = parse_n(rx, 0x8010, tlv(0x98, slice(v, 0, len)), kSrc);
        if (len < 2) {
            EXPECT_FALSE(got);
            EXPECT_TRUE(log.contains(8, 3, "[TLV] UnassocStaLink: TLV length " + std::to_string(len) +
                                               " is too short for its content\n"));
        } else {
            ASSERT_TRUE(got);
            EXPECT_EQ(*got, cat({kUnHead, u8(115), zeros(512)}));
        }
        EXPECT_TRUE(all_slots_null());
    }
}

TEST(StaLinkMetricsExtractors, ExportedShims)
{
    LogCapture log;
    Bytes assoc = zeros(76);
    const Bytes a = cat({kSta, u8(1), bss_entry(kBss, 0x01020304, 0x0A0B0C0D, 0x7F)});
    EXPECT_EQ(tlv_AssociStaLinkMetric2_extract(a.data(), assoc.data()), 0);
    EXPECT_EQ(assoc, cat({zeros(2), kSta, raw({0x0D, 0x0C, 0x0B, 0x0A, 0x04, 0x03, 0x02, 0x01, 0x7F}), kBss, zeros(53)}));

    // The unassociated extractor honours its length: 26 bytes hold two of the three stations.
    Bytes un = zeros(521);
    const Bytes u = cat({u8(118), u8(3), station(1, 52, 1), station(2, 56, 2), station(3, 60, 3)});
    EXPECT_EQ(tlv_UnAssociStaLinkMetric_extract(u.data(), un.data(), 26, nullptr), 0);
    EXPECT_EQ(un, cat({zeros(8), u8(118), stored(1, 52, 1), stored(2, 56, 2), zeros(62 * 8)}));
    EXPECT_TRUE(log.contains(8, 3, "[TLV] Warning!!! Device_mac is NULL!!.\n"));
}

} // namespace
} // namespace lusl::test
