// Builds TLV streams from named pieces: tlv(0xBF, {u8(1), mac(bssid), u8(1)}).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace lusl::test {

using Bytes = std::vector<uint8_t>;

Bytes u8(unsigned v);
Bytes be16(unsigned v);
Bytes be24(unsigned long v);
Bytes be32(unsigned long v);
Bytes raw(std::initializer_list<unsigned> bytes);
Bytes zeros(size_t n);
Bytes fill(size_t n, uint8_t v);
Bytes text(const std::string& s); // the characters, no terminator
// "aa:bb:cc:dd:ee:ff"
Bytes mac(const char* s);
Bytes cat(std::initializer_list<Bytes> parts);

// One TLV: type, 16-bit big-endian length of the value, value.
Bytes tlv(uint8_t type, std::initializer_list<Bytes> value);
Bytes tlv(uint8_t type, const Bytes& value);
// TLVs followed by the end-of-message TLV (type 0, length 0).
Bytes stream(std::initializer_list<Bytes> tlvs);

// Little-endian reads of record bytes.
uint16_t le16_at(const Bytes& b, size_t off);
uint32_t le32_at(const Bytes& b, size_t off);
Bytes slice(const Bytes& b, size_t off, size_t n);

} // namespace lusl::test
