// Engineering debug flag through a stand-in "sys" command, and the hex dump's log calls.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "log_capture.h"
#include "luSL/luSL.h"

namespace lusl::test {
namespace {

constexpr char kDbgFile[] = "/tmp/.dbg";

LogLine debug(const std::string& text) { return {4, 7, "", text}; }

bool exists(const char* path)
{
    struct stat st;
    return lstat(path, &st) == 0;
}

// Puts a "sys" first on PATH that answers "sys kelm" with the contents of <dir>/out.
// /tmp/.dbg is a fixed name, so one test process at a time holds an abstract-socket lock.
struct EngDbgFlag : testing::Test {
    int lock = -1;
    std::string dir;
    std::string old_path;
    LogCapture log;

    void SetUp() override
    {
        lock = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        const char name[] = "lusl-test-dbg";
        std::memcpy(a.sun_path + 1, name, sizeof name - 1);
        const auto len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + sizeof name);
        int tries = 0;
        while (bind(lock, reinterpret_cast<sockaddr*>(&a), len) != 0 && ++tries < 1500)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_LT(tries, 1500) << "another test kept " << kDbgFile << " for 30 s";
        if (exists(kDbgFile)) GTEST_SKIP() << kDbgFile << " already exists on this machine";

        char tmpl[] = "/tmp/lusl-dbg-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        std::ofstream(dir + "/sys") << "#!/bin/sh\n"
                                       "[ $# -eq 1 ] && [ \"$1\" = kelm ] || exit 1\n"
                                       "cat '"
                                    << dir << "/out'\n";
        ASSERT_EQ(chmod((dir + "/sys").c_str(), 0755), 0);
        const char* p = std::getenv("PATH");
        old_path = p ? p : "/usr/bin:/bin";
        setenv("PATH", (dir + ":" + old_path).c_str(), 1);
    }
    void TearDown() override
    {
        if (!dir.empty()) {
            setenv("PATH", old_path.c_str(), 1);
            unlink((dir + "/sys").c_str());
            unlink((dir + "/out").c_str());
            rmdir(dir.c_str());
        }
        if (lock >= 0) close(lock);
    }

    int flag_for(const std::string& output)
    {
        std::ofstream(dir + "/out") << output;
        return GetEngDbgFlag();
    }
};

TEST_F(EngDbgFlag, ReadsTheDecimalNumberAfterTheColon)
{
    const struct {
        const char* output;
        int flag;
    } cases[] = {
        {"Boot Module Debug Flag  : 1\n", 1},
        {"Boot Module Debug Flag  : 0\n", 0},
        {"Boot Module Debug Flag  : 0x01\n", 0}, // the decimal read stops at the x
        {"Boot Module Debug Flag : 1\n", 1},
        {"Boot Module Debug Flag: 1\n", 1},
        {"Boot Module Debug Flag\t:\t\t5\n", 1},
        {"Boot Module Debug Flag  :1", 1},
        {"Boot Module Debug Flag  : -1\n", 1},
        {"Boot Module Debug Flag  : 99999999999999999999\n", 1}, // saturates, still set
        {"Boot Module Debug Flag  : x1\n", 0},
        {"Boot Module Debug Flag 1\n", 0}, // no colon
        {"[kelm] Boot Module Debug Flag  : 1\n", 1},
        {"Module Debug Flag  : 1\nBoot Module Debug  : 1\n", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        EXPECT_EQ(flag_for(c.output), c.flag);
        EXPECT_FALSE(exists(kDbgFile));
    }
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(EngDbgFlag, LastParsedLineWins)
{
    EXPECT_EQ(flag_for("Boot Module Debug Flag  : 1\nBoot Module Debug Flag  : 0\n"), 0);
    EXPECT_EQ(flag_for("Boot Module Debug Flag  : 0\nBoot Module Debug Flag  : 1\n"), 1);
    // A line that does not parse leaves the earlier value.
    EXPECT_EQ(flag_for("Boot Module Debug Flag  : 1\nBoot Module Debug Flag 0\n"), 1);
    EXPECT_EQ(flag_for("Boot Module Debug Flag  : 1\nBoot Module Debug Flag  : 0x\n"), 0);
    EXPECT_FALSE(exists(kDbgFile));
}

TEST_F(EngDbgFlag, UnreadableFileIsLoggedAndLeftAlone)
{
    // A dangling link into a missing directory: the shell cannot create the file.
    ASSERT_EQ(symlink("/nonexistent-lusl-dir/dbg", kDbgFile), 0);
    EXPECT_EQ(flag_for("Boot Module Debug Flag  : 1\n"), 0);
    EXPECT_TRUE(exists(kDbgFile));
    unlink(kDbgFile);
    EXPECT_EQ(log.lines(), (std::vector<LogLine>{{4, 3, "", "Open file /tmp/.dbg fail.\n"}}));
}

TEST(Hexdump, EmptyBlockIsTitleAndClosingLine)
{
    LogCapture log;
    luSL_hexdump("empty", nullptr, 0);
    EXPECT_EQ(log.lines(), (std::vector<LogLine>{debug("empty - (data len=0):\n\n"), debug("\n\n")}));
    // Nothing is read behind a null pointer, whatever the length.
    log.clear();
    luSL_hexdump("null", nullptr, 5);
    EXPECT_EQ(log.lines(), (std::vector<LogLine>{debug("null - (data len=5):\n\n"), debug("\n\n")}));
}

TEST(Hexdump, OneCallPerByteAndRowMarks)
{
    const uint8_t data[17] = {0x00, 0x01, 0x0a, 0x10, 0x7f, 0x80, 0xab, 0xcd, 0xef,
                              0xff, 0x20, 0x30, 0x41, 0x5a, 0x9c, 0xfe, 0x42};
    LogCapture log;
    luSL_hexdump("frame", data, 17);
    const std::vector<LogLine> want{
        debug("frame - (data len=17):\n\n"),
        debug("0x0000 : \n"),
        debug("00 \n"),
        debug("01 \n"),
        debug("0a \n"),
        debug("10 \n"),
        debug("7f \n"),
        debug("80 \n"),
        debug("ab \n"),
        debug("cd \n"),
        debug("ef \n"),
        debug("ff \n"),
        debug("20 \n"),
        debug("30 \n"),
        debug("41 \n"),
        debug("5a \n"),
        debug("9c \n"),
        debug("fe \n"),
        debug("\n\n"),
        debug("0x0010 : \n"),
        debug("42 \n"),
        debug("\n\n"),
    };
    EXPECT_EQ(log.lines(), want);

    // Two full rows: each ends with its own "\n\n", then the closing one.
    uint8_t rows[32] = {};
    log.clear();
    luSL_hexdump("rows", rows, 32);
    const auto& got = log.lines();
    ASSERT_EQ(got.size(), 1u + 2 * (1 + 16 + 1) + 1);
    EXPECT_EQ(got[19], debug("0x0010 : \n"));
    EXPECT_EQ(got[36], debug("\n\n"));
    EXPECT_EQ(got[37], debug("\n\n"));
}

} // namespace
} // namespace lusl::test
