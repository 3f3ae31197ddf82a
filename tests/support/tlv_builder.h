/* SPDX-License-Identifier: BSD-2-Clause */
// Builds TLV streams from named pieces: tlv(0xBF, {u8(1), mac(bssid), u8(1)}).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "tlv_build.h"

namespace lusl::test {

using wire::Bytes;
using wire::be16;
using wire::be24;
using wire::be32;
using wire::cat;
using wire::text;
using wire::tlv;
using wire::u8;

Bytes raw(std::initializer_list<unsigned> bytes);
Bytes zeros(size_t n);
Bytes fill(size_t n, uint8_t v);
// "aa:bb:cc:dd:ee:ff"
Bytes mac(const char* s);
// TLVs followed by the end-of-message TLV (type 0, length 0).
Bytes stream(std::initializer_list<Bytes> tlvs);

// Little-endian reads of record bytes.
uint16_t le16_at(const Bytes& b, size_t off);
uint32_t le32_at(const Bytes& b, size_t off);
Bytes slice(const Bytes& b, size_t off, size_t n);

} // namespace lusl::test
