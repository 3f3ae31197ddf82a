/* SPDX-License-Identifier: BSD-2-Clause */
// The receive-path benchmarks (recv/...), registered beside the parser's.
#pragma once

#include <cstdint>
#include <vector>

namespace lusl::bench {

// Registers one benchmark per fixed record length of the channel and one per compact
// datagram given (the bench cases' AP metrics and scan datagrams). False when the
// loopback sockets cannot be opened.
bool register_receive(const std::vector<std::vector<uint8_t>>& compact);

} // namespace lusl::bench
