/* SPDX-License-Identifier: BSD-2-Clause */
// The rows of the message catalogue, sorted by code, as one list that every consumer expands
// with its own row macros: the library's catalogue table, and the lusl tool's record layouts.
//   PARSED(id, display name, record slot, release kind)   LUSL_MSG_<id> / LUSL_LEN_<id>
//   CHANNEL(id, display name or nullptr)                  a channel-only type
#pragma once

#define LUSL_CATALOGUE_ROWS(PARSED, CHANNEL)                                                       \
    PARSED(TOPOLOGY_NOTIFICATION, "Topology Notification", pTopologyNotification, Plain)           \
    PARSED(TOPOLOGY_RESPONSE, "Topology Response", pTopologyResp, Plain)                           \
    PARSED(LINK_METRIC_RESPONSE, "Link Metric Response", pLinkMetricsResp, Plain)                  \
    PARSED(AP_AUTOCONFIG_WSC, "AP Autoconfiguration WSC", pApAutoConfWSC, Plain)                   \
    CHANNEL(STA_ASSOC_REQUEST, "Station Assoc Request")                                            \
    CHANNEL(STA_PROBE_REQUEST, "Station Probe Request")                                            \
    CHANNEL(ACTION_FRAME, "Action Frame")                                                          \
    PARSED(AP_CAPABILITY_REPORT, "Ap Capability Report", pApCapRpt, Plain)                         \
    PARSED(CHANNEL_PREFERENCE_REPORT, "Channel Preference Report", pChannelPreferenceRpt, Plain)   \
    PARSED(OPERATING_CHANNEL_REPORT, "Operating Channel Report", pOperatingChanRpt, Plain)         \
    PARSED(CLIENT_CAPABILITY_REPORT, "Client Capability Report", pCliCapRpt, Plain)                \
    PARSED(AP_METRICS_RESPONSE, "Ap Metrics Response", pApMetricsResp, ApMetrics)                  \
    PARSED(ASSOC_STA_LINK_METRIC_RESPONSE, "Associated Sta Link Metric Response",                 \
           pAssocStaMetricsResp, Plain)                                                            \
    PARSED(UNASSOC_STA_LINK_METRIC_RESPONSE, "Unassociated Sta Link Metric Response",             \
           pUnAssocStaMetricsResp, Plain)                                                          \
    PARSED(CLIENT_STEERING_BTM_REPORT, "Client Steering BTM Report", pClientSteeringBTMRpt, Plain) \
    PARSED(BACKHAUL_STEERING_RESPONSE, "Backhaul Steering Response", pBHSteeringResp, Plain)       \
    PARSED(CHANNEL_SCAN_REPORT, "Channel Scan Report", pChScanRpt, ChScan)                         \
    PARSED(CLIENT_DISASSOC_STATS, "Client Disassociation Stats", pClientDisassocStat, Plain)       \
    PARSED(ASSOC_STATUS_NOTIFICATION, "Association Status Notification",                          \
           pAssocStatusNotification, Plain)                                                        \
    PARSED(BSS_CONFIG_REQUEST, "BSS Configuration Request", pBssConfigReq, Plain)                  \
    PARSED(FAILED_CONNECTION, "Failed Connection", pFailedConn, Plain)                             \
    CHANNEL(STEERING_CLI, "Lumeno Steering Logic CLI")                                             \
    CHANNEL(STEERING_DATA, "Lumeno Steering Logic Data")                                           \
    CHANNEL(UNNAMED_DEB8, nullptr)                                                                 \
    CHANNEL(UNNAMED_DEBA, nullptr)
