// Placeholder handlers: accept every TLV until the family is implemented.
#include "core/dispatch.h"
#include "luSL/luSL.h"

namespace lusl {
int h_VendorSpecific_Eht_Cap(Reader&, uint8_t*, const Args&) { return 0; }
int h_APRadioBasicCapabilities(Reader&, uint8_t*, const Args&) { return 0; }
int h_APHTCapabilities(Reader&, uint8_t*, const Args&) { return 0; }
int h_APVHTCapabilities(Reader&, uint8_t*, const Args&) { return 0; }
int h_APHECapabilities(Reader&, uint8_t*, const Args&) { return 0; }
int h_APCapabilities(Reader&, uint8_t*, const Args&) { return 0; }
int h_ChannelScanCaps(Reader&, uint8_t*, const Args&) { return 0; }
int h_1905LayerSecurityCap(Reader&, uint8_t*, const Args&) { return 0; }
int h_APWifi6Capabilities(Reader&, uint8_t*, const Args&) { return 0; }
int h_CACCapbilities(Reader&, uint8_t*, const Args&) { return 0; }
int h_Profile2APCapability(Reader&, uint8_t*, const Args&) { return 0; }
int h_MetricCollectionInterval(Reader&, uint8_t*, const Args&) { return 0; }
int h_DeviceInventory(Reader&, uint8_t*, const Args&) { return 0; }
} // namespace lusl
