// SPDX-License-Identifier: BSD-2-Clause
// Engineering debug flag through a stand-in "sys" command, and the hex dump's log calls.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "log_capture.h"
#include "luSL/luSL.h"

namespace lusl::test {
namespace {

constexpr char kDbgFile[] = "/tmp/.dbg";

bool exists(const char* path) { struct stat st; return lstat(path, &st) == 0; }

std::vector<LogLine> debug(std::initializer_list<const char*> texts)
{
    std::vector<LogLine> lines;
    for (const char* t : texts) lines.push_back({4, 7, "", t});
    return lines;
}

struct EngDbgFlag : testing::Test {
    int lock = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    char dir[32] = "/tmp/lusl-dbg-XXXXXX";
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    LogCapture log;

    void SetUp() override
    {
        // /tmp/.dbg is a fixed name: test processes running side by side take turns on an
        // abstract UNIX socket name, which the kernel releases when the holder exits.
        const sockaddr_un turn{AF_UNIX, "\0lusl-test-dbg"};
        for (int i = 0; bind(lock, reinterpret_cast<const sockaddr*>(&turn), sizeof(sa_family_t) + 14); usleep(20000))
            ASSERT_LT(++i, 1500) << "another test kept " << kDbgFile << " for 30 s";
        if (exists(kDbgFile)) GTEST_SKIP() << kDbgFile << " already exists on this machine";
        // First on PATH: a "sys" that answers "sys kelm", and nothing else, with <dir>/out.
        ASSERT_NE(mkdtemp(dir), nullptr);
        std::ofstream(dir + std::string("/sys")) << "#!/bin/sh\n[ \"$*\" = kelm ] && cat " << dir << "/out\n";
        ASSERT_EQ(chmod((dir + std::string("/sys")).c_str(), 0755), 0);
        setenv("PATH", (dir + (":" + path)).c_str(), 1);
    }
    void TearDown() override
    {
        setenv("PATH", path.c_str(), 1);
        std::filesystem::remove_all(dir);
        close(lock);
    }
};

TEST_F(EngDbgFlag, ReadsTheDecimalNumberAfterTheColonOfTheLastMatchingLine)
{
    const struct {
        const char* output;
        int flag;
    } cases[] = {
        {"Boot Module Debug Flag  : 1\n", 1},
        {"Boot Module Debug Flag  : 0\n", 0},
        {"Boot Module Debug Flag  : 0x01\n", 0}, // the decimal read stops at the x
        {"Boot Module Debug Flag : 1\n", 1},
        {"[kelm] Boot Module Debug Flag: 1\n", 1}, // read from where the text starts
        {"Boot Module Debug Flag\t:\t\t5\n", 1},
        {"Boot Module Debug Flag  :-1\n", 1}, // any non-zero number
        {"Boot Module Debug Flag  : 4294967296\n", 1}, // out of range of int, still set
        {"Boot Module Debug Flag  : 99999999999999999999\n", 1}, // and of long
        {"", 0},
        {"Boot Module Debug Flag  : 1\nBoot Module Debug Flag  : 0\n", 0},
        {"Boot Module Debug Flag  : 0\nBoot Module Debug Flag  : 1\n", 1},
        {"Boot Module Debug Flag  : 1\nBoot Module Debug Flag 0\n", 1}, // no colon: the earlier value stays
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        std::ofstream(dir + std::string("/out")) << c.output;
        EXPECT_EQ(GetEngDbgFlag(), c.flag);
        EXPECT_FALSE(exists(kDbgFile));
    }
    // A dangling link into a missing directory: the shell cannot create the file.
    ASSERT_EQ(symlink("/nonexistent-lusl-dir/dbg", kDbgFile), 0);
    EXPECT_EQ(GetEngDbgFlag(), 0);
    EXPECT_TRUE(exists(kDbgFile));
    unlink(kDbgFile);
    EXPECT_EQ(log.lines(), (std::vector<LogLine>{{4, 3, "", "Open file /tmp/.dbg fail.\n"}})); // and nothing before
}

TEST(Hexdump, OneLogCallPerByteWithRowMarks)
{
    LogCapture log;
    luSL_hexdump("empty", nullptr, 0);
    luSL_hexdump("null", nullptr, 5); // nothing is read behind a null pointer, whatever the length
    EXPECT_EQ(log.lines(), debug({"empty - (data len=0):\n\n", "\n\n", "null - (data len=5):\n\n", "\n\n"}));

    const uint8_t data[17] = {0x00, 0x01, 0x0a, 0x10, 0x7f, 0x80, 0xab, 0xcd, 0xef,
                              0xff, 0x20, 0x30, 0x41, 0x5a, 0x9c, 0xfe, 0x42};
    log.clear();
    luSL_hexdump("frame", data, 17);
    EXPECT_EQ(log.lines(), debug({"frame - (data len=17):\n\n", "0x0000 : \n", "00 \n", "01 \n", "0a \n", "10 \n",
                                  "7f \n", "80 \n", "ab \n", "cd \n", "ef \n", "ff \n", "20 \n", "30 \n", "41 \n",
                                  "5a \n", "9c \n", "fe \n", "\n\n", "0x0010 : \n", "42 \n", "\n\n"}));

    // Two full rows: each ends with its own "\n\n", then the closing one.
    const uint8_t rows[32] = {};
    log.clear();
    luSL_hexdump("rows", rows, 32);
    ASSERT_EQ(log.lines().size(), 1u + 2 * (1 + 16 + 1) + 1);
    EXPECT_EQ(log.texts()[35] + log.texts()[36] + log.texts()[37], "00 \n\n\n\n\n");
}

} // namespace
} // namespace lusl::test
