// SPDX-License-Identifier: BSD-2-Clause
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "core/log.h"
#include "luSL/luSL.h"
#include "transport/loopback.h"

extern "C" {
LUSL_API int evt_sock_fd = 0;
}

namespace {
constexpr size_t kEvtBufLen = 256;
}

extern "C" {

LUSL_API void luSL_Evt_send(const uint8_t* block, int len)
{
    using namespace lusl;
    const int fd = evt_sock_fd;
    if (fd < 0) {
        LUSL_LOG(kModMsg, kErr, "[EVT] event socket fd not created %d\n", fd);
        return;
    }
    // A negative length would reach the kernel as a huge size_t: count it as a failed send.
    ssize_t sent = -1;
    if (len >= 0) {
        const sockaddr_in to = loopback_addr(LUSL_EVT_PORT);
        sent = sendto(fd, block, static_cast<size_t>(len), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    if (len < 0 || sent != len)
        LUSL_LOG(kModMsg, kErr, "\033[0;32;31m[EVT] Socket sent Fail!!!!! sentBytes:%d, len:%d, evt_sock_fd:%d\033[m\n",
                 static_cast<int>(sent), len, fd);
}

LUSL_API int luSL_Evt_recv(uint8_t* dest)
{
    using namespace lusl;
    uint8_t buf[kEvtBufLen] = {};
    sockaddr_in from;
    socklen_t from_len = sizeof from;
    const ssize_t n = recvfrom(evt_sock_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &from_len);
    if (n <= 0) {
        LUSL_LOG(kModMsg, kErr, "\033[0;32;31m[EVT] Socket Recv Fail!!!\033[m\n");
        return -1;
    }
    const auto type = static_cast<uint16_t>(buf[0] | buf[1] << 8);
    size_t size = 0;
    if (type == 1)
        size = LUSL_EVT_TYPE1_SIZE;
    else if (type == 2)
        size = LUSL_EVT_TYPE2_SIZE;
    else {
        LUSL_LOG(kModMsg, kWarn, "[EVT] Unknown event type: 0x%04x.\n", type);
        return -1;
    }
    // Fixed size whatever arrived: the cleared buffer pads a short datagram with zeros.
    std::memcpy(dest, buf, size);
    return 0;
}

} // extern "C"
