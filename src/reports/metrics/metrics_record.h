// Shared by the AP metrics handlers, the station join and the encoder.
#pragma once

#include <cstdint>
#include <cstring>

#include "luSL/luSL.h"

namespace lusl::metrics {

inline ApMetricsResp& resp(uint8_t* record) { return *reinterpret_cast<ApMetricsResp*>(record); }

inline bool mac_eq(const uint8_t (&a)[6], const uint8_t (&b)[6]) { return std::memcmp(a, b, 6) == 0; }

inline bool mac_zero(const uint8_t (&m)[6])
{
    static constexpr uint8_t kZero[6] = {};
    return mac_eq(m, kZero);
}

} // namespace lusl::metrics
