/* SPDX-License-Identifier: BSD-2-Clause */
#ifndef LOS_H
#define LOS_H
#include <stddef.h>
#ifdef __cplusplus
extern "C" {
#endif

/* snprintf semantics: at most size-1 characters, always NUL-terminated when size > 0. */
int los_snprintf(char *dst, size_t size, const char *fmt, ...) __attribute__((format(printf, 3, 4)));

#ifdef __cplusplus
}
#endif
#endif
