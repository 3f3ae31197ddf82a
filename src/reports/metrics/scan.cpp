// SPDX-License-Identifier: BSD-2-Clause
// Channel Scan Report: the Channel Scan Result extractor, the neighbour lists it builds and
// their release.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "core/dispatch.h"
#include "core/record.h"
#include "core/log.h"
#include "luSL/luSL.h"
#include "reports/metrics/scan_link.h"

namespace lusl {

#if UINTPTR_MAX > 0xFFFFFFFFu
scan::NodeTable scan::g_nodes{kNoBase, nullptr, 0, 0, 0, 0};

namespace {

bool grow_table(scan::NodeTable& t) noexcept
{
    if (t.cap > UINT32_MAX / 2) return false; // links are 2 * slot + 1, in 32 bits
    const uint32_t cap = t.cap ? t.cap * 2 : 64;
    auto* slot = static_cast<uintptr_t*>(realloc(t.slot, size_t{cap} * sizeof(uintptr_t)));
    if (!slot) return false;
    t.slot = slot;
    t.cap = cap;
    return true;
}

} // namespace

scan::NewNode scan::table_node(ChScanNbrBss* p) noexcept
{
    NodeTable& t = g_nodes;
    if (t.neg_base == kNoBase) {
        // The first node: the base sits 8 bytes below it.
        t.neg_base = 8 - reinterpret_cast<uintptr_t>(p);
        return {p, 8};
    }
    uint32_t link = t.free_head;
    if (link) {
        t.free_head = static_cast<uint32_t>(t.slot[link >> 1] >> 1);
    } else {
        if (t.top == t.cap && !grow_table(t)) {
            free(p);
            return {nullptr, 0};
        }
        link = t.top++ << 1 | 1;
    }
    t.slot[link >> 1] = ~reinterpret_cast<uintptr_t>(p);
    ++t.live;
    return {p, link};
}

ChScanNbrBss* scan::table_at(uint32_t link) noexcept
{
    const NodeTable& t = g_nodes;
    if ((link >> 1) >= t.top) return nullptr;
    const uintptr_t v = t.slot[link >> 1];
    if (!(v & 1)) return nullptr;
    return reinterpret_cast<ChScanNbrBss*>(~v); // NOLINT(performance-no-int-to-ptr)
}

void scan::table_release(uint32_t link) noexcept
{
    NodeTable& t = g_nodes;
    t.slot[link >> 1] = uintptr_t{t.free_head} << 1;
    t.free_head = link;
    if (--t.live) return;
    free(t.slot);
    t = NodeTable{t.neg_base, nullptr, 0, 0, 0, 0};
}
#endif

namespace {

constexpr const char* kTlvName = "ChScanResult";
constexpr size_t kStrRoom = sizeof(ChScanNbrBss::ssid);
constexpr size_t kStampRoom = sizeof(ChScanRadio::timestamp);    // 65
constexpr size_t kStampChars = sizeof(ChScanChannel::timestamp) - 1; // 64

static_assert(sizeof(ChScanNbrBss::ch_bw) == kStrRoom);
static_assert(kStrRoom <= 64 && kStampRoom == 65, "copy_short takes at most 64 bytes");

constexpr size_t kNbrHead = 7; // BSSID, SSID length
constexpr size_t kNbrMid = 2;  // signal strength, channel bandwidth length (after the SSID)
constexpr size_t kBssLoad = 3; // channel utilisation, station count

// A neighbour is read in three runs of which each gives the length of the next (BSSID and
// SSID length; SSID, signal strength and bandwidth length; bandwidth and present byte), then
// the BSS load fields when the present byte says so: one bounds check per run.

// True when `count` neighbours and the closing fields fit what is left of the value.
bool neighbours_fit(Reader in, unsigned count)
{
    for (unsigned i = 0; i < count; ++i) {
        const uint8_t *head = nullptr, *mid = nullptr, *bw = nullptr;
        if (!in.take(kNbrHead, head)) return false;
        const uint8_t s = head[6];
        if (!in.take(s + kNbrMid, mid)) return false;
        const uint8_t w = mid[s + 1];
        if (!in.take(w + 1u, bw)) return false;
        if ((bw[w] & 0x80) && !in.skip(kBssLoad)) return false;
    }
    return in.skip(5); // aggregate scan duration, scan type
}

// A length byte may announce more than the field's room: keep what fits; the Reader has
// already stepped over the rest.
[[gnu::always_inline]] inline void keep_string(uint8_t (&field)[kStrRoom], const uint8_t* from, uint8_t len)
{
    copy_short(field, from, std::min<size_t>(len, kStrRoom));
}

// Fills a zero-filled node; false when the value ends within the neighbour.
[[gnu::always_inline]] inline bool read_neighbour(Span& in, ChScanNbrBss& nb)
{
    const uint8_t *head = nullptr, *mid = nullptr, *bw = nullptr, *load = nullptr;
    if (!in.take(kNbrHead, head)) return false;
    std::memcpy(nb.bssid, head, 6);
    const uint8_t s = head[6];
    nb.ssid_len = s;
    if (!in.take(s + kNbrMid, mid)) return false;
    keep_string(nb.ssid, mid, s);
    nb.signal_strength = mid[s];
    const uint8_t w = mid[s + 1];
    nb.ch_bw_len = w;
    if (!in.take(w + 1u, bw)) return false;
    keep_string(nb.ch_bw, bw, w);
    const uint8_t present = bw[w];
    nb.bss_load_present = present;
    if (present & 0x80) {
        if (!in.take(kBssLoad, load)) return false;
        nb.ch_util = load[0];
        nb.sta_count = static_cast<uint16_t>(load[1] << 8 | load[2]);
    }
    return true;
}

// Frees the nodes of a list from its first link on.
void release_chain(uint32_t link)
{
    while (ChScanNbrBss* node = scan::node_at(link)) {
        const uint32_t next = node->next;
        scan::node_delete(link, node);
        link = next;
    }
}

// Frees the nodes of a channel's list; a count of 0 marks the list as gone.
void release_list(ChScanChannel& ch)
{
    if (ch.nbr_head == 0 || ch.nbr_num == 0) return;
    release_chain(ch.nbr_head);
    ch.nbr_num = 0;
}

ChScanRadio* find_radio(ChScanRpt& r, const uint8_t (&ruid)[6])
{
    for (ChScanRadio& radio : r.radio) {
        if (mac_is_zero(radio.ruid)) {
            std::memcpy(radio.ruid, ruid, 6);
            ++r.radio_num;
            return &radio;
        }
        if (mac_equal(radio.ruid, ruid)) return &radio;
    }
    return nullptr;
}

// What a successful result carries after its status byte, read before the record is looked
// at. Its neighbours are in a list of their own until every check has passed. Only what
// every path reads starts set; read_result() gives the rest before its success is looked at
// (zero-initialising the whole would cost a `rep stos` per TLV).
struct Result {
    const uint8_t* stamp = nullptr;
    size_t stamp_len;
    uint8_t util, noise;
    uint16_t nbr_num;
    uint32_t head = 0;
    bool out_of_memory = false; // the list holds the neighbours allocated before
    uint32_t duration;
    uint8_t scan_type;
};

// Reads `count` neighbours into a list of their own (res.head); false when the value ends
// within one. Out of line and with a two-pointer cursor, so that what the loop keeps across
// the allocations fits the registers the calls preserve.
[[gnu::noinline]] bool read_neighbours(Reader& value, unsigned count, Result& res)
{
    Span in = value.rest();
    // Where the next link goes: the list's head, then the last node's next field.
    auto* link_to = reinterpret_cast<uint8_t*>(&res.head);
    for (unsigned left = count; left; --left) {
        const scan::NewNode nn = scan::node_new();
        if (!nn.node) {
            res.out_of_memory = true;
            Reader rest = value;
            rest.skip_to(in);
            return neighbours_fit(rest, left);
        }
        std::memcpy(link_to, &nn.link, sizeof nn.link);
        link_to = reinterpret_cast<uint8_t*>(nn.node) + offsetof(ChScanNbrBss, next);
        if (!read_neighbour(in, *nn.node)) return false;
    }
    return value.skip_to(in);
}

// False when the value is shorter than the fields it announces. A failed allocation stops
// the reading, after which the rest is only measured.
bool read_result(Reader& in, Result& res)
{
    res.stamp_len = in.u8();
    in.take(res.stamp_len, res.stamp);
    const auto mid = in.fixed<4>();
    res.util = mid.u8<0>();
    res.noise = mid.u8<1>();
    res.nbr_num = mid.be16<2>();
    const bool ok = read_neighbours(in, res.nbr_num, res);
    if (!ok || res.out_of_memory) return ok;
    const auto end = in.fixed<5>();
    res.duration = end.be32<0>();
    res.scan_type = end.u8<4>();
    return static_cast<bool>(end);
}

} // namespace

int h_ChScanResult(Reader& value, uint8_t* record, const Args&)
{
    // A cursor of our own: the stores into the record and the nodes cannot alias it, so it
    // stays in registers.
    Reader in = value;
    auto& r = record_as<ChScanRpt>(record);
    const auto head = in.fixed<9>();
    if (!head) return refuse_short(kTlvName, in.size());
    uint8_t ruid[6];
    head.copy<0, 6>(ruid);
    const uint8_t op_class = head.u8<6>();
    const uint8_t channel = head.u8<7>();
    const uint8_t status = head.u8<8>();
    Result res;
    if (status == 0 && !read_result(in, res)) {
        release_chain(res.head);
        return refuse_short(kTlvName, in.size());
    }

    // A refused TLV takes its list with it and leaves the record as it was.
    if (mac_is_zero(ruid)) {
        release_chain(res.head);
        LUSL_LOG(kModTlv, kWarn, "[TLV] ChScanRpt TLV radio mac is null\n");
        return -1;
    }
    ChScanRadio* radio = find_radio(r, ruid);
    if (!radio) {
        release_chain(res.head);
        LUSL_LOG(kModTlv, kWarn, "[TLV] ChScanRpt TLV number of radio exceed max definition\n");
        return -1;
    }
    if (radio->ch_num >= MAX_CHANNEL_NUM_PER_OPCLASS) {
        release_chain(res.head);
        LUSL_LOG(kModTlv, kWarn, "[TLV] ChScanRpt TLV number of channel exceed max definition\n");
        return -1;
    }
    ChScanChannel& ch = radio->ch[radio->ch_num++];
    // Only an entry given up by a cut-short encoding can still hold something.
    release_list(ch);
    zero_fixed<sizeof ch>(&ch);
    ch.op_class = op_class;
    ch.channel = channel;
    ch.scan_status = status;
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] Ch Scan result: Radio " LUSL_MAC_FMT ", Opclass = %hhu, Channel = %hhu, Status = %hhu\n",
             LUSL_MAC_ARG(radio->ruid), op_class, channel, status);
    if (status != 0) return 0;

    // The radio keeps up to 65 timestamp bytes over the earlier ones (those after them stay);
    // the channel keeps them as a string, up to their first zero.
    const size_t keep = std::min(res.stamp_len, kStampRoom);
    if (keep == kStampRoom)
        copy_fixed<kStampRoom>(radio->timestamp, res.stamp);
    else
        copy_short(radio->timestamp, res.stamp, keep);
    ch.ch_util = res.util;
    ch.noise = res.noise;
    ch.nbr_num = res.nbr_num;
    if (keep) copy_short(ch.timestamp, res.stamp, strnlen(reinterpret_cast<const char*>(res.stamp), std::min(keep, kStampChars)));
    LUSL_LOG(kModTlv, kDebug, "[TLV] Ch Scan result: Util = %hhu, NumNbr = %hu, Noise = %hhu\n", ch.ch_util,
             res.nbr_num, ch.noise);
    ch.nbr_head = res.head;
    if (res.out_of_memory) {
        LUSL_LOG(kModTlv, kErr, "[TLV] Ch Scan result: Allocate memory fail\n");
        return -1;
    }
    radio->scan_duration = res.duration;
    radio->scan_type = res.scan_type;
    return 0;
}

} // namespace lusl

extern "C" {

LUSL_API int tlv_ChScanResult_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_ChScanResult, value, lusl::kMaxTlvLen, record);
}

LUSL_API int CheckingNullMAC(const uint8_t* mac)
{
    return !mac || lusl::mac_is_zero(mac);
}

LUSL_API void luSL_ChScanRpt_NbrBss_clear(ChScanRpt* record)
{
    if (!record) return;
    for (ChScanRadio& radio : record->radio)
        for (ChScanChannel& ch : radio.ch) lusl::release_list(ch);
}

} // extern "C"
