/* SPDX-License-Identifier: BSD-2-Clause */
// Internal entry points shared by the exported parser, walker and channel functions.
#pragma once

#include <cstddef>
#include <cstdint>

// For the library's own extern data: -fvisibility=hidden covers definitions only, and code
// reaching a table through the GOT pays a load for it on every use.
#define LUSL_HIDDEN __attribute__((visibility("hidden")))

namespace lusl {

// Stream length of the documented entry points, which trust the end-of-message TLV.
inline constexpr size_t kUnbounded = SIZE_MAX;

// Walks the TLV stream tlvs[0..len) into record. Returns the walk result.
int walk(uint16_t type, const uint8_t* tlvs, size_t len, uint8_t* record, const uint8_t* src_mac);

// Parses, sends and releases one message. Returns 0 when the record was sent, -1 otherwise.
int parse(uint16_t type, const uint8_t* tlvs, size_t len, uint16_t port, const uint8_t* src_mac);

// luSL_Msg_send with a result: true when the whole datagram went out.
bool send_record(uint16_t type, const uint8_t* record, uint16_t port, int fd);
// Receives one datagram and copies its record to dest when it fits in cap bytes;
// returns the bytes copied, or -1 with dest untouched.
int receive_record(uint8_t* dest, size_t cap, int fd);

} // namespace lusl
