// SPDX-License-Identifier: BSD-2-Clause
#include "core/dispatch.h"

#include <array>

namespace lusl {
namespace {
constexpr uint8_t L = kLength, O = kOrdinalAp, S = kOrdinalShared, M = kSrcMac, T = kScratch;
} // namespace

// Sorted by TLV type; a TLV with two rows is tried against both message types in order.
constexpr Row kDispatchRows[kRowCount] = {
    {0x03, 0x0003, h_DeviceInfo, kNone, true},
    {0x09, 0x0006, h_LinkMetricTx, L, true},
    {0x0A, 0x0006, h_LinkMetricRx, L, true},
    {0x0B, 0x0003, h_VendorSpecific_MDID, L, true},
    {0x0B, 0x8002, h_VendorSpecific_Eht_Cap, L, true},
    {0x11, 0x0009, h_WSC, L | M, true},
    {0x83, 0x0003, h_APOperationBss, L, true},
    {0x85, 0x8002, h_APRadioBasicCapabilities, kNone, true},
    {0x85, 0x802C, h_APRadioBasicCapabilities_bss_config_req, kNone, true},
    {0x86, 0x8002, h_APHTCapabilities, kNone, true},
    {0x87, 0x8002, h_APVHTCapabilities, kNone, true},
    {0x88, 0x8002, h_APHECapabilities, L, true},
    {0x8B, 0x8005, h_ChannelPreference, L | M, true},
    {0x8F, 0x8008, h_OperatingChannelReport, L | S | M, true},
    {0x90, 0x800A, h_ClientInfo, kNone, true},
    {0x91, 0x800A, h_ClientCapabilityReport, L, true},
    {0x92, 0x0001, h_ClientAssoc, kNone, true},
    {0x94, 0x800C, h_APMetrics, O, true},
    {0x95, 0x8022, h_Sta_ClientDisassoc, kNone, true},
    {0x95, 0x8033, h_Sta_FailedConn, kNone, true},
    {0x96, 0x800C, h_AssociStaLinkMetric, T, true},
    {0x96, 0x800E, h_AssociStaLinkMetric2, kNone, true},
    {0x98, 0x8010, h_UnAssociStaLinkMetric, L | M, true},
    {0x9C, 0x8015, h_SteeringBTMReport, L, true},
    {0x9F, 0x801A, h_BHSteeringResp, L, true},
    {0xA1, 0x8002, h_APCapabilities, M, true},
    {0xA2, 0x800C, h_AssociStaTrafficStats, T, true},
    {0xA5, 0x8002, h_ChannelScanCaps, L, true},
    {0xA7, 0x801C, h_ChScanResult, kNone, true},
    {0xA9, 0x8002, h_1905LayerSecurityCap, L, true},
    {0xAA, 0x8002, h_APWifi6Capabilities, kNone, true},
    {0xB0, 0x800C, h_AssocWiFi6StaStatus, T, true},
    {0xB1, 0x8005, h_CacStatusReport, L | M, true},
    {0xB2, 0x8002, h_CACCapbilities, L, true},
    {0xB4, 0x8002, h_Profile2APCapability, kNone, true},
    {0xB7, 0x0003, h_BssConfigurationRpt, kNone, true},
    {0xB8, 0x8033, h_BSSID, kNone, true},
    {0xBE, 0x0009, h_APRadioAdvancedCaps, kNone, true},
    {0xBF, 0x8025, h_AssocStatusNotification, kNone, true},
    {0xC5, 0x8002, h_MetricCollectionInterval, kNone, true},
    {0xC6, 0x800C, h_RadioMetrics, S, true},
    {0xC7, 0x800C, h_APExtendedMetrics, kNone, true},
    {0xC8, 0x800C, h_assocStaExtLinkmetric, T, false},
    {0xC9, 0x8033, h_StatusCode, kNone, true},
    {0xCA, 0x8022, h_ReasonCode_ClientDisassoc, kNone, true},
    {0xCA, 0x8033, h_ReasonCode_FailedConn, kNone, true},
    {0xCC, 0x802C, h_akm_suite_capabilities, kNone, true},
    {0xD4, 0x8002, h_DeviceInventory, kNone, false},
};

namespace {

constexpr bool rows_consistent()
{
    for (size_t i = 0; i < kRowCount; ++i) {
        if (i && kDispatchRows[i - 1].tlv > kDispatchRows[i].tlv) return false; // sorted by TLV
        for (size_t j = 0; j < i; ++j) {
            if (kDispatchRows[j].tlv == kDispatchRows[i].tlv && kDispatchRows[j].msg == kDispatchRows[i].msg) return false;
        }
    }
    return true;
}
static_assert(rows_consistent(), "dispatch rows: sorted by TLV, no duplicate (TLV, message) pair");

// The counter a row's ordinal comes from.
constexpr uint8_t counter_of(const Row& r)
{
    return (r.extra & kOrdinalAp) ? kApCounter : (r.extra & kOrdinalShared) ? kSharedCounter : kNoCounter;
}

constexpr TlvIndex make_index()
{
    TlvIndex ix{};
    for (TlvRows& t : ix.of) t.info = kUnknownTlv;
    for (size_t i = kRowCount; i-- > 0;) {
        const Row& r = kDispatchRows[i];
        TlvRows& t = ix.of[r.tlv];
        // Filled from the last row back: a type's row seen before is its second.
        t.info = static_cast<uint8_t>((t.info & kUnknownTlv ? 0 : kSecondRow) | counter_of(r) << kCounterShift);
        t.first = static_cast<uint8_t>(i);
        t.msg = r.msg;
    }
    return ix;
}

} // namespace

constexpr TlvIndex kTlvIndex = make_index();

namespace {

// A counter counts every TLV of its types whatever the message, so all rows of a type
// must take their ordinal from the same one.
constexpr bool counters_consistent()
{
    for (const Row& r : kDispatchRows)
        if (counter_of(r) != counter_of(kTlvIndex.of[r.tlv])) return false;
    return counter_of(kTlvIndex.of[0x94]) == kApCounter && counter_of(kTlvIndex.of[0x8F]) == kSharedCounter &&
           counter_of(kTlvIndex.of[0xC6]) == kSharedCounter;
}
static_assert(counters_consistent(), "dispatch rows: one counter per TLV type");

constexpr bool index_matches_rows()
{
    size_t rows = 0;
    for (size_t t = 0; t < 256; ++t) {
        const TlvRows& e = kTlvIndex.of[t];
        const size_t n = row_count_of(e);
        for (size_t k = 0; k < n; ++k)
            if (kDispatchRows[e.first + k].tlv != t) return false;
        if (n && e.msg != kDispatchRows[e.first].msg) return false;
        rows += n;
    }
    return rows == kRowCount;
}
static_assert(index_matches_rows(), "the TLV index names every row once, at most two per type");

} // namespace

} // namespace lusl
