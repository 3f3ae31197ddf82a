// Placeholder handlers: accept every TLV until the family is implemented.
#include "core/dispatch.h"
#include "luSL/luSL.h"

namespace lusl {
int h_ChannelPreference(Reader&, uint8_t*, const Args&) { return 0; }
int h_OperatingChannelReport(Reader&, uint8_t*, const Args&) { return 0; }
int h_AssociStaLinkMetric2(Reader&, uint8_t*, const Args&) { return 0; }
int h_UnAssociStaLinkMetric(Reader&, uint8_t*, const Args&) { return 0; }
int h_CacStatusReport(Reader&, uint8_t*, const Args&) { return 0; }
} // namespace lusl
