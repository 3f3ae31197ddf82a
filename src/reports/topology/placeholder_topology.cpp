// Placeholder handlers: accept every TLV until the family is implemented.
#include "core/dispatch.h"
#include "luSL/luSL.h"

namespace lusl {
int h_DeviceInfo(Reader&, uint8_t*, const Args&) { return 0; }
int h_LinkMetricTx(Reader&, uint8_t*, const Args&) { return 0; }
int h_LinkMetricRx(Reader&, uint8_t*, const Args&) { return 0; }
int h_VendorSpecific_MDID(Reader&, uint8_t*, const Args&) { return 0; }
int h_WSC(Reader&, uint8_t*, const Args&) { return 0; }
int h_APOperationBss(Reader&, uint8_t*, const Args&) { return 0; }
int h_APRadioBasicCapabilities_bss_config_req(Reader&, uint8_t*, const Args&) { return 0; }
int h_SteeringBTMReport(Reader&, uint8_t*, const Args&) { return 0; }
int h_BHSteeringResp(Reader&, uint8_t*, const Args&) { return 0; }
int h_BssConfigurationRpt(Reader&, uint8_t*, const Args&) { return 0; }
int h_APRadioAdvancedCaps(Reader&, uint8_t*, const Args&) { return 0; }
int h_akm_suite_capabilities(Reader&, uint8_t*, const Args&) { return 0; }
} // namespace lusl
