// SPDX-License-Identifier: BSD-2-Clause
// Receiving side of the compact AP Metrics Response: every block is checked against what
// is left of the datagram before it is read, every count against the limits of the view.
#include <cstring>

#include "core/bytes.h"
#include "luSL/luSL.h"

namespace lusl {
namespace {

constexpr size_t kHead = 4;
constexpr size_t kRadioBlock = 10;
constexpr size_t kBssBlock = 45;
constexpr size_t kStaHead = 50; // up to and with the TID count
constexpr size_t kStaTail = 16;

// Each block is checked once and copied out whole, then taken apart at fixed offsets
// (little-endian, as the record it was copied from).
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool station(Reader& in, luSL_ApMetricsStaView& s)
{
    uint8_t h[kStaHead];
    if (!in.copy(h, sizeof h)) return false;
    std::memcpy(s.mac, h, 6);
    s.est_rate_ul = le32(h + 6);
    s.est_rate_dl = le32(h + 10);
    s.rcpi_ul = h[14];
    std::memcpy(s.bssid, h + 15, 6);
    s.bytes_sent = le32(h + 21);
    s.bytes_received = le32(h + 25);
    s.packets_sent = le32(h + 29);
    s.packets_received = le32(h + 33);
    s.tx_packets_errors = le32(h + 37);
    s.rx_packets_errors = le32(h + 41);
    s.retrans_count = le32(h + 45);
    s.tid_num = h[49];
    if (s.tid_num > LUSL_MAX_TID_PER_STA || !in.copy(s.tid, size_t{2} * s.tid_num)) return false;
    uint8_t t[kStaTail];
    if (!in.copy(t, sizeof t)) return false;
    s.last_dl_rate = le32(t);
    s.last_ul_rate = le32(t + 4);
    s.util_rx = le32(t + 8);
    s.util_tx = le32(t + 12);
    return true;
}

bool bss(Reader& in, luSL_ApMetricsBssView& b)
{
    uint8_t h[kBssBlock];
    if (!in.copy(h, sizeof h)) return false;
    std::memcpy(b.bssid, h, 6);
    b.ch_util = h[6];
    b.uc_bytes_sent = le32(h + 7);
    b.uc_bytes_received = le32(h + 11);
    b.mc_bytes_sent = le32(h + 15);
    b.mc_bytes_received = le32(h + 19);
    b.bc_bytes_sent = le32(h + 23);
    b.bc_bytes_received = le32(h + 27);
    std::memcpy(b.esp, h + 31, sizeof b.esp);
    b.sta_num = le16(h + 43);
    if (b.sta_num > MAX_STA_PER_BSS) return false;
    for (unsigned s = 0; s < b.sta_num; ++s) {
        if (!station(in, b.sta[s])) return false;
    }
    return true;
}

bool decode(Reader& in, luSL_ApMetricsView& v)
{
    uint8_t h[kHead];
    if (!in.copy(h, sizeof h) || le16(h) != 0x800C) return false;
    v.bss_num = h[2];
    v.radio_num = h[3];
    if (v.radio_num > MAX_RADIO_PER_DEVICE || v.bss_num > MAX_BSS_PER_DEVICE) return false;
    if (!in.has(kRadioBlock * v.radio_num)) return false;
    for (unsigned r = 0; r < v.radio_num; ++r) {
        luSL_ApMetricsRadioView& radio = v.radio[r];
        in.copy(radio.ruid, 6);
        radio.noise = in.u8();
        radio.transmit = in.u8();
        radio.receive_self = in.u8();
        radio.receive_other = in.u8();
    }
    for (unsigned b = 0; b < v.bss_num; ++b) {
        if (!bss(in, v.bss[b])) return false;
    }
    v.length = static_cast<uint32_t>(in.pos());
    return in.ok();
}

} // namespace
} // namespace lusl

extern "C" LUSL_API int luSL_ApMetricsResp_decode(const uint8_t* buf, size_t len, luSL_ApMetricsView* out)
{
    if (!out) return -1;
    std::memset(out, 0, sizeof *out);
    if (!buf) return -1;
    lusl::Reader in(buf, len);
    if (lusl::decode(in, *out)) return 0;
    std::memset(out, 0, sizeof *out);
    return -1;
}
