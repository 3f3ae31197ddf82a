// SPDX-License-Identifier: BSD-2-Clause
// Per case, in one run: the floor (calloc of the record, one read of every TLV byte, sendto
// of the datagram the library sends, recv) and the library (luSL_Msg_parser and
// luSL_Msg_parser_n on the same stream, with the same recv). Heap calls are counted during
// the library's calls only. The same source builds the default-sink and the null-sink binary.
//
// recv/ (receive.cpp) times luSL_Msg_recv against a raw recvfrom of the same datagram.
//
// floor/, library/ and library_n/ time each on its own. paired/ runs the three in alternating
// blocks of a few messages and reports medians over the blocks: on a shared host the speed
// changes by half from one second to the next, and only messages timed side by side compare.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alloc_count.h"
#include "cases.h"
#include "luSL/luSL.h"
#include "receive.h"

#ifndef LUSL_BENCH_SINK
#define LUSL_BENCH_SINK "default"
#endif
#ifndef LUSL_BENCH_BUILD
#define LUSL_BENCH_BUILD "unknown"
#endif

namespace {

using lusl::bench::Case;

struct Loopback {
    int tx = -1;
    int rx = -1;
    uint16_t port = 0;
    sockaddr_in to{};
};
Loopback g_lo;
uint8_t g_rx[SOCKET_MAX_LENGTH + 64];
const uint8_t kSrcMac[6] = {0x02, 0x01, 0x00, 0x00, 0x00, 0x01};

bool open_loopback()
{
    g_lo.tx = luSL_Socket_init(0);
    g_lo.rx = luSL_Socket_init(0);
    if (g_lo.tx < 0 || g_lo.rx < 0) return false;
    sockaddr_in a{};
    socklen_t alen = sizeof a;
    if (getsockname(g_lo.rx, reinterpret_cast<sockaddr*>(&a), &alen) != 0) return false;
    g_lo.port = ntohs(a.sin_port);
    g_lo.to.sin_family = AF_INET;
    g_lo.to.sin_port = a.sin_port;
    g_lo.to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    msg_sock_fd = g_lo.tx;
    return true;
}

// Length of the next datagram, waiting at most timeout_ms; -1 when none came.
ssize_t take(int timeout_ms)
{
    pollfd p{g_lo.rx, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) != 1) return -1;
    return recv(g_lo.rx, g_rx, sizeof g_rx, MSG_DONTWAIT);
}

void drain()
{
    while (take(0) >= 0) {
    }
}

// What one untimed message does: whether it was sent, the datagram, the heap calls and
// (null-sink binary) the log lines by level.
struct Probe {
    bool sent = false;
    std::vector<uint8_t> dgram;
    unsigned long allocs = 0;
    unsigned long frees = 0;
    bool have_log = false;
    unsigned long logged = 0;  // level <= 4: printed by the default sink
    unsigned long dropped = 0; // level > 4: dropped by the default sink before formatting
    int block = 1;             // messages per block of the paired benchmark
};

using Clock = std::chrono::steady_clock;

double ns_between(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::nano>(b - a).count();
}

Probe probe(const Case& c)
{
    Probe p;
    drain();
    const bool count_log = &lusl_bench_log_counting != nullptr;
    if (count_log) {
        std::memset(lusl_bench_log_lines, 0, sizeof(unsigned long) * 8);
        lusl_bench_log_counting = 1;
    }
    lusl_bench_allocs = lusl_bench_frees = 0;
    lusl_bench_counting = 1;
    luSL_Msg_parser(c.type, c.tlvs.data(), g_lo.port, kSrcMac);
    lusl_bench_counting = 0;
    p.allocs = lusl_bench_allocs;
    p.frees = lusl_bench_frees;
    if (count_log) {
        lusl_bench_log_counting = 0;
        p.have_log = true;
        for (int l = 0; l < 8; ++l) (l <= 4 ? p.logged : p.dropped) += lusl_bench_log_lines[l];
    }
    const ssize_t n = take(1000);
    if (n >= 0) {
        p.sent = true;
        p.dgram.assign(g_rx, g_rx + n);
    }
    // The sized entry point must agree.
    if (p.sent && luSL_Msg_parser_n(c.type, c.tlvs.data(), c.tlvs.size(), g_lo.port, kSrcMac) != 0) p.sent = false;
    drain();
    if (p.sent) {
        // Blocks of about 0.2 ms: long enough for the clock, short enough to see one load.
        double best = 1e12;
        for (int i = 0; i < 5; ++i) {
            const auto t0 = Clock::now();
            luSL_Msg_parser(c.type, c.tlvs.data(), g_lo.port, kSrcMac);
            take(1000);
            best = std::min(best, ns_between(t0, Clock::now()));
        }
        p.block = std::clamp(static_cast<int>(200000 / best), 1, 64);
    }
    return p;
}

// One read of every byte, a word at a time where it can.
uint64_t touch(const uint8_t* p, size_t n)
{
    uint64_t sum = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        sum += w;
    }
    for (; i < n; ++i) sum += p[i];
    return sum;
}

void set_counters(benchmark::State& st, const Case& c, const Probe& p)
{
    using benchmark::Counter;
    st.counters["allocs"] = Counter(static_cast<double>(lusl_bench_allocs), Counter::kAvgIterations);
    st.counters["frees"] = Counter(static_cast<double>(lusl_bench_frees), Counter::kAvgIterations);
    st.counters["tlv_bytes"] = static_cast<double>(c.tlvs.size());
    st.counters["dgram_bytes"] = static_cast<double>(p.dgram.size());
    st.counters["allocs_expected"] = c.expect_allocs;
}

void log_counters(benchmark::State& st, const Probe& p)
{
    if (!p.have_log) return;
    st.counters["log_printed"] = static_cast<double>(p.logged);
    st.counters["log_dropped"] = static_cast<double>(p.dropped);
}

inline void floor_once(const Case& c, const Probe& p)
{
    void* rec = calloc(1, c.record_size);
    benchmark::DoNotOptimize(rec);
    benchmark::DoNotOptimize(touch(c.tlvs.data(), c.tlvs.size()));
    benchmark::DoNotOptimize(sendto(g_lo.tx, p.dgram.data(), p.dgram.size(), 0,
                                    reinterpret_cast<const sockaddr*>(&g_lo.to), sizeof g_lo.to));
    benchmark::DoNotOptimize(recv(g_lo.rx, g_rx, sizeof g_rx, 0));
    free(rec);
}

inline void library_once(const Case& c)
{
    luSL_Msg_parser(c.type, c.tlvs.data(), g_lo.port, kSrcMac);
    benchmark::DoNotOptimize(recv(g_lo.rx, g_rx, sizeof g_rx, 0));
}

inline void library_n_once(const Case& c)
{
    benchmark::DoNotOptimize(luSL_Msg_parser_n(c.type, c.tlvs.data(), c.tlvs.size(), g_lo.port, kSrcMac));
    benchmark::DoNotOptimize(recv(g_lo.rx, g_rx, sizeof g_rx, 0));
}

void run_floor(benchmark::State& st, const Case* c, const Probe* p)
{
    lusl_bench_allocs = lusl_bench_frees = 0;
    lusl_bench_counting = 1;
    for (auto _ : st) floor_once(*c, *p);
    lusl_bench_counting = 0;
    set_counters(st, *c, *p);
}

void run_library(benchmark::State& st, const Case* c, const Probe* p)
{
    lusl_bench_allocs = lusl_bench_frees = 0;
    lusl_bench_counting = 1;
    for (auto _ : st) library_once(*c);
    lusl_bench_counting = 0;
    set_counters(st, *c, *p);
    log_counters(st, *p);
}

void run_library_n(benchmark::State& st, const Case* c, const Probe* p)
{
    lusl_bench_allocs = lusl_bench_frees = 0;
    lusl_bench_counting = 1;
    for (auto _ : st) library_n_once(*c);
    lusl_bench_counting = 0;
    set_counters(st, *c, *p);
}

// Per-block times, kept outside the timed calls; sized once so the loop never allocates.
struct Blocks {
    static constexpr size_t kCap = 1 << 16;
    std::vector<double> floor, library, library_n, ratio, ratio_n;
    Blocks()
    {
        for (auto* v : {&floor, &library, &library_n, &ratio, &ratio_n}) v->reserve(kCap);
    }
    void clear()
    {
        for (auto* v : {&floor, &library, &library_n, &ratio, &ratio_n}) v->clear();
    }
};
Blocks g_blocks;

double median(std::vector<double>& v)
{
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Time: one block of each of the three (what the iteration count is sized by); the figures
// per message are the counters, medians over the blocks.
void run_paired(benchmark::State& st, const Case* c, const Probe* p)
{
    Blocks& b = g_blocks;
    b.clear();
    const int n = p->block;
    unsigned long allocs = 0, frees = 0;
    for (auto _ : st) {
        const auto t0 = Clock::now();
        for (int k = 0; k < n; ++k) floor_once(*c, *p);
        const auto t1 = Clock::now();
        lusl_bench_allocs = lusl_bench_frees = 0;
        lusl_bench_counting = 1;
        for (int k = 0; k < n; ++k) library_once(*c);
        const auto t2 = Clock::now();
        for (int k = 0; k < n; ++k) library_n_once(*c);
        const auto t3 = Clock::now();
        lusl_bench_counting = 0;
        allocs += lusl_bench_allocs;
        frees += lusl_bench_frees;
        const double f = ns_between(t0, t1) / n, l = ns_between(t1, t2) / n, ln = ns_between(t2, t3) / n;
        if (b.floor.size() < Blocks::kCap) {
            b.floor.push_back(f);
            b.library.push_back(l);
            b.library_n.push_back(ln);
            b.ratio.push_back(l / f);
            b.ratio_n.push_back(ln / f);
        }
    }
    const double messages = 2.0 * n * static_cast<double>(st.iterations());
    st.counters["floor_ns"] = median(b.floor);
    st.counters["library_ns"] = median(b.library);
    st.counters["library_n_ns"] = median(b.library_n);
    st.counters["ratio"] = median(b.ratio);
    st.counters["ratio_n"] = median(b.ratio_n);
    st.counters["block"] = n;
    st.counters["allocs"] = messages > 0 ? static_cast<double>(allocs) / messages : 0;
    st.counters["frees"] = messages > 0 ? static_cast<double>(frees) / messages : 0;
    st.counters["allocs_expected"] = c->expect_allocs;
    log_counters(st, *p);
}

void not_sent(benchmark::State& st)
{
    for (auto _ : st) {
    }
    st.SkipWithError("the library did not send this message (family not landed, or input refused)");
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!open_loopback()) {
        std::perror("loopback sockets");
        return 1;
    }
    benchmark::AddCustomContext("log_sink", LUSL_BENCH_SINK);
    benchmark::AddCustomContext("luSL_build", LUSL_BENCH_BUILD);

    const std::vector<Case>& all = lusl::bench::cases();
    static std::vector<Probe> probes;
    probes.reserve(all.size());
    for (const Case& c : all) probes.push_back(probe(c));

    // Problems go to the console and into the JSON context, where scripts/bench.sh finds them.
    std::string problems;
    auto problem = [&problems](const std::string& text) {
        std::fprintf(stderr, "bench: %s\n", text.c_str());
        problems += (problems.empty() ? "" : "; ") + text;
    };
    for (size_t i = 0; i < all.size(); ++i) {
        const Case* c = &all[i];
        const Probe* p = &probes[i];
        if (!p->sent) {
            problem(c->name + " was not sent");
            for (const char* kind : {"floor/", "library/", "library_n/", "paired/"})
                benchmark::RegisterBenchmark((kind + c->name).c_str(), not_sent);
            continue;
        }
        if (p->allocs != c->expect_allocs || p->frees != p->allocs)
            problem(c->name + ": " + std::to_string(p->allocs) + " allocations, " + std::to_string(p->frees) +
                    " frees per message, expected " + std::to_string(c->expect_allocs));
        benchmark::RegisterBenchmark(("floor/" + c->name).c_str(), run_floor, c, p);
        benchmark::RegisterBenchmark(("library/" + c->name).c_str(), run_library, c, p);
        benchmark::RegisterBenchmark(("library_n/" + c->name).c_str(), run_library_n, c, p);
        benchmark::RegisterBenchmark(("paired/" + c->name).c_str(), run_paired, c, p)->UseRealTime();
    }
    std::vector<std::vector<uint8_t>> compact;
    for (size_t i = 0; i < all.size(); ++i)
        if (probes[i].sent && (all[i].type == 0x800C || all[i].type == 0x801C)) compact.push_back(probes[i].dgram);
    if (!lusl::bench::register_receive(compact)) problem("receive benchmarks: loopback sockets");
    if (!problems.empty()) benchmark::AddCustomContext("problems", problems);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    luSL_Socket_deinit(g_lo.tx);
    luSL_Socket_deinit(g_lo.rx);
    return 0;
}
