/* SPDX-License-Identifier: BSD-2-Clause */
/* Steering-logic side: receive COUNT records on 127.0.0.1:PORT and print what they say.
 *
 * Usage: steering_receiver PORT COUNT */
#include <stdio.h>
#include <stdlib.h>

#include <luSL/luSL.h>

static void print_mac(const char *label, const uint8_t m[6])
{
    printf(" %s %02x:%02x:%02x:%02x:%02x:%02x", label, m[0], m[1], m[2], m[3], m[4], m[5]);
}

int main(int argc, char **argv)
{
    /* Big enough for every record type; luSL_Msg_recv_n never writes past it anyway. */
    static uint8_t rec[SOCKET_MAX_LENGTH];
    static luSL_ApMetricsView metrics;

    if (argc != 3) {
        fprintf(stderr, "usage: steering_receiver PORT COUNT\n");
        return 1;
    }
    const int fd = luSL_Socket_init(atoi(argv[1])); /* the steering port is ours to choose */
    if (fd < 0) return 1;
    for (long left = atol(argv[2]); left > 0; left--) {
        const int len = luSL_Msg_recv_n(rec, sizeof rec, fd);
        if (len < 0) continue; /* the library has logged why */
        const unsigned type = (unsigned)(rec[0] | rec[1] << 8);
        printf("0x%04X %d bytes:", type, len);
        switch (type) {
        case LUSL_MSG_TOPOLOGY_NOTIFICATION: {
            const TopologyNotification *n = (const TopologyNotification *)rec;
            print_mac("client", n->client_mac);
            print_mac("bssid", n->bssid);
            printf(" %s", n->assoc_event ? "joined" : "left");
            break;
        }
        case LUSL_MSG_AP_METRICS_RESPONSE:
            if (luSL_ApMetricsResp_decode(rec, (size_t)len, &metrics) == 0)
                printf(" %u BSS, %u radios", metrics.bss_num, metrics.radio_num);
            else
                printf(" malformed compact form");
            break;
        default:
            printf(" (see luSL/records/ for its layout)");
        }
        putchar('\n');
        fflush(stdout);
    }
    luSL_Socket_deinit(fd);
    return 0;
}
