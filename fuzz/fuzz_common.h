/* SPDX-License-Identifier: BSD-2-Clause */
// Shared pieces of the fuzz targets: a log sink that formats every line (so a bad format
// argument is caught) but writes nothing, and a loopback pair for the real send path.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "luSL/luSL.h"

extern "C" __attribute__((visibility("default"))) int luMAP_syslog(int, int, const char* fmt, ...)
{
    char line[512];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    return n;
}

namespace fuzz {

// The client-capability notices go to standard output; keep the fuzzer's console readable.
[[maybe_unused]] inline const bool quiet_stdout = std::freopen("/dev/null", "w", stdout) != nullptr;

// A receiving socket on an ephemeral loopback port; msg_sock_fd is the sender.
struct Loopback {
    int rx = -1;
    uint16_t port = 0;
    Loopback()
    {
        rx = luSL_Socket_init(0);
        msg_sock_fd = luSL_Socket_init(0);
        if (rx < 0 || msg_sock_fd < 0) abort();
        sockaddr_in a{};
        socklen_t len = sizeof a;
        getsockname(rx, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    void drain() const
    {
        static uint8_t buf[65536];
        while (recv(rx, buf, sizeof buf, MSG_DONTWAIT) > 0) {
        }
    }
};

inline bool all_released()
{
    return !pTopologyNotification && !pTopologyResp && !pLinkMetricsResp && !pApAutoConfWSC && !pApCapRpt &&
           !pChannelPreferenceRpt && !pOperatingChanRpt && !pCliCapRpt && !pApMetricsResp &&
           !pAssocStaMetricsResp && !pUnAssocStaMetricsResp && !pClientSteeringBTMRpt && !pBHSteeringResp &&
           !pChScanRpt && !pClientDisassocStat && !pAssocStatusNotification && !pBssConfigReq && !pFailedConn &&
           !pAssocStaLinkMetricBuffer && !pApMetricsRespSendBuf && !pChScanRptSendBuf;
}

} // namespace fuzz
