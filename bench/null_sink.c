/* SPDX-License-Identifier: BSD-2-Clause */
/* A log sink that drops every line at once. Exported from the executable, it takes the
 * place of libluMAPLog's for libluSL.so; the difference to the default binary is the cost of
 * the library's log calls. Counting is switched on only for the untimed probe call. */
#include "alloc_count.h"
#include "luMAPLog.h"

unsigned long lusl_bench_log_lines[8];
int lusl_bench_log_counting;

int luMAP_syslog(int module, int level, const char *fmt, ...)
{
    (void)module;
    (void)fmt;
    if (lusl_bench_log_counting)
        ++lusl_bench_log_lines[level & 7];
    return 0;
}
