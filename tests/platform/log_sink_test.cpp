// SPDX-License-Identifier: BSD-2-Clause
// The platform log stand-in: level threshold from the environment, applied before formatting.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "luMAPLog.h"

namespace {

TEST(LogSink, DropsLinesAboveThresholdAndWritesTheRestToStderr)
{
    // The threshold is read once, at the first call of the process.
    setenv("LUMAP_LOG_LEVEL", "4", 1);
    unsetenv("LUMAP_LOG_SYSLOG");
    testing::internal::CaptureStderr();
    luMAP_syslog(4, 7, "[MSG] debug %s\n", "dropped");
    luMAP_syslog(8, 4, "[TLV] warn %hhu %hu %lu\n", static_cast<unsigned char>(7), static_cast<unsigned short>(8), 9UL);
    luMAP_syslog(4, 3, "[MSG] err %02hhX\n", static_cast<unsigned char>(0xAB));
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out.find("dropped"), std::string::npos);
    EXPECT_NE(out.find("[TLV] warn 7 8 9\n"), std::string::npos);
    EXPECT_NE(out.find("[MSG] err AB\n"), std::string::npos);
}

TEST(LogSink, DroppedLineIsNeverFormatted)
{
    // A %s with an invalid pointer would crash if the dropped line were formatted.
    testing::internal::CaptureStderr();
    luMAP_syslog(4, 7, "%s\n", reinterpret_cast<const char*>(16));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

} // namespace
