// SPDX-License-Identifier: BSD-2-Clause
// Station events, end to end: parser, loopback socket, exact record bytes.
#include <gtest/gtest.h>

#include <tuple>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

const Bytes kSta = mac("02:11:22:33:44:55"), kBss = mac("02:aa:bb:cc:dd:01"), kBss2 = mac("02:aa:bb:cc:dd:02");

struct StationEvents : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
};

TEST_F(StationEvents, TopologyNotificationCarriesClientBssAndEventBit)
{
    for (auto [event, joined] : {std::pair{0x80, 1}, {0xFF, 1}, {0x00, 0}, {0x7F, 0}}) {
        auto got = parse(rx, 0x0001, stream({tlv(0x01, {kBss2}), tlv(0x92, {kSta, kBss, u8(event)})})); // AL MAC first
        EXPECT_EQ(got, cat({raw({0x01, 0x00}), kSta, kBss, u8(joined)})) << "event " << event;
    }
}

// Reason codes go to both records; the status code belongs to Failed Connection only, and
// traffic stats are passed over. Without a BSSID TLV the BSSID stays zero. The exported
// extractors, given the same values, write the same fields and leave the header alone.
TEST_F(StationEvents, ClientDisassociationStatsAndFailedConnection)
{
    const Bytes disassoc = cat({raw({0x22, 0x80, 0x08, 0x00}), kSta});
    const Bytes failed = cat({raw({0x33, 0x80, 0x02, 0x01, 0x11, 0x00}), kBss, kSta});
    EXPECT_EQ(parse(rx, 0x8022,
                    stream({tlv(0x95, {kSta}), tlv(0xCA, {be16(0x0008)}), tlv(0xC9, {be16(0x1234)}),
                            tlv(0xA2, {kSta, zeros(22)})})),
              disassoc);
    EXPECT_EQ(
        parse(rx, 0x8033,
              stream({tlv(0xCA, {be16(0x0102)}), tlv(0xC9, {be16(0x0011)}), tlv(0xB8, {kBss}), tlv(0x95, {kSta})})),
        failed);
    EXPECT_EQ(parse(rx, 0x8033, stream({tlv(0x95, {kSta})})), cat({raw({0x33, 0x80}), zeros(10), kSta}));

    uint8_t fc[18] = {}, cd[10] = {};
    EXPECT_EQ(tlv_ReasonCode_FailedConn_extract(be16(0x0102).data(), fc), 0);
    EXPECT_EQ(tlv_StatusCode_extract(be16(0x0011).data(), fc), 0);
    EXPECT_EQ(tlv_BSSID_extract(kBss.data(), fc), 0);
    EXPECT_EQ(tlv_Sta_FailedConn_extract(kSta.data(), fc), 0);
    EXPECT_EQ(Bytes(fc, fc + 18), cat({zeros(2), slice(failed, 2, 16)}));
    EXPECT_EQ(tlv_ReasonCode_ClientDisassoc_extract(be16(0x0008).data(), cd), 0);
    EXPECT_EQ(tlv_Sta_ClientDisassoc_extract(kSta.data(), cd), 0);
    EXPECT_EQ(Bytes(cd, cd + 10), cat({zeros(2), slice(disassoc, 2, 8)}));
}

// Up to ten entries; a second TLV sets the count and overwrites from index 0, later entries
// keep what the first wrote. Count 0 logs nothing; above ten the message is refused.
TEST_F(StationEvents, AssociationStatusNotification)
{
    Bytes ten = u8(10);
    for (unsigned i = 0; i < 10; ++i) ten = cat({ten, raw({0x02, 0xAA, 0xBB, 0xCC, 0xDD, i, i & 1})});
    EXPECT_EQ(parse(rx, 0x8025, stream({tlv(0xBF, ten)})), cat({raw({0x25, 0x80}), ten})); // count, entries as sent
    EXPECT_TRUE(log.contains(8, 7, "[TLV] AsscoStatusNotification: BSS 02:AA:BB:CC:DD:09, AssocAllowanceStatus=1\n"));

    auto got =
        parse(rx, 0x8025, stream({tlv(0xBF, {u8(2), kBss, u8(1), kBss2, u8(1)}), tlv(0xBF, {u8(1), kBss2, u8(0)})}));
    ASSERT_TRUE(got);
    EXPECT_EQ(slice(*got, 2, 15), cat({u8(1), kBss2, u8(0), kBss2, u8(1)}));
    log.clear();
    EXPECT_EQ(parse(rx, 0x8025, stream({tlv(0xBF, {u8(0)})})), cat({raw({0x25, 0x80}), zeros(71)}));
    for (const auto& l : log.lines()) EXPECT_NE(l.module, 8) << l.text;

    EXPECT_FALSE(parse_n(rx, 0x8025, stream({tlv(0xBF, cat({u8(11), zeros(77)}))})));
    EXPECT_EQ(
        log.at_most(3),
        (std::vector<LogLine>{{8, 3, "", "[TLV] AsscoStatusNotification: Exceed maximum BSS number per device\n"}}));
}

// Every station-event TLV cut short one byte at a time is refused, never read past.
TEST_F(StationEvents, TruncatedTlvsAreRefused)
{
    const std::tuple<uint16_t, uint8_t, Bytes> cases[] = {
        {0x0001, 0x92, cat({kSta, kBss, u8(0x80)})},
        {0x8022, 0x95, kSta},
        {0x8022, 0xCA, be16(8)},
        {0x8033, 0xC9, be16(8)},
        {0x8033, 0xB8, kBss},
        {0x8025, 0xBF, cat({u8(2), kBss, u8(1), kBss2, u8(0)})},
    };
    for (const auto& [msg, type, value] : cases) {
        for (size_t len = 0; len < value.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "tlv " << int(type) << " len " << len);
            log.clear();
            EXPECT_FALSE(parse_n(rx, msg, tlv(type, slice(value, 0, len))));
            EXPECT_EQ(log.at_most(3).size(), 1u);
        }
    }
}

} // namespace
} // namespace lusl::test
