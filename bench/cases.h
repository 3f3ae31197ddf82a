/* SPDX-License-Identifier: BSD-2-Clause */
// The messages the benchmark parses: one realistic TLV stream per case, built from the
// TLV layouts with the test builder, with the record size its message allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tlv_builder.h"

namespace lusl::bench {

struct Case {
    std::string name;       // short, used in benchmark names and the table
    uint16_t type;          // message type
    size_t record_size;     // what the parser callocs
    unsigned expect_allocs; // heap blocks the behaviour takes per message
    test::Bytes tlvs;       // the stream, end-of-message TLV included
};

// In table order: station event, topology, AP capability, client capability, channel scan,
// AP metrics 1 x 4, AP metrics 10 x 64.
const std::vector<Case>& cases();

} // namespace lusl::bench
