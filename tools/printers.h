/* SPDX-License-Identifier: BSD-2-Clause */
// Records as the steering side sees them, decoded by the layout description into one JSON
// tree per datagram; printed either as one JSON object per line or as a readable block
// rendered from the same tree, so both outputs always carry the same values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "layout.h"

namespace lusl::tool {

using Json = nlohmann::ordered_json;

// The catalogue name; for other IEEE 1905.1 / EasyMesh types a descriptive name.
std::string type_name(uint16_t code);
bool is_parsed(uint16_t code);
using layout::received_length;

// One record as luSL_Msg_recv delivered it (len meaningful bytes) as
// {"type":"0x8025","name":...,"length":73,"record":{...}}; with "hex" instead of "record"
// for channel-only types, and "error" with "hex" for a compact form that does not decode.
Json decode_record(const uint8_t* rec, size_t len);
// A datagram luSL_Msg_recv did not copy (unknown type, empty): type, length and hex.
Json undecoded_datagram(const uint8_t* data, size_t len);
// What a receiver gets from one datagram: the record as luSL_Msg_recv copies it, or the
// datagram itself when it copies nothing.
Json decode_datagram(const uint8_t* data, size_t len);

// The bytes [offset, offset + size) that each shown or reserved field of one datagram's
// layout took; sets *error when a compact form does not decode. For tests of the description.
std::vector<std::pair<size_t, size_t>> field_spans(const layout::Block& b, const uint8_t* data, size_t len,
                                                   std::string* error);

void print_text(std::ostream& out, const Json& j);
void print_json(std::ostream& out, const Json& j);
// Hex string of n bytes, no separators.
std::string hex(const uint8_t* p, size_t n);
// "0x8025"
std::string type_code(uint16_t code);

} // namespace lusl::tool
