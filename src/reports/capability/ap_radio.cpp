// SPDX-License-Identifier: BSD-2-Clause
// AP Capability Report: radio entries and their HT and VHT capabilities.
#include "reports/capability/ap_radio.h"

#include <cstring>

#include "core/dispatch.h"
#include "core/log.h"
#include "reports/capability/cap_bits.h"

namespace lusl {

namespace apcap {

int find_radio(const ApCapRpt& r, const uint8_t* id)
{
    const unsigned n = radios_in_use(r);
    for (unsigned i = 0; i < n; ++i)
        if (mac_equal(r.radio[i].ruid, id)) return static_cast<int>(i);
    return -1;
}

bool skip_chan_list(Reader& in)
{
    in.skip(1);
    const uint8_t n = in.u8();
    in.skip(n);
    return in.ok();
}

void read_chan_list(Reader& in, ApCapChanList& dst)
{
    dst.opclass = in.u8();
    dst.ch_num = in.u8();
    for (unsigned c = 0; c < dst.ch_num; ++c) {
        const uint8_t ch = in.u8();
        if (c < MAX_CHANNEL_NUM_PER_OPCLASS) dst.ch[c] = ch;
    }
}

} // namespace apcap

namespace {

using namespace apcap;

// Radio id, max BSS, operating-class count, then each class with its channels.
bool basic_caps_fit(Reader in)
{
    in.skip(7);
    const uint8_t n = in.u8();
    for (unsigned k = 0; k < n && in.ok(); ++k) {
        in.skip(2);
        in.skip(in.u8());
    }
    return in.ok();
}

// The summary line HT and VHT log after updating a radio.
#define LOG_SUMMARY(tag, e)                                                                                        \
    LUSL_LOG(kModTlv, kDebug,                                                                                      \
             "[TLV] " tag ": TxNss=%hhu, RxNss=%hhu, short GI=%02X, support BW=%02X, support phytype=%02X, "       \
             "max_mcs=%hhu\n",                                                                                     \
             (e).tx_nss, (e).rx_nss, unsigned{(e).short_gi}, unsigned{(e).sup_bw}, unsigned{(e).phy_types},          \
             (e).max_mcs)

} // namespace

int h_APRadioBasicCapabilities(Reader& in, uint8_t* record, const Args&)
{
    ApCapRpt& r = rpt(record);
    if (r.radio_num >= MAX_RADIO_PER_DEVICE) {
        LUSL_LOG(kModTlv, kErr, "[TLV] Exceed maxinum radio number per device\n");
        return 0;
    }
    if (!basic_caps_fit(in)) return refuse_short("APRadioBasicCap", in.size());

    ApCapRadio& e = r.radio[r.radio_num++];
    in.copy(e.ruid, 6);
    e.max_bss = in.u8();
    e.opclass_num = in.u8();
    for (unsigned k = 0; k < e.opclass_num; ++k) {
        // Classes and channels beyond the room are stepped over so the next class is
        // read where it really starts.
        const uint8_t opclass = in.u8();
        const uint8_t txpwr = in.u8();
        const uint8_t nch = in.u8();
        const bool keep = k < APCAP_MAX_OPCLASS;
        if (keep) {
            ApCapOpClass& oc = e.opclass[k];
            oc.opclass = opclass;
            oc.max_txpower = txpwr;
            oc.non_op_ch_num = nch;
            LUSL_LOG(kModTlv, kDebug,
                     "[TLV] APRadioBasicCap: radio " LUSL_MAC_FMT ", opclass=%hhu, txpwr=%hhu, NonOpChNum=%hhu\n",
                     LUSL_MAC_ARG(e.ruid), opclass, txpwr, nch);
        }
        for (unsigned c = 0; c < nch; ++c) {
            const uint8_t ch = in.u8();
            if (!keep || c >= MAX_CHANNEL_NUM_PER_OPCLASS) continue;
            e.opclass[k].non_op_ch[c] = ch;
            LUSL_LOG(kModTlv, kDebug, "[TLV] OpClass=%hhu, non-operable channel=%hhu\n", opclass, ch);
        }
    }
    return 0;
}

int h_APHTCapabilities(Reader& in, uint8_t* record, const Args&)
{
    ApCapRpt& r = rpt(record);
    if (!in.has(7)) return refuse_short("APHTCap", in.size());
    uint8_t id[6];
    in.copy(id, 6);
    const int idx = find_radio(r, id);
    if (idx < 0) {
        LUSL_LOG(kModTlv, kErr, "[TLV] HT Unmatched radio mac\n");
        return 0;
    }
    ApCapRadio& e = r.radio[idx];
    const uint8_t h = in.u8();
    e.phy_types |= capbits::kPhyHt;
    e.ht_cap = h;
    LUSL_LOG(kModTlv, kDebug, "[TLV] APHTCap: Idx(%d) HTCapabilities(0x%02X)\n", idx, unsigned{h});

    e.max_mcs = capbits::kMcsHt;
    e.tx_nss = static_cast<uint8_t>((h >> 6) + 1);
    e.rx_nss = static_cast<uint8_t>(((h & 0x30) >> 4) + 1);
    e.short_gi |= static_cast<uint8_t>(((h & 0x08) ? capbits::kSgi20 : 0) | ((h & 0x04) ? capbits::kSgi40 : 0));
    e.sup_bw |= static_cast<uint16_t>(capbits::kBw20 | ((h & 0x02) ? capbits::kBw40 : 0));
    LOG_SUMMARY("APHTCap", e);
    return 0;
}

int h_APVHTCapabilities(Reader& in, uint8_t* record, const Args&)
{
    ApCapRpt& r = rpt(record);
    if (!in.has(12)) return refuse_short("APVHTCap", in.size());
    uint8_t id[6];
    in.copy(id, 6);
    const int idx = find_radio(r, id);
    if (idx < 0) {
        LUSL_LOG(kModTlv, kErr, "[TLV] VHT Unmatched radio mac\n");
        return 0;
    }
    ApCapRadio& e = r.radio[idx];
    e.phy_types |= capbits::kPhyVht;
    in.copy(e.vht_cap, 6);
    const uint8_t* v = e.vht_cap;
    LUSL_LOG(kModTlv, kDebug, "[TLV] APVHTCap: Idx(%d) VHTCapabilities(0x%02X 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X)\n",
             idx, unsigned{v[0]}, unsigned{v[1]}, unsigned{v[2]}, unsigned{v[3]}, unsigned{v[4]}, unsigned{v[5]});

    // Bits 1-0 of the Tx MCS map: the highest MCS of one spatial stream.
    const unsigned tx_map = (unsigned{v[0]} << 8) | v[1];
    const uint8_t a = v[4];
    const uint8_t b = v[5];
    e.max_mcs = (tx_map & 0x0002) ? 9 : (tx_map & 0x0001) ? 8 : 7;
    e.tx_nss = static_cast<uint8_t>((a >> 5) + 1);
    e.rx_nss = static_cast<uint8_t>(((a & 0x1C) >> 2) + 1);
    e.short_gi |= static_cast<uint8_t>(((a & 0x02) ? capbits::kSgi80 : 0) | ((a & 0x01) ? capbits::kSgi160 : 0));
    e.sup_bw |= static_cast<uint16_t>(capbits::kBw80 | ((b & 0xC0) ? capbits::kBw160 : 0));
    LOG_SUMMARY("APVHTCap", e);
    return 0;
}

} // namespace lusl

extern "C" {

LUSL_API int tlv_APRadioBasicCapabilities_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_APRadioBasicCapabilities, value, lusl::kMaxTlvLen, record);
}

LUSL_API int tlv_APHTCapabilities_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_APHTCapabilities, value, lusl::kMaxTlvLen, record);
}

LUSL_API int tlv_APVHTCapabilities_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_APVHTCapabilities, value, lusl::kMaxTlvLen, record);
}

} // extern "C"
