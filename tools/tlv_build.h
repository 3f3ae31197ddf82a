/* SPDX-License-Identifier: BSD-2-Clause */
// Small builders for TLV streams, shared by the session generator and the test suites.
// Multi-byte numbers big-endian, as on the wire.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace lusl::wire {

using Bytes = std::vector<uint8_t>;

inline Bytes u8(unsigned v) { return {static_cast<uint8_t>(v)}; }
inline Bytes be16(unsigned v) { return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; }
inline Bytes be24(unsigned long v)
{
    return {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}
inline Bytes be32(unsigned long v)
{
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
            static_cast<uint8_t>(v)};
}
// The characters, no terminator.
inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// One TLV: type, 16-bit big-endian length of the value, value.
inline Bytes tlv(uint8_t type, const Bytes& value)
{
    Bytes out{type, static_cast<uint8_t>(value.size() >> 8), static_cast<uint8_t>(value.size())};
    out.insert(out.end(), value.begin(), value.end());
    return out;
}
inline Bytes tlv(uint8_t type, std::initializer_list<Bytes> value) { return tlv(type, cat(value)); }

} // namespace lusl::wire
