// SPDX-License-Identifier: BSD-2-Clause
// Channel Scan Report: the Channel Scan Result extractor, the neighbour lists it builds and
// their release.
#include <algorithm>
#include <cstring>

#include "core/dispatch.h"
#include "core/record.h"
#include "core/log.h"
#include "luSL/luSL.h"
#include "reports/metrics/scan_link.h"

namespace lusl {

#if UINTPTR_MAX > 0xFFFFFFFFu
scan::NodeTable scan::g_nodes;

bool scan::grow_table() noexcept
{
    NodeTable& t = g_nodes;
    if (t.cap > UINT32_MAX / 2) return false; // links are 32 bits
    const uint32_t cap = t.cap ? t.cap * 2 : 64;
    auto* slot = static_cast<uintptr_t*>(realloc(t.slot, size_t{cap} * sizeof(uintptr_t)));
    if (!slot) return false;
    t.slot = slot;
    t.cap = cap;
    return true;
}

void scan::drop_table() noexcept
{
    free(g_nodes.slot);
    g_nodes = NodeTable{};
}
#endif

namespace {

constexpr const char* kTlvName = "ChScanResult";
constexpr size_t kStrRoom = sizeof(ChScanNbrBss::ssid);
constexpr size_t kStampRoom = sizeof(ChScanRadio::timestamp);    // 65
constexpr size_t kStampChars = sizeof(ChScanChannel::timestamp) - 1; // 64

static_assert(sizeof(ChScanNbrBss::ch_bw) == kStrRoom);

constexpr size_t kNbrHead = 7; // BSSID, SSID length
constexpr size_t kNbrMid = 2;  // signal strength, channel bandwidth length
constexpr size_t kBssLoad = 3; // channel utilisation, station count

// Steps over one neighbour; the Reader fails when it runs past the value.
[[gnu::always_inline]] inline void skip_neighbour(Reader& in)
{
    in.skip(in.fixed<kNbrHead>().u8<6>()); // SSID
    in.skip(in.fixed<kNbrMid>().u8<1>());  // channel bandwidth
    if (in.u8() & 0x80) in.skip(kBssLoad);
}

// True when the fields of a successful result (after the status byte) fit the value. Checked
// before anything is stored, so a short TLV leaves the record and the allocator untouched.
bool result_fits(Reader in)
{
    in.skip(in.u8()); // timestamp
    in.skip(2);       // utilisation, noise
    const unsigned n = in.be16();
    for (unsigned i = 0; i < n && in.ok(); ++i) skip_neighbour(in);
    in.skip(5); // aggregate scan duration, scan type
    return in.ok();
}

// A length byte may announce more than the field's room: keep what fits, step over the rest.
[[gnu::always_inline]] inline void read_string(Reader& in, uint8_t (&field)[kStrRoom], size_t len)
{
    const size_t keep = std::min(len, kStrRoom);
    in.copy(field, keep);
    in.skip(len - keep);
}

[[gnu::always_inline]] inline void read_neighbour(Reader& in, ChScanNbrBss& nb)
{
    const auto head = in.fixed<kNbrHead>();
    head.copy<0, 6>(nb.bssid);
    nb.ssid_len = head.u8<6>();
    read_string(in, nb.ssid, nb.ssid_len);
    const auto mid = in.fixed<kNbrMid>();
    nb.signal_strength = mid.u8<0>();
    nb.ch_bw_len = mid.u8<1>();
    read_string(in, nb.ch_bw, nb.ch_bw_len);
    nb.bss_load_present = in.u8();
    if (nb.bss_load_present & 0x80) {
        const auto load = in.fixed<kBssLoad>();
        nb.ch_util = load.u8<0>();
        nb.sta_count = load.be16<1>();
    }
}

// Frees the nodes of a channel's list; a count of 0 marks the list as gone.
void release_list(ChScanChannel& ch)
{
    if (ch.nbr_head == 0 || ch.nbr_num == 0) return;
    uint32_t link = ch.nbr_head;
    while (ChScanNbrBss* node = scan::node_at(link)) {
        const uint32_t next = node->next;
        scan::node_delete(link, node);
        link = next;
    }
    ch.nbr_num = 0;
}

ChScanRadio* find_radio(ChScanRpt& r, const uint8_t (&ruid)[6])
{
    for (ChScanRadio& radio : r.radio) {
        if (CheckingNullMAC(radio.ruid)) {
            std::memcpy(radio.ruid, ruid, 6);
            ++r.radio_num;
            return &radio;
        }
        if (mac_equal(radio.ruid, ruid)) return &radio;
    }
    return nullptr;
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
    if (status == 0 && !result_fits(in)) return refuse_short(kTlvName, in.size());

    if (CheckingNullMAC(ruid)) {
        LUSL_LOG(kModTlv, kWarn, "[TLV] ChScanRpt TLV radio mac is null\n");
        return -1;
    }
    ChScanRadio* radio = find_radio(r, ruid);
    if (!radio) {
        LUSL_LOG(kModTlv, kWarn, "[TLV] ChScanRpt TLV number of radio exceed max definition\n");
        return -1;
    }
    if (radio->ch_num >= MAX_CHANNEL_NUM_PER_OPCLASS) {
        LUSL_LOG(kModTlv, kWarn, "[TLV] ChScanRpt TLV number of channel exceed max definition\n");
        return -1;
    }
    ChScanChannel& ch = radio->ch[radio->ch_num++];
    // Only an entry given up by a cut-short encoding can still hold something.
    release_list(ch);
    std::memset(&ch, 0, sizeof ch);
    ch.op_class = op_class;
    ch.channel = channel;
    ch.scan_status = status;
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] Ch Scan result: Radio " LUSL_MAC_FMT ", Opclass = %hhu, Channel = %hhu, Status = %hhu\n",
             LUSL_MAC_ARG(radio->ruid), op_class, channel, status);
    if (status != 0) return 0;

    // The radio keeps up to 65 timestamp bytes over the earlier ones (those after them stay);
    // the channel keeps them as a string, up to their first zero.
    const size_t stamp_len = in.u8();
    const size_t keep = std::min(stamp_len, kStampRoom);
    in.copy(radio->timestamp, keep);
    in.skip(stamp_len - keep);
    const auto mid = in.fixed<4>();
    ch.ch_util = mid.u8<0>();
    ch.noise = mid.u8<1>();
    const uint16_t n = mid.be16<2>();
    ch.nbr_num = n;
    std::memcpy(ch.timestamp, radio->timestamp,
                strnlen(reinterpret_cast<const char*>(radio->timestamp), std::min(keep, kStampChars)));
    LUSL_LOG(kModTlv, kDebug, "[TLV] Ch Scan result: Util = %hhu, NumNbr = %hu, Noise = %hhu\n", ch.ch_util, n,
             ch.noise);

    // Each node is linked before it is filled: whatever happens, the clear finds it.
    ChScanNbrBss* tail = nullptr;
    for (unsigned i = 0; i < n; ++i) {
        const scan::NewNode nn = scan::node_new();
        if (!nn.node) {
            LUSL_LOG(kModTlv, kErr, "[TLV] Ch Scan result: Allocate memory fail\n");
            return -1;
        }
        if (tail)
            tail->next = nn.link;
        else
            ch.nbr_head = nn.link;
        tail = nn.node;
        read_neighbour(in, *nn.node);
    }
    const auto end = in.fixed<5>();
    radio->scan_duration = end.be32<0>();
    radio->scan_type = end.u8<4>();
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
    if (!mac) return 1;
    for (int i = 0; i < 6; ++i)
        if (mac[i]) return 0;
    return 1;
}

LUSL_API void luSL_ChScanRpt_NbrBss_clear(ChScanRpt* record)
{
    if (!record) return;
    for (ChScanRadio& radio : record->radio)
        for (ChScanChannel& ch : radio.ch) lusl::release_list(ch);
}

} // extern "C"
