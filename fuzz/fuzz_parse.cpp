// SPDX-License-Identifier: BSD-2-Clause
// The whole parse road: first byte(s) choose the message type, the rest is the TLV stream,
// through luSL_Msg_parser_n and the real send path. Every slot must be null afterwards.
#include <cstddef>
#include <cstdint>

#include "fuzz_common.h"

namespace {

constexpr uint16_t kKnown[] = {0x0001, 0x0003, 0x0006, 0x0009, 0x0040, 0x0044, 0x004D, 0x8002, 0x8005,
                               0x8008, 0x800A, 0x800C, 0x800E, 0x8010, 0x8015, 0x801A, 0x801C, 0x8022,
                               0x8025, 0x802C, 0x8033, 0xDEB6, 0xDEB7, 0xDEB8, 0xDEBA};
constexpr size_t kMaxInput = 1 << 16;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::Loopback loop;
    if (size < 1 || size > kMaxInput) return -1;

    // Selector byte: below 0xF0 picks a known code, otherwise the next two bytes are the code.
    uint16_t type;
    size_t skip;
    if (data[0] < 0xF0) {
        type = kKnown[data[0] % (sizeof kKnown / sizeof kKnown[0])];
        skip = 1;
    } else {
        if (size < 3) return -1;
        type = static_cast<uint16_t>(data[1] << 8 | data[2]);
        skip = 3;
    }
    static const uint8_t src[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
    luSL_Msg_parser_n(type, data + skip, size - skip, loop.port, src);
    loop.drain();
    if (!fuzz::all_released()) abort();
    return 0;
}
