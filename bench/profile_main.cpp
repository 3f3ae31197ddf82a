// SPDX-License-Identifier: BSD-2-Clause
// Runs one case's message through the library a given number of times, for perf and
// callgrind: lusl_bench_profile <case> [count]. Lists the cases without arguments.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cases.h"
#include "luSL/luSL.h"

int main(int argc, char** argv)
{
    const auto& all = lusl::bench::cases();
    const lusl::bench::Case* c = nullptr;
    for (const auto& k : all)
        if (argc > 1 && k.name == argv[1]) c = &k;
    if (!c) {
        for (const auto& k : all) std::printf("%s\n", k.name.c_str());
        return argc > 1 ? 1 : 0;
    }
    const long count = argc > 2 ? std::atol(argv[2]) : 1000;

    const int rx = luSL_Socket_init(0);
    msg_sock_fd = luSL_Socket_init(0);
    sockaddr_in a{};
    socklen_t alen = sizeof a;
    if (rx < 0 || msg_sock_fd < 0 || getsockname(rx, reinterpret_cast<sockaddr*>(&a), &alen) != 0) {
        std::perror("loopback sockets");
        return 1;
    }
    static uint8_t buf[SOCKET_MAX_LENGTH];
    const uint8_t src[6] = {0x02, 0x01, 0x00, 0x00, 0x00, 0x01};
    long got = 0;
    for (long i = 0; i < count; ++i) {
        if (luSL_Msg_parser_n(c->type, c->tlvs.data(), c->tlvs.size(), ntohs(a.sin_port), src) != 0) break;
        if (recv(rx, buf, sizeof buf, 0) > 0) ++got;
    }
    std::printf("%s: %ld of %ld sent\n", c->name.c_str(), got, count);
    return got == count ? 0 : 1;
}
