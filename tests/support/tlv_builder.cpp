// SPDX-License-Identifier: BSD-2-Clause
#include "tlv_builder.h"

#include <cstdio>
#include <stdexcept>

namespace lusl::test {

Bytes raw(std::initializer_list<unsigned> bytes)
{
    Bytes out;
    for (unsigned b : bytes) out.push_back(static_cast<uint8_t>(b));
    return out;
}
Bytes zeros(size_t n) { return Bytes(n, 0); }
Bytes fill(size_t n, uint8_t v) { return Bytes(n, v); }

Bytes mac(const char* s)
{
    unsigned m[6];
    if (std::sscanf(s, "%x:%x:%x:%x:%x:%x", &m[0], &m[1], &m[2], &m[3], &m[4], &m[5]) != 6)
        throw std::invalid_argument(s);
    return raw({m[0], m[1], m[2], m[3], m[4], m[5]});
}

Bytes stream(std::initializer_list<Bytes> tlvs)
{
    Bytes out = cat(tlvs);
    out.insert(out.end(), {0, 0, 0});
    return out;
}

uint16_t le16_at(const Bytes& b, size_t off) { return static_cast<uint16_t>(b.at(off) | b.at(off + 1) << 8); }
uint32_t le32_at(const Bytes& b, size_t off)
{
    return static_cast<uint32_t>(b.at(off)) | static_cast<uint32_t>(b.at(off + 1)) << 8 |
           static_cast<uint32_t>(b.at(off + 2)) << 16 | static_cast<uint32_t>(b.at(off + 3)) << 24;
}
Bytes slice(const Bytes& b, size_t off, size_t n) { return Bytes(b.begin() + off, b.begin() + off + n); }

} // namespace lusl::test
