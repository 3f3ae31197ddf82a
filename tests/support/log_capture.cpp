// SPDX-License-Identifier: BSD-2-Clause
#include "log_capture.h"

#include <cstdarg>
#include <cstdio>

namespace {
std::vector<lusl::test::LogLine> g_lines;
}

// Replaces the platform sink for the whole test process.
extern "C" __attribute__((visibility("default"))) int luMAP_syslog(int module, int level, const char* fmt, ...)
{
    char buf[4096];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    g_lines.push_back({module, level, fmt, buf});
    return n;
}

namespace lusl::test {

LogCapture::LogCapture() { g_lines.clear(); }
LogCapture::~LogCapture() { g_lines.clear(); }
const std::vector<LogLine>& LogCapture::lines() const { return g_lines; }
std::vector<LogLine> LogCapture::at_most(int level) const
{
    std::vector<LogLine> out;
    for (const auto& l : g_lines)
        if (l.level <= level) out.push_back(l);
    return out;
}
bool LogCapture::contains(int module, int level, const std::string& text) const
{
    for (const auto& l : g_lines)
        if (l.module == module && l.level == level && l.text == text) return true;
    return false;
}
std::vector<std::string> LogCapture::texts() const
{
    std::vector<std::string> out;
    for (const auto& l : g_lines) out.push_back(l.text);
    return out;
}
void LogCapture::clear() { g_lines.clear(); }

} // namespace lusl::test
