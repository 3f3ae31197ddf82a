// SPDX-License-Identifier: BSD-2-Clause
// The public compact-form decoders on arbitrary bytes: never read past the datagram.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > SOCKET_MAX_LENGTH) return -1;
    // Exact-size copy: the decoders get no slack behind the last byte.
    const std::vector<uint8_t> dgram(data, data + size);

    static luSL_ApMetricsView metrics;
    luSL_ApMetricsResp_decode(dgram.data(), dgram.size(), &metrics);

    static luSL_ChScanReport report;
    static luSL_ChScanNbr nbrs[64];
    const int total = luSL_ChScanRpt_decode(dgram.data(), dgram.size(), &report, nbrs, 64);
    // A second call sizing the array must agree with the first.
    if (luSL_ChScanRpt_decode(dgram.data(), dgram.size(), &report, nullptr, 0) != total) abort();
    return 0;
}
