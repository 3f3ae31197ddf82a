/* SPDX-License-Identifier: BSD-2-Clause */
// Helpers every handler shares: the record as its packed layout, 6-byte key compares.
#pragma once

#include <cstdint>
#include <cstring>

namespace lusl {

// The record a handler was given, as its packed layout (alignment 1, so any address fits).
template <typename Rec>
Rec& record_as(uint8_t* record)
{
    static_assert(alignof(Rec) == 1, "records are packed");
    return *reinterpret_cast<Rec*>(record);
}

// Table lookups compare keys in loops: two loads and a test, never a call to memcmp (which
// size-optimised builds do not expand). Fixed-size memcpy is the portable unaligned load.
[[gnu::always_inline]] inline bool mac_equal(const uint8_t* a, const uint8_t* b)
{
    uint32_t a4, b4;
    uint16_t a2, b2;
    std::memcpy(&a4, a, 4);
    std::memcpy(&b4, b, 4);
    std::memcpy(&a2, a + 4, 2);
    std::memcpy(&b2, b + 4, 2);
    return ((a4 ^ b4) | static_cast<uint32_t>(a2 ^ b2)) == 0;
}

[[gnu::always_inline]] inline bool mac_is_zero(const uint8_t* m)
{
    uint32_t m4;
    uint16_t m2;
    std::memcpy(&m4, m, 4);
    std::memcpy(&m2, m + 4, 2);
    return (m4 | m2) == 0;
}

} // namespace lusl
