/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL API: channel family. Included by luSL/luSL.h; not meant to be included alone. */
#ifndef LUSL_API_CHANNEL_H
#define LUSL_API_CHANNEL_H

#include "luSL/luSL.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Channel Preference Report (0x8005). length and src_mac are accepted and not used. */
LUSL_API int tlv_ChannelPreference_extract(const uint8_t *value, uint8_t *record, uint16_t length,
                                           const uint8_t *src_mac);
LUSL_API int tlv_CacStatusReport_extract(const uint8_t *value, uint8_t *record, uint16_t length,
                                         const uint8_t *src_mac);

/* Operating Channel Report (0x8008). ordinal picks the radio entry; length is not used. */
LUSL_API int tlv_OperatingChannelReport_extract(const uint8_t *value, uint8_t *record, uint16_t length,
                                                unsigned int ordinal, const uint8_t *src_mac);
/* Stores the (operating class, channel) pairs at pairs into radio_entry (an OperChanRadio whose
 * op_class_num already holds the received count) in ascending operating class, at most 8.
 * Returns 0. */
LUSL_API int SortOpClassOrder(const uint8_t *pairs, uint8_t *radio_entry);

/* Associated (0x800E) and Unassociated (0x8010) STA Link Metric Responses. */
LUSL_API int tlv_AssociStaLinkMetric2_extract(const uint8_t *value, uint8_t *record);
LUSL_API int tlv_UnAssociStaLinkMetric_extract(const uint8_t *value, uint8_t *record, uint16_t length,
                                               const uint8_t *src_mac);

#ifdef __cplusplus
}
#endif
#endif
