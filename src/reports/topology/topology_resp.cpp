// SPDX-License-Identifier: BSD-2-Clause
// Topology Response (0x0003): Device Information, AP Operational BSS, Vendor Specific MDID
// and BSS Configuration Report. The AP Operational BSS TLV builds the radio/BSS table; the
// MDID and configuration TLVs only annotate BSSs already in it, so TLV order matters.
#include <algorithm>
#include <cstring>

#include "core/dispatch.h"
#include "core/log.h"
#include "luSL/luSL.h"
#include "core/record.h"

namespace lusl {
namespace {


constexpr uint8_t kLumenoOui[3] = {0x0E, 0x3C, 0x71};
constexpr uint8_t kMdidSubElement = 0xC0;
constexpr unsigned kMdidEntryLen = 9; // BSSID, MDID, flag

// Radios and BSSs actually held by the record: the counts are stored as received.
unsigned radios_held(const TopologyResp& r) { return std::min<unsigned>(r.radio_num, MAX_RADIO_PER_DEVICE); }
unsigned bss_held(const TopologyRespRadio& radio)
{
    return std::min<unsigned>(radio.bss_num, TOPO_MAX_BSS_PER_RADIO);
}

TopologyRespRadio* find_radio(TopologyResp& r, const uint8_t* ruid)
{
    for (unsigned i = 0; i < radios_held(r); ++i)
        if (mac_equal(r.radio[i].ruid, ruid)) return &r.radio[i];
    return nullptr;
}

TopologyRespBss* find_bss(TopologyRespRadio& radio, const uint8_t* bssid)
{
    for (unsigned b = 0; b < bss_held(radio); ++b)
        if (mac_equal(radio.bss[b].bssid, bssid)) return &radio.bss[b];
    return nullptr;
}

TopologyRespBss* find_bss(TopologyResp& r, const uint8_t* bssid)
{
    for (unsigned i = 0; i < radios_held(r); ++i)
        if (TopologyRespBss* bss = find_bss(r.radio[i], bssid)) return bss;
    return nullptr;
}

// Checks that every interface the Device Information TLV announces lies within it.
bool device_info_fits(Reader in)
{
    in.skip(6);
    const unsigned n = in.u8();
    for (unsigned i = 0; i < n && in.ok(); ++i) {
        in.skip(6 + 2); // interface MAC, media type
        in.skip(in.u8());
    }
    return in.ok();
}

// Checks that every radio and BSS a BSS Configuration Report announces lies within it.
bool bss_config_rpt_fits(Reader in)
{
    const unsigned radios = in.u8();
    for (unsigned r = 0; r < radios && in.ok(); ++r) {
        in.skip(6);
        const unsigned n = in.u8();
        for (unsigned b = 0; b < n && in.ok(); ++b) {
            in.skip(6 + 1 + 1); // BSSID, flags, reserved
            in.skip(in.u8());   // SSID
        }
    }
    return in.ok();
}

} // namespace

int h_DeviceInfo(Reader& in, uint8_t* record, const Args&)
{
    auto& r = record_as<TopologyResp>(record);
    if (!device_info_fits(in)) return refuse_short("DeviceInfo", in.size());
    in.copy(r.al_mac, 6);
    // The first local interface's media type, wire order. A device without local
    // interfaces has none to report: the field stays 0.
    if (in.u8() > 0) {
        in.skip(6);
        in.copy(r.media_type, 2);
    }
    LUSL_LOG(kModTlv, kDebug, "[TLV] DeviceInfo: device " LUSL_MAC_FMT "\n", LUSL_MAC_ARG(r.al_mac));
    return 0;
}

// A radio that does not fit is skipped (and, since nothing is consumed, so is every radio
// after it); a BSS that does not fit logs a zero BSSID; an SSID that does not fit is left
// empty. Radios past the second, BSSs past the sixth and SSID bytes past the 32nd are read
// over but not stored, so whatever follows them is still read from its true position.
int h_APOperationBss(Reader& in, uint8_t* record, const Args&)
{
    auto& r = record_as<TopologyResp>(record);
    if (in.size() == 0) return -1;
    const unsigned radios = in.u8();
    r.radio_num = static_cast<uint8_t>(radios);

    for (unsigned ri = 0; ri < radios; ++ri) {
        if (!in.has(7)) continue;
        TopologyRespRadio* radio = ri < MAX_RADIO_PER_DEVICE ? &r.radio[ri] : nullptr;
        uint8_t ruid[6] = {};
        in.copy(ruid, 6);
        const uint8_t n = in.u8();
        if (radio) {
            std::memcpy(radio->ruid, ruid, 6);
            radio->bss_num = n;
        }
        LUSL_LOG(kModTlv, kDebug, "[TLV] APOperationBss: radio " LUSL_MAC_FMT ", BSS numbers=%d\n",
                 LUSL_MAC_ARG(ruid), n);

        for (unsigned b = 0; b < n; ++b) {
            TopologyRespBss* bss = radio && b < TOPO_MAX_BSS_PER_RADIO ? &radio->bss[b] : nullptr;
            uint8_t bssid[6] = {};
            if (in.has(7)) {
                in.copy(bssid, 6);
                const uint8_t ssid_len = in.u8();
                const bool ssid_fits = in.has(ssid_len);
                if (bss) {
                    std::memcpy(bss->bssid, bssid, 6);
                    bss->ssid_len = ssid_len;
                    std::memset(bss->ssid, 0, sizeof bss->ssid);
                    if (ssid_fits) {
                        const size_t kept = std::min<size_t>(ssid_len, TOPO_MAX_SSID_LEN);
                        in.copy(bss->ssid, kept);
                        in.skip(ssid_len - kept);
                    }
                    bss->marker = 0xFF;
                } else if (ssid_fits) {
                    in.skip(ssid_len);
                }
            }
            LUSL_LOG(kModTlv, kDebug, "[TLV] APOperationBss:  BSS " LUSL_MAC_FMT "\n",
                     LUSL_MAC_ARG(bss ? bss->bssid : bssid));
        }
    }
    return 0;
}

int h_VendorSpecific_MDID(Reader& in, uint8_t* record, const Args&)
{
    auto& r = record_as<TopologyResp>(record);
    if (in.size() == 0) return -1;
    // The OUI is kept whatever it is, before any test.
    if (!in.copy(r.vendor_oui, 3)) return refuse_short("VendorSpec", in.size());
    const uint8_t* oui = r.vendor_oui;
    LUSL_LOG(kModTlv, kDebug, "[TLV] VendorSpec: check OUI = %02x:%02x:%02x\n", oui[0], oui[1], oui[2]);
    if (std::memcmp(oui, kLumenoOui, 3) != 0) {
        LUSL_LOG(kModTlv, kWarn, "[TLV] VendorSpec: unknown OUI %02x:%02x:%02x\n", oui[0], oui[1], oui[2]);
        return 0;
    }
    if (!in.has(1)) return refuse_short("VendorSpec", in.size());
    const uint8_t sub = in.u8();
    if (sub != kMdidSubElement) {
        LUSL_LOG(kModTlv, kWarn, "[TLV] VendorSpec: unknown TLV 0x%02X\n", sub);
        return 0;
    }
    if (!in.has(2)) return refuse_short("VendorSpec", in.size());
    const unsigned sub_len = in.be16();
    if (sub_len == 0 || (sub_len - 1) % kMdidEntryLen != 0) return -1;
    if (!in.has(sub_len)) return refuse_short("VendorSpec", in.size());
    const unsigned entries = (sub_len - 1) / kMdidEntryLen;

    in.skip(1);
    for (unsigned e = 0; e < entries; ++e) {
        uint8_t bssid[6] = {};
        in.copy(bssid, 6);
        const uint16_t mdid = in.be16();
        const uint8_t flag = in.u8();
        if (TopologyRespBss* bss = find_bss(r, bssid)) {
            bss->mdid = mdid;
            bss->mdid_flag = flag;
        }
        LUSL_LOG(kModTlv, kDebug, "[TLV] VendorSpec: %s BSS " LUSL_MAC_FMT ", MDID %04X\n",
                 flag ? "Enabled" : "Disabled", LUSL_MAC_ARG(bssid), mdid);
    }
    return 0;
}

int h_BssConfigurationRpt(Reader& in, uint8_t* record, const Args&)
{
    auto& r = record_as<TopologyResp>(record);
    if (!bss_config_rpt_fits(in)) return refuse_short("BSS Config Rpt", in.size());

    const unsigned radios = in.u8();
    for (unsigned ri = 0; ri < radios; ++ri) {
        uint8_t ruid[6] = {};
        in.copy(ruid, 6);
        TopologyRespRadio* radio = find_radio(r, ruid);
        if (!radio) {
            LUSL_LOG(kModTlv, kErr, "[TLV] BSS Config Rpt: Radio " LUSL_MAC_FMT " not found\n", LUSL_MAC_ARG(ruid));
            return -1;
        }
        const unsigned n = in.u8();
        for (unsigned b = 0; b < n; ++b) {
            uint8_t bssid[6] = {};
            in.copy(bssid, 6);
            TopologyRespBss* bss = find_bss(*radio, bssid);
            if (!bss) {
                LUSL_LOG(kModTlv, kErr, "[TLV] BSS Config Rpt: BSS " LUSL_MAC_FMT " not found\n",
                         LUSL_MAC_ARG(bssid));
                return -1;
            }
            bss->config_flags = in.u8();
            bss->config_reported = 1;
            in.skip(1);       // reserved
            in.skip(in.u8()); // SSID
            LUSL_LOG(kModTlv, kDebug, "[TLV] BSS Config Rpt: BSS " LUSL_MAC_FMT " BSS Config=%hhu\n",
                     LUSL_MAC_ARG(bss->bssid), bss->config_flags);
        }
    }
    return 0;
}

} // namespace lusl

extern "C" {

LUSL_API int tlv_DeviceInfo_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_DeviceInfo, value, lusl::kMaxTlvLen, record);
}

LUSL_API int tlv_APOperationBss_extract(const uint8_t* value, uint8_t* record, uint16_t length)
{
    return lusl::run_handler(lusl::h_APOperationBss, value, length, record);
}

LUSL_API int tlv_VendorSpecific_MDID_extract(const uint8_t* value, uint8_t* record, uint16_t length)
{
    return lusl::run_handler(lusl::h_VendorSpecific_MDID, value, length, record);
}

LUSL_API int tlv_BssConfigurationRpt_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_BssConfigurationRpt, value, lusl::kMaxTlvLen, record);
}

} // extern "C"
