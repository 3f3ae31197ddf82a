// SPDX-License-Identifier: BSD-2-Clause
// AP Metrics Response, radio and BSS level: AP Metrics, Radio Metrics, AP Extended Metrics.
#include "core/dispatch.h"
#include "core/log.h"
#include "luSL/luSL.h"
#include "reports/metrics/metrics_record.h"

namespace lusl {

using metrics::mac_eq;
using metrics::mac_zero;
using metrics::resp;

namespace {

constexpr size_t kApMetricsFixed = 10; // BSSID, utilisation, station count, include flags
constexpr size_t kEspLen = 3;
constexpr size_t kRadioMetricsLen = 10;
constexpr size_t kApExtMetricsLen = 30;

} // namespace

int h_APMetrics(Reader& in, uint8_t* record, const Args& args)
{
    if (!in.has(kApMetricsFixed)) return refuse_short("ApMetrics", in.size());
    const uint8_t include = in.peek(9);
    // One ESP field per access category bit (TLV bits 7 to 4: BE, BK, VO, VI).
    const size_t esp_count = static_cast<size_t>(__builtin_popcount(include & 0xF0u));
    if (!in.has(kApMetricsFixed + kEspLen * esp_count)) return refuse_short("ApMetrics", in.size());

    auto& r = resp(record);
    const unsigned n = args.ordinal;
    if (n >= MAX_BSS_PER_DEVICE) {
        // No entry to go to. The count still says how many BSSs were reported (saturating
        // rather than wrapping), so the encoder refuses the message instead of sending a
        // record that lost BSSs.
        r.bss_num = static_cast<uint8_t>(n < 255 ? n + 1 : 255);
        uint8_t bssid[6] = {};
        in.copy(bssid, 6);
        LUSL_LOG(kModTlv, kErr, "[TLV] ApMetrics: BSS " LUSL_MAC_FMT " is BSS %u, exceeds MAX_BSS_PER_DEVICE %d, dropped\n",
                 LUSL_MAC_ARG(bssid), n + 1, MAX_BSS_PER_DEVICE);
        return 0;
    }

    r.bss_num = static_cast<uint8_t>(n + 1);
    ApMetricsBss& bss = r.bss[n];
    in.copy(bss.bssid, 6);
    bss_entries_changed();
    bss.ch_util = in.u8();
    const uint16_t reported = in.be16();
    uint16_t sta_num = reported;
    if (sta_num > MAX_STA_PER_BSS) {
        LUSL_LOG(kModTlv, kErr,
                 "[TLV] ApMetrics: BSS " LUSL_MAC_FMT ", associated STA counts=%d exceed maximum %d, set to MAX!\n",
                 LUSL_MAC_ARG(bss.bssid), reported, MAX_STA_PER_BSS);
        sta_num = MAX_STA_PER_BSS;
    }
    bss.sta_num = sta_num;
    in.skip(1); // the include flags, peeked above

    // TLV bit 7 - ac is record bit ac; present fields follow one another.
    uint8_t included = 0;
    for (unsigned ac = 0; ac < 4; ++ac) {
        if (include & (0x80u >> ac)) {
            included = static_cast<uint8_t>(included | 1u << ac);
            in.copy(bss.esp[ac], kEspLen);
        }
    }
    bss.esp_include = static_cast<uint8_t>((bss.esp_include & 0xF0u) | included);

    const auto& e = bss.esp;
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] ApMetrics: BSS " LUSL_MAC_FMT ", CH util=%hhu, accoc STA cnts=%d \ninclude_bit=%02hhX, "
             "AC_BE=%02hhX%02hhX%02hhX, AC_BK=%02hhX%02hhX%02hhX, AC_VO=%02hhX%02hhX%02hhX, AC_VI=%02hhX%02hhX%02hhX\n",
             LUSL_MAC_ARG(bss.bssid), bss.ch_util, sta_num, include, e[0][0], e[0][1], e[0][2], e[1][0], e[1][1],
             e[1][2], e[2][0], e[2][1], e[2][2], e[3][0], e[3][1], e[3][2]);
    LUSL_LOG(kModTlv, kDebug, "[TLV] ApMetrics: BSS " LUSL_MAC_FMT ", channel util=%hhu, associated STA counts=%d\n",
             LUSL_MAC_ARG(bss.bssid), bss.ch_util, sta_num);
    return 0;
}

int h_RadioMetrics(Reader& in, uint8_t* record, const Args& args)
{
    if (!in.has(kRadioMetricsLen)) return refuse_short("RadioMetrics", in.size());
    auto& r = resp(record);
    const unsigned n = args.ordinal;
    if (n >= MAX_RADIO_PER_DEVICE) {
        uint8_t ruid[6] = {};
        in.copy(ruid, 6);
        LUSL_LOG(kModTlv, kErr, "[TLV] RadioMetrics: RUID " LUSL_MAC_FMT " is radio %u, exceeds MAX_RADIO_PER_DEVICE %d, dropped\n",
                 LUSL_MAC_ARG(ruid), n + 1, MAX_RADIO_PER_DEVICE);
        return 0;
    }
    r.radio_num = static_cast<uint8_t>(n + 1);
    ApMetricsRadio& radio = r.radio[n];
    in.copy(radio.ruid, 6);
    radio.noise = in.u8();
    radio.transmit = in.u8();
    radio.receive_self = in.u8();
    radio.receive_other = in.u8();
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] RadioMetrics: RUID " LUSL_MAC_FMT " Noise=%hhu, Transmit=%hhu, ReceiveSelf=%hhu , ReceiveOther=%hhu\n",
             LUSL_MAC_ARG(radio.ruid), radio.noise, radio.transmit, radio.receive_self, radio.receive_other);
    return 0;
}

int h_APExtendedMetrics(Reader& in, uint8_t* record, const Args&)
{
    if (!in.has(kApExtMetricsLen)) return refuse_short("ApExtendedMetrics", in.size());
    auto& r = resp(record);
    uint8_t bssid[6] = {};
    in.copy(bssid, 6);

    // Entries are filled from the front: the first free one ends the search.
    ApMetricsBss* bss = nullptr;
    for (ApMetricsBss& b : r.bss) {
        if (mac_zero(b.bssid)) {
            LUSL_LOG(kModTlv, kDebug, "[TLV] ApExtendedMetrics: empty BSS\n");
            return -1;
        }
        if (mac_eq(b.bssid, bssid)) {
            bss = &b;
            break;
        }
    }
    if (!bss) {
        LUSL_LOG(kModTlv, kDebug, "[TLV] ApExtendedMetrics: bss_idx reach max index,not found match BSS\n");
        return -1;
    }
    bss->uc_bytes_sent = in.be32();
    bss->uc_bytes_received = in.be32();
    bss->mc_bytes_sent = in.be32();
    bss->mc_bytes_received = in.be32();
    bss->bc_bytes_sent = in.be32();
    bss->bc_bytes_received = in.be32();
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] ApExtendedMetrics: BSS " LUSL_MAC_FMT ", UC tx=%u, UC rx=%u, MC tx=%u, MC rx=%u, BC tx=%u, BC rx=%u\n",
             LUSL_MAC_ARG(bssid), bss->uc_bytes_sent, bss->uc_bytes_received, bss->mc_bytes_sent,
             bss->mc_bytes_received, bss->bc_bytes_sent, bss->bc_bytes_received);
    return 0;
}

} // namespace lusl

extern "C" {

LUSL_API int tlv_APMetrics_extract(const uint8_t* value, uint8_t* record, unsigned int ordinal)
{
    lusl::Args a;
    a.ordinal = ordinal;
    return lusl::run_handler(lusl::h_APMetrics, value, lusl::kMaxTlvLen, record, a);
}

LUSL_API int tlv_RadioMetrics_extract(const uint8_t* value, uint8_t* record, unsigned int ordinal)
{
    lusl::Args a;
    a.ordinal = ordinal;
    return lusl::run_handler(lusl::h_RadioMetrics, value, lusl::kMaxTlvLen, record, a);
}

LUSL_API int tlv_APExtendedMetrics_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_APExtendedMetrics, value, lusl::kMaxTlvLen, record);
}

} // extern "C"
