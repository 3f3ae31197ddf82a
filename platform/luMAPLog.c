/* SPDX-License-Identifier: BSD-2-Clause */
/* Stand-in for the router's closed log library. The real one replaces this file's
 * shared object without rebuilding libluSL. Lines above LUMAP_LOG_LEVEL (default 4)
 * are dropped before any formatting, so debug calls cost one comparison. */
#include "luMAPLog.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <syslog.h>

static int threshold = -1; /* -1: not read from the environment yet */
static int use_syslog;

/* Once per process; kept out of line so a dropped line costs a load and a compare. */
__attribute__((noinline, cold)) static void load_config(void)
{
    const char *lvl = getenv("LUMAP_LOG_LEVEL");
    const char *sys = getenv("LUMAP_LOG_SYSLOG");
    int t = 4;
    if (lvl && *lvl) {
        char *end;
        long v = strtol(lvl, &end, 10);
        if (*end == '\0' && v >= -1 && v <= 7)
            t = (int)v;
    }
    use_syslog = sys && sys[0] == '1' && sys[1] == '\0';
    threshold = t;
}

int luMAP_syslog(int module, int level, const char *fmt, ...)
{
    if (__builtin_expect(threshold < 0, 0))
        load_config();
    if (level > threshold)
        return 0;

    va_list ap;
    va_start(ap, fmt);
    int n;
    if (use_syslog) {
        int prio = level < LOG_EMERG ? LOG_EMERG : level > LOG_DEBUG ? LOG_DEBUG : level;
        vsyslog(LOG_USER | prio, fmt, ap);
        n = 0;
    } else {
        /* One write per line, so lines of several processes do not interleave. */
        char line[512];
        int head = snprintf(line, sizeof line, "luSL[%d/%d] ", module, level);
        va_list again;
        va_copy(again, ap);
        n = vsnprintf(line + head, sizeof line - (size_t)head, fmt, ap);
        if (n >= 0 && (size_t)n < sizeof line - (size_t)head) {
            fputs(line, stderr);
        } else {
            fprintf(stderr, "luSL[%d/%d] ", module, level);
            n = vfprintf(stderr, fmt, again);
        }
        va_end(again);
    }
    va_end(ap);
    return n;
}
