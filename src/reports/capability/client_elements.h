/* SPDX-License-Identifier: BSD-2-Clause */
// The element parser of a station's (re)association request, shared by the Client
// Capability Report handler and the exported management_RequestFrame_extract.
#pragma once

#include <cstdint>

#include "core/bytes.h"
#include "luSL/luSL.h"
#include "reports/capability/cap_bits.h"

namespace lusl::client {

// Short guard interval mask of the client report: one bit per generation.
inline constexpr uint8_t kSgiHt = 0x01;
inline constexpr uint8_t kSgiVht = 0x02;
inline constexpr uint8_t kSgiHe = 0x04;
inline constexpr uint8_t kSgiEht = 0x08;

// Highest MCS index a station of each generation is taken to reach.
using capbits::kMcsEht;
using capbits::kMcsHe;
using capbits::kMcsHt;
using capbits::kMcsVht;

// Parses the information elements in `elems` (the whole Reader is the element list) into
// the record. 0 when the list is accepted, -1 when this reading of the frame is refused.
int parse_request_elements(Reader elems, CliCapRpt& r);

} // namespace lusl::client
