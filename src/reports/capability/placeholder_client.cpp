// Placeholder handlers: accept every TLV until the family is implemented.
#include "core/dispatch.h"
#include "luSL/luSL.h"

namespace lusl {
int h_ClientInfo(Reader&, uint8_t*, const Args&) { return 0; }
int h_ClientCapabilityReport(Reader&, uint8_t*, const Args&) { return 0; }
} // namespace lusl
