// SPDX-License-Identifier: BSD-2-Clause
// Catalogue lookups as seen through the parser, the channel and the release.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

struct Parser : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
};

// Every parsed type: an empty stream goes out as header and zeros of the record size
// (0x8005 with the source MAC at bytes 2..7); the two compact types are checked with
// their encoders.
TEST_F(Parser, EmptyMessageOfEveryFixedTypeIsSentAsHeaderAndZeros)
{
    const struct {
        uint16_t type;
        size_t size;
        const char* name;
    } types[] = {
        {0x0001, 15, "Topology Notification"},
        {0x0003, 593, "Topology Response"},
        {0x0006, 718, "Link Metric Response"},
        {0x0009, 208, "AP Autoconfiguration WSC"},
        {0x8002, 11426, "Ap Capability Report"},
        {0x8005, 3687, "Channel Preference Report"},
        {0x8008, 57, "Operating Channel Report"},
        {0x800A, 2150, "Client Capability Report"},
        {0x800E, 76, "Associated Sta Link Metric Response"},
        {0x8010, 521, "Unassociated Sta Link Metric Response"},
        {0x8015, 21, "Client Steering BTM Report"},
        {0x801A, 15, "Backhaul Steering Response"},
        {0x8022, 10, "Client Disassociation Stats"},
        {0x8025, 73, "Association Status Notification"},
        {0x802C, 109, "BSS Configuration Request"},
        {0x8033, 18, "Failed Connection"},
    };
    const Bytes src = mac("02:00:00:00:00:07");
    for (const auto& t : types) {
        SCOPED_TRACE(t.name);
        log.clear();
        auto got = parse(rx, t.type, {0, 0, 0}, src);
        ASSERT_TRUE(got);
        Bytes want = zeros(t.size);
        want[0] = static_cast<uint8_t>(t.type);
        want[1] = static_cast<uint8_t>(t.type >> 8);
        if (t.type == 0x8005) std::copy(src.begin(), src.end(), want.begin() + 2);
        EXPECT_EQ(*got, want);
        char line[128];
        std::snprintf(line, sizeof line, "[MSG] Parsing %s(0x%04X)\n", t.name, t.type);
        EXPECT_TRUE(log.contains(4, 7, line));
        EXPECT_TRUE(log.at_most(4).empty());
    }
}

TEST_F(Parser, ChannelOnlyAndUnknownTypesAreRefused)
{
    for (uint16_t type : {0x0040, 0x0044, 0x004D, 0xDEB6, 0xDEB7, 0xDEB8, 0xDEBA, 0xDEB9, 0x0000, 0xFFFF}) {
        log.clear();
        EXPECT_FALSE(parse_n(rx, type, {0}));
        char line[64];
        std::snprintf(line, sizeof line, "Unknown message type (%04x)\n", type);
        EXPECT_TRUE(log.contains(4, 4, line)) << line;
    }
    // Names: five channel-only types have one, the rest log as "Unknow Msg".
    log.clear();
    parse_n(rx, 0xDEB7, {0});
    parse_n(rx, 0xDEB8, {0});
    EXPECT_TRUE(log.contains(4, 7, "[MSG] Parsing Lumeno Steering Logic Data(0xDEB7)\n"));
    EXPECT_TRUE(log.contains(4, 7, "[MSG] Parsing Unknow Msg(0xDEB8)\n"));
}

TEST_F(Parser, HighBitsOfTypeAndPortAreIgnored)
{
    ensure_msg_socket();
    const Bytes src = mac("02:00:00:00:00:09");
    const Bytes s{0};
    luSL_Msg_parser(0x18005u, s.data(), 0x30000u | rx.port(), src.data());
    auto got = rx.recv();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->size(), 3687u);
    EXPECT_EQ(slice(*got, 0, 8), cat({raw({0x05, 0x80}), src}));
}

TEST_F(Parser, NullSourceMacLeavesChannelPreferenceMacZero)
{
    ensure_msg_socket();
    const Bytes s{0};
    luSL_Msg_parser(0x8005, s.data(), rx.port(), nullptr);
    auto got = rx.recv();
    ASSERT_TRUE(got);
    EXPECT_EQ(slice(*got, 2, 6), zeros(6));
}

TEST_F(Parser, OccupiedSlotBlocksTheTypeUntilReleased)
{
    static TopologyResp outside;
    pTopologyResp = &outside;
    EXPECT_FALSE(parse_n(rx, 0x0003, {0}));
    EXPECT_TRUE(log.contains(4, 3, "[MSG] Error while parsing Topology Response(0x0003)!!!\n"));
    EXPECT_EQ(pTopologyResp, &outside);
    pTopologyResp = nullptr;
    EXPECT_TRUE(parse_n(rx, 0x0003, {0}));
}

TEST_F(Parser, RefusedWalkIsNotSentAndReleased)
{
    EXPECT_FALSE(parse_n(rx, 0x8025, stream({tlv(0xBF, {u8(11)})})));
    EXPECT_TRUE(rx.empty());
}

TEST(Release, UnknownTypeIsLoggedAndSecondReleaseIsSilent)
{
    LogCapture log;
    luSL_Msg_free(0x0040);
    luSL_Msg_free(0xDEB7);
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"Unknown message type (0040)\n", "Unknown message type (deb7)\n"}));
    log.clear();
    luSL_Msg_free(0x0003);
    luSL_Msg_free(0x801C);
    luSL_Msg_free(0x800C);
    EXPECT_TRUE(log.texts().empty());
}

TEST(Release, ApMetricsReleasesRecordScratchAndBuffer)
{
    pApMetricsResp = static_cast<ApMetricsResp*>(calloc(1, sizeof(ApMetricsResp)));
    pAssocStaLinkMetricBuffer = static_cast<AssocStaLinkMetricBuffer*>(calloc(1, 2688));
    pApMetricsRespSendBuf = static_cast<uint8_t*>(malloc(SOCKET_MAX_LENGTH));
    luSL_Msg_free(0x1800C); // high bits ignored
    EXPECT_TRUE(all_slots_null());
}

// The process's own luMAP_syslog receives the library's lines (this executable defines it).
TEST(LogSink, ProcessDefinedSinkReceivesLibraryLines)
{
    LogCapture log;
    luSL_Msg_free(0xDEB9);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].module, 4);
    EXPECT_EQ(log.lines()[0].level, 4);
    EXPECT_EQ(log.lines()[0].fmt, "Unknown message type (%04x)\n");
}

} // namespace
} // namespace lusl::test
