// SPDX-License-Identifier: BSD-2-Clause
// The platform log stand-in: level threshold from the environment, applied before formatting;
// each line, whatever its length, in one write.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "luMAPLog.h"

namespace {

struct Env : testing::Environment {
    // The threshold is read once, at the first call of the process.
    void SetUp() override
    {
        setenv("LUMAP_LOG_LEVEL", "4", 1);
        unsetenv("LUMAP_LOG_SYSLOG");
    }
};
const auto* const env = testing::AddGlobalTestEnvironment(new Env);

TEST(LogSink, DropsLinesAboveThresholdAndWritesTheRestToStderr)
{
    testing::internal::CaptureStderr();
    luMAP_syslog(4, 7, "[MSG] debug %s\n", "dropped");
    luMAP_syslog(8, 4, "[TLV] warn %hhu %hu %lu\n", static_cast<unsigned char>(7), static_cast<unsigned short>(8), 9UL);
    luMAP_syslog(4, 3, "[MSG] err %02hhX\n", static_cast<unsigned char>(0xAB));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "luSL[8/4] [TLV] warn 7 8 9\nluSL[4/3] [MSG] err AB\n");
}

TEST(LogSink, DroppedLineIsNeverFormatted)
{
    // A %s with an invalid pointer would crash if the dropped line were formatted.
    testing::internal::CaptureStderr();
    luMAP_syslog(4, 7, "%s\n", reinterpret_cast<const char*>(16));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// The prefix is written without printf for one-digit modules and levels; any other value
// still prints as it comes.
TEST(LogSink, ModuleAndLevelInTheirPrefix)
{
    testing::internal::CaptureStderr();
    luMAP_syslog(12, -3, "m\n");
    luMAP_syslog(0, 0, "z %s|%5.2f\n", "x", 1.5);
    luMAP_syslog(9, 4, "\033[0;32;31m[MSG] Socket Recv Fail!!!\033[m\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "luSL[12/-3] m\nluSL[0/0] z x| 1.50\nluSL[9/4] \033[0;32;31m[MSG] Socket Recv Fail!!!\033[m\n");
}

// stderr as one end of a datagram socket pair: each write(2) arrives as one datagram.
struct WritesToStderr : testing::Test {
    int pair[2] = {-1, -1};
    int saved = -1;
    void SetUp() override
    {
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_DGRAM, 0, pair), 0);
        fflush(stderr);
        saved = dup(2);
        ASSERT_GE(dup2(pair[1], 2), 0);
    }
    void TearDown() override
    {
        fflush(stderr);
        setvbuf(stderr, nullptr, _IONBF, 0);
        dup2(saved, 2);
        close(saved);
        close(pair[0]);
        close(pair[1]);
    }
    std::vector<std::string> writes()
    {
        std::vector<std::string> all;
        std::vector<char> buf(1 << 16);
        ssize_t n;
        while ((n = recv(pair[0], buf.data(), buf.size(), MSG_DONTWAIT)) >= 0) all.emplace_back(buf.data(), static_cast<size_t>(n));
        return all;
    }
};

TEST_F(WritesToStderr, EveryLineIsOneWriteWhateverItsLength)
{
    const std::string long_text(3000, 'q');
    luMAP_syslog(8, 3, "[TLV] short %02hhX\n", static_cast<unsigned char>(1));
    luMAP_syslog(4, 4, "[MSG] long %s|%d\n", long_text.c_str(), 5);
    luMAP_syslog(4, 3, "[MSG] long, twice %.3000s|%.1f\n", long_text.c_str(), 0.5);
    // A field wider than the stack buffer.
    luMAP_syslog(4, 3, "%600d\n", 7);
    const auto got = writes();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0], "luSL[8/3] [TLV] short 01\n");
    EXPECT_EQ(got[1], "luSL[4/4] [MSG] long " + long_text + "|5\n");
    EXPECT_EQ(got[2], "luSL[4/3] [MSG] long, twice " + long_text + "|0.5\n");
    EXPECT_EQ(got[3], "luSL[4/3] " + std::string(599, ' ') + "7\n");
}

TEST_F(WritesToStderr, WhatTheProcessBufferedInStderrComesFirst)
{
    static char buf[256];
    setvbuf(stderr, buf, _IOFBF, sizeof buf);
    std::fputs("before ", stderr);
    luMAP_syslog(4, 3, "line\n");
    const auto got = writes();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], "before ");
    EXPECT_EQ(got[1], "luSL[4/3] line\n");
}

} // namespace
