// SPDX-License-Identifier: BSD-2-Clause
#include "replay.h"

#include <luSL/luSL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "chancap.h"
#include "channel.h"
#include "console.h"
#include "gen.h"
#include "log_sink.h"
#include "printers.h"

namespace lusl::tool {

namespace {

using Clock = std::chrono::steady_clock;

std::string code_str(uint16_t code)
{
    char s[8];
    std::snprintf(s, sizeof s, "0x%04X", code);
    return s;
}

// Error lines the library logged while parsing and sending messages of this type.
uint64_t library_errors(uint16_t type)
{
    auto it = log::error_counts().find(type);
    return it == log::error_counts().end() ? 0 : it->second;
}

std::string describe(uint16_t type) { return type_name(type) + " (" + code_str(type) + ")"; }

void emit(std::ostream& out, const Received& r, bool json, Json extra = Json::object())
{
    Json j = r.copied ? decode_record(r.data.data(), r.data.size()) : undecoded_datagram(r.data.data(), r.wire_len);
    // Beside the layout's length, what the datagram really held; the readable form shows it
    // only when the two differ.
    if (json || r.wire_len != j.value("length", size_t{0})) j["received"] = r.wire_len;
    for (const auto& [k, v] : extra.items()) j[k] = v;
    if (json)
        print_json(out, j);
    else
        print_text(out, j);
}

// A refusal, an incomplete reassembly and the like, as a line of --json output.
void event(std::ostream& out, const std::string& what, Json fields)
{
    Json j = {{"event", what}};
    for (const auto& [k, v] : fields.items()) j[k] = v;
    print_json(out, j);
}

// Hands a TLV stream to the parser; an empty stream is one end-of-message TLV.
int parse_stream(uint16_t type, const Bytes& tlvs, uint16_t port, const Mac& src)
{
    static const uint8_t eom[3] = {0, 0, 0};
    const uint8_t* p = tlvs.empty() ? eom : tlvs.data();
    size_t n = tlvs.empty() ? sizeof eom : tlvs.size();
    const int rc = luSL_Msg_parser_n(type, p, n, port, src.data());
    drain_library_lines();
    return rc;
}

// Progress a few times a second: percentage of the file, or frames read from a pipe; the
// counts of a live capture every few seconds.
class Progress {
public:
    Progress(bool on, const FrameSource& r, const ReplayStats& st) : on_(on), r_(r), st_(st) {}
    void tick()
    {
        if (!on_ || (!r_.live() && (++calls_ & 255) != 0)) return;
        auto now = Clock::now();
        if (now - last_ < std::chrono::milliseconds(r_.live() ? 2000 : 250)) return;
        last_ = now;
        std::string text = r_.name() + ": ";
        if (r_.live()) {
            ReplayStats::Type all;
            for (const auto& [type, tc] : st_.types) {
                all.seen += tc.seen;
                all.forwarded += tc.forwarded;
                all.refused += tc.refused;
            }
            text += std::to_string(r_.frames()) + " frames, " + std::to_string(all.seen) + " CMDUs, " +
                    std::to_string(all.forwarded) + " forwarded, " + std::to_string(all.refused) + " refused";
        } else if (r_.size()) {
            text += std::to_string(static_cast<unsigned>(100.0 * static_cast<double>(r_.position()) /
                                                        static_cast<double>(r_.size()))) +
                    "% (" + std::to_string(r_.frames()) + " frames)";
        } else {
            text += std::to_string(r_.frames()) + " frames";
        }
        progress_line(text);
    }

private:
    bool on_;
    const FrameSource& r_;
    const ReplayStats& st_;
    uint64_t calls_ = 0;
    Clock::time_point last_{};
};

std::string fragment_list(const Reassembler::Incomplete& inc)
{
    std::string s;
    for (uint8_t f : inc.have) s += (s.empty() ? "" : ",") + std::to_string(f);
    return s;
}

// Per-frame notes go to stderr unless -q.
std::ostream& notes(std::ostream& err)
{
    static std::ostream discard(nullptr);
    return verbosity() == Verbosity::Quiet ? discard : err;
}

} // namespace

// ------------------------------------------------------------------ replay

int replay(const ReplayOptions& o, std::ostream& out, std::ostream& err)
{
    CaptureReader rd(o.capture);
    return feed(rd, o, out, err);
}

int feed(FrameSource& rd, const ReplayOptions& o, std::ostream& out, std::ostream& err)
{
    open_send_socket();

    ReplayStats st;
    st.source = rd.name();
    st.live = rd.live();
    std::optional<Loopback> rx;
    if (!o.port || *o.port == 0) {
        // A file never goes to a fixed port unless asked: a port of the tool's own, read back.
        rx.emplace(0);
        st.private_port = true;
    } else if (o.dump || !o.write_channel.empty()) {
        try {
            rx.emplace(*o.port, o.take);
        } catch (const PortInUse& e) {
            throw InputError(std::string(e.what()) + ". --take receives there instead (the listener then gets "
                                                     "nothing); without --port the records go to a private port");
        }
    }
    st.port = rx ? rx->port() : *o.port;
    st.watched = rx.has_value();

    // The channel capture: every datagram the library sent, stamped with its CMDU's time.
    std::optional<ChannelWriter> tap;
    if (!o.write_channel.empty()) tap.emplace(o.write_channel, local_port(msg_sock_fd));
    Stamp cmdu_time;
    // A private port is the tool's own affair: the capture shows the channel's usual port.
    const uint16_t tap_port = st.private_port ? kDefaultPort : st.port;

    const std::string& path = st.source;
    Reassembler ra;
    Progress progress(o.progress, rd, st);
    std::ostream& note = notes(err);

    auto report_incomplete = [&](const std::vector<Reassembler::Incomplete>& list) {
        for (const auto& inc : list) {
            ++st.incomplete;
            note << path << ": incomplete CMDU: " << describe(inc.type) << " id " << code_str(inc.mid) << " from "
                 << mac_str(inc.src) << " (first fragment in frame " << inc.first_frame << "): fragments "
                 << fragment_list(inc) << " arrived, "
                 << (inc.last ? "the last is " + std::to_string(*inc.last) : std::string("the last never came")) << '\n';
            if (o.json)
                event(out, "incomplete",
                      {{"type", code_str(inc.type)}, {"name", type_name(inc.type)}, {"mid", code_str(inc.mid)},
                       {"mac", mac_str(inc.src)}, {"first_frame", inc.first_frame}, {"fragments", inc.have},
                       {"last", inc.last ? Json(*inc.last) : Json()}});
        }
    };

    // The record of a forwarded CMDU, skipping the empty datagram a failed encoder leaves.
    auto next_record = [&]() -> std::optional<Received> {
        for (;;) {
            auto r = rx->receive(2000);
            if (r && tap) tap->write(r->wire, tap_port, cmdu_time);
            if (!r || r->copied || r->wire_len != 0) return r;
            ++st.empty_datagrams;
        }
    };
    // What a refused CMDU left on the channel: the empty datagram of a failed compact encoding.
    auto take_leftovers = [&] {
        while (auto r = rx ? rx->receive(0) : std::nullopt) {
            if (tap) tap->write(r->wire, tap_port, cmdu_time);
            if (!r->copied && r->wire_len == 0) ++st.empty_datagrams;
        }
    };

    const Clock::time_point start = Clock::now();
    uint64_t paced = 0;
    auto handle = [&](const Reassembler::Cmdu& c) {
        uint16_t type = c.hdr.type;
        ReplayStats::Type& tc = st.types[type];
        ++tc.seen;
        if (!is_parsed(type)) return;
        if (!o.types.empty() && std::find(o.types.begin(), o.types.end(), type) == o.types.end()) {
            ++st.filtered;
            return;
        }
        const std::string where = path + ": frame " + std::to_string(c.frame) + ": " + describe(type) + " id " +
                                  code_str(c.hdr.mid) + " from " + mac_str(c.src);
        const Json source = {{"frame", c.frame}, {"mac", mac_str(c.src)}, {"mid", code_str(c.hdr.mid)}};
        auto refuse = [&](const std::string& why) {
            ++tc.refused;
            note << where << ": " << why << '\n';
            if (o.json)
                event(out, "refused", {{"type", code_str(type)}, {"name", type_name(type)}, {"source", source}, {"reason", why}});
        };
        if (c.oversized) return refuse("reassembled CMDU is larger than " + std::to_string(kMaxCmduBytes) + " bytes, refused");
        if (o.rate > 0) std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                                                  std::chrono::duration<double>(paced++ / o.rate)));
        log::Context in_message(c.frame, type);
        if (parse_stream(type, c.tlvs, st.port, c.src) != 0) {
            take_leftovers();
            return refuse("refused by the parser");
        }
        ++tc.forwarded;
        if (!rx) return;
        if (auto r = next_record()) {
            ++tc.delivered;
            if (o.dump) emit(out, *r, o.json, {{"source", source}, {"time", cmdu_time.seconds()}});
            if (o.dump && rd.live()) out.flush(); // each record as it comes, not when a buffer is full
        } else {
            note << where << ": forwarded, but no datagram arrived on 127.0.0.1:" << st.port << '\n';
            if (o.json) event(out, "undelivered", {{"type", code_str(type)}, {"source", source}});
        }
    };

    rd.on_idle = [&](double now) {
        report_incomplete(ra.expire(now));
        progress.tick();
    };
    Packet p;
    Fragment f;
    std::optional<double> first_ts;
    while ((o.count == 0 || rd.frames() < o.count) && out && rd.next(p)) {
        progress.tick();
        const double t = p.ts_sec + p.ts_usec / 1e6;
        if (o.realtime) {
            if (!first_ts) first_ts = t;
            if (t > *first_ts)
                std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(t - *first_ts)));
        }
        switch (parse_frame(rd.linktype(), p.data.data(), p.data.size(), f)) {
        case FrameKind::Other:
            ++st.other;
            continue;
        case FrameKind::Malformed:
            ++st.malformed;
            note << path << ": frame " << rd.frames() << ": IEEE 1905 frame too short for a CMDU header, skipped\n";
            if (o.json) event(out, "malformed", {{"frame", rd.frames()}, {"reason", "too short for a CMDU header"}});
            continue;
        case FrameKind::Cmdu:
            break;
        }
        ++st.frames_1905;
        cmdu_time = {p.ts_sec, p.ts_usec};
        report_incomplete(ra.expire(t));
        if (auto c = ra.add(f, t, rd.frames())) handle(*c);
    }
    rd.on_idle = nullptr;
    report_incomplete(ra.expire(INFINITY));
    if (rx) take_leftovers(); // what a failed encoder left after the last record
    if (tap) {
        tap->close();
        note << o.write_channel << ": " << tap->written() << " datagrams to 127.0.0.1:" << tap_port << '\n';
    }
    st.frames = rd.frames();
    st.problem = rd.problem();
    st.fragments = ra.stats();
    st.dropped = rd.dropped();
    if (!st.problem.empty())
        err << path << ": " << st.problem << (st.live ? "; fed the " : "; replayed the ") << st.frames << " frames before it\n";
    if (st.frames_1905 == 0 && out)
        note << path << (st.live ? ": no IEEE 1905 frames arrived\n" : ": no IEEE 1905 frames in this capture\n");
    print_summary(out, st, o.json);
    return st.problem.empty() ? 0 : 2;
}

void print_summary(std::ostream& out, const ReplayStats& st, bool json)
{
    const auto& fs = st.fragments;
    uint64_t forwarded = 0, delivered = 0;
    for (const auto& [type, tc] : st.types) forwarded += tc.forwarded, delivered += tc.delivered;
    if (json) {
        Json types = Json::array(), others = Json::array();
        for (const auto& [type, tc] : st.types) {
            if (is_parsed(type)) {
                Json t = {{"type", code_str(type)}, {"name", type_name(type)}, {"seen", tc.seen},
                          {"forwarded", tc.forwarded}, {"refused", tc.refused},
                          {"library_errors", library_errors(type)}};
                if (st.watched) t["delivered"] = tc.delivered;
                types.push_back(t);
            } else {
                others.push_back({{"type", code_str(type)}, {"name", type_name(type)}, {"seen", tc.seen}});
            }
        }
        Json s = {{st.live ? "interface" : "file", st.source},
                  {"port", st.port},
                  {"private_port", st.private_port},
                  {"frames", st.frames},
                  {"ieee1905_frames", st.frames_1905},
                  {"other_frames", st.other},
                  {"malformed_frames", st.malformed},
                  {"types", types},
                  {"not_parsed", others},
                  {"filtered", st.filtered},
                  {"forwarded", forwarded},
                  {"delivered", st.watched ? Json(delivered) : Json()},
                  {"empty_datagrams", st.empty_datagrams},
                  {"fragments",
                   {{"fragments", fs.fragments},
                    {"reassembled", fs.reassembled},
                    {"duplicates", fs.duplicates},
                    {"incomplete", st.incomplete},
                    {"peak_open", fs.peak_open},
                    {"peak_bytes", fs.peak_bytes}}}};
        if (st.live) s["dropped"] = st.dropped;
        if (!st.problem.empty()) s["problem"] = st.problem;
        print_json(out, Json{{"summary", s}});
        return;
    }

    out << (st.live ? "Capture on " : "Replay of ") << st.source << " to 127.0.0.1:" << st.port
        << (st.private_port ? " (private)" : "") << '\n'
        << "  frames: " << st.frames << " (" << st.frames_1905 << " IEEE 1905, " << st.other << " other skipped, "
        << st.malformed << " malformed)\n";
    if (st.live) out << "  dropped by the kernel: " << st.dropped << '\n';
    out << "  type    name                                    seen  forwarded  delivered  refused  lib errors\n";
    uint64_t not_parsed = 0;
    for (const auto& [type, tc] : st.types) {
        if (!is_parsed(type)) {
            not_parsed += tc.seen;
            continue;
        }
        out << "  " << code_str(type) << "  " << std::left << std::setw(38) << type_name(type) << std::right
            << std::setw(6) << tc.seen << std::setw(11) << tc.forwarded << std::setw(11)
            << (st.watched ? std::to_string(tc.delivered) : "-") << std::setw(9) << tc.refused << std::setw(12)
            << library_errors(type) << '\n';
    }
    if (st.watched)
        out << "  records: " << forwarded << " forwarded, " << delivered << " delivered\n";
    else
        out << "  records: " << forwarded << " forwarded; another process receives on 127.0.0.1:" << st.port
            << ", so delivery was not counted (lusl dump there reports what it received and lost)\n";
    if (st.empty_datagrams) out << "  " << st.empty_datagrams << " empty datagrams from failed compact encodings\n";
    if (st.filtered) out << "  " << st.filtered << " CMDUs of parsed types left out by --type\n";
    if (not_parsed) {
        out << "  other IEEE 1905 types, not parsed: " << not_parsed << " CMDUs\n";
        for (const auto& [type, tc] : st.types)
            if (!is_parsed(type))
                out << "    " << code_str(type) << "  " << std::left << std::setw(36) << type_name(type) << std::right
                    << std::setw(6) << tc.seen << '\n';
    }
    out << "  fragments: " << fs.fragments << " in " << fs.reassembled << " reassembled CMDUs, " << fs.duplicates
        << " duplicates dropped, " << st.incomplete << " incomplete (at most " << fs.peak_open << " open, "
        << fs.peak_bytes << " bytes held)\n";
    out.flush();
}

// ------------------------------------------------------------------ dump

namespace {

// The end of a dump: its count on stderr, and in --json output a summary line as well.
void dump_summary(std::ostream& out, std::ostream& err, bool json, uint16_t port, uint64_t n, uint64_t dropped,
                  const char* dropped_why)
{
    if (json) print_json(out, Json{{"summary", {{"port", port}, {"received", n}, {"dropped", dropped}}}});
    err << "lusl dump: " << n << (n == 1 ? " record" : " records") << " received";
    if (dropped) err << ", " << dropped << " dropped (" << dropped_why << ")";
    err << '\n';
}

int sniff(const DumpOptions& o, std::ostream& out, std::ostream& err)
{
    LiveCapture cap("lo", o.port);
    Loopback relay(0); // each datagram is handed to luSL_Msg_recv_n as the listener gets it
    if (verbosity() != Verbosity::Quiet) err << "lusl dump: watching 127.0.0.1:" << o.port << " on lo, nothing bound" << std::endl;
    uint64_t n = 0;
    Bytes payload;
    while ((o.count == 0 || n < o.count) && out && !stop_requested()) {
        if (!cap.next(payload)) {
            if (!cap.problem().empty()) throw InputError(cap.problem());
            continue;
        }
        relay.inject(payload.data(), payload.size());
        if (auto r = relay.receive(2000)) {
            emit(out, *r, o.json, {{"time", now_stamp().seconds()}});
            ++n;
        }
    }
    dump_summary(out, err, o.json, o.port, n, cap.dropped(), "the capture fell behind");
    return 0;
}

} // namespace

int dump(const DumpOptions& o, std::ostream& out, std::ostream& err)
{
    install_stop_handlers();
    if (o.sniff) return sniff(o, out, err);
    std::optional<Loopback> rx;
    try {
        rx.emplace(o.port, o.take);
    } catch (const PortInUse& e) {
        throw InputError(std::string(e.what()) + ". --sniff watches the port without binding it; --take receives "
                                                 "there instead (the listener then gets nothing)");
    }
    rx->grow_buffer(8 << 20); // a burst from a fast sender waits here rather than being dropped
    if (verbosity() != Verbosity::Quiet || o.port == 0)
        err << "lusl dump: listening on 127.0.0.1:" << rx->port() << std::endl;
    uint64_t n = 0;
    // Once interrupted, what is already queued is still printed.
    while ((o.count == 0 || n < o.count) && out) {
        auto r = rx->receive(stop_requested() ? 0 : -1);
        if (!r) {
            if (stop_requested()) break;
            continue;
        }
        emit(out, *r, o.json, {{"time", now_stamp().seconds()}});
        ++n;
    }
    dump_summary(out, err, o.json, rx->port(), n, rx->dropped(), "the receive buffer overflowed; lusl replay --rate paces a replay");
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

std::vector<uint16_t> parse_type_list(const std::string& s)
{
    std::vector<uint16_t> out;
    std::string word;
    std::istringstream in(s);
    for (std::string part; std::getline(in, part, ',');) {
        std::istringstream words(part);
        for (std::string w; words >> w;) {
            const uint16_t t = parse_type(w);
            if (!is_parsed(t)) {
                // The channel carries a few types of its own, with a length but no parser.
                if (received_length(t, 1) != 0)
                    throw InputError(describe(t) + " travels on the channel only; the parser never produces it");
                throw InputError((type_name(t) == "Unknown" ? code_str(t) : describe(t)) +
                                 " is not a message type the library parses");
            }
            if (std::find(out.begin(), out.end(), t) == out.end()) out.push_back(t);
        }
    }
    if (out.empty()) throw InputError("'" + s + "' names no message type");
    return out;
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

namespace {

// "0010   80 33 00 07 ...   .3..": an offset of four or more hex digits and at least two
// blanks; the offset and where the hex bytes end are returned.
struct DumpLine {
    size_t offset;
    std::string rest;
};
std::optional<DumpLine> dump_line(const std::string& l)
{
    size_t i = 0;
    while (i < l.size() && std::isxdigit(static_cast<unsigned char>(l[i]))) ++i;
    if (i < 4 || i > 8 || i + 2 > l.size()) return std::nullopt;
    size_t j = i;
    while (j < l.size() && (l[j] == ' ' || l[j] == '\t')) ++j;
    if (j - i < 2 && l[i] != '\t') return std::nullopt;
    return DumpLine{std::stoul(l.substr(0, i), nullptr, 16), l.substr(j)};
}

// Up to 16 two-digit bytes of a dump line, blanks between them; the ASCII column is left.
Bytes dump_bytes(const std::string& rest)
{
    Bytes b;
    size_t i = 0;
    while (b.size() < 16) {
        while (i < rest.size() && rest[i] == ' ') ++i;
        if (i + 2 > rest.size() || !std::isxdigit(static_cast<unsigned char>(rest[i])) ||
            !std::isxdigit(static_cast<unsigned char>(rest[i + 1])) ||
            (i + 2 < rest.size() && rest[i + 2] != ' ' && rest[i + 2] != '\t'))
            break;
        b.push_back(static_cast<uint8_t>(std::stoi(rest.substr(i, 2), nullptr, 16)));
        i += 2;
        if (i + 2 < rest.size() && rest[i] == ' ' && rest[i + 1] == ' ' && rest[i + 2] == ' ') break; // ASCII next
    }
    return b;
}

} // namespace

std::vector<HexInput> split_hex_inputs(const std::string& text)
{
    std::vector<HexInput> out;
    bool in_dump = false; // the last input is a hex dump block still growing
    std::istringstream in(text);
    size_t n = 0;
    for (std::string l; std::getline(in, l);) {
        ++n;
        if (!l.empty() && l.back() == '\r') l.pop_back();
        const size_t first = l.find_first_not_of(" \t");
        if (first == std::string::npos || l[first] == '#') {
            in_dump = false;
            continue;
        }
        l = l.substr(first);
        if (auto d = dump_line(l)) {
            if (d->offset == 0 || (in_dump && d->offset == out.back().bytes.size())) {
                if (d->offset == 0) out.push_back({n, {}, {}});
                Bytes b = dump_bytes(d->rest);
                out.back().bytes.insert(out.back().bytes.end(), b.begin(), b.end());
                in_dump = true;
                continue;
            }
            if (in_dump) {
                out.back().error = "hex dump line at offset " + std::to_string(d->offset) + " does not follow the " +
                                   std::to_string(out.back().bytes.size()) + " bytes before it";
                in_dump = false;
                continue;
            }
        }
        in_dump = false;
        HexInput h{n, {}, {}};
        try {
            h.bytes = parse_hex(l);
        } catch (const InputError& e) {
            h.error = e.what();
        }
        out.push_back(std::move(h));
    }
    return out;
}

namespace {

bool is_ethernet_1905(const Bytes& b)
{
    if (b.size() < 14) return false;
    const uint16_t et = static_cast<uint16_t>(b[12] << 8 | b[13]);
    return et == kEtherType1905 || et == kEtherTypeVlan || et == kEtherTypeQinQ;
}

// Decodes one input; throws InputError with what is wrong with it.
void decode_one(const DecodeOptions& o, const Bytes& bytes, Loopback& rx, std::ostream& out, std::ostream& err,
                const std::string& where)
{
    if (bytes.empty()) throw InputError("no bytes to decode");
    if (o.record) {
        rx.inject(bytes.data(), bytes.size());
        auto r = rx.receive(2000);
        if (!r) throw InputError("the record did not come back from the channel");
        emit(out, *r, o.json);
        return;
    }

    Mac src = o.src.value_or(Mac{});
    Bytes cmdu_bytes = bytes;
    if (is_ethernet_1905(bytes)) {
        Fragment f;
        switch (parse_frame(1, bytes.data(), bytes.size(), f)) {
        case FrameKind::Other:
            throw InputError("an Ethernet frame, but not an IEEE 1905 one");
        case FrameKind::Malformed:
            throw InputError("an IEEE 1905 frame too short for a CMDU header");
        case FrameKind::Cmdu:
            break;
        }
        if (!o.src) src = f.src;
        cmdu_bytes = encode_header(f.hdr);
        cmdu_bytes.insert(cmdu_bytes.end(), f.payload.begin(), f.payload.end());
    }

    // A CMDU starts with its header (message version 0); with --type a bare TLV stream is
    // taken, unless it starts with a header of that very type.
    uint16_t type;
    Bytes tlvs;
    const bool cmdu = cmdu_bytes.size() >= kCmduHeaderLen && cmdu_bytes[0] == 0 &&
                      (!o.type || decode_header(cmdu_bytes.data()).type == *o.type);
    if (cmdu) {
        CmduHeader h = decode_header(cmdu_bytes.data());
        type = h.type;
        if (h.fid != 0 || !h.last())
            notes(err) << "lusl decode: " << where << ": fragment " << unsigned(h.fid) << (h.last() ? " (last)" : "")
                       << " of a fragmented CMDU; decoding only these bytes\n";
        tlvs.assign(cmdu_bytes.begin() + kCmduHeaderLen, cmdu_bytes.end());
    } else if (o.type) {
        type = *o.type;
        tlvs = cmdu_bytes;
    } else {
        throw InputError("not a CMDU (its first byte, the message version, is " + code_str(cmdu_bytes[0]).substr(4) +
                         " rather than 00); for a bare TLV stream give --type, for a record --record");
    }
    if (!is_parsed(type)) throw InputError(describe(type) + " is not a message type the library parses");
    log::Context in_message(0, type);
    if (parse_stream(type, tlvs, rx.port(), src) != 0) throw InputError(describe(type) + " refused by the parser: no record was sent");
    auto r = rx.receive(2000);
    if (!r) throw InputError("the record of " + describe(type) + " did not arrive");
    emit(out, *r, o.json);
}

} // namespace

int decode(const DecodeOptions& o, std::istream& in, std::ostream& out, std::ostream& err)
{
    std::string text = o.input, what = "the argument";
    if (o.input.empty()) {
        if (o.file.empty() || o.file == "-") {
            text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            what = "standard input";
        } else {
            std::ifstream f(o.file, std::ios::binary);
            if (!f) throw InputError(o.file + ": cannot open: " + std::strerror(errno));
            text.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
            what = o.file;
        }
    }
    const std::vector<HexInput> inputs = split_hex_inputs(text);
    if (inputs.empty()) throw InputError(what + ": no bytes to decode");

    Loopback rx(0);
    open_send_socket();
    size_t ok = 0;
    for (const HexInput& h : inputs) {
        if (!out) break;
        const std::string where = inputs.size() == 1 && h.line == 1 ? what : what + ", line " + std::to_string(h.line);
        try {
            if (!h.error.empty()) throw InputError(h.error);
            decode_one(o, h.bytes, rx, out, err, where);
            ++ok;
        } catch (const InputError& e) {
            err << "lusl decode: " << where << ": " << e.what() << '\n';
        }
    }
    return ok == inputs.size() ? 0 : ok == 0 ? 1 : 2;
}

// ------------------------------------------------------------------ gen

int generate(const std::string& path, std::ostream& err)
{
    auto packets = gen::mesh_session();
    write_pcap(path, packets);
    notes(err) << "lusl gen: wrote " << packets.size() << " frames to " << path << '\n';
    return 0;
}

} // namespace lusl::tool
