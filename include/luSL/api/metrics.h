/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL API: metrics family. Included by luSL/luSL.h; not meant to be included alone. */
#ifndef LUSL_API_METRICS_H
#define LUSL_API_METRICS_H

#include "luSL/luSL.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------ mesh daemon side
 *
 * Extractors of the AP Metrics Response (0x800C): each reads one TLV value into an
 * ApMetricsResp record. They are not told the TLV length and trust the value to hold every
 * byte its counts announce. `ordinal` is the TLV's position among the AP Metrics TLVs
 * (tlv_APMetrics_extract) or among the Operating Channel Report and Radio Metrics TLVs
 * (tlv_RadioMetrics_extract) of the message, 0 for the first. */

/* Always 0. An ordinal past the tenth BSS stores nothing but raises the BSS count, so the
 * message is refused by the encoder. */
LUSL_API int tlv_APMetrics_extract(const uint8_t *value, uint8_t *record, unsigned int ordinal);
/* Always 0. An ordinal past the second radio is dropped with an error line. */
LUSL_API int tlv_RadioMetrics_extract(const uint8_t *value, uint8_t *record, unsigned int ordinal);
/* 0, or -1 when no AP Metrics TLV created the BSS. */
LUSL_API int tlv_APExtendedMetrics_extract(const uint8_t *value, uint8_t *record);

/* Per-station TLVs, joined to their station entries through the scratch table (the
 * parser's is pAssocStaLinkMetricBuffer, zero-filled per message). Always 0: a TLV that
 * cannot be placed is dropped. A null scratch table places link metrics only. */
LUSL_API int tlv_AssociStaLinkMetric_extract(const uint8_t *value, uint8_t *record,
                                             struct AssocStaLinkMetricBuffer *scratch);
LUSL_API int tlv_AssociStaTrafficStats_extract(const uint8_t *value, uint8_t *record,
                                               struct AssocStaLinkMetricBuffer *scratch);
LUSL_API int tlv_AssocWiFi6StaStatus_extract(const uint8_t *value, uint8_t *record,
                                             struct AssocStaLinkMetricBuffer *scratch);
LUSL_API int tlv_assocStaExtLinkmetric_extract(const uint8_t *value, uint8_t *record,
                                               struct AssocStaLinkMetricBuffer *scratch);

/* ------------------------------------------------------------ steering side
 *
 * An AP Metrics Response arrives in its compact form: luSL_Msg_recv copies exactly the
 * bytes received. luSL_ApMetricsResp_decode unpacks it into a plain C struct the caller
 * provides (about 50 KB: keep it static or on the heap); nothing is allocated and nothing
 * outside buf[0..len) is read.
 *
 *     static uint8_t buf[SOCKET_MAX_LENGTH];
 *     static luSL_ApMetricsView v;
 *     luSL_Msg_recv(buf, fd);
 *     if (luSL_ApMetricsResp_decode(buf, sizeof buf, &v) != 0) return;   malformed
 *     for (b = 0; b < v.bss_num; b++)
 *         for (s = 0; s < v.bss[b].sta_num; s++)
 *             use(&v.bss[b], &v.bss[b].sta[s]);
 */

typedef struct luSL_ApMetricsRadioView {
    uint8_t ruid[6];
    uint8_t noise;
    uint8_t transmit;
    uint8_t receive_self;
    uint8_t receive_other;
} luSL_ApMetricsRadioView;

typedef struct luSL_ApMetricsStaView {
    uint8_t mac[6];
    uint8_t bssid[6]; /* the BSS the station reports being associated with */
    uint8_t rcpi_ul;
    uint8_t tid_num; /* 0 to LUSL_MAX_TID_PER_STA; unused tid entries are zero */
    ApMetricsTid tid[LUSL_MAX_TID_PER_STA];
    uint32_t est_rate_ul;
    uint32_t est_rate_dl;
    uint32_t bytes_sent;
    uint32_t bytes_received;
    uint32_t packets_sent;
    uint32_t packets_received;
    uint32_t tx_packets_errors;
    uint32_t rx_packets_errors;
    uint32_t retrans_count;
    uint32_t last_dl_rate; /* times 1000, modulo 2^32 */
    uint32_t last_ul_rate; /* times 1000, modulo 2^32 */
    uint32_t util_rx;
    uint32_t util_tx;
} luSL_ApMetricsStaView;

typedef struct luSL_ApMetricsBssView {
    uint8_t bssid[6];
    uint8_t ch_util;
    uint8_t esp[4][3]; /* by LUSL_AC_x; three zero bytes when the agent sent none */
    uint32_t uc_bytes_sent;
    uint32_t uc_bytes_received;
    uint32_t mc_bytes_sent;
    uint32_t mc_bytes_received;
    uint32_t bc_bytes_sent;
    uint32_t bc_bytes_received;
    uint16_t sta_num; /* 0 to MAX_STA_PER_BSS: entries sta[0..sta_num) */
    luSL_ApMetricsStaView sta[MAX_STA_PER_BSS];
} luSL_ApMetricsBssView;

typedef struct luSL_ApMetricsView {
    uint8_t radio_num; /* 0 to MAX_RADIO_PER_DEVICE */
    uint8_t bss_num;   /* 0 to MAX_BSS_PER_DEVICE */
    luSL_ApMetricsRadioView radio[MAX_RADIO_PER_DEVICE];
    luSL_ApMetricsBssView bss[MAX_BSS_PER_DEVICE];
    uint32_t length; /* bytes of buf the message took; later bytes are not read */
} luSL_ApMetricsView;

/* Decodes the compact AP Metrics Response in buf[0..len) into *out (fully overwritten,
 * entries beyond the counts zero). Returns 0, or -1 with *out zeroed when buf or out is
 * NULL, the header is not 0x800C, a count exceeds its limit (2 radios, 10 BSSs, 64
 * stations, 4 TIDs) or a block runs past len. Bytes after the message are ignored, so a
 * whole receive buffer may be passed. */
LUSL_API int luSL_ApMetricsResp_decode(const uint8_t *buf, size_t len, luSL_ApMetricsView *out);

#ifdef __cplusplus
}
#endif
#endif
