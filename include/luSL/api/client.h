/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL API: client family. Included by luSL/luSL.h; not meant to be included alone. */
#ifndef LUSL_API_CLIENT_H
#define LUSL_API_CLIENT_H

#include "luSL/luSL.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One row of ele_table: an element ID and the lengths its body may have. */
typedef struct luSL_EleRange {
    uint8_t id;
    uint8_t min_len;
    uint8_t max_len;
} luSL_EleRange;

/* Length limits of the listed request-frame elements, searched in order; elements not
 * listed are taken at any length. */
extern LUSL_API const luSL_EleRange ele_table[9];

/* Client Info TLV (0x90): BSSID and station MAC. */
LUSL_API int tlv_ClientInfo_extract(const uint8_t *value, uint8_t *record);
/* Client Capability Report TLV (0x91): result code, then the (re)association request body.
 * -1 when no layout of the body can be read. */
LUSL_API int tlv_ClientCapabilityReport_extract(const uint8_t *value, uint8_t *record, uint16_t length);
/* Parses length bytes of information elements into a CliCapRpt record; 0 or -1. */
LUSL_API int management_RequestFrame_extract(const uint8_t *elements, uint8_t *record, int length);

#ifdef __cplusplus
}
#endif
#endif
