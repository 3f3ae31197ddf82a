/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL records: channel family. Included by luSL/records.h; not meant to be included alone. */
#ifndef LUSL_RECORDS_CHANNEL_H
#define LUSL_RECORDS_CHANNEL_H

#include "luSL/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- 0x8005 Channel Preference Report */

#define CHPREF_MAX_OPCLASS 22
#define CAC_MAX_AVAILABLE 68
#define CAC_MAX_NON_OCCUPANCY 52
#define CAC_MAX_ACTIVE 68

typedef struct LUSL_PACKED ChPrefOpClass {
    uint8_t op_class;
    uint8_t channel_num; /* as received; room for MAX_CHANNEL_NUM_PER_OPCLASS */
    uint8_t channel[MAX_CHANNEL_NUM_PER_OPCLASS];
    uint8_t pref_reason; /* low nibble preference, high nibble reason code (swapped from the wire) */
} ChPrefOpClass;
LUSL_AT(ChPrefOpClass, channel_num, 1);
LUSL_AT(ChPrefOpClass, channel, 2);
LUSL_AT(ChPrefOpClass, pref_reason, 62);
LUSL_SIZE(ChPrefOpClass, 63);

typedef struct LUSL_PACKED ChPrefRadio {
    uint8_t ruid[6];
    uint8_t op_class_num; /* as received; room for CHPREF_MAX_OPCLASS */
    ChPrefOpClass op_class[CHPREF_MAX_OPCLASS];
} ChPrefRadio;
LUSL_AT(ChPrefRadio, op_class_num, 6);
LUSL_AT(ChPrefRadio, op_class, 7);
LUSL_AT(ChPrefRadio, op_class[1], 70);
LUSL_SIZE(ChPrefRadio, 1393);

typedef struct LUSL_PACKED CacAvailableChannel {
    uint8_t op_class;
    uint8_t channel;
    uint16_t minutes; /* since the CAC completed */
} CacAvailableChannel;
LUSL_AT(CacAvailableChannel, minutes, 2);
LUSL_SIZE(CacAvailableChannel, 4);

typedef struct LUSL_PACKED CacNonOccupancyChannel {
    uint8_t op_class;
    uint8_t channel;
    uint16_t seconds; /* of non-occupancy remaining */
} CacNonOccupancyChannel;
LUSL_AT(CacNonOccupancyChannel, seconds, 2);
LUSL_SIZE(CacNonOccupancyChannel, 4);

typedef struct LUSL_PACKED CacActiveChannel {
    uint8_t op_class;
    uint8_t channel;
    uint32_t countdown; /* seconds, 24 bits on the wire */
} CacActiveChannel;
LUSL_AT(CacActiveChannel, countdown, 2);
LUSL_SIZE(CacActiveChannel, 6);

typedef struct LUSL_PACKED ChannelPreferenceRpt {
    luSL_RecordHeader hdr;
    uint8_t device_mac[6]; /* source MAC of the message, written by the parser */
    uint8_t radio_num;     /* 0 to MAX_RADIO_PER_DEVICE */
    uint8_t cac_present;   /* 1 once a CAC Status Report was read */
    uint8_t available_num; /* the three CAC counts are as received */
    CacAvailableChannel available[CAC_MAX_AVAILABLE];
    uint8_t non_occupancy_num;
    CacNonOccupancyChannel non_occupancy[CAC_MAX_NON_OCCUPANCY];
    uint8_t active_num;
    CacActiveChannel active[CAC_MAX_ACTIVE];
    ChPrefRadio radio[MAX_RADIO_PER_DEVICE];
} ChannelPreferenceRpt;
LUSL_AT(ChannelPreferenceRpt, device_mac, 2);
LUSL_AT(ChannelPreferenceRpt, radio_num, 8);
LUSL_AT(ChannelPreferenceRpt, cac_present, 9);
LUSL_AT(ChannelPreferenceRpt, available_num, 10);
LUSL_AT(ChannelPreferenceRpt, available, 11);
LUSL_AT(ChannelPreferenceRpt, available[1], 15);
LUSL_AT(ChannelPreferenceRpt, non_occupancy_num, 283);
LUSL_AT(ChannelPreferenceRpt, non_occupancy, 284);
LUSL_AT(ChannelPreferenceRpt, non_occupancy[1], 288);
LUSL_AT(ChannelPreferenceRpt, active_num, 492);
LUSL_AT(ChannelPreferenceRpt, active, 493);
LUSL_AT(ChannelPreferenceRpt, active[1].countdown, 501);
LUSL_AT(ChannelPreferenceRpt, radio, 901);
LUSL_AT(ChannelPreferenceRpt, radio[0].op_class, 908);
LUSL_AT(ChannelPreferenceRpt, radio[1], 2294);
LUSL_SIZE(ChannelPreferenceRpt, LUSL_LEN_CHANNEL_PREFERENCE_REPORT);

/* ---------------------------------------------------------------- 0x8008 Operating Channel Report */

#define OPERCHAN_MAX_OPCLASS 8

typedef struct LUSL_PACKED OperChanPair {
    uint8_t op_class;
    uint8_t channel; /* current operating channel */
} OperChanPair;
LUSL_SIZE(OperChanPair, 2);

typedef struct LUSL_PACKED OperChanRadio {
    uint8_t ruid[6];
    uint8_t op_class_num; /* received count capped at OPERCHAN_MAX_OPCLASS */
    OperChanPair pair[OPERCHAN_MAX_OPCLASS]; /* ascending operating class */
    uint8_t tx_power;     /* current transmit power EIRP, as received */
} OperChanRadio;
LUSL_AT(OperChanRadio, op_class_num, 6);
LUSL_AT(OperChanRadio, pair, 7);
LUSL_AT(OperChanRadio, tx_power, 23);
LUSL_SIZE(OperChanRadio, 24);

typedef struct LUSL_PACKED OperatingChanRpt {
    luSL_RecordHeader hdr;
    uint8_t device_mac[6]; /* source MAC of the message */
    uint8_t radio_num;     /* ordinal of the last report read, plus 1 */
    OperChanRadio radio[MAX_RADIO_PER_DEVICE];
} OperatingChanRpt;
LUSL_AT(OperatingChanRpt, device_mac, 2);
LUSL_AT(OperatingChanRpt, radio_num, 8);
LUSL_AT(OperatingChanRpt, radio, 9);
LUSL_AT(OperatingChanRpt, radio[1], 33);
LUSL_SIZE(OperatingChanRpt, LUSL_LEN_OPERATING_CHANNEL_REPORT);

/* ---------------------------------------------------------------- 0x800E Associated STA Link Metric Response */

/* Uplink before downlink, the reverse of the wire. */
typedef struct LUSL_PACKED AssocStaMetricsResp {
    luSL_RecordHeader hdr;
    uint8_t sta_mac[6];
    uint32_t uplink_rate;   /* estimated MAC data rate, Mb/s */
    uint32_t downlink_rate; /* estimated MAC data rate, Mb/s */
    uint8_t uplink_rcpi;
    uint8_t bssid[6];
    uint8_t reserved[53];
} AssocStaMetricsResp;
LUSL_AT(AssocStaMetricsResp, sta_mac, 2);
LUSL_AT(AssocStaMetricsResp, uplink_rate, 8);
LUSL_AT(AssocStaMetricsResp, downlink_rate, 12);
LUSL_AT(AssocStaMetricsResp, uplink_rcpi, 16);
LUSL_AT(AssocStaMetricsResp, bssid, 17);
LUSL_AT(AssocStaMetricsResp, reserved, 23);
LUSL_SIZE(AssocStaMetricsResp, LUSL_LEN_ASSOC_STA_LINK_METRIC_RESPONSE);

/* ---------------------------------------------------------------- 0x8010 Unassociated STA Link Metric Response */

#define UNASSOC_MAX_STA 64

/* No count: an entry is in use when its STA MAC is not all zero. */
typedef struct LUSL_PACKED UnAssocStaEntry {
    uint8_t sta_mac[6];
    uint8_t channel;
    uint8_t uplink_rcpi;
} UnAssocStaEntry;
LUSL_AT(UnAssocStaEntry, channel, 6);
LUSL_AT(UnAssocStaEntry, uplink_rcpi, 7);
LUSL_SIZE(UnAssocStaEntry, 8);

typedef struct LUSL_PACKED UnAssocStaMetricsResp {
    luSL_RecordHeader hdr;
    uint8_t device_mac[6]; /* source MAC of the message (the measuring device) */
    uint8_t op_class;
    UnAssocStaEntry sta[UNASSOC_MAX_STA];
} UnAssocStaMetricsResp;
LUSL_AT(UnAssocStaMetricsResp, device_mac, 2);
LUSL_AT(UnAssocStaMetricsResp, op_class, 8);
LUSL_AT(UnAssocStaMetricsResp, sta, 9);
LUSL_AT(UnAssocStaMetricsResp, sta[1], 17);
LUSL_AT(UnAssocStaMetricsResp, sta[63], 513);
LUSL_SIZE(UnAssocStaMetricsResp, LUSL_LEN_UNASSOC_STA_LINK_METRIC_RESPONSE);

#ifdef __cplusplus
}
#endif
#endif
