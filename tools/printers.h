/* SPDX-License-Identifier: BSD-2-Clause */
// Records as the steering side sees them, decoded into one JSON tree per record; printed
// either as one JSON object per line or as a readable block rendered from the same tree,
// so both outputs always carry the same values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

#include <nlohmann/json.hpp>

namespace lusl::tool {

using Json = nlohmann::ordered_json;

// Message types the library knows: the parsed ones and the channel-only ones.
struct TypeInfo {
    uint16_t code;
    const char* name;
    bool parsed;
    bool compact;       // sent in a compact form of variable length
    size_t channel_len; // bytes luSL_Msg_recv copies for a fixed-length type
};
const TypeInfo* find_type(uint16_t code);
// The catalogue name; for other IEEE 1905.1 / EasyMesh types a descriptive name.
std::string type_name(uint16_t code);
bool is_parsed(uint16_t code);
// Bytes luSL_Msg_recv copies for a datagram of this type and size; 0 when it copies none.
size_t received_length(uint16_t type, size_t wire_len);

// One record as luSL_Msg_recv delivered it (len meaningful bytes) as
// {"type":"0x8025","name":...,"length":73,"record":{...}}, or with "hex" instead of
// "record" for layouts the tool does not decode. A "source" object ({"frame","mac"}) added
// by the caller is shown in the title line of the readable form.
Json decode_record(const uint8_t* rec, size_t len);
// A datagram luSL_Msg_recv did not copy (unknown type, empty): type, length and hex.
Json undecoded_datagram(const uint8_t* data, size_t len);

void print_text(std::ostream& out, const Json& j);
void print_json(std::ostream& out, const Json& j);
// Hex string of n bytes, no separators.
std::string hex(const uint8_t* p, size_t n);

} // namespace lusl::tool
