// SPDX-License-Identifier: BSD-2-Clause
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "luSL/luSL.h"

namespace {

constexpr char kDbgFile[] = "/tmp/.dbg";
constexpr char kFlagText[] = "Boot Module Debug Flag";

// "Boot Module Debug Flag  : %d" with scanf's matching, but an out-of-range number
// saturates instead of being undefined. Leaves v alone when the line does not parse.
void parse_flag(const char* text, int& v)
{
    int at = -1;
    if (std::sscanf(text, "Boot Module Debug Flag  : %n", &at) < 0 || at < 0) return;
    const char* num = text + at;
    char* end = nullptr;
    const long n = std::strtol(num, &end, 10);
    if (end == num) return;
    v = n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : static_cast<int>(n);
}

} // namespace

extern "C" {

LUSL_API int GetEngDbgFlag(void)
{
    using namespace lusl;
    int v = 0;
    // One buffer for the command lines and the lines read back.
    char buf[64];
    std::snprintf(buf, sizeof buf, "sys kelm | grep '%s' > %s", kFlagText, kDbgFile);
    std::system(buf);
    FILE* f = std::fopen(kDbgFile, "r");
    if (!f) {
        LUSL_LOG(kModMsg, kErr, "Open file /tmp/.dbg fail.\n");
        return 0;
    }
    while (std::fgets(buf, sizeof buf, f)) {
        const char* hit = std::strstr(buf, kFlagText);
        if (hit) parse_flag(hit, v);
    }
    std::fclose(f);
    std::snprintf(buf, sizeof buf, "rm %s", kDbgFile);
    std::system(buf);
    return v != 0 ? 1 : 0;
}

LUSL_API void luSL_hexdump(const char* title, const uint8_t* data, uint32_t len)
{
    using namespace lusl;
    LUSL_LOG(kModMsg, kDebug, "%s - (data len=%lu):\n\n", title ? title : "(null)", static_cast<unsigned long>(len));
    // Nothing to read behind a null pointer, whatever the length says.
    const uint32_t n = data ? len : 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (i % 16 == 0) LUSL_LOG(kModMsg, kDebug, "0x%04x : \n", static_cast<unsigned>(i));
        LUSL_LOG(kModMsg, kDebug, "%02x \n", static_cast<unsigned>(data[i]));
        if (i % 16 == 15) LUSL_LOG(kModMsg, kDebug, "\n\n");
    }
    LUSL_LOG(kModMsg, kDebug, "\n\n");
}

} // extern "C"
