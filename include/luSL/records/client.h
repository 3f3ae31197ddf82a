/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL records: client family. Included by luSL/records.h; not meant to be included alone. */
#ifndef LUSL_RECORDS_CLIENT_H
#define LUSL_RECORDS_CLIENT_H

#include "luSL/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Room for the (re)association request body kept in the report. */
#define CLI_CAP_FRAME_MAX 2048

/* VHT capabilities of the station, from its VHT Capabilities element. */
typedef struct LUSL_PACKED CliCapVht {
    uint8_t tx_mcs_map[2]; /* as in the frame (little-endian) */
    uint8_t rx_mcs_map[2]; /* as in the frame (little-endian) */
    uint8_t short_gi;      /* bit 1 short GI 80 MHz, bit 0 short GI 160 and 80+80 MHz */
    uint8_t flags;         /* bit 7 80+80 MHz, bit 6 160 MHz, bit 5 SU beamformer, bit 4 MU beamformer */
} CliCapVht;
LUSL_AT(CliCapVht, tx_mcs_map, 0);
LUSL_AT(CliCapVht, rx_mcs_map, 2);
LUSL_AT(CliCapVht, short_gi, 4);
LUSL_AT(CliCapVht, flags, 5);
LUSL_SIZE(CliCapVht, 6);

/* HE summary of the station, in the layout of a Wi-Fi 6 role entry of the AP report. */
typedef struct LUSL_PACKED CliCapHeSummary {
    uint8_t role;          /* bits 0-1 agent role, bit 2 HE 160, bit 3 HE 80+80, bits 4-7 MCS NSS length */
    uint8_t mcs_nss[12];   /* HE-MCS maps for 80 MHz or less, the rest 0 */
    uint8_t bf_flags;      /* bit 0 SU bfer, 1 SU bfee, 2 MU bfer, 3 bfee STS <=80, 4 bfee STS >80,
                              5 UL MU-MIMO, 6 UL OFDMA, 7 DL OFDMA */
    uint8_t mu_mimo_users; /* always 0 for a station */
    uint8_t dl_ofdma_tx;   /* always 0 for a station */
    uint8_t ul_ofdma_rx;   /* always 0 for a station */
    uint8_t rts_twt_flags; /* bit 0 RTS, 1 MU RTS, 2 multi-BSSID, 3 MU EDCA, 4 TWT requester,
                              5 TWT responder, 6 spatial reuse, 7 anticipated channel usage */
} CliCapHeSummary;
LUSL_AT(CliCapHeSummary, mcs_nss, 1);
LUSL_AT(CliCapHeSummary, bf_flags, 13);
LUSL_AT(CliCapHeSummary, mu_mimo_users, 14);
LUSL_AT(CliCapHeSummary, rts_twt_flags, 17);
LUSL_SIZE(CliCapHeSummary, 18);

/* 0x800A Client Capability Report. MCS sets and maps are copied as they stand in the frame. */
typedef struct LUSL_PACKED CliCapRpt {
    luSL_RecordHeader hdr;
    uint8_t bssid[6];
    uint8_t sta_mac[6];
    uint8_t phy_types;        /* 0x01 HT, 0x02 VHT, 0x04 HE, 0x08 EHT: every element seen */
    uint8_t cur_phy_type;     /* the bit of the last HT, VHT, HE or EHT element */
    uint8_t support11v;       /* BSS transition supported: 0 or 1 */
    uint8_t bw_ht;            /* bandwidth mask: 20 MHz, plus 40 MHz */
    uint8_t bw_vht;           /* 20/40/80 MHz, plus 160 or 80+80 MHz */
    uint8_t bw_he;
    uint16_t bw_eht;          /* the HE bandwidths plus 320 MHz */
    uint8_t short_gi;         /* bit 0 HT, bit 1 VHT, bit 2 HE, bit 3 EHT */
    uint8_t ht_mcs_set[16];   /* HT Supported MCS Set */
    uint8_t vht_mcs_nss[8];   /* VHT Supported MCS and NSS Set */
    uint8_t he_mcs_80[4];     /* HE-MCS Rx and Tx maps, 80 MHz or less */
    uint8_t he_mcs_160[4];
    uint8_t he_mcs_80p80[4];
    uint8_t eht_mcs_20only[4]; /* EHT-MCS map of a 20 MHz-only station */
    uint8_t eht_mcs_80[3];
    uint8_t eht_mcs_160[3];
    uint8_t eht_mcs_320[3];
    uint8_t max_mcs;          /* 7 HT, 9 VHT, 11 HE, 13 EHT: the last such element */
    uint8_t max_legacy_rate;  /* Mbit/s, integer part */
    uint8_t he_6ghz;          /* HE 6 GHz Band Capabilities element present */
    uint8_t ht_cap;           /* bit 3 short GI 20 MHz, bit 2 short GI 40 MHz, bit 1 40 MHz */
    CliCapVht vht;
    CliCapHeSummary he;
    uint16_t frame_len;       /* bytes of frame kept */
    uint8_t frame[CLI_CAP_FRAME_MAX]; /* the request body as received, zero-filled behind */
} CliCapRpt;
LUSL_AT(CliCapRpt, bssid, 2);
LUSL_AT(CliCapRpt, sta_mac, 8);
LUSL_AT(CliCapRpt, phy_types, 14);
LUSL_AT(CliCapRpt, cur_phy_type, 15);
LUSL_AT(CliCapRpt, support11v, 16);
LUSL_AT(CliCapRpt, bw_ht, 17);
LUSL_AT(CliCapRpt, bw_vht, 18);
LUSL_AT(CliCapRpt, bw_he, 19);
LUSL_AT(CliCapRpt, bw_eht, 20);
LUSL_AT(CliCapRpt, short_gi, 22);
LUSL_AT(CliCapRpt, ht_mcs_set, 23);
LUSL_AT(CliCapRpt, vht_mcs_nss, 39);
LUSL_AT(CliCapRpt, he_mcs_80, 47);
LUSL_AT(CliCapRpt, he_mcs_160, 51);
LUSL_AT(CliCapRpt, he_mcs_80p80, 55);
LUSL_AT(CliCapRpt, eht_mcs_20only, 59);
LUSL_AT(CliCapRpt, eht_mcs_80, 63);
LUSL_AT(CliCapRpt, eht_mcs_160, 66);
LUSL_AT(CliCapRpt, eht_mcs_320, 69);
LUSL_AT(CliCapRpt, max_mcs, 72);
LUSL_AT(CliCapRpt, max_legacy_rate, 73);
LUSL_AT(CliCapRpt, he_6ghz, 74);
LUSL_AT(CliCapRpt, ht_cap, 75);
LUSL_AT(CliCapRpt, vht, 76);
LUSL_AT(CliCapRpt, vht.tx_mcs_map, 76);
LUSL_AT(CliCapRpt, vht.rx_mcs_map, 78);
LUSL_AT(CliCapRpt, vht.short_gi, 80);
LUSL_AT(CliCapRpt, vht.flags, 81);
LUSL_AT(CliCapRpt, he, 82);
LUSL_AT(CliCapRpt, he.mcs_nss, 83);
LUSL_AT(CliCapRpt, he.bf_flags, 95);
LUSL_AT(CliCapRpt, he.rts_twt_flags, 99);
LUSL_AT(CliCapRpt, frame_len, 100);
LUSL_AT(CliCapRpt, frame, 102);
LUSL_SIZE(CliCapRpt, LUSL_LEN_CLIENT_CAPABILITY_REPORT);

#ifdef __cplusplus
}
#endif
#endif
