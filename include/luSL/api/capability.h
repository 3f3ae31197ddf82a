/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL API: capability family. Included by luSL/luSL.h; not meant to be included alone.
 *
 * Extractors of the AP Capability Report (ApCapRpt). Each reads one TLV value into the
 * record and returns 0 on success. `length` is the TLV's length field; extractors without
 * one, or that do not use it, trust the value to hold every byte its counts announce. */
#ifndef LUSL_API_CAPABILITY_H
#define LUSL_API_CAPABILITY_H

#include "luSL/luSL.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Radios and their PHY capabilities. HT and VHT of an unknown radio are logged and skipped
 * (0); HE and Wi-Fi 6 of an unknown radio fail (-1). */
LUSL_API int tlv_APRadioBasicCapabilities_extract(const uint8_t *value, uint8_t *record);
LUSL_API int tlv_APHTCapabilities_extract(const uint8_t *value, uint8_t *record);
LUSL_API int tlv_APVHTCapabilities_extract(const uint8_t *value, uint8_t *record);
LUSL_API int tlv_APHECapabilities_extract(const uint8_t *value, uint8_t *record, uint16_t length);
LUSL_API int tlv_APWifi6Capabilities_extract(const uint8_t *value, uint8_t *record);
/* -1 for a TLV of length 0. */
LUSL_API int tlv_VendorSpecific_Eht_Cap_extract(const uint8_t *value, uint8_t *record, uint16_t length);

/* Device-level capabilities. src_mac may be null. Resets the radio count to 0. */
LUSL_API int tlv_APCapabilities_extract(const uint8_t *value, uint8_t *record, const uint8_t *src_mac);
/* length is accepted and not used. */
LUSL_API int tlv_ChannelScanCaps_extract(const uint8_t *value, uint8_t *record, uint16_t length);
LUSL_API int tlv_1905LayerSecurityCap_extract(const uint8_t *value, uint8_t *record, uint16_t length);
LUSL_API int tlv_CACCapbilities_extract(const uint8_t *value, uint8_t *record, uint16_t length);
LUSL_API int tlv_Profile2APCapability_extract(const uint8_t *value, uint8_t *record);
LUSL_API int tlv_MetricCollectionInterval_extract(const uint8_t *value, uint8_t *record);
/* -1 when a string is longer than 64 bytes; the parser does not use the result. */
LUSL_API int tlv_DeviceInventory_extract(const uint8_t *value, uint8_t *record);

#ifdef __cplusplus
}
#endif
#endif
