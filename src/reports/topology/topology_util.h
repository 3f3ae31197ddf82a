// Small helpers shared by the topology-family handlers.
#pragma once

#include <cstdint>
#include <cstring>

namespace lusl::topo {

// The record a handler was given, as its packed layout (alignment 1, so any address fits).
template <typename Rec>
Rec& record_as(uint8_t* record)
{
    static_assert(alignof(Rec) == 1, "records are packed");
    return *reinterpret_cast<Rec*>(record);
}

inline bool mac_is_zero(const uint8_t* m)
{
    static constexpr uint8_t kZero[6] = {};
    return std::memcmp(m, kZero, 6) == 0;
}

inline bool mac_equal(const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, 6) == 0; }

} // namespace lusl::topo
