/* SPDX-License-Identifier: BSD-2-Clause */
// The tool's own log sink: the lusl executable defines luMAP_syslog and hands every library
// line here. Lines go out up to a level threshold (LUMAP_LOG_LEVEL, default 4: errors and
// warnings; -1 none, 7 debug too), each prefixed with the message it belongs to; error lines
// are counted per message type whatever the threshold.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace lusl::tool::log {

// The message the library is working on while one lives: frame number (0: none) and type.
class Context {
public:
    Context(uint64_t frame, uint16_t type);
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};

// One library line (printf format and arguments, as luMAP_syslog receives them).
void line(int module, int level, const char* fmt, va_list ap);

// Library error lines (level 3 or more severe) per message type so far.
const std::map<uint16_t, uint64_t>& error_counts();

// Where lines are written, whole and newline-terminated; standard error by default.
void set_writer(std::function<void(const std::string&)> w);
// Lines above this level are dropped (before formatting); -1 drops all.
void set_threshold(int level);

} // namespace lusl::tool::log
