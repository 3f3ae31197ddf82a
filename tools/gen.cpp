// SPDX-License-Identifier: BSD-2-Clause
#include "gen.h"

#include <cstring>

namespace lusl::tool::gen {

// ------------------------------------------------------------------ builders

Bytes mac(const Mac& m) { return Bytes(m.begin(), m.end()); }

namespace {

void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

} // namespace

Bytes ethernet_frame(const Mac& dst, const Mac& src, std::optional<uint16_t> vlan, uint16_t ethertype,
                     const Bytes& payload)
{
    Bytes f = cat({mac(dst), mac(src)});
    if (vlan) append(f, cat({be16(kEtherTypeVlan), be16(*vlan & 0x0FFF)}));
    append(f, be16(ethertype));
    append(f, payload);
    if (f.size() < 60) f.resize(60, 0);
    return f;
}

std::vector<Bytes> cmdu_frames(const CmduToSend& c, size_t mtu)
{
    const size_t room = mtu - kCmduHeaderLen;
    Bytes stream;
    std::vector<size_t> bounds; // TLV boundaries where a fragment may end
    for (const Bytes& t : c.tlvs) {
        append(stream, t);
        bounds.push_back(stream.size());
    }
    append(stream, {0, 0, 0});
    bounds.push_back(stream.size());

    // Cut at the last TLV boundary that fits; a TLV bigger than a fragment is cut inside.
    std::vector<std::pair<size_t, size_t>> pieces;
    size_t start = 0;
    while (start < stream.size()) {
        size_t end = start;
        for (size_t b : bounds)
            if (b > start && b - start <= room) end = b;
        if (end == start) end = std::min(stream.size(), start + room);
        pieces.emplace_back(start, end);
        start = end;
    }

    std::vector<Bytes> frames;
    for (size_t i = 0; i < pieces.size(); ++i) {
        CmduHeader h;
        h.type = c.type;
        h.mid = c.mid;
        h.fid = static_cast<uint8_t>(i);
        h.flags = static_cast<uint8_t>((i + 1 == pieces.size() ? kFlagLastFragment : 0) | (c.relay ? kFlagRelay : 0));
        Bytes payload = encode_header(h);
        payload.insert(payload.end(), stream.begin() + static_cast<long>(pieces[i].first),
                       stream.begin() + static_cast<long>(pieces[i].second));
        frames.push_back(ethernet_frame(c.dst, c.src, c.vlan, kEtherType1905, payload));
    }
    return frames;
}

// ------------------------------------------------------------------ the mesh

namespace {

// splitmix64 with a fixed seed: key material and neighbour lists vary, runs do not.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t next()
    {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
    Bytes bytes(size_t n)
    {
        Bytes b(n);
        for (auto& v : b) v = static_cast<uint8_t>(next());
        return b;
    }

private:
    uint64_t s_;
};

Mac M(const char* s) { return parse_mac(s).value(); }

const Mac kMulticast1905 = M("01:80:c2:00:00:13");
const Mac kBroadcast = M("ff:ff:ff:ff:ff:ff");

struct Bss {
    Mac bssid;
    std::string ssid;
    bool backhaul;
    uint16_t mdid;
};

struct Radio {
    Mac ruid;
    bool five;                                         // 5 GHz, else 2.4 GHz
    std::vector<std::pair<uint8_t, uint8_t>> opchans;  // current (operating class, channel) pairs
    uint8_t eirp;
    std::vector<Bss> bss;
};

struct Device {
    Mac al;
    Mac eth;
    std::optional<uint16_t> vlan;
    uint16_t mid;
    std::vector<Radio> radios;
    std::string manufacturer, model, serial, software;
};

struct Station {
    Mac mac;
    const char* what;
};

// ---- 1905 and EasyMesh TLVs, one builder each

Bytes al_mac_tlv(const Device& d) { return tlv(0x01, {mac(d.al)}); }
Bytes mac_address_tlv(const Mac& m) { return tlv(0x02, {mac(m)}); }

// Interfaces: a Wi-Fi backhaul STA when the device has one, Ethernet (802.3ab), and one per
// radio (802.11ax). 802.11 interfaces carry their media-specific information: BSSID, role
// (AP 0x00, STA 0x40), channel band, centre frequency indices.
Bytes device_info_tlv(const Device& d, const std::optional<std::pair<Mac, Mac>>& bsta)
{
    Bytes ifaces;
    unsigned n = 0;
    auto wifi = [&](const Mac& ifmac, const Mac& bssid, unsigned role, unsigned channel) {
        Bytes info = cat({mac(bssid), u8(role), u8(0x02), u8(channel), u8(0)});
        append(ifaces, cat({mac(ifmac), be16(0x0108), u8(static_cast<unsigned>(info.size())), info}));
        ++n;
    };
    if (bsta) wifi(bsta->first, bsta->second, 0x40, 42);
    append(ifaces, cat({mac(d.eth), be16(0x0001), u8(0)}));
    ++n;
    for (const Radio& r : d.radios) wifi(r.ruid, r.bss.front().bssid, 0x00, r.opchans.front().second);
    return tlv(0x03, {mac(d.al), u8(n), ifaces});
}

Bytes neighbor_device_tlv(const Mac& local_if, const std::vector<Mac>& neighbours)
{
    Bytes v = mac(local_if);
    for (const Mac& m : neighbours) append(v, cat({mac(m), u8(0x00)}));
    return tlv(0x07, v);
}

Bytes supported_service_tlv(unsigned service) { return tlv(0x80, {u8(1), u8(service)}); }
Bytes multiap_profile_tlv() { return tlv(0xB3, {u8(0x03)}); }

Bytes ap_operational_bss_tlv(const Device& d)
{
    Bytes v = u8(static_cast<unsigned>(d.radios.size()));
    for (const Radio& r : d.radios) {
        append(v, cat({mac(r.ruid), u8(static_cast<unsigned>(r.bss.size()))}));
        for (const Bss& b : r.bss)
            append(v, cat({mac(b.bssid), u8(static_cast<unsigned>(b.ssid.size())), text(b.ssid)}));
    }
    return tlv(0x83, v);
}

Bytes bss_config_report_tlv(const Device& d)
{
    Bytes v = u8(static_cast<unsigned>(d.radios.size()));
    for (const Radio& r : d.radios) {
        append(v, cat({mac(r.ruid), u8(static_cast<unsigned>(r.bss.size()))}));
        for (const Bss& b : r.bss)
            append(v, cat({mac(b.bssid), u8(b.backhaul ? 0x80 : 0x40), u8(0),
                           u8(static_cast<unsigned>(b.ssid.size())), text(b.ssid)}));
    }
    return tlv(0xB7, v);
}

// The vendor TLV under the system's own OUI that carries each BSS's 802.11r mobility domain.
Bytes mdid_tlv(const Device& d)
{
    Bytes entries;
    unsigned k = 0;
    for (const Radio& r : d.radios)
        for (const Bss& b : r.bss) {
            append(entries, cat({mac(b.bssid), be16(b.mdid), u8(b.mdid ? 1 : 0)}));
            ++k;
        }
    return tlv(0x0B, {u8(0x0E), u8(0x3C), u8(0x71), u8(0xC0), be16(1 + 9 * k), u8(0), entries});
}

Bytes associated_clients_tlv(const std::vector<std::pair<Mac, std::vector<Mac>>>& per_bss)
{
    Bytes v = u8(static_cast<unsigned>(per_bss.size()));
    for (const auto& [bssid, clients] : per_bss) {
        append(v, cat({mac(bssid), be16(static_cast<unsigned>(clients.size()))}));
        for (const Mac& c : clients) append(v, cat({mac(c), be16(42)}));
    }
    return tlv(0x84, v);
}

Bytes radio_basic_caps_tlv(const Radio& r)
{
    // (operating class, max EIRP, statically non-operable channels)
    struct Op {
        uint8_t opclass, eirp;
        std::vector<uint8_t> nonop;
    };
    std::vector<Op> ops = r.five ? std::vector<Op>{{115, 23, {}},
                                                   {116, 23, {}},
                                                   {117, 23, {}},
                                                   {118, 23, {}},
                                                   {119, 23, {}},
                                                   {120, 23, {}},
                                                   {121, 30, {120, 124, 128}},
                                                   {122, 30, {116, 124}},
                                                   {123, 30, {120, 128}},
                                                   {124, 30, {}},
                                                   {125, 30, {169, 173, 177}},
                                                   {126, 30, {}},
                                                   {127, 30, {}},
                                                   {128, 23, {122, 138, 171}},
                                                   {129, 23, {114, 163}},
                                                   {130, 23, {122, 138, 171}}}
                                 : std::vector<Op>{{81, 20, {12, 13}}, {83, 20, {}}, {84, 20, {10, 11}}};
    Bytes v = cat({mac(r.ruid), u8(r.five ? 8 : 4), u8(static_cast<unsigned>(ops.size()))});
    for (const Op& o : ops) {
        append(v, cat({u8(o.opclass), u8(o.eirp), u8(static_cast<unsigned>(o.nonop.size()))}));
        append(v, o.nonop);
    }
    return tlv(0x85, v);
}

Bytes ht_caps_tlv(const Radio& r) { return tlv(0x86, {mac(r.ruid), u8(0x5E)}); } // 2x2, SGI 20/40, 40 MHz
Bytes vht_caps_tlv(const Radio& r)
{
    return tlv(0x87, {mac(r.ruid), be16(0xFFFA), be16(0xFFFA), u8(0x27), u8(0x70)}); // 2x2 MCS 0-9, 160 MHz
}

Bytes he_caps_tlv(const Radio& r)
{
    if (!r.five) return tlv(0x88, {mac(r.ruid), u8(4), be16(0xFFFA), be16(0xFFFA), u8(0x24), u8(0xC3)});
    return tlv(0x88, {mac(r.ruid), u8(8), be16(0xFFFA), be16(0xFFFA), be16(0xFFFA), be16(0xFFFA), u8(0x25),
                      u8(0xE7)});
}

Bytes wifi6_caps_tlv(const Radio& r)
{
    // AP role, and on 5 GHz also the backhaul STA role.
    auto role = [&](unsigned agent_role) {
        unsigned nss_len = r.five ? 8 : 4;
        Bytes v = u8(agent_role << 6 | (r.five ? 0x20 : 0) | nss_len);
        for (unsigned i = 0; i < nss_len / 2; ++i) append(v, be16(0xFFFA));
        return cat({v, u8(0xE7), u8(0x44), u8(37), u8(37), u8(0xC6)});
    };
    if (!r.five) return tlv(0xAA, {mac(r.ruid), u8(1), role(0)});
    return tlv(0xAA, {mac(r.ruid), u8(2), role(0), role(1)});
}

Bytes channel_scan_caps_tlv(const Device& d)
{
    Bytes v = u8(static_cast<unsigned>(d.radios.size()));
    for (const Radio& r : d.radios) {
        // on-boot-only 0, impact 2 (reduced number of spatial streams), min interval 300 s
        append(v, cat({mac(r.ruid), u8(0x40), be32(300)}));
        if (r.five)
            append(v, cat({u8(3), u8(115), u8(4), u8(36), u8(40), u8(44), u8(48), u8(118), u8(4), u8(52), u8(56),
                           u8(60), u8(64), u8(125), u8(0)}));
        else
            append(v, cat({u8(1), u8(81), u8(0)})); // every channel of the class
    }
    return tlv(0xA5, v);
}

Bytes cac_caps_tlv(const Device& d)
{
    Bytes v = cat({text("US"), u8(1)});
    const Radio& r = d.radios.back(); // the 5 GHz radio
    append(v, cat({mac(r.ruid), u8(2)}));
    // continuous CAC, 60 s, on the DFS channels; dedicated-radio CAC, 600 s, on weather radar ones
    append(v, cat({u8(0x00), be24(60), u8(2), u8(118), u8(4), u8(52), u8(56), u8(60), u8(64), u8(121), u8(8),
                   u8(100), u8(104), u8(108), u8(112), u8(116), u8(132), u8(136), u8(140)}));
    append(v, cat({u8(0x01), be24(600), u8(1), u8(121), u8(3), u8(120), u8(124), u8(128)}));
    return tlv(0xB2, v);
}

Bytes device_inventory_tlv(const Device& d)
{
    Bytes v = cat({u8(static_cast<unsigned>(d.serial.size())), text(d.serial),
                   u8(static_cast<unsigned>(d.software.size())), text(d.software), u8(11), text("linux-5.4.x"),
                   u8(static_cast<unsigned>(d.radios.size()))});
    for (const Radio& r : d.radios) {
        std::string chip = r.five ? "ChipCo WX7200-5G" : "ChipCo WX7200-2G";
        append(v, cat({mac(r.ruid), u8(static_cast<unsigned>(chip.size())), text(chip)}));
    }
    return tlv(0xD4, v);
}

Bytes profile2_caps_tlv() { return tlv(0xB4, {u8(8), u8(0), u8(0x68), u8(4)}); } // KiB units, prio, TS
Bytes radio_advanced_caps_tlv(const Radio& r) { return tlv(0xBE, {mac(r.ruid), u8(0xC0)}); }

// WSC attributes: type, length, data.
Bytes wsc_attr(unsigned type, const Bytes& data) { return cat({be16(type), be16(static_cast<unsigned>(data.size())), data}); }

Bytes wsc_m1_tlv(const Device& d, const Radio& r, Rng& rng)
{
    Bytes f = cat({wsc_attr(0x104A, u8(0x10)), wsc_attr(0x1022, u8(0x04)), wsc_attr(0x1047, rng.bytes(16)),
                   wsc_attr(0x1020, mac(d.al)), wsc_attr(0x101A, rng.bytes(16)), wsc_attr(0x1032, rng.bytes(192)),
                   wsc_attr(0x1004, be16(0x0063)), wsc_attr(0x1010, be16(0x000D)), wsc_attr(0x100D, u8(0x01)),
                   wsc_attr(0x1008, be16(0x0080)), wsc_attr(0x1044, u8(0x01)),
                   wsc_attr(0x1021, text(d.manufacturer)), wsc_attr(0x1023, text(d.model)),
                   wsc_attr(0x1024, text("2")), wsc_attr(0x1042, text(d.serial)),
                   wsc_attr(0x1054, cat({be16(6), be32(0x0050F204), be16(1)})), wsc_attr(0x1011, text(d.model)),
                   wsc_attr(0x103C, u8(r.five ? 0x02 : 0x01)), wsc_attr(0x1002, be16(0)), wsc_attr(0x1012, be16(0)),
                   wsc_attr(0x1009, be16(0)), wsc_attr(0x102D, be32(0x80000000)),
                   wsc_attr(0x1049, cat({u8(0x00), u8(0x37), u8(0x2A), u8(0x00), u8(0x01), u8(0x20)}))});
    return tlv(0x11, f);
}

Bytes wsc_m2_tlv(const Device& controller, const Radio& r, Rng& rng)
{
    Bytes f = cat({wsc_attr(0x104A, u8(0x10)), wsc_attr(0x1022, u8(0x05)), wsc_attr(0x101A, rng.bytes(16)),
                   wsc_attr(0x1039, rng.bytes(16)), wsc_attr(0x1048, rng.bytes(16)),
                   wsc_attr(0x1032, rng.bytes(192)), wsc_attr(0x1004, be16(0x0063)),
                   wsc_attr(0x1010, be16(0x000D)), wsc_attr(0x100D, u8(0x01)), wsc_attr(0x1008, be16(0x0080)),
                   wsc_attr(0x1021, text(controller.manufacturer)), wsc_attr(0x1023, text(controller.model)),
                   wsc_attr(0x1024, text("1")), wsc_attr(0x1042, text(controller.serial)),
                   wsc_attr(0x1054, cat({be16(6), be32(0x0050F204), be16(1)})),
                   wsc_attr(0x1011, text(controller.model)), wsc_attr(0x103C, u8(r.five ? 0x02 : 0x01)),
                   wsc_attr(0x1002, be16(0)), wsc_attr(0x1009, be16(0)), wsc_attr(0x1012, be16(0)),
                   wsc_attr(0x102D, be32(0x80000000)), wsc_attr(0x1018, rng.bytes(112)),
                   wsc_attr(0x1005, rng.bytes(8))});
    return tlv(0x11, f);
}

Bytes akm_suites_tlv()
{
    // backhaul: SAE; fronthaul: PSK, SAE, FT-SAE
    auto sel = [](unsigned type) { return cat({u8(0x00), u8(0x0F), u8(0xAC), u8(type)}); };
    return tlv(0xCC, {u8(1), sel(8), u8(3), sel(2), sel(8), sel(9)});
}

Bytes channel_preference_tlv(const Radio& r)
{
    // (operating class, channels, preference << 4 | reason)
    struct Pref {
        uint8_t opclass;
        std::vector<uint8_t> channels;
        uint8_t pref_reason;
    };
    std::vector<Pref> prefs =
        r.five ? std::vector<Pref>{{121, {120, 124, 128}, 0x05},
                                   {118, {52, 56, 60, 64}, 0xC7},
                                   {115, {}, 0xE0},
                                   {125, {165}, 0x30}}
               : std::vector<Pref>{{81, {12, 13}, 0x01}, {81, {1, 11}, 0xD2}, {83, {}, 0xE0}};
    Bytes v = cat({mac(r.ruid), u8(static_cast<unsigned>(prefs.size()))});
    for (const Pref& p : prefs) {
        append(v, cat({u8(p.opclass), u8(static_cast<unsigned>(p.channels.size()))}));
        append(v, p.channels);
        append(v, u8(p.pref_reason));
    }
    return tlv(0x8B, v);
}

Bytes cac_status_tlv()
{
    return tlv(0xB1, {u8(3), u8(118), u8(52), be16(37), u8(118), u8(56), be16(37), u8(121), u8(100), be16(5),
                      u8(1), u8(121), u8(116), be16(1640), u8(1), u8(121), u8(132), be24(41)});
}

Bytes operating_channel_tlv(const Radio& r)
{
    Bytes v = cat({mac(r.ruid), u8(static_cast<unsigned>(r.opchans.size()))});
    for (auto [opclass, channel] : r.opchans) append(v, cat({u8(opclass), u8(channel)}));
    append(v, u8(r.eirp));
    return tlv(0x8F, v);
}

struct Link {
    Mac local_if, neighbour_if;
    unsigned media;
    uint32_t errors, packets;
    unsigned throughput, phy_rate;
    uint8_t rssi;
};

Bytes tx_link_metric_tlv(const Mac& al, const Mac& neighbour_al, const std::vector<Link>& links)
{
    Bytes v = cat({mac(al), mac(neighbour_al)});
    for (const Link& l : links)
        append(v, cat({mac(l.local_if), mac(l.neighbour_if), be16(l.media), u8(0), be32(l.errors), be32(l.packets),
                       be16(l.throughput), be16(100), be16(l.phy_rate)}));
    return tlv(0x09, v);
}

Bytes rx_link_metric_tlv(const Mac& al, const Mac& neighbour_al, const std::vector<Link>& links)
{
    Bytes v = cat({mac(al), mac(neighbour_al)});
    for (const Link& l : links)
        append(v, cat({mac(l.local_if), mac(l.neighbour_if), be16(l.media), be32(l.errors / 2),
                       be32(l.packets * 3 / 4), u8(l.rssi)}));
    return tlv(0x0A, v);
}

// A (re)association request body: capability, listen interval, then the elements.
Bytes element(unsigned id, const Bytes& data) { return cat({u8(id), u8(static_cast<unsigned>(data.size())), data}); }

Bytes rsn_sae()
{
    return cat({be16(0x0100), u8(0x00), u8(0x0F), u8(0xAC), u8(4), be16(0x0100), u8(0x00), u8(0x0F), u8(0xAC),
                u8(4), be16(0x0100), u8(0x00), u8(0x0F), u8(0xAC), u8(8), be16(0x8000)});
}

Bytes ht_capabilities(bool forty)
{
    Bytes d = cat({u8(forty ? 0xEF : 0xAD), u8(0x01), u8(0x17), u8(0xFF), u8(0xFF)});
    d.resize(26, 0);
    return element(45, d);
}

Bytes assoc_request_phone()
{
    // 2.4 GHz, Wi-Fi 6, 2 streams, 20 MHz
    return cat({u8(0x31), u8(0x04), u8(0x0A), u8(0x00), element(0, text("HomeNet")),
                element(1, {0x82, 0x84, 0x8B, 0x96, 0x0C, 0x12, 0x18, 0x24}), element(50, {0x30, 0x48, 0x60, 0x6C}),
                element(33, {0x00, 0x14}), element(48, rsn_sae()), ht_capabilities(false),
                element(127, {0x04, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x40}),
                element(70, {0x73, 0x00, 0x00, 0x00, 0x00}),
                element(255, cat({u8(35), Bytes{0x01, 0x00, 0x08, 0x12, 0x00, 0x10},
                                  Bytes{0x20, 0x20, 0x02, 0xC0, 0x0F, 0x43, 0x95, 0x18, 0x00, 0xCC, 0x00},
                                  Bytes{0xFA, 0xFF, 0xFA, 0xFF}}))});
}

Bytes assoc_request_laptop()
{
    // 5 GHz, Wi-Fi 6, 2 streams, 160 MHz, BSS transition capable
    return cat({u8(0x11), u8(0x10), u8(0x0A), u8(0x00), element(0, text("HomeNet")),
                element(1, {0x8C, 0x12, 0x98, 0x24, 0xB0, 0x48, 0x60, 0x6C}), element(33, {0x00, 0x17}),
                element(48, rsn_sae()), ht_capabilities(true),
                element(127, {0x04, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x40}),
                element(70, {0x73, 0x00, 0x00, 0x00, 0x00}),
                element(191, {0x76, 0x11, 0x80, 0x0F, 0xFA, 0xFF, 0x00, 0x00, 0xFA, 0xFF, 0x00, 0x20}),
                element(255, cat({u8(35), Bytes{0x01, 0x00, 0x08, 0x12, 0x00, 0x10},
                                  Bytes{0x0C, 0x20, 0x02, 0xC0, 0x0F, 0x43, 0x95, 0x18, 0x00, 0xCC, 0x00},
                                  Bytes{0xFA, 0xFF, 0xFA, 0xFF, 0xFA, 0xFF, 0xFA, 0xFF}}))});
}

// ---- AP metrics

struct StaMetrics {
    Mac sta;
    Mac bssid;
    uint32_t dl_rate, ul_rate;
    uint8_t rcpi;
    uint32_t bytes_sent, bytes_received, packets_sent, packets_received;
    bool wifi6;
};

Bytes ap_metrics_tlv(const Bss& b, unsigned util, unsigned stations)
{
    // AC_BE only: ESP (format and BA window, airtime fraction, PPDU duration target)
    return tlv(0x94, {mac(b.bssid), u8(util), be16(stations), u8(0x80), u8(0xB1), u8(0x96), u8(0x32)});
}

Bytes ap_extended_metrics_tlv(const Bss& b, uint32_t scale)
{
    return tlv(0xC7, {mac(b.bssid), be32(91'000'000u / 3 * scale), be32(23'500'000u * scale), be32(120'000u * scale),
                      be32(410'000u * scale), be32(52'000u * scale), be32(88'000u * scale)});
}

Bytes radio_metrics_tlv(const Radio& r, unsigned noise, unsigned tx, unsigned rx_self, unsigned rx_other)
{
    return tlv(0xC6, {mac(r.ruid), u8(noise), u8(tx), u8(rx_self), u8(rx_other)});
}

Bytes sta_link_metrics_tlv(const StaMetrics& s)
{
    return tlv(0x96, {mac(s.sta), u8(1), mac(s.bssid), be32(120), be32(s.dl_rate), be32(s.ul_rate), u8(s.rcpi)});
}

Bytes sta_traffic_tlv(const StaMetrics& s)
{
    return tlv(0xA2, {mac(s.sta), be32(s.bytes_sent), be32(s.bytes_received), be32(s.packets_sent),
                      be32(s.packets_received), be32(s.packets_sent / 500), be32(s.packets_received / 800),
                      be32(s.packets_sent / 40)});
}

Bytes sta_wifi6_status_tlv(const StaMetrics& s)
{
    return tlv(0xB0, {mac(s.sta), u8(2), u8(0), u8(12), u8(5), u8(3)});
}

Bytes sta_ext_link_metrics_tlv(const StaMetrics& s)
{
    return tlv(0xC8, {mac(s.sta), u8(1), mac(s.bssid), be32(s.dl_rate * 9 / 10), be32(s.ul_rate * 9 / 10),
                      be32(s.bytes_received / 1000), be32(s.bytes_sent / 1000)});
}

// ---- channel scan

Bytes scan_result_tlv(const Radio& r, unsigned opclass, unsigned channel, const std::string& stamp, unsigned util,
                      unsigned noise, unsigned neighbours, Rng& rng)
{
    static const char* const names[] = {"Apt-2B", "HOME-4F21", "FreeWifi", "Printer-DIRECT", "Vineyard_5G",
                                        "Guest-5G", "Office", "TheLAN", "PrettyFlyForAWiFi", "DAD-MOM",
                                        "Cafe", "IoT-Hub", "Kitchen", "Stairwell", "Neighbour", "SmartTV-0C"};
    Bytes v = cat({mac(r.ruid), u8(opclass), u8(channel), u8(0), u8(static_cast<unsigned>(stamp.size())),
                   text(stamp), u8(util), u8(noise), be16(neighbours)});
    for (unsigned i = 0; i < neighbours; ++i) {
        Mac bssid{0x0A, static_cast<uint8_t>(rng.next()), static_cast<uint8_t>(rng.next()),
                  static_cast<uint8_t>(rng.next()), static_cast<uint8_t>(rng.next()), static_cast<uint8_t>(i)};
        std::string ssid = names[rng.below(16)];
        std::string bw = r.five ? (rng.below(2) ? "80" : "160") : (rng.below(3) ? "20" : "40");
        append(v, cat({mac(bssid), u8(static_cast<unsigned>(ssid.size())), text(ssid), u8(100 + rng.below(90)),
                       u8(static_cast<unsigned>(bw.size())), text(bw)}));
        if (rng.below(3))
            append(v, cat({u8(0x80), u8(rng.below(200)), be16(rng.below(30))}));
        else
            append(v, u8(0x00));
    }
    append(v, cat({be32(2100), u8(0x80)})); // aggregate scan duration (ms), active scan
    return tlv(0xA7, v);
}

Bytes scan_failed_tlv(const Radio& r, unsigned opclass, unsigned channel, unsigned status)
{
    return tlv(0xA7, {mac(r.ruid), u8(opclass), u8(channel), u8(status)});
}

// ---- frames other than IEEE 1905

Bytes ipv4_checksummed(Bytes ip)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < 20; i += 2) sum += static_cast<uint32_t>(ip[i] << 8 | ip[i + 1]);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    ip[10] = static_cast<uint8_t>(~sum >> 8);
    ip[11] = static_cast<uint8_t>(~sum);
    return ip;
}

Bytes arp_request(const Mac& sender, unsigned sender_ip, unsigned target_ip)
{
    return cat({be16(1), be16(0x0800), u8(6), u8(4), be16(1), mac(sender), be32(sender_ip), Bytes(6, 0),
                be32(target_ip)});
}

Bytes mdns_query(unsigned src_ip)
{
    Bytes dns = cat({be16(0), be16(0), be16(1), be16(0), be16(0), be16(0), u8(4), text("_ipp"), u8(4),
                     text("_tcp"), u8(5), text("local"), u8(0), be16(12), be16(1)});
    Bytes udp = cat({be16(5353), be16(5353), be16(static_cast<unsigned>(8 + dns.size())), be16(0), dns});
    Bytes ip = cat({u8(0x45), u8(0), be16(static_cast<unsigned>(20 + udp.size())), be16(0x1c46), be16(0x4000),
                    u8(255), u8(17), be16(0), be32(src_ip), be32(0xE00000FB)});
    return cat({ipv4_checksummed(ip), udp});
}

Bytes lldp(const Mac& chassis)
{
    auto lldp_tlv = [](unsigned type, const Bytes& v) {
        return cat({be16(type << 9 | static_cast<unsigned>(v.size())), v});
    };
    return cat({lldp_tlv(1, cat({u8(4), mac(chassis)})), lldp_tlv(2, cat({u8(3), mac(chassis)})),
                lldp_tlv(3, be16(120)), lldp_tlv(0, {})});
}

// ---- the session

class Session {
public:
    explicit Session(uint32_t base) : base_(base) {}

    void at(double seconds) { t_us_ = static_cast<uint64_t>(seconds * 1e6 + 0.5); }

    void frame(const Bytes& f)
    {
        Packet p;
        p.ts_sec = base_ + static_cast<uint32_t>(t_us_ / 1'000'000);
        p.ts_usec = static_cast<uint32_t>(t_us_ % 1'000'000);
        p.data = f;
        p.orig_len = static_cast<uint32_t>(f.size());
        packets_.push_back(std::move(p));
        t_us_ += 180; // wire and stack time between frames of one exchange
    }

    void cmdu(Device& from, const Mac& to, uint16_t type, std::vector<Bytes> tlvs, bool relay = false)
    {
        CmduToSend c;
        c.src = from.al;
        c.dst = to;
        c.type = type;
        c.mid = from.mid++;
        c.relay = relay;
        c.vlan = from.vlan;
        c.tlvs = std::move(tlvs);
        for (const Bytes& f : cmdu_frames(c)) frame(f);
    }

    // A CMDU whose frame is built by hand (broken ones).
    void raw_cmdu(Device& from, const Mac& to, uint16_t type, const Bytes& stream)
    {
        CmduHeader h;
        h.type = type;
        h.mid = from.mid++;
        h.flags = kFlagLastFragment;
        frame(ethernet_frame(to, from.al, from.vlan, kEtherType1905, cat({encode_header(h), stream})));
    }

    std::vector<Packet> take() { return std::move(packets_); }

private:
    uint32_t base_;
    uint64_t t_us_ = 0;
    std::vector<Packet> packets_;
};

} // namespace

std::vector<Packet> mesh_session()
{
    Rng rng(0x6C75534C); // fixed seed
    Session s(1717243200); // 2024-06-01 12:00:00 UTC

    Device ctl{M("02:c0:00:00:00:01"), M("02:c0:00:00:e0:01"), std::nullopt, 0x0100, {},
               "Lumeno", "MeshGate C1", "LMC1-000117", "3.2.1"};
    Device a1{M("02:a1:00:00:00:01"), M("02:a1:00:00:e0:01"), std::nullopt, 0x1000,
              {{M("02:a1:00:00:24:00"), false, {{81, 6}}, 20, {{M("02:a1:00:00:24:01"), "HomeNet", false, 0x4D31}}},
               {M("02:a1:00:00:50:00"), true, {{128, 42}, {115, 36}, {116, 36}}, 23,
                {{M("02:a1:00:00:50:01"), "HomeNet", false, 0x4D31}, {M("02:a1:00:00:50:02"), "HomeNet-bh", true, 0}}}},
              "Lumeno", "MeshPoint A6", "LMA6-004521", "3.2.1"};
    // The second agent sits behind a switch that tags its frames with VLAN 100.
    Device a2{M("02:a2:00:00:00:01"), M("02:a2:00:00:e0:01"), uint16_t{100}, 0x2000,
              {{M("02:a2:00:00:24:00"), false, {{81, 1}}, 20, {{M("02:a2:00:00:24:01"), "HomeNet", false, 0x4D31}}},
               {M("02:a2:00:00:50:00"), true, {{128, 155}, {125, 149}, {126, 149}}, 30,
                {{M("02:a2:00:00:50:01"), "HomeNet", false, 0x4D31}}}},
              "Lumeno", "MeshPoint A7", "LMA7-000318", "3.2.1"};
    const Mac bsta2 = M("02:a2:00:00:5b:01"); // the second agent's backhaul STA
    const Station phone{M("02:5a:00:00:00:11"), "phone"}, laptop{M("02:5a:00:00:00:22"), "laptop"},
        tv{M("02:5a:00:00:00:33"), "tv"}, sensor{M("02:5a:00:00:00:44"), "sensor"},
        guest{M("02:5a:00:00:00:55"), "guest"};

    const Radio& a1r24 = a1.radios[0];
    const Radio& a1r5 = a1.radios[1];
    const Radio& a2r24 = a2.radios[0];
    const Radio& a2r5 = a2.radios[1];
    const Bss& a1fh24 = a1r24.bss[0];
    const Bss& a1fh5 = a1r5.bss[0];
    const Bss& a1bh5 = a1r5.bss[1];
    const Bss& a2fh24 = a2r24.bss[0];
    const Bss& a2fh5 = a2r5.bss[0];

    // ---- the controller announces itself; LAN chatter around it
    s.at(0.0);
    s.cmdu(ctl, kMulticast1905, 0x0000, {al_mac_tlv(ctl), mac_address_tlv(ctl.eth)});
    s.frame(ethernet_frame(kBroadcast, ctl.eth, std::nullopt, 0x0806, arp_request(ctl.eth, 0xC0A80101, 0xC0A8010A)));

    // ---- onboarding of each agent
    auto onboard = [&](Device& a, double t0) {
        s.at(t0);
        s.cmdu(a, kMulticast1905, 0x0000, {al_mac_tlv(a), mac_address_tlv(a.eth)});
        s.cmdu(a, kMulticast1905, 0x0007,
               {al_mac_tlv(a), tlv(0x0D, {u8(0)}), tlv(0x0E, {u8(0)}), supported_service_tlv(1),
                tlv(0x81, {u8(1), u8(0)}), multiap_profile_tlv()});
        s.cmdu(ctl, a.al, 0x0008,
               {tlv(0x0F, {u8(0)}), tlv(0x10, {u8(0)}), supported_service_tlv(0), multiap_profile_tlv()});
        for (const Radio& r : a.radios) {
            s.at(t0 += 0.25);
            s.cmdu(a, ctl.al, 0x0009,
                   {radio_basic_caps_tlv(r), wsc_m1_tlv(a, r, rng), profile2_caps_tlv(), radio_advanced_caps_tlv(r)});
            s.cmdu(ctl, a.al, 0x0009, {tlv(0x82, {mac(r.ruid)}), wsc_m2_tlv(ctl, r, rng)});
        }
        s.at(t0 += 0.3);
        std::vector<Bytes> req{multiap_profile_tlv(), supported_service_tlv(1), akm_suites_tlv()};
        for (const Radio& r : a.radios) req.push_back(radio_basic_caps_tlv(r));
        req.push_back(profile2_caps_tlv());
        for (const Radio& r : a.radios) req.push_back(radio_advanced_caps_tlv(r));
        s.cmdu(a, ctl.al, 0x802C, req);
    };

    auto topology = [&](Device& a, double t0, const Mac& uplink_if, const Mac& uplink_al,
                        const std::optional<std::pair<Mac, Mac>>& bsta,
                        const std::vector<std::pair<Mac, std::vector<Mac>>>& clients) {
        s.at(t0);
        s.cmdu(ctl, a.al, 0x0002, {});
        std::vector<Bytes> t{device_info_tlv(a, bsta), tlv(0x04, {u8(0)}),
                             neighbor_device_tlv(uplink_if, {uplink_al}), supported_service_tlv(1),
                             ap_operational_bss_tlv(a)};
        if (!clients.empty()) t.push_back(associated_clients_tlv(clients));
        t.push_back(multiap_profile_tlv());
        t.push_back(bss_config_report_tlv(a));
        t.push_back(mdid_tlv(a));
        s.cmdu(a, ctl.al, 0x0003, t);
    };

    auto capabilities = [&](Device& a, double t0, bool eht) {
        s.at(t0);
        s.cmdu(ctl, a.al, 0x8001, {});
        std::vector<Bytes> c{tlv(0xA1, {u8(0xE0)})};
        for (const Radio& r : a.radios) {
            c.push_back(radio_basic_caps_tlv(r));
            c.push_back(ht_caps_tlv(r));
            if (r.five) c.push_back(vht_caps_tlv(r));
            c.push_back(he_caps_tlv(r));
            c.push_back(wifi6_caps_tlv(r));
        }
        c.push_back(channel_scan_caps_tlv(a));
        c.push_back(cac_caps_tlv(a));
        c.push_back(profile2_caps_tlv());
        c.push_back(tlv(0xC5, {be32(5000)}));
        c.push_back(tlv(0xA9, {u8(0), u8(0), u8(0)}));
        c.push_back(device_inventory_tlv(a));
        if (eht) // EHT on the 5 GHz radio: 2x2, up to 160 MHz
            c.push_back(tlv(0x0B, {u8(0x00), u8(0x0C), u8(0xE7), u8(0x16), u8(1), mac(a.radios[1].ruid), u8(1),
                                   u8(1), u8(3), u8(0), u8(0)}));
        s.cmdu(a, ctl.al, 0x8002, c);
    };

    auto channels = [&](Device& a, double t0, bool cac) {
        s.at(t0);
        s.cmdu(ctl, a.al, 0x8004, {});
        std::vector<Bytes> p;
        for (const Radio& r : a.radios) p.push_back(channel_preference_tlv(r));
        if (cac) p.push_back(cac_status_tlv());
        s.cmdu(a, ctl.al, 0x8005, p);
        s.at(t0 + 0.4);
        std::vector<Bytes> o;
        for (const Radio& r : a.radios) o.push_back(operating_channel_tlv(r));
        s.cmdu(a, ctl.al, 0x8008, o);
        s.cmdu(ctl, a.al, 0x8000, {});
    };

    onboard(a1, 1.0);
    topology(a1, 2.5, a1.eth, ctl.al, std::nullopt, {});
    capabilities(a1, 3.0, false);
    channels(a1, 3.5, true);
    s.frame(ethernet_frame(M("01:80:c2:00:00:0e"), a1.eth, std::nullopt, 0x88CC, lldp(a1.eth)));

    onboard(a2, 6.0);
    topology(a2, 7.5, bsta2, a1.al, std::pair{bsta2, a1.radios[1].bss[1].bssid}, {});
    capabilities(a2, 8.0, true);
    channels(a2, 8.5, false);

    // ---- link metrics
    s.at(10.0);
    const Link a1_ctl{a1.eth, ctl.eth, 0x0001, 3, 1'204'551, 940, 1000, 0xFF};
    const Link a1_a2{a1bh5.bssid, bsta2, 0x0108, 41, 684'210, 1150, 1441, 0xC8};
    const Link a2_a1{bsta2, a1bh5.bssid, 0x0108, 57, 702'904, 1090, 1441, 0xC6};
    s.cmdu(ctl, a1.al, 0x0005, {tlv(0x08, {u8(0), u8(2)})});
    s.cmdu(a1, ctl.al, 0x0006,
           {tx_link_metric_tlv(a1.al, ctl.al, {a1_ctl}), rx_link_metric_tlv(a1.al, ctl.al, {a1_ctl}),
            tx_link_metric_tlv(a1.al, a2.al, {a1_a2}), rx_link_metric_tlv(a1.al, a2.al, {a1_a2})});
    s.cmdu(ctl, a2.al, 0x0005, {tlv(0x08, {u8(0), u8(2)})});
    s.cmdu(a2, ctl.al, 0x0006,
           {tx_link_metric_tlv(a2.al, a1.al, {a2_a1}), rx_link_metric_tlv(a2.al, a1.al, {a2_a1})});

    // ---- clients arrive
    auto joined = [&](Device& a, const Bss& b, const Station& st, bool in) {
        s.cmdu(a, kMulticast1905, 0x0001, {al_mac_tlv(a), tlv(0x92, {mac(st.mac), mac(b.bssid), u8(in ? 0x80 : 0)})},
               true);
    };
    s.at(12.0);
    joined(a1, a1fh24, phone, true);
    s.at(12.3);
    s.cmdu(ctl, a1.al, 0x8009, {tlv(0x90, {mac(a1fh24.bssid), mac(phone.mac)})});
    s.cmdu(a1, ctl.al, 0x800A,
           {tlv(0x90, {mac(a1fh24.bssid), mac(phone.mac)}), tlv(0x91, cat({u8(0), assoc_request_phone()}))});
    s.frame(ethernet_frame(M("01:00:5e:00:00:fb"), phone.mac, std::nullopt, 0x0800, mdns_query(0xC0A80121)));
    s.at(13.0);
    joined(a1, a1fh5, laptop, true);
    s.at(13.3);
    s.cmdu(ctl, a1.al, 0x8009, {tlv(0x90, {mac(a1fh5.bssid), mac(laptop.mac)})});
    s.cmdu(a1, ctl.al, 0x800A,
           {tlv(0x90, {mac(a1fh5.bssid), mac(laptop.mac)}), tlv(0x91, cat({u8(0), assoc_request_laptop()}))});
    s.at(14.0);
    joined(a2, a2fh5, tv, true);
    topology(a1, 15.0, a1.eth, ctl.al, std::nullopt,
             {{a1fh24.bssid, {phone.mac}}, {a1fh5.bssid, {laptop.mac}}, {a1bh5.bssid, {bsta2}}});

    // ---- metrics
    const StaMetrics m_phone{phone.mac, a1fh24.bssid, 143, 86, 0xA4, 18'230'114, 2'044'812, 15'020, 9'877, true};
    const StaMetrics m_laptop{laptop.mac, a1fh5.bssid, 1201, 864, 0xB8, 402'118'554, 35'700'120, 301'551, 120'045, true};
    const StaMetrics m_bsta{bsta2, a1bh5.bssid, 1441, 1297, 0xC2, 610'004'552, 98'100'221, 455'030, 201'998, true};
    const StaMetrics m_tv{tv.mac, a2fh5.bssid, 780, 390, 0x9E, 1'220'514'003, 4'900'112, 880'432, 52'101, false};
    s.at(16.0);
    s.cmdu(ctl, a1.al, 0x800B, {tlv(0x93, {u8(3), mac(a1fh24.bssid), mac(a1fh5.bssid), mac(a1bh5.bssid)})});
    s.cmdu(a1, ctl.al, 0x800C,
           {ap_metrics_tlv(a1fh24, 35, 1), ap_metrics_tlv(a1fh5, 61, 1), ap_metrics_tlv(a1bh5, 61, 1),
            ap_extended_metrics_tlv(a1fh24, 1), ap_extended_metrics_tlv(a1fh5, 9), ap_extended_metrics_tlv(a1bh5, 14),
            radio_metrics_tlv(a1r24, 0xA0, 40, 22, 61), radio_metrics_tlv(a1r5, 0xA6, 75, 38, 20),
            sta_link_metrics_tlv(m_phone), sta_traffic_tlv(m_phone), sta_wifi6_status_tlv(m_phone),
            sta_ext_link_metrics_tlv(m_phone), sta_link_metrics_tlv(m_laptop), sta_traffic_tlv(m_laptop),
            sta_wifi6_status_tlv(m_laptop), sta_ext_link_metrics_tlv(m_laptop), sta_link_metrics_tlv(m_bsta),
            sta_traffic_tlv(m_bsta), sta_wifi6_status_tlv(m_bsta), sta_ext_link_metrics_tlv(m_bsta)});
    s.at(16.5);
    s.cmdu(ctl, a2.al, 0x800B, {tlv(0x93, {u8(2), mac(a2fh24.bssid), mac(a2fh5.bssid)})});
    // Traffic counters may precede the station's link metrics; this agent sends them first.
    s.cmdu(a2, ctl.al, 0x800C,
           {ap_metrics_tlv(a2fh24, 12, 0), ap_metrics_tlv(a2fh5, 28, 1), ap_extended_metrics_tlv(a2fh24, 1),
            ap_extended_metrics_tlv(a2fh5, 20), radio_metrics_tlv(a2r24, 0x9C, 8, 3, 31),
            radio_metrics_tlv(a2r5, 0xA8, 52, 12, 9), sta_traffic_tlv(m_tv), sta_link_metrics_tlv(m_tv),
            sta_ext_link_metrics_tlv(m_tv)});

    s.at(18.0);
    s.cmdu(ctl, a1.al, 0x800D, {tlv(0x95, {mac(laptop.mac)})});
    s.cmdu(a1, ctl.al, 0x800E, {sta_link_metrics_tlv(m_laptop), sta_ext_link_metrics_tlv(m_laptop)});
    s.at(18.5);
    s.cmdu(ctl, a2.al, 0x800F, {tlv(0x97, {u8(81), u8(1), u8(6), u8(2), mac(phone.mac), mac(sensor.mac)})});
    s.cmdu(a2, ctl.al, 0x8010,
           {tlv(0x98, {u8(81), u8(2), mac(phone.mac), u8(6), be32(85), u8(0x6E), mac(sensor.mac), u8(6), be32(85),
                       u8(0x52)})});

    // ---- the laptop is steered to the second agent
    s.at(20.0);
    s.cmdu(ctl, a1.al, 0x8014, {tlv(0x9B, {mac(a1fh5.bssid), u8(0xE0), be16(0), be16(0), u8(1), mac(laptop.mac),
                                           u8(1), mac(a2fh5.bssid), u8(125), u8(149)})});
    s.cmdu(a1, ctl.al, 0x8000, {});
    s.at(20.4);
    s.cmdu(a1, ctl.al, 0x8015, {tlv(0x9C, {mac(a1fh5.bssid), mac(laptop.mac), u8(0), mac(a2fh5.bssid)})});
    s.cmdu(ctl, a1.al, 0x8000, {});
    s.at(20.9);
    joined(a1, a1fh5, laptop, false);
    s.at(21.0);
    s.cmdu(a1, ctl.al, 0x8022,
           {tlv(0x95, {mac(laptop.mac)}), tlv(0xCA, {be16(12)}), sta_traffic_tlv(m_laptop)});
    s.at(21.2);
    joined(a2, a2fh5, laptop, true);

    // ---- the second agent's backhaul is moved back onto the first agent's backhaul BSS
    s.at(23.0);
    s.cmdu(ctl, a2.al, 0x8019, {tlv(0x9E, {mac(bsta2), mac(a1bh5.bssid), u8(128), u8(42)})});
    s.at(24.1);
    s.cmdu(a2, ctl.al, 0x801A, {tlv(0x9F, {mac(bsta2), mac(a1bh5.bssid), u8(0)})});

    // ---- a channel scan in a crowded building: too big for one frame
    s.at(26.0);
    s.cmdu(ctl, a1.al, 0x801B, {tlv(0xA6, {u8(0), u8(0)})});
    s.at(30.0);
    const std::string stamp = "2024-06-01T12:00:29.512+00:00";
    s.cmdu(a1, ctl.al, 0x801C,
           {tlv(0xA8, {u8(static_cast<unsigned>(stamp.size())), text(stamp)}),
            scan_result_tlv(a1r24, 81, 1, stamp, 140, 0xA0, 26, rng),
            scan_result_tlv(a1r24, 81, 6, stamp, 175, 0x9F, 34, rng),
            scan_result_tlv(a1r24, 81, 11, stamp, 122, 0xA1, 21, rng),
            scan_result_tlv(a1r5, 115, 36, stamp, 88, 0xA6, 16, rng),
            scan_result_tlv(a1r5, 115, 44, stamp, 40, 0xA7, 8, rng), scan_failed_tlv(a1r5, 118, 52, 0x04),
            scan_result_tlv(a1r5, 125, 149, stamp, 64, 0xA8, 12, rng)});

    // ---- a guest fails to join the second agent, which then closes its 2.4 GHz BSS
    s.at(33.0);
    s.cmdu(a2, ctl.al, 0x8033,
           {tlv(0xB8, {mac(a2fh24.bssid)}), tlv(0x95, {mac(guest.mac)}), tlv(0xC9, {be16(17)}),
            tlv(0xCA, {be16(1)})});
    s.at(33.2);
    s.cmdu(a2, ctl.al, 0x8025, {tlv(0xBF, {u8(1), mac(a2fh24.bssid), u8(0)})});
    s.cmdu(ctl, a2.al, 0x8000, {});

    // ---- broken CMDUs, each refused
    s.at(40.0);
    // an Association Status Notification listing 11 BSSs, more than a device may have
    Bytes eleven = u8(11);
    for (unsigned i = 0; i < 11; ++i) append(eleven, cat({mac(a2fh24.bssid), u8(1)}));
    s.cmdu(a2, ctl.al, 0x8025, {tlv(0xBF, eleven)});
    s.at(40.5);
    // a Link Metric Response whose transmitter TLV is 40 bytes, not 12 + 29n
    Bytes tx = tx_link_metric_tlv(a1.al, ctl.al, {a1_ctl});
    tx.resize(tx.size() - 1);
    tx[2] = 40;
    s.cmdu(a1, ctl.al, 0x0006, {tx});
    s.at(41.0);
    // a Topology Response whose BSS Configuration Report names a BSS the agent no longer runs
    Device gone = a1;
    gone.radios[1].bss.pop_back();
    s.cmdu(a1, ctl.al, 0x0003,
           {device_info_tlv(a1, std::nullopt), supported_service_tlv(1), ap_operational_bss_tlv(gone),
            bss_config_report_tlv(a1)});
    s.at(41.5);
    // an Operating Channel Report cut short: its TLV announces 416 bytes
    Bytes cut = operating_channel_tlv(a2r24);
    cut[1] = 0x01;
    cut[2] = 0xA0;
    s.raw_cmdu(a2, ctl.al, 0x8008, cut);

    return s.take();
}

} // namespace lusl::tool::gen
