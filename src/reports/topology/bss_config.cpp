// SPDX-License-Identifier: BSD-2-Clause
// Onboarding: AP Autoconfiguration WSC (0x0009) and BSS Configuration Request (0x802C).
#include <algorithm>
#include <cstring>

#include "core/dispatch.h"
#include "core/log.h"
#include "los.h"
#include "luSL/luSL.h"
#include "core/record.h"

namespace lusl {
namespace {


// WSC attributes read from an M1 frame.
enum : uint16_t {
    kWscManufacturer = 0x1021,
    kWscMessageType = 0x1022,
    kWscModelName = 0x1023,
    kWscSerialNumber = 0x1042,
};
constexpr uint8_t kWscM1 = 4;
constexpr size_t kWscAttrHeadLen = 4;

// Fills up to BSS_CONFIG_MAX_AKM selectors of a list and reads over the rest.
void read_akm_list(Reader& in, AkmSuiteSelector* list, unsigned count)
{
    for (unsigned i = 0; i < count; ++i) {
        if (i < BSS_CONFIG_MAX_AKM)
            in.copy(&list[i], sizeof list[i]);
        else
            in.skip(sizeof list[i]);
    }
}

} // namespace

// A frame whose last attribute header or data runs past the TLV is refused before anything
// is stored. Text attributes of 64 bytes or more are left out; a Message Type attribute
// without data carries no type.
int h_WSC(Reader& in, uint8_t* record, const Args& args)
{
    auto& r = record_as<ApAutoConfWSC>(record);
    char texts[3][WSC_TEXT_LEN] = {};
    uint8_t msg_type = 0;

    while (in.remaining() > 0) {
        if (!in.has(kWscAttrHeadLen)) return refuse_short("WSC", in.size());
        const uint16_t type = in.be16();
        const uint16_t len = in.be16();
        Reader data = in.sub(len);
        if (!data.ok()) return refuse_short("WSC", in.size());
        char* text = type == kWscManufacturer  ? texts[0]
                     : type == kWscModelName     ? texts[1]
                     : type == kWscSerialNumber  ? texts[2]
                                                 : nullptr;
        // A shorter text overwrites only its own bytes of an earlier one.
        if (text && len < WSC_TEXT_LEN) data.copy(text, len);
        if (type == kWscMessageType && len > 0) msg_type = data.u8();
    }

    r.wsc_msg_type = msg_type;
    if (msg_type != kWscM1) return 0;

    if (args.src_mac)
        std::memcpy(r.device_mac, args.src_mac, 6);
    else
        LUSL_LOG(kModTlv, kErr, "[TLV] Warning!!! Device_mac is NULL!!.\n");
    auto* manufacturer = reinterpret_cast<char*>(r.manufacturer);
    auto* model = reinterpret_cast<char*>(r.model_name);
    auto* serial = reinterpret_cast<char*>(r.serial_number);
    los_snprintf(manufacturer, WSC_TEXT_LEN, "%s", texts[0]);
    los_snprintf(model, WSC_TEXT_LEN, "%s", texts[1]);
    los_snprintf(serial, WSC_TEXT_LEN, "%s", texts[2]);
    LUSL_LOG(kModTlv, kDebug, "[TLV] M1 WSC: device " LUSL_MAC_FMT ", manufacture:%s model:%s serialNo:%s\n",
             LUSL_MAC_ARG(r.device_mac), manufacturer, model, serial);
    return 0;
}

int h_APRadioAdvancedCaps(Reader& in, uint8_t* record, const Args&)
{
    auto& r = record_as<ApAutoConfWSC>(record);
    if (!in.has(7)) return refuse_short("APRadioAdvancedCaps", in.size());
    in.copy(r.ruid, 6);
    const uint8_t wire = in.u8();
    // Record bit i takes wire bit 7 - i for i = 0..6; wire bit 0 is not kept, record bit 7
    // is left as it was.
    uint8_t flags = 0;
    for (unsigned i = 0; i < 7; ++i)
        if (wire & (0x80u >> i)) flags = static_cast<uint8_t>(flags | (1u << i));
    r.radio_adv_caps = static_cast<uint8_t>((r.radio_adv_caps & 0x80u) | flags);
    return 0;
}

int h_APRadioBasicCapabilities_bss_config_req(Reader& in, uint8_t* record, const Args&)
{
    auto& r = record_as<BssConfigReq>(record);
    const unsigned n = r.radio_num;
    // A third radio is dropped without a log, the count staying at 2.
    if (n >= MAX_RADIO_PER_DEVICE) return 0;
    if (!in.copy(r.radio[n].ruid, 6)) return refuse_short("APRadioBasicCaps", in.size());
    r.radio_num = static_cast<uint8_t>(n + 1);
    return 0;
}

// The TLV carries the backhaul list first; the record keeps the fronthaul list first.
// Counts are stored as received, ten selectors of each list are kept.
int h_akm_suite_capabilities(Reader& in, uint8_t* record, const Args&)
{
    if (!record) return 0;
    auto& r = record_as<BssConfigReq>(record);

    Reader check = in;
    check.skip(size_t{4} * check.u8());
    check.skip(size_t{4} * check.u8());
    if (!check.ok()) return refuse_short("AKMSuiteCaps", in.size());

    r.bh_akm_num = in.u8();
    read_akm_list(in, r.bh_akm, r.bh_akm_num);
    r.fh_akm_num = in.u8();
    read_akm_list(in, r.fh_akm, r.fh_akm_num);
    return 0;
}

} // namespace lusl

extern "C" {

LUSL_API int tlv_WSC_extract(const uint8_t* value, uint8_t* record, uint16_t length, const uint8_t* src_mac)
{
    lusl::Args args;
    args.src_mac = src_mac;
    return lusl::run_handler(lusl::h_WSC, value, length, record, args);
}

LUSL_API int tlv_APRadioAdvancedCaps_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_APRadioAdvancedCaps, value, lusl::kMaxTlvLen, record);
}

LUSL_API int tlv_APRadioBasicCapabilities_extract_bss_config_req(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_APRadioBasicCapabilities_bss_config_req, value, lusl::kMaxTlvLen, record);
}

LUSL_API int tlv_akm_suite_capabilities_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_akm_suite_capabilities, value, lusl::kMaxTlvLen, record);
}

} // extern "C"
