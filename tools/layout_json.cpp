// SPDX-License-Identifier: BSD-2-Clause
// The layout description as one JSON document (lusl layout --json, share/luSL/layout.json)
// and as a readable listing.
#include "layout_json.h"

#include <ostream>

#include "printers.h"

namespace lusl::tool::layout {

namespace {

const char* form_name(Form f)
{
    switch (f) {
    case Form::Record: return "record";
    case Form::Compact: return "compact";
    case Form::Opaque: return "opaque";
    }
    return "?";
}

Json field_json(const Block& b, const Field& f)
{
    Json j;
    j["name"] = f.name;
    j["kind"] = kind_name(f.kind);
    if (!b.sequential()) j["offset"] = f.offset;
    if (f.kind == Kind::Block)
        j["block"] = f.sub->name;
    else
        j["width"] = f.width;
    if (f.kind == Kind::Block && !b.sequential()) j["width"] = f.width;
    // Elements: the room of a fixed array; in a compact form the most a count may announce.
    if (b.sequential() && f.shown == Shown::Count)
        j["max"] = f.room;
    else if (f.room != 1 || f.shown != Shown::Room)
        j["room"] = f.room;
    j["shown"] = shown_name(f.shown);
    if (f.count) j[f.kind == Kind::Text || f.kind == Kind::Bytes ? "length_field" : "count_field"] = f.count;
    if (!f.bits.empty()) {
        Json bits = Json::array();
        for (const Bit& bit : f.bits) bits.push_back({{"mask", bit.mask}, {"name", bit.name}});
        j["bits"] = bits;
    }
    return j;
}

} // namespace

Json to_json()
{
    Json msgs = Json::array();
    for (const Message& m : messages()) {
        Json j;
        j["type"] = type_code(m.code);
        j["code"] = m.code;
        j["name"] = display_name(m.code);
        j["form"] = form_name(m.form);
        j["record_size"] = m.record_size ? Json(m.record_size) : Json();
        j["channel_length"] = m.form == Form::Compact ? Json() : Json(m.channel_len);
        j["record"] = m.record ? Json(m.record->name) : Json();
        j["datagram"] = m.datagram ? Json(m.datagram->name) : Json();
        msgs.push_back(j);
    }
    Json blocks_j = Json::object();
    for (const Block* b : blocks()) {
        Json fields = Json::array();
        for (const Field& f : b->fields) fields.push_back(field_json(*b, f));
        blocks_j[b->name] = {{"layout", b->sequential() ? "sequential" : "fixed"},
                             {"size", b->sequential() ? Json() : Json(b->size)},
                             {"fields", fields}};
    }
    return {{"description", "luSL message channel: record layouts and compact forms"},
            {"byte_order", "little-endian; kind uint_be is big-endian"},
            {"kinds",
             {{"type", "message type code, u16"},
              {"uint", "unsigned integer of width bytes"},
              {"uint_be", "unsigned integer of width bytes, big-endian"},
              {"mac", "6-byte MAC address"},
              {"oui", "3-byte OUI"},
              {"text", "characters: length_field bytes at most room, else up to the first zero within room"},
              {"bytes", "byte string: length_field bytes at most room, else the whole room"},
              {"flags", "unsigned integer with named bits (mask, name)"},
              {"block", "a nested block; room elements, of which count_field (or non-zero ones) are in use"},
              {"reserved", "bytes no field owns"}}},
            {"shown",
             {{"room", "every element of the room"},
              {"count", "as many as count_field says, at most room (fixed) or max (sequential, more is malformed)"},
              {"non_zero", "the elements whose bytes are not all zero"}}},
            {"messages", msgs},
            {"blocks", blocks_j}};
}

void print_listing(std::ostream& out)
{
    for (const Message& m : messages()) {
        out << type_code(m.code) << "  " << display_name(m.code) << ": ";
        if (m.form == Form::Opaque)
            out << "channel only, " << m.channel_len << " bytes\n";
        else if (m.form == Form::Compact)
            out << m.record->name << " (" << m.record_size << " bytes) sent as " << m.datagram->name << '\n';
        else
            out << m.record->name << ", " << m.record_size << " bytes\n";
    }
    for (const Block* b : blocks()) {
        out << '\n' << b->name;
        if (b->sequential())
            out << " (sequential)\n";
        else
            out << " (" << b->size << " bytes)\n";
        for (const Field& f : b->fields) {
            out << "  ";
            if (!b->sequential()) {
                char off[16];
                std::snprintf(off, sizeof off, "%5u  ", f.offset);
                out << off;
            }
            out << f.name << ": " << (f.kind == Kind::Block ? f.sub->name : kind_name(f.kind));
            const bool bytes = f.kind == Kind::Text || f.kind == Kind::Bytes || f.kind == Kind::Reserved;
            if (bytes)
                out << ' ' << f.room;
            else if (f.kind != Kind::Block)
                out << ' ' << f.width;
            if (!bytes && (f.room != 1 || f.shown != Shown::Room)) out << " x" << f.room;
            if (f.count) out << " by " << f.count;
            if (f.shown == Shown::NonZero) out << ", non-zero entries";
            for (size_t i = 0; i < f.bits.size(); ++i) {
                char m[16];
                std::snprintf(m, sizeof m, "0x%02X", f.bits[i].mask);
                out << (i ? ", " : " {") << f.bits[i].name << '=' << m;
            }
            if (!f.bits.empty()) out << '}';
            out << '\n';
        }
    }
}

} // namespace lusl::tool::layout
