/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL API: topology family. Included by luSL/luSL.h; not meant to be included alone.
 *
 * Each extractor reads one TLV value into the record of its message and returns 0 on
 * success. `length` is the TLV's length field; extractors without one trust the value to
 * hold every byte its counts announce. */
#ifndef LUSL_API_TOPOLOGY_H
#define LUSL_API_TOPOLOGY_H

#include "luSL/luSL.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 0x0003 Topology Response (TopologyResp) */
LUSL_API int tlv_DeviceInfo_extract(const uint8_t *value, uint8_t *record);
LUSL_API int tlv_APOperationBss_extract(const uint8_t *value, uint8_t *record, uint16_t length);
LUSL_API int tlv_VendorSpecific_MDID_extract(const uint8_t *value, uint8_t *record, uint16_t length);
LUSL_API int tlv_BssConfigurationRpt_extract(const uint8_t *value, uint8_t *record);

/* 0x0006 Link Metric Response (LinkMetricsResp) */
LUSL_API int tlv_LinkMetricTx_extract(const uint8_t *value, uint8_t *record, uint16_t length);
LUSL_API int tlv_LinkMetricRx_extract(const uint8_t *value, uint8_t *record, uint16_t length);

/* 0x8015 Client Steering BTM Report, 0x801A Backhaul Steering Response */
LUSL_API int tlv_SteeringBTMReport_extract(const uint8_t *value, uint8_t *record, uint16_t length);
/* length is accepted and not used: 13 value bytes are read. */
LUSL_API int tlv_BHSteeringResp_extract(const uint8_t *value, uint8_t *record, uint16_t length);

/* 0x0009 AP Autoconfiguration WSC (ApAutoConfWSC); src_mac may be null */
LUSL_API int tlv_WSC_extract(const uint8_t *value, uint8_t *record, uint16_t length, const uint8_t *src_mac);
LUSL_API int tlv_APRadioAdvancedCaps_extract(const uint8_t *value, uint8_t *record);

/* 0x802C BSS Configuration Request (BssConfigReq) */
LUSL_API int tlv_APRadioBasicCapabilities_extract_bss_config_req(const uint8_t *value, uint8_t *record);
/* A null record does nothing and returns 0. */
LUSL_API int tlv_akm_suite_capabilities_extract(const uint8_t *value, uint8_t *record);

#ifdef __cplusplus
}
#endif
#endif
