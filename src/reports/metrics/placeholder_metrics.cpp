// Placeholder handlers: accept every TLV until the family is implemented.
#include "core/dispatch.h"
#include "luSL/luSL.h"

namespace lusl {
int h_APMetrics(Reader&, uint8_t*, const Args&) { return 0; }
int h_AssociStaLinkMetric(Reader&, uint8_t*, const Args&) { return 0; }
int h_AssociStaTrafficStats(Reader&, uint8_t*, const Args&) { return 0; }
int h_AssocWiFi6StaStatus(Reader&, uint8_t*, const Args&) { return 0; }
int h_RadioMetrics(Reader&, uint8_t*, const Args&) { return 0; }
int h_APExtendedMetrics(Reader&, uint8_t*, const Args&) { return 0; }
int h_assocStaExtLinkmetric(Reader&, uint8_t*, const Args&) { return 0; }
} // namespace lusl

extern "C" LUSL_API int luSL_ApMetricsRespSendV2(const uint8_t*) { return 0; }
