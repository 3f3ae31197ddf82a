/* SPDX-License-Identifier: BSD-2-Clause */
// The record layout description: every message type of the channel, and for each parsed
// type its record and, for the two compact types, the datagram form. The printers, the
// JSON description (lusl layout --json) and the dissector are all driven by this one table.
//
// A block is either fixed (a packed struct: offsets and widths come from offsetof/sizeof)
// or sequential (a compact form: fields follow one another, arrays and strings sized by
// count and length fields read before them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lusl::tool::layout {

enum class Kind : uint8_t {
    Type,     // the record header: message type code, u16 little-endian
    Uint,     // unsigned integer, little-endian
    UintBE,   // unsigned integer kept raw in wire order (big-endian)
    Mac,      // 6-byte MAC address
    Oui,      // 3-byte OUI
    Text,     // characters; sized by a length field, or zero-terminated within its room
    Bytes,    // byte string, shown in hex; sized by a length field, or its whole room
    Flags,    // unsigned flag byte (or word) with named bits
    Block,    // a nested block, or an array of them
    Reserved, // bytes no field owns: always zero, never shown
};

// Which elements of an array are shown.
enum class Shown : uint8_t {
    Room,    // every element of its room (a scalar is an array of one)
    Count,   // as many as the count field says, at most the room
    NonZero, // the elements whose bytes are not all zero (tables without a count)
};

// One named bit, or a group of bits, of a Flags field.
struct Bit {
    uint32_t mask;
    const char* name;
};

struct Block;

inline constexpr uint32_t kSequential = UINT32_MAX;

struct Field {
    const char* name;
    Kind kind;
    uint32_t offset;  // in its fixed block; kSequential in a sequential block
    uint32_t width;   // bytes of one element (Text, Bytes, Reserved: 1); Block: fixed size, 0 if sequential
    uint32_t room;    // elements of a fixed array; in a sequential block the largest count accepted
    Shown shown = Shown::Room;
    const char* count = nullptr; // sibling read before it: the element count, or a string's length
    const Block* sub = nullptr;  // Kind::Block
    std::span<const Bit> bits = {};
    // Bytes taken in a fixed block.
    constexpr uint32_t size() const { return width * room; }
};

struct Block {
    const char* name;
    uint32_t size; // fixed size; 0 for a sequential block
    std::span<const Field> fields;
    constexpr bool sequential() const { return size == 0; }
};

enum class Form : uint8_t {
    Record,  // the datagram is the fixed record
    Compact, // the datagram is the compact form of the record
    Opaque,  // channel-only: no layout beyond the header
};

struct Message {
    uint16_t code;
    const char* name;        // display name of the catalogue; nullptr: "Unknow Msg"
    uint32_t record_size;    // 0 for channel-only types
    uint32_t channel_len;    // fixed datagram length; 0 for the compact types
    Form form;
    const Block* record;     // the record layout (parsed types)
    const Block* datagram;   // what travels on the channel: the record or the compact form
};

std::span<const Message> messages();
const Message* find(uint16_t code);
// The catalogue's display name, "Unknow Msg" for a code without one.
const char* display_name(uint16_t code);
// Bytes luSL_Msg_recv copies for a datagram of this type and size; 0 when it copies none.
size_t received_length(uint16_t code, size_t wire_len);

// Every block reachable from the messages, each once, leaves first.
std::span<const Block* const> blocks();

const char* kind_name(Kind k);
const char* shown_name(Shown s);

} // namespace lusl::tool::layout
