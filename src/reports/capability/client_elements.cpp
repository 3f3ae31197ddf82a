// SPDX-License-Identifier: BSD-2-Clause
// Information elements of a station's (re)association request, summarised into the
// Client Capability Report: PHY generations, bandwidths, short GI, BSS transition, MCS sets.
#include "reports/capability/client_elements.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "reports/capability/cap_bits.h"

using namespace lusl::capbits;

extern "C" {
// const: the limits decide how every request is read, so no process may change them.
extern LUSL_API const luSL_EleRange ele_table[9] = {
    {0, 0, 32},     // SSID
    {1, 1, 8},      // Supported Rates
    {3, 1, 1},      // DS Parameter Set
    {33, 2, 2},     // Power Capability
    {45, 26, 26},   // HT Capabilities
    {48, 2, 255},   // RSN
    {50, 1, 255},   // Extended Supported Rates
    {70, 5, 5},     // RM Enabled Capabilities
    {191, 12, 12},  // VHT Capabilities
};
} // extern "C"

namespace lusl::client {
namespace {

enum : uint8_t {
    kEidSsid = 0,
    kEidRates = 1,
    kEidHtCap = 45,
    kEidExtRates = 50,
    kEidExtCap = 127,
    kEidVhtCap = 191,
    kEidExtension = 255,
};
enum : uint8_t {
    kExtHeCap = 35,
    kExtHe6Ghz = 59,
    kExtEhtCap = 108,
};

// Working values of one reading of the frame; they start from zero at every call.
struct Walk {
    bool ssid_seen = false;
    unsigned best_rate = 0; // in 500 kbit/s, the unit of the rate bytes
    uint8_t ht_cap = 0;
    CliCapVht vht{};
};

const luSL_EleRange* range_of(uint8_t id)
{
    for (const luSL_EleRange& e : ele_table)
        if (e.id == id) return &e;
    return nullptr;
}

// Copies up to n bytes, as many as the element still holds: a short HE or EHT element
// keeps the maps it does carry, and nothing past its end is read.
void take(Reader& d, uint8_t* dst, size_t n)
{
    const size_t k = std::min(n, d.remaining());
    d.copy(dst, k);
}

uint8_t bit(uint8_t byte, unsigned b, uint8_t set) { return (byte >> b) & 1 ? set : 0; }

void on_rates(Reader& d, CliCapRpt& r, Walk& w)
{
    // The highest rate spans Supported and Extended Supported Rates; the basic-rate bit is not part of it.
    while (d.remaining() > 0) w.best_rate = std::max<unsigned>(w.best_rate, d.u8() & 0x7F);
    r.max_legacy_rate = static_cast<uint8_t>(w.best_rate / 2);
}

void on_ht(Reader& d, CliCapRpt& r, Walk& w)
{
    const uint8_t h0 = d.peek(0); // HT Capability Information, low byte
    r.phy_types |= kPhyHt;
    r.cur_phy_type = kPhyHt;
    r.max_mcs = kMcsHt;
    r.bw_ht = static_cast<uint8_t>(kBw20 | bit(h0, 1, kBw40));
    if (h0 & 0x60) r.short_gi |= kSgiHt;
    d.skip(3); // capability information, A-MPDU parameters
    d.copy(r.ht_mcs_set, sizeof r.ht_mcs_set);
    w.ht_cap |= static_cast<uint8_t>(bit(h0, 5, 0x08) | bit(h0, 6, 0x04) | bit(h0, 1, 0x02));
    r.ht_cap = w.ht_cap;
}

void on_vht(Reader& d, CliCapRpt& r, Walk& w)
{
    const uint8_t c0 = d.u8(), c1 = d.u8(), c2 = d.u8(), c3 = d.u8(); // VHT Capabilities Information
    const unsigned width_set = (c0 >> 2) & 0x03;
    const unsigned ext_nss_bw = c3 >> 6;
    r.phy_types |= kPhyVht;
    r.cur_phy_type = kPhyVht;
    r.max_mcs = kMcsVht;
    r.bw_vht = static_cast<uint8_t>(kBw20 | kBw40 | kBw80 | (width_set ? kBw160 : 0));
    if (c0 & 0x60) r.short_gi |= kSgiVht;

    Reader set = d.sub(8);
    Reader maps = set;
    set.copy(r.vht_mcs_nss, sizeof r.vht_mcs_nss);
    maps.copy(w.vht.rx_mcs_map, 2);
    maps.skip(2);
    maps.copy(w.vht.tx_mcs_map, 2);

    w.vht.short_gi |= static_cast<uint8_t>(bit(c0, 5, 0x02) | bit(c0, 6, 0x01));
    if (width_set == 1) {
        w.vht.flags |= 0x40;
        if (ext_nss_bw == 3) w.vht.flags |= 0x80;
    } else if (width_set == 2) {
        w.vht.flags |= 0x40;
        if (ext_nss_bw == 0 || ext_nss_bw == 3) w.vht.flags |= 0x80;
    }
    w.vht.flags |= static_cast<uint8_t>(bit(c1, 3, 0x20) | bit(c2, 3, 0x10));
    r.vht = w.vht;
}

void on_ext_cap(Reader& d, CliCapRpt& r)
{
    if (d.size() > 2) r.support11v = bit(d.peek(2), 3, 1); // BSS Transition
}

// HE Capabilities: ext ID, 6 bytes MAC capabilities, 11 bytes PHY capabilities, MCS maps.
void on_he(Reader& d, CliCapRpt& r)
{
    const uint8_t mac0 = d.peek(1);
    const uint8_t p0 = d.peek(7), p2 = d.peek(9), p3 = d.peek(10), p4 = d.peek(11);
    r.phy_types |= kPhyHe;
    r.cur_phy_type = kPhyHe;
    r.max_mcs = kMcsHe;
    r.bw_he = static_cast<uint8_t>(kBw20 | bit(p0, 1, kBw40) | bit(p0, 2, kBw40 | kBw80) | bit(p0, 3, kBw160));
    r.short_gi |= kSgiHe;

    d.skip(18);
    take(d, r.he_mcs_80, sizeof r.he_mcs_80);
    if (p0 & 0x08) take(d, r.he_mcs_160, sizeof r.he_mcs_160);
    if (p0 & 0x10) take(d, r.he_mcs_80p80, sizeof r.he_mcs_80p80);

    // The role-entry form: UL/DL OFDMA, RTS and MU RTS always; multi-BSSID and MU EDCA never.
    CliCapHeSummary s{};
    s.role = static_cast<uint8_t>(0x40 | bit(p0, 3, 0x04) | bit(p0, 4, 0x08));
    std::memcpy(s.mcs_nss, r.he_mcs_80, sizeof r.he_mcs_80);
    s.bf_flags = static_cast<uint8_t>(0xC0 | ((p2 & 0xC0) ? 0x20 : 0) | bit(p3, 7, 0x01) | bit(p4, 0, 0x02) |
                                      bit(p4, 1, 0x04) | ((p4 & 0x1C) ? 0x08 : 0) | ((p4 & 0xE0) ? 0x10 : 0));
    s.rts_twt_flags = static_cast<uint8_t>(0x03 | bit(mac0, 1, 0x10) | bit(mac0, 2, 0x20));
    r.he = s;
}

// EHT Capabilities: ext ID, 2 bytes MAC capabilities, 9 bytes PHY capabilities, MCS maps.
void on_eht(Reader& d, CliCapRpt& r)
{
    const uint8_t p0 = d.peek(3);
    r.phy_types |= kPhyEht;
    r.cur_phy_type = kPhyEht;
    r.max_mcs = kMcsEht;
    // Builds on the HE bandwidths, so an HE element must come first (the usual order).
    const uint16_t bw = static_cast<uint16_t>(r.bw_he | bit(p0, 1, kBw320));
    r.bw_eht = bw;
    r.short_gi |= kSgiEht;

    d.skip(12);
    if (!(bw & (kBw40 | kBw80 | kBw160))) take(d, r.eht_mcs_20only, sizeof r.eht_mcs_20only);
    if (bw & (kBw40 | kBw80)) take(d, r.eht_mcs_80, sizeof r.eht_mcs_80);
    if (bw & kBw160) take(d, r.eht_mcs_160, sizeof r.eht_mcs_160);
    if (bw & kBw320) take(d, r.eht_mcs_320, sizeof r.eht_mcs_320);
}

void on_element(uint8_t id, Reader& d, CliCapRpt& r, Walk& w)
{
    switch (id) {
    case kEidRates:
    case kEidExtRates: on_rates(d, r, w); break;
    case kEidHtCap: on_ht(d, r, w); break;
    case kEidVhtCap: on_vht(d, r, w); break;
    case kEidExtCap: on_ext_cap(d, r); break;
    case kEidExtension:
        if (d.size() == 0) break; // no extension ID
        switch (d.peek(0)) {
        case kExtHeCap: on_he(d, r); break;
        case kExtHe6Ghz: r.he_6ghz = 1; break;
        case kExtEhtCap: on_eht(d, r); break;
        default: break;
        }
        break;
    default: break;
    }
}

} // namespace

int parse_request_elements(Reader in, CliCapRpt& r)
{
    // An empty list has no SSID element where the request must start.
    if (!in.has(1)) return -1;
    if (in.peek() != kEidSsid) {
        LUSL_LOG(kModTlv, kErr, "[TLV] ClientCap: first tag %d is not SSID(0)\n", in.peek());
        return -1;
    }
    r.he_6ghz = 0;

    Walk w;
    while (in.remaining() > 0) {
        const size_t at = in.pos();
        // An element that runs past the frame is not read. The walk ends there and the
        // elements before it are kept: a body cut short still tells what the station
        // announced up to the cut, as each element either fits whole or is left out.
        if (!in.has(2)) {
            LUSL_LOG(kModTlv, kDebug, "[TLV] ClientCap: element at byte %u runs past the frame, not read\n",
                     static_cast<unsigned>(at));
            break;
        }
        const uint8_t id = in.u8();
        const uint8_t len = in.u8();
        if (const luSL_EleRange* e = range_of(id); e && (len < e->min_len || len > e->max_len)) {
            LUSL_LOG(kModTlv, kDebug, "[TLV] ClientCap: tag %d length %d out of range [min %d-max %d]\n", id, len,
                     e->min_len, e->max_len);
            return -1;
        }
        if (id == kEidSsid) {
            if (w.ssid_seen) return -1;
            w.ssid_seen = true;
        }
        if (!in.has(len)) {
            LUSL_LOG(kModTlv, kDebug, "[TLV] ClientCap: element at byte %u runs past the frame, not read\n",
                     static_cast<unsigned>(at));
            break;
        }
        Reader data = in.sub(len);
        on_element(id, data, r, w);
    }
    return 0;
}

} // namespace lusl::client

extern "C" LUSL_API int management_RequestFrame_extract(const uint8_t* elements, uint8_t* record, int length)
{
    const size_t n = length > 0 ? static_cast<size_t>(length) : 0;
    return lusl::client::parse_request_elements(lusl::Reader(elements, n), *reinterpret_cast<CliCapRpt*>(record));
}
