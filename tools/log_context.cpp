// SPDX-License-Identifier: BSD-2-Clause
#include "log_sink.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "printers.h"

namespace lusl::tool::log {

namespace {

struct Current {
    uint64_t frame;
    uint16_t type;
};

struct State {
    int threshold = -2; // -2: not read from LUMAP_LOG_LEVEL yet
    std::optional<Current> current;
    std::map<uint16_t, uint64_t> errors;
    std::function<void(const std::string&)> writer;
};

State& state()
{
    static State s;
    return s;
}

int threshold()
{
    State& s = state();
    if (s.threshold == -2) {
        s.threshold = 4;
        if (const char* v = std::getenv("LUMAP_LOG_LEVEL"); v && *v) {
            char* end;
            long t = std::strtol(v, &end, 10);
            if (*end == '\0' && t >= -1 && t <= 7) s.threshold = static_cast<int>(t);
        }
    }
    return s.threshold;
}

void write_stderr(const std::string& l)
{
    for (size_t at = 0; at < l.size();) {
        ssize_t n = ::write(STDERR_FILENO, l.data() + at, l.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        at += static_cast<size_t>(n);
    }
}

} // namespace

Context::Context(uint64_t frame, uint16_t type) { state().current = Current{frame, type}; }
Context::~Context() { state().current.reset(); }

void line(int module, int level, const char* fmt, va_list ap)
{
    State& s = state();
    if (level <= 3 && s.current) ++s.errors[s.current->type];
    if (level > threshold()) return;

    char text[1024];
    va_list again;
    va_copy(again, ap);
    int n = std::vsnprintf(text, sizeof text, fmt, ap);
    std::string body;
    if (n >= 0 && static_cast<size_t>(n) >= sizeof text) {
        body.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(body.data(), body.size(), fmt, again);
        body.resize(static_cast<size_t>(n));
    } else if (n > 0) {
        body.assign(text, static_cast<size_t>(n));
    }
    va_end(again);
    while (!body.empty() && body.back() == '\n') body.pop_back();

    // luSL[module/level] as the platform sink writes it, then the message the line belongs to.
    std::string l = "luSL[" + std::to_string(module) + "/" + std::to_string(level) + "] ";
    if (s.current) {
        if (s.current->frame) l += "frame " + std::to_string(s.current->frame) + ", ";
        l += type_name(s.current->type) + " (" + type_code(s.current->type) + "): ";
    }
    l += body + '\n';
    if (s.writer)
        s.writer(l);
    else
        write_stderr(l);
}

const std::map<uint16_t, uint64_t>& error_counts() { return state().errors; }

void set_writer(std::function<void(const std::string&)> w) { state().writer = std::move(w); }
void set_threshold(int level) { state().threshold = level; }

} // namespace lusl::tool::log
