// SPDX-License-Identifier: BSD-2-Clause
#include "core/catalogue.h"
#include "core/catalogue_rows.h"

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
            Release::rel == Release::Plain ? LUSL_LEN_##id : kCompact, Release::rel},
#define LUSL_CHANNEL(id, name) MsgType{LUSL_MSG_##id, name, 0, nullptr, nullptr, LUSL_LEN_##id, Release::None},

// Sorted by code, as the tool lists them.
constexpr MsgType kTypes[] = {LUSL_CATALOGUE_ROWS(LUSL_PARSED, LUSL_CHANNEL)};
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

// Every receive and every parse looks its type up: one probe of a 64-slot index, built here
// from the table. The hash keeps the codes apart; a new type that collides fails the build.
constexpr unsigned slot_of(uint16_t code) { return (code ^ code >> 8) & 63u; }

struct Index {
    uint8_t at[64] = {}; // 1 + the type's row, 0 for none
};

constexpr Index make_index()
{
    Index x;
    for (size_t i = 0; i < kTypeCount; ++i) x.at[slot_of(kTypes[i].code)] = static_cast<uint8_t>(i + 1);
    return x;
}
constexpr Index kIndex = make_index();

constexpr bool index_holds_every_type()
{
    for (size_t i = 0; i < kTypeCount; ++i)
        if (kIndex.at[slot_of(kTypes[i].code)] != i + 1) return false;
    return true;
}
static_assert(index_holds_every_type(), "two message codes share an index slot: change slot_of()");

} // namespace

const MsgType* find_type(uint16_t code) noexcept
{
    const unsigned row = kIndex.at[slot_of(code)];
    return row && kTypes[row - 1].code == code ? &kTypes[row - 1] : nullptr;
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
