/* SPDX-License-Identifier: BSD-2-Clause */
// Captures every line the library sends to luMAP_syslog. The test executable defines
// luMAP_syslog itself and exports it, so it takes the place of the platform sink.
#pragma once

#include <string>
#include <vector>

namespace lusl::test {

struct LogLine {
    int module;
    int level;
    std::string fmt;  // the format as passed
    std::string text; // the formatted line
    bool operator==(const LogLine& o) const { return module == o.module && level == o.level && text == o.text; }
};

class LogCapture {
public:
    LogCapture();  // starts a fresh capture
    ~LogCapture();
    const std::vector<LogLine>& lines() const;
    // Lines of a level or more severe (lower number).
    std::vector<LogLine> at_most(int level) const;
    bool contains(int module, int level, const std::string& text) const;
    // Formatted texts only, in order.
    std::vector<std::string> texts() const;
    void clear();
};

} // namespace lusl::test
