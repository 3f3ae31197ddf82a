/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL: CMDU TLV streams to fixed-layout records, carried over loopback UDP.
 *
 * The mesh daemon calls luSL_Msg_parser() once per received CMDU; the record of that type
 * is built, sent as one datagram to 127.0.0.1:dest_port and released before the call
 * returns. The steering logic takes records off its socket with luSL_Msg_recv().
 * Nothing here is thread-safe: parse from one thread. Compiles as C11 and C++. */
#ifndef LUSL_H
#define LUSL_H

#include <stddef.h>
#include <stdint.h>

#include "luSL/records.h"

#define LUSL_API __attribute__((visibility("default")))
#include "luSL/version.h"

/* Fixed port of the event channel. */
#define LUSL_EVT_PORT 49995

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------ globals */

/* The channel socket stored by the calling process; the library only reads it. 0 at load time. */
extern LUSL_API int msg_sock_fd;

/* Record slots: null between messages. A slot left non-null blocks its message type. */
extern LUSL_API struct TopologyNotification *pTopologyNotification;       /* 0x0001 */
extern LUSL_API struct TopologyResp *pTopologyResp;                       /* 0x0003 */
extern LUSL_API struct LinkMetricsResp *pLinkMetricsResp;                 /* 0x0006 */
extern LUSL_API struct ApAutoConfWSC *pApAutoConfWSC;                     /* 0x0009 */
extern LUSL_API struct ApCapRpt *pApCapRpt;                               /* 0x8002 */
extern LUSL_API struct ChannelPreferenceRpt *pChannelPreferenceRpt;       /* 0x8005 */
extern LUSL_API struct OperatingChanRpt *pOperatingChanRpt;               /* 0x8008 */
extern LUSL_API struct CliCapRpt *pCliCapRpt;                             /* 0x800A */
extern LUSL_API struct ApMetricsResp *pApMetricsResp;                     /* 0x800C */
extern LUSL_API struct AssocStaMetricsResp *pAssocStaMetricsResp;         /* 0x800E */
extern LUSL_API struct UnAssocStaMetricsResp *pUnAssocStaMetricsResp;     /* 0x8010 */
extern LUSL_API struct ClientSteeringBTMRpt *pClientSteeringBTMRpt;       /* 0x8015 */
extern LUSL_API struct BHSteeringResp *pBHSteeringResp;                   /* 0x801A */
extern LUSL_API struct ChScanRpt *pChScanRpt;                             /* 0x801C */
extern LUSL_API struct ClientDisassocStat *pClientDisassocStat;           /* 0x8022 */
extern LUSL_API struct AssocStatusNotification *pAssocStatusNotification; /* 0x8025 */
extern LUSL_API struct BssConfigReq *pBssConfigReq;                       /* 0x802C */
extern LUSL_API struct FailedConn *pFailedConn;                           /* 0x8033 */

/* Released with their message by luSL_Msg_free(). */
extern LUSL_API struct AssocStaLinkMetricBuffer *pAssocStaLinkMetricBuffer; /* 0x800C scratch table */
extern LUSL_API uint8_t *pApMetricsRespSendBuf;                             /* 0x800C compact form */
extern LUSL_API uint8_t *pChScanRptSendBuf;                                 /* 0x801C compact form */

/* ------------------------------------------------------------ parser and walker */

/* Parses one CMDU (stream ends at a type-0 TLV), sends its record, releases it. */
LUSL_API void luSL_Msg_parser(uint32_t type, const uint8_t *tlvs, uint32_t dest_port, const uint8_t *src_mac);

/* As luSL_Msg_parser, for a stream of known length: stops at len as well as at the
 * end-of-message TLV and refuses a TLV that crosses len. Returns 0 when the record was
 * sent, -1 otherwise. */
LUSL_API int luSL_Msg_parser_n(uint32_t type, const uint8_t *tlvs, size_t len, uint32_t dest_port,
                               const uint8_t *src_mac);

/* Walks a TLV stream into record; 0 on success, the OR of extractor results, or -1. */
LUSL_API int process_tlv(uint32_t type, const uint8_t *tlvs, uint8_t *record, const uint8_t *src_mac);

/* Frees the record of type (and its scratch table, compact buffer, neighbour lists). */
LUSL_API void luSL_Msg_free(uint32_t type);

/* ------------------------------------------------------------ message channel */

/* UDP socket bound to 127.0.0.1:port (low 16 bits) with SO_REUSEADDR, or -1. Bound so at
 * port 0, it may be given a port another SO_REUSEADDR socket holds, and take that socket's
 * datagrams: give each receiving process a port of its own; a socket that only sends needs
 * none. */
LUSL_API int luSL_Socket_init(int port);
LUSL_API void luSL_Socket_deinit(int fd);
/* Sends the record (fixed length per type, compact form for 0x800C/0x801C). */
LUSL_API void luSL_Msg_send(uint32_t type, const uint8_t *record, uint32_t dest_port, int fd);
/* Blocks for one datagram and copies it to dest (give it SOCKET_MAX_LENGTH bytes). */
LUSL_API void luSL_Msg_recv(uint8_t *dest, int fd);
/* As luSL_Msg_recv, writing at most cap bytes: returns the number of bytes copied (the
 * record's length, LUSL_LEN_* or the compact form's), or -1 with dest untouched when the
 * receive failed, the type is unknown or the record does not fit. */
LUSL_API int luSL_Msg_recv_n(uint8_t *dest, size_t cap, int fd);

/* ------------------------------------------------------------ station events */

LUSL_API int tlv_ClientAssoc_extract(const uint8_t *value, uint8_t *record);
LUSL_API int tlv_Sta_ClientDisassoc_extract(const uint8_t *value, uint8_t *record);
LUSL_API int tlv_ReasonCode_ClientDisassoc_extract(const uint8_t *value, uint8_t *record);
LUSL_API int tlv_Sta_FailedConn_extract(const uint8_t *value, uint8_t *record);
LUSL_API int tlv_BSSID_extract(const uint8_t *value, uint8_t *record);
LUSL_API int tlv_StatusCode_extract(const uint8_t *value, uint8_t *record);
LUSL_API int tlv_ReasonCode_FailedConn_extract(const uint8_t *value, uint8_t *record);
LUSL_API int tlv_AssocStatusNotification_extract(const uint8_t *value, uint8_t *record);

/* ------------------------------------------------------------ compact encoders */

/* Build the compact form of the record in pApMetricsResp / pChScanRpt into
 * pApMetricsRespSendBuf / pChScanRptSendBuf; return its length, 0 on failure. */
LUSL_API int luSL_ApMetricsRespSendV2(const uint8_t *record);
LUSL_API int luSL_ChScanRptSendV2(const uint8_t *record);
/* Frees every neighbour node of a Channel Scan Report record. */
LUSL_API void luSL_ChScanRpt_NbrBss_clear(struct ChScanRpt *record);

#ifdef __cplusplus
}
#endif

/* The families' extractors and helpers, one header each. */
#include "luSL/api/topology.h"
#include "luSL/api/channel.h"
#include "luSL/api/capability.h"
#include "luSL/api/client.h"
#include "luSL/api/metrics.h"
#include "luSL/api/scan.h"
#include "luSL/api/services.h"

#endif
