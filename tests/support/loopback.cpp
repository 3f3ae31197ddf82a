// SPDX-License-Identifier: BSD-2-Clause
#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "luSL/luSL.h"

namespace lusl::test {

Receiver::Receiver()
{
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        throw std::runtime_error("receiver: cannot bind");
    int big = 1 << 20;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
}

Receiver::~Receiver()
{
    if (fd_ >= 0) close(fd_);
}

std::optional<Bytes> Receiver::recv(int timeout_ms)
{
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return std::nullopt;
    Bytes buf(65536);
    ssize_t n = ::recv(fd_, buf.data(), buf.size(), 0);
    if (n < 0) return std::nullopt;
    buf.resize(static_cast<size_t>(n));
    return buf;
}

bool Receiver::empty()
{
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, 0) == 0;
}

int exclusive_socket()
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        throw std::runtime_error("cannot bind a socket of its own");
    return fd;
}

void ensure_msg_socket()
{
    if (msg_sock_fd <= 0) msg_sock_fd = exclusive_socket();
}

std::optional<Bytes> parse_n(Receiver& rx, uint16_t type, const Bytes& tlvs, const Bytes& src_mac)
{
    ensure_msg_socket();
    int rc = luSL_Msg_parser_n(type, tlvs.data(), tlvs.size(), rx.port(), src_mac.data());
    if (rc == 0) return rx.recv();
    // Refused: nothing arrives, or a failed encoder's zero-length datagram.
    if (rx.empty()) return std::nullopt;
    auto got = rx.recv();
    if (got && !got->empty()) throw std::logic_error("parser_n reported failure but a record arrived");
    return got;
}

std::optional<Bytes> parse(Receiver& rx, uint16_t type, const Bytes& tlvs, const Bytes& src_mac)
{
    ensure_msg_socket();
    luSL_Msg_parser(type, tlvs.data(), rx.port(), src_mac.data());
    return rx.recv(200);
}

bool all_slots_null()
{
    return !pTopologyNotification && !pTopologyResp && !pLinkMetricsResp && !pApAutoConfWSC && !pApCapRpt &&
           !pChannelPreferenceRpt && !pOperatingChanRpt && !pCliCapRpt && !pApMetricsResp &&
           !pAssocStaMetricsResp && !pUnAssocStaMetricsResp && !pClientSteeringBTMRpt && !pBHSteeringResp &&
           !pChScanRpt && !pClientDisassocStat && !pAssocStatusNotification && !pBssConfigReq && !pFailedConn &&
           !pAssocStaLinkMetricBuffer && !pApMetricsRespSendBuf && !pChScanRptSendBuf;
}

} // namespace lusl::test
