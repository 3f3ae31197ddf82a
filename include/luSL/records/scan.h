/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL records: scan family. Included by luSL/records.h; not meant to be included alone. */
#ifndef LUSL_RECORDS_SCAN_H
#define LUSL_RECORDS_SCAN_H

#include "luSL/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- 0x801C Channel Scan Report
 *
 * Neighbour lists hang off the channel entries as separately allocated nodes. The head and
 * next links are 4-byte fields on every platform: on the 32-bit target a link is the node's
 * address, on wider hosts an opaque 32-bit handle the library resolves itself. 0 ends a list.
 * Links mean nothing outside the process that built the record; the record is never sent as
 * is (luSL_ChScanRptSendV2 builds the compact form). */

/* One neighbour BSS heard on a channel (88 bytes, zero-filled at allocation). */
typedef struct LUSL_PACKED ChScanNbrBss {
    uint8_t reserved0[4];
    uint32_t next; /* link to the next neighbour of the channel, 0 at the end */
    uint8_t bssid[6];
    uint8_t ssid[33]; /* SSID bytes, the rest 0 */
    uint8_t ssid_len; /* as received; only the first 33 bytes are kept */
    uint8_t signal_strength;
    uint8_t ch_bw[33]; /* channel bandwidth string bytes, the rest 0 */
    uint8_t ch_bw_len; /* as received; only the first 33 bytes are kept */
    uint8_t bss_load_present; /* as received; bit 7 set: the two fields below came from the element */
    uint8_t ch_util;
    uint8_t reserved85;
    uint16_t sta_count;
} ChScanNbrBss;
LUSL_AT(ChScanNbrBss, next, 4);
LUSL_AT(ChScanNbrBss, bssid, 8);
LUSL_AT(ChScanNbrBss, ssid, 14);
LUSL_AT(ChScanNbrBss, ssid_len, 47);
LUSL_AT(ChScanNbrBss, signal_strength, 48);
LUSL_AT(ChScanNbrBss, ch_bw, 49);
LUSL_AT(ChScanNbrBss, ch_bw_len, 82);
LUSL_AT(ChScanNbrBss, bss_load_present, 83);
LUSL_AT(ChScanNbrBss, ch_util, 84);
LUSL_AT(ChScanNbrBss, sta_count, 86);
LUSL_SIZE(ChScanNbrBss, 88);

/* One scanned (operating class, channel) of a radio, in order of arrival (80 bytes). */
typedef struct LUSL_PACKED ChScanChannel {
    uint8_t op_class;
    uint8_t channel;
    uint8_t scan_status; /* 0 success; otherwise the fields below stay 0 */
    uint8_t ch_util;
    uint8_t noise;
    uint8_t reserved5;
    uint16_t nbr_num;      /* neighbours in the list; 0 once the list was released */
    char timestamp[65];    /* zero-terminated, at most 64 characters */
    uint8_t reserved73[3];
    uint32_t nbr_head;     /* link to the first neighbour, 0 for none */
} ChScanChannel;
LUSL_AT(ChScanChannel, op_class, 0);
LUSL_AT(ChScanChannel, channel, 1);
LUSL_AT(ChScanChannel, scan_status, 2);
LUSL_AT(ChScanChannel, ch_util, 3);
LUSL_AT(ChScanChannel, noise, 4);
LUSL_AT(ChScanChannel, nbr_num, 6);
LUSL_AT(ChScanChannel, timestamp, 8);
LUSL_AT(ChScanChannel, nbr_head, 76);
LUSL_SIZE(ChScanChannel, 80);

/* One scanned radio (4880 bytes); in use when its RUID is not all zero. */
typedef struct LUSL_PACKED ChScanRadio {
    uint8_t scan_type;      /* of the latest successful result; bit 7 set: active scan */
    uint8_t ruid[6];
    uint8_t timestamp[65];  /* bytes of the latest successful result over the earlier ones */
    uint8_t ch_num;         /* channel entries in use, 0 to 60 */
    uint8_t reserved73[3];
    uint32_t scan_duration; /* aggregate scan duration of the latest successful result */
    ChScanChannel ch[MAX_CHANNEL_NUM_PER_OPCLASS];
} ChScanRadio;
LUSL_AT(ChScanRadio, scan_type, 0);
LUSL_AT(ChScanRadio, ruid, 1);
LUSL_AT(ChScanRadio, timestamp, 7);
LUSL_AT(ChScanRadio, ch_num, 72);
LUSL_AT(ChScanRadio, scan_duration, 76);
LUSL_AT(ChScanRadio, ch, 80);
LUSL_SIZE(ChScanRadio, 4880);

typedef struct LUSL_PACKED ChScanRpt {
    luSL_RecordHeader hdr;
    uint8_t radio_num; /* radio entries in use, 0 to 2 */
    ChScanRadio radio[MAX_RADIO_PER_DEVICE];
} ChScanRpt;
LUSL_AT(ChScanRpt, radio_num, 2);
LUSL_AT(ChScanRpt, radio, 3);
LUSL_AT(ChScanRpt, radio[1], 4883);
LUSL_AT(ChScanRpt, radio[0].ch[1], 163);
LUSL_AT(ChScanRpt, radio[1].ch[59].nbr_head, 9759);
LUSL_SIZE(ChScanRpt, LUSL_LEN_CHANNEL_SCAN_REPORT);

#ifdef __cplusplus
}
#endif
#endif
