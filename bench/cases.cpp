// SPDX-License-Identifier: BSD-2-Clause
#include "cases.h"

#include "luSL/luSL.h"

namespace lusl::bench {

using namespace lusl::test;

namespace {

void add(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

// Locally administered addresses: 02:<a>:<b>:00:<hi>:<lo>.
Bytes addr(unsigned a, unsigned b, unsigned n) { return raw({0x02, a, b, 0x00, n >> 8 & 0xFF, n & 0xFF}); }

Bytes ruid(unsigned r) { return addr(0x10, 0x00, r); }
Bytes bssid(unsigned r, unsigned b) { return addr(0x20, r, b); }
Bytes sta(unsigned n) { return addr(0x30, 0x00, n); }

Bytes str8(const std::string& s) { return cat({u8(static_cast<unsigned>(s.size())), text(s)}); }

Bytes end_of(std::vector<Bytes> tlvs)
{
    Bytes out;
    for (const Bytes& t : tlvs) add(out, t);
    add(out, raw({0, 0, 0}));
    return out;
}

// ------------------------------------------------------------ 0x8025, 10 BSS entries
Bytes assoc_status()
{
    Bytes v = u8(10);
    for (unsigned b = 0; b < 10; ++b) add(v, cat({bssid(b / 5, b % 5), u8(b & 1)}));
    return end_of({tlv(0xBF, v)});
}

// ------------------------------------------------------------ 0x0003, 2 radios x 4 BSSs
const char* const kSsids[4] = {"HomeNet", "HomeNet-Guest", "bh-7f3a9c21", "HomeNet-IoT"};

Bytes topology()
{
    // Device information: AL MAC, two 802.11ax interfaces with their media information.
    Bytes dev = cat({addr(0x01, 0x00, 1), u8(2)});
    for (unsigned r = 0; r < 2; ++r)
        add(dev, cat({ruid(r), be16(0x0108), u8(10), bssid(r, 0), u8(0x00), u8(r ? 0x80 : 0x00), u8(r ? 42 : 6), u8(0)}));

    Bytes opbss = u8(2);
    Bytes cfg = u8(2);
    Bytes clients = u8(8);
    Bytes mdid = cat({raw({0x0E, 0x3C, 0x71, 0xC0}), be16(1 + 9 * 8), u8(0)});
    for (unsigned r = 0; r < 2; ++r) {
        add(opbss, cat({ruid(r), u8(4)}));
        add(cfg, cat({ruid(r), u8(4)}));
        for (unsigned b = 0; b < 4; ++b) {
            const std::string ssid = kSsids[b] + std::string(r ? "-5G" : "-2G");
            add(opbss, cat({bssid(r, b), str8(ssid)}));
            // Backhaul BSS 2, fronthaul for the rest.
            add(cfg, cat({bssid(r, b), u8(b == 2 ? 0x80 : 0x40), u8(0), str8(ssid)}));
            add(mdid, cat({bssid(r, b), be16(0x1234 + b), u8(b != 2)}));
            add(clients, cat({bssid(r, b), be16(2), sta(r * 8 + b * 2), be16(30), sta(r * 8 + b * 2 + 1), be16(95)}));
        }
    }
    return end_of({
        tlv(0x03, dev),
        tlv(0x80, raw({1, 0x01})),                       // supported service: agent
        tlv(0x07, cat({ruid(0), addr(0x01, 0x00, 2), u8(0x80)})), // 1905 neighbour device
        tlv(0x83, opbss),
        tlv(0x84, clients),
        tlv(0xB3, u8(3)),                                // multi-AP profile
        tlv(0x0B, mdid),
        tlv(0xB7, cfg),
    });
}

// ------------------------------------------------------------ 0x8002, 2 radios, every TLV
struct OpClass {
    unsigned op;
    std::vector<unsigned> non_operable;
};

Bytes basic_caps(unsigned r, const std::vector<OpClass>& ops)
{
    Bytes v = cat({ruid(r), u8(4), u8(static_cast<unsigned>(ops.size()))});
    for (const OpClass& o : ops) {
        add(v, cat({u8(o.op), u8(r ? 23 : 20), u8(static_cast<unsigned>(o.non_operable.size()))}));
        for (unsigned ch : o.non_operable) add(v, u8(ch));
    }
    return tlv(0x85, v);
}

Bytes chan_list(unsigned op, const std::vector<unsigned>& chans)
{
    Bytes v = cat({u8(op), u8(static_cast<unsigned>(chans.size()))});
    for (unsigned ch : chans) add(v, u8(ch));
    return v;
}

Bytes wifi6_role(unsigned role, unsigned mcs_len)
{
    // role, HE160 on the 5 GHz radio only (bits 5-4), MCS NSS length
    Bytes v = u8(role << 6 | (mcs_len == 8 ? 0x20 : 0) | mcs_len);
    for (unsigned i = 0; i < mcs_len / 2; ++i) add(v, raw({0xFF, 0xAA}));
    add(v, raw({0xE8, 0x44, 0x25, 0x25, 0xB8}));
    return v;
}

Bytes ap_capability()
{
    const std::vector<OpClass> ops24 = {{81, {}}, {83, {}}, {84, {}}};
    const std::vector<OpClass> ops5 = {
        {115, {}},
        {116, {}},
        {117, {}},
        {118, {52, 56, 60, 64}},
        {119, {52, 60}},
        {120, {56, 64}},
        {121, {100, 104, 108, 112, 116, 120, 124, 128, 132, 136, 140, 144}},
        {122, {100, 108, 116, 124, 132, 140}},
        {123, {104, 112, 120, 128, 136, 144}},
        {124, {}},
        {125, {169, 173, 177}},
        {126, {173}},
        {127, {169, 177}},
        {128, {58, 106, 122, 138}},
        {129, {50, 114}},
        {130, {58, 106, 122, 138}},
    };
    const std::vector<unsigned> ch24 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};

    Bytes scan = u8(2);
    add(scan, cat({ruid(0), u8(0x20), be32(300), u8(1), chan_list(81, ch24)}));
    add(scan, cat({ruid(1), u8(0x20), be32(300), u8(4), chan_list(115, {36, 40, 44, 48}),
                   chan_list(118, {52, 56, 60, 64}),
                   chan_list(121, {100, 104, 108, 112, 116, 120, 124, 128, 132, 136, 140, 144}),
                   chan_list(125, {149, 153, 157, 161, 165})}));

    Bytes cac = cat({text("US"), u8(1), ruid(1), u8(2)});
    for (unsigned method : {0u, 2u}) {
        add(cac, cat({u8(method), be24(method ? 600 : 60), u8(3), chan_list(118, {52, 56, 60, 64}),
                      chan_list(121, {100, 104, 108, 112, 116, 120, 124, 128, 132, 136, 140, 144}),
                      chan_list(122, {100, 108, 116, 124, 132, 140})}));
    }

    Bytes inventory = cat({str8("LU2024A0001234"), str8("4.2.1-r18330"), str8("Linux 5.4.213 armv7l"), u8(2)});
    for (unsigned r = 0; r < 2; ++r) add(inventory, cat({ruid(r), str8("ChipCo WF-7200")}));

    std::vector<Bytes> t = {tlv(0xA1, u8(0xC0)), basic_caps(0, ops24), basic_caps(1, ops5)};
    for (unsigned r = 0; r < 2; ++r) {
        t.push_back(tlv(0x86, cat({ruid(r), u8(0x6E)})));
        t.push_back(tlv(0x87, cat({ruid(r), be16(0xFFAA), be16(0xFFAA), u8(0x4B), u8(r ? 0x40 : 0x00)})));
        const unsigned l = r ? 8 : 4;
        Bytes he = cat({ruid(r), u8(l)});
        for (unsigned i = 0; i < l / 2; ++i) add(he, raw({0xFF, 0xAA}));
        add(he, cat({u8(r ? 0x25 : 0x24), u8(0x3C)}));
        t.push_back(tlv(0x88, he));
        t.push_back(tlv(0xAA, cat({ruid(r), u8(2), wifi6_role(0, l), wifi6_role(1, l)})));
    }
    Bytes eht = cat({raw({0x00, 0x0C, 0xE7, 0x16}), u8(2)});
    for (unsigned r = 0; r < 2; ++r) add(eht, cat({ruid(r), u8(1), u8(1), u8(r ? 3 : 1), raw({0, 0})}));
    t.push_back(tlv(0x0B, eht));
    t.push_back(tlv(0xA5, scan));
    t.push_back(tlv(0xA9, raw({0x00, 0x00, 0x00})));
    t.push_back(tlv(0xB2, cac));
    t.push_back(tlv(0xB4, raw({0x00, 0x00, 0x48, 0x08})));
    t.push_back(tlv(0xC5, be32(5000)));
    t.push_back(tlv(0xD4, inventory));
    return end_of(t);
}

// ------------------------------------------------------------ 0x800A, HE association request
Bytes element(unsigned id, const Bytes& data) { return cat({u8(id), u8(static_cast<unsigned>(data.size())), data}); }

Bytes client_capability()
{
    const Bytes rsn = raw({0x01, 0x00, 0x00, 0x0F, 0xAC, 0x04, 0x01, 0x00, 0x00, 0x0F, 0xAC, 0x04, 0x01, 0x00,
                           0x00, 0x0F, 0xAC, 0x02, 0x8C, 0x00});
    Bytes ht = raw({0xEF, 0x01, 0x1B});                  // HT capability info, A-MPDU parameters
    add(ht, raw({0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})); // MCS 0-15
    add(ht, zeros(2 + 4 + 1));                            // extended, beamforming, ASEL
    const Bytes vht = raw({0x72, 0x09, 0x80, 0x0F, 0xFA, 0xFF, 0x00, 0x00, 0xFA, 0xFF, 0x00, 0x00});
    Bytes he = raw({35, 0x01, 0x08, 0x08, 0x02, 0x40, 0x00});     // HE MAC capabilities
    add(he, raw({0x0C, 0x20, 0x02, 0xC0, 0x0F, 0x43, 0x95, 0x18, 0x00, 0xCC, 0x00})); // HE PHY, 160 MHz
    add(he, raw({0xFA, 0xFF, 0xFA, 0xFF, 0xFA, 0xFF, 0xFA, 0xFF}));               // <=80, 160 MCS maps

    Bytes frame = raw({0x31, 0x14, 0x0A, 0x00}); // capability information, listen interval
    add(frame, element(0, text("HomeNet-5G")));
    add(frame, element(1, raw({0x8C, 0x12, 0x98, 0x24, 0xB0, 0x48, 0x60, 0x6C})));
    add(frame, element(33, raw({0x03, 0x14})));
    add(frame, element(36, raw({36, 4, 52, 4, 100, 12, 149, 5})));
    add(frame, element(48, rsn));
    add(frame, element(70, raw({0x73, 0xD0, 0x00, 0x00, 0x0C})));
    add(frame, element(59, raw({128, 115, 118, 121, 124, 125, 128, 129})));
    add(frame, element(45, ht));
    add(frame, element(127, raw({0x04, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x20})));
    add(frame, element(191, vht));
    add(frame, element(255, he));
    add(frame, element(221, raw({0x00, 0x50, 0xF2, 0x02, 0x00, 0x01, 0x00})));
    add(frame, element(221, raw({0x50, 0x6F, 0x9A, 0x16, 0x02, 0x01, 0x00})));

    return end_of({
        tlv(0x90, cat({bssid(1, 0), sta(7)})),
        tlv(0x91, cat({u8(0), frame})),
    });
}

// ------------------------------------------------------------ 0x801C, 2 radios x 30 channels x 8
Bytes scan_result(unsigned r, unsigned op, unsigned ch)
{
    Bytes v = cat({ruid(r), u8(op), u8(ch), u8(0), str8("2024-05-14T09:30:12.345Z"), u8(40 + ch % 50), u8(0xA5),
                   be16(8)});
    for (unsigned n = 0; n < 8; ++n) {
        const unsigned id = ch * 8 + n;
        add(v, cat({addr(0x40 + r, ch, n), str8("Neighbour-" + std::to_string(id)), u8(120 + n * 5),
                    str8(r ? "80" : "20"), u8(0x80), u8(20 + n), be16(n * 3)}));
    }
    add(v, cat({be32(1800), u8(0x80)}));
    return tlv(0xA7, v);
}

Bytes channel_scan()
{
    std::vector<Bytes> t = {tlv(0xA8, str8("2024-05-14T09:30:12.345Z"))}; // timestamp, passed over
    auto radio = [&](unsigned r, std::initializer_list<std::pair<unsigned, std::vector<unsigned>>> lists) {
        for (const auto& [op, chans] : lists)
            for (unsigned ch : chans) t.push_back(scan_result(r, op, ch));
    };
    radio(0, {{81, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}},
              {83, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
              {84, {5, 6, 7, 8, 9, 10, 11, 12}}});
    radio(1, {{115, {36, 40, 44, 48}},
              {118, {52, 56, 60, 64}},
              {121, {100, 104, 108, 112, 116, 120, 124, 128, 132, 136, 140, 144}},
              {124, {149, 153, 157, 161}},
              {125, {165, 169, 173, 177, 181, 185}}});
    return end_of(t);
}

// ------------------------------------------------------------ 0x800C, BSSs x stations
Bytes ap_metrics(unsigned bss_count, unsigned stas_per_bss)
{
    std::vector<Bytes> t;
    for (unsigned b = 0; b < bss_count; ++b)
        t.push_back(tlv(0x94, cat({bssid(b / 5, b % 5), u8(35 + b), be16(stas_per_bss), u8(0x80), raw({0x7E, 0x40, 0x15})})));
    for (unsigned b = 0; b < bss_count; ++b) {
        Bytes ext = bssid(b / 5, b % 5);
        for (unsigned c = 0; c < 6; ++c) add(ext, be32(1000000u * (c + 1) + b));
        t.push_back(tlv(0xC7, ext));
    }
    for (unsigned r = 0; r < 2; ++r) t.push_back(tlv(0xC6, cat({ruid(r), raw({0xA0, 0x30, 0x20, 0x10})})));
    // Per station, in the order agents send them: traffic, link, extended link, Wi-Fi 6 status.
    for (unsigned b = 0; b < bss_count; ++b) {
        const Bytes bss = bssid(b / 5, b % 5);
        for (unsigned s = 0; s < stas_per_bss; ++s) {
            const Bytes mac = sta(b * 64 + s);
            Bytes traffic = mac;
            for (unsigned c = 0; c < 7; ++c) add(traffic, be32(10000u * (c + 1) + s));
            t.push_back(tlv(0xA2, traffic));
            t.push_back(tlv(0x96, cat({mac, u8(1), bss, be32(10), be32(866000), be32(433000), u8(180 - s)})));
            t.push_back(tlv(0xC8, cat({mac, u8(1), bss, be32(866000), be32(433000), be32(20), be32(35)})));
            t.push_back(tlv(0xB0, cat({mac, u8(2), raw({0, 12, 5, 3})})));
        }
    }
    return end_of(t);
}

} // namespace

const std::vector<Case>& cases()
{
    // Expected heap blocks: the record; for 0x801C also the compact buffer and one node per
    // neighbour (one process's nodes lie close enough together that no link needs the table
    // of far nodes); for 0x800C the scratch table and the compact buffer.
    static const std::vector<Case> all = {
        {"assoc_status_10bss", 0x8025, sizeof(AssocStatusNotification), 1, assoc_status()},
        {"topology_2x4", 0x0003, sizeof(TopologyResp), 1, topology()},
        {"ap_capability_2radio", 0x8002, sizeof(ApCapRpt), 1, ap_capability()},
        {"client_capability_he", 0x800A, sizeof(CliCapRpt), 1, client_capability()},
        {"channel_scan_2x30x8", 0x801C, sizeof(ChScanRpt), 2 + 2 * 30 * 8, channel_scan()},
        {"ap_metrics_1x4", 0x800C, sizeof(ApMetricsResp), 3, ap_metrics(1, 4)},
        {"ap_metrics_10x64", 0x800C, sizeof(ApMetricsResp), 3, ap_metrics(10, 64)},
    };
    return all;
}

} // namespace lusl::bench
