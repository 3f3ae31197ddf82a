/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL message types: the code of every type the channel carries and the length of its
 * record. Included by luSL/luSL.h; the library's catalogue is built from these values and
 * checks each record length against its struct at compile time. Compiles as C11 and C++. */
#ifndef LUSL_MESSAGES_H
#define LUSL_MESSAGES_H

/* Parsed types: luSL_Msg_parser builds a record of LUSL_LEN_* bytes for each. Apart from
 * the two compact types, that is also the datagram on the channel and what
 * luSL_Msg_recv / luSL_Msg_recv_n copy. */
#define LUSL_MSG_TOPOLOGY_NOTIFICATION 0x0001u
#define LUSL_LEN_TOPOLOGY_NOTIFICATION 15u
#define LUSL_MSG_TOPOLOGY_RESPONSE 0x0003u
#define LUSL_LEN_TOPOLOGY_RESPONSE 593u
#define LUSL_MSG_LINK_METRIC_RESPONSE 0x0006u
#define LUSL_LEN_LINK_METRIC_RESPONSE 718u
#define LUSL_MSG_AP_AUTOCONFIG_WSC 0x0009u
#define LUSL_LEN_AP_AUTOCONFIG_WSC 208u
#define LUSL_MSG_AP_CAPABILITY_REPORT 0x8002u
#define LUSL_LEN_AP_CAPABILITY_REPORT 11426u
#define LUSL_MSG_CHANNEL_PREFERENCE_REPORT 0x8005u
#define LUSL_LEN_CHANNEL_PREFERENCE_REPORT 3687u
#define LUSL_MSG_OPERATING_CHANNEL_REPORT 0x8008u
#define LUSL_LEN_OPERATING_CHANNEL_REPORT 57u
#define LUSL_MSG_CLIENT_CAPABILITY_REPORT 0x800Au
#define LUSL_LEN_CLIENT_CAPABILITY_REPORT 2150u
#define LUSL_MSG_ASSOC_STA_LINK_METRIC_RESPONSE 0x800Eu
#define LUSL_LEN_ASSOC_STA_LINK_METRIC_RESPONSE 76u
#define LUSL_MSG_UNASSOC_STA_LINK_METRIC_RESPONSE 0x8010u
#define LUSL_LEN_UNASSOC_STA_LINK_METRIC_RESPONSE 521u
#define LUSL_MSG_CLIENT_STEERING_BTM_REPORT 0x8015u
#define LUSL_LEN_CLIENT_STEERING_BTM_REPORT 21u
#define LUSL_MSG_BACKHAUL_STEERING_RESPONSE 0x801Au
#define LUSL_LEN_BACKHAUL_STEERING_RESPONSE 15u
#define LUSL_MSG_CLIENT_DISASSOC_STATS 0x8022u
#define LUSL_LEN_CLIENT_DISASSOC_STATS 10u
#define LUSL_MSG_ASSOC_STATUS_NOTIFICATION 0x8025u
#define LUSL_LEN_ASSOC_STATUS_NOTIFICATION 73u
#define LUSL_MSG_BSS_CONFIG_REQUEST 0x802Cu
#define LUSL_LEN_BSS_CONFIG_REQUEST 109u
#define LUSL_MSG_FAILED_CONNECTION 0x8033u
#define LUSL_LEN_FAILED_CONNECTION 18u

/* The two compact types: the record lives in the sending process only; the datagram and
 * what the receive functions copy is its compact form, of variable length up to
 * SOCKET_MAX_LENGTH. */
#define LUSL_MSG_AP_METRICS_RESPONSE 0x800Cu
#define LUSL_LEN_AP_METRICS_RESPONSE 49124u
#define LUSL_MSG_CHANNEL_SCAN_REPORT 0x801Cu
#define LUSL_LEN_CHANNEL_SCAN_REPORT 9763u

/* Channel-only types: records the callers build themselves; LUSL_LEN_* bytes are sent and
 * copied on receipt. */
#define LUSL_MSG_STA_ASSOC_REQUEST 0x0040u
#define LUSL_LEN_STA_ASSOC_REQUEST 4096u
#define LUSL_MSG_STA_PROBE_REQUEST 0x0044u
#define LUSL_LEN_STA_PROBE_REQUEST 4096u
#define LUSL_MSG_ACTION_FRAME 0x004Du
#define LUSL_LEN_ACTION_FRAME 142u
#define LUSL_MSG_STEERING_CLI 0xDEB6u
#define LUSL_LEN_STEERING_CLI 479u
#define LUSL_MSG_STEERING_DATA 0xDEB7u
#define LUSL_LEN_STEERING_DATA 32762u
#define LUSL_MSG_UNNAMED_DEB8 0xDEB8u
#define LUSL_LEN_UNNAMED_DEB8 32762u
#define LUSL_MSG_UNNAMED_DEBA 0xDEBAu
#define LUSL_LEN_UNNAMED_DEBA 4u

#endif
