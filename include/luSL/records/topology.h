/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL records: topology family (Topology Response, Link Metric Response, steering reports,
 * BSS Configuration Request, AP Autoconfiguration WSC). Included by luSL/records.h; not
 * meant to be included alone. */
#ifndef LUSL_RECORDS_TOPOLOGY_H
#define LUSL_RECORDS_TOPOLOGY_H

#include "luSL/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- 0x0003 Topology Response */

#define TOPO_MAX_BSS_PER_RADIO 6
#define TOPO_MAX_SSID_LEN 32

/* One BSS of a radio: created by the AP Operational BSS TLV, annotated by the Vendor
 * Specific MDID and BSS Configuration Report TLVs. */
typedef struct LUSL_PACKED TopologyRespBss {
    uint8_t bssid[6];
    uint8_t marker;             /* 0xFF once read from an AP Operational BSS TLV */
    uint8_t ssid_len;           /* as received */
    uint8_t ssid[TOPO_MAX_SSID_LEN + 1]; /* received bytes, always followed by a zero */
    uint16_t mdid;              /* host order */
    uint8_t mdid_flag;          /* non-zero = enabled */
    uint8_t config_reported;    /* 1 once a BSS Configuration Report named this BSS */
    uint8_t config_flags;       /* that TLV's flag byte, as received */
} TopologyRespBss;
LUSL_AT(TopologyRespBss, marker, 6);
LUSL_AT(TopologyRespBss, ssid_len, 7);
LUSL_AT(TopologyRespBss, ssid, 8);
LUSL_AT(TopologyRespBss, mdid, 41);
LUSL_AT(TopologyRespBss, mdid_flag, 43);
LUSL_AT(TopologyRespBss, config_reported, 44);
LUSL_AT(TopologyRespBss, config_flags, 45);
LUSL_SIZE(TopologyRespBss, 46);

typedef struct LUSL_PACKED TopologyRespRadio {
    uint8_t ruid[6];
    uint8_t bss_num; /* as received; room for TOPO_MAX_BSS_PER_RADIO */
    TopologyRespBss bss[TOPO_MAX_BSS_PER_RADIO];
} TopologyRespRadio;
LUSL_AT(TopologyRespRadio, bss_num, 6);
LUSL_AT(TopologyRespRadio, bss, 7);
LUSL_SIZE(TopologyRespRadio, 283);

typedef struct LUSL_PACKED TopologyResp {
    luSL_RecordHeader hdr;
    uint8_t al_mac[6];
    uint8_t radio_num;        /* as received; room for MAX_RADIO_PER_DEVICE */
    uint8_t vendor_oui[3];    /* OUI of the last Vendor Specific TLV */
    uint8_t media_type[2];    /* first local interface, wire order (big-endian) */
    uint8_t reserved14;
    TopologyRespRadio radio[MAX_RADIO_PER_DEVICE];
    uint8_t reserved581[12];
} TopologyResp;
LUSL_AT(TopologyResp, al_mac, 2);
LUSL_AT(TopologyResp, radio_num, 8);
LUSL_AT(TopologyResp, vendor_oui, 9);
LUSL_AT(TopologyResp, media_type, 12);
LUSL_AT(TopologyResp, radio, 15);
LUSL_AT(TopologyResp, radio[1], 298);
LUSL_AT(TopologyResp, radio[0].bss, 22);
LUSL_AT(TopologyResp, radio[1].bss[5], 305 + 46 * 5);
LUSL_AT(TopologyResp, radio[1].bss[5].config_flags, 580);
LUSL_AT(TopologyResp, reserved581, 581);
LUSL_SIZE(TopologyResp, LUSL_LEN_TOPOLOGY_RESPONSE);

/* ---------------------------------------------------------------- 0x0006 Link Metric Response */

#define LINK_METRIC_MAX_NEIGHBOR 5
#define LINK_METRIC_MAX_LINK 4

/* One interface pair; the transmitter TLV fills it, the receiver TLV adds rx_*. Host order. */
typedef struct LUSL_PACKED LinkMetricEntry {
    uint8_t local_intf[6];
    uint8_t neighbor_intf[6];
    uint32_t tx_packet_errors;
    uint32_t tx_packets;
    uint32_t rx_packet_errors;
    uint32_t rx_packets;
    uint16_t media_type;
    uint16_t mac_throughput_cap; /* Mb/s */
    uint16_t phy_rate;           /* Mb/s */
} LinkMetricEntry;
LUSL_AT(LinkMetricEntry, neighbor_intf, 6);
LUSL_AT(LinkMetricEntry, tx_packet_errors, 12);
LUSL_AT(LinkMetricEntry, tx_packets, 16);
LUSL_AT(LinkMetricEntry, rx_packet_errors, 20);
LUSL_AT(LinkMetricEntry, rx_packets, 24);
LUSL_AT(LinkMetricEntry, media_type, 28);
LUSL_AT(LinkMetricEntry, mac_throughput_cap, 30);
LUSL_AT(LinkMetricEntry, phy_rate, 32);
LUSL_SIZE(LinkMetricEntry, 34);

/* A neighbour slot is free while its AL MAC is all zero. */
typedef struct LUSL_PACKED LinkMetricNeighbor {
    uint8_t al_mac[6];
    LinkMetricEntry link[LINK_METRIC_MAX_LINK];
} LinkMetricNeighbor;
LUSL_AT(LinkMetricNeighbor, link, 6);
LUSL_SIZE(LinkMetricNeighbor, 142);

typedef struct LUSL_PACKED LinkMetricsResp {
    luSL_RecordHeader hdr;
    uint8_t al_mac[6]; /* reporting device, from the last link metric TLV read */
    LinkMetricNeighbor neighbor[LINK_METRIC_MAX_NEIGHBOR];
} LinkMetricsResp;
LUSL_AT(LinkMetricsResp, al_mac, 2);
LUSL_AT(LinkMetricsResp, neighbor, 8);
LUSL_AT(LinkMetricsResp, neighbor[1], 150);
LUSL_AT(LinkMetricsResp, neighbor[0].link[0], 14);
LUSL_AT(LinkMetricsResp, neighbor[4].link[3].phy_rate, 716);
LUSL_SIZE(LinkMetricsResp, LUSL_LEN_LINK_METRIC_RESPONSE);

/* ---------------------------------------------------------------- 0x8015, 0x801A steering */

typedef struct LUSL_PACKED ClientSteeringBTMRpt {
    luSL_RecordHeader hdr;
    uint8_t bssid[6];        /* BSS that sent the BTM request */
    uint8_t sta_mac[6];
    uint8_t status_code;     /* IEEE 802.11, 0 = accept */
    uint8_t target_bssid[6]; /* zero unless the TLV carried one */
} ClientSteeringBTMRpt;
LUSL_AT(ClientSteeringBTMRpt, bssid, 2);
LUSL_AT(ClientSteeringBTMRpt, sta_mac, 8);
LUSL_AT(ClientSteeringBTMRpt, status_code, 14);
LUSL_AT(ClientSteeringBTMRpt, target_bssid, 15);
LUSL_SIZE(ClientSteeringBTMRpt, LUSL_LEN_CLIENT_STEERING_BTM_REPORT);

typedef struct LUSL_PACKED BHSteeringResp {
    luSL_RecordHeader hdr;
    uint8_t sta_mac[6]; /* backhaul STA */
    uint8_t target_bssid[6];
    uint8_t result;     /* 0x00 success, 0x01 failure */
} BHSteeringResp;
LUSL_AT(BHSteeringResp, sta_mac, 2);
LUSL_AT(BHSteeringResp, target_bssid, 8);
LUSL_AT(BHSteeringResp, result, 14);
LUSL_SIZE(BHSteeringResp, LUSL_LEN_BACKHAUL_STEERING_RESPONSE);

/* ---------------------------------------------------------------- 0x802C BSS Configuration Request */

#define BSS_CONFIG_MAX_AKM 10

typedef struct LUSL_PACKED BssConfigRadio {
    uint8_t ruid[6];
    uint8_t reserved[6];
} BssConfigRadio;
LUSL_SIZE(BssConfigRadio, 12);

typedef struct LUSL_PACKED AkmSuiteSelector {
    uint8_t oui[3];
    uint8_t type;
} AkmSuiteSelector;
LUSL_SIZE(AkmSuiteSelector, 4);

/* Fronthaul list first, unlike the TLV. */
typedef struct LUSL_PACKED BssConfigReq {
    luSL_RecordHeader hdr;
    uint8_t radio_num; /* radios recorded, 0 to MAX_RADIO_PER_DEVICE */
    BssConfigRadio radio[MAX_RADIO_PER_DEVICE];
    uint8_t fh_akm_num; /* as received; room for BSS_CONFIG_MAX_AKM */
    AkmSuiteSelector fh_akm[BSS_CONFIG_MAX_AKM];
    uint8_t bh_akm_num; /* as received; room for BSS_CONFIG_MAX_AKM */
    AkmSuiteSelector bh_akm[BSS_CONFIG_MAX_AKM];
} BssConfigReq;
LUSL_AT(BssConfigReq, radio_num, 2);
LUSL_AT(BssConfigReq, radio, 3);
LUSL_AT(BssConfigReq, radio[1], 15);
LUSL_AT(BssConfigReq, fh_akm_num, 27);
LUSL_AT(BssConfigReq, fh_akm, 28);
LUSL_AT(BssConfigReq, bh_akm_num, 68);
LUSL_AT(BssConfigReq, bh_akm, 69);
LUSL_SIZE(BssConfigReq, LUSL_LEN_BSS_CONFIG_REQUEST);

/* ---------------------------------------------------------------- 0x0009 AP Autoconfiguration WSC */

#define WSC_TEXT_LEN 64

typedef struct LUSL_PACKED ApAutoConfWSC {
    luSL_RecordHeader hdr;
    uint8_t device_mac[6];               /* source MAC of the message, M1 only */
    uint8_t wsc_msg_type;                /* 4 = M1; 0 without a Message Type attribute */
    uint8_t manufacturer[WSC_TEXT_LEN];  /* zero-terminated, M1 only */
    uint8_t model_name[WSC_TEXT_LEN];    /* zero-terminated, M1 only */
    uint8_t serial_number[WSC_TEXT_LEN]; /* zero-terminated, M1 only */
    uint8_t ruid[6];
    uint8_t radio_adv_caps;              /* bit i = wire bit 7-i (i = 0..6); bit 7 never written */
} ApAutoConfWSC;
LUSL_AT(ApAutoConfWSC, device_mac, 2);
LUSL_AT(ApAutoConfWSC, wsc_msg_type, 8);
LUSL_AT(ApAutoConfWSC, manufacturer, 9);
LUSL_AT(ApAutoConfWSC, model_name, 73);
LUSL_AT(ApAutoConfWSC, serial_number, 137);
LUSL_AT(ApAutoConfWSC, ruid, 201);
LUSL_AT(ApAutoConfWSC, radio_adv_caps, 207);
LUSL_SIZE(ApAutoConfWSC, LUSL_LEN_AP_AUTOCONFIG_WSC);

#ifdef __cplusplus
}
#endif
#endif
