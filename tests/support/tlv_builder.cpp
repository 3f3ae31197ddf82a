#include "tlv_builder.h"

#include <cstdio>
#include <stdexcept>

namespace lusl::test {

Bytes u8(unsigned v) { return {static_cast<uint8_t>(v)}; }
Bytes be16(unsigned v) { return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; }
Bytes be24(unsigned long v)
{
    return {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}
Bytes be32(unsigned long v)
{
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
            static_cast<uint8_t>(v)};
}
Bytes raw(std::initializer_list<unsigned> bytes)
{
    Bytes out;
    for (unsigned b : bytes) out.push_back(static_cast<uint8_t>(b));
    return out;
}
Bytes zeros(size_t n) { return Bytes(n, 0); }
Bytes fill(size_t n, uint8_t v) { return Bytes(n, v); }
Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes mac(const char* s)
{
    unsigned m[6];
    if (std::sscanf(s, "%x:%x:%x:%x:%x:%x", &m[0], &m[1], &m[2], &m[3], &m[4], &m[5]) != 6)
        throw std::invalid_argument(s);
    return raw({m[0], m[1], m[2], m[3], m[4], m[5]});
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes tlv(uint8_t type, const Bytes& value)
{
    Bytes out{type, static_cast<uint8_t>(value.size() >> 8), static_cast<uint8_t>(value.size())};
    out.insert(out.end(), value.begin(), value.end());
    return out;
}
Bytes tlv(uint8_t type, std::initializer_list<Bytes> value) { return tlv(type, cat(value)); }

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
