/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL records: capability family (AP Capability Report). Included by luSL/records.h; not
 * meant to be included alone. */
#ifndef LUSL_RECORDS_CAPABILITY_H
#define LUSL_RECORDS_CAPABILITY_H

#include "luSL/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- 0x8002 AP Capability Report */

#define APCAP_MAX_OPCLASS 22        /* operating classes per radio, and scan operating classes */
#define APCAP_MAX_CAC_TYPE 4        /* CAC types per radio */
#define APCAP_MAX_CAC_OPCLASS 11    /* operating classes per CAC type */
#define APCAP_MAX_WIFI6_ROLE 2      /* Wi-Fi 6 role entries per radio */
#define APCAP_MAX_STR_LEN 64        /* inventory strings; each field has one more byte, always 0 */

/* One operating class of a radio (basic capabilities). */
typedef struct LUSL_PACKED ApCapOpClass {
    uint8_t opclass;
    uint8_t max_txpower;    /* EIRP, as received */
    uint8_t non_op_ch_num;  /* as received; room for MAX_CHANNEL_NUM_PER_OPCLASS */
    uint8_t non_op_ch[MAX_CHANNEL_NUM_PER_OPCLASS];
} ApCapOpClass;
LUSL_AT(ApCapOpClass, max_txpower, 1);
LUSL_AT(ApCapOpClass, non_op_ch_num, 2);
LUSL_AT(ApCapOpClass, non_op_ch, 3);
LUSL_SIZE(ApCapOpClass, 63);

/* An operating class with its channel list (channel scan and CAC capabilities). */
typedef struct LUSL_PACKED ApCapChanList {
    uint8_t opclass;
    uint8_t ch_num;         /* as received; room for MAX_CHANNEL_NUM_PER_OPCLASS */
    uint8_t ch[MAX_CHANNEL_NUM_PER_OPCLASS];
} ApCapChanList;
LUSL_AT(ApCapChanList, ch_num, 1);
LUSL_AT(ApCapChanList, ch, 2);
LUSL_SIZE(ApCapChanList, 62);

typedef struct LUSL_PACKED ApCapCacType {
    uint8_t method;
    uint32_t duration;      /* seconds, host order (24 bits on the wire) */
    uint8_t opclass_num;    /* as received; room for APCAP_MAX_CAC_OPCLASS */
    ApCapChanList opclass[APCAP_MAX_CAC_OPCLASS];
} ApCapCacType;
LUSL_AT(ApCapCacType, duration, 1);
LUSL_AT(ApCapCacType, opclass_num, 5);
LUSL_AT(ApCapCacType, opclass, 6);
LUSL_SIZE(ApCapCacType, 688);

/* One Wi-Fi 6 role. Where noted "bit-reversed", record bit i holds bit 7 - i of the TLV byte. */
typedef struct LUSL_PACKED ApCapWifi6Role {
    uint8_t role;           /* bits 0-1 agent role, 2 HE160, 3 HE80+80, 4-7 MCS NSS length */
    uint8_t mcs_nss[12];    /* the first MCS-NSS-length bytes as received, the rest 0 */
    uint8_t bf_flags;       /* bit-reversed: SU beamformer ... DL OFDMA */
    uint8_t mu_mimo;        /* bits 0-3 max DL MU-MIMO TX, bits 4-7 max UL MU-MIMO RX */
    uint8_t dl_ofdma_tx;
    uint8_t ul_ofdma_rx;
    uint8_t rts_flags;      /* bit-reversed: RTS ... anticipated channel usage */
} ApCapWifi6Role;
LUSL_AT(ApCapWifi6Role, mcs_nss, 1);
LUSL_AT(ApCapWifi6Role, bf_flags, 13);
LUSL_AT(ApCapWifi6Role, mu_mimo, 14);
LUSL_AT(ApCapWifi6Role, dl_ofdma_tx, 15);
LUSL_AT(ApCapWifi6Role, ul_ofdma_rx, 16);
LUSL_AT(ApCapWifi6Role, rts_flags, 17);
LUSL_SIZE(ApCapWifi6Role, 18);

typedef struct LUSL_PACKED ApCapRadio {
    /* summary */
    uint8_t ruid[6];        /* the key every capability TLV finds the radio by */
    uint16_t sup_bw;        /* bandwidth mask, bits only ever added */
    uint8_t short_gi;       /* short guard interval mask, bits only ever added */
    uint8_t tx_nss;         /* 1-based; the last HT/VHT/HE/EHT TLV decides */
    uint8_t rx_nss;
    uint8_t phy_types;      /* 0x01 HT, 0x02 VHT, 0x04 HE, 0x08 EHT */
    uint8_t max_mcs;
    /* basic capabilities */
    uint8_t max_bss;
    uint8_t opclass_num;    /* as received; room for APCAP_MAX_OPCLASS */
    ApCapOpClass opclass[APCAP_MAX_OPCLASS];
    /* channel scan capabilities */
    uint8_t scan_on_boot_only;
    uint8_t scan_impact;
    uint32_t min_scan_interval;
    uint8_t scan_opclass_num; /* as received; room for APCAP_MAX_OPCLASS */
    ApCapChanList scan_opclass[APCAP_MAX_OPCLASS];
    /* CAC capabilities */
    uint8_t cac_type_num;   /* as received; room for APCAP_MAX_CAC_TYPE */
    ApCapCacType cac_type[APCAP_MAX_CAC_TYPE];
    /* Wi-Fi 6 capabilities */
    uint8_t wifi6_role_num; /* as received; room for APCAP_MAX_WIFI6_ROLE */
    ApCapWifi6Role wifi6_role[APCAP_MAX_WIFI6_ROLE];
    /* raw capability bytes */
    uint8_t ht_cap;
    uint8_t vht_cap[6];     /* Tx MCS map, Rx MCS map (big-endian), two flag bytes */
    uint8_t chipset_vendor[APCAP_MAX_STR_LEN + 1];
    uint8_t he_cap_flags;
} ApCapRadio;
LUSL_AT(ApCapRadio, sup_bw, 6);
LUSL_AT(ApCapRadio, short_gi, 8);
LUSL_AT(ApCapRadio, tx_nss, 9);
LUSL_AT(ApCapRadio, rx_nss, 10);
LUSL_AT(ApCapRadio, phy_types, 11);
LUSL_AT(ApCapRadio, max_mcs, 12);
LUSL_AT(ApCapRadio, max_bss, 13);
LUSL_AT(ApCapRadio, opclass_num, 14);
LUSL_AT(ApCapRadio, opclass, 15);
LUSL_AT(ApCapRadio, opclass[21], 15 + 63 * 21);
LUSL_AT(ApCapRadio, scan_on_boot_only, 1401);
LUSL_AT(ApCapRadio, scan_impact, 1402);
LUSL_AT(ApCapRadio, min_scan_interval, 1403);
LUSL_AT(ApCapRadio, scan_opclass_num, 1407);
LUSL_AT(ApCapRadio, scan_opclass, 1408);
LUSL_AT(ApCapRadio, scan_opclass[21].ch, 1410 + 62 * 21);
LUSL_AT(ApCapRadio, cac_type_num, 2772);
LUSL_AT(ApCapRadio, cac_type, 2773);
LUSL_AT(ApCapRadio, cac_type[3].opclass[10].ch, 2773 + 688 * 3 + 6 + 62 * 10 + 2);
LUSL_AT(ApCapRadio, wifi6_role_num, 5525);
LUSL_AT(ApCapRadio, wifi6_role, 5526);
LUSL_AT(ApCapRadio, wifi6_role[1], 5526 + 18);
LUSL_AT(ApCapRadio, ht_cap, 5562);
LUSL_AT(ApCapRadio, vht_cap, 5563);
LUSL_AT(ApCapRadio, chipset_vendor, 5569);
LUSL_AT(ApCapRadio, he_cap_flags, 5634);
LUSL_SIZE(ApCapRadio, 5635);

typedef struct LUSL_PACKED ApCapRpt {
    luSL_RecordHeader hdr;
    uint8_t device_mac[6];  /* source MAC of the message */
    uint8_t radio_num;      /* entries in use, 0 to MAX_RADIO_PER_DEVICE */
    uint8_t ap_capability;  /* as received */
    ApCapRadio radio[MAX_RADIO_PER_DEVICE];
    uint8_t country_code[2];            /* as received */
    uint32_t metric_collection_interval; /* host order */
    /* 1905 layer security capability */
    uint8_t sec_cap_present;            /* 1 once the TLV was read */
    uint8_t sec_onboarding_protocol;
    uint8_t sec_mic_algorithm;
    uint8_t sec_encryption_algorithm;
    /* profile-2 AP capability */
    uint8_t p2_max_prio_rules;
    uint8_t p2_byte_counter_units;      /* 0 to 3 */
    uint8_t p2_prioritization;          /* 0 or 1 */
    uint8_t p2_dpp_onboarding;          /* 0 or 1 */
    uint8_t p2_traffic_separation;      /* 0 or 1 */
    uint8_t p2_max_vids;
    /* device inventory */
    uint8_t sw_version[APCAP_MAX_STR_LEN + 1];
    uint8_t exec_env[APCAP_MAX_STR_LEN + 1];
} ApCapRpt;
LUSL_AT(ApCapRpt, device_mac, 2);
LUSL_AT(ApCapRpt, radio_num, 8);
LUSL_AT(ApCapRpt, ap_capability, 9);
LUSL_AT(ApCapRpt, radio, 10);
LUSL_AT(ApCapRpt, radio[1], 10 + 5635);
LUSL_AT(ApCapRpt, country_code, 11280);
LUSL_AT(ApCapRpt, metric_collection_interval, 11282);
LUSL_AT(ApCapRpt, sec_cap_present, 11286);
LUSL_AT(ApCapRpt, sec_onboarding_protocol, 11287);
LUSL_AT(ApCapRpt, sec_mic_algorithm, 11288);
LUSL_AT(ApCapRpt, sec_encryption_algorithm, 11289);
LUSL_AT(ApCapRpt, p2_max_prio_rules, 11290);
LUSL_AT(ApCapRpt, p2_byte_counter_units, 11291);
LUSL_AT(ApCapRpt, p2_prioritization, 11292);
LUSL_AT(ApCapRpt, p2_dpp_onboarding, 11293);
LUSL_AT(ApCapRpt, p2_traffic_separation, 11294);
LUSL_AT(ApCapRpt, p2_max_vids, 11295);
LUSL_AT(ApCapRpt, sw_version, 11296);
LUSL_AT(ApCapRpt, exec_env, 11361);
LUSL_SIZE(ApCapRpt, LUSL_LEN_AP_CAPABILITY_REPORT);

#ifdef __cplusplus
}
#endif
#endif
