/* SPDX-License-Identifier: BSD-2-Clause */
/* A steering-side C program: parse one CMDU and receive its record over loopback. */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>

#include <luSL/luSL.h>

static unsigned short bound_port(int fd)
{
    struct sockaddr_in a;
    socklen_t len = sizeof a;
    getsockname(fd, (struct sockaddr *)&a, &len);
    return ntohs(a.sin_port);
}

int main(void)
{
    static uint8_t rx[SOCKET_MAX_LENGTH];
    const uint8_t src[6] = {0x02, 0, 0, 0, 0, 1};
    const uint8_t tlvs[] = {0x92, 0x00, 0x0D, 1, 2, 3, 4, 5, 6, 0xA, 0xB, 0xC, 0xD, 0xE, 0xF, 0x80, 0, 0, 0};
    int rx_fd = luSL_Socket_init(0);
    const TopologyNotification *n = (const TopologyNotification *)rx;

    /* Sends only: a plain socket. A second luSL_Socket_init(0) could be given rx_fd's port
     * (both set SO_REUSEADDR before binding) and, bound last, take the record. */
    msg_sock_fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (rx_fd < 0 || msg_sock_fd < 0) return 1;
    luSL_Msg_parser(0x0001, tlvs, bound_port(rx_fd), src);
    luSL_Msg_recv(rx, rx_fd);
    if (rx[0] != 0x01 || rx[1] != 0x00 || n->assoc_event != 1 || memcmp(n->bssid, tlvs + 9, 6) != 0) {
        fprintf(stderr, "unexpected record\n");
        return 1;
    }
    if (pTopologyNotification != NULL || sizeof(ApMetricsResp) != 49124) return 1;
    /* The library installed with these headers is the version they name. */
    if (strcmp(luSL_version(), LUSL_VERSION_STRING) != 0) {
        fprintf(stderr, "library %s, headers %s\n", luSL_version(), LUSL_VERSION_STRING);
        return 1;
    }
    luSL_Socket_deinit(rx_fd);
    luSL_Socket_deinit(msg_sock_fd);
    puts("c consumer: ok");
    return 0;
}
