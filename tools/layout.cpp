// SPDX-License-Identifier: BSD-2-Clause
// The description itself. Fixed blocks take every offset and width from their packed struct,
// so a renamed, missing or retyped member fails the build; a test checks that the fields of
// each fixed block cover its bytes exactly once.
#include "layout.h"

#include <luSL/luSL.h>

#include <iterator>
#include <type_traits>
#include <vector>

#include "core/catalogue.h"
#include "core/catalogue_rows.h"

namespace lusl::tool::layout {

namespace {

// ------------------------------------------------------------------ field makers

// Every described struct specialises Desc; an undescribed one used as a block fails the build.
template <class T>
struct Desc;

template <class T>
inline constexpr Block block_of{Desc<T>::name, sizeof(T), Desc<T>::fields};

template <class M>
using Elem = std::remove_all_extents_t<M>;

template <class M>
constexpr uint32_t elems()
{
    static_assert(std::rank_v<M> <= 1, "describe a multi-dimensional member field by field");
    return static_cast<uint32_t>(sizeof(M) / sizeof(Elem<M>));
}

template <class M>
constexpr Field uint_(const char* n, size_t off, Shown sh = Shown::Room, const char* cnt = nullptr,
                      std::span<const Bit> bits = {})
{
    static_assert(std::is_integral_v<Elem<M>> && std::is_unsigned_v<Elem<M>>, "not an unsigned integer member");
    return {n, bits.empty() ? Kind::Uint : Kind::Flags, static_cast<uint32_t>(off), sizeof(Elem<M>), elems<M>(), sh,
            cnt, nullptr, bits};
}

// A byte array holding one little- or big-endian number (kept as received).
template <class M>
constexpr Field raw_uint(const char* n, size_t off, Kind k)
{
    static_assert(std::is_same_v<Elem<M>, uint8_t> && sizeof(M) <= 4, "not a byte array of a number");
    return {n, k, static_cast<uint32_t>(off), sizeof(M), 1};
}

template <class M, size_t N>
constexpr Field bytes_of(const char* n, size_t off, Kind k)
{
    static_assert(std::is_same_v<M, uint8_t[N]>, "not an array of that many bytes");
    return {n, k, static_cast<uint32_t>(off), N, 1};
}

template <class M>
constexpr Field chars(const char* n, size_t off, Kind k, const char* len = nullptr)
{
    static_assert(sizeof(Elem<M>) == 1 && std::rank_v<M> == 1, "not a character or byte array");
    return {n, k, static_cast<uint32_t>(off), 1, elems<M>(), len ? Shown::Count : Shown::Room, len};
}

template <class M>
constexpr Field block_(const char* n, size_t off, Shown sh = Shown::Room, const char* cnt = nullptr)
{
    return {n, Kind::Block, static_cast<uint32_t>(off), sizeof(Elem<M>), elems<M>(), sh, cnt, &block_of<Elem<M>>};
}

template <class M>
constexpr Field reserved(const char* n, size_t off)
{
    return {n, Kind::Reserved, static_cast<uint32_t>(off), 1, static_cast<uint32_t>(sizeof(M))};
}

template <class M>
constexpr Field header(size_t off)
{
    static_assert(std::is_same_v<M, luSL_RecordHeader>, "the record header is a luSL_RecordHeader");
    return {"type", Kind::Type, static_cast<uint32_t>(off), 2, 1};
}

// One access category of ApMetricsBss.esp[4][3].
template <class M>
constexpr Field esp(const char* n, size_t off, unsigned ac)
{
    static_assert(std::is_same_v<M, uint8_t[4][3]>, "ESP information is four 3-byte fields");
    return {n, Kind::Bytes, static_cast<uint32_t>(off + 3 * ac), 1, 3};
}

#define DESC(T)                   \
    template <>                   \
    struct Desc<T> {              \
        using S = T;              \
        static constexpr const char* name = #T; \
        static constexpr Field fields[] = {
#define END \
    }       \
    ;       \
    }       \
    ;

#define HDR() header<decltype(S::hdr)>(offsetof(S, hdr))
#define U(f) uint_<decltype(S::f)>(#f, offsetof(S, f))
#define UC(f, cnt) uint_<decltype(S::f)>(#f, offsetof(S, f), Shown::Count, #cnt)
#define FL(f, bits) uint_<decltype(S::f)>(#f, offsetof(S, f), Shown::Room, nullptr, bits)
#define ULE(f) raw_uint<decltype(S::f)>(#f, offsetof(S, f), Kind::Uint)
#define UBE(f) raw_uint<decltype(S::f)>(#f, offsetof(S, f), Kind::UintBE)
#define MAC(f) bytes_of<decltype(S::f), 6>(#f, offsetof(S, f), Kind::Mac)
#define OUI(f) bytes_of<decltype(S::f), 3>(#f, offsetof(S, f), Kind::Oui)
#define TEXT(f) chars<decltype(S::f)>(#f, offsetof(S, f), Kind::Text)
#define TEXTL(f, len) chars<decltype(S::f)>(#f, offsetof(S, f), Kind::Text, #len)
#define BYTES(f) chars<decltype(S::f)>(#f, offsetof(S, f), Kind::Bytes)
#define BYTESL(f, len) chars<decltype(S::f)>(#f, offsetof(S, f), Kind::Bytes, #len)
#define BLK(f) block_<decltype(S::f)>(#f, offsetof(S, f))
#define BLKC(f, cnt) block_<decltype(S::f)>(#f, offsetof(S, f), Shown::Count, #cnt)
#define BLKZ(f) block_<decltype(S::f)>(#f, offsetof(S, f), Shown::NonZero)
#define RSV(f) reserved<decltype(S::f)>(#f, offsetof(S, f))

// ------------------------------------------------------------------ named bits

constexpr Bit kPhyTypes[] = {{0x01, "ht"}, {0x02, "vht"}, {0x04, "he"}, {0x08, "eht"}};
constexpr Bit kBandwidth[] = {{0x01, "20mhz"}, {0x02, "40mhz"}, {0x04, "80mhz"}, {0x08, "160mhz"}, {0x10, "320mhz"}};
constexpr Bit kCliShortGi[] = {{0x01, "ht"}, {0x02, "vht"}, {0x04, "he"}, {0x08, "eht"}};
constexpr Bit kCliHtCap[] = {{0x08, "sgi_20mhz"}, {0x04, "sgi_40mhz"}, {0x02, "40mhz"}};
constexpr Bit kVhtShortGi[] = {{0x02, "sgi_80mhz"}, {0x01, "sgi_160mhz"}};
constexpr Bit kVhtFlags[] = {{0x80, "80p80mhz"}, {0x40, "160mhz"}, {0x20, "su_beamformer"}, {0x10, "mu_beamformer"}};
constexpr Bit kHeRole[] = {{0x03, "agent_role"}, {0x04, "he160"}, {0x08, "he80p80"}, {0xF0, "mcs_nss_len"}};
constexpr Bit kBeamforming[] = {{0x01, "su_beamformer"}, {0x02, "su_beamformee"}, {0x04, "mu_beamformer"},
                                {0x08, "beamformee_sts_le80"}, {0x10, "beamformee_sts_gt80"}, {0x20, "ul_mu_mimo"},
                                {0x40, "ul_ofdma"}, {0x80, "dl_ofdma"}};
constexpr Bit kRtsTwt[] = {{0x01, "rts"}, {0x02, "mu_rts"}, {0x04, "multi_bssid"}, {0x08, "mu_edca"},
                           {0x10, "twt_requester"}, {0x20, "twt_responder"}, {0x40, "spatial_reuse"},
                           {0x80, "anticipated_channel_usage"}};
constexpr Bit kMuMimo[] = {{0x0F, "max_dl_mu_mimo_tx"}, {0xF0, "max_ul_mu_mimo_rx"}};
constexpr Bit kPrefReason[] = {{0x0F, "preference"}, {0xF0, "reason"}};
constexpr Bit kBssConfig[] = {{0x80, "backhaul"}, {0x40, "fronthaul"}};
constexpr Bit kRadioAdvCaps[] = {{0x01, "combined_fh_bh"}, {0x02, "combined_p1_p2_bh"}};
constexpr Bit kActiveScan[] = {{0x80, "active"}};
constexpr Bit kBssLoad[] = {{0x80, "present"}};
constexpr Bit kEspInclude[] = {{1u << LUSL_AC_BE, "be"}, {1u << LUSL_AC_BK, "bk"}, {1u << LUSL_AC_VO, "vo"},
                               {1u << LUSL_AC_VI, "vi"}};

// ------------------------------------------------------------------ station events

DESC(TopologyNotification) HDR(), MAC(client_mac), MAC(bssid), U(assoc_event), END
DESC(ClientDisassocStat) HDR(), U(reason_code), MAC(sta_mac), END
DESC(FailedConn) HDR(), U(reason_code), U(status_code), MAC(bssid), MAC(sta_mac), END
DESC(AssocStatusBss) MAC(bssid), U(allowance), END
DESC(AssocStatusNotification) HDR(), U(bss_num), BLKC(bss, bss_num), END

// ------------------------------------------------------------------ topology family

DESC(TopologyRespBss)
    MAC(bssid), U(marker), U(ssid_len), TEXTL(ssid, ssid_len), U(mdid), U(mdid_flag), U(config_reported),
    FL(config_flags, kBssConfig),
END
DESC(TopologyRespRadio) MAC(ruid), U(bss_num), BLKC(bss, bss_num), END
DESC(TopologyResp)
    HDR(), MAC(al_mac), U(radio_num), OUI(vendor_oui), UBE(media_type), RSV(reserved14), BLKC(radio, radio_num),
    RSV(reserved581),
END

DESC(LinkMetricEntry)
    MAC(local_intf), MAC(neighbor_intf), U(tx_packet_errors), U(tx_packets), U(rx_packet_errors), U(rx_packets),
    U(media_type), U(mac_throughput_cap), U(phy_rate),
END
DESC(LinkMetricNeighbor) MAC(al_mac), BLKZ(link), END
DESC(LinkMetricsResp) HDR(), MAC(al_mac), BLKZ(neighbor), END

DESC(ClientSteeringBTMRpt) HDR(), MAC(bssid), MAC(sta_mac), U(status_code), MAC(target_bssid), END
DESC(BHSteeringResp) HDR(), MAC(sta_mac), MAC(target_bssid), U(result), END

DESC(BssConfigRadio) MAC(ruid), RSV(reserved), END
DESC(AkmSuiteSelector) OUI(oui), U(type), END
DESC(BssConfigReq)
    HDR(), U(radio_num), BLKC(radio, radio_num), U(fh_akm_num), BLKC(fh_akm, fh_akm_num), U(bh_akm_num),
    BLKC(bh_akm, bh_akm_num),
END

DESC(ApAutoConfWSC)
    HDR(), MAC(device_mac), U(wsc_msg_type), TEXT(manufacturer), TEXT(model_name), TEXT(serial_number), MAC(ruid),
    FL(radio_adv_caps, kRadioAdvCaps),
END

// ------------------------------------------------------------------ channel family

DESC(ChPrefOpClass) U(op_class), U(channel_num), UC(channel, channel_num), FL(pref_reason, kPrefReason), END
DESC(ChPrefRadio) MAC(ruid), U(op_class_num), BLKC(op_class, op_class_num), END
DESC(CacAvailableChannel) U(op_class), U(channel), U(minutes), END
DESC(CacNonOccupancyChannel) U(op_class), U(channel), U(seconds), END
DESC(CacActiveChannel) U(op_class), U(channel), U(countdown), END
DESC(ChannelPreferenceRpt)
    HDR(), MAC(device_mac), U(radio_num), U(cac_present), U(available_num), BLKC(available, available_num),
    U(non_occupancy_num), BLKC(non_occupancy, non_occupancy_num), U(active_num), BLKC(active, active_num),
    BLKC(radio, radio_num),
END

DESC(OperChanPair) U(op_class), U(channel), END
DESC(OperChanRadio) MAC(ruid), U(op_class_num), BLKC(pair, op_class_num), U(tx_power), END
DESC(OperatingChanRpt) HDR(), MAC(device_mac), U(radio_num), BLKC(radio, radio_num), END

DESC(AssocStaMetricsResp)
    HDR(), MAC(sta_mac), U(uplink_rate), U(downlink_rate), U(uplink_rcpi), MAC(bssid), RSV(reserved),
END
DESC(UnAssocStaEntry) MAC(sta_mac), U(channel), U(uplink_rcpi), END
DESC(UnAssocStaMetricsResp) HDR(), MAC(device_mac), U(op_class), BLKZ(sta), END

// ------------------------------------------------------------------ capability family

DESC(ApCapOpClass) U(opclass), U(max_txpower), U(non_op_ch_num), UC(non_op_ch, non_op_ch_num), END
DESC(ApCapChanList) U(opclass), U(ch_num), UC(ch, ch_num), END
DESC(ApCapCacType) U(method), U(duration), U(opclass_num), BLKC(opclass, opclass_num), END
DESC(ApCapWifi6Role)
    FL(role, kHeRole), BYTES(mcs_nss), FL(bf_flags, kBeamforming), FL(mu_mimo, kMuMimo), U(dl_ofdma_tx),
    U(ul_ofdma_rx), FL(rts_flags, kRtsTwt),
END
DESC(ApCapRadio)
    MAC(ruid), FL(sup_bw, kBandwidth), U(short_gi), U(tx_nss), U(rx_nss), FL(phy_types, kPhyTypes), U(max_mcs),
    U(max_bss), U(opclass_num), BLKC(opclass, opclass_num),
    U(scan_on_boot_only), U(scan_impact), U(min_scan_interval), U(scan_opclass_num),
    BLKC(scan_opclass, scan_opclass_num),
    U(cac_type_num), BLKC(cac_type, cac_type_num),
    U(wifi6_role_num), BLKC(wifi6_role, wifi6_role_num),
    U(ht_cap), BYTES(vht_cap), TEXT(chipset_vendor), U(he_cap_flags),
END
DESC(ApCapRpt)
    HDR(), MAC(device_mac), U(radio_num), U(ap_capability), BLKC(radio, radio_num), TEXT(country_code),
    U(metric_collection_interval), U(sec_cap_present), U(sec_onboarding_protocol), U(sec_mic_algorithm),
    U(sec_encryption_algorithm), U(p2_max_prio_rules), U(p2_byte_counter_units), U(p2_prioritization),
    U(p2_dpp_onboarding), U(p2_traffic_separation), U(p2_max_vids), TEXT(sw_version), TEXT(exec_env),
END

// ------------------------------------------------------------------ client family

DESC(CliCapVht) ULE(tx_mcs_map), ULE(rx_mcs_map), FL(short_gi, kVhtShortGi), FL(flags, kVhtFlags), END
DESC(CliCapHeSummary)
    FL(role, kHeRole), BYTES(mcs_nss), FL(bf_flags, kBeamforming), U(mu_mimo_users), U(dl_ofdma_tx), U(ul_ofdma_rx),
    FL(rts_twt_flags, kRtsTwt),
END
DESC(CliCapRpt)
    HDR(), MAC(bssid), MAC(sta_mac), FL(phy_types, kPhyTypes), FL(cur_phy_type, kPhyTypes), U(support11v),
    FL(bw_ht, kBandwidth), FL(bw_vht, kBandwidth), FL(bw_he, kBandwidth), FL(bw_eht, kBandwidth),
    FL(short_gi, kCliShortGi), BYTES(ht_mcs_set), BYTES(vht_mcs_nss), BYTES(he_mcs_80), BYTES(he_mcs_160),
    BYTES(he_mcs_80p80), BYTES(eht_mcs_20only), BYTES(eht_mcs_80), BYTES(eht_mcs_160), BYTES(eht_mcs_320),
    U(max_mcs), U(max_legacy_rate), U(he_6ghz), FL(ht_cap, kCliHtCap), BLK(vht), BLK(he), U(frame_len),
    BYTESL(frame, frame_len),
END

// ------------------------------------------------------------------ metrics family (in the sender only)

DESC(ApMetricsRadio) MAC(ruid), U(noise), U(transmit), U(receive_self), U(receive_other), END
DESC(ApMetricsStaTraffic)
    U(bytes_sent), U(bytes_received), U(packets_sent), U(packets_received), U(tx_packets_errors),
    U(rx_packets_errors), U(retrans_count),
END
DESC(ApMetricsTid) U(tid), U(queue_size), END
DESC(ApMetricsSta)
    RSV(reserved), MAC(mac), U(est_rate_ul), U(est_rate_dl), U(rcpi_ul), MAC(bssid), BLK(traffic), U(tid_num),
    BLKC(tid, tid_num), U(last_dl_rate), U(last_ul_rate), U(util_rx), U(util_tx),
END
DESC(ApMetricsBss)
    MAC(bssid), U(ch_util), U(sta_num), BLKC(sta, sta_num), U(uc_bytes_sent), U(uc_bytes_received),
    U(mc_bytes_sent), U(mc_bytes_received), U(bc_bytes_sent), U(bc_bytes_received), FL(esp_include, kEspInclude),
    esp<decltype(S::esp)>("esp_be", offsetof(S, esp), LUSL_AC_BE),
    esp<decltype(S::esp)>("esp_bk", offsetof(S, esp), LUSL_AC_BK),
    esp<decltype(S::esp)>("esp_vo", offsetof(S, esp), LUSL_AC_VO),
    esp<decltype(S::esp)>("esp_vi", offsetof(S, esp), LUSL_AC_VI),
END
DESC(ApMetricsResp) HDR(), U(bss_num), U(radio_num), BLKC(radio, radio_num), BLKC(bss, bss_num), END

// ------------------------------------------------------------------ scan family (in the sender only)

DESC(ChScanNbrBss)
    RSV(reserved0), U(next), MAC(bssid), TEXTL(ssid, ssid_len), U(ssid_len), U(signal_strength), TEXTL(ch_bw, ch_bw_len),
    U(ch_bw_len), FL(bss_load_present, kBssLoad), U(ch_util), RSV(reserved85), U(sta_count),
END
DESC(ChScanChannel)
    U(op_class), U(channel), U(scan_status), U(ch_util), U(noise), RSV(reserved5), U(nbr_num), TEXT(timestamp),
    RSV(reserved73), U(nbr_head),
END
DESC(ChScanRadio)
    FL(scan_type, kActiveScan), MAC(ruid), TEXT(timestamp), U(ch_num), RSV(reserved73), U(scan_duration),
    BLKC(ch, ch_num),
END
DESC(ChScanRpt) HDR(), U(radio_num), BLKC(radio, radio_num), END

#undef DESC
#undef END
#undef HDR
#undef U
#undef UC
#undef FL
#undef ULE
#undef UBE
#undef MAC
#undef OUI
#undef TEXT
#undef TEXTL
#undef BYTES
#undef BYTESL
#undef BLK
#undef BLKC
#undef BLKZ
#undef RSV

// ------------------------------------------------------------------ compact forms

constexpr Field s_type() { return {"type", Kind::Type, kSequential, 2, 1}; }
constexpr Field s_uint(const char* n, uint32_t w) { return {n, Kind::Uint, kSequential, w, 1}; }
constexpr Field s_flags(const char* n, std::span<const Bit> bits) { return {n, Kind::Flags, kSequential, 1, 1, Shown::Room, nullptr, nullptr, bits}; }
constexpr Field s_mac(const char* n) { return {n, Kind::Mac, kSequential, 6, 1}; }
constexpr Field s_bytes(const char* n, uint32_t size) { return {n, Kind::Bytes, kSequential, 1, size}; }
// A zero-padded string in a fixed room.
constexpr Field s_text(const char* n, uint32_t room) { return {n, Kind::Text, kSequential, 1, room}; }
// A string of as many bytes as its length field says, at most max.
constexpr Field s_textl(const char* n, const char* len, uint32_t max)
{
    return {n, Kind::Text, kSequential, 1, max, Shown::Count, len};
}
constexpr Field s_blocks(const char* n, const Block& b, const char* cnt, uint32_t max)
{
    return {n, Kind::Block, kSequential, 0, max, Shown::Count, cnt, &b};
}

// Compact AP Metrics Response: the filled part of the record, blocks without gaps.
constexpr Field kApmTid[] = {s_uint("tid", 1), s_uint("queue_size", 1)};
constexpr Block kApmTidBlock{"ApMetricsCompactTid", 0, kApmTid};
constexpr Field kApmSta[] = {
    s_mac("mac"), s_uint("est_rate_ul", 4), s_uint("est_rate_dl", 4), s_uint("rcpi_ul", 1), s_mac("bssid"),
    s_uint("bytes_sent", 4), s_uint("bytes_received", 4), s_uint("packets_sent", 4), s_uint("packets_received", 4),
    s_uint("tx_packets_errors", 4), s_uint("rx_packets_errors", 4), s_uint("retrans_count", 4), s_uint("tid_num", 1),
    s_blocks("tid", kApmTidBlock, "tid_num", LUSL_MAX_TID_PER_STA), s_uint("last_dl_rate", 4),
    s_uint("last_ul_rate", 4), s_uint("util_rx", 4), s_uint("util_tx", 4)};
constexpr Block kApmStaBlock{"ApMetricsCompactSta", 0, kApmSta};
constexpr Field kApmBss[] = {
    s_mac("bssid"), s_uint("ch_util", 1), s_uint("uc_bytes_sent", 4), s_uint("uc_bytes_received", 4),
    s_uint("mc_bytes_sent", 4), s_uint("mc_bytes_received", 4), s_uint("bc_bytes_sent", 4),
    s_uint("bc_bytes_received", 4), s_bytes("esp_be", 3), s_bytes("esp_bk", 3), s_bytes("esp_vo", 3),
    s_bytes("esp_vi", 3), s_uint("sta_num", 2), s_blocks("sta", kApmStaBlock, "sta_num", MAX_STA_PER_BSS)};
constexpr Block kApmBssBlock{"ApMetricsCompactBss", 0, kApmBss};
constexpr Field kApmRadio[] = {s_mac("ruid"), s_uint("noise", 1), s_uint("transmit", 1), s_uint("receive_self", 1),
                               s_uint("receive_other", 1)};
constexpr Block kApmRadioBlock{"ApMetricsCompactRadio", 0, kApmRadio};
constexpr Field kApm[] = {s_type(), s_uint("bss_num", 1), s_uint("radio_num", 1),
                          s_blocks("radio", kApmRadioBlock, "radio_num", MAX_RADIO_PER_DEVICE),
                          s_blocks("bss", kApmBssBlock, "bss_num", MAX_BSS_PER_DEVICE)};
constexpr Block kApMetricsCompact{"ApMetricsCompact", 0, kApm};

// Compact Channel Scan Report: radios in use, their channels in use, each channel's neighbours.
constexpr uint32_t kScanStrMax = 33; // longest SSID and bandwidth string a neighbour keeps
constexpr Field kCsNbr[] = {s_mac("bssid"), s_uint("ssid_len", 1), s_textl("ssid", "ssid_len", kScanStrMax),
                            s_uint("signal_strength", 1), s_uint("ch_bw_len", 1),
                            s_textl("ch_bw", "ch_bw_len", kScanStrMax), s_flags("bss_load_present", kBssLoad),
                            s_uint("ch_util", 1), s_uint("sta_count", 2)};
constexpr Block kCsNbrBlock{"ChScanCompactNbr", 0, kCsNbr};
constexpr Field kCsChannel[] = {s_uint("op_class", 1), s_uint("channel", 1), s_uint("scan_status", 1),
                                s_text("timestamp", 65), s_uint("ch_util", 1), s_uint("noise", 1),
                                s_uint("nbr_num", 2), s_blocks("nbr", kCsNbrBlock, "nbr_num", 0xFFFF)};
constexpr Block kCsChannelBlock{"ChScanCompactChannel", 0, kCsChannel};
constexpr Field kCsRadio[] = {s_mac("ruid"), s_text("timestamp", 65), s_uint("scan_duration", 4),
                              s_flags("scan_type", kActiveScan), s_uint("ch_num", 1),
                              s_blocks("ch", kCsChannelBlock, "ch_num", MAX_CHANNEL_NUM_PER_OPCLASS)};
constexpr Block kCsRadioBlock{"ChScanCompactRadio", 0, kCsRadio};
constexpr Field kCs[] = {s_type(), s_uint("radio_num", 1),
                         s_blocks("radio", kCsRadioBlock, "radio_num", MAX_RADIO_PER_DEVICE)};
constexpr Block kChScanCompact{"ChScanCompact", 0, kCs};

// The compact form of each compact release kind.
template <lusl::Release R>
inline constexpr const Block* compact_form = nullptr;
template <>
inline constexpr const Block* compact_form<lusl::Release::ApMetrics> = &kApMetricsCompact;
template <>
inline constexpr const Block* compact_form<lusl::Release::ChScan> = &kChScanCompact;

// ------------------------------------------------------------------ the messages, from the catalogue rows

template <class Slot>
using RecordOf = std::remove_pointer_t<Slot>;

#define TOOL_PARSED(id, name, slot, rel)                                                                           \
    Message{LUSL_MSG_##id,                                                                                         \
            name,                                                                                                  \
            sizeof(RecordOf<decltype(slot)>),                                                                      \
            lusl::Release::rel == lusl::Release::Plain ? LUSL_LEN_##id : 0,                                        \
            lusl::Release::rel == lusl::Release::Plain ? Form::Record : Form::Compact,                             \
            &block_of<RecordOf<decltype(slot)>>,                                                                   \
            lusl::Release::rel == lusl::Release::Plain ? &block_of<RecordOf<decltype(slot)>>                       \
                                                       : compact_form<lusl::Release::rel>},
#define TOOL_CHANNEL(id, name) Message{LUSL_MSG_##id, name, 0, LUSL_LEN_##id, Form::Opaque, nullptr, nullptr},

constexpr Message kMessages[] = {LUSL_CATALOGUE_ROWS(TOOL_PARSED, TOOL_CHANNEL)};
#undef TOOL_PARSED
#undef TOOL_CHANNEL

static_assert(std::size(kMessages) == 25);

// Blocks of a record that hang off it rather than sit in it: the scan report's neighbour
// nodes, linked from its channel entries.
constexpr const Block* kDetached[] = {&block_of<ChScanNbrBss>};

void collect(const Block* b, std::vector<const Block*>& out)
{
    for (const Block* seen : out)
        if (seen == b) return;
    for (const Field& f : b->fields)
        if (f.sub) collect(f.sub, out);
    out.push_back(b);
}

} // namespace

std::span<const Message> messages() { return kMessages; }

const Message* find(uint16_t code)
{
    for (const Message& m : kMessages)
        if (m.code == code) return &m;
    return nullptr;
}

const char* display_name(uint16_t code)
{
    const Message* m = find(code);
    return m && m->name ? m->name : "Unknow Msg";
}

size_t received_length(uint16_t code, size_t wire_len)
{
    const Message* m = find(code);
    if (!m || wire_len == 0) return 0;
    return m->form == Form::Compact ? wire_len : m->channel_len;
}

std::span<const Block* const> blocks()
{
    static const std::vector<const Block*> all = [] {
        std::vector<const Block*> v;
        for (const Message& m : kMessages) {
            if (m.record) collect(m.record, v);
            if (m.datagram) collect(m.datagram, v);
        }
        for (const Block* b : kDetached) collect(b, v);
        return v;
    }();
    return all;
}

const char* kind_name(Kind k)
{
    switch (k) {
    case Kind::Type: return "type";
    case Kind::Uint: return "uint";
    case Kind::UintBE: return "uint_be";
    case Kind::Mac: return "mac";
    case Kind::Oui: return "oui";
    case Kind::Text: return "text";
    case Kind::Bytes: return "bytes";
    case Kind::Flags: return "flags";
    case Kind::Block: return "block";
    case Kind::Reserved: return "reserved";
    }
    return "?";
}

const char* shown_name(Shown s)
{
    switch (s) {
    case Shown::Room: return "room";
    case Shown::Count: return "count";
    case Shown::NonZero: return "non_zero";
    }
    return "?";
}

} // namespace lusl::tool::layout
