/* SPDX-License-Identifier: BSD-2-Clause */
/* Stand-in for the router's OS-abstraction library: only the bounded formatter. */
#include "los.h"

#include <stdarg.h>
#include <stdio.h>

int los_snprintf(char *dst, size_t size, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(dst, size, fmt, ap);
    va_end(ap);
    return n;
}
