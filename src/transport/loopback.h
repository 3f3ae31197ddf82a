/* SPDX-License-Identifier: BSD-2-Clause */
// 127.0.0.1 addresses for the two loopback channels.
#pragma once

#include <netinet/in.h>

#include <cstdint>

namespace lusl {
sockaddr_in loopback_addr(uint16_t port) noexcept;
}
