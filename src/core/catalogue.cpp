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

#define LUSL_PARSED(code, name, size, slot, len, rel) \
    MsgType{code, name, size, &SlotOf<slot>::get, &SlotOf<slot>::set, len, Release::rel}
#define LUSL_CHANNEL(code, name, len) MsgType{code, name, 0, nullptr, nullptr, len, Release::None}

// Sorted by code: find_type() does a binary search.
constexpr MsgType kTypes[] = {
    LUSL_PARSED(0x0001, "Topology Notification", 15, pTopologyNotification, 15, Plain),
    LUSL_PARSED(0x0003, "Topology Response", 593, pTopologyResp, 593, Plain),
    LUSL_PARSED(0x0006, "Link Metric Response", 718, pLinkMetricsResp, 718, Plain),
    LUSL_PARSED(0x0009, "AP Autoconfiguration WSC", 208, pApAutoConfWSC, 208, Plain),
    LUSL_CHANNEL(0x0040, "Station Assoc Request", 4096),
    LUSL_CHANNEL(0x0044, "Station Probe Request", 4096),
    LUSL_CHANNEL(0x004D, "Action Frame", 142),
    LUSL_PARSED(0x8002, "Ap Capability Report", 11426, pApCapRpt, 11426, Plain),
    LUSL_PARSED(0x8005, "Channel Preference Report", 3687, pChannelPreferenceRpt, 3687, Plain),
    LUSL_PARSED(0x8008, "Operating Channel Report", 57, pOperatingChanRpt, 57, Plain),
    LUSL_PARSED(0x800A, "Client Capability Report", 2150, pCliCapRpt, 2150, Plain),
    LUSL_PARSED(0x800C, "Ap Metrics Response", 49124, pApMetricsResp, kCompact, ApMetrics),
    LUSL_PARSED(0x800E, "Associated Sta Link Metric Response", 76, pAssocStaMetricsResp, 76, Plain),
    LUSL_PARSED(0x8010, "Unassociated Sta Link Metric Response", 521, pUnAssocStaMetricsResp, 521, Plain),
    LUSL_PARSED(0x8015, "Client Steering BTM Report", 21, pClientSteeringBTMRpt, 21, Plain),
    LUSL_PARSED(0x801A, "Backhaul Steering Response", 15, pBHSteeringResp, 15, Plain),
    LUSL_PARSED(0x801C, "Channel Scan Report", 9763, pChScanRpt, kCompact, ChScan),
    LUSL_PARSED(0x8022, "Client Disassociation Stats", 10, pClientDisassocStat, 10, Plain),
    LUSL_PARSED(0x8025, "Association Status Notification", 73, pAssocStatusNotification, 73, Plain),
    LUSL_PARSED(0x802C, "BSS Configuration Request", 109, pBssConfigReq, 109, Plain),
    LUSL_PARSED(0x8033, "Failed Connection", 18, pFailedConn, 18, Plain),
    LUSL_CHANNEL(0xDEB6, "Lumeno Steering Logic CLI", 479),
    LUSL_CHANNEL(0xDEB7, "Lumeno Steering Logic Data", 32762),
    LUSL_CHANNEL(0xDEB8, nullptr, 32762),
    LUSL_CHANNEL(0xDEBA, nullptr, 4),
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

// Record sizes must match the layouts the extractors write.
template <typename Rec>
constexpr bool size_is(uint16_t code)
{
    for (const MsgType& t : kTypes)
        if (t.code == code) return t.record_size == sizeof(Rec);
    return false;
}
static_assert(size_is<TopologyNotification>(0x0001));
static_assert(size_is<ClientDisassocStat>(0x8022));
static_assert(size_is<AssocStatusNotification>(0x8025));
static_assert(size_is<FailedConn>(0x8033));
static_assert(size_is<TopologyResp>(0x0003));
static_assert(size_is<LinkMetricsResp>(0x0006));
static_assert(size_is<ApAutoConfWSC>(0x0009));
static_assert(size_is<ApCapRpt>(0x8002));
static_assert(size_is<ChannelPreferenceRpt>(0x8005));
static_assert(size_is<OperatingChanRpt>(0x8008));
static_assert(size_is<CliCapRpt>(0x800A));
static_assert(size_is<ApMetricsResp>(0x800C));
static_assert(size_is<AssocStaMetricsResp>(0x800E));
static_assert(size_is<UnAssocStaMetricsResp>(0x8010));
static_assert(size_is<ClientSteeringBTMRpt>(0x8015));
static_assert(size_is<BHSteeringResp>(0x801A));
static_assert(size_is<ChScanRpt>(0x801C));
static_assert(size_is<BssConfigReq>(0x802C));
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
