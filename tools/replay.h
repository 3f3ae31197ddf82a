/* SPDX-License-Identifier: BSD-2-Clause */
// The four subcommands, apart from their command-line wiring. Each returns the exit status
// (0, or 2 when the input was only partly usable); an InputError (input unusable as a whole)
// propagates to the caller.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "capture.h"

namespace lusl::tool {

// No port is fixed for the message channel; this is the tool's default for dump.
inline constexpr uint16_t kDefaultPort = 49990;

struct ReplayOptions {
    std::string capture;          // "-": standard input
    std::optional<uint16_t> port; // where records go; none (or 0): a private port of the tool's own
    bool take = false;            // with dump and a port: bind it even while another listener holds it
    bool dump = false;
    bool json = false;
    std::vector<uint16_t> types;  // empty: every parsed type
    uint64_t count = 0;           // only the first count frames (0: all)
    double rate = 0;              // CMDUs a second handed to the parser (0: no pacing)
    bool realtime = false;        // keep the capture's gaps between frames
    bool progress = true;         // on stderr, only when it is a terminal
    std::string write_channel;    // pcap file of every datagram the library sent; receives like dump
};
int replay(const ReplayOptions& o, std::ostream& out, std::ostream& err);
// Replay's work on any source of frames: reassembly, forwarding, printing and the summary.
// o.capture is not used; messages name the source.
int feed(FrameSource& src, const ReplayOptions& o, std::ostream& out, std::ostream& err);

// What a replay counted, for its summary.
struct ReplayStats {
    struct Type {
        uint64_t seen = 0, forwarded = 0, delivered = 0, refused = 0;
    };
    std::string source;   // the file, "standard input", or the interface
    bool live = false;    // frames from an interface
    uint64_t dropped = 0; // by the kernel, on an interface
    uint16_t port = 0;
    bool private_port = false;
    bool watched = false; // the tool received on the port, so delivery was counted
    uint64_t frames = 0, frames_1905 = 0, other = 0, malformed = 0, filtered = 0, incomplete = 0;
    uint64_t empty_datagrams = 0; // left by a failed compact encoder
    std::map<uint16_t, Type> types;
    Reassembler::Stats fragments;
    std::string problem; // why reading stopped early
};
void print_summary(std::ostream& out, const ReplayStats& s, bool json);

struct DumpOptions {
    uint16_t port = kDefaultPort; // 0 picks a free port, announced on stderr
    bool take = false;            // bind the port even while another listener holds it
    bool sniff = false;           // watch the port's traffic on lo instead of binding it
    bool json = false;
    uint64_t count = 0; // 0: until interrupted
};
int dump(const DumpOptions& o, std::ostream& out, std::ostream& err);

struct DecodeOptions {
    std::string input;  // given on the command line; empty: read from file
    std::string file;   // "-" or empty: standard input
    bool json = false;
    bool record = false; // the input is a record as the channel carries it
    std::optional<uint16_t> type; // message type of a bare TLV stream
    std::optional<Mac> src;       // source MAC handed to the parser (default: the frame's, or zeros)
};
// One CMDU, Ethernet frame or record per line (a hex dump block counts as one).
int decode(const DecodeOptions& o, std::istream& in, std::ostream& out, std::ostream& err);

int generate(const std::string& path, std::ostream& err);

// "0x8002", "8002": a 16-bit message type in hex. Throws InputError.
uint16_t parse_type(const std::string& s);
// A list of parsed message types separated by commas or blanks. Throws InputError for an
// unknown type and for one the channel carries but the parser never produces.
std::vector<uint16_t> parse_type_list(const std::string& s);
// Hex digits with optional 0x prefixes, blanks, ':', '-' and ',' between bytes. Throws InputError.
Bytes parse_hex(const std::string& s);

// Inputs of decode: each non-blank line, or a block of hex dump lines ("0000  01 80 ...
// ascii", as Wireshark and tshark print them), with the line it starts on.
struct HexInput {
    size_t line = 0;
    Bytes bytes;
    std::string error; // set when the text is not hex
};
std::vector<HexInput> split_hex_inputs(const std::string& text);

} // namespace lusl::tool
