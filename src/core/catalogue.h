/* SPDX-License-Identifier: BSD-2-Clause */
// The one table of message types: name, record, channel lengths and release kind.
#pragma once

#include <cstddef>
#include <cstdint>

#include "luSL/messages.h"

namespace lusl {

enum class Release : uint8_t {
    None,      // channel-only type: no record
    Plain,     // the record alone
    ApMetrics, // record, scratch table and compact buffer
    ChScan,    // record, neighbour lists and compact buffer
};

// Channel length of the two types sent in compact form.
inline constexpr uint32_t kCompact = 0;

struct MsgType {
    uint16_t code;
    const char* name;      // nullptr: logs as "Unknow Msg"
    uint32_t record_size;  // 0: not parsed
    void* (*get_slot)();   // null for channel-only types
    void (*set_slot)(void*);
    uint32_t channel_len;  // bytes sent / copied on receipt; kCompact for 0x800C and 0x801C
    Release release;
};

inline constexpr uint16_t kApMetricsResp = LUSL_MSG_AP_METRICS_RESPONSE;
inline constexpr uint16_t kChScanRpt = LUSL_MSG_CHANNEL_SCAN_REPORT;
inline constexpr uint16_t kChannelPreferenceRpt = LUSL_MSG_CHANNEL_PREFERENCE_REPORT;
inline constexpr size_t kScratchTableSize = 2688;

// Lookups. Every per-type fact comes from here.
const MsgType* find_type(uint16_t code) noexcept;
const char* display_name(uint16_t code) noexcept;
// The catalogue entry of a parsed type, or nullptr.
const MsgType* record_of(uint16_t code) noexcept;
// Entry with a channel length (fixed or compact), or nullptr.
const MsgType* channel_of(uint16_t code) noexcept;

const MsgType* catalogue_begin() noexcept;
const MsgType* catalogue_end() noexcept;

} // namespace lusl
