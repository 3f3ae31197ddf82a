/* SPDX-License-Identifier: BSD-2-Clause */
#ifndef LUMAPLOG_H
#define LUMAPLOG_H
#ifdef __cplusplus
extern "C" {
#endif

/* module: 4 message/socket layer, 8 TLV layer; level: syslog levels (3, 4, 7). */
int luMAP_syslog(int module, int level, const char *fmt, ...) __attribute__((format(printf, 3, 4)));

#ifdef __cplusplus
}
#endif
#endif
