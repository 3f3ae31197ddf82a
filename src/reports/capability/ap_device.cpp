// SPDX-License-Identifier: BSD-2-Clause
// AP Capability Report: device capabilities, channel scan and CAC capabilities per radio,
// profile-2, 1905 security, metric collection interval and device inventory.
#include <cstring>

#include "core/dispatch.h"
#include "core/log.h"
#include "reports/capability/ap_radio.h"

namespace lusl {
namespace {

using namespace apcap;

// ---- channel scan capabilities: per radio, flags (1), interval (4), classes with channels

bool skip_scan_radio(Reader& in)
{
    in.skip(5);
    const uint8_t n = in.u8();
    for (unsigned k = 0; k < n && in.ok(); ++k) skip_chan_list(in);
    return in.ok();
}

bool scan_caps_fit(Reader in)
{
    const uint8_t n = in.u8();
    for (unsigned i = 0; i < n && in.ok(); ++i) {
        in.skip(6);
        skip_scan_radio(in);
    }
    return in.ok();
}

void store_scan_radio(Reader in, ApCapRadio& e)
{
    const uint8_t flags = in.u8();
    e.scan_on_boot_only = static_cast<uint8_t>(flags >> 7);
    e.scan_impact = static_cast<uint8_t>((flags & 0x60) >> 5);
    e.min_scan_interval = in.be32();
    e.scan_opclass_num = in.u8();
    for (unsigned k = 0; k < e.scan_opclass_num; ++k) {
        if (k < APCAP_MAX_OPCLASS)
            read_chan_list(in, e.scan_opclass[k]);
        else
            skip_chan_list(in);
    }
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] Ch Scan Caps: Radio " LUSL_MAC_FMT ", OnBootOnly=%hhu, ScanImpact=%hhu, MimScanIntv=%u, NumOp=%hhu\n",
             LUSL_MAC_ARG(e.ruid), e.scan_on_boot_only, e.scan_impact, unsigned{e.min_scan_interval},
             e.scan_opclass_num);
}

// ---- CAC capabilities: per radio, types, each with method, duration, classes with channels

bool skip_cac_radio(Reader& in)
{
    const uint8_t types = in.u8();
    for (unsigned t = 0; t < types && in.ok(); ++t) {
        in.skip(4);
        const uint8_t n = in.u8();
        for (unsigned k = 0; k < n && in.ok(); ++k) skip_chan_list(in);
    }
    return in.ok();
}

bool cac_caps_fit(Reader in)
{
    in.skip(2);
    const uint8_t n = in.u8();
    for (unsigned i = 0; i < n && in.ok(); ++i) {
        in.skip(6);
        skip_cac_radio(in);
    }
    return in.ok();
}

void store_cac_radio(Reader in, ApCapRadio& e)
{
    e.cac_type_num = in.u8();
    LUSL_LOG(kModTlv, kDebug, "[TLV] CAC Caps: Radio " LUSL_MAC_FMT ", NumberOfCacTypesSupported=%hhu\n",
             LUSL_MAC_ARG(e.ruid), e.cac_type_num);
    for (unsigned t = 0; t < e.cac_type_num; ++t) {
        const uint8_t method = in.u8();
        const uint32_t duration = in.be24();
        const uint8_t nop = in.u8();
        if (t >= APCAP_MAX_CAC_TYPE) {
            for (unsigned k = 0; k < nop; ++k) skip_chan_list(in);
            continue;
        }
        ApCapCacType& ct = e.cac_type[t];
        ct.method = method;
        ct.duration = duration;
        ct.opclass_num = nop;
        // The log names the number of types where one might expect the type's index.
        LUSL_LOG(kModTlv, kDebug,
                 "[TLV] CAC Caps: Radio " LUSL_MAC_FMT ", Type=%hhu, Method=%hhu, duration=%u, NumberOfOpClass=%hhu\n",
                 LUSL_MAC_ARG(e.ruid), e.cac_type_num, method, unsigned{duration}, nop);
        for (unsigned k = 0; k < nop; ++k) {
            if (k < APCAP_MAX_CAC_OPCLASS)
                read_chan_list(in, ct.opclass[k]);
            else
                skip_chan_list(in);
        }
    }
}

// Hands the data of one listed radio to every entry with its identifier. The data is read
// from where it lies whether or not an entry matches, so the next radio is found in place.
template <typename Store, typename Skip>
void for_each_listed_radio(Reader& in, ApCapRpt& r, Store store, Skip skip)
{
    const uint8_t n = in.u8();
    for (unsigned i = 0; i < n; ++i) {
        uint8_t id[6] = {};
        in.copy(id, 6);
        const Reader data = in;
        skip(in);
        const unsigned used = radios_in_use(r);
        for (unsigned k = 0; k < used; ++k)
            if (mac_equal(r.radio[k].ruid, id)) store(data, r.radio[k]);
    }
}

enum class Str { stored, too_long, cut_short };

// Copies a length-prefixed string of at most 64 bytes; the field is cleared behind it.
Str read_string(Reader& in, uint8_t (&dst)[APCAP_MAX_STR_LEN + 1])
{
    if (!in.has(1)) return Str::cut_short;
    const uint8_t n = in.u8();
    if (n > APCAP_MAX_STR_LEN) return Str::too_long;
    if (!in.has(n)) return Str::cut_short;
    std::memset(dst, 0, sizeof dst);
    in.copy(dst, n);
    return Str::stored;
}

// Reads one inventory string; on failure logs the given line (or refuses the TLV) and
// returns -1 from the handler.
#define READ_STRING(in, dst, too_long_line)                                  \
    do {                                                                     \
        const Str st_ = read_string((in), (dst));                            \
        if (st_ == Str::too_long) {                                          \
            LUSL_LOG(kModTlv, kErr, too_long_line);                          \
            return -1;                                                       \
        }                                                                    \
        if (st_ == Str::cut_short) return refuse_short("DevInventory", (in).size()); \
    } while (0)

} // namespace

int h_APCapabilities(Reader& in, uint8_t* record, const Args& args)
{
    ApCapRpt& r = rpt(record);
    if (!in.has(1)) return refuse_short("ApCap", in.size());
    if (args.src_mac)
        std::memcpy(r.device_mac, args.src_mac, 6);
    else
        LUSL_LOG(kModTlv, kErr, "[TLV] Warning!!! Device_mac is NULL!!.\n");
    r.ap_capability = in.u8();
    // Radios listed before this TLV are no longer found; the next radio TLV takes entry 0.
    r.radio_num = 0;
    LUSL_LOG(kModTlv, kDebug, "[TLV] ApCap: device " LUSL_MAC_FMT ", ap capability=%hhu\n",
             LUSL_MAC_ARG(r.device_mac), r.ap_capability);
    return 0;
}

int h_ChannelScanCaps(Reader& in, uint8_t* record, const Args&)
{
    if (!scan_caps_fit(in)) return refuse_short("Ch Scan Caps", in.size());
    for_each_listed_radio(in, rpt(record), store_scan_radio, skip_scan_radio);
    return 0;
}

int h_CACCapbilities(Reader& in, uint8_t* record, const Args&)
{
    ApCapRpt& r = rpt(record);
    if (!cac_caps_fit(in)) return refuse_short("CAC Caps", in.size());
    in.copy(r.country_code, 2);
    for_each_listed_radio(in, r, store_cac_radio, skip_cac_radio);
    return 0;
}

int h_1905LayerSecurityCap(Reader& in, uint8_t* record, const Args&)
{
    ApCapRpt& r = rpt(record);
    if (!in.has(3)) return refuse_short("1905 Layer Security Capability", in.size());
    r.sec_cap_present = 1;
    r.sec_onboarding_protocol = in.u8();
    r.sec_mic_algorithm = in.u8();
    r.sec_encryption_algorithm = in.u8();
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] 1905 Layer Security Capability: OnboardingProtocol=%02hhX MIC_Algorithm=%02hhX "
             "EncryptionAlgorithm=%02hhX\n",
             r.sec_onboarding_protocol, r.sec_mic_algorithm, r.sec_encryption_algorithm);
    return 0;
}

int h_Profile2APCapability(Reader& in, uint8_t* record, const Args&)
{
    ApCapRpt& r = rpt(record);
    if (!in.has(4)) return refuse_short("P2APCaps", in.size());
    r.p2_max_prio_rules = in.u8();
    in.skip(1);
    const uint8_t f = in.u8();
    r.p2_byte_counter_units = static_cast<uint8_t>(f >> 6);
    r.p2_prioritization = static_cast<uint8_t>((f & 0x20) >> 5);
    r.p2_dpp_onboarding = static_cast<uint8_t>((f & 0x10) >> 4);
    r.p2_traffic_separation = static_cast<uint8_t>((f & 0x08) >> 3);
    r.p2_max_vids = in.u8();
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] P2APCaps: Device " LUSL_MAC_FMT ", MaxPrioritizationRules=%hhu, ByteCounterUnits=%hhu, "
             "Prioritization=%hhu, DPPOnboarding=%hhu, TrafficSeparation=%hhu, MaxVIDs=%hhu\n",
             LUSL_MAC_ARG(r.device_mac), r.p2_max_prio_rules, r.p2_byte_counter_units, r.p2_prioritization,
             r.p2_dpp_onboarding, r.p2_traffic_separation, r.p2_max_vids);
    return 0;
}

int h_MetricCollectionInterval(Reader& in, uint8_t* record, const Args&)
{
    ApCapRpt& r = rpt(record);
    if (!in.has(4)) return refuse_short("Metric Collection Interval", in.size());
    r.metric_collection_interval = in.be32();
    LUSL_LOG(kModTlv, kDebug, "[TLV] ApCap: device " LUSL_MAC_FMT ", Metric Collection Interval cap=%u\n",
             LUSL_MAC_ARG(r.device_mac), unsigned{r.metric_collection_interval});
    return 0;
}

int h_DeviceInventory(Reader& in, uint8_t* record, const Args&)
{
    // Fields stored before a failing step stay: the parser sends the report regardless.
    ApCapRpt& r = rpt(record);
    if (!in.has(1)) return refuse_short("DevInventory", in.size());
    const uint8_t serial = in.u8();
    if (serial > APCAP_MAX_STR_LEN) {
        LUSL_LOG(kModTlv, kErr, "[TLV] DevInventory: Invalid length for Serial Number\n");
        return -1;
    }
    if (!in.skip(serial)) return refuse_short("DevInventory", in.size());
    READ_STRING(in, r.sw_version, "[TLV] DevInventory: Invalid length for SoftwareVersion\n");
    READ_STRING(in, r.exec_env, "[TLV] DevInventory: Invalid length for Execution Env\n");
    if (!in.has(1)) return refuse_short("DevInventory", in.size());
    const uint8_t n = in.u8();
    for (unsigned i = 0; i < n; ++i) {
        if (!in.has(6)) return refuse_short("DevInventory", in.size());
        uint8_t id[6];
        Reader at = in;
        at.copy(id, 6);
        const int idx = find_radio(r, id);
        // An unknown radio is not stepped over: every later pass would meet it again.
        if (idx < 0) break;
        in.skip(6);
        READ_STRING(in, r.radio[idx].chipset_vendor, "[TLV] DevInventory: Invalid length for Chipset Vendor\n");
    }
    LUSL_LOG(kModTlv, kDebug, "[TLV] DevInventory: Device " LUSL_MAC_FMT ", SoftwareVer=%s, ExecutionEnv=%s\n",
             LUSL_MAC_ARG(r.device_mac), reinterpret_cast<const char*>(r.sw_version),
             reinterpret_cast<const char*>(r.exec_env));
    return 0;
}

#undef READ_STRING

} // namespace lusl

extern "C" {

LUSL_API int tlv_APCapabilities_extract(const uint8_t* value, uint8_t* record, const uint8_t* src_mac)
{
    lusl::Args args;
    args.src_mac = src_mac;
    return lusl::run_handler(lusl::h_APCapabilities, value, lusl::kMaxTlvLen, record, args);
}

// The documented length of these three is not used: they trust the value like the others.
LUSL_API int tlv_ChannelScanCaps_extract(const uint8_t* value, uint8_t* record, uint16_t)
{
    return lusl::run_handler(lusl::h_ChannelScanCaps, value, lusl::kMaxTlvLen, record);
}

LUSL_API int tlv_1905LayerSecurityCap_extract(const uint8_t* value, uint8_t* record, uint16_t)
{
    return lusl::run_handler(lusl::h_1905LayerSecurityCap, value, lusl::kMaxTlvLen, record);
}

LUSL_API int tlv_CACCapbilities_extract(const uint8_t* value, uint8_t* record, uint16_t)
{
    return lusl::run_handler(lusl::h_CACCapbilities, value, lusl::kMaxTlvLen, record);
}

LUSL_API int tlv_Profile2APCapability_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_Profile2APCapability, value, lusl::kMaxTlvLen, record);
}

LUSL_API int tlv_MetricCollectionInterval_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_MetricCollectionInterval, value, lusl::kMaxTlvLen, record);
}

LUSL_API int tlv_DeviceInventory_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_DeviceInventory, value, lusl::kMaxTlvLen, record);
}

} // extern "C"
