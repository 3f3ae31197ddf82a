/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL message records: the fixed byte layouts that travel on the message channel.
 *
 * Every record is a packed struct whose offsets are part of the wire format between the
 * mesh daemon and the steering logic, so each documented offset is pinned below. Integers
 * are host order (little-endian on every supported target) unless a field is a byte array,
 * which holds bytes in wire order. Compiles as C11 and C++. */
#ifndef LUSL_RECORDS_H
#define LUSL_RECORDS_H

#include <stddef.h>
#include <stdint.h>

#include "luSL/messages.h"

/* Records and compact forms are little-endian byte for byte; a big-endian build would put
 * every integer on the channel the wrong way round. */
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "luSL supports little-endian targets only: records and compact forms are little-endian"
#endif

#ifdef __cplusplus
#define LUSL_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define LUSL_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
#define LUSL_PACKED __attribute__((packed))
/* Pins a field offset: LUSL_AT(TopologyNotification, bssid, 8). */
#define LUSL_AT(type, field, off) \
    LUSL_STATIC_ASSERT(offsetof(type, field) == (off), #type "." #field " must sit at " #off)
#define LUSL_SIZE(type, n) LUSL_STATIC_ASSERT(sizeof(type) == (n), "sizeof(" #type ") must be " #n)

#define MAX_RADIO_PER_DEVICE 2
#define MAX_BSS_PER_DEVICE 10
#define MAX_STA_PER_BSS 64
#define MAX_CHANNEL_NUM_PER_OPCLASS 60
#define SOCKET_MAX_LENGTH 32762

#ifdef __cplusplus
extern "C" {
#endif

/* First two bytes of every record and datagram: the message type, low byte first. */
typedef struct LUSL_PACKED luSL_RecordHeader {
    uint8_t type_lo;
    uint8_t type_hi;
} luSL_RecordHeader;
LUSL_SIZE(luSL_RecordHeader, 2);

/* ---------------------------------------------------------------- station events */

/* 0x0001 Topology Notification */
typedef struct LUSL_PACKED TopologyNotification {
    luSL_RecordHeader hdr;
    uint8_t client_mac[6];
    uint8_t bssid[6];
    uint8_t assoc_event; /* 1 joined, 0 left */
} TopologyNotification;
LUSL_AT(TopologyNotification, client_mac, 2);
LUSL_AT(TopologyNotification, bssid, 8);
LUSL_AT(TopologyNotification, assoc_event, 14);
LUSL_SIZE(TopologyNotification, LUSL_LEN_TOPOLOGY_NOTIFICATION);

/* 0x8022 Client Disassociation Stats */
typedef struct LUSL_PACKED ClientDisassocStat {
    luSL_RecordHeader hdr;
    uint16_t reason_code;
    uint8_t sta_mac[6];
} ClientDisassocStat;
LUSL_AT(ClientDisassocStat, reason_code, 2);
LUSL_AT(ClientDisassocStat, sta_mac, 4);
LUSL_SIZE(ClientDisassocStat, LUSL_LEN_CLIENT_DISASSOC_STATS);

/* 0x8033 Failed Connection */
typedef struct LUSL_PACKED FailedConn {
    luSL_RecordHeader hdr;
    uint16_t reason_code;
    uint16_t status_code;
    uint8_t bssid[6];
    uint8_t sta_mac[6];
} FailedConn;
LUSL_AT(FailedConn, reason_code, 2);
LUSL_AT(FailedConn, status_code, 4);
LUSL_AT(FailedConn, bssid, 6);
LUSL_AT(FailedConn, sta_mac, 12);
LUSL_SIZE(FailedConn, LUSL_LEN_FAILED_CONNECTION);

/* 0x8025 Association Status Notification */
typedef struct LUSL_PACKED AssocStatusBss {
    uint8_t bssid[6];
    uint8_t allowance; /* 0 no more associations allowed, 1 allowed */
} AssocStatusBss;
LUSL_SIZE(AssocStatusBss, 7);

typedef struct LUSL_PACKED AssocStatusNotification {
    luSL_RecordHeader hdr;
    uint8_t bss_num;
    AssocStatusBss bss[MAX_BSS_PER_DEVICE];
} AssocStatusNotification;
LUSL_AT(AssocStatusNotification, bss_num, 2);
LUSL_AT(AssocStatusNotification, bss, 3);
LUSL_AT(AssocStatusNotification, bss[1].bssid, 10);
LUSL_AT(AssocStatusNotification, bss[0].allowance, 9);
LUSL_SIZE(AssocStatusNotification, LUSL_LEN_ASSOC_STATUS_NOTIFICATION);

#ifdef __cplusplus
}
#endif

/* The record families, one header each. */
#include "luSL/records/topology.h"
#include "luSL/records/channel.h"
#include "luSL/records/capability.h"
#include "luSL/records/client.h"
#include "luSL/records/metrics.h"
#include "luSL/records/scan.h"

#endif
