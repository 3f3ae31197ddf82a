// SPDX-License-Identifier: BSD-2-Clause
// The definition of luMAP_syslog the library finds in the lusl executable ahead of the
// platform's; linked into the executable only, so tests keep their own sinks.
#include <luMAPLog.h>

#include <cstdarg>

#include "log_sink.h"

extern "C" int luMAP_syslog(int module, int level, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    lusl::tool::log::line(module, level, fmt, ap);
    va_end(ap);
    return 0;
}
