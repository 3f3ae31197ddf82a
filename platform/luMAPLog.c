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

static void load_config(void)
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
    if (threshold < 0)
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
        fprintf(stderr, "luSL[%d/%d] ", module, level);
        n = vfprintf(stderr, fmt, ap);
    }
    va_end(ap);
    return n;
}
