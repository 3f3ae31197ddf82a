/* SPDX-License-Identifier: BSD-2-Clause */
// The Wireshark dissector of the message channel, generated from the layout description.
#pragma once

#include <map>
#include <string>

namespace lusl::tool {

// The Lua plugin (Wireshark 4.0): what `lusl wireshark` prints and share/luSL/wireshark/luSL.lua holds.
std::string wireshark_lua();

namespace layout {
struct Field;
}

// What a field is to the dissector: its ProtoField kind ("uint", "mac", "block", ...).
std::string wireshark_signature(const layout::Field& f);

// The display filter field of each field path of the datagram layouts ("radio.bss.bssid" ->
// "lusl.radio.bss.bssid"), keyed by "path|signature"; a named bit of a flags field by "path|signature.bit".
std::map<std::string, std::string> wireshark_fields();

} // namespace lusl::tool
