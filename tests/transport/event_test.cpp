// The event channel over real loopback sockets, the receiver bound to 127.0.0.1:49995.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <thread>

#include "log_capture.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

// Test processes run side by side (ctest -j) and the event port is fixed: serialise them on
// an abstract UNIX socket name, which the kernel releases when the holder exits. -1: not had.
int take_lock(const char* name)
{
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path + 1, sizeof a.sun_path - 1, "%s", name);
    const auto len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + std::strlen(name));
    for (int i = 0; i < 1500; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), len) == 0) return fd;
    close(fd);
    return -1;
}

LogLine line(int level, const std::string& text) { return {4, level, "", text}; }

struct EventChannel : testing::Test {
    int lock = -1;
    int rx = -1; // bound to 127.0.0.1:49995
    int tx = -1;
    LogCapture log;

    void SetUp() override
    {
        lock = take_lock("lusl-test-evt-49995");
        ASSERT_GE(lock, 0) << "another test kept the event port for 30 s";
        // luSL_Socket_init sets SO_REUSEADDR and would share a port someone else holds.
        const int probe = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(LUSL_EVT_PORT);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool busy = bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0;
        close(probe);
        if (busy) GTEST_SKIP() << "127.0.0.1:49995 is in use on this machine";
        rx = luSL_Socket_init(LUSL_EVT_PORT);
        tx = luSL_Socket_init(0);
        ASSERT_GE(rx, 0);
        ASSERT_GE(tx, 0);
        // A receive that finds nothing fails after 2 s instead of hanging the suite.
        timeval tv{2, 0};
        setsockopt(rx, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        log.clear();
    }
    void TearDown() override
    {
        luSL_Socket_deinit(rx);
        luSL_Socket_deinit(tx);
        evt_sock_fd = 0;
        if (lock >= 0) close(lock);
    }

    void send(const Bytes& block)
    {
        evt_sock_fd = tx;
        luSL_Evt_send(block.data(), static_cast<int>(block.size()));
    }
    int recv(Bytes& dest)
    {
        evt_sock_fd = rx;
        return luSL_Evt_recv(dest.data());
    }
    bool nothing_waiting()
    {
        pollfd p{rx, POLLIN, 0};
        return poll(&p, 1, 100) == 0;
    }
};

Bytes counting(size_t n, uint8_t first, uint8_t second)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + 1);
    b[0] = first;
    b[1] = second;
    return b;
}

TEST_F(EventChannel, KnownTypesArriveAtTheirFixedSize)
{
    // Type 1 sent short: the 20 bytes, then zeros up to 107; nothing beyond 107 is written.
    const Bytes short1 = counting(20, 1, 0);
    send(short1);
    Bytes dest(300, 0xEE);
    EXPECT_EQ(recv(dest), 0);
    EXPECT_EQ(dest, cat({short1, zeros(87), fill(193, 0xEE)}));

    // Type 2 sent long: cut to 14.
    const Bytes long2 = counting(300, 2, 0);
    send(long2);
    dest.assign(300, 0xEE);
    EXPECT_EQ(recv(dest), 0);
    EXPECT_EQ(dest, cat({slice(long2, 0, 14), fill(286, 0xEE)}));

    // A receive after a longer one starts from a clean buffer.
    const Bytes short1b = counting(3, 1, 0);
    send(short1b);
    dest.assign(300, 0xEE);
    EXPECT_EQ(recv(dest), 0);
    EXPECT_EQ(dest, cat({short1b, zeros(104), fill(193, 0xEE)}));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(EventChannel, OtherTypesAreRefusedLowByteFirst)
{
    const struct {
        uint8_t b0, b1;
        const char* text;
    } cases[] = {
        {0x03, 0x00, "[EVT] Unknown event type: 0x0003.\n"},
        {0x00, 0x01, "[EVT] Unknown event type: 0x0100.\n"},
        {0x01, 0x01, "[EVT] Unknown event type: 0x0101.\n"},
        {0x00, 0x00, "[EVT] Unknown event type: 0x0000.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        log.clear();
        send(counting(120, c.b0, c.b1));
        Bytes dest(120, 0xEE);
        EXPECT_EQ(recv(dest), -1);
        EXPECT_EQ(dest, fill(120, 0xEE));
        EXPECT_EQ(log.lines(), std::vector<LogLine>{line(4, c.text)});
    }
}

TEST_F(EventChannel, EmptyDatagramIsAReceiveFailure)
{
    send({});
    Bytes dest(120, 0xEE);
    EXPECT_EQ(recv(dest), -1);
    EXPECT_EQ(dest, fill(120, 0xEE));
    EXPECT_EQ(log.lines(), std::vector<LogLine>{line(3, "\033[0;32;31m[EVT] Socket Recv Fail!!!\033[m\n")});
}

TEST_F(EventChannel, SenderDoesNotLimitTheLength)
{
    const Bytes big = counting(500, 1, 0);
    send(big);
    Bytes got(1000);
    const ssize_t n = ::recv(rx, got.data(), got.size(), 0);
    ASSERT_EQ(n, 500);
    got.resize(500);
    EXPECT_EQ(got, big);

    send(big);
    Bytes dest(300, 0xEE);
    EXPECT_EQ(recv(dest), 0);
    EXPECT_EQ(dest, cat({slice(big, 0, 107), fill(193, 0xEE)}));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(EventChannel, MissingSocketIsReportedOnBothSides)
{
    evt_sock_fd = -1;
    const Bytes block = counting(20, 1, 0);
    luSL_Evt_send(block.data(), 20);
    EXPECT_TRUE(nothing_waiting());
    Bytes dest(120, 0xEE);
    EXPECT_EQ(luSL_Evt_recv(dest.data()), -1);
    EXPECT_EQ(dest, fill(120, 0xEE));
    EXPECT_EQ(log.lines(), (std::vector<LogLine>{line(3, "[EVT] event socket fd not created -1\n"),
                                                 line(3, "\033[0;32;31m[EVT] Socket Recv Fail!!!\033[m\n")}));
}

TEST_F(EventChannel, FailedSendIsReported)
{
    // Larger than any UDP datagram: the kernel refuses it, the library does not cut it.
    const Bytes huge = counting(65508, 1, 0);
    send(huge);
    // A negative length never reaches the kernel.
    evt_sock_fd = tx;
    luSL_Evt_send(huge.data(), -1);
    EXPECT_TRUE(nothing_waiting());
    const std::string fd = std::to_string(tx);
    EXPECT_EQ(log.lines(),
              (std::vector<LogLine>{
                  line(3, "\033[0;32;31m[EVT] Socket sent Fail!!!!! sentBytes:-1, len:65508, evt_sock_fd:" + fd +
                              "\033[m\n"),
                  line(3, "\033[0;32;31m[EVT] Socket sent Fail!!!!! sentBytes:-1, len:-1, evt_sock_fd:" + fd +
                              "\033[m\n")}));
}

} // namespace
} // namespace lusl::test
