/* SPDX-License-Identifier: BSD-2-Clause */
// Summary bits of a radio entry, shared by every capability extractor that ORs them in.
#pragma once

#include <cstdint>

namespace lusl::capbits {

// Supported bandwidths (u16 mask). Bits are only ever added.
inline constexpr uint16_t kBw20 = 0x01;
inline constexpr uint16_t kBw40 = 0x02;
inline constexpr uint16_t kBw80 = 0x04;
inline constexpr uint16_t kBw160 = 0x08; // 160 MHz or 80+80 MHz
inline constexpr uint16_t kBw320 = 0x10;

// Short guard interval mask.
inline constexpr uint8_t kSgi40 = 0x01;     // from HT
inline constexpr uint8_t kSgi20 = 0x02;     // from HT
inline constexpr uint8_t kSgi160 = 0x04;    // 160 and 80+80 MHz, from VHT
inline constexpr uint8_t kSgi80 = 0x08;     // from VHT

// Supported PHY generations.
inline constexpr uint8_t kPhyHt = 0x01;
inline constexpr uint8_t kPhyVht = 0x02;
inline constexpr uint8_t kPhyHe = 0x04;
inline constexpr uint8_t kPhyEht = 0x08;

// Highest MCS index each generation can announce.
inline constexpr uint8_t kMcsHt = 7;
inline constexpr uint8_t kMcsVht = 9;
inline constexpr uint8_t kMcsHe = 11;
inline constexpr uint8_t kMcsEht = 13;

} // namespace lusl::capbits
