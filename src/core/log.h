/* SPDX-License-Identifier: BSD-2-Clause */
// The library's only way to the log: the platform's luMAP_syslog, resolved at run time so
// the router's library (or a process defining its own luMAP_syslog) receives every line.
#pragma once

#include <cstddef>

#include "luMAPLog.h"

namespace lusl {

enum : int {
    kModMsg = 4, // message and socket layer: "[MSG]", "[EVT]", socket set-up
    kModTlv = 8, // TLV layer: "[TLV]"
    kErr = 3,
    kWarn = 4,
    kDebug = 7,
};

// Refuses a TLV whose fixed fields or announced counts do not fit its length.
int refuse_short(const char* tlv, size_t len);

} // namespace lusl

#define LUSL_LOG(module, level, ...) luMAP_syslog((module), (level), __VA_ARGS__)

#define LUSL_MAC_FMT "%02hhX:%02hhX:%02hhX:%02hhX:%02hhX:%02hhX"
#define LUSL_MAC_ARG(m) (m)[0], (m)[1], (m)[2], (m)[3], (m)[4], (m)[5]
