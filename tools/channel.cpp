// SPDX-License-Identifier: BSD-2-Clause
#include "channel.h"

#include <luSL/luSL.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "printers.h"

namespace lusl::tool {

Loopback::Loopback(uint16_t port)
{
    fd_ = luSL_Socket_init(port);
    if (fd_ < 0) throw InputError("cannot bind 127.0.0.1:" + std::to_string(port) + " for receiving");
    sockaddr_in a{};
    socklen_t alen = sizeof a;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &alen) != 0) {
        luSL_Socket_deinit(fd_);
        throw InputError(std::string("getsockname: ") + std::strerror(errno));
    }
    port_ = ntohs(a.sin_port);
}

Loopback::~Loopback() { luSL_Socket_deinit(fd_); }

std::optional<Received> Loopback::receive(int timeout_ms)
{
    pollfd p{fd_, POLLIN, 0};
    int rc;
    do {
        rc = poll(&p, 1, timeout_ms);
    } while (rc < 0 && errno == EINTR);
    if (rc <= 0) return std::nullopt;

    // luSL_Msg_recv does not say how much arrived; a peek does, and keeps the raw bytes for
    // datagrams the library refuses to copy.
    Bytes raw(SOCKET_MAX_LENGTH);
    ssize_t n = recv(fd_, raw.data(), raw.size(), MSG_PEEK | MSG_TRUNC);
    if (n < 0) return std::nullopt;
    raw.resize(std::min(static_cast<size_t>(n), raw.size()));

    Received r;
    r.wire_len = static_cast<size_t>(n);
    r.data.assign(SOCKET_MAX_LENGTH, 0);
    luSL_Msg_recv(r.data.data(), fd_);

    uint16_t type = raw.size() >= 2 ? static_cast<uint16_t>(raw[0] | raw[1] << 8) : 0;
    size_t copy_len = received_length(type, r.wire_len);
    if (copy_len == 0 || r.data[0] != raw[0] || r.data[1] != raw[1]) {
        r.copied = false;
        r.data = std::move(raw);
    } else {
        r.data.resize(copy_len);
    }
    return r;
}

void open_send_socket()
{
    static bool open = false;
    if (open) return;
    int fd = luSL_Socket_init(0);
    if (fd < 0) throw InputError("cannot open a UDP socket on 127.0.0.1");
    msg_sock_fd = fd;
    open = true;
}

} // namespace lusl::tool
