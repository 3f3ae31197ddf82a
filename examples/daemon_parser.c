/* SPDX-License-Identifier: BSD-2-Clause */
/* Mesh-daemon side: hand CMDUs to luSL_Msg_parser_n, which sends each record to the
 * steering process on 127.0.0.1:PORT.
 *
 * Usage: daemon_parser PORT < cmdus.txt
 * Each input line is a message type and the CMDU's TLV bytes in hex, e.g.
 *     0x0001 92000d 020000000a01 02a100002401 80 000000
 * Blank lines and lines starting with '#' are skipped. */
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>

#include <luSL/luSL.h>

static int hexval(int c)
{
    if (c >= '0' && c <= '9') return c - '0';
    c = tolower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

/* Hex digits of s into out (spaces allowed between bytes); the byte count, or -1. */
static long parse_hex(const char *s, uint8_t *out, size_t cap)
{
    size_t n = 0;
    while (*s) {
        if (isspace((unsigned char)*s)) {
            s++;
            continue;
        }
        int hi = hexval(s[0]), lo = s[1] ? hexval(s[1]) : -1;
        if (hi < 0 || lo < 0 || n == cap) return -1;
        out[n++] = (uint8_t)(hi << 4 | lo);
        s += 2;
    }
    return (long)n;
}

int main(int argc, char **argv)
{
    static char line[8192];
    static uint8_t tlvs[4096];
    const uint8_t src_mac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    unsigned sent = 0, refused = 0;

    if (argc != 2) {
        fprintf(stderr, "usage: daemon_parser PORT < cmdus.txt\n");
        return 1;
    }
    const unsigned long port = strtoul(argv[1], NULL, 10);
    /* This socket only sends: a plain one, which the kernel binds at the first send to a port
     * of its own. luSL_Socket_init(0) would set SO_REUSEADDR first, and Linux may then give it
     * a port that a listener with SO_REUSEADDR holds (the steering process's, say), whose
     * datagrams it would take. */
    msg_sock_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (msg_sock_fd < 0) return 1;

    while (fgets(line, sizeof line, stdin)) {
        char *rest;
        if (line[0] == '#' || line[0] == '\n') continue;
        const unsigned long type = strtoul(line, &rest, 16);
        const long len = parse_hex(rest, tlvs, sizeof tlvs);
        if (len < 0) {
            fprintf(stderr, "daemon_parser: bad line: %s", line);
            refused++;
            continue;
        }
        if (luSL_Msg_parser_n((uint32_t)type, tlvs, (size_t)len, (uint32_t)port, src_mac) == 0)
            sent++;
        else
            refused++;
    }
    luSL_Socket_deinit(msg_sock_fd);
    printf("daemon_parser: %u sent, %u refused\n", sent, refused);
    return 0;
}
