// SPDX-License-Identifier: BSD-2-Clause
#include "replay.h"

#include <luSL/luSL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <unistd.h>

#include "channel.h"
#include "gen.h"
#include "printers.h"

namespace lusl::tool {

namespace {

std::string code_str(uint16_t code)
{
    char s[8];
    std::snprintf(s, sizeof s, "0x%04X", code);
    return s;
}

std::string describe(uint16_t type) { return type_name(type) + " (" + code_str(type) + ")"; }

void emit(std::ostream& out, const Received& r, bool json, const Json& extra = Json::object())
{
    Json j = r.copied ? decode_record(r.data.data(), r.data.size()) : undecoded_datagram(r.data.data(), r.wire_len);
    for (const auto& [k, v] : extra.items()) j[k] = v;
    if (json)
        print_json(out, j);
    else
        print_text(out, j);
}

// Hands a TLV stream to the parser; an empty stream is one end-of-message TLV.
int parse_stream(uint16_t type, const Bytes& tlvs, uint16_t port, const Mac& src)
{
    static const uint8_t eom[3] = {0, 0, 0};
    const uint8_t* p = tlvs.empty() ? eom : tlvs.data();
    size_t n = tlvs.empty() ? sizeof eom : tlvs.size();
    return luSL_Msg_parser_n(type, p, n, port, src.data());
}

struct TypeCount {
    uint64_t seen = 0, forwarded = 0, refused = 0;
};

// Progress on a terminal: percentage of the file, a few times a second.
class Progress {
public:
    Progress(bool on, const CaptureReader& r) : on_(on && isatty(STDERR_FILENO)), r_(r) {}
    void tick(std::ostream& err)
    {
        if (!on_ || (++calls_ & 255) != 0) return;
        auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(250)) return;
        last_ = now;
        unsigned pct = r_.size() ? static_cast<unsigned>(100.0 * static_cast<double>(r_.position()) /
                                                         static_cast<double>(r_.size()))
                                 : 0;
        err << '\r' << r_.path() << ": " << pct << "% (" << r_.frames() << " frames)" << std::flush;
        shown_ = true;
    }
    // Clears the progress line, before a message or at the end.
    std::ostream& clear(std::ostream& err)
    {
        if (shown_) err << "\r\033[K";
        shown_ = false;
        return err;
    }

private:
    bool on_;
    const CaptureReader& r_;
    uint64_t calls_ = 0;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

std::string fragment_list(const Reassembler::Incomplete& inc)
{
    std::string s;
    for (uint8_t f : inc.have) s += (s.empty() ? "" : ",") + std::to_string(f);
    return s;
}

} // namespace

// ------------------------------------------------------------------ replay

int replay(const ReplayOptions& o, std::ostream& out, std::ostream& err)
{
    CaptureReader rd(o.capture);
    open_send_socket();
    std::optional<Loopback> rx;
    uint16_t port = o.port;
    if (o.dump) {
        rx.emplace(o.port);
        port = rx->port();
    } else if (port == 0) {
        throw InputError("--port 0 (a free port) only makes sense with --dump");
    }

    const std::string& path = o.capture;
    Reassembler ra;
    std::map<uint16_t, TypeCount> counts;
    uint64_t frames_1905 = 0, other = 0, malformed = 0, filtered = 0, incomplete = 0;
    Progress progress(o.progress, rd);
    auto diag = [&]() -> std::ostream& { return progress.clear(err); };

    auto report_incomplete = [&](const std::vector<Reassembler::Incomplete>& list) {
        for (const auto& inc : list) {
            ++incomplete;
            diag() << path << ": incomplete CMDU: " << describe(inc.type) << " id " << inc.mid << " from "
                << mac_str(inc.src) << " (first fragment in frame " << inc.first_frame << "): fragments "
                << fragment_list(inc) << " arrived, "
                << (inc.last ? "the last is " + std::to_string(*inc.last) : std::string("the last never came"))
                << '\n';
        }
    };

    auto handle = [&](const Reassembler::Cmdu& c) {
        uint16_t type = c.hdr.type;
        TypeCount& tc = counts[type];
        ++tc.seen;
        if (!is_parsed(type)) return;
        if (!o.types.empty() && std::find(o.types.begin(), o.types.end(), type) == o.types.end()) {
            ++filtered;
            return;
        }
        const std::string where = path + ": frame " + std::to_string(c.frame) + ": " + describe(type) + " from " +
                                  mac_str(c.src);
        if (c.oversized) {
            ++tc.refused;
            diag() << where << ": reassembled CMDU is larger than " << kMaxCmduBytes << " bytes, refused\n";
            return;
        }
        if (parse_stream(type, c.tlvs, port, c.src) != 0) {
            ++tc.refused;
            diag() << where << ": refused by the parser\n";
            return;
        }
        ++tc.forwarded;
        if (!rx) return;
        if (auto r = rx->receive(2000))
            emit(out, *r, o.json, {{"source", {{"frame", c.frame}, {"mac", mac_str(c.src)}}}});
        else
            diag() << where << ": forwarded, but no datagram arrived on 127.0.0.1:" << port << '\n';
    };

    Packet p;
    Fragment f;
    while (rd.next(p)) {
        progress.tick(err);
        switch (parse_frame(rd.linktype(), p.data.data(), p.data.size(), f)) {
        case FrameKind::Other:
            ++other;
            continue;
        case FrameKind::Malformed:
            ++malformed;
            diag() << path << ": frame " << rd.frames() << ": IEEE 1905 frame too short for a CMDU header, skipped\n";
            continue;
        case FrameKind::Cmdu:
            break;
        }
        ++frames_1905;
        double t = p.ts_sec + p.ts_usec / 1e6;
        report_incomplete(ra.expire(t));
        if (auto c = ra.add(f, t, rd.frames())) handle(*c);
    }
    progress.clear(err) << std::flush;
    report_incomplete(ra.expire(INFINITY));
    if (!rd.problem().empty()) err << path << ": " << rd.problem() << "; replayed the " << rd.frames() << " frames before it\n";
    if (frames_1905 == 0) err << path << ": no IEEE 1905 frames in this capture\n";

    // ---- summary
    const auto& fs = ra.stats();
    if (o.json) {
        Json types = Json::array(), others = Json::array();
        for (const auto& [type, tc] : counts) {
            if (is_parsed(type))
                types.push_back({{"type", code_str(type)}, {"name", type_name(type)}, {"seen", tc.seen},
                                 {"forwarded", tc.forwarded}, {"refused", tc.refused}});
            else
                others.push_back({{"type", code_str(type)}, {"name", type_name(type)}, {"seen", tc.seen}});
        }
        Json s = {{"file", path},
                  {"port", port},
                  {"frames", rd.frames()},
                  {"ieee1905_frames", frames_1905},
                  {"other_frames", other},
                  {"malformed_frames", malformed},
                  {"types", types},
                  {"not_parsed", others},
                  {"filtered", filtered},
                  {"fragments",
                   {{"fragments", fs.fragments},
                    {"reassembled", fs.reassembled},
                    {"duplicates", fs.duplicates},
                    {"incomplete", incomplete}}}};
        if (!rd.problem().empty()) s["problem"] = rd.problem();
        print_json(out, Json{{"summary", s}});
        return 0;
    }

    out << "Replay of " << path << " to 127.0.0.1:" << port << '\n'
        << "  frames: " << rd.frames() << " (" << frames_1905 << " IEEE 1905, " << other << " other skipped, "
        << malformed << " malformed)\n";
    out << "  type    name                                    seen  forwarded  refused\n";
    uint64_t not_parsed = 0;
    for (const auto& [type, tc] : counts) {
        if (!is_parsed(type)) {
            not_parsed += tc.seen;
            continue;
        }
        out << "  " << code_str(type) << "  " << std::left << std::setw(38) << type_name(type) << std::right
            << std::setw(6) << tc.seen << std::setw(11) << tc.forwarded << std::setw(9) << tc.refused << '\n';
    }
    if (filtered) out << "  " << filtered << " CMDUs of parsed types left out by --type\n";
    if (not_parsed) {
        out << "  other IEEE 1905 types, not parsed: " << not_parsed << " CMDUs\n";
        for (const auto& [type, tc] : counts)
            if (!is_parsed(type))
                out << "    " << code_str(type) << "  " << std::left << std::setw(36) << type_name(type) << std::right
                    << std::setw(6) << tc.seen << '\n';
    }
    out << "  fragments: " << fs.fragments << " in " << fs.reassembled << " reassembled CMDUs, " << fs.duplicates
        << " duplicates dropped, " << incomplete << " incomplete\n";
    return 0;
}

// ------------------------------------------------------------------ dump

int dump(const DumpOptions& o, std::ostream& out, std::ostream& err)
{
    Loopback rx(o.port);
    err << "lusl dump: listening on 127.0.0.1:" << rx.port() << std::endl;
    for (uint64_t n = 0; o.count == 0 || n < o.count;) {
        auto r = rx.receive(-1);
        if (!r) continue;
        emit(out, *r, o.json);
        ++n;
    }
    return 0;
}

// ------------------------------------------------------------------ decode

uint16_t parse_type(const std::string& s)
{
    std::string t = s;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = t.substr(2);
    if (t.empty() || t.size() > 4 || t.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        throw InputError("'" + s + "' is not a message type (expected hex, like 0x8002)");
    return static_cast<uint16_t>(std::stoul(t, nullptr, 16));
}

Bytes parse_hex(const std::string& s)
{
    Bytes out;
    int hi = -1;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X') && hi < 0) {
            ++i;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c)) || c == ':' || c == '-' || c == ',') {
            if (hi >= 0) throw InputError("odd number of hex digits before position " + std::to_string(i));
            continue;
        }
        int v = std::isxdigit(static_cast<unsigned char>(c)) ? std::stoi(std::string(1, c), nullptr, 16) : -1;
        if (v < 0) throw InputError(std::string("'") + c + "' at position " + std::to_string(i) + " is not a hex digit");
        if (hi < 0) {
            hi = v;
        } else {
            out.push_back(static_cast<uint8_t>(hi << 4 | v));
            hi = -1;
        }
    }
    if (hi >= 0) throw InputError("odd number of hex digits");
    return out;
}

int decode(const DecodeOptions& o, std::istream& in, std::ostream& out, std::ostream& err)
{
    std::string hexstr = o.hex;
    const bool from_stdin = o.hex.empty() || o.hex == "-";
    if (from_stdin) hexstr.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const std::string what = from_stdin ? "standard input" : "the argument";
    Bytes bytes;
    try {
        bytes = parse_hex(hexstr);
    } catch (const InputError& e) {
        throw InputError(what + ": " + e.what());
    }
    if (bytes.empty()) throw InputError(what + ": no bytes to decode");

    // A CMDU starts with its header (message version 0); with --type a bare TLV stream is
    // taken, unless it starts with a header of that very type.
    uint16_t type;
    Bytes tlvs;
    bool cmdu = bytes.size() >= kCmduHeaderLen && bytes[0] == 0 &&
                (!o.type || decode_header(bytes.data()).type == *o.type);
    if (cmdu) {
        CmduHeader h = decode_header(bytes.data());
        type = h.type;
        if (h.fid != 0 || !h.last())
            err << "lusl decode: fragment " << unsigned(h.fid) << (h.last() ? " (last)" : "")
                << " of a fragmented CMDU; decoding only these bytes\n";
        tlvs.assign(bytes.begin() + kCmduHeaderLen, bytes.end());
    } else if (o.type) {
        type = *o.type;
        tlvs = bytes;
    } else {
        throw InputError(what + ": not a CMDU (its first byte, the message version, is " + code_str(bytes[0]).substr(4) +
                         " rather than 00); for a bare TLV stream give --type");
    }
    if (!is_parsed(type)) throw InputError(what + ": " + describe(type) + " is not a message type the library parses");

    Loopback rx(0);
    open_send_socket();
    if (parse_stream(type, tlvs, rx.port(), o.src) != 0) {
        err << "lusl decode: " << describe(type) << " refused by the parser: no record was sent\n";
        return 1;
    }
    auto r = rx.receive(2000);
    if (!r) {
        err << "lusl decode: the record of " << describe(type) << " did not arrive\n";
        return 1;
    }
    emit(out, *r, o.json);
    return 0;
}

// ------------------------------------------------------------------ gen

int generate(const std::string& path, std::ostream& err)
{
    auto packets = gen::mesh_session();
    write_pcap(path, packets);
    err << "lusl gen: wrote " << packets.size() << " frames to " << path << '\n';
    return 0;
}

} // namespace lusl::tool
