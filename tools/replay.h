/* SPDX-License-Identifier: BSD-2-Clause */
// The four subcommands, apart from their command-line wiring. Each returns the exit status;
// an InputError (file unusable as a whole) propagates to the caller.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "capture.h"

namespace lusl::tool {

// No port is fixed for the message channel; this is the tool's default.
inline constexpr uint16_t kDefaultPort = 49990;

struct ReplayOptions {
    std::string capture;
    uint16_t port = kDefaultPort; // with dump, 0 picks a free port
    bool dump = false;
    bool json = false;
    std::vector<uint16_t> types; // empty: every parsed type
    bool progress = true;        // on stderr, only when it is a terminal
};
int replay(const ReplayOptions& o, std::ostream& out, std::ostream& err);

struct DumpOptions {
    uint16_t port = kDefaultPort; // 0 picks a free port, announced on stderr
    bool json = false;
    uint64_t count = 0; // 0: until killed
};
int dump(const DumpOptions& o, std::ostream& out, std::ostream& err);

struct DecodeOptions {
    std::string hex; // "-" or empty: standard input
    bool json = false;
    std::optional<uint16_t> type; // message type of a bare TLV stream
    Mac src{};                    // source MAC handed to the parser
};
int decode(const DecodeOptions& o, std::istream& in, std::ostream& out, std::ostream& err);

int generate(const std::string& path, std::ostream& err);

// "0x8002", "8002": a 16-bit message type in hex. Throws InputError.
uint16_t parse_type(const std::string& s);
// Hex digits with optional 0x prefixes, blanks, ':', '-' and ',' between bytes. Throws InputError.
Bytes parse_hex(const std::string& s);

} // namespace lusl::tool
