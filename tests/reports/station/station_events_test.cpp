// Station events, end to end: parser, loopback socket, exact record bytes.
#include <gtest/gtest.h>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

const Bytes kSta = mac("02:11:22:33:44:55");
const Bytes kBss = mac("02:aa:bb:cc:dd:01");
const Bytes kBss2 = mac("02:aa:bb:cc:dd:02");

struct StationEvents : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
};

TEST_F(StationEvents, TopologyNotificationCarriesClientBssAndEventBit)
{
    for (auto [event, joined] : {std::pair{0x80, 1}, {0xFF, 1}, {0x00, 0}, {0x7F, 0}}) {
        auto got = parse(rx, 0x0001, stream({tlv(0x01, {mac("02:00:00:00:00:99")}), tlv(0x92, {kSta, kBss, u8(event)})}));
        ASSERT_TRUE(got);
        EXPECT_EQ(*got, cat({raw({0x01, 0x00}), kSta, kBss, u8(joined)}));
    }
    auto empty = parse(rx, 0x0001, stream({}));
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, cat({raw({0x01, 0x00}), zeros(13)}));
}

TEST_F(StationEvents, ClientDisassociationStats)
{
    // The Status Code TLV belongs to Failed Connection only; traffic stats are passed over.
    auto got = parse(rx, 0x8022, stream({tlv(0x95, {kSta}), tlv(0xCA, {be16(0x0008)}), tlv(0xC9, {be16(0x1234)}),
                                         tlv(0xA2, {kSta, zeros(22)})}));
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, cat({raw({0x22, 0x80, 0x08, 0x00}), kSta}));
}

TEST_F(StationEvents, FailedConnection)
{
    auto got = parse(rx, 0x8033, stream({tlv(0xCA, {be16(0x0102)}), tlv(0xC9, {be16(0x0011)}), tlv(0xB8, {kBss}),
                                         tlv(0x95, {kSta})}));
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, cat({raw({0x33, 0x80, 0x02, 0x01, 0x11, 0x00}), kBss, kSta}));
    // Without a BSSID TLV the BSSID stays zero.
    auto nobss = parse(rx, 0x8033, stream({tlv(0x95, {kSta})}));
    ASSERT_TRUE(nobss);
    EXPECT_EQ(slice(*nobss, 6, 6), zeros(6));
}

TEST_F(StationEvents, AssociationStatusNotificationUpToTenEntries)
{
    Bytes ten = u8(10);
    Bytes want = cat({raw({0x25, 0x80, 10})});
    for (int i = 0; i < 10; ++i) {
        Bytes e = cat({mac("02:aa:bb:cc:dd:00"), u8(i & 1)});
        e[5] = static_cast<uint8_t>(i);
        ten = cat({ten, e});
        want = cat({want, e});
    }
    auto got = parse(rx, 0x8025, stream({tlv(0xBF, ten)}));
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, want);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] AsscoStatusNotification: BSS 02:AA:BB:CC:DD:09, AssocAllowanceStatus=1\n"));
}

TEST_F(StationEvents, AssociationStatusCountAboveTenIsRefused)
{
    EXPECT_FALSE(parse_n(rx, 0x8025, stream({tlv(0xBF, cat({u8(11), zeros(77)}))})));
    EXPECT_TRUE(log.contains(8, 3, "[TLV] AsscoStatusNotification: Exceed maximum BSS number per device\n"));
}

TEST_F(StationEvents, SecondStatusTlvOverwritesFromIndexZero)
{
    auto got = parse(rx, 0x8025, stream({tlv(0xBF, {u8(2), kBss, u8(1), kBss2, u8(1)}), tlv(0xBF, {u8(1), kBss2, u8(0)})}));
    ASSERT_TRUE(got);
    EXPECT_EQ(slice(*got, 2, 15), cat({u8(1), kBss2, u8(0), kBss2, u8(1)}));
    // Count 0: nothing logged, entries zero.
    log.clear();
    auto zero = parse(rx, 0x8025, stream({tlv(0xBF, {u8(0)})}));
    ASSERT_TRUE(zero);
    EXPECT_EQ(slice(*zero, 2, 71), zeros(71));
    EXPECT_TRUE(log.at_most(4).empty());
}

// Every station-event TLV cut short one byte at a time is refused, never read past.
TEST_F(StationEvents, TruncatedTlvsAreRefused)
{
    const struct {
        uint16_t msg;
        Bytes value;
    } cases[] = {
        {0x0001, cat({kSta, kBss, u8(0x80)})},
        {0x8022, kSta},
        {0x8022, be16(8)},
        {0x8033, be16(8)},
        {0x8033, kBss},
        {0x8025, cat({u8(2), kBss, u8(1), kBss2, u8(0)})},
    };
    const uint8_t types[] = {0x92, 0x95, 0xCA, 0xC9, 0xB8, 0xBF};
    for (size_t i = 0; i < std::size(cases); ++i) {
        for (size_t len = 0; len < cases[i].value.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "tlv " << int(types[i]) << " len " << len);
            log.clear();
            Bytes cut(cases[i].value.begin(), cases[i].value.begin() + static_cast<long>(len));
            EXPECT_FALSE(parse_n(rx, cases[i].msg, tlv(types[i], cut)));
            EXPECT_EQ(log.at_most(3).size(), 1u);
        }
    }
}

TEST(StationExtractors, ExportedShimsWriteTheirFields)
{
    uint8_t fc[18] = {};
    const Bytes code = be16(0xABCD);
    EXPECT_EQ(tlv_StatusCode_extract(code.data(), fc), 0);
    EXPECT_EQ(tlv_ReasonCode_FailedConn_extract(code.data(), fc), 0);
    EXPECT_EQ(tlv_BSSID_extract(kBss.data(), fc), 0);
    EXPECT_EQ(tlv_Sta_FailedConn_extract(kSta.data(), fc), 0);
    EXPECT_EQ(Bytes(fc, fc + 18), cat({raw({0, 0, 0xCD, 0xAB, 0xCD, 0xAB}), kBss, kSta}));
    uint8_t cd[10] = {};
    EXPECT_EQ(tlv_ReasonCode_ClientDisassoc_extract(code.data(), cd), 0);
    EXPECT_EQ(tlv_Sta_ClientDisassoc_extract(kSta.data(), cd), 0);
    EXPECT_EQ(Bytes(cd, cd + 10), cat({raw({0, 0, 0xCD, 0xAB}), kSta}));
}

} // namespace
} // namespace lusl::test
