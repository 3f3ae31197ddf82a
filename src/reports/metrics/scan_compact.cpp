// SPDX-License-Identifier: BSD-2-Clause
// Channel Scan Report compact form: the encoder that builds the datagram from the record and
// its neighbour lists, and the decoder the receiving process uses.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/bytes.h"
#include "core/log.h"
#include "luSL/luSL.h"
#include "reports/metrics/scan_link.h"

namespace lusl {
namespace {

constexpr size_t kRadioBlock = 77;
constexpr size_t kChannelEntry = 80; // the room each channel is checked against
constexpr size_t kNbrFixed = 13;
constexpr size_t kStrRoom = sizeof(ChScanNbrBss::ssid);
constexpr size_t kStamp = sizeof(ChScanChannel::timestamp);

static_assert(sizeof(luSL_ChScanNbr::ssid) == kStrRoom && sizeof(luSL_ChScanNbr::ch_bw) == kStrRoom);
static_assert(sizeof(luSL_ChScanChannelInfo::timestamp) == kStamp && sizeof(luSL_ChScanRadioInfo::timestamp) == kStamp);
static_assert(LUSL_CHSCAN_MAX_NBR == 2508);

void log_cut()
{
    LUSL_LOG(kModMsg, kErr, "[MSG] ChScanRpt: ERROR!!!: offset is bigger than SOCKET_MAX_LENGTH:%d\n", SOCKET_MAX_LENGTH);
}

void patch_le16(uint8_t* at, uint16_t v)
{
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}

constexpr size_t kChannelBlock = 72;
constexpr size_t kNbrLargest = kNbrFixed + 2 * kStrRoom;
static_assert(offsetof(ChScanNbrBss, ch_util) == offsetof(ChScanNbrBss, bss_load_present) + 1 &&
                  offsetof(ChScanNbrBss, sta_count) == offsetof(ChScanNbrBss, bss_load_present) + 3,
              "put_neighbour copies the node's last five bytes as two runs");

// One neighbour block at o, as laid out above. With room for the largest block, the strings
// go in as whole fields: the bytes past their length are written over by the fields that
// follow or lie beyond the block, where nothing is meaningful yet.
template <bool Room>
LUSL_CURSOR_INLINE inline void put_string(uint8_t* o, const uint8_t (&field)[kStrRoom], uint8_t len)
{
    if constexpr (Room)
        copy_fixed<kStrRoom>(o, field);
    else
        copy_short(o, field, len);
}

template <bool Room>
LUSL_CURSOR_INLINE inline void put_neighbour(uint8_t* o, const ChScanNbrBss& nb, uint8_t s, uint8_t bw)
{
    std::memcpy(o, nb.bssid, 6);
    o[6] = s;
    put_string<Room>(o + 7, nb.ssid, s);
    o += 7 + s;
    o[0] = nb.signal_strength;
    o[1] = bw;
    put_string<Room>(o + 2, nb.ch_bw, bw);
    o += 2 + bw;
    // Present byte, utilisation and station count as the node holds them, without the
    // node's unused byte between them: two overlapping copies.
    const auto* node = reinterpret_cast<const uint8_t*>(&nb);
    std::memcpy(o, node + offsetof(ChScanNbrBss, bss_load_present), 4);
    std::memcpy(o + 2, node + offsetof(ChScanNbrBss, sta_count), 2);
}

// Writes one channel block and its neighbours in list order. A neighbour block that does not
// fit is left out, with the ones after it, and the block's count says how many were written.
// Returns false when neighbours were left out.
[[gnu::noinline]] bool put_channel(Writer& w, const ChScanChannel& ch)
{
    uint8_t* const c = w.claim(kChannelBlock);
    if (!c) return false;
    c[0] = ch.op_class;
    c[1] = ch.channel;
    c[2] = ch.scan_status;
    copy_fixed<kStamp>(c + 3, ch.timestamp);
    c[68] = ch.ch_util;
    c[69] = ch.noise;

    // Bounded by the count too: a released list keeps its head but has count 0.
    const unsigned want = ch.nbr_num;
    unsigned n = 0;
    const ChScanNbrBss* nb = want ? scan::node_at(ch.nbr_head) : nullptr;

    // While the largest block fits, blocks go in one after the other from a plain cursor.
    uint8_t* const start = w.here();
    const size_t rest = w.remaining();
    // From `stop` on, the largest block no longer fits.
    const uint8_t* const stop = start + (rest >= kNbrLargest ? rest - kNbrLargest + 1 : 0);
    uint8_t* o = start;
    while (nb && o < stop) {
        // A length above the node's room was stored as received; only the room was kept.
        const uint8_t s = std::min<uint8_t>(nb->ssid_len, kStrRoom);
        const uint8_t bw = std::min<uint8_t>(nb->ch_bw_len, kStrRoom);
        put_neighbour<true>(o, *nb, s, bw);
        o += kNbrFixed + s + bw;
        nb = ++n < want ? scan::node_at(nb->next) : nullptr;
    }
    w.commit(static_cast<size_t>(o - start));

    // Near the end: each block at its exact length, and one that does not fit ends the list.
    bool whole = true;
    for (; nb; nb = ++n < want ? scan::node_at(nb->next) : nullptr) {
        const uint8_t s = std::min<uint8_t>(nb->ssid_len, kStrRoom);
        const uint8_t bw = std::min<uint8_t>(nb->ch_bw_len, kStrRoom);
        if (!(o = w.claim(kNbrFixed + s + bw))) {
            whole = false;
            break;
        }
        put_neighbour<false>(o, *nb, s, bw);
    }
    patch_le16(c + 70, n);
    return whole;
}

// Encodes rec into buf. Channel counts cut short are lowered in `lower` (the record in the
// slot) as well as in the datagram; a record passed by argument is only read.
int encode(const ChScanRpt& rec, ChScanRpt* lower, uint8_t* buf)
{
    Writer w(buf, SOCKET_MAX_LENGTH);
    w.bytes(&rec.hdr, sizeof rec.hdr);
    const uint8_t radios = std::min<uint8_t>(rec.radio_num, MAX_RADIO_PER_DEVICE);
    w.u8(radios);

    uint8_t sent = 0;
    for (uint8_t r = 0; r < radios; ++r) {
        const ChScanRadio& radio = rec.radio[r];
        if (!w.has(kRadioBlock)) {
            // Not even the radio block fits: it and the radios after it are left out.
            log_cut();
            break;
        }
        w.bytes(radio.ruid, 6);
        if (uint8_t* ts = w.claim(kStamp)) copy_fixed<kStamp>(ts, radio.timestamp);
        w.le32(radio.scan_duration);
        w.u8(radio.scan_type);
        const size_t count_at = w.size();
        w.u8(radio.ch_num);
        ++sent;
        if (radio.ch_num > MAX_CHANNEL_NUM_PER_OPCLASS) {
            LUSL_LOG(kModMsg, kErr,
                     "[MSG] ChScanRpt: ERROR!!!: num of channel is bigger than MAX_CHANNEL_NUM_PER_OPCLASS:%hhu\n",
                     radio.ch_num);
            return 0;
        }
        uint8_t c = 0;
        const uint8_t channels = radio.ch_num;
        for (; c < channels; ++c) {
            if (w.size() + kChannelEntry > SOCKET_MAX_LENGTH) {
                log_cut();
                break;
            }
            if (!put_channel(w, radio.ch[c])) {
                // Less than one neighbour block is left: no later channel would fit either.
                log_cut();
                ++c;
                break;
            }
        }
        if (lower && c < channels) lower->radio[r].ch_num = c;
        w.data()[count_at] = c;
    }
    w.data()[2] = sent;
    return static_cast<int>(w.size());
}

uint16_t get_le16(Reader& in)
{
    const uint8_t lo = in.u8();
    const uint8_t hi = in.u8();
    return static_cast<uint16_t>(lo | hi << 8);
}

uint32_t get_le32(Reader& in)
{
    const uint32_t lo = get_le16(in);
    const uint32_t hi = get_le16(in);
    return lo | hi << 16;
}

bool get_string(Reader& in, uint8_t& len, uint8_t (&field)[kStrRoom])
{
    len = in.u8();
    return len <= kStrRoom && in.copy(field, len);
}

bool get_neighbour(Reader& in, luSL_ChScanNbr& nb)
{
    in.copy(nb.bssid, 6);
    if (!get_string(in, nb.ssid_len, nb.ssid)) return false;
    nb.signal_strength = in.u8();
    if (!get_string(in, nb.ch_bw_len, nb.ch_bw)) return false;
    nb.bss_load_present = in.u8();
    nb.ch_util = in.u8();
    nb.sta_count = get_le16(in);
    return in.ok();
}

int decode(Reader& in, luSL_ChScanReport& out, luSL_ChScanNbr* nbrs, size_t cap)
{
    const uint8_t lo = in.u8();
    const uint8_t hi = in.u8();
    out.radio_num = in.u8();
    if (!in.ok() || lo != 0x1C || hi != 0x80 || out.radio_num > MAX_RADIO_PER_DEVICE) return -1;

    uint32_t total = 0;
    for (uint8_t r = 0; r < out.radio_num; ++r) {
        luSL_ChScanRadioInfo& radio = out.radio[r];
        in.copy(radio.ruid, 6);
        in.copy(radio.timestamp, kStamp);
        radio.scan_duration = get_le32(in);
        radio.scan_type = in.u8();
        radio.ch_num = in.u8();
        if (!in.ok() || radio.ch_num > MAX_CHANNEL_NUM_PER_OPCLASS) return -1;
        for (uint8_t c = 0; c < radio.ch_num; ++c) {
            luSL_ChScanChannelInfo& ch = radio.ch[c];
            ch.op_class = in.u8();
            ch.channel = in.u8();
            ch.scan_status = in.u8();
            in.copy(ch.timestamp, kStamp);
            ch.ch_util = in.u8();
            ch.noise = in.u8();
            ch.nbr_num = get_le16(in);
            ch.nbr_first = total;
            if (!in.ok()) return -1;
            for (unsigned i = 0; i < ch.nbr_num; ++i, ++total) {
                luSL_ChScanNbr nb;
                std::memset(&nb, 0, sizeof nb);
                if (!get_neighbour(in, nb)) return -1;
                if (total < cap) nbrs[total] = nb;
            }
        }
    }
    out.nbr_total = total;
    out.length = static_cast<uint32_t>(in.pos());
    return static_cast<int>(total);
}

} // namespace
} // namespace lusl

extern "C" {

LUSL_API int luSL_ChScanRptSendV2(const uint8_t* record)
{
    using namespace lusl;
    // A second encoding before the release reuses the buffer instead of losing it.
    if (!pChScanRptSendBuf) pChScanRptSendBuf = static_cast<uint8_t*>(malloc(SOCKET_MAX_LENGTH));
    if (!pChScanRptSendBuf) {
        LUSL_LOG(kModMsg, kErr, "malloc fail.\n");
        return 0;
    }
    // The parser's record is in the slot; a caller sending its own record has the slot empty.
    if (pChScanRpt) return encode(*pChScanRpt, pChScanRpt, pChScanRptSendBuf);
    if (record) return encode(*reinterpret_cast<const ChScanRpt*>(record), nullptr, pChScanRptSendBuf);
    return 0;
}

LUSL_API int luSL_ChScanRpt_decode(const uint8_t* data, size_t len, luSL_ChScanReport* report, luSL_ChScanNbr* nbrs,
                                   size_t nbr_cap)
{
    if (!report) return -1;
    std::memset(report, 0, sizeof *report);
    if (!data) return -1;
    if (!nbrs) nbr_cap = 0;
    lusl::Reader in(data, len);
    const int n = lusl::decode(in, *report, nbrs, nbr_cap);
    if (n < 0) std::memset(report, 0, sizeof *report);
    return n;
}

} // extern "C"
