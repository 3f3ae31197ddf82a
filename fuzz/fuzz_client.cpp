// SPDX-License-Identifier: BSD-2-Clause
// The frame-element parser and the Client Capability Report TLV on arbitrary bytes.
// The first byte picks the entry point; the rest is copied to an exact-size block so a
// read one byte past it is caught.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 4096) return -1;
    static CliCapRpt record;
    std::memset(&record, 0, sizeof record);
    const std::vector<uint8_t> body(data + 1, data + size);
    auto* rec = reinterpret_cast<uint8_t*>(&record);
    if (data[0] & 1)
        tlv_ClientCapabilityReport_extract(body.data(), rec, static_cast<uint16_t>(body.size()));
    else
        management_RequestFrame_extract(body.data(), rec, static_cast<int>(body.size()));
    return 0;
}
