// SPDX-License-Identifier: BSD-2-Clause
// AP Capability Report: HE, Wi-Fi 6 and the vendor EHT capabilities of a radio.
#include <cstring>

#include "core/dispatch.h"
#include "core/log.h"
#include "reports/capability/ap_radio.h"
#include "reports/capability/cap_bits.h"

namespace lusl {
namespace {

using namespace apcap;

constexpr uint8_t kEhtOuiA[3] = {0x00, 0x0C, 0xE7};
constexpr uint8_t kEhtOuiB[3] = {0x00, 0x10, 0x18};
constexpr uint8_t kEhtSubTypeA = 0x16;
constexpr uint8_t kEhtSubElemB = 0x15;

// Record bit i holds bit 7 - i of the TLV byte.
constexpr uint8_t reversed(uint8_t b)
{
    b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}
static_assert(reversed(0x80) == 0x01 && reversed(0x01) == 0x80 && reversed(0xC2) == 0x43);

bool valid_mcs_nss_len(unsigned n)
{
    return n == 4 || n == 8 || n == 12;
}

enum class Roles { fit, cut_short, bad_len };

// Walks the roles without storing: a bad MCS NSS length ends the walk, as it ends the
// extraction, so what lies behind it does not matter.
Roles check_roles(Reader in, unsigned n)
{
    for (unsigned j = 0; j < n; ++j) {
        if (!in.has(1)) return Roles::cut_short;
        const unsigned len = in.u8() & 0x0F;
        if (!valid_mcs_nss_len(len)) return Roles::bad_len;
        if (!in.skip(len + 5)) return Roles::cut_short;
    }
    return Roles::fit;
}

void log_eht(const ApCapRadio& e)
{
    LUSL_LOG(kModTlv, kDebug, "[TLV] APEHTCap: TxNss=%hhu, RxNss=%hhu, support phytype=%02X, max_mcs=%hhu, sup_bw=%hu\n",
             e.tx_nss, e.rx_nss, unsigned{e.phy_types}, e.max_mcs, e.sup_bw);
}

void eht_common(ApCapRadio& e)
{
    e.phy_types |= capbits::kPhyEht;
    e.max_mcs = capbits::kMcsEht;
}

int eht_format_a(Reader& in, ApCapRpt& r)
{
    if (!in.has(1)) return refuse_short("VendorSpec EHT", in.size());
    const uint8_t sub = in.u8();
    if (sub != kEhtSubTypeA) {
        LUSL_LOG(kModTlv, kWarn, "[TLV] VendorSpec: unknown TLV 0x%02X\n", unsigned{sub});
        return 0;
    }
    if (!in.has(1)) return refuse_short("VendorSpec EHT", in.size());
    const uint8_t n = in.u8();
    if (!in.has(size_t{11} * n)) return refuse_short("VendorSpec EHT", in.size());
    for (unsigned i = 0; i < n; ++i) {
        Reader ent = in.sub(11);
        uint8_t id[6];
        ent.copy(id, 6);
        LUSL_LOG(kModTlv, kDebug, "[TLV] AP EHT CAP: Radio " LUSL_MAC_FMT "\n", LUSL_MAC_ARG(id));
        const int idx = find_radio(r, id);
        if (idx < 0) {
            LUSL_LOG(kModTlv, kErr, "[TLV] AP EHT CAP, Radio not match, Radio " LUSL_MAC_FMT "\n", LUSL_MAC_ARG(id));
            continue;
        }
        ApCapRadio& e = r.radio[idx];
        eht_common(e);
        e.tx_nss = static_cast<uint8_t>(ent.u8() + 1);
        e.rx_nss = static_cast<uint8_t>(ent.u8() + 1);
        static constexpr uint16_t kBwByCode[4] = {
            capbits::kBw20,
            capbits::kBw20 | capbits::kBw40,
            capbits::kBw20 | capbits::kBw40 | capbits::kBw80,
            capbits::kBw20 | capbits::kBw40 | capbits::kBw80 | capbits::kBw160,
        };
        const uint8_t code = ent.u8();
        if (code < 4) e.sup_bw |= kBwByCode[code];
        log_eht(e);
    }
    return 0;
}

// Two attempts at a sub-element. With store false nothing is logged or written: the walk
// only finds out whether every position it reads lies inside the TLV (-1 if not).
int eht_format_b(Reader in, ApCapRpt& r, bool store)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!in.has(1)) break; // fewer than two sub-elements
        const uint8_t type = in.peek();
        if (type != kEhtSubElemB) {
            // The position stays, so the next attempt meets the same byte.
            if (store) LUSL_LOG(kModTlv, kWarn, "[TLV] VendorSpec: unknown TLV 0x%02X\n", unsigned{type});
            continue;
        }
        in.skip(1);
        const uint16_t len = in.be16(); // counted from the radio identifier on
        const Reader at_id = in;
        uint8_t id[6];
        if (!in.copy(id, 6)) return -1;
        if (store) LUSL_LOG(kModTlv, kDebug, "[TLV] AP EHT CAP: Radio " LUSL_MAC_FMT "\n", LUSL_MAC_ARG(id));
        const int idx = find_radio(r, id);
        if (idx < 0) {
            if (store)
                LUSL_LOG(kModTlv, kErr, "[TLV] AP EHT CAP, Radio not match, Radio " LUSL_MAC_FMT "\n",
                         LUSL_MAC_ARG(id));
            in = at_id;
            if (!in.skip(len)) return -1;
            continue;
        }
        in.skip(in.u8());
        const uint8_t nss = in.u8();
        const uint8_t flags = in.u8();
        if (!in.ok()) return -1;
        if (!store) continue;
        ApCapRadio& e = r.radio[idx];
        eht_common(e);
        e.tx_nss = nss;
        e.rx_nss = nss;
        if (flags & 0x01)
            e.sup_bw |= capbits::kBw20 | capbits::kBw40 | capbits::kBw80 | capbits::kBw160 | capbits::kBw320;
        else if (flags & 0x02)
            e.sup_bw |= capbits::kBw20 | capbits::kBw40 | capbits::kBw80 | capbits::kBw160;
        log_eht(e);
    }
    return 0;
}

} // namespace

int h_APHECapabilities(Reader& in, uint8_t* record, const Args&)
{
    ApCapRpt& r = rpt(record);
    const size_t len = in.size();
    // Too short to name a radio: the length error the lookup would otherwise precede.
    if (len < 6) {
        LUSL_LOG(kModTlv, kErr, "[TLV] APHECap: length error\n");
        return -1;
    }
    uint8_t id[6];
    in.copy(id, 6);
    const int idx = find_radio(r, id);
    if (idx < 0) {
        LUSL_LOG(kModTlv, kErr, "[TLV] HE Unmatched radio mac\n");
        return -1;
    }
    if (len <= 8) {
        LUSL_LOG(kModTlv, kErr, "[TLV] APHECap: length error\n");
        return -1;
    }
    const uint8_t mcs_len = in.u8();
    if (!in.has(size_t{mcs_len} + 2)) return refuse_short("APHECap", len);
    Reader mcs = in.sub(mcs_len);
    const uint8_t s = in.u8();
    const uint8_t flags = in.u8();

    ApCapRadio& e = r.radio[idx];
    e.phy_types |= capbits::kPhyHe;
    e.tx_nss = static_cast<uint8_t>((s >> 5) + 1);
    e.rx_nss = static_cast<uint8_t>(((s & 0x1C) >> 2) + 1);

    // Blocks of two maps: up to 80 MHz, then 160 MHz and 80+80 MHz when supported. The
    // first map of the last block present decides.
    uint16_t map = 0;
    if (mcs.remaining() >= 4) {
        map = mcs.be16();
        mcs.skip(2);
    }
    if (mcs.remaining() >= 4 && (s & 0x01)) {
        map = mcs.be16();
        mcs.skip(2);
    }
    if (mcs.remaining() >= 4 && (s & 0x02)) map = mcs.be16();
    e.max_mcs = (map & 0x0002) ? 11 : (map & 0x0001) ? 9 : 7;
    e.he_cap_flags = flags;
    LUSL_LOG(kModTlv, kDebug, "[TLV] APHECap: TxNss=%hhu, RxNss=%hhu, support phytype=%02X, max_mcs=%hhu\n",
             e.tx_nss, e.rx_nss, unsigned{e.phy_types}, e.max_mcs);
    return 0;
}

int h_APWifi6Capabilities(Reader& in, uint8_t* record, const Args&)
{
    ApCapRpt& r = rpt(record);
    if (!in.has(7)) return refuse_short("ApWifi6Cap", in.size());
    uint8_t id[6];
    in.copy(id, 6);
    const int idx = find_radio(r, id);
    if (idx < 0) {
        LUSL_LOG(kModTlv, kErr, "[TLV] Wifi6 Unmatched radio mac\n");
        return -1;
    }
    const uint8_t n = in.u8();
    if (check_roles(in, n) == Roles::cut_short) return refuse_short("ApWifi6Cap", in.size());

    ApCapRadio& e = r.radio[idx];
    e.wifi6_role_num = n;
    LUSL_LOG(kModTlv, kDebug, "[TLV] ApWifi6Cap : radio_idx(%hhu) number_of_roles(%hhu)\n",
             static_cast<uint8_t>(idx), n);
    for (unsigned j = 0; j < n; ++j) {
        const uint8_t w = in.u8();
        const unsigned mcs_len = w & 0x0F;
        // Roles beyond the room are checked and stepped over, not stored.
        const bool keep = j < APCAP_MAX_WIFI6_ROLE;
        if (keep) {
            e.wifi6_role[j].role = static_cast<uint8_t>((w >> 6) | ((w >> 5) & 1) << 2 | ((w >> 4) & 1) << 3 |
                                                        (w & 0x0F) << 4);
            LUSL_LOG(kModTlv, kDebug, "[TLV] ApWifi6Cap : agent role to MCS NSS Length(%hhu)\n", w);
        }
        if (!valid_mcs_nss_len(mcs_len)) {
            LUSL_LOG(kModTlv, kErr, "[TLV] ApWifi6Cap : MCS NSS Length Error, Len=%hhu\n",
                     static_cast<uint8_t>(mcs_len));
            e.wifi6_role_num = 0;
            std::memset(e.wifi6_role, 0, sizeof e.wifi6_role);
            return -1;
        }
        if (!keep) {
            in.skip(mcs_len + 5);
            continue;
        }
        ApCapWifi6Role& role = e.wifi6_role[j];
        std::memset(role.mcs_nss, 0, sizeof role.mcs_nss);
        in.copy(role.mcs_nss, mcs_len);
        const uint8_t bf = in.u8();
        role.bf_flags = reversed(bf);
        LUSL_LOG(kModTlv, kDebug, "[TLV] ApWifi6Cap : SU Beamformer to DL OFDMA(%hhu)\n", bf);
        const uint8_t mu = in.u8();
        role.mu_mimo = static_cast<uint8_t>((mu >> 4) | (mu & 0x0F) << 4);
        LUSL_LOG(kModTlv, kDebug, "[TLV] ApWifi6Cap : Max DL MU-MIMO TX to Max DL MU-MIMO RX(%hhu)\n", mu);
        role.dl_ofdma_tx = in.u8();
        role.ul_ofdma_rx = in.u8();
        LUSL_LOG(kModTlv, kDebug, "[TLV] ApWifi6Cap : Max DL OFDMA TX(%hhu), Max UL OFDMA RX(%hhu)\n",
                 role.dl_ofdma_tx, role.ul_ofdma_rx);
        const uint8_t rts = in.u8();
        role.rts_flags = reversed(rts);
        LUSL_LOG(kModTlv, kDebug, "[TLV] ApWifi6Cap : RTS to Anticipated Channel Usage(%hhu)\n", rts);
    }
    return 0;
}

int h_VendorSpecific_Eht_Cap(Reader& in, uint8_t* record, const Args&)
{
    ApCapRpt& r = rpt(record);
    const size_t len = in.size();
    if (len == 0) return -1;
    if (!in.has(3)) return refuse_short("VendorSpec EHT", len);
    uint8_t oui[3];
    in.copy(oui, 3);
    LUSL_LOG(kModTlv, kDebug, "[TLV] VendorSpec: check OUI = %02x:%02x:%02x\n", unsigned{oui[0]}, unsigned{oui[1]},
             unsigned{oui[2]});
    if (std::memcmp(oui, kEhtOuiA, 3) == 0) return eht_format_a(in, r);
    if (std::memcmp(oui, kEhtOuiB, 3) == 0) {
        if (eht_format_b(in, r, false) != 0) return refuse_short("VendorSpec EHT", len);
        return eht_format_b(in, r, true);
    }
    return 0;
}

} // namespace lusl

extern "C" {

LUSL_API int tlv_APHECapabilities_extract(const uint8_t* value, uint8_t* record, uint16_t length)
{
    return lusl::run_handler(lusl::h_APHECapabilities, value, length, record);
}

LUSL_API int tlv_APWifi6Capabilities_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_APWifi6Capabilities, value, lusl::kMaxTlvLen, record);
}

LUSL_API int tlv_VendorSpecific_Eht_Cap_extract(const uint8_t* value, uint8_t* record, uint16_t length)
{
    return lusl::run_handler(lusl::h_VendorSpecific_Eht_Cap, value, length, record);
}

} // extern "C"
