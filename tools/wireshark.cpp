// SPDX-License-Identifier: BSD-2-Clause
// The dissector is the layout description written out as Lua tables, plus one fixed walker
// over them that mirrors the generic printer: same counts, same rooms, same strings.
#include "wireshark.h"

#include <set>
#include <sstream>
#include <vector>

#include "layout.h"
#include "printers.h"

namespace lusl::tool {

using layout::Bit;
using layout::Block;
using layout::Field;
using layout::Kind;
using layout::Shown;

namespace {

} // namespace

// The same path with another signature needs another name.
std::string wireshark_signature(const Field& f)
{
    switch (f.kind) {
    case Kind::Block: return "block";
    case Kind::Mac: return "mac";
    case Kind::Oui: return "oui";
    case Kind::Text: return "text";
    case Kind::Bytes: return "bytes";
    case Kind::Uint:
    case Kind::UintBE: return "uint"; // shown as 32-bit whatever the width, so paths can share a name
    default: return std::string(layout::kind_name(f.kind)) + std::to_string(f.width);
    }
}

namespace {

std::string signature(const Field& f) { return wireshark_signature(f); }

struct Pf {
    std::string key;    // path|signature, as the walker looks it up
    std::string abbrev; // lusl.path
    std::string label;
    const Field* field;
    const Bit* bit = nullptr;
};

// Every field reachable from the datagram layouts, by path, in first-seen order.
struct Fields {
    std::vector<Pf> list;
    std::map<std::string, std::string> by_key; // key -> abbrev
    std::map<std::string, std::string> sig_of_path;

    void add(const Field& f, const std::string& path)
    {
        const std::string sig = signature(f);
        const std::string key = path + "|" + sig;
        if (by_key.count(key)) return;
        std::string abbrev = "lusl." + path;
        auto [it, fresh] = sig_of_path.emplace(path, sig);
        if (!fresh && it->second != sig) abbrev += "_" + sig;
        by_key[key] = abbrev;
        list.push_back({key, abbrev, f.name, &f});
        for (const Bit& b : f.bits) {
            const std::string bkey = key + "." + b.name;
            by_key[bkey] = abbrev + "." + b.name;
            list.push_back({bkey, abbrev + "." + b.name, b.name, &f, &b});
        }
    }

    void walk(const Block& b, const std::string& prefix)
    {
        for (const Field& f : b.fields) {
            if (f.kind == Kind::Type || f.kind == Kind::Reserved) continue;
            add(f, prefix + f.name);
            if (f.sub) walk(*f.sub, prefix + f.name + ".");
        }
    }
};

Fields collect_fields()
{
    Fields fs;
    for (const layout::Message& m : layout::messages())
        if (m.datagram) fs.walk(*m.datagram, "");
    return fs;
}

std::string quoted(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string hex_mask(uint32_t m)
{
    char s[16];
    std::snprintf(s, sizeof s, "0x%02X", m);
    return s;
}

std::string protofield(const Pf& p)
{
    const Field& f = *p.field;
    const std::string args = quoted(p.abbrev) + ", " + quoted(p.label);
    const std::string uint = "ProtoField.uint" + std::to_string(8 * f.width);
    if (p.bit) return uint + "(" + args + ", base.HEX, nil, " + hex_mask(p.bit->mask) + ")";
    switch (f.kind) {
    case Kind::Uint:
    case Kind::UintBE: return "ProtoField.uint32(" + args + ", base.DEC)";
    case Kind::Flags: return uint + "(" + args + ", base.HEX)";
    case Kind::Mac: return "ProtoField.ether(" + args + ")";
    case Kind::Oui: return "ProtoField.bytes(" + args + ", base.COLON)";
    case Kind::Text: return "ProtoField.string(" + args + ")";
    case Kind::Bytes: return "ProtoField.bytes(" + args + ")";
    case Kind::Block: return "ProtoField.none(" + args + ")";
    case Kind::Type:
    case Kind::Reserved: break;
    }
    return "nil";
}

const char* kind_lua(Kind k) { return layout::kind_name(k); }

std::string block_lua(const Block& b)
{
    std::ostringstream s;
    s << "B[" << quoted(b.name) << "] = { size = " << b.size << ", fields = {\n";
    for (const Field& f : b.fields) {
        s << "  { name = " << quoted(f.name) << ", kind = \"" << kind_lua(f.kind) << "\", sig = " << quoted(signature(f));
        if (!b.sequential()) s << ", off = " << f.offset;
        s << ", width = " << f.width << ", room = " << f.room << ", shown = \"" << layout::shown_name(f.shown) << '"';
        if (f.count) s << ", count = " << quoted(f.count);
        if (f.sub) s << ", sub = " << quoted(f.sub->name);
        if (!f.bits.empty()) {
            s << ", bits = {";
            for (size_t i = 0; i < f.bits.size(); ++i) s << (i ? ", " : " ") << quoted(f.bits[i].name);
            s << " }";
        }
        s << " },\n";
    }
    s << "} }\n";
    return s.str();
}

// The walker, the same for every layout.
constexpr const char* kWalker = R"LUA(
-- Counts and strings come from the fields named by `count`; a fixed block reads them at
-- their offsets, a sequential (compact) block from the fields it read before.
for _, b in pairs(B) do
  b.byname = {}
  for _, f in ipairs(b.fields) do b.byname[f.name] = f end
end

local function number(r, kind)
  if kind == "uint_be" then return r:uint() end
  return r:le_uint()
end

local function all_zero(r)
  return r:bytes():tohex():find("[^0]") == nil
end

-- One value at r (n bytes of it for strings); returns the number for counts.
local function leaf(tree, r, f, path, n)
  local key = path .. "|" .. f.sig
  local pf = F[key]
  local k = f.kind
  if k == "text" then
    local s = r:raw()
    if n then s = s:sub(1, n) else
      local z = s:find("\0", 1, true)
      if z then s = s:sub(1, z - 1) end
    end
    tree:add(pf, r, s)
  elseif k == "bytes" then
    if n and n < r:len() then
      tree:add(pf, r:range(0, n))
    else
      tree:add(pf, r)
    end
  elseif k == "mac" or k == "oui" then
    tree:add(pf, r)
  elseif k == "uint_be" then
    tree:add(pf, r)
    return r:uint()
  else
    local item = tree:add_le(pf, r)
    if f.bits then
      for _, bit in ipairs(f.bits) do item:add_le(F[key .. "." .. bit], r) end
    end
    return r:le_uint()
  end
end

local function label(f, i)
  if f.room > 1 or f.shown ~= "room" then return f.name .. " [" .. i .. "]" end
  return f.name
end

-- A fixed block at base; false when the datagram ends inside it.
local function walk_fixed(tvb, tree, blk, base, path)
  local len = tvb:len()
  for _, f in ipairs(blk.fields) do
    local off = base + f.off
    if off + f.width * f.room > len then return false end
    if f.kind ~= "type" and f.kind ~= "reserved" then
      local fpath = path .. f.name
      local n = f.room
      if f.shown == "count" then
        local c = blk.byname[f.count]
        n = 0
        if base + c.off + c.width <= len then n = math.min(number(tvb(base + c.off, c.width), c.kind), f.room) end
      end
      if f.kind == "text" then
        leaf(tree, tvb(off, f.room), f, fpath, f.shown == "count" and n or nil)
      elseif f.kind == "bytes" then
        leaf(tree, tvb(off, f.room), f, fpath, n)
      else
        for i = 0, n - 1 do
          local r = tvb(off + i * f.width, f.width)
          if f.shown ~= "non_zero" or not all_zero(r) then
            if f.kind == "block" then
              local item = tree:add(F[fpath .. "|block"], r)
              item:set_text(label(f, i))
              walk_fixed(tvb, item, B[f.sub], off + i * f.width, fpath .. ".")
            else
              leaf(tree, r, f, fpath)
            end
          end
        end
      end
    end
  end
  return true
end

-- A sequential block from pos; the position after it, or nil (with an expert mark) when
-- the datagram ends inside it or a count is over its limit.
local function walk_sequential(tvb, tree, blk, pos, path)
  local len = tvb:len()
  local numbers = {}
  for _, f in ipairs(blk.fields) do
    local fpath = path .. f.name
    local n = f.room
    if f.shown == "count" then
      n = numbers[f.count] or 0
      if n > f.room then
        tree:add_proto_expert_info(E.limit, f.count .. " " .. n .. " is more than the " .. f.room .. " a compact form may hold")
        return nil
      end
    end
    if f.kind == "block" then
      for i = 0, n - 1 do
        if pos >= len then
          tree:add_proto_expert_info(E.short, fpath .. " [" .. i .. "] starts past the end of the datagram")
          return nil
        end
        local item = tree:add(F[fpath .. "|block"], tvb(pos, 1))
        item:set_text(label(f, i))
        local after = walk_sequential(tvb, item, B[f.sub], pos, fpath .. ".")
        if not after then return nil end
        item:set_len(after - pos)
        pos = after
      end
    else
      local size = f.width
      if f.kind == "text" or f.kind == "bytes" then size = n end
      if pos + size > len then
        tree:add_proto_expert_info(E.short, fpath .. " needs " .. size .. " bytes at offset " .. pos .. ", the datagram ends at " .. len)
        return nil
      end
      if f.kind ~= "type" and f.kind ~= "reserved" then
        local r = tvb(pos, size)
        local v = leaf(tree, r, f, fpath, (f.kind == "bytes" or (f.kind == "text" and f.shown == "count")) and n or nil)
        if v then numbers[f.name] = v end
      end
      pos = pos + size
    end
  end
  return pos
end

function lusl.dissector(tvb, pinfo, tree)
  pinfo.cols.protocol = "luSL"
  local len = tvb:len()
  local root = tree:add(lusl, tvb())
  if len < 2 then
    local what = len == 0 and "Empty datagram" or "Datagram too short for a message type"
    pinfo.cols.info = what
    root:add_proto_expert_info(len == 0 and E.empty or E.short, what)
    return len
  end
  local code = tvb(0, 2):le_uint()
  root:add_le(F.type, tvb(0, 2))
  root:add(F.length, tvb(), len):set_generated()
  local m = M[code]
  pinfo.cols.info = string.format("%s (0x%04X), %d bytes", NAMES[code] or "Unknown", code, len)
  root:append_text(", " .. (NAMES[code] or string.format("0x%04X", code)))
  if not m then
    root:add_proto_expert_info(E.unknown)
    if len > 2 then root:add(F.data, tvb(2)) end
    return len
  end
  if m.form ~= "compact" and len ~= m.len then
    root:add_proto_expert_info(len < m.len and E.padded or E.long,
      string.format("%d bytes, the record has %d: the receiver %s", len, m.len,
        len < m.len and "reads the rest as zeros" or "keeps the first " .. m.len))
  end
  if m.form == "opaque" then
    if len > 2 then root:add(F.data, tvb(2)) end
    return len
  end
  local ok, err = pcall(function()
    if m.form == "record" then
      walk_fixed(tvb, root, B[m.block], 0, "")
    else
      walk_sequential(tvb, root, B[m.block], 0, "")
    end
  end)
  if not ok then root:add_proto_expert_info(E.failed, tostring(err)) end
  return len
end

lusl.prefs.port = Pref.uint("UDP port", 49990, "UDP port of the message channel (0: Decode As only)")
local udp_port = DissectorTable.get("udp.port")
local registered = 0
local function register_port()
  if registered ~= 0 then udp_port:remove(registered, lusl) end
  registered = lusl.prefs.port
  if registered ~= 0 then udp_port:add(registered, lusl) end
end
function lusl.prefs_changed() register_port() end
register_port()
udp_port:add_for_decode_as(lusl)
)LUA";

} // namespace

std::map<std::string, std::string> wireshark_fields() { return collect_fields().by_key; }

std::string wireshark_lua()
{
    const Fields fs = collect_fields();
    std::ostringstream s;
    s << "-- SPDX-License-Identifier: BSD-2-Clause\n"
         "-- Wireshark 4.0 dissector of the luSL message channel, generated by `lusl wireshark` from the\n"
         "-- record layout description of the lusl tool: regenerate it rather than editing it.\n"
         "-- Load it with `wireshark -X lua_script:luSL.lua` (or tshark), or copy it into the personal\n"
         "-- Lua plugins folder (~/.local/lib/wireshark/plugins/). It decodes UDP port lusl.port\n"
         "-- (default 49990) and any port given with Decode As.\n\n"
         "local lusl = Proto(\"lusl\", \"luSL message channel\")\n\n";

    s << "local NAMES = {\n";
    for (const layout::Message& m : layout::messages())
        s << "  [" << type_code(m.code) << "] = " << quoted(layout::display_name(m.code)) << ",\n";
    s << "}\n\n";

    s << "-- Message types: the datagram's form, its fixed length and its layout.\n"
         "local M = {\n";
    for (const layout::Message& m : layout::messages()) {
        s << "  [" << type_code(m.code) << "] = { form = \""
          << (m.form == layout::Form::Record ? "record" : m.form == layout::Form::Compact ? "compact" : "opaque")
          << "\", len = " << m.channel_len;
        if (m.datagram) s << ", block = " << quoted(m.datagram->name);
        s << " },\n";
    }
    s << "}\n\n";

    s << "local F = {\n"
         "  type = ProtoField.uint16(\"lusl.type\", \"Message type\", base.HEX, NAMES),\n"
         "  length = ProtoField.uint32(\"lusl.length\", \"Datagram length\", base.DEC),\n"
         "  data = ProtoField.bytes(\"lusl.data\", \"Record bytes\"),\n";
    for (const Pf& p : fs.list) s << "  [" << quoted(p.key) << "] = " << protofield(p) << ",\n";
    s << "}\n"
         "local field_list = {}\n"
         "for _, pf in pairs(F) do field_list[#field_list + 1] = pf end\n"
         "lusl.fields = field_list\n\n";

    s << "local E = {\n"
         "  short = ProtoExpert.new(\"lusl.short\", \"Datagram shorter than its layout\", expert.group.MALFORMED, "
         "expert.severity.ERROR),\n"
         "  padded = ProtoExpert.new(\"lusl.padded\", \"Datagram shorter than its record\", expert.group.PROTOCOL, "
         "expert.severity.WARN),\n"
         "  long = ProtoExpert.new(\"lusl.long\", \"Datagram longer than its record\", expert.group.PROTOCOL, "
         "expert.severity.WARN),\n"
         "  limit = ProtoExpert.new(\"lusl.limit\", \"Count above its limit\", expert.group.MALFORMED, "
         "expert.severity.ERROR),\n"
         "  empty = ProtoExpert.new(\"lusl.empty\", \"Empty datagram: a compact form the sender could not build\", "
         "expert.group.PROTOCOL, expert.severity.WARN),\n"
         "  unknown = ProtoExpert.new(\"lusl.unknown\", \"Unknown message type: the receiver copies nothing\", "
         "expert.group.UNDECODED, expert.severity.NOTE),\n"
         "  failed = ProtoExpert.new(\"lusl.failed\", \"Dissector failure\", expert.group.MALFORMED, "
         "expert.severity.ERROR),\n"
         "}\n"
         "lusl.experts = { E.short, E.padded, E.long, E.limit, E.empty, E.unknown, E.failed }\n\n";

    s << "-- Layouts: fixed blocks give offsets, sequential ones are read front to back.\n"
         "local B = {}\n";
    for (const Block* b : layout::blocks()) {
        bool used = false;
        for (const layout::Message& m : layout::messages()) {
            // Only what travels on the channel: reachable from a datagram layout.
            std::vector<const Block*> todo{m.datagram};
            while (!todo.empty() && !used) {
                const Block* x = todo.back();
                todo.pop_back();
                if (!x) continue;
                if (x == b) used = true;
                for (const Field& f : x->fields)
                    if (f.sub) todo.push_back(f.sub);
            }
            if (used) break;
        }
        if (used) s << block_lua(*b);
    }
    s << kWalker;
    return s.str();
}

} // namespace lusl::tool
