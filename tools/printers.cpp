// SPDX-License-Identifier: BSD-2-Clause
#include "printers.h"

#include <luSL/luSL.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>

#include "capture.h"

namespace lusl::tool {

// ------------------------------------------------------------------ types

namespace {

constexpr size_t kCompactLen = 0;

constexpr TypeInfo kTypes[] = {
    {0x0001, "Topology Notification", true, false, sizeof(TopologyNotification)},
    {0x0003, "Topology Response", true, false, sizeof(TopologyResp)},
    {0x0006, "Link Metric Response", true, false, sizeof(LinkMetricsResp)},
    {0x0009, "AP Autoconfiguration WSC", true, false, sizeof(ApAutoConfWSC)},
    {0x0040, "Station Assoc Request", false, false, 4096},
    {0x0044, "Station Probe Request", false, false, 4096},
    {0x004D, "Action Frame", false, false, 142},
    {0x8002, "Ap Capability Report", true, false, sizeof(ApCapRpt)},
    {0x8005, "Channel Preference Report", true, false, sizeof(ChannelPreferenceRpt)},
    {0x8008, "Operating Channel Report", true, false, sizeof(OperatingChanRpt)},
    {0x800A, "Client Capability Report", true, false, sizeof(CliCapRpt)},
    {0x800C, "Ap Metrics Response", true, true, kCompactLen},
    {0x800E, "Associated Sta Link Metric Response", true, false, sizeof(AssocStaMetricsResp)},
    {0x8010, "Unassociated Sta Link Metric Response", true, false, sizeof(UnAssocStaMetricsResp)},
    {0x8015, "Client Steering BTM Report", true, false, sizeof(ClientSteeringBTMRpt)},
    {0x801A, "Backhaul Steering Response", true, false, sizeof(BHSteeringResp)},
    {0x801C, "Channel Scan Report", true, true, kCompactLen},
    {0x8022, "Client Disassociation Stats", true, false, sizeof(ClientDisassocStat)},
    {0x8025, "Association Status Notification", true, false, sizeof(AssocStatusNotification)},
    {0x802C, "BSS Configuration Request", true, false, sizeof(BssConfigReq)},
    {0x8033, "Failed Connection", true, false, sizeof(FailedConn)},
    {0xDEB6, "Lumeno Steering Logic CLI", false, false, 479},
    {0xDEB7, "Lumeno Steering Logic Data", false, false, 32762},
    {0xDEB8, "Unknow Msg", false, false, 32762},
    {0xDEBA, "Unknow Msg", false, false, 4},
};

// IEEE 1905.1 and EasyMesh messages that travel beside the parsed ones, for summaries.
struct OtherName {
    uint16_t code;
    const char* name;
};
constexpr OtherName kOtherNames[] = {
    {0x0000, "Topology Discovery"},
    {0x0002, "Topology Query"},
    {0x0004, "Vendor Specific"},
    {0x0005, "Link Metric Query"},
    {0x0007, "AP Autoconfiguration Search"},
    {0x0008, "AP Autoconfiguration Response"},
    {0x000A, "AP Autoconfiguration Renew"},
    {0x8000, "1905 Ack"},
    {0x8001, "AP Capability Query"},
    {0x8003, "Multi-AP Policy Config Request"},
    {0x8004, "Channel Preference Query"},
    {0x8006, "Channel Selection Request"},
    {0x8007, "Channel Selection Response"},
    {0x8009, "Client Capability Query"},
    {0x800B, "AP Metrics Query"},
    {0x800D, "Associated STA Link Metrics Query"},
    {0x800F, "Unassociated STA Link Metrics Query"},
    {0x8014, "Client Steering Request"},
    {0x8016, "Client Association Control Request"},
    {0x8017, "Steering Completed"},
    {0x8019, "Backhaul Steering Request"},
    {0x801B, "Channel Scan Request"},
};

} // namespace

const TypeInfo* find_type(uint16_t code)
{
    for (const TypeInfo& t : kTypes)
        if (t.code == code) return &t;
    return nullptr;
}

std::string type_name(uint16_t code)
{
    if (const TypeInfo* t = find_type(code)) return t->name;
    for (const OtherName& o : kOtherNames)
        if (o.code == code) return o.name;
    return "Unknown";
}

bool is_parsed(uint16_t code)
{
    const TypeInfo* t = find_type(code);
    return t && t->parsed;
}

size_t received_length(uint16_t type, size_t wire_len)
{
    const TypeInfo* t = find_type(type);
    if (!t || wire_len == 0) return 0;
    return t->compact ? wire_len : t->channel_len;
}

// ------------------------------------------------------------------ value helpers

std::string hex(const uint8_t* p, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

namespace {

std::string type_code(uint16_t code)
{
    char s[8];
    std::snprintf(s, sizeof s, "0x%04X", code);
    return s;
}

Json mac(const uint8_t* m) { return mac_str(m); }

bool all_zero(const void* p, size_t n)
{
    auto* b = static_cast<const uint8_t*>(p);
    return std::all_of(b, b + n, [](uint8_t v) { return v == 0; });
}

// Text fields: printable ASCII as is, anything else as \xNN, so both outputs show the same.
std::string text(const uint8_t* p, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] >= 0x20 && p[i] < 0x7F && p[i] != '\\') {
            s += static_cast<char>(p[i]);
        } else {
            char e[5];
            std::snprintf(e, sizeof e, "\\x%02x", p[i]);
            s += e;
        }
    }
    return s;
}

// A zero-terminated text field of at most n bytes.
std::string cstr(const uint8_t* p, size_t n) { return text(p, strnlen(reinterpret_cast<const char*>(p), n)); }

// Colon-separated bytes, for OUIs and similar short identifiers.
std::string octets(const uint8_t* p, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        char b[4];
        std::snprintf(b, sizeof b, i ? ":%02x" : "%02x", p[i]);
        s += b;
    }
    return s;
}

// Packed fields cannot bind to references; numbers are taken by value.
template <class T>
constexpr T num(T v)
{
    return v;
}

// Entries to show: the stored count, bounded by the room the record has.
size_t shown(size_t count, size_t room) { return std::min(count, room); }

// A private, zero-padded copy of a record: the received bytes may be fewer than the layout.
template <class T>
std::unique_ptr<T> view(const uint8_t* rec, size_t len)
{
    auto r = std::make_unique<T>();
    std::memset(static_cast<void*>(r.get()), 0, sizeof(T));
    std::memcpy(static_cast<void*>(r.get()), rec, std::min(len, sizeof(T)));
    return r;
}

using Printer = Json (*)(const uint8_t* rec, size_t len);

// ---- station events

Json topology_notification(const uint8_t* rec, size_t len)
{
    auto r = view<TopologyNotification>(rec, len);
    return {{"client_mac", mac(r->client_mac)}, {"bssid", mac(r->bssid)}, {"assoc_event", r->assoc_event}};
}

Json client_disassoc_stat(const uint8_t* rec, size_t len)
{
    auto r = view<ClientDisassocStat>(rec, len);
    return {{"reason_code", num(r->reason_code)}, {"sta_mac", mac(r->sta_mac)}};
}

Json failed_conn(const uint8_t* rec, size_t len)
{
    auto r = view<FailedConn>(rec, len);
    return {{"reason_code", num(r->reason_code)},
            {"status_code", num(r->status_code)},
            {"bssid", mac(r->bssid)},
            {"sta_mac", mac(r->sta_mac)}};
}

Json assoc_status_notification(const uint8_t* rec, size_t len)
{
    auto r = view<AssocStatusNotification>(rec, len);
    Json bss = Json::array();
    for (size_t i = 0; i < shown(r->bss_num, MAX_BSS_PER_DEVICE); ++i)
        bss.push_back({{"bssid", mac(r->bss[i].bssid)}, {"allowance", r->bss[i].allowance}});
    return {{"bss_num", r->bss_num}, {"bss", bss}};
}

// A list of byte-sized numbers (channel lists).
Json numbers(const uint8_t* p, size_t n) { return Json(std::vector<unsigned>(p, p + n)); }

// 16-bit codes (media types) read better in hex.
std::string code16(unsigned v)
{
    char s[8];
    std::snprintf(s, sizeof s, "0x%04X", v & 0xFFFF);
    return s;
}

// ---- topology family

Json topology_resp(const uint8_t* rec, size_t len)
{
    auto r = view<TopologyResp>(rec, len);
    Json radios = Json::array();
    for (size_t i = 0; i < shown(r->radio_num, MAX_RADIO_PER_DEVICE); ++i) {
        const TopologyRespRadio& rd = r->radio[i];
        Json bss = Json::array();
        for (size_t b = 0; b < shown(rd.bss_num, TOPO_MAX_BSS_PER_RADIO); ++b) {
            const TopologyRespBss& e = rd.bss[b];
            bss.push_back({{"bssid", mac(e.bssid)},
                           {"marker", e.marker},
                           {"ssid_len", e.ssid_len},
                           {"ssid", text(e.ssid, shown(e.ssid_len, TOPO_MAX_SSID_LEN))},
                           {"mdid", code16(num(e.mdid))},
                           {"mdid_flag", e.mdid_flag},
                           {"config_reported", e.config_reported},
                           {"config_flags", e.config_flags}});
        }
        radios.push_back({{"ruid", mac(rd.ruid)}, {"bss_num", rd.bss_num}, {"bss", bss}});
    }
    return {{"al_mac", mac(r->al_mac)},
            {"radio_num", r->radio_num},
            {"vendor_oui", octets(r->vendor_oui, 3)},
            {"media_type", code16(unsigned(r->media_type[0]) << 8 | r->media_type[1])},
            {"radio", radios}};
}

Json link_metrics_resp(const uint8_t* rec, size_t len)
{
    auto r = view<LinkMetricsResp>(rec, len);
    Json neighbours = Json::array();
    for (const LinkMetricNeighbor& n : r->neighbor) {
        if (all_zero(n.al_mac, 6)) continue; // a free slot
        Json links = Json::array();
        for (const LinkMetricEntry& l : n.link) {
            if (all_zero(&l, sizeof l)) continue;
            links.push_back({{"local_intf", mac(l.local_intf)},
                             {"neighbor_intf", mac(l.neighbor_intf)},
                             {"media_type", code16(num(l.media_type))},
                             {"tx_packet_errors", num(l.tx_packet_errors)},
                             {"tx_packets", num(l.tx_packets)},
                             {"rx_packet_errors", num(l.rx_packet_errors)},
                             {"rx_packets", num(l.rx_packets)},
                             {"mac_throughput_cap", num(l.mac_throughput_cap)},
                             {"phy_rate", num(l.phy_rate)}});
        }
        neighbours.push_back({{"al_mac", mac(n.al_mac)}, {"link", links}});
    }
    return {{"al_mac", mac(r->al_mac)}, {"neighbor", neighbours}};
}

Json steering_btm_rpt(const uint8_t* rec, size_t len)
{
    auto r = view<ClientSteeringBTMRpt>(rec, len);
    return {{"bssid", mac(r->bssid)},
            {"sta_mac", mac(r->sta_mac)},
            {"status_code", r->status_code},
            {"target_bssid", mac(r->target_bssid)}};
}

Json bh_steering_resp(const uint8_t* rec, size_t len)
{
    auto r = view<BHSteeringResp>(rec, len);
    return {{"sta_mac", mac(r->sta_mac)}, {"target_bssid", mac(r->target_bssid)}, {"result", r->result}};
}

Json akm_list(const AkmSuiteSelector* a, size_t n)
{
    Json out = Json::array();
    for (size_t i = 0; i < n; ++i) out.push_back({{"oui", octets(a[i].oui, 3)}, {"type", a[i].type}});
    return out;
}

Json bss_config_req(const uint8_t* rec, size_t len)
{
    auto r = view<BssConfigReq>(rec, len);
    Json radios = Json::array();
    for (size_t i = 0; i < shown(r->radio_num, MAX_RADIO_PER_DEVICE); ++i)
        radios.push_back({{"ruid", mac(r->radio[i].ruid)}});
    return {{"radio_num", r->radio_num},
            {"radio", radios},
            {"fh_akm_num", r->fh_akm_num},
            {"fh_akm", akm_list(r->fh_akm, shown(r->fh_akm_num, BSS_CONFIG_MAX_AKM))},
            {"bh_akm_num", r->bh_akm_num},
            {"bh_akm", akm_list(r->bh_akm, shown(r->bh_akm_num, BSS_CONFIG_MAX_AKM))}};
}

Json ap_autoconf_wsc(const uint8_t* rec, size_t len)
{
    auto r = view<ApAutoConfWSC>(rec, len);
    return {{"device_mac", mac(r->device_mac)},
            {"wsc_msg_type", r->wsc_msg_type},
            {"manufacturer", cstr(r->manufacturer, WSC_TEXT_LEN)},
            {"model_name", cstr(r->model_name, WSC_TEXT_LEN)},
            {"serial_number", cstr(r->serial_number, WSC_TEXT_LEN)},
            {"ruid", mac(r->ruid)},
            {"radio_adv_caps", r->radio_adv_caps}};
}

// ---- channel family

Json channel_preference_rpt(const uint8_t* rec, size_t len)
{
    auto r = view<ChannelPreferenceRpt>(rec, len);
    Json radios = Json::array();
    for (size_t i = 0; i < shown(r->radio_num, MAX_RADIO_PER_DEVICE); ++i) {
        const ChPrefRadio& rd = r->radio[i];
        Json ops = Json::array();
        for (size_t c = 0; c < shown(rd.op_class_num, CHPREF_MAX_OPCLASS); ++c) {
            const ChPrefOpClass& o = rd.op_class[c];
            ops.push_back({{"op_class", o.op_class},
                           {"channel_num", o.channel_num},
                           {"channel", numbers(o.channel, shown(o.channel_num, MAX_CHANNEL_NUM_PER_OPCLASS))},
                           {"preference", o.pref_reason & 0x0F},
                           {"reason", o.pref_reason >> 4}});
        }
        radios.push_back({{"ruid", mac(rd.ruid)}, {"op_class_num", rd.op_class_num}, {"op_class", ops}});
    }
    Json j = {{"device_mac", mac(r->device_mac)}, {"radio_num", r->radio_num}, {"radio", radios},
              {"cac_present", r->cac_present}};
    if (r->cac_present) {
        Json avail = Json::array(), nonocc = Json::array(), active = Json::array();
        for (size_t i = 0; i < shown(r->available_num, CAC_MAX_AVAILABLE); ++i)
            avail.push_back({{"op_class", r->available[i].op_class},
                             {"channel", r->available[i].channel},
                             {"minutes", num(r->available[i].minutes)}});
        for (size_t i = 0; i < shown(r->non_occupancy_num, CAC_MAX_NON_OCCUPANCY); ++i)
            nonocc.push_back({{"op_class", r->non_occupancy[i].op_class},
                              {"channel", r->non_occupancy[i].channel},
                              {"seconds", num(r->non_occupancy[i].seconds)}});
        for (size_t i = 0; i < shown(r->active_num, CAC_MAX_ACTIVE); ++i)
            active.push_back({{"op_class", r->active[i].op_class},
                              {"channel", r->active[i].channel},
                              {"countdown", num(r->active[i].countdown)}});
        j["available_num"] = r->available_num;
        j["available"] = avail;
        j["non_occupancy_num"] = r->non_occupancy_num;
        j["non_occupancy"] = nonocc;
        j["active_num"] = r->active_num;
        j["active"] = active;
    }
    return j;
}

Json operating_chan_rpt(const uint8_t* rec, size_t len)
{
    auto r = view<OperatingChanRpt>(rec, len);
    Json radios = Json::array();
    for (size_t i = 0; i < shown(r->radio_num, MAX_RADIO_PER_DEVICE); ++i) {
        const OperChanRadio& rd = r->radio[i];
        Json pairs = Json::array();
        for (size_t p = 0; p < shown(rd.op_class_num, OPERCHAN_MAX_OPCLASS); ++p)
            pairs.push_back({{"op_class", rd.pair[p].op_class}, {"channel", rd.pair[p].channel}});
        radios.push_back(
            {{"ruid", mac(rd.ruid)}, {"op_class_num", rd.op_class_num}, {"pair", pairs}, {"tx_power", rd.tx_power}});
    }
    return {{"device_mac", mac(r->device_mac)}, {"radio_num", r->radio_num}, {"radio", radios}};
}

Json assoc_sta_metrics_resp(const uint8_t* rec, size_t len)
{
    auto r = view<AssocStaMetricsResp>(rec, len);
    return {{"sta_mac", mac(r->sta_mac)},
            {"uplink_rate", num(r->uplink_rate)},
            {"downlink_rate", num(r->downlink_rate)},
            {"uplink_rcpi", r->uplink_rcpi},
            {"bssid", mac(r->bssid)}};
}

Json unassoc_sta_metrics_resp(const uint8_t* rec, size_t len)
{
    auto r = view<UnAssocStaMetricsResp>(rec, len);
    Json sta = Json::array();
    for (const UnAssocStaEntry& e : r->sta) {
        if (all_zero(e.sta_mac, 6)) continue; // entries after the last station stay zero
        sta.push_back({{"sta_mac", mac(e.sta_mac)}, {"channel", e.channel}, {"uplink_rcpi", e.uplink_rcpi}});
    }
    return {{"device_mac", mac(r->device_mac)}, {"op_class", r->op_class}, {"sta", sta}};
}

// ---- capability family

Json chan_lists(const ApCapChanList* l, size_t n)
{
    Json out = Json::array();
    for (size_t i = 0; i < n; ++i)
        out.push_back({{"opclass", l[i].opclass},
                       {"ch_num", l[i].ch_num},
                       {"ch", numbers(l[i].ch, shown(l[i].ch_num, MAX_CHANNEL_NUM_PER_OPCLASS))}});
    return out;
}

Json wifi6_role(const ApCapWifi6Role& w)
{
    return {{"role", w.role},
            {"mcs_nss", hex(w.mcs_nss, shown(w.role >> 4, sizeof w.mcs_nss))},
            {"bf_flags", w.bf_flags},
            {"mu_mimo", w.mu_mimo},
            {"dl_ofdma_tx", w.dl_ofdma_tx},
            {"ul_ofdma_rx", w.ul_ofdma_rx},
            {"rts_flags", w.rts_flags}};
}

Json ap_cap_radio(const ApCapRadio& rd)
{
    Json ops = Json::array();
    for (size_t k = 0; k < shown(rd.opclass_num, APCAP_MAX_OPCLASS); ++k) {
        const ApCapOpClass& o = rd.opclass[k];
        ops.push_back({{"opclass", o.opclass},
                       {"max_txpower", o.max_txpower},
                       {"non_op_ch_num", o.non_op_ch_num},
                       {"non_op_ch", numbers(o.non_op_ch, shown(o.non_op_ch_num, MAX_CHANNEL_NUM_PER_OPCLASS))}});
    }
    Json cac = Json::array();
    for (size_t t = 0; t < shown(rd.cac_type_num, APCAP_MAX_CAC_TYPE); ++t) {
        const ApCapCacType& c = rd.cac_type[t];
        cac.push_back({{"method", c.method},
                       {"duration", num(c.duration)},
                       {"opclass_num", c.opclass_num},
                       {"opclass", chan_lists(c.opclass, shown(c.opclass_num, APCAP_MAX_CAC_OPCLASS))}});
    }
    Json roles = Json::array();
    for (size_t i = 0; i < shown(rd.wifi6_role_num, APCAP_MAX_WIFI6_ROLE); ++i) roles.push_back(wifi6_role(rd.wifi6_role[i]));
    return {{"ruid", mac(rd.ruid)},
            {"sup_bw", num(rd.sup_bw)},
            {"short_gi", rd.short_gi},
            {"tx_nss", rd.tx_nss},
            {"rx_nss", rd.rx_nss},
            {"phy_types", rd.phy_types},
            {"max_mcs", rd.max_mcs},
            {"max_bss", rd.max_bss},
            {"opclass_num", rd.opclass_num},
            {"opclass", ops},
            {"scan_on_boot_only", rd.scan_on_boot_only},
            {"scan_impact", rd.scan_impact},
            {"min_scan_interval", num(rd.min_scan_interval)},
            {"scan_opclass_num", rd.scan_opclass_num},
            {"scan_opclass", chan_lists(rd.scan_opclass, shown(rd.scan_opclass_num, APCAP_MAX_OPCLASS))},
            {"cac_type_num", rd.cac_type_num},
            {"cac_type", cac},
            {"wifi6_role_num", rd.wifi6_role_num},
            {"wifi6_role", roles},
            {"ht_cap", rd.ht_cap},
            {"vht_cap", hex(rd.vht_cap, sizeof rd.vht_cap)},
            {"chipset_vendor", cstr(rd.chipset_vendor, APCAP_MAX_STR_LEN)},
            {"he_cap_flags", rd.he_cap_flags}};
}

Json ap_cap_rpt(const uint8_t* rec, size_t len)
{
    auto r = view<ApCapRpt>(rec, len);
    Json radios = Json::array();
    for (size_t i = 0; i < shown(r->radio_num, MAX_RADIO_PER_DEVICE); ++i) radios.push_back(ap_cap_radio(r->radio[i]));
    return {{"device_mac", mac(r->device_mac)},
            {"radio_num", r->radio_num},
            {"ap_capability", r->ap_capability},
            {"radio", radios},
            {"country_code", text(r->country_code, 2)},
            {"metric_collection_interval", num(r->metric_collection_interval)},
            {"sec_cap_present", r->sec_cap_present},
            {"sec_onboarding_protocol", r->sec_onboarding_protocol},
            {"sec_mic_algorithm", r->sec_mic_algorithm},
            {"sec_encryption_algorithm", r->sec_encryption_algorithm},
            {"p2_max_prio_rules", r->p2_max_prio_rules},
            {"p2_byte_counter_units", r->p2_byte_counter_units},
            {"p2_prioritization", r->p2_prioritization},
            {"p2_dpp_onboarding", r->p2_dpp_onboarding},
            {"p2_traffic_separation", r->p2_traffic_separation},
            {"p2_max_vids", r->p2_max_vids},
            {"sw_version", cstr(r->sw_version, APCAP_MAX_STR_LEN)},
            {"exec_env", cstr(r->exec_env, APCAP_MAX_STR_LEN)}};
}

Json cli_cap_rpt(const uint8_t* rec, size_t len)
{
    auto r = view<CliCapRpt>(rec, len);
    const CliCapHeSummary& he = r->he;
    return {{"bssid", mac(r->bssid)},
            {"sta_mac", mac(r->sta_mac)},
            {"phy_types", r->phy_types},
            {"cur_phy_type", r->cur_phy_type},
            {"support11v", r->support11v},
            {"bw_ht", r->bw_ht},
            {"bw_vht", r->bw_vht},
            {"bw_he", r->bw_he},
            {"bw_eht", num(r->bw_eht)},
            {"short_gi", r->short_gi},
            {"ht_mcs_set", hex(r->ht_mcs_set, sizeof r->ht_mcs_set)},
            {"vht_mcs_nss", hex(r->vht_mcs_nss, sizeof r->vht_mcs_nss)},
            {"he_mcs_80", hex(r->he_mcs_80, sizeof r->he_mcs_80)},
            {"he_mcs_160", hex(r->he_mcs_160, sizeof r->he_mcs_160)},
            {"he_mcs_80p80", hex(r->he_mcs_80p80, sizeof r->he_mcs_80p80)},
            {"eht_mcs_20only", hex(r->eht_mcs_20only, sizeof r->eht_mcs_20only)},
            {"eht_mcs_80", hex(r->eht_mcs_80, sizeof r->eht_mcs_80)},
            {"eht_mcs_160", hex(r->eht_mcs_160, sizeof r->eht_mcs_160)},
            {"eht_mcs_320", hex(r->eht_mcs_320, sizeof r->eht_mcs_320)},
            {"max_mcs", r->max_mcs},
            {"max_legacy_rate", r->max_legacy_rate},
            {"he_6ghz", r->he_6ghz},
            {"ht_cap", r->ht_cap},
            {"vht",
             {{"tx_mcs_map", hex(r->vht.tx_mcs_map, 2)},
              {"rx_mcs_map", hex(r->vht.rx_mcs_map, 2)},
              {"short_gi", r->vht.short_gi},
              {"flags", r->vht.flags}}},
            {"he",
             {{"role", he.role},
              {"mcs_nss", hex(he.mcs_nss, sizeof he.mcs_nss)},
              {"bf_flags", he.bf_flags},
              {"mu_mimo_users", he.mu_mimo_users},
              {"dl_ofdma_tx", he.dl_ofdma_tx},
              {"ul_ofdma_rx", he.ul_ofdma_rx},
              {"rts_twt_flags", he.rts_twt_flags}}},
            {"frame_len", num(r->frame_len)},
            {"frame", hex(r->frame, shown(num(r->frame_len), CLI_CAP_FRAME_MAX))}};
}

// ---- compact forms, through the library's own decoders

Json ap_metrics_compact(const uint8_t* rec, size_t len)
{
    auto v = std::make_unique<luSL_ApMetricsView>();
    if (luSL_ApMetricsResp_decode(rec, len, v.get()) != 0)
        return {{"error", "compact form does not decode"}, {"hex", hex(rec, len)}};
    Json radios = Json::array();
    for (size_t i = 0; i < v->radio_num; ++i) {
        const luSL_ApMetricsRadioView& r = v->radio[i];
        radios.push_back({{"ruid", mac(r.ruid)},
                          {"noise", r.noise},
                          {"transmit", r.transmit},
                          {"receive_self", r.receive_self},
                          {"receive_other", r.receive_other}});
    }
    Json bsses = Json::array();
    for (size_t b = 0; b < v->bss_num; ++b) {
        const luSL_ApMetricsBssView& bss = v->bss[b];
        Json stas = Json::array();
        for (size_t s = 0; s < bss.sta_num; ++s) {
            const luSL_ApMetricsStaView& st = bss.sta[s];
            Json tids = Json::array();
            for (size_t t = 0; t < shown(st.tid_num, LUSL_MAX_TID_PER_STA); ++t)
                tids.push_back({{"tid", st.tid[t].tid}, {"queue_size", st.tid[t].queue_size}});
            stas.push_back({{"mac", mac(st.mac)},
                            {"bssid", mac(st.bssid)},
                            {"est_rate_ul", st.est_rate_ul},
                            {"est_rate_dl", st.est_rate_dl},
                            {"rcpi_ul", st.rcpi_ul},
                            {"bytes_sent", st.bytes_sent},
                            {"bytes_received", st.bytes_received},
                            {"packets_sent", st.packets_sent},
                            {"packets_received", st.packets_received},
                            {"tx_packets_errors", st.tx_packets_errors},
                            {"rx_packets_errors", st.rx_packets_errors},
                            {"retrans_count", st.retrans_count},
                            {"tid_num", st.tid_num},
                            {"tid", tids},
                            {"last_dl_rate", st.last_dl_rate},
                            {"last_ul_rate", st.last_ul_rate},
                            {"util_rx", st.util_rx},
                            {"util_tx", st.util_tx}});
        }
        bsses.push_back({{"bssid", mac(bss.bssid)},
                         {"ch_util", bss.ch_util},
                         {"esp_be", hex(bss.esp[LUSL_AC_BE], 3)},
                         {"esp_bk", hex(bss.esp[LUSL_AC_BK], 3)},
                         {"esp_vo", hex(bss.esp[LUSL_AC_VO], 3)},
                         {"esp_vi", hex(bss.esp[LUSL_AC_VI], 3)},
                         {"uc_bytes_sent", bss.uc_bytes_sent},
                         {"uc_bytes_received", bss.uc_bytes_received},
                         {"mc_bytes_sent", bss.mc_bytes_sent},
                         {"mc_bytes_received", bss.mc_bytes_received},
                         {"bc_bytes_sent", bss.bc_bytes_sent},
                         {"bc_bytes_received", bss.bc_bytes_received},
                         {"sta_num", bss.sta_num},
                         {"sta", stas}});
    }
    return {{"radio_num", v->radio_num}, {"radio", radios}, {"bss_num", v->bss_num}, {"bss", bsses}};
}

Json ch_scan_compact(const uint8_t* rec, size_t len)
{
    auto rpt = std::make_unique<luSL_ChScanReport>();
    std::vector<luSL_ChScanNbr> nbrs(LUSL_CHSCAN_MAX_NBR);
    int total = luSL_ChScanRpt_decode(rec, len, rpt.get(), nbrs.data(), nbrs.size());
    if (total < 0) return {{"error", "compact form does not decode"}, {"hex", hex(rec, len)}};
    Json radios = Json::array();
    for (size_t r = 0; r < rpt->radio_num; ++r) {
        const luSL_ChScanRadioInfo& rd = rpt->radio[r];
        Json chans = Json::array();
        for (size_t c = 0; c < rd.ch_num; ++c) {
            const luSL_ChScanChannelInfo& ch = rd.ch[c];
            Json list = Json::array();
            for (size_t i = ch.nbr_first; i < size_t{ch.nbr_first} + ch.nbr_num && i < nbrs.size(); ++i) {
                const luSL_ChScanNbr& n = nbrs[i];
                list.push_back({{"bssid", mac(n.bssid)},
                                {"ssid", text(n.ssid, shown(n.ssid_len, LUSL_CHSCAN_STR_MAX))},
                                {"signal_strength", n.signal_strength},
                                {"ch_bw", text(n.ch_bw, shown(n.ch_bw_len, LUSL_CHSCAN_STR_MAX))},
                                {"bss_load_present", n.bss_load_present},
                                {"ch_util", n.ch_util},
                                {"sta_count", n.sta_count}});
            }
            chans.push_back({{"op_class", ch.op_class},
                             {"channel", ch.channel},
                             {"scan_status", ch.scan_status},
                             {"ch_util", ch.ch_util},
                             {"noise", ch.noise},
                             {"timestamp", cstr(reinterpret_cast<const uint8_t*>(ch.timestamp), 64)},
                             {"nbr_num", ch.nbr_num},
                             {"nbr", list}});
        }
        radios.push_back({{"ruid", mac(rd.ruid)},
                          {"timestamp", cstr(rd.timestamp, 64)},
                          {"scan_duration", rd.scan_duration},
                          {"scan_type", rd.scan_type},
                          {"ch_num", rd.ch_num},
                          {"ch", chans}});
    }
    return {{"radio_num", rpt->radio_num}, {"nbr_total", rpt->nbr_total}, {"radio", radios}};
}

const std::pair<uint16_t, Printer> kPrinters[] = {
    {0x0001, topology_notification},
    {0x0003, topology_resp},
    {0x0006, link_metrics_resp},
    {0x0009, ap_autoconf_wsc},
    {0x8002, ap_cap_rpt},
    {0x8005, channel_preference_rpt},
    {0x8008, operating_chan_rpt},
    {0x800A, cli_cap_rpt},
    {0x800C, ap_metrics_compact},
    {0x800E, assoc_sta_metrics_resp},
    {0x8010, unassoc_sta_metrics_resp},
    {0x8015, steering_btm_rpt},
    {0x801A, bh_steering_resp},
    {0x801C, ch_scan_compact},
    {0x8022, client_disassoc_stat},
    {0x8025, assoc_status_notification},
    {0x802C, bss_config_req},
    {0x8033, failed_conn},
};

} // namespace

// ------------------------------------------------------------------ records

Json decode_record(const uint8_t* rec, size_t len)
{
    uint16_t code = len >= 2 ? static_cast<uint16_t>(rec[0] | rec[1] << 8) : 0;
    Json j;
    j["type"] = type_code(code);
    j["name"] = type_name(code);
    j["length"] = len;
    for (const auto& [c, fn] : kPrinters) {
        if (c == code) {
            j["record"] = fn(rec, len);
            return j;
        }
    }
    j["hex"] = hex(rec, len);
    return j;
}

Json undecoded_datagram(const uint8_t* data, size_t len)
{
    Json j = decode_record(data, 0);
    uint16_t code = len >= 2 ? static_cast<uint16_t>(data[0] | data[1] << 8) : 0;
    j["type"] = type_code(code);
    j["name"] = len == 0 ? "empty datagram" : type_name(code);
    j["length"] = len;
    j.erase("record");
    j["hex"] = hex(data, len);
    j["note"] = len == 0 ? "empty datagram" : "not copied by luSL_Msg_recv: unknown message type";
    return j;
}

// ------------------------------------------------------------------ output

void print_json(std::ostream& out, const Json& j)
{
    out << j.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
    out.flush();
}

namespace {

std::string scalar(const Json& v)
{
    if (v.is_string()) return v.get<std::string>();
    return v.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Hex dump, 16 bytes a line, runs of all-zero lines folded into one "*" line.
void print_hexdump(std::ostream& out, const std::string& hexstr, int indent)
{
    const std::string pad(static_cast<size_t>(indent), ' ');
    const size_t line = 32; // hex digits per line
    bool folded = false;
    for (size_t off = 0; off < hexstr.size(); off += line) {
        std::string chunk = hexstr.substr(off, line);
        bool zero = chunk.find_first_not_of('0') == std::string::npos;
        bool last = off + line >= hexstr.size();
        if (zero && !last && off > 0) {
            if (!folded) out << pad << "*\n";
            folded = true;
            continue;
        }
        folded = false;
        char head[24];
        std::snprintf(head, sizeof head, "%06zx ", off / 2);
        out << pad << head;
        for (size_t i = 0; i < chunk.size(); i += 2) out << ' ' << chunk.substr(i, 2);
        out << '\n';
    }
}

void render(std::ostream& out, const Json& obj, int indent)
{
    const std::string pad(static_cast<size_t>(indent), ' ');
    for (const auto& [key, v] : obj.items()) {
        if (key == "hex" && v.is_string()) {
            out << pad << "hex (" << v.get<std::string>().size() / 2 << " bytes):\n";
            print_hexdump(out, v.get<std::string>(), indent + 2);
        } else if (v.is_object()) {
            out << pad << key << ":\n";
            render(out, v, indent + 2);
        } else if (v.is_array()) {
            bool flat = std::none_of(v.begin(), v.end(), [](const Json& e) { return e.is_structured(); });
            if (flat) {
                out << pad << key << ": [";
                for (size_t i = 0; i < v.size(); ++i) out << (i ? ", " : "") << scalar(v[i]);
                out << "]\n";
            } else {
                for (size_t i = 0; i < v.size(); ++i) {
                    out << pad << key << '[' << i << "]:\n";
                    if (v[i].is_object())
                        render(out, v[i], indent + 2);
                    else
                        out << pad << "  " << scalar(v[i]) << '\n';
                }
            }
        } else {
            out << pad << key << ": " << scalar(v) << '\n';
        }
    }
}

} // namespace

void print_text(std::ostream& out, const Json& j)
{
    out << j.value("name", std::string("?")) << " (" << j.value("type", std::string("?")) << "), "
        << j.value("length", 0) << " bytes";
    if (j.contains("source"))
        out << ", frame " << scalar(j["source"].value("frame", Json())) << " from " << scalar(j["source"].value("mac", Json()));
    out << '\n';
    Json rest = j;
    for (const char* k : {"name", "type", "length", "source"}) rest.erase(k);
    if (rest.contains("record")) {
        Json rec = rest["record"];
        rest.erase("record");
        render(out, rec, 2);
    }
    render(out, rest, 2);
    out << '\n';
    out.flush();
}

} // namespace lusl::tool
