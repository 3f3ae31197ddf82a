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

using Table = AssocStaLinkMetricBuffer;
using Entry = AssocStaLinkMetricEntry;
using Mac = uint8_t[6];

Table* table_of(const Args& args) { return static_cast<Table*>(args.scratch); }

// A MAC as one number, to compare and keep in a register.
[[gnu::always_inline]] inline uint64_t key_of(const Mac& m)
{
    uint32_t lo;
    uint16_t hi;
    std::memcpy(&lo, m, 4);
    std::memcpy(&hi, m + 4, 2);
    return lo | uint64_t{hi} << 32;
}

// The first free station entry of bss from s on; MAX_STA_PER_BSS when there is none.
uint32_t free_from(const ApMetricsBss& bss, uint32_t s)
{
    while (s < MAX_STA_PER_BSS && !mac_zero(bss.sta[s].mac)) ++s;
    return s;
}

// The first BSS entry holding bssid; MAX_BSS_PER_DEVICE when none does.
uint32_t bss_search(const ApMetricsResp& r, const Mac& bssid)
{
    uint32_t b = 0;
    while (b < MAX_BSS_PER_DEVICE && !mac_eq(r.bss[b].bssid, bssid)) ++b;
    return b;
}

// ---------------------------------------------------------------- a caller's scratch table
// The exported extractors join through whatever table the caller hands them (or none), which
// may hold anything: it is searched in full every time, free entries compared like any other.
struct Searched {
    Table* t;

    // The first entry holding mac (a free entry holds the all-zero MAC).
    Entry* find(const Mac& mac) const
    {
        if (!t) return nullptr;
        for (Entry& e : t->entry)
            if (mac_eq(e.mac, mac)) return &e;
        return nullptr;
    }
    // The first entry that is free or holds mac; nullptr when every entry holds another station.
    Entry* find_or_free(const Mac& mac) const
    {
        if (!t) return nullptr;
        for (Entry& e : t->entry)
            if (mac_zero(e.mac) || mac_eq(e.mac, mac)) return &e;
        return nullptr;
    }
    // Gives the free entry e to the station mac.
    void take(Entry& e, const Mac& mac) const { std::memcpy(e.mac, mac, 6); }
    // Nothing is known of the table beforehand, nor kept of the BSS last named.
    bool may_hold(const Mac&) const { return t != nullptr; }
    bool known_missing(const Mac&) const { return false; }
    bool kept_bss(const Mac&, uint32_t&) const { return false; }
    void keep_bss(const Mac&, uint32_t, const ApMetricsBss&) const {}
    // So may the caller's record: its station entries are searched every time too.
    uint32_t free_station(const ApMetricsBss& bss, uint32_t) const { return free_from(bss, 0); }
    void station_taken(const ApMetricsBss&, uint32_t, uint32_t, const Mac&) const {}
};

// ---------------------------------------------------------------- the walker's scratch table
// The walker's own table starts empty and only these extractors write it, so it is indexed by
// station MAC instead of scanned per TLV (from the 65th station of a message on, every TLV
// would scan all 64 entries). Entries are only ever taken at the first free one, so the ones
// holding a non-zero MAC are always the prefix [0, used).
//
// Station entries of a BSS are likewise only taken at the first free one, and a walk writes a
// station MAC nowhere else: the walk keeps each BSS's first free entry, found once and moved
// on only when a non-zero MAC is written (a zero MAC leaves the entry free). The record may
// be a caller's (process_tlv), so the first search and each move look at the entries.
//
// A station's TLVs come one after the other, so the last station looked up and the last BSS a
// link metrics TLV named are kept too: the next TLV mostly asks for the same.
constexpr unsigned kSlotBits = 8;
constexpr unsigned kSlots = 1u << kSlotBits;
constexpr unsigned kSlotMask = kSlots - 1;
// A quarter full at most: most lookups of a station not in the table end at their first slot.
static_assert(kSlots >= 4 * MAX_STA_PER_BSS && kSlots <= 256, "slots hold an entry index + 1 in a byte");
constexpr uint64_t kNoKey = ~uint64_t{0}; // no MAC has this key

struct ScratchIndex {
    uint8_t slot[kSlots]; // entry index + 1; 0 = empty
    uint64_t last_key;    // station last looked up (never the zero MAC); kNoKey = none
    uint64_t last_bssid;  // BSSID of the BSS entry kept; kNoKey = none
    uint8_t last_entry;   // last_key's entry index + 1; 0 = not in the table
    uint8_t last_bss;     // index of the BSS entry kept
    uint8_t used;
    uint8_t first_free[MAX_BSS_PER_DEVICE]; // station index + 1; 0 = not looked for yet
};
ScratchIndex g_index;

// The top bits of a multiplicative hash of the MAC's last four bytes, the ones that differ.
unsigned slot_of(uint64_t key) { return (static_cast<uint32_t>(key >> 16) * 0x9E3779B1u) >> (32 - kSlotBits); }

// The entry index + 1 of a non-zero key whose first slot h is taken, 0 when no entry holds
// it; kept as the last lookup. Out of line: most lookups ask for the station looked up last,
// and most of the others find their first slot empty.
[[gnu::noinline]] unsigned probe(const Table& t, uint64_t key, unsigned h)
{
    unsigned found = 0;
    for (; g_index.slot[h]; h = (h + 1) & kSlotMask) {
        if (key_of(t.entry[g_index.slot[h] - 1].mac) == key) {
            found = g_index.slot[h];
            break;
        }
    }
    g_index.last_key = key;
    g_index.last_entry = static_cast<uint8_t>(found);
    return found;
}

struct Indexed {
    Table& t;

    [[gnu::always_inline]] Entry* find(const Mac& mac) const
    {
        const uint64_t key = key_of(mac);
        unsigned e;
        if (key == g_index.last_key) {
            e = g_index.last_entry;
        } else if (key != 0) {
            const unsigned h = slot_of(key);
            if (g_index.slot[h]) {
                e = probe(t, key, h);
            } else {
                g_index.last_key = key;
                g_index.last_entry = 0;
                e = 0;
            }
        } else { // free entries hold the zero MAC: the first free one
            e = g_index.used < MAX_STA_PER_BSS ? g_index.used + 1u : 0u;
        }
        return e ? &t.entry[e - 1] : nullptr;
    }
    // False when the table neither holds mac nor has room for it, as the last lookup
    // found: the stations of a message after the 64th.
    [[gnu::always_inline]] bool may_hold(const Mac& mac) const
    {
        return g_index.last_entry || g_index.used < MAX_STA_PER_BSS || key_of(mac) != g_index.last_key;
    }
    // True when the last lookup was for mac and found no entry.
    [[gnu::always_inline]] bool known_missing(const Mac& mac) const
    {
        return key_of(mac) == g_index.last_key && !g_index.last_entry;
    }
    [[gnu::always_inline]] Entry* find_or_free(const Mac& mac) const
    {
        if (Entry* e = find(mac)) return e;
        return g_index.used < MAX_STA_PER_BSS ? &t.entry[g_index.used] : nullptr;
    }
    // e is the first free entry, t.entry[used].
    [[gnu::always_inline]] void take(Entry& e, const Mac& mac) const
    {
        std::memcpy(e.mac, mac, 6);
        const uint64_t key = key_of(mac);
        if (key == 0) return;
        unsigned h = slot_of(key);
        while (g_index.slot[h]) h = (h + 1) & kSlotMask;
        const uint8_t entry = ++g_index.used;
        g_index.slot[h] = entry;
        g_index.last_key = key;
        g_index.last_entry = entry;
    }
    // The BSS entry a link metrics TLV named last, kept for the next. Only AP Metrics TLVs
    // change BSSIDs, and they drop it (bss_entries_changed).
    [[gnu::always_inline]] bool kept_bss(const Mac& bssid, uint32_t& b) const
    {
        b = g_index.last_bss;
        return key_of(bssid) == g_index.last_bssid;
    }
    // A kept BSS entry has its first free station entry looked for.
    [[gnu::always_inline]] void keep_bss(const Mac& bssid, uint32_t b, const ApMetricsBss& bss) const
    {
        g_index.last_bssid = key_of(bssid);
        g_index.last_bss = static_cast<uint8_t>(b);
        uint8_t& c = g_index.first_free[b];
        if (c == 0) c = static_cast<uint8_t>(free_from(bss, 0) + 1);
    }
    [[gnu::always_inline]] uint32_t free_station(const ApMetricsBss&, uint32_t b) const { return g_index.first_free[b] - 1u; }
    // Station s of BSS entry b was given mac.
    [[gnu::always_inline]] void station_taken(const ApMetricsBss& bss, uint32_t b, uint32_t s, const Mac& mac) const
    {
        if (mac_zero(mac)) return;
        // Mostly the very next entry is free.
        const ApMetricsSta* next = s + 1 < MAX_STA_PER_BSS ? &bss.sta[s + 1] : nullptr;
        g_index.first_free[b] = static_cast<uint8_t>((next && mac_zero(next->mac) ? s + 1 : free_from(bss, s + 1)) + 1);
    }
};

// ---------------------------------------------------------------- the four TLVs

// The station entry a scratch entry names, or nullptr while the station is still pending:
// an entry made by traffic counters holds indices 0 and 0 like a station placed there, but
// only a placed station's entry carries its MAC.
[[gnu::always_inline]] inline ApMetricsSta* placed(ApMetricsResp& r, const Entry& e)
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

// Station entry s of BSS entry b was given to mac: its scratch entry names it from now on.
template <class J>
[[gnu::noinline]] void join_placed(J j, ApMetricsSta& sta, uint32_t b, uint32_t s, const Mac& mac)
{
    Entry* e = j.find_or_free(mac);
    if (!e) return;
    if (mac_zero(e->mac)) {
        j.take(*e, mac);
    } else {
        // Counters that arrived first move into the entry; a repeated station
        // is re-pointed to its newest entry.
        sta.traffic = e->traffic;
        log_traffic("AssociStaLinkMetric", sta);
    }
    e->bss_idx = b;
    e->sta_idx = s;
}

// The rest of a placed link metrics TLV: rates and RCPI of its first BSSID entry, and its line.
[[gnu::always_inline]] inline int fill_link(ApMetricsSta& sta, const Fixed<kStaHead + kLinkEntry>& v, const Mac& sta_mac,
                                            const Mac& bssid)
{
    // 13: time delta
    const uint32_t dl = v.be32<17>();
    const uint32_t ul = v.be32<21>();
    const uint8_t rcpi = v.u8<25>();
    std::memcpy(sta.bssid, bssid, 6);
    sta.est_rate_dl = dl;
    sta.est_rate_ul = ul;
    sta.rcpi_ul = rcpi;
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] AssocStaLink: STA " LUSL_MAC_FMT ", associated BSS " LUSL_MAC_FMT ", uplink/downlink rate=%d/%d, RCPI=%d\n",
             LUSL_MAC_ARG(sta_mac), LUSL_MAC_ARG(bssid), static_cast<int>(ul), static_cast<int>(dl), rcpi);
    return 0;
}

template <class J>
[[gnu::noinline]] int link_metrics(const uint8_t* value, size_t len, uint8_t* record, J j)
{
    Reader in(value, len);
    if (!in.has(kStaHead)) return refuse_short("AssociStaLinkMetric", in.size());
    if (in.peek(6) == 0) {
        LUSL_LOG(kModTlv, kErr, "[TLV] Can't found bssid which associated station\n");
        return 0;
    }
    if (!in.has(kStaHead + kLinkEntry * in.peek(6))) return refuse_short("AssociStaLinkMetric", in.size());
    // Only the first BSSID entry is used; the count made sure it is there.
    const auto v = in.fixed<kStaHead + kLinkEntry>();
    uint8_t sta_mac[6];
    uint8_t bssid[6];
    v.template copy<0, 6>(sta_mac);
    v.template copy<7, 6>(bssid);

    auto& r = resp(record);
    uint32_t b;
    if (!j.kept_bss(bssid, b)) {
        b = bss_search(r, bssid);
        if (b == MAX_BSS_PER_DEVICE) {
            LUSL_LOG(kModTlv, kErr, "[TLV] bss_idx is larger than MAX_BSS_PER_DEVICE\n");
            return 0;
        }
        j.keep_bss(bssid, b, r.bss[b]);
    }
    ApMetricsBss& bss = r.bss[b];
    const uint32_t s = j.free_station(bss, b);
    if (s == MAX_STA_PER_BSS) {
        LUSL_LOG(kModTlv, kErr, "[TLV] sta_idx is larger than MAX_STA_PER_BSS\n");
        return 0;
    }
    ApMetricsSta& sta = bss.sta[s];
    std::memcpy(sta.mac, sta_mac, 6);
    j.station_taken(bss, b, s, sta_mac);

    if (j.may_hold(sta_mac)) join_placed(j, sta, b, s, sta_mac);

    return fill_link(sta, v, sta_mac, bssid);
}

// What a traffic stats TLV does once the station's entry was found, out of line: the many
// TLVs of stations the table cannot hold return without saving registers for it.
template <class J>
[[gnu::noinline]] int traffic_for(J j, Entry& e, const Mac& mac, const Fixed<kTrafficLen>& v, ApMetricsResp& r)
{
    if (mac_zero(e.mac)) {
        // First word of this station: the counters wait for its link metrics.
        j.take(e, mac);
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

template <class J>
[[gnu::always_inline]] inline int traffic_stats(const uint8_t* value, size_t len, uint8_t* record, J j)
{
    Reader in(value, len);
    if (!in.has(kTrafficLen)) return refuse_short("AssociStaTrafficStats", in.size());
    const auto v = in.fixed<kTrafficLen>();
    uint8_t mac[6];
    v.copy<0, 6>(mac);
    Entry* e = j.find_or_free(mac);
    if (!e) return 0; // table full: dropped
    return traffic_for(j, *e, mac, v, resp(record));
}

// Once the station may have an entry the TLV can reach, out of line: the many TLVs of
// stations the table cannot hold return without a frame. The value holds its count's entries.
// The front both counted station TLVs share: a station MAC, a count and that many entries of
// `entry` bytes, refused when short; a station the last lookup did not find returns before
// `found` sets anything up.
template <class J>
[[gnu::always_inline]] inline int counted_station(const char* tlv, size_t entry, const uint8_t* value, size_t len,
                                                  uint8_t* record, J j,
                                                  int (*found)(const uint8_t*, size_t, uint8_t*, J))
{
    Reader in(value, len);
    if (!counted_fits(in, entry)) return refuse_short(tlv, in.size());
    uint8_t mac[6];
    in.fixed<kStaHead>().copy<0, 6>(mac);
    if (j.known_missing(mac)) return 0;
    return found(value, len, record, j);
}

template <class J>
[[gnu::noinline, gnu::nonnull(1)]] int wifi6_found(const uint8_t* value, size_t len, uint8_t* record, J j)
{
    Reader in(value, len);
    const auto head = in.fixed<kStaHead>();
    uint8_t mac[6];
    head.copy<0, 6>(mac);
    const Entry* e = j.find(mac);
    ApMetricsSta* sta = e ? placed(resp(record), *e) : nullptr;
    if (!sta) return 0;
    const uint8_t n = head.u8<6>();
    const uint8_t kept = n < LUSL_MAX_TID_PER_STA ? n : LUSL_MAX_TID_PER_STA;
    sta->tid_num = kept;
    for (unsigned i = 0; i < kept; ++i) {
        ApMetricsTid& tid = sta->tid[i];
        const auto entry = in.fixed<kTidEntry>();
        tid.tid = entry.u8<0>();
        tid.queue_size = entry.u8<1>();
        LUSL_LOG(kModTlv, kDebug, "[TLV] AssocWiFi6Sta: STA " LUSL_MAC_FMT ", TID = %hhu, QueueSize = %hhu\n",
                 LUSL_MAC_ARG(sta->mac), tid.tid, tid.queue_size);
    }
    return 0;
}

template <class J>
[[gnu::noinline, gnu::nonnull(1)]] int ext_found(const uint8_t* value, size_t len, uint8_t* record, J j)
{
    Reader in(value, len);
    const auto head = in.fixed<kStaHead>();
    uint8_t mac[6];
    head.copy<0, 6>(mac);
    auto& r = resp(record);
    const Entry* e = j.find(mac);
    ApMetricsSta* sta = e ? placed(r, *e) : nullptr;
    if (!sta) return 0;
    const ApMetricsBss& bss = r.bss[e->bss_idx];
    const uint8_t k = head.u8<6>();
    // Only the entry for the station's own BSS counts; the last such entry wins.
    for (unsigned i = 0; i < k; ++i) {
        const auto entry = in.fixed<kExtLinkEntry>();
        uint8_t bssid[6];
        entry.copy<0, 6>(bssid);
        if (!mac_eq(bssid, bss.bssid)) continue;
        sta->last_dl_rate = static_cast<uint32_t>(entry.be32<6>() * 1000u);
        sta->last_ul_rate = static_cast<uint32_t>(entry.be32<10>() * 1000u);
        sta->util_rx = entry.be32<14>();
        sta->util_tx = entry.be32<18>();
    }
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] BSS " LUSL_MAC_FMT ", STA " LUSL_MAC_FMT ", DnLinkRate=%u, UplinkRate=%u,UtilRx=%u,UtilTx=%u\n",
             LUSL_MAC_ARG(bss.bssid), LUSL_MAC_ARG(sta->mac), sta->last_dl_rate, sta->last_ul_rate, sta->util_rx,
             sta->util_tx);
    return 0;
}

template <class J>
[[gnu::always_inline]] inline int wifi6_status(const uint8_t* value, size_t len, uint8_t* record, J j)
{
    return counted_station("AssocWiFi6Sta", kTidEntry, value, len, record, j, wifi6_found<J>);
}

template <class J>
[[gnu::always_inline]] inline int ext_link_metrics(const uint8_t* value, size_t len, uint8_t* record, J j)
{
    return counted_station("assocStaExtLinkmetric", kExtLinkEntry, value, len, record, j, ext_found<J>);
}

} // namespace

void scratch_index_reset() noexcept
{
    g_index = ScratchIndex{};
    g_index.last_key = kNoKey;
    g_index.last_bssid = kNoKey;
}
void bss_entries_changed() noexcept { g_index.last_bssid = kNoKey; }

// The walker's handlers: its own table, indexed.
int h_AssociStaLinkMetric(const uint8_t* value, size_t len, uint8_t* record, const Args& a)
{
    const Indexed j{*table_of(a)};
    // Most link metrics TLVs of a message name the BSS the one before named, take the station
    // entry after that one's and find the scratch table of no use to them (full, and the
    // station not in it): they need no more than their stores. The rest take the whole way.
    Reader in(value, len);
    if (in.has(kStaHead) && in.peek(6) != 0 && in.has(kStaHead + kLinkEntry * in.peek(6))) {
        const auto v = in.fixed<kStaHead + kLinkEntry>();
        uint8_t sta_mac[6];
        uint8_t bssid[6];
        v.copy<0, 6>(sta_mac);
        v.copy<7, 6>(bssid);
        uint32_t b;
        // The last lookup is never of the zero MAC, so this station's is not zero.
        if (j.kept_bss(bssid, b) && !j.may_hold(sta_mac)) {
            ApMetricsBss& bss = resp(record).bss[b];
            const uint32_t s = j.free_station(bss, b);
            if (s + 1 < MAX_STA_PER_BSS && mac_zero(bss.sta[s + 1].mac)) {
                g_index.first_free[b] = static_cast<uint8_t>(s + 2);
                ApMetricsSta& sta = bss.sta[s];
                std::memcpy(sta.mac, sta_mac, 6);
                return fill_link(sta, v, sta_mac, bssid);
            }
        }
    }
    return link_metrics(value, len, record, j);
}
int h_AssociStaTrafficStats(const uint8_t* value, size_t len, uint8_t* record, const Args& a)
{
    return traffic_stats(value, len, record, Indexed{*table_of(a)});
}
int h_AssocWiFi6StaStatus(const uint8_t* value, size_t len, uint8_t* record, const Args& a)
{
    return wifi6_status(value, len, record, Indexed{*table_of(a)});
}
int h_assocStaExtLinkmetric(const uint8_t* value, size_t len, uint8_t* record, const Args& a)
{
    return ext_link_metrics(value, len, record, Indexed{*table_of(a)});
}

} // namespace lusl

extern "C" {

// The exported extractors join through the caller's table.
#define LUSL_STA_SHIM(name, body)                                                                    \
    LUSL_API int tlv_##name##_extract(const uint8_t* value, uint8_t* record,                        \
                                      struct AssocStaLinkMetricBuffer* scratch)                     \
    {                                                                                                \
        return lusl::body(value, lusl::kMaxTlvLen, record, lusl::Searched{scratch});                 \
    }

LUSL_STA_SHIM(AssociStaLinkMetric, link_metrics)
LUSL_STA_SHIM(AssociStaTrafficStats, traffic_stats)
LUSL_STA_SHIM(AssocWiFi6StaStatus, wifi6_status)
LUSL_STA_SHIM(assocStaExtLinkmetric, ext_link_metrics)

#undef LUSL_STA_SHIM
} // extern "C"
