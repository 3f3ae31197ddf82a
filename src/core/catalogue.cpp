// SPDX-License-Identifier: BSD-2-Clause
#include "core/catalogue.h"

#include "luSL/luSL.h"

#include <type_traits>

extern "C" {
LUSL_API TopologyNotification* pTopologyNotification = nullptr;
LUSL_API TopologyResp* pTopologyResp = nullptr;
LUSL_API LinkMetricsResp* pLinkMetricsResp = nullptr;
LUSL_API ApAutoConfWSC* pApAutoConfWSC = nullptr;
LUSL_API ApCapRpt* pApCapRpt = nullptr;
LUSL_API ChannelPreferenceRpt* pChannelPreferenceRpt = nullptr;
LUSL_API OperatingChanRpt* pOperatingChanRpt = nullptr;
LUSL_API CliCapRpt* pCliCapRpt = nullptr;
LUSL_API ApMetricsResp* pApMetricsResp = nullptr;
LUSL_API AssocStaMetricsResp* pAssocStaMetricsResp = nullptr;
LUSL_API UnAssocStaMetricsResp* pUnAssocStaMetricsResp = nullptr;
LUSL_API ClientSteeringBTMRpt* pClientSteeringBTMRpt = nullptr;
LUSL_API BHSteeringResp* pBHSteeringResp = nullptr;
LUSL_API ChScanRpt* pChScanRpt = nullptr;
LUSL_API ClientDisassocStat* pClientDisassocStat = nullptr;
LUSL_API AssocStatusNotification* pAssocStatusNotification = nullptr;
LUSL_API BssConfigReq* pBssConfigReq = nullptr;
LUSL_API FailedConn* pFailedConn = nullptr;

LUSL_API AssocStaLinkMetricBuffer* pAssocStaLinkMetricBuffer = nullptr;
LUSL_API uint8_t* pApMetricsRespSendBuf = nullptr;
LUSL_API uint8_t* pChScanRptSendBuf = nullptr;
}

namespace lusl {
namespace {

// Typed access to one slot global without type punning.
template <auto& Slot>
struct SlotOf {
    using Ptr = std::remove_reference_t<decltype(Slot)>;
    static void* get() { return Slot; }
    static void set(void* p) { Slot = static_cast<Ptr>(p); }
};

// A parsed type's record size is its slot's struct, which its header pins to LUSL_LEN_*.
#define LUSL_PARSED(id, name, slot, rel)                                                      \
    MsgType{LUSL_MSG_##id, name, sizeof(*slot), &SlotOf<slot>::get, &SlotOf<slot>::set,       \
            Release::rel == Release::Plain ? LUSL_LEN_##id : kCompact, Release::rel}
#define LUSL_CHANNEL(id, name) MsgType{LUSL_MSG_##id, name, 0, nullptr, nullptr, LUSL_LEN_##id, Release::None}

// Sorted by code: find_type() does a binary search.
constexpr MsgType kTypes[] = {
    LUSL_PARSED(TOPOLOGY_NOTIFICATION, "Topology Notification", pTopologyNotification, Plain),
    LUSL_PARSED(TOPOLOGY_RESPONSE, "Topology Response", pTopologyResp, Plain),
    LUSL_PARSED(LINK_METRIC_RESPONSE, "Link Metric Response", pLinkMetricsResp, Plain),
    LUSL_PARSED(AP_AUTOCONFIG_WSC, "AP Autoconfiguration WSC", pApAutoConfWSC, Plain),
    LUSL_CHANNEL(STA_ASSOC_REQUEST, "Station Assoc Request"),
    LUSL_CHANNEL(STA_PROBE_REQUEST, "Station Probe Request"),
    LUSL_CHANNEL(ACTION_FRAME, "Action Frame"),
    LUSL_PARSED(AP_CAPABILITY_REPORT, "Ap Capability Report", pApCapRpt, Plain),
    LUSL_PARSED(CHANNEL_PREFERENCE_REPORT, "Channel Preference Report", pChannelPreferenceRpt, Plain),
    LUSL_PARSED(OPERATING_CHANNEL_REPORT, "Operating Channel Report", pOperatingChanRpt, Plain),
    LUSL_PARSED(CLIENT_CAPABILITY_REPORT, "Client Capability Report", pCliCapRpt, Plain),
    LUSL_PARSED(AP_METRICS_RESPONSE, "Ap Metrics Response", pApMetricsResp, ApMetrics),
    LUSL_PARSED(ASSOC_STA_LINK_METRIC_RESPONSE, "Associated Sta Link Metric Response", pAssocStaMetricsResp, Plain),
    LUSL_PARSED(UNASSOC_STA_LINK_METRIC_RESPONSE, "Unassociated Sta Link Metric Response", pUnAssocStaMetricsResp, Plain),
    LUSL_PARSED(CLIENT_STEERING_BTM_REPORT, "Client Steering BTM Report", pClientSteeringBTMRpt, Plain),
    LUSL_PARSED(BACKHAUL_STEERING_RESPONSE, "Backhaul Steering Response", pBHSteeringResp, Plain),
    LUSL_PARSED(CHANNEL_SCAN_REPORT, "Channel Scan Report", pChScanRpt, ChScan),
    LUSL_PARSED(CLIENT_DISASSOC_STATS, "Client Disassociation Stats", pClientDisassocStat, Plain),
    LUSL_PARSED(ASSOC_STATUS_NOTIFICATION, "Association Status Notification", pAssocStatusNotification, Plain),
    LUSL_PARSED(BSS_CONFIG_REQUEST, "BSS Configuration Request", pBssConfigReq, Plain),
    LUSL_PARSED(FAILED_CONNECTION, "Failed Connection", pFailedConn, Plain),
    LUSL_CHANNEL(STEERING_CLI, "Lumeno Steering Logic CLI"),
    LUSL_CHANNEL(STEERING_DATA, "Lumeno Steering Logic Data"),
    LUSL_CHANNEL(UNNAMED_DEB8, nullptr),
    LUSL_CHANNEL(UNNAMED_DEBA, nullptr),
};
#undef LUSL_PARSED
#undef LUSL_CHANNEL

constexpr size_t kTypeCount = sizeof kTypes / sizeof kTypes[0];
static_assert(kTypeCount == 25);

constexpr bool sorted_and_unique()
{
    for (size_t i = 1; i < kTypeCount; ++i)
        if (kTypes[i - 1].code >= kTypes[i].code) return false;
    return true;
}
static_assert(sorted_and_unique(), "catalogue must be sorted by code without duplicates");

static_assert(sizeof(AssocStaLinkMetricBuffer) == kScratchTableSize);

} // namespace

const MsgType* find_type(uint16_t code) noexcept
{
    size_t lo = 0, hi = kTypeCount;
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (kTypes[mid].code == code) return &kTypes[mid];
        if (kTypes[mid].code < code)
            lo = mid + 1;
        else
            hi = mid;
    }
    return nullptr;
}

const char* display_name(uint16_t code) noexcept
{
    const MsgType* t = find_type(code);
    return t && t->name ? t->name : "Unknow Msg";
}

const MsgType* record_of(uint16_t code) noexcept
{
    const MsgType* t = find_type(code);
    return t && t->record_size ? t : nullptr;
}

const MsgType* channel_of(uint16_t code) noexcept { return find_type(code); }

const MsgType* catalogue_begin() noexcept { return kTypes; }
const MsgType* catalogue_end() noexcept { return kTypes + kTypeCount; }

} // namespace lusl
