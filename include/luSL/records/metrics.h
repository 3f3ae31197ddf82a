/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL records: metrics family. Included by luSL/records.h; not meant to be included alone. */
#ifndef LUSL_RECORDS_METRICS_H
#define LUSL_RECORDS_METRICS_H

#include "luSL/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- 0x800C AP Metrics Response
 *
 * Never sent as is: luSL_ApMetricsRespSendV2 packs the filled part into the compact form.
 * Radio and BSS entries are placed by the ordinal of their TLV, station entries are taken
 * from the front of their BSS entry (an all-zero MAC marks a free one). */

/* Room for TID entries in a station entry. */
#define LUSL_MAX_TID_PER_STA 4

/* Access categories, the index of ApMetricsBss.esp and the bit of esp_include. */
#define LUSL_AC_BE 0
#define LUSL_AC_BK 1
#define LUSL_AC_VO 2
#define LUSL_AC_VI 3

typedef struct LUSL_PACKED ApMetricsRadio {
    uint8_t ruid[6];
    uint8_t noise;
    uint8_t transmit;
    uint8_t receive_self;
    uint8_t receive_other;
} ApMetricsRadio;
LUSL_AT(ApMetricsRadio, noise, 6);
LUSL_AT(ApMetricsRadio, receive_other, 9);
LUSL_SIZE(ApMetricsRadio, 10);

/* The seven counters of an Associated STA Traffic Stats TLV, in its order. */
typedef struct LUSL_PACKED ApMetricsStaTraffic {
    uint32_t bytes_sent;
    uint32_t bytes_received;
    uint32_t packets_sent;
    uint32_t packets_received;
    uint32_t tx_packets_errors;
    uint32_t rx_packets_errors;
    uint32_t retrans_count;
} ApMetricsStaTraffic;
LUSL_AT(ApMetricsStaTraffic, retrans_count, 24);
LUSL_SIZE(ApMetricsStaTraffic, 28);

typedef struct LUSL_PACKED ApMetricsTid {
    uint8_t tid;
    uint8_t queue_size;
} ApMetricsTid;
LUSL_SIZE(ApMetricsTid, 2);

typedef struct LUSL_PACKED ApMetricsSta {
    uint8_t reserved[2]; /* never written */
    uint8_t mac[6];      /* all zero: entry free */
    uint32_t est_rate_ul;
    uint32_t est_rate_dl;
    uint8_t rcpi_ul;
    uint8_t bssid[6]; /* the BSS the station reports being associated with */
    ApMetricsStaTraffic traffic;
    uint8_t tid_num; /* 0 to LUSL_MAX_TID_PER_STA */
    ApMetricsTid tid[LUSL_MAX_TID_PER_STA];
    uint32_t last_dl_rate; /* times 1000, modulo 2^32 */
    uint32_t last_ul_rate; /* times 1000, modulo 2^32 */
    uint32_t util_rx;
    uint32_t util_tx;
} ApMetricsSta;
LUSL_AT(ApMetricsSta, mac, 2);
LUSL_AT(ApMetricsSta, est_rate_ul, 8);
LUSL_AT(ApMetricsSta, est_rate_dl, 12);
LUSL_AT(ApMetricsSta, rcpi_ul, 16);
LUSL_AT(ApMetricsSta, bssid, 17);
LUSL_AT(ApMetricsSta, traffic.bytes_sent, 23);
LUSL_AT(ApMetricsSta, traffic.bytes_received, 27);
LUSL_AT(ApMetricsSta, traffic.packets_sent, 31);
LUSL_AT(ApMetricsSta, traffic.packets_received, 35);
LUSL_AT(ApMetricsSta, traffic.tx_packets_errors, 39);
LUSL_AT(ApMetricsSta, traffic.rx_packets_errors, 43);
LUSL_AT(ApMetricsSta, traffic.retrans_count, 47);
LUSL_AT(ApMetricsSta, tid_num, 51);
LUSL_AT(ApMetricsSta, tid, 52);
LUSL_AT(ApMetricsSta, tid[3].queue_size, 59);
LUSL_AT(ApMetricsSta, last_dl_rate, 60);
LUSL_AT(ApMetricsSta, last_ul_rate, 64);
LUSL_AT(ApMetricsSta, util_rx, 68);
LUSL_AT(ApMetricsSta, util_tx, 72);
LUSL_SIZE(ApMetricsSta, 76);

typedef struct LUSL_PACKED ApMetricsBss {
    uint8_t bssid[6]; /* all zero while the entry is free */
    uint8_t ch_util;
    uint16_t sta_num; /* associated stations reported, at most MAX_STA_PER_BSS */
    ApMetricsSta sta[MAX_STA_PER_BSS];
    uint32_t uc_bytes_sent;
    uint32_t uc_bytes_received;
    uint32_t mc_bytes_sent;
    uint32_t mc_bytes_received;
    uint32_t bc_bytes_sent;
    uint32_t bc_bytes_received;
    uint8_t esp_include; /* bit LUSL_AC_x set: esp[LUSL_AC_x] was received */
    uint8_t esp[4][3];   /* ESP information per access category, raw */
} ApMetricsBss;
LUSL_AT(ApMetricsBss, ch_util, 6);
LUSL_AT(ApMetricsBss, sta_num, 7);
LUSL_AT(ApMetricsBss, sta, 9);
LUSL_AT(ApMetricsBss, sta[1], 85);
LUSL_AT(ApMetricsBss, uc_bytes_sent, 4873);
LUSL_AT(ApMetricsBss, uc_bytes_received, 4877);
LUSL_AT(ApMetricsBss, mc_bytes_sent, 4881);
LUSL_AT(ApMetricsBss, mc_bytes_received, 4885);
LUSL_AT(ApMetricsBss, bc_bytes_sent, 4889);
LUSL_AT(ApMetricsBss, bc_bytes_received, 4893);
LUSL_AT(ApMetricsBss, esp_include, 4897);
LUSL_AT(ApMetricsBss, esp[LUSL_AC_BE], 4898);
LUSL_AT(ApMetricsBss, esp[LUSL_AC_BK], 4901);
LUSL_AT(ApMetricsBss, esp[LUSL_AC_VO], 4904);
LUSL_AT(ApMetricsBss, esp[LUSL_AC_VI], 4907);
LUSL_SIZE(ApMetricsBss, 4910);

typedef struct LUSL_PACKED ApMetricsResp {
    luSL_RecordHeader hdr;
    uint8_t bss_num;   /* ordinal + 1 of the last AP Metrics TLV */
    uint8_t radio_num; /* ordinal + 1 of the last Radio Metrics TLV taken */
    ApMetricsRadio radio[MAX_RADIO_PER_DEVICE];
    ApMetricsBss bss[MAX_BSS_PER_DEVICE];
} ApMetricsResp;
LUSL_AT(ApMetricsResp, bss_num, 2);
LUSL_AT(ApMetricsResp, radio_num, 3);
LUSL_AT(ApMetricsResp, radio, 4);
LUSL_AT(ApMetricsResp, radio[1], 14);
LUSL_AT(ApMetricsResp, bss, 24);
LUSL_AT(ApMetricsResp, bss[1], 4934);
LUSL_AT(ApMetricsResp, bss[0].sta[0], 33);
LUSL_AT(ApMetricsResp, bss[1].sta[1], 33 + 4910 + 76);
LUSL_AT(ApMetricsResp, bss[9].esp[LUSL_AC_VI], 24 + 4910 * 9 + 4907);
LUSL_SIZE(ApMetricsResp, LUSL_LEN_AP_METRICS_RESPONSE);

/* Scratch table of one AP Metrics Response walk: where each station's entry is, and the
 * traffic counters of a station whose link metrics have not arrived yet. */
typedef struct LUSL_PACKED AssocStaLinkMetricEntry {
    uint8_t mac[6]; /* all zero: entry free */
    ApMetricsStaTraffic traffic;
    uint32_t bss_idx; /* station entry record.bss[bss_idx].sta[sta_idx] */
    uint32_t sta_idx;
} AssocStaLinkMetricEntry;
LUSL_AT(AssocStaLinkMetricEntry, traffic, 6);
LUSL_AT(AssocStaLinkMetricEntry, bss_idx, 34);
LUSL_AT(AssocStaLinkMetricEntry, sta_idx, 38);
LUSL_SIZE(AssocStaLinkMetricEntry, 42);

typedef struct LUSL_PACKED AssocStaLinkMetricBuffer {
    AssocStaLinkMetricEntry entry[MAX_STA_PER_BSS];
} AssocStaLinkMetricBuffer;
LUSL_SIZE(AssocStaLinkMetricBuffer, 2688);

#ifdef __cplusplus
}
#endif
#endif
