// SPDX-License-Identifier: BSD-2-Clause
// AP Metrics Response, station level: the four per-station TLVs, joined to their station
// entries through the scratch table. Only a link metrics TLV names the station's BSS, so
// it alone gives a station its entry; traffic counters that come first wait in the table.
#include "core/dispatch.h"
#include "core/log.h"
#include "luSL/luSL.h"
#include "reports/metrics/metrics_record.h"

namespace lusl {

using metrics::mac_eq;
using metrics::mac_zero;
using metrics::resp;

namespace {

constexpr size_t kStaHead = 7;          // station MAC, entry count
constexpr size_t kLinkEntry = 19;       // BSSID, time delta, downlink, uplink, RCPI
constexpr size_t kTrafficLen = 6 + 28;  // station MAC, seven counters
constexpr size_t kTidEntry = 2;         // TID, queue size
constexpr size_t kExtLinkEntry = 22;    // BSSID, four rates

AssocStaLinkMetricBuffer* table_of(const Args& args)
{
    return static_cast<AssocStaLinkMetricBuffer*>(args.scratch);
}

// Station index of the walker's scratch table, so that each per-station TLV finds its
// entry without scanning all 64 (from the 65th station of a message on, every TLV would).
// Entries are only ever taken at the first free one, so the ones holding a non-zero MAC
// are always the prefix [0, used). Tables handed to the exported extractors are scanned.
//
// Station entries of a BSS are likewise only taken at the first free one, and a walk
// writes a station MAC nowhere else: the walk keeps each BSS's first free entry, found
// once and moved on only when a non-zero MAC is written (a zero MAC leaves the entry free).
//
// A station's TLVs come one after the other, so the last station looked up and the last
// BSS a link metrics TLV named are kept too: the next TLV mostly asks for the same.
struct ScratchIndex {
    uint8_t slot[2 * MAX_STA_PER_BSS]; // entry index + 1; 0 = empty
    uint8_t used;
    uint8_t first_free[MAX_BSS_PER_DEVICE]; // station index + 1; 0 = not looked for yet
    bool last_known;                        // last_mac was looked up since its last change
    uint8_t last_entry;                     // its entry index + 1; 0 = not in the table
    uint8_t last_mac[6];
    uint8_t last_bss;                       // BSS entry index + 1 of last_bssid; 0 = none kept
    uint8_t last_bssid[6];
};
ScratchIndex g_index;

constexpr unsigned kSlotMask = 2 * MAX_STA_PER_BSS - 1;
static_assert((kSlotMask & (kSlotMask + 1)) == 0, "slot count must be a power of two");

unsigned slot_of(const uint8_t (&m)[6]) { return (m[5] * 31u + m[4] * 7u + m[3]) & kSlotMask; }

void remember(const uint8_t (&mac)[6], unsigned entry_plus_1)
{
    std::memcpy(g_index.last_mac, mac, 6);
    g_index.last_entry = static_cast<uint8_t>(entry_plus_1);
    g_index.last_known = true;
}

// The probe, out of line: most lookups ask for the station looked up last.
[[gnu::noinline]] AssocStaLinkMetricEntry* index_probe(AssocStaLinkMetricBuffer& t, const uint8_t (&mac)[6])
{
    unsigned found = 0;
    for (unsigned h = slot_of(mac); g_index.slot[h]; h = (h + 1) & kSlotMask) {
        if (mac_eq(t.entry[g_index.slot[h] - 1].mac, mac)) {
            found = g_index.slot[h];
            break;
        }
    }
    remember(mac, found);
    return found ? &t.entry[found - 1] : nullptr;
}

[[gnu::always_inline]] inline AssocStaLinkMetricEntry* index_find(AssocStaLinkMetricBuffer& t, const uint8_t (&mac)[6])
{
    if (g_index.last_known && mac_eq(g_index.last_mac, mac))
        return g_index.last_entry ? &t.entry[g_index.last_entry - 1] : nullptr;
    return index_probe(t, mac);
}

// The first entry that is free or holds mac; nullptr when every entry holds another station.
[[gnu::always_inline]] inline AssocStaLinkMetricEntry* find_or_free(AssocStaLinkMetricBuffer& t, const uint8_t (&mac)[6], const Args& args)
{
    if (args.scratch_indexed && !mac_zero(mac)) {
        if (AssocStaLinkMetricEntry* e = index_find(t, mac)) return e;
        return g_index.used < MAX_STA_PER_BSS ? &t.entry[g_index.used] : nullptr;
    }
    for (AssocStaLinkMetricEntry& e : t.entry) {
        if (mac_zero(e.mac) || mac_eq(e.mac, mac)) return &e;
    }
    return nullptr;
}

// Gives the free entry e to the station mac.
void take(AssocStaLinkMetricBuffer& t, AssocStaLinkMetricEntry& e, const uint8_t (&mac)[6], const Args& args)
{
    std::memcpy(e.mac, mac, 6);
    if (!args.scratch_indexed || mac_zero(mac)) return;
    unsigned h = slot_of(mac);
    while (g_index.slot[h]) h = (h + 1) & kSlotMask;
    g_index.slot[h] = static_cast<uint8_t>(&e - t.entry + 1);
    ++g_index.used;
    remember(mac, g_index.slot[h]);
}

// The first entry holding mac (a free entry holds the all-zero MAC). A caller's table may
// have free entries anywhere, so all of it is searched.
[[gnu::always_inline]] inline AssocStaLinkMetricEntry* find(AssocStaLinkMetricBuffer* t, const uint8_t (&mac)[6], const Args& args)
{
    if (!t) return nullptr;
    if (args.scratch_indexed && !mac_zero(mac)) return index_find(*t, mac);
    for (AssocStaLinkMetricEntry& e : t->entry) {
        if (mac_eq(e.mac, mac)) return &e;
    }
    return nullptr;
}

// The first BSS entry holding bssid; MAX_BSS_PER_DEVICE when none does. In a walk only AP
// Metrics TLVs change BSSIDs, and they drop the one kept (bss_entries_changed).
uint32_t find_bss(const ApMetricsResp& r, const uint8_t (&bssid)[6], const Args& args)
{
    if (args.scratch_indexed && g_index.last_bss && mac_eq(g_index.last_bssid, bssid)) return g_index.last_bss - 1u;
    uint32_t b = 0;
    while (b < MAX_BSS_PER_DEVICE && !mac_eq(r.bss[b].bssid, bssid)) ++b;
    if (args.scratch_indexed && b < MAX_BSS_PER_DEVICE) {
        std::memcpy(g_index.last_bssid, bssid, 6);
        g_index.last_bss = static_cast<uint8_t>(b + 1);
    }
    return b;
}

// The first free station entry of bss from s on; MAX_STA_PER_BSS when there is none.
uint32_t free_from(const ApMetricsBss& bss, uint32_t s)
{
    while (s < MAX_STA_PER_BSS && !mac_zero(bss.sta[s].mac)) ++s;
    return s;
}

// The first free station entry of BSS entry b. A record handed to the exported extractor
// may hold anything: there it is searched every time.
uint32_t free_station(const ApMetricsBss& bss, uint32_t b, const Args& args)
{
    if (!args.scratch_indexed) return free_from(bss, 0);
    uint8_t& c = g_index.first_free[b];
    if (c == 0) c = static_cast<uint8_t>(free_from(bss, 0) + 1);
    return c - 1u;
}

// Station s of BSS entry b was given mac.
void station_taken(const ApMetricsBss& bss, uint32_t b, uint32_t s, const uint8_t (&mac)[6], const Args& args)
{
    if (!args.scratch_indexed || mac_zero(mac)) return;
    // Mostly the very next entry is free.
    const uint32_t next = s + 1 < MAX_STA_PER_BSS && mac_zero(bss.sta[s + 1].mac) ? s + 1 : free_from(bss, s + 1);
    g_index.first_free[b] = static_cast<uint8_t>(next + 1);
}

// The station entry a scratch entry names, or nullptr while the station is still pending:
// an entry made by traffic counters holds indices 0 and 0 like a station placed there, but
// only a placed station's entry carries its MAC.
[[gnu::always_inline]] inline ApMetricsSta* placed(ApMetricsResp& r, const AssocStaLinkMetricEntry& e)
{
    const uint32_t b = e.bss_idx;
    const uint32_t s = e.sta_idx;
    if (b >= MAX_BSS_PER_DEVICE || s >= MAX_STA_PER_BSS) return nullptr;
    ApMetricsSta& sta = r.bss[b].sta[s];
    return mac_eq(sta.mac, e.mac) ? &sta : nullptr;
}

ApMetricsStaTraffic read_traffic(const Fixed<kTrafficLen>& v)
{
    ApMetricsStaTraffic t;
    t.bytes_sent = v.be32<6>();
    t.bytes_received = v.be32<10>();
    t.packets_sent = v.be32<14>();
    t.packets_received = v.be32<18>();
    t.tx_packets_errors = v.be32<22>();
    t.rx_packets_errors = v.be32<26>();
    t.retrans_count = v.be32<30>();
    return t;
}

void log_traffic(const char* tag, const ApMetricsSta& s)
{
    const ApMetricsStaTraffic& t = s.traffic;
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] %s: STA " LUSL_MAC_FMT ", BytesSent=%u, BytesReceived=%u, PacketsSent=%u, PacketsReceived=%u, "
             "TxPacketsErrors=%u, RxPacketsErrors=%u, RetransCount=%u\n",
             tag, LUSL_MAC_ARG(s.mac), t.bytes_sent, t.bytes_received, t.packets_sent, t.packets_received,
             t.tx_packets_errors, t.rx_packets_errors, t.retrans_count);
}

// Refuses a TLV of a station MAC, a count and count entries of `entry` bytes that its
// length does not hold.
[[gnu::always_inline]] inline bool counted_fits(const Reader& in, size_t entry)
{
    return in.has(kStaHead) && in.has(kStaHead + entry * in.peek(6));
}

// The parts of the station TLVs that run only once the station was found, out of line: the
// many TLVs of stations the table cannot hold return without saving registers for them.
[[gnu::noinline]] int traffic_for(AssocStaLinkMetricBuffer& t, AssocStaLinkMetricEntry& e, const uint8_t (&mac)[6],
                                  const Fixed<kTrafficLen>& v, ApMetricsResp& r, const Args& args)
{
    if (mac_zero(e.mac)) {
        // First word of this station: the counters wait for its link metrics.
        take(t, e, mac, args);
        e.traffic = read_traffic(v);
        return 0;
    }
    ApMetricsSta* sta = placed(r, e);
    if (!sta) {
        // Still pending: the newest counters are the ones to hand over.
        e.traffic = read_traffic(v);
        return 0;
    }
    sta->traffic = read_traffic(v);
    log_traffic("AssociStaTrafficStats", *sta);
    return 0;
}

[[gnu::noinline]] int tids_for(ApMetricsSta& sta, uint8_t n, Reader& in)
{
    const uint8_t kept = n < LUSL_MAX_TID_PER_STA ? n : LUSL_MAX_TID_PER_STA;
    sta.tid_num = kept;
    for (unsigned i = 0; i < kept; ++i) {
        ApMetricsTid& tid = sta.tid[i];
        const auto entry = in.fixed<kTidEntry>();
        tid.tid = entry.u8<0>();
        tid.queue_size = entry.u8<1>();
        LUSL_LOG(kModTlv, kDebug, "[TLV] AssocWiFi6Sta: STA " LUSL_MAC_FMT ", TID = %hhu, QueueSize = %hhu\n",
                 LUSL_MAC_ARG(sta.mac), tid.tid, tid.queue_size);
    }
    return 0;
}

[[gnu::noinline]] int ext_rates_for(ApMetricsSta& sta, const ApMetricsBss& bss, uint8_t k, Reader& in)
{
    // Only the entry for the station's own BSS counts; the last such entry wins.
    for (unsigned j = 0; j < k; ++j) {
        const auto entry = in.fixed<kExtLinkEntry>();
        uint8_t bssid[6];
        entry.copy<0, 6>(bssid);
        if (!mac_eq(bssid, bss.bssid)) continue;
        sta.last_dl_rate = static_cast<uint32_t>(entry.be32<6>() * 1000u);
        sta.last_ul_rate = static_cast<uint32_t>(entry.be32<10>() * 1000u);
        sta.util_rx = entry.be32<14>();
        sta.util_tx = entry.be32<18>();
    }
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] BSS " LUSL_MAC_FMT ", STA " LUSL_MAC_FMT ", DnLinkRate=%u, UplinkRate=%u,UtilRx=%u,UtilTx=%u\n",
             LUSL_MAC_ARG(bss.bssid), LUSL_MAC_ARG(sta.mac), sta.last_dl_rate, sta.last_ul_rate, sta.util_rx,
             sta.util_tx);
    return 0;
}

} // namespace

void scratch_index_reset() noexcept { g_index = ScratchIndex{}; }
void bss_entries_changed() noexcept { g_index.last_bss = 0; }

int h_AssociStaLinkMetric(Reader& in, uint8_t* record, const Args& args)
{
    if (!in.has(kStaHead)) return refuse_short("AssociStaLinkMetric", in.size());
    if (in.peek(6) == 0) {
        LUSL_LOG(kModTlv, kErr, "[TLV] Can't found bssid which associated station\n");
        return 0;
    }
    if (!counted_fits(in, kLinkEntry)) return refuse_short("AssociStaLinkMetric", in.size());

    // Only the first BSSID entry is used; the count made sure it is there.
    const auto v = in.fixed<kStaHead + kLinkEntry>();
    uint8_t sta_mac[6];
    uint8_t bssid[6];
    v.copy<0, 6>(sta_mac);
    v.copy<7, 6>(bssid);
    // 13: time delta
    const uint32_t dl = v.be32<17>();
    const uint32_t ul = v.be32<21>();
    const uint8_t rcpi = v.u8<25>();

    auto& r = resp(record);
    const uint32_t b = find_bss(r, bssid, args);
    if (b == MAX_BSS_PER_DEVICE) {
        LUSL_LOG(kModTlv, kErr, "[TLV] bss_idx is larger than MAX_BSS_PER_DEVICE\n");
        return 0;
    }
    ApMetricsBss& bss = r.bss[b];
    const uint32_t s = free_station(bss, b, args);
    if (s == MAX_STA_PER_BSS) {
        LUSL_LOG(kModTlv, kErr, "[TLV] sta_idx is larger than MAX_STA_PER_BSS\n");
        return 0;
    }
    ApMetricsSta& sta = bss.sta[s];
    std::memcpy(sta.mac, sta_mac, 6);
    station_taken(bss, b, s, sta_mac, args);

    if (AssocStaLinkMetricBuffer* t = table_of(args)) {
        if (AssocStaLinkMetricEntry* e = find_or_free(*t, sta_mac, args)) {
            if (mac_zero(e->mac)) {
                take(*t, *e, sta_mac, args);
            } else {
                // Counters that arrived first move into the entry; a repeated station
                // is re-pointed to its newest entry.
                sta.traffic = e->traffic;
                log_traffic("AssociStaLinkMetric", sta);
            }
            e->bss_idx = b;
            e->sta_idx = s;
        }
    }

    std::memcpy(sta.bssid, bssid, 6);
    sta.est_rate_dl = dl;
    sta.est_rate_ul = ul;
    sta.rcpi_ul = rcpi;
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] AssocStaLink: STA " LUSL_MAC_FMT ", associated BSS " LUSL_MAC_FMT ", uplink/downlink rate=%d/%d, RCPI=%d\n",
             LUSL_MAC_ARG(sta.mac), LUSL_MAC_ARG(sta.bssid), static_cast<int>(ul), static_cast<int>(dl), rcpi);
    return 0;
}

int h_AssociStaTrafficStats(Reader& in, uint8_t* record, const Args& args)
{
    const auto v = in.fixed<kTrafficLen>();
    if (!v) return refuse_short("AssociStaTrafficStats", in.size());
    uint8_t mac[6];
    v.copy<0, 6>(mac);

    AssocStaLinkMetricBuffer* t = table_of(args);
    AssocStaLinkMetricEntry* e = t ? find_or_free(*t, mac, args) : nullptr;
    if (!e) return 0; // table full: dropped
    return traffic_for(*t, *e, mac, v, resp(record), args);
}

int h_AssocWiFi6StaStatus(Reader& in, uint8_t* record, const Args& args)
{
    if (!counted_fits(in, kTidEntry)) return refuse_short("AssocWiFi6Sta", in.size());
    const auto head = in.fixed<kStaHead>();
    uint8_t mac[6];
    head.copy<0, 6>(mac);

    const AssocStaLinkMetricEntry* e = find(table_of(args), mac, args);
    ApMetricsSta* sta = e ? placed(resp(record), *e) : nullptr;
    if (!sta) return 0;
    return tids_for(*sta, head.u8<6>(), in);
}

int h_assocStaExtLinkmetric(Reader& in, uint8_t* record, const Args& args)
{
    if (!counted_fits(in, kExtLinkEntry)) return refuse_short("assocStaExtLinkmetric", in.size());
    const auto head = in.fixed<kStaHead>();
    uint8_t mac[6];
    head.copy<0, 6>(mac);

    auto& r = resp(record);
    const AssocStaLinkMetricEntry* e = find(table_of(args), mac, args);
    ApMetricsSta* sta = e ? placed(r, *e) : nullptr;
    if (!sta) return 0;
    return ext_rates_for(*sta, r.bss[e->bss_idx], head.u8<6>(), in);
}

} // namespace lusl

extern "C" {

#define LUSL_STA_SHIM(name)                                                                          \
    LUSL_API int tlv_##name##_extract(const uint8_t* value, uint8_t* record,                        \
                                      struct AssocStaLinkMetricBuffer* scratch)                     \
    {                                                                                                \
        lusl::Args a;                                                                                \
        a.scratch = scratch;                                                                         \
        return lusl::run_handler(lusl::h_##name, value, lusl::kMaxTlvLen, record, a);                \
    }

LUSL_STA_SHIM(AssociStaLinkMetric)
LUSL_STA_SHIM(AssociStaTrafficStats)
LUSL_STA_SHIM(AssocWiFi6StaStatus)
LUSL_STA_SHIM(assocStaExtLinkmetric)

#undef LUSL_STA_SHIM
} // extern "C"
