/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL API: scan family. Included by luSL/luSL.h; not meant to be included alone. */
#ifndef LUSL_API_SCAN_H
#define LUSL_API_SCAN_H

#include "luSL/luSL.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------ mesh daemon side */

/* Reads one Channel Scan Result TLV value into a ChScanRpt record, allocating its
 * neighbour nodes; 0 on success, -1 when refused. The record's nodes are released with
 * luSL_ChScanRpt_NbrBss_clear (luSL_Msg_free does it for the parser's record). */
LUSL_API int tlv_ChScanResult_extract(const uint8_t *value, uint8_t *record);

/* 1 when mac is null or 00:00:00:00:00:00, else 0. */
LUSL_API int CheckingNullMAC(const uint8_t *mac);

/* ------------------------------------------------------------ steering side
 *
 * A Channel Scan Report (0x801C) arrives in its compact form: luSL_Msg_recv copies exactly
 * the bytes received. luSL_ChScanRpt_decode unpacks it into plain C structs the caller
 * provides; nothing is allocated and nothing outside data[0..len) is read.
 *
 *     static luSL_ChScanReport rpt;
 *     static luSL_ChScanNbr nbrs[LUSL_CHSCAN_MAX_NBR];
 *     int n = luSL_ChScanRpt_decode(buf, len, &rpt, nbrs, LUSL_CHSCAN_MAX_NBR);
 *     if (n < 0) return;                           malformed or cut short
 *     for (r = 0; r < rpt.radio_num; r++)
 *         for (c = 0; c < rpt.radio[r].ch_num; c++) {
 *             const luSL_ChScanChannelInfo *ch = &rpt.radio[r].ch[c];
 *             for (i = ch->nbr_first; i < ch->nbr_first + ch->nbr_num && i < LUSL_CHSCAN_MAX_NBR; i++)
 *                 use(&nbrs[i]);
 *         }
 */

/* Most neighbour blocks one datagram can carry (one radio, one channel, 13-byte blocks):
 * a neighbour array of this many entries always holds every neighbour of a report. */
#define LUSL_CHSCAN_MAX_NBR ((SOCKET_MAX_LENGTH - 3 - 77 - 72) / 13)
/* Longest SSID and channel bandwidth string a neighbour block carries. */
#define LUSL_CHSCAN_STR_MAX 33

typedef struct luSL_ChScanNbr {
    uint8_t bssid[6];
    uint8_t ssid_len; /* 0 to 33 */
    uint8_t ssid[LUSL_CHSCAN_STR_MAX];
    uint8_t signal_strength;
    uint8_t ch_bw_len; /* 0 to 33 */
    uint8_t ch_bw[LUSL_CHSCAN_STR_MAX];
    uint8_t bss_load_present; /* bit 7 set: ch_util and sta_count came from the BSS load element */
    uint8_t ch_util;
    uint16_t sta_count;
} luSL_ChScanNbr;

typedef struct luSL_ChScanChannelInfo {
    uint8_t op_class;
    uint8_t channel;
    uint8_t scan_status; /* 0 success */
    uint8_t ch_util;
    uint8_t noise;
    char timestamp[65]; /* as sent: zero-padded, zero-terminated when the sender built it */
    uint16_t nbr_num;   /* neighbours of this channel ... */
    uint32_t nbr_first; /* ... at neighbour indices nbr_first to nbr_first + nbr_num - 1 */
} luSL_ChScanChannelInfo;

typedef struct luSL_ChScanRadioInfo {
    uint8_t ruid[6];
    uint8_t timestamp[65];
    uint32_t scan_duration;
    uint8_t scan_type; /* bit 7 set: active scan */
    uint8_t ch_num;    /* 0 to 60 */
    luSL_ChScanChannelInfo ch[MAX_CHANNEL_NUM_PER_OPCLASS];
} luSL_ChScanRadioInfo;

typedef struct luSL_ChScanReport {
    uint8_t radio_num; /* 0 to 2 */
    luSL_ChScanRadioInfo radio[MAX_RADIO_PER_DEVICE];
    uint32_t nbr_total; /* neighbours in the datagram, in order: radio, channel, list */
    uint32_t length;    /* bytes of data the report took; later bytes are not read */
} luSL_ChScanReport;

/* Decodes the compact Channel Scan Report in data[0..len) into *report (fully overwritten,
 * unused entries zero) and its neighbours, in datagram order, into nbrs[0..nbr_cap).
 * Returns the number of neighbours in the datagram, which may exceed nbr_cap: then only
 * the first nbr_cap are stored (nbrs may be NULL with nbr_cap 0 to size the array first).
 * Returns -1, with *report zeroed (nbrs may be partly written), when data or report is
 * NULL, the header is not 0x801C, a count exceeds its limit (2 radios, 60 channels, 33-byte
 * strings) or a block runs past len. Bytes after the report are ignored, so a whole receive
 * buffer may be passed; report->length tells where the report ended. */
LUSL_API int luSL_ChScanRpt_decode(const uint8_t *data, size_t len, luSL_ChScanReport *report,
                                   luSL_ChScanNbr *nbrs, size_t nbr_cap);

#ifdef __cplusplus
}
#endif
#endif
