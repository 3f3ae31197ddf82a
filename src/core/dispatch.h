/* SPDX-License-Identifier: BSD-2-Clause */
// The dispatch table: which handler reads which TLV of which message.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bytes.h"
#include "core/core.h"

namespace lusl {

// Extra arguments a row hands its handler (besides the value Reader and the record).
struct Args {
    unsigned ordinal = 0;            // AP metrics counter or shared 0x8F/0xC6 counter
    const uint8_t* src_mac = nullptr;
    void* scratch = nullptr;         // AssocStaLinkMetricBuffer: the walker's own for 0x800C rows
};

// Starts the station index of a scratch table the walker has just allocated.
void scratch_index_reset() noexcept;
// A BSS entry of the AP Metrics Response was (re)written: station lookups search again.
void bss_entries_changed() noexcept;

// A handler reads one TLV value (the Reader is bounded to it; size() is the TLV length)
// into the record and returns 0 on success.
using Handler = int (*)(Reader& in, uint8_t* record, const Args& args);
// One that builds its own Reader over the value, kept in registers: its bounds checks fold
// into compares of the length. For the rows a message repeats hundreds of times. The walker
// never passes a null value.
using ValueHandler = int (*)(const uint8_t* value, size_t len, uint8_t* record, const Args& args);

enum Extra : uint8_t {
    kNone = 0,
    kLength = 1,
    kOrdinalAp = 2,     // AP metrics counter (0x94)
    kOrdinalShared = 4, // shared counter (0x8F, 0xC6)
    kSrcMac = 8,
    kScratch = 16,
};

// The handler first: no padding between the fields.
struct Row {
    constexpr Row(uint8_t t, uint16_t m, Handler h, uint8_t e, bool o) noexcept
        : reader(h), msg(m), tlv(t), extra(e), ored(o), by_value(false)
    {
    }
    constexpr Row(uint8_t t, uint16_t m, ValueHandler h, uint8_t e, bool o) noexcept
        : value(h), msg(m), tlv(t), extra(e), ored(o), by_value(true)
    {
    }
    union {
        Handler reader;     // by_value false
        ValueHandler value; // by_value true
    };
    uint16_t msg;
    uint8_t tlv;
    uint8_t extra; // Extra bits: what the documented extractor takes besides value and record
    bool ored;     // false: the result is ignored
    bool by_value;
};
static_assert(sizeof(Row) == (sizeof(void*) == 8 ? 16 : 12));

inline constexpr size_t kRowCount = 48;
extern const Row kDispatchRows[kRowCount] LUSL_HIDDEN;

// Which counter of the walker a TLV type moves (its rows' ordinals come from it).
enum Counter : uint8_t {
    kNoCounter = 0,
    kApCounter = 1,     // AP Metrics TLVs (0x94)
    kSharedCounter = 2, // Operating Channel Report and Radio Metrics TLVs (0x8F, 0xC6)
};

// Per TLV type, all the walker reads for a TLV, in one word. A TLV of a type that moves no
// counter, in the message its first row names, is dispatched on `msg` alone.
struct TlvRows {
    uint16_t msg;  // message of its first row (any value when it has none)
    uint8_t first; // index of its first row
    uint8_t info;  // kUnknownTlv, kSecondRow, counter << kCounterShift
};
inline constexpr uint8_t kUnknownTlv = 1; // no row
inline constexpr uint8_t kSecondRow = 2;  // a second row follows the first
inline constexpr unsigned kCounterShift = 2;
// The TLV needs more than the first row's message compared.
inline constexpr uint8_t kSlowTlv = kUnknownTlv | 3u << kCounterShift;

struct TlvIndex {
    TlvRows of[256];
};
extern const TlvIndex kTlvIndex LUSL_HIDDEN;

constexpr size_t row_count_of(const TlvRows& t) noexcept
{
    return (t.info & kUnknownTlv) ? 0 : (t.info & kSecondRow) ? 2 : 1;
}
constexpr Counter counter_of(const TlvRows& t) noexcept { return static_cast<Counter>(t.info >> kCounterShift & 3u); }

// Rows of one TLV type, in table order.
struct RowSpan {
    const Row* first;
    size_t count;
};
inline RowSpan rows_for(uint8_t tlv) noexcept
{
    const TlvRows& t = kTlvIndex.of[tlv];
    return {kDispatchRows + t.first, row_count_of(t)};
}
inline size_t row_count() noexcept { return kRowCount; }
inline const Row* rows_begin() noexcept { return kDispatchRows; }

// Largest TLV value: the bound of exported extractors that are not told their length.
inline constexpr size_t kMaxTlvLen = 65535;

// Runs a handler the way an exported extractor shim does.
inline int run_handler(Handler h, const uint8_t* value, size_t len, uint8_t* record, const Args& args = {})
{
    Reader in(value, len);
    return h(in, record, args);
}

// ---------------------------------------------------------------- handlers
// topology family
int h_DeviceInfo(Reader&, uint8_t*, const Args&);
int h_LinkMetricTx(Reader&, uint8_t*, const Args&);
int h_LinkMetricRx(Reader&, uint8_t*, const Args&);
int h_VendorSpecific_MDID(Reader&, uint8_t*, const Args&);
int h_WSC(Reader&, uint8_t*, const Args&);
int h_APOperationBss(Reader&, uint8_t*, const Args&);
int h_APRadioBasicCapabilities_bss_config_req(Reader&, uint8_t*, const Args&);
int h_ChannelPreference(Reader&, uint8_t*, const Args&);
int h_OperatingChannelReport(Reader&, uint8_t*, const Args&);
int h_AssociStaLinkMetric2(Reader&, uint8_t*, const Args&);
int h_UnAssociStaLinkMetric(Reader&, uint8_t*, const Args&);
int h_SteeringBTMReport(Reader&, uint8_t*, const Args&);
int h_BHSteeringResp(Reader&, uint8_t*, const Args&);
int h_CacStatusReport(Reader&, uint8_t*, const Args&);
int h_BssConfigurationRpt(Reader&, uint8_t*, const Args&);
int h_APRadioAdvancedCaps(Reader&, uint8_t*, const Args&);
int h_akm_suite_capabilities(Reader&, uint8_t*, const Args&);
// station events
int h_ClientAssoc(Reader&, uint8_t*, const Args&);
int h_Sta_ClientDisassoc(Reader&, uint8_t*, const Args&);
int h_Sta_FailedConn(Reader&, uint8_t*, const Args&);
int h_BSSID(Reader&, uint8_t*, const Args&);
int h_AssocStatusNotification(Reader&, uint8_t*, const Args&);
int h_StatusCode(Reader&, uint8_t*, const Args&);
int h_ReasonCode_ClientDisassoc(Reader&, uint8_t*, const Args&);
int h_ReasonCode_FailedConn(Reader&, uint8_t*, const Args&);
// capability family
int h_VendorSpecific_Eht_Cap(Reader&, uint8_t*, const Args&);
int h_APRadioBasicCapabilities(Reader&, uint8_t*, const Args&);
int h_APHTCapabilities(Reader&, uint8_t*, const Args&);
int h_APVHTCapabilities(Reader&, uint8_t*, const Args&);
int h_APHECapabilities(Reader&, uint8_t*, const Args&);
int h_ClientInfo(Reader&, uint8_t*, const Args&);
int h_ClientCapabilityReport(Reader&, uint8_t*, const Args&);
int h_APCapabilities(Reader&, uint8_t*, const Args&);
int h_ChannelScanCaps(Reader&, uint8_t*, const Args&);
int h_1905LayerSecurityCap(Reader&, uint8_t*, const Args&);
int h_APWifi6Capabilities(Reader&, uint8_t*, const Args&);
int h_CACCapbilities(Reader&, uint8_t*, const Args&);
int h_Profile2APCapability(Reader&, uint8_t*, const Args&);
int h_MetricCollectionInterval(Reader&, uint8_t*, const Args&);
int h_DeviceInventory(Reader&, uint8_t*, const Args&);
// metrics family
int h_APMetrics(Reader&, uint8_t*, const Args&);
[[gnu::nonnull(1)]] int h_AssociStaLinkMetric(const uint8_t*, size_t, uint8_t*, const Args&);
[[gnu::nonnull(1)]] int h_AssociStaTrafficStats(const uint8_t*, size_t, uint8_t*, const Args&);
int h_ChScanResult(Reader&, uint8_t*, const Args&);
[[gnu::nonnull(1)]] int h_AssocWiFi6StaStatus(const uint8_t*, size_t, uint8_t*, const Args&);
int h_RadioMetrics(Reader&, uint8_t*, const Args&);
int h_APExtendedMetrics(Reader&, uint8_t*, const Args&);
[[gnu::nonnull(1)]] int h_assocStaExtLinkmetric(const uint8_t*, size_t, uint8_t*, const Args&);

} // namespace lusl
