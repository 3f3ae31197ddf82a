// SPDX-License-Identifier: BSD-2-Clause
// The event channel over real loopback sockets, the receiver bound to 127.0.0.1:49995.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

LogLine line(int level, const std::string& text) { return {4, level, "", text}; }

// n bytes of the given event type (low byte first), the rest counting up so that no run
// of zeros can pass for padding.
Bytes block(size_t n, unsigned type)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + 1);
    if (n >= 2) b[0] = type & 0xFF, b[1] = type >> 8;
    return b;
}

struct EventChannel : testing::Test {
    int lock = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int rx = socket(AF_INET, SOCK_DGRAM, 0); // to be bound to 127.0.0.1:49995
    int tx = exclusive_socket();
    LogCapture log;

    void SetUp() override
    {
        // Test processes run side by side and the port is fixed: take turns on an abstract
        // UNIX socket name, which the kernel releases when the holder exits.
        const sockaddr_un turn{AF_UNIX, "\0lusl-test-evt-49995"};
        for (int i = 0; bind(lock, reinterpret_cast<const sockaddr*>(&turn), sizeof(sa_family_t) + 20); usleep(20000))
            ASSERT_LT(++i, 1500) << "another test kept the event port for 30 s";
        // No SO_REUSEADDR here, unlike luSL_Socket_init: never share the port with someone else.
        const sockaddr_in a{AF_INET, htons(LUSL_EVT_PORT), {htonl(INADDR_LOOPBACK)}, {}};
        if (bind(rx, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
            GTEST_SKIP() << "127.0.0.1:49995 is in use on this machine";
        const timeval tv{2, 0}; // a receive that finds nothing fails instead of hanging the suite
        setsockopt(rx, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    void TearDown() override
    {
        for (const int fd : {rx, tx, lock}) close(fd);
        evt_sock_fd = 0;
    }
};

TEST_F(EventChannel, KnownTypesArriveAtTheirFixedSizeFailuresAreReported)
{
    const struct {
        Bytes sent;
        size_t kept, zeros; // of dest: the first bytes sent, then zeros; nothing written behind
        std::vector<LogLine> said;
    } cases[] = {
        {block(500, 1), 107, 0, {}},
        {block(300, 2), 14, 0, {}},
        {block(20, 1), 20, 87, {}}, // after longer ones: received into a cleared buffer
        {block(120, 0x0003), 0, 0, {line(4, "[EVT] Unknown event type: 0x0003.\n")}},
        {block(120, 0x0100), 0, 0, {line(4, "[EVT] Unknown event type: 0x0100.\n")}},
        {block(120, 0x0101), 0, 0, {line(4, "[EVT] Unknown event type: 0x0101.\n")}},
        {block(120, 0x0000), 0, 0, {line(4, "[EVT] Unknown event type: 0x0000.\n")}},
        {{}, 0, 0, {line(3, "\033[0;32;31m[EVT] Socket Recv Fail!!!\033[m\n")}},
    };
    Bytes dest;
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        log.clear();
        evt_sock_fd = tx;
        luSL_Evt_send(c.sent.data(), static_cast<int>(c.sent.size()));
        dest.assign(300, 0xEE);
        evt_sock_fd = rx;
        EXPECT_EQ(luSL_Evt_recv(dest.data()), c.said.empty() ? 0 : -1);
        EXPECT_EQ(dest, cat({slice(c.sent, 0, c.kept), zeros(c.zeros), fill(300 - c.kept - c.zeros, 0xEE)}));
        EXPECT_EQ(log.lines(), c.said);
    }
    log.clear();
    const Bytes huge = block(65508, 1);
    evt_sock_fd = tx;
    luSL_Evt_send(huge.data(), 500); // the sender does not limit the length to what a receiver keeps
    EXPECT_EQ(::recv(rx, dest.data(), dest.size(), MSG_TRUNC), 500);
    luSL_Evt_send(huge.data(), 65508); // more than a UDP datagram holds: refused, not cut
    luSL_Evt_send(huge.data(), -1); // a negative length never reaches the kernel
    evt_sock_fd = -1;
    luSL_Evt_send(huge.data(), 20);
    EXPECT_EQ(luSL_Evt_recv(dest.data()), -1);
    pollfd p{rx, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 100), 0); // nothing went out
    const std::string red = "\033[0;32;31m[EVT] Socket ", fd = std::to_string(tx);
    EXPECT_EQ(log.lines(),
              (std::vector<LogLine>{
                  line(3, red + "sent Fail!!!!! sentBytes:-1, len:65508, evt_sock_fd:" + fd + "\033[m\n"),
                  line(3, red + "sent Fail!!!!! sentBytes:-1, len:-1, evt_sock_fd:" + fd + "\033[m\n"),
                  line(3, "[EVT] event socket fd not created -1\n"), line(3, red + "Recv Fail!!!\033[m\n")}));
}

} // namespace
} // namespace lusl::test
