// SPDX-License-Identifier: BSD-2-Clause
// The message channel: fixed lengths per type, padding and cutting, every error path.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

uint16_t port_of(int fd)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

// A loopback socket on a port of its own. Without SO_REUSEADDR, unlike luSL_Socket_init: two
// sockets that both set it may be given the same free port, and a test process running beside
// this one would then take its datagrams. A receive that finds nothing fails after 5 s.
int own_socket()
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) ADD_FAILURE() << "no loopback socket";
    const timeval tv{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

struct Channel : testing::Test {
    LogCapture log;
    int rx = own_socket();
    int tx = own_socket();
    Bytes dest = Bytes(SOCKET_MAX_LENGTH, 0xEE);
    ~Channel() override
    {
        luSL_Socket_deinit(rx);
        luSL_Socket_deinit(tx);
    }
    // Sends raw bytes to rx.
    void put(const Bytes& datagram)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port_of(rx));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(sendto(tx, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(datagram.size()));
    }
    // Sends raw bytes to rx, then receives them with luSL_Msg_recv (not when nothing was
    // sent: the receive would wait for ever).
    void deliver(const Bytes& datagram)
    {
        put(datagram);
        if (!HasFatalFailure()) luSL_Msg_recv(dest.data(), rx);
    }
    // The same through luSL_Msg_recv_n into cap bytes.
    int deliver_n(const Bytes& datagram, size_t cap)
    {
        put(datagram);
        return HasFatalFailure() ? -2 : luSL_Msg_recv_n(dest.data(), cap, rx);
    }
};

TEST_F(Channel, ShortDatagramIsPaddedAndLongOneCut)
{
    Bytes notif = cat({raw({0x01, 0x00}), fill(98, 0x22)});
    deliver(notif);
    EXPECT_EQ(slice(dest, 0, 16), cat({slice(notif, 0, 15), u8(0xEE)}));

    Bytes topo = cat({raw({0x03, 0x00}), fill(8, 0x11)});
    deliver(topo);
    EXPECT_EQ(slice(dest, 0, 593), cat({topo, zeros(583)}));
    EXPECT_EQ(dest[593], 0xEE);
}

TEST_F(Channel, CompactTypesCopyExactlyWhatArrived)
{
    Bytes d = cat({raw({0x0C, 0x80}), fill(127, 0x33)});
    deliver(d);
    EXPECT_EQ(slice(dest, 0, 129), d);
    EXPECT_EQ(dest[129], 0xEE);
}

// Datagrams above the channel's maximum (UDP carries up to 65507 bytes) are read as their
// first 32762: a compact one is copied that far, a fixed one still at its own length.
TEST_F(Channel, DatagramAboveTheMaximumIsReadAsItsFirst32762Bytes)
{
    Bytes big = cat({raw({0x0C, 0x80}), fill(39998, 0x77)});
    big[SOCKET_MAX_LENGTH - 1] = 0x12;
    big[SOCKET_MAX_LENGTH] = 0x34;
    EXPECT_EQ(deliver_n(big, SOCKET_MAX_LENGTH), SOCKET_MAX_LENGTH);
    EXPECT_EQ(dest, slice(big, 0, SOCKET_MAX_LENGTH));

    std::fill(dest.begin(), dest.end(), 0xEE);
    big[0] = 0x01, big[1] = 0x00;
    EXPECT_EQ(deliver_n(big, SOCKET_MAX_LENGTH), static_cast<int>(LUSL_LEN_TOPOLOGY_NOTIFICATION));
    EXPECT_EQ(slice(dest, 0, 16), cat({slice(big, 0, 15), u8(0xEE)}));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(Channel, UnknownTypeCopiesNothing)
{
    deliver(raw({0xB9, 0xDE, 1, 2, 3}));
    EXPECT_EQ(dest, Bytes(SOCKET_MAX_LENGTH, 0xEE));
    EXPECT_TRUE(log.contains(4, 4, "[MSG] Unkown msg type: 0xDEB9.\n"));
    // Codes one bit away from known ones (0x0001, 0x8002) are not taken for them.
    deliver(raw({0x41, 0x00, 1}));
    deliver(raw({0x02, 0x00, 1}));
    EXPECT_EQ(dest, Bytes(SOCKET_MAX_LENGTH, 0xEE));
    EXPECT_TRUE(log.contains(4, 4, "[MSG] Unkown msg type: 0x0041.\n"));
    EXPECT_TRUE(log.contains(4, 4, "[MSG] Unkown msg type: 0x0002.\n"));
}

TEST_F(Channel, EmptyDatagramIsAReceiveFailure)
{
    deliver(Bytes{});
    EXPECT_EQ(dest, Bytes(SOCKET_MAX_LENGTH, 0xEE));
    EXPECT_TRUE(log.contains(4, 3, "\033[0;32;31m[MSG] Socket Recv Fail!!!\033[m\n"));
}

// The type is read as if the buffer had been cleared: a one-byte datagram never borrows
// the high type byte, nor the padding, of the datagram before it.
TEST_F(Channel, OneByteDatagramReadsAsClearedBuffer)
{
    deliver(cat({raw({0x02, 0x80}), fill(40, 0x55)}));
    std::fill(dest.begin(), dest.end(), 0xEE);
    log.clear();
    deliver(raw({0x01}));
    EXPECT_EQ(slice(dest, 0, 16), cat({raw({0x01}), zeros(14), u8(0xEE)}));
    EXPECT_TRUE(log.lines().empty());

    deliver(cat({raw({0x25, 0x80}), fill(70, 0x66)}));
    std::fill(dest.begin(), dest.end(), 0xEE);
    deliver(raw({0x1A}));
    EXPECT_EQ(dest, Bytes(SOCKET_MAX_LENGTH, 0xEE));
    EXPECT_TRUE(log.contains(4, 4, "[MSG] Unkown msg type: 0x001A.\n"));
}

TEST_F(Channel, RecvNReturnsTheRecordLengthAndNeverWritesPastCap)
{
    EXPECT_EQ(deliver_n(cat({raw({0x03, 0x00}), fill(8, 0x11)}), LUSL_LEN_TOPOLOGY_RESPONSE),
              static_cast<int>(LUSL_LEN_TOPOLOGY_RESPONSE));
    EXPECT_EQ(slice(dest, 0, 594), cat({raw({0x03, 0x00}), fill(8, 0x11), zeros(583), u8(0xEE)}));

    // A record one byte larger than cap is refused and dest keeps what it had.
    std::fill(dest.begin(), dest.end(), 0xEE);
    EXPECT_EQ(deliver_n(raw({0x01, 0x00, 7}), LUSL_LEN_TOPOLOGY_NOTIFICATION - 1), -1);
    EXPECT_EQ(dest, Bytes(SOCKET_MAX_LENGTH, 0xEE));

    // Compact forms: the datagram's own length.
    const Bytes compact = cat({raw({0x1C, 0x80}), fill(300, 0x33)});
    EXPECT_EQ(deliver_n(compact, 302), 302);
    EXPECT_EQ(slice(dest, 0, 303), cat({compact, u8(0xEE)}));
    std::fill(dest.begin(), dest.end(), 0xEE);
    EXPECT_EQ(deliver_n(compact, 301), -1);
    EXPECT_EQ(dest, Bytes(SOCKET_MAX_LENGTH, 0xEE));
}

TEST_F(Channel, RecvNFailuresReturnMinusOneWithTheSameLines)
{
    EXPECT_EQ(deliver_n(Bytes{}, SOCKET_MAX_LENGTH), -1);
    EXPECT_TRUE(log.contains(4, 3, "\033[0;32;31m[MSG] Socket Recv Fail!!!\033[m\n"));
    EXPECT_EQ(deliver_n(raw({0xB9, 0xDE, 1}), SOCKET_MAX_LENGTH), -1);
    EXPECT_TRUE(log.contains(4, 4, "[MSG] Unkown msg type: 0xDEB9.\n"));
    EXPECT_EQ(luSL_Msg_recv_n(dest.data(), SOCKET_MAX_LENGTH, -1), -1);
    EXPECT_EQ(dest, Bytes(SOCKET_MAX_LENGTH, 0xEE));
}

TEST_F(Channel, SendUsesTheCatalogueLengthUpToTheMaximum)
{
    Receiver r;
    Bytes rec(SOCKET_MAX_LENGTH, 0x44);
    const struct {
        uint16_t type;
        size_t len;
    } cases[] = {{0x0040, 4096}, {0x0044, 4096}, {0x004D, 142}, {0xDEB6, 479},
                 {0xDEB7, 32762}, {0xDEB8, 32762}, {0xDEBA, 4}, {0x801A, 15}};
    for (const auto& c : cases) {
        rec[0] = static_cast<uint8_t>(c.type);
        rec[1] = static_cast<uint8_t>(c.type >> 8);
        luSL_Msg_send(c.type, rec.data(), r.port(), tx);
        auto got = r.recv();
        ASSERT_TRUE(got) << c.type;
        EXPECT_EQ(got->size(), c.len) << c.type;
    }
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(Channel, SendRefusals)
{
    Receiver r;
    Bytes rec(3000, 0);
    luSL_Msg_send(0xDEB9, rec.data(), r.port(), tx);
    EXPECT_TRUE(log.contains(4, 4, "[MSG] Unknown message type (deb9)\n"));
    luSL_Msg_send(0x800A, rec.data(), r.port(), -1);
    EXPECT_TRUE(log.contains(4, 3, "[MSG] message_sock_fd not created -1\n"));
    luSL_Msg_send(0x0001, rec.data(), r.port(), 999);
    EXPECT_TRUE(log.contains(4, 3, "\033[0;32;31m[MSG] Socket sent Fail!!!!! sentBytes:-1 len: 15, message_sock_fd: 999\033[m\n"));
    EXPECT_TRUE(r.empty());
}

TEST(Socket, InitUsesLowSixteenBitsAndReportsBindFailure)
{
    LogCapture log;
    // A port that was free a moment ago, given with a bit set above the low 16.
    int probe = exclusive_socket();
    const uint16_t port = port_of(probe);
    close(probe);
    int fd = luSL_Socket_init(0x10000 | port);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(port_of(fd), port);
    luSL_Socket_deinit(fd);

    // A port held by a socket without SO_REUSEADDR cannot be bound.
    int held = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(held, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    log.clear();
    EXPECT_EQ(luSL_Socket_init(port_of(held)), -1);
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0].fmt, "Unable to bind to loopback socket %d.\n");
    EXPECT_EQ(log.lines()[1], (LogLine{4, 3, "", "Failure. Close socket.\n"}));
    close(held);
}

} // namespace
} // namespace lusl::test
