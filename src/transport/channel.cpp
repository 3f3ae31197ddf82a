// SPDX-License-Identifier: BSD-2-Clause
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "core/catalogue.h"
#include "core/core.h"
#include "core/log.h"
#include "luSL/luSL.h"
#include "transport/loopback.h"

extern "C" {
LUSL_API int msg_sock_fd = 0;
}

namespace lusl {

sockaddr_in loopback_addr(uint16_t port) noexcept
{
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

bool send_record(uint16_t type, const uint8_t* record, uint16_t port, int fd)
{
    const MsgType* t = channel_of(type);
    if (!t) {
        LUSL_LOG(kModMsg, kWarn, "[MSG] Unknown message type (%04x)\n", type);
        return false;
    }
    const uint8_t* data = record;
    int len = static_cast<int>(t->channel_len);
    if (t->channel_len == kCompact) {
        // The encoders read the record in the slot and build into their own buffer.
        if (type == kApMetricsResp) {
            len = luSL_ApMetricsRespSendV2(record);
            data = pApMetricsRespSendBuf;
        } else {
            len = luSL_ChScanRptSendV2(record);
            data = pChScanRptSendBuf;
        }
    }
    if (len > SOCKET_MAX_LENGTH) {
        LUSL_LOG(kModMsg, kErr, "[MSG] ERROR!!!: msg_lengh: %d is bigger than SOCKET_MAX_LENGTH:%d\n", len,
                 SOCKET_MAX_LENGTH);
        return false;
    }
    if (fd < 0) {
        LUSL_LOG(kModMsg, kErr, "[MSG] message_sock_fd not created %d\n", fd);
        return false;
    }
    const sockaddr_in to = loopback_addr(port);
    const ssize_t sent = sendto(fd, data, static_cast<size_t>(len), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent != len) {
        LUSL_LOG(kModMsg, kErr,
                 "\033[0;32;31m[MSG] Socket sent Fail!!!!! sentBytes:%d len: %d, message_sock_fd: %d\033[m\n",
                 static_cast<int>(sent), len, fd);
        return false;
    }
    // A failed encoder still puts its zero-length datagram on the channel; no record went out.
    return len > 0;
}

namespace {

// One process-wide buffer: the library is single-threaded by contract, and a per-thread
// copy would cost every thread of the process 32 KiB of static TLS. Aligned to a cache line:
// the copy out of it runs measurably slower from a source that is not.
alignas(64) uint8_t rx_buf[SOCKET_MAX_LENGTH];

} // namespace

int receive_record(uint8_t* dest, size_t cap, int fd)
{
    // The sender's address is taken and not used: the receive is the recvfrom the platform
    // names, so whatever stands in for it sees this call.
    sockaddr_in from;
    socklen_t from_len = sizeof from;
    const ssize_t n = recvfrom(fd, rx_buf, sizeof rx_buf, 0, reinterpret_cast<sockaddr*>(&from), &from_len);
    if (n <= 0) {
        LUSL_LOG(kModMsg, kErr, "\033[0;32;31m[MSG] Socket Recv Fail!!!\033[m\n");
        return -1;
    }
    const size_t got = static_cast<size_t>(n);
    // The buffer is read as if cleared before the receive: a one-byte datagram has a zero
    // high type byte, and a short record is padded with zeros, never with an older datagram.
    if (got < 2) rx_buf[1] = 0;
    const auto type = static_cast<uint16_t>(rx_buf[0] | rx_buf[1] << 8);
    const MsgType* t = channel_of(type);
    if (!t) {
        LUSL_LOG(kModMsg, kWarn, "[MSG] Unkown msg type: 0x%04X.\n", type);
        return -1;
    }
    const size_t copy = t->channel_len == kCompact ? got : t->channel_len;
    if (copy > cap) {
        LUSL_LOG(kModMsg, kErr, "[MSG] Receive buffer of %u bytes too small for 0x%04X (%u bytes)\n",
                 static_cast<unsigned>(cap), type, static_cast<unsigned>(copy));
        return -1;
    }
    // A short datagram is padded in dest itself: the zeros are written once.
    const size_t have = copy < got ? copy : got;
    std::memcpy(dest, rx_buf, have);
    if (copy > have) std::memset(dest + have, 0, copy - have);
    return static_cast<int>(copy);
}

} // namespace lusl

extern "C" {

LUSL_API int luSL_Socket_init(int port)
{
    using namespace lusl;
    const int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (fd < 0) {
        LUSL_LOG(kModMsg, kErr, "Unable to create socket.\n");
    } else {
        const int on = 1;
        if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0) {
            LUSL_LOG(kModMsg, kErr, "Unable to setsockopt to loopback socket %d.\n", fd);
        } else {
            const sockaddr_in a = loopback_addr(static_cast<uint16_t>(port));
            if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) return fd;
            LUSL_LOG(kModMsg, kErr, "Unable to bind to loopback socket %d.\n", fd);
        }
    }
    LUSL_LOG(kModMsg, kErr, "Failure. Close socket.\n");
    if (fd >= 0) close(fd);
    return -1;
}

LUSL_API void luSL_Socket_deinit(int fd)
{
    if (fd >= 0) close(fd);
}

LUSL_API void luSL_Msg_send(uint32_t type, const uint8_t* record, uint32_t dest_port, int fd)
{
    lusl::send_record(static_cast<uint16_t>(type), record, static_cast<uint16_t>(dest_port), fd);
}

LUSL_API void luSL_Msg_recv(uint8_t* dest, int fd)
{
    lusl::receive_record(dest, SIZE_MAX, fd);
}

LUSL_API int luSL_Msg_recv_n(uint8_t* dest, size_t cap, int fd)
{
    return lusl::receive_record(dest, cap, fd);
}

} // extern "C"
