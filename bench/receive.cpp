// SPDX-License-Identifier: BSD-2-Clause
// The receive path: luSL_Msg_recv of a datagram of every record length against a raw recvfrom
// of the same datagram into the same buffer. Beside them two references: the copy floor (a
// receive into a buffer of its own and a memcpy of the record) and a peek of the header
// followed by a receive straight into dest. Each block queues a few datagrams (not timed)
// before each way is timed, the ways in turn, starting with another one each block; the
// figures are medians over the blocks, as for the parser.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cases.h"
#include "luSL/luSL.h"
#include "receive.h"

namespace lusl::bench {
namespace {

struct Size {
    std::string name;
    uint16_t type;
    size_t len; // the datagram; for the compact types, a bench case's
};

int g_tx = -1, g_rx = -1;
sockaddr_in g_to{};
uint8_t g_out[SOCKET_MAX_LENGTH];
uint8_t g_dest[SOCKET_MAX_LENGTH]; // both ways receive into this buffer

using Clock = std::chrono::steady_clock;

double ns_between(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::nano>(b - a).count();
}

double median(std::vector<double>& v)
{
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

bool queue(const Size& s, int n)
{
    g_out[0] = static_cast<uint8_t>(s.type);
    g_out[1] = static_cast<uint8_t>(s.type >> 8);
    for (int i = 0; i < n; ++i)
        if (sendto(g_tx, g_out, s.len, 0, reinterpret_cast<const sockaddr*>(&g_to), sizeof g_to) !=
            static_cast<ssize_t>(s.len))
            return false;
    return true;
}

void drain()
{
    pollfd p{g_rx, POLLIN, 0};
    while (poll(&p, 1, 0) == 1) recv(g_rx, g_dest, sizeof g_dest, MSG_DONTWAIT);
}

// The ways one datagram is taken off the socket, each timed on its own queue of n.
enum Way { kRaw, kLibrary, kCopy, kPeek, kWays };

uint8_t g_stage[SOCKET_MAX_LENGTH]; // the copy floor's receive buffer, as the library's own

void receive_one(Way w, size_t len)
{
    sockaddr_in from;
    socklen_t from_len = sizeof from;
    switch (w) {
    case kRaw:
        benchmark::DoNotOptimize(recvfrom(g_rx, g_dest, sizeof g_dest, 0, reinterpret_cast<sockaddr*>(&from), &from_len));
        break;
    case kLibrary: luSL_Msg_recv(g_dest, g_rx); break;
    case kCopy: {
        // The least a single receive call pays when the type must be read before dest is
        // written: the datagram into a buffer of its own, then the record's bytes copied out.
        const ssize_t n = recv(g_rx, g_stage, sizeof g_stage, 0);
        if (n > 0) std::memcpy(g_dest, g_stage, len);
        break;
    }
    case kPeek: {
        // Type and length first, then the datagram straight into dest: no copy, two calls.
        uint8_t head[2];
        if (recv(g_rx, head, sizeof head, MSG_PEEK | MSG_TRUNC) > 0)
            benchmark::DoNotOptimize(recv(g_rx, g_dest, len, 0));
        break;
    }
    case kWays: break;
    }
}

void run(benchmark::State& st, const Size* s)
{
    // A block fits the socket's default receive buffer with room to spare.
    const int n = static_cast<int>(std::clamp<size_t>(96 * 1024 / (s->len + 512), 1, 32));
    std::vector<double> ns[kWays], ratio, ratio_copy;
    drain();
    int first = 0;
    for (auto _ : st) {
        double per[kWays];
        bool queued = true;
        // Each block starts with another way, so none always comes first.
        for (int i = 0; i < kWays; ++i) {
            const auto w = static_cast<Way>((first + i) % kWays);
            if (!(queued = queue(*s, n))) break;
            const auto t0 = Clock::now();
            for (int k = 0; k < n; ++k) receive_one(w, s->len);
            const auto t1 = Clock::now();
            benchmark::ClobberMemory();
            per[w] = ns_between(t0, t1) / n;
            ns[w].push_back(per[w]);
        }
        if (!queued) {
            st.SkipWithError("sendto failed");
            break;
        }
        first = (first + 1) % kWays;
        ratio.push_back(per[kLibrary] / per[kRaw]);
        ratio_copy.push_back(per[kLibrary] / per[kCopy]);
    }
    st.counters["bytes"] = static_cast<double>(s->len);
    st.counters["block"] = n;
    st.counters["raw_ns"] = median(ns[kRaw]);
    st.counters["recv_ns"] = median(ns[kLibrary]);
    st.counters["copy_ns"] = median(ns[kCopy]);
    st.counters["peek_ns"] = median(ns[kPeek]);
    st.counters["ratio"] = median(ratio);
    st.counters["ratio_copy"] = median(ratio_copy);
}

std::vector<Size>& sizes()
{
    static std::vector<Size> all;
    return all;
}

} // namespace

bool register_receive(const std::vector<std::vector<uint8_t>>& compact)
{
    g_tx = luSL_Socket_init(0);
    g_rx = luSL_Socket_init(0);
    socklen_t alen = sizeof g_to;
    if (g_tx < 0 || g_rx < 0 || getsockname(g_rx, reinterpret_cast<sockaddr*>(&g_to), &alen) != 0) return false;
    std::memset(g_out, 0x5A, sizeof g_out);

    // Every fixed record length of the channel, each once, named by its first type.
    static const Size kFixed[] = {
        {"0xDEBA_4", LUSL_MSG_UNNAMED_DEBA, LUSL_LEN_UNNAMED_DEBA},
        {"0x8022_10", LUSL_MSG_CLIENT_DISASSOC_STATS, LUSL_LEN_CLIENT_DISASSOC_STATS},
        {"0x0001_15", LUSL_MSG_TOPOLOGY_NOTIFICATION, LUSL_LEN_TOPOLOGY_NOTIFICATION},
        {"0x8033_18", LUSL_MSG_FAILED_CONNECTION, LUSL_LEN_FAILED_CONNECTION},
        {"0x8015_21", LUSL_MSG_CLIENT_STEERING_BTM_REPORT, LUSL_LEN_CLIENT_STEERING_BTM_REPORT},
        {"0x8008_57", LUSL_MSG_OPERATING_CHANNEL_REPORT, LUSL_LEN_OPERATING_CHANNEL_REPORT},
        {"0x8025_73", LUSL_MSG_ASSOC_STATUS_NOTIFICATION, LUSL_LEN_ASSOC_STATUS_NOTIFICATION},
        {"0x800E_76", LUSL_MSG_ASSOC_STA_LINK_METRIC_RESPONSE, LUSL_LEN_ASSOC_STA_LINK_METRIC_RESPONSE},
        {"0x802C_109", LUSL_MSG_BSS_CONFIG_REQUEST, LUSL_LEN_BSS_CONFIG_REQUEST},
        {"0x004D_142", LUSL_MSG_ACTION_FRAME, LUSL_LEN_ACTION_FRAME},
        {"0x0009_208", LUSL_MSG_AP_AUTOCONFIG_WSC, LUSL_LEN_AP_AUTOCONFIG_WSC},
        {"0xDEB6_479", LUSL_MSG_STEERING_CLI, LUSL_LEN_STEERING_CLI},
        {"0x8010_521", LUSL_MSG_UNASSOC_STA_LINK_METRIC_RESPONSE, LUSL_LEN_UNASSOC_STA_LINK_METRIC_RESPONSE},
        {"0x0003_593", LUSL_MSG_TOPOLOGY_RESPONSE, LUSL_LEN_TOPOLOGY_RESPONSE},
        {"0x0006_718", LUSL_MSG_LINK_METRIC_RESPONSE, LUSL_LEN_LINK_METRIC_RESPONSE},
        {"0x800A_2150", LUSL_MSG_CLIENT_CAPABILITY_REPORT, LUSL_LEN_CLIENT_CAPABILITY_REPORT},
        {"0x8005_3687", LUSL_MSG_CHANNEL_PREFERENCE_REPORT, LUSL_LEN_CHANNEL_PREFERENCE_REPORT},
        {"0x0040_4096", LUSL_MSG_STA_ASSOC_REQUEST, LUSL_LEN_STA_ASSOC_REQUEST},
        {"0x8002_11426", LUSL_MSG_AP_CAPABILITY_REPORT, LUSL_LEN_AP_CAPABILITY_REPORT},
        {"0xDEB7_32762", LUSL_MSG_STEERING_DATA, LUSL_LEN_STEERING_DATA},
    };
    std::vector<Size>& all = sizes();
    all.assign(std::begin(kFixed), std::end(kFixed));
    for (const auto& d : compact) {
        if (d.size() < 2) continue;
        const auto type = static_cast<uint16_t>(d[0] | d[1] << 8);
        char name[32];
        std::snprintf(name, sizeof name, "0x%04X_%zu", type, d.size());
        all.push_back({name, type, d.size()});
    }
    for (const Size& s : all) benchmark::RegisterBenchmark(("recv/" + s.name).c_str(), run, &s)->UseRealTime();
    return true;
}

} // namespace lusl::bench
