// SPDX-License-Identifier: BSD-2-Clause
#include "channel.h"

#include <luSL/luSL.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <linux/sock_diag.h>

#include <cerrno>
#include <cstring>

#include "console.h"
#include "printers.h"

namespace lusl::tool {

namespace {

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A socket on 127.0.0.1:port that shares it with no one: without SO_REUSEADDR the bind fails
// while any other socket holds the port, whatever options that socket set.
int bind_alone(uint16_t port)
{
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) throw InputError(std::string("cannot open a UDP socket: ") + std::strerror(errno));
    const sockaddr_in a = loopback(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        const int e = errno;
        close(fd);
        if (e == EADDRINUSE) throw PortInUse(port);
        throw InputError("cannot bind 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(e));
    }
    return fd;
}

} // namespace

int bind_exclusive(uint16_t port)
{
    const int fd = bind_alone(port);
    const int on = 1;
    (void)setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    return fd;
}

PortInUse::PortInUse(uint16_t port)
    : InputError("127.0.0.1:" + std::to_string(port) +
                 " is already bound by another listener (a steering process, another lusl); the tool takes no "
                 "records away from it"),
      port(port)
{
}

Loopback::Loopback(uint16_t port, bool take)
{
    if (take && port != 0) {
        fd_ = luSL_Socket_init(port);
        drain_library_lines();
        if (fd_ < 0)
            throw InputError("cannot take 127.0.0.1:" + std::to_string(port) +
                             ": its listener does not share the port (no SO_REUSEADDR)");
    } else {
        fd_ = bind_exclusive(port);
    }
    sockaddr_in a{};
    socklen_t alen = sizeof a;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &alen) != 0) {
        const int e = errno;
        close(fd_);
        throw InputError(std::string("getsockname: ") + std::strerror(e));
    }
    port_ = ntohs(a.sin_port);
    const int on = 1;
    (void)setsockopt(fd_, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on); // drop counts only; optional
}

Loopback::~Loopback() { luSL_Socket_deinit(fd_); }

void Loopback::grow_buffer(int bytes)
{
    // The privileged form ignores the system's cap; the plain one is clamped to it.
    if (setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        (void)setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

std::optional<Received> Loopback::receive(int timeout_ms)
{
    pollfd p{fd_, POLLIN, 0};
    int rc;
    do {
        rc = poll(&p, 1, timeout_ms);
    } while (rc < 0 && errno == EINTR && !stop_requested());
    if (rc <= 0) return std::nullopt;

    // luSL_Msg_recv_n does not say how much arrived; a peek does, keeps the raw bytes for
    // datagrams the library refuses to copy, and carries the count of datagrams dropped.
    // Both buffers are kept: a replay receives every record it forwards.
    if (!peek_) peek_.reset(new uint8_t[SOCKET_MAX_LENGTH]), rec_.reset(new uint8_t[SOCKET_MAX_LENGTH]);
    iovec iov{peek_.get(), SOCKET_MAX_LENGTH};
    alignas(cmsghdr) char ctl[CMSG_SPACE(sizeof(uint32_t))];
    msghdr m{};
    m.msg_iov = &iov;
    m.msg_iovlen = 1;
    m.msg_control = ctl;
    m.msg_controllen = sizeof ctl;
    ssize_t n = recvmsg(fd_, &m, MSG_PEEK | MSG_TRUNC);
    if (n < 0) return std::nullopt;
    for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c))
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
            uint32_t d;
            std::memcpy(&d, CMSG_DATA(c), sizeof d);
            dropped_ = d;
        }
    const size_t kept = std::min<size_t>(static_cast<size_t>(n), SOCKET_MAX_LENGTH);

    Received r;
    r.wire_len = static_cast<size_t>(n);
    r.wire.assign(peek_.get(), peek_.get() + kept);
    const int copied = luSL_Msg_recv_n(rec_.get(), SOCKET_MAX_LENGTH, fd_);
    drain_library_lines();
    if (copied < 0) {
        r.copied = false;
        r.data.assign(peek_.get(), peek_.get() + kept);
    } else {
        r.data.assign(rec_.get(), rec_.get() + copied);
    }
    return r;
}

uint64_t Loopback::dropped() const
{
    // The socket's own count covers datagrams dropped after the last one received as well.
    uint32_t mem[SK_MEMINFO_VARS] = {};
    socklen_t n = sizeof mem;
    if (getsockopt(fd_, SOL_SOCKET, SO_MEMINFO, mem, &n) == 0 && n > SK_MEMINFO_DROPS * sizeof(uint32_t))
        return std::max<uint64_t>(mem[SK_MEMINFO_DROPS], dropped_);
    return dropped_;
}

void Loopback::inject(const uint8_t* p, size_t n)
{
    const sockaddr_in a = loopback(port_);
    if (sendto(fd_, p, n, 0, reinterpret_cast<const sockaddr*>(&a), sizeof a) != static_cast<ssize_t>(n))
        throw InputError(std::string("cannot send ") + std::to_string(n) + " bytes to 127.0.0.1:" +
                         std::to_string(port_) + ": " + std::strerror(errno));
}

// Not through luSL_Socket_init(0): the kernel may hand a socket bound at port 0 with
// SO_REUSEADDR a port that other such sockets already share, a listener's among them, and
// the send socket, bound last, would then take that listener's datagrams.
void open_send_socket()
{
    static bool open = false;
    if (open) return;
    msg_sock_fd = bind_alone(0);
    open = true;
}

} // namespace lusl::tool
