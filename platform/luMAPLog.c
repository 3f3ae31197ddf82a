/* SPDX-License-Identifier: BSD-2-Clause */
/* Stand-in for the router's closed log library. The real one replaces this file's
 * shared object without rebuilding libluSL. Lines above LUMAP_LOG_LEVEL (default 4)
 * are dropped before any formatting, so debug calls cost one comparison. */
#define _DEFAULT_SOURCE /* fileno, vsyslog */
#include "luMAPLog.h"

#include <errno.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <stdio_ext.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <syslog.h>
#include <unistd.h>

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

/* The whole line in one write, so lines of several processes do not interleave. */
static void write_line(int fd, const char *s, size_t n)
{
    const int saved = errno;
    while (n) {
        ssize_t w = write(fd, s, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        s += w;
        n -= (size_t)w;
    }
    errno = saved;
}

/* Through the stream: stderr is not a descriptor, or the line could not be put together. */
static int stream_line(int module, int level, const char *fmt, va_list ap)
{
    fprintf(stderr, "luSL[%d/%d] ", module, level);
    return vfprintf(stderr, fmt, ap);
}

/* A line longer than the stack buffer: measured, then built on the heap. */
__attribute__((noinline, cold)) static int long_line(int fd, const char *head, size_t head_len, int module,
                                                     int level, const char *fmt, va_list ap)
{
    va_list again;
    va_copy(again, ap);
    int n = vsnprintf(NULL, 0, fmt, again);
    va_end(again);
    char *line = n < 0 ? NULL : malloc(head_len + (size_t)n + 1);
    if (!line)
        return stream_line(module, level, fmt, ap);
    memcpy(line, head, head_len);
    n = vsnprintf(line + head_len, (size_t)n + 1, fmt, ap);
    write_line(fd, line, head_len + (size_t)n);
    free(line);
    return n;
}

static int print_line(int module, int level, const char *fmt, va_list ap)
{
    const int fd = fileno(stderr);
    if (fd < 0)
        return stream_line(module, level, fmt, ap);
    /* Whatever the process left in a buffered stderr goes first. */
    if (__fpending(stderr))
        fflush(stderr);

    char line[512];
    int head;
    if (module >= 0 && module <= 9 && level >= 0 && level <= 9) {
        memcpy(line, "luSL[0/0] ", 10);
        line[5] = (char)('0' + module);
        line[7] = (char)('0' + level);
        head = 10;
    } else {
        head = snprintf(line, sizeof line, "luSL[%d/%d] ", module, level);
    }

    const size_t room = sizeof line - (size_t)head;
    va_list again;
    va_copy(again, ap);
    const int n = vsnprintf(line + head, room, fmt, again);
    va_end(again);
    if (n < 0)
        return stream_line(module, level, fmt, ap);
    if ((size_t)n < room) {
        write_line(fd, line, strlen(line)); /* a NUL from %c ends the line, as in fputs */
        return n;
    }
    return long_line(fd, line, (size_t)head, module, level, fmt, ap);
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
        n = print_line(module, level, fmt, ap);
    }
    va_end(ap);
    return n;
}
