// SPDX-License-Identifier: BSD-2-Clause
// The one generic printer: a walk of the layout description over the bytes of a datagram.
#include "printers.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <cstring>
#include <ostream>

namespace lusl::tool {

using layout::Block;
using layout::Field;
using layout::Kind;
using layout::Shown;

namespace {

// IEEE 1905.1 and EasyMesh messages that travel beside the catalogue's, for summaries.
struct OtherName {
    uint16_t code;
    const char* name;
};
constexpr OtherName kOtherNames[] = {
    {0x0000, "Topology Discovery"},
    {0x0002, "Topology Query"},
    {0x0004, "Vendor Specific"},
    {0x0005, "Link Metric Query"},
    {0x0007, "AP Autoconfiguration Search"},
    {0x0008, "AP Autoconfiguration Response"},
    {0x000A, "AP Autoconfiguration Renew"},
    {0x8000, "1905 Ack"},
    {0x8001, "AP Capability Query"},
    {0x8003, "Multi-AP Policy Config Request"},
    {0x8004, "Channel Preference Query"},
    {0x8006, "Channel Selection Request"},
    {0x8007, "Channel Selection Response"},
    {0x8009, "Client Capability Query"},
    {0x800B, "AP Metrics Query"},
    {0x800D, "Associated STA Link Metrics Query"},
    {0x800F, "Unassociated STA Link Metrics Query"},
    {0x8014, "Client Steering Request"},
    {0x8016, "Client Association Control Request"},
    {0x8017, "Steering Completed"},
    {0x8019, "Backhaul Steering Request"},
    {0x801B, "Channel Scan Request"},
};

uint64_t read_uint(const uint8_t* p, uint32_t width, bool big_endian)
{
    uint64_t v = 0;
    for (uint32_t i = 0; i < width; ++i) v |= uint64_t{p[big_endian ? width - 1 - i : i]} << (8 * i);
    return v;
}

// Text fields: printable ASCII as is, anything else as \xNN, so both outputs show the same.
std::string text(const uint8_t* p, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] >= 0x20 && p[i] < 0x7F && p[i] != '\\') {
            s += static_cast<char>(p[i]);
        } else {
            char e[5];
            std::snprintf(e, sizeof e, "\\x%02x", p[i]);
            s += e;
        }
    }
    return s;
}

std::string octets(const uint8_t* p, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        char b[4];
        std::snprintf(b, sizeof b, i ? ":%02x" : "%02x", p[i]);
        s += b;
    }
    return s;
}

bool all_zero(const uint8_t* p, size_t n)
{
    return std::all_of(p, p + n, [](uint8_t v) { return v == 0; });
}

const Field* sibling(const Block& b, const char* name)
{
    for (const Field& f : b.fields)
        if (std::strcmp(f.name, name) == 0) return &f;
    return nullptr;
}

// One scalar value of a field whose bytes are at p (n of them for strings).
Json scalar(const Field& f, const uint8_t* p, size_t n)
{
    switch (f.kind) {
    case Kind::Type:
    case Kind::Uint:
    case Kind::Flags: return read_uint(p, f.width, false);
    case Kind::UintBE: return read_uint(p, f.width, true);
    case Kind::Mac:
    case Kind::Oui: return octets(p, f.width);
    case Kind::Text: return text(p, n);
    case Kind::Bytes: return hex(p, n);
    case Kind::Block:
    case Kind::Reserved: break;
    }
    return nullptr;
}

bool is_string_kind(Kind k) { return k == Kind::Text || k == Kind::Bytes; }

struct Spans {
    std::vector<std::pair<size_t, size_t>>* out = nullptr;
    void add(size_t at, size_t n) const
    {
        if (out && n) out->emplace_back(at, n);
    }
};

// ---- fixed blocks: every field at its offset from base; data holds the whole record

Json fixed(const Block& b, const uint8_t* data, size_t base, const Spans& spans)
{
    Json out = Json::object();
    auto count_of = [&](const Field& f) -> uint64_t {
        const Field* c = sibling(b, f.count);
        return c ? read_uint(data + base + c->offset, c->width, c->kind == Kind::UintBE) : 0;
    };
    for (const Field& f : b.fields) {
        const size_t at = base + f.offset;
        if (f.kind == Kind::Reserved || f.kind == Kind::Type) {
            spans.add(at, f.size());
            continue;
        }
        if (is_string_kind(f.kind)) {
            size_t n = f.room;
            if (f.shown == Shown::Count)
                n = std::min<uint64_t>(count_of(f), f.room);
            else if (f.kind == Kind::Text)
                n = strnlen(reinterpret_cast<const char*>(data + at), f.room);
            spans.add(at, f.size());
            out[f.name] = scalar(f, data + at, n);
            continue;
        }
        size_t n = f.room;
        if (f.shown == Shown::Count) n = std::min<uint64_t>(count_of(f), f.room);
        Json list = Json::array();
        for (size_t i = 0; i < (f.shown == Shown::Count ? n : f.room); ++i) {
            const size_t e = at + i * f.width;
            if (f.shown == Shown::NonZero && all_zero(data + e, f.width)) continue;
            if (f.kind == Kind::Block) {
                list.push_back(fixed(*f.sub, data, e, spans));
            } else {
                spans.add(e, f.width);
                list.push_back(scalar(f, data + e, f.width));
            }
        }
        if (f.room == 1 && f.shown == Shown::Room)
            out[f.name] = std::move(list[0]);
        else
            out[f.name] = std::move(list);
    }
    return out;
}

// The fields a fixed block describes, over their whole room: the static coverage.
void fixed_spans(const Block& b, size_t base, const Spans& spans)
{
    for (const Field& f : b.fields) {
        if (f.kind != Kind::Block) {
            spans.add(base + f.offset, f.size());
            continue;
        }
        for (uint32_t i = 0; i < f.room; ++i) fixed_spans(*f.sub, base + f.offset + i * f.width, spans);
    }
}

// ---- sequential blocks: fields one after another from pos, sized by earlier counts

struct Cursor {
    Cursor(const uint8_t* d, size_t n) : data(d), len(n) {}
    const uint8_t* data;
    size_t len;
    size_t pos = 0;
    std::string error;
    Spans spans;

    bool take(size_t n, const char* what)
    {
        if (n > len - pos) {
            error = std::string(what) + " needs " + std::to_string(n) + " bytes at offset " + std::to_string(pos) +
                    ", the datagram ends at " + std::to_string(len);
            return false;
        }
        spans.add(pos, n);
        return true;
    }
};

bool sequential(const Block& b, Cursor& c, Json& out)
{
    out = Json::object();
    std::vector<std::pair<const char*, uint64_t>> numbers;
    auto count_of = [&](const Field& f) -> uint64_t {
        for (const auto& [name, v] : numbers)
            if (std::strcmp(name, f.count) == 0) return v;
        return 0;
    };
    for (const Field& f : b.fields) {
        uint64_t n = f.room;
        if (f.shown == Shown::Count) {
            n = count_of(f);
            if (n > f.room) {
                c.error = std::string(f.count) + " " + std::to_string(n) + " is more than the " +
                          std::to_string(f.room) + " a compact form may hold";
                return false;
            }
        }
        if (f.kind == Kind::Block) {
            Json list = Json::array();
            for (uint64_t i = 0; i < n; ++i) {
                Json e;
                if (!sequential(*f.sub, c, e)) return false;
                list.push_back(std::move(e));
            }
            out[f.name] = std::move(list);
            continue;
        }
        const size_t bytes = is_string_kind(f.kind) ? n : f.width;
        const uint8_t* p = c.data + c.pos;
        if (!c.take(bytes, f.name)) return false;
        c.pos += bytes;
        if (f.kind == Kind::Type || f.kind == Kind::Reserved) continue;
        size_t shown = bytes;
        if (f.kind == Kind::Text && f.shown == Shown::Room) shown = strnlen(reinterpret_cast<const char*>(p), bytes);
        Json v = scalar(f, p, shown);
        if (v.is_number_unsigned()) numbers.emplace_back(f.name, v.get<uint64_t>());
        out[f.name] = std::move(v);
    }
    return true;
}

} // namespace

std::string type_name(uint16_t code)
{
    if (layout::find(code)) return layout::display_name(code);
    for (const OtherName& o : kOtherNames)
        if (o.code == code) return o.name;
    return "Unknown";
}

bool is_parsed(uint16_t code)
{
    const layout::Message* m = layout::find(code);
    return m && m->form != layout::Form::Opaque;
}

std::string hex(const uint8_t* p, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::string type_code(uint16_t code)
{
    char s[8];
    std::snprintf(s, sizeof s, "0x%04X", code);
    return s;
}

namespace {

// The type luSL_Msg_recv reads: the first two bytes of a buffer cleared before the receive,
// so a lone byte is the low byte of its type.
uint16_t datagram_type(const uint8_t* data, size_t len)
{
    return static_cast<uint16_t>((len > 0 ? data[0] : 0) | (len > 1 ? data[1] << 8 : 0));
}

} // namespace

Json decode_record(const uint8_t* rec, size_t len)
{
    const uint16_t code = datagram_type(rec, len);
    Json j;
    j["type"] = type_code(code);
    j["name"] = type_name(code);
    j["length"] = len;
    const layout::Message* m = layout::find(code);
    if (!m || !m->datagram) {
        j["hex"] = hex(rec, len);
        return j;
    }
    if (m->form == layout::Form::Record) {
        // Zero-padded like luSL_Msg_recv pads a short datagram.
        std::vector<uint8_t> whole(m->datagram->size, 0);
        std::memcpy(whole.data(), rec, std::min<size_t>(len, whole.size()));
        j["record"] = fixed(*m->datagram, whole.data(), 0, {});
        return j;
    }
    Cursor c(rec, len);
    Json r;
    if (sequential(*m->datagram, c, r)) {
        j["record"] = std::move(r);
    } else {
        j["error"] = "compact form does not decode: " + c.error;
        j["hex"] = hex(rec, len);
    }
    return j;
}

Json undecoded_datagram(const uint8_t* data, size_t len)
{
    const uint16_t code = datagram_type(data, len);
    Json j;
    j["type"] = type_code(code);
    j["name"] = len == 0 ? "empty datagram" : type_name(code);
    j["length"] = len;
    j["hex"] = hex(data, len);
    j["note"] = len == 0 ? "empty datagram" : "not copied by luSL_Msg_recv: unknown message type";
    return j;
}

Json decode_datagram(const uint8_t* data, size_t len)
{
    const uint16_t code = datagram_type(data, len);
    const size_t copied = received_length(code, len);
    if (copied == 0) return undecoded_datagram(data, len);
    std::vector<uint8_t> rec(copied, 0);
    std::memcpy(rec.data(), data, std::min(len, copied));
    return decode_record(rec.data(), rec.size());
}

std::vector<std::pair<size_t, size_t>> field_spans(const Block& b, const uint8_t* data, size_t len, std::string* error)
{
    std::vector<std::pair<size_t, size_t>> out;
    if (!b.sequential()) {
        fixed_spans(b, 0, {&out});
        return out;
    }
    Cursor c(data, len);
    c.spans.out = &out;
    Json ignored;
    if (!sequential(b, c, ignored) && error) *error = c.error;
    return out;
}

// ------------------------------------------------------------------ output

void print_json(std::ostream& out, const Json& j)
{
    out << j.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
    out.flush();
}

namespace {

std::string shown_value(const Json& v)
{
    if (v.is_string()) return v.get<std::string>();
    return v.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Hex dump, 16 bytes a line, runs of all-zero lines folded into one "*" line.
void print_hexdump(std::ostream& out, const std::string& hexstr, int indent)
{
    const std::string pad(static_cast<size_t>(indent), ' ');
    const size_t line = 32; // hex digits per line
    bool folded = false;
    for (size_t off = 0; off < hexstr.size(); off += line) {
        std::string chunk = hexstr.substr(off, line);
        bool zero = chunk.find_first_not_of('0') == std::string::npos;
        bool last = off + line >= hexstr.size();
        if (zero && !last && off > 0) {
            if (!folded) out << pad << "*\n";
            folded = true;
            continue;
        }
        folded = false;
        char head[24];
        std::snprintf(head, sizeof head, "%06zx ", off / 2);
        out << pad << head;
        for (size_t i = 0; i < chunk.size(); i += 2) out << ' ' << chunk.substr(i, 2);
        out << '\n';
    }
}

void render(std::ostream& out, const Json& obj, int indent)
{
    const std::string pad(static_cast<size_t>(indent), ' ');
    for (const auto& [key, v] : obj.items()) {
        if (key == "hex" && v.is_string()) {
            out << pad << "hex (" << v.get<std::string>().size() / 2 << " bytes):\n";
            print_hexdump(out, v.get<std::string>(), indent + 2);
        } else if (v.is_object()) {
            out << pad << key << ":\n";
            render(out, v, indent + 2);
        } else if (v.is_array()) {
            bool flat = std::none_of(v.begin(), v.end(), [](const Json& e) { return e.is_structured(); });
            if (flat) {
                out << pad << key << ": [";
                for (size_t i = 0; i < v.size(); ++i) out << (i ? ", " : "") << shown_value(v[i]);
                out << "]\n";
            } else {
                for (size_t i = 0; i < v.size(); ++i) {
                    out << pad << key << '[' << i << "]:\n";
                    if (v[i].is_object())
                        render(out, v[i], indent + 2);
                    else
                        out << pad << "  " << shown_value(v[i]) << '\n';
                }
            }
        } else {
            out << pad << key << ": " << shown_value(v) << '\n';
        }
    }
}

} // namespace

void print_text(std::ostream& out, const Json& j)
{
    out << j.value("name", std::string("?")) << " (" << j.value("type", std::string("?")) << "), "
        << j.value("length", 0) << " bytes";
    if (j.contains("received")) out << " (" << j["received"].get<size_t>() << " received)";
    if (j.contains("source"))
        out << ", frame " << shown_value(j["source"].value("frame", Json())) << " from "
            << shown_value(j["source"].value("mac", Json()));
    else if (j.contains("frame"))
        out << ", frame " << shown_value(j["frame"]);
    if (j.contains("time") && j["time"].is_number()) {
        // Capture or arrival time, UTC to the microsecond.
        const long long us = std::llround(j["time"].get<double>() * 1e6);
        const auto sec = static_cast<time_t>(us / 1000000);
        const auto usec = static_cast<long>(us % 1000000);
        std::tm tm{};
        gmtime_r(&sec, &tm);
        char when[48];
        std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d.%06ld UTC", tm.tm_year + 1900, tm.tm_mon + 1,
                      tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, usec);
        out << ", " << when;
    }
    out << '\n';
    Json rest = j;
    for (const char* k : {"name", "type", "length", "received", "source", "frame", "time"}) rest.erase(k);
    if (rest.contains("record")) {
        Json rec = rest["record"];
        rest.erase("record");
        render(out, rec, 2);
    }
    render(out, rest, 2);
    out << '\n';
    out.flush();
}

} // namespace lusl::tool
