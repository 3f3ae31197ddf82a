// Placeholder handlers: accept every TLV until the family is implemented.
#include "core/dispatch.h"
#include "luSL/luSL.h"

namespace lusl {
int h_ChScanResult(Reader&, uint8_t*, const Args&) { return 0; }
} // namespace lusl

extern "C" {
LUSL_API int luSL_ChScanRptSendV2(const uint8_t*) { return 0; }
LUSL_API void luSL_ChScanRpt_NbrBss_clear(ChScanRpt*) {}
}
