/* SPDX-License-Identifier: BSD-2-Clause */
// Shared by the AP metrics handlers, the station join and the encoder.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/record.h"
#include "luSL/luSL.h"

namespace lusl::metrics {

inline ApMetricsResp& resp(uint8_t* record) { return record_as<ApMetricsResp>(record); }

// Hot in the station join: never a call, whatever the optimisation level.
[[gnu::always_inline]] inline bool mac_eq(const uint8_t (&a)[6], const uint8_t (&b)[6]) { return mac_equal(a, b); }
[[gnu::always_inline]] inline bool mac_zero(const uint8_t (&m)[6]) { return mac_is_zero(m); }

} // namespace lusl::metrics
