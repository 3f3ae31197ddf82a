// SPDX-License-Identifier: BSD-2-Clause
// Channel Preference Report: per-radio channel preferences and the device's CAC status.
// The parser has already put the source MAC into the record.
#include "core/dispatch.h"
#include "core/record.h"
#include "core/log.h"
#include "luSL/luSL.h"

namespace lusl {
namespace {

ChannelPreferenceRpt& as_rpt(uint8_t* record) { return record_as<ChannelPreferenceRpt>(record); }

// RUID, operating-class count, then per class: class, channel count, channels, preference.
// Every announced class must be present, including those the record has no room for.
bool preference_fits(Reader in)
{
    in.skip(6);
    const unsigned m = in.u8();
    for (unsigned c = 0; c < m && in.ok(); ++c) {
        in.u8();
        const unsigned k = in.u8();
        in.skip(k + 1);
    }
    return in.ok();
}

// Three lists, each a count followed by fixed-size entries.
bool cac_fits(Reader in)
{
    const size_t entry[] = {4, 4, 5};
    for (size_t size : entry) {
        const unsigned n = in.u8();
        in.skip(size * n);
    }
    return in.ok();
}

} // namespace

int h_ChannelPreference(Reader& in, uint8_t* record, const Args&)
{
    auto& r = as_rpt(record);
    if (r.radio_num >= MAX_RADIO_PER_DEVICE) {
        LUSL_LOG(kModTlv, kErr, "[TLV] ChPrefRpt: Exceed maxinum radio number per device\n");
        return 0;
    }
    if (!preference_fits(in)) return refuse_short("ChPrefRpt", in.size());

    ChPrefRadio& radio = r.radio[r.radio_num];
    r.radio_num = static_cast<uint8_t>(r.radio_num + 1);
    in.copy(radio.ruid, 6);
    radio.op_class_num = in.u8();
    // Classes past the record's room are not read: nothing follows them.
    for (unsigned c = 0; c < radio.op_class_num && c < CHPREF_MAX_OPCLASS; ++c) {
        ChPrefOpClass& oc = radio.op_class[c];
        oc.op_class = in.u8();
        oc.channel_num = in.u8();
        unsigned j = 0;
        for (; j < oc.channel_num && j < MAX_CHANNEL_NUM_PER_OPCLASS; ++j) {
            oc.channel[j] = in.u8();
            LUSL_LOG(kModTlv, kDebug, "[TLV] channel=%hhu\n", oc.channel[j]);
        }
        in.skip(oc.channel_num - j); // channels without room, so the preference is read in place
        // The wire has the preference in the high nibble; the record keeps it in the low one.
        const uint8_t b = in.u8();
        oc.pref_reason = static_cast<uint8_t>((b >> 4) | ((b & 0x0F) << 4));
        LUSL_LOG(kModTlv, kDebug,
                 "[TLV] ChPrefRpt: Radio " LUSL_MAC_FMT ", OpClass=%u ,Preference=%u ,ReasonCode=%u\n",
                 LUSL_MAC_ARG(radio.ruid), unsigned{oc.op_class}, unsigned{oc.pref_reason} & 0x0Fu,
                 unsigned{oc.pref_reason} >> 4);
    }
    return 0;
}

int h_CacStatusReport(Reader& in, uint8_t* record, const Args&)
{
    if (!cac_fits(in)) return refuse_short("CacStatusRpt", in.size());
    auto& r = as_rpt(record);
    r.cac_present = 1;

    // Counts are kept as received; entries past the room are stepped over.
    r.available_num = in.u8();
    LUSL_LOG(kModTlv, kDebug, "[TLV] CacStatusRpt: device " LUSL_MAC_FMT ", NumAvailableCh=%hhu\n",
             LUSL_MAC_ARG(r.device_mac), r.available_num);
    for (unsigned i = 0; i < r.available_num; ++i) {
        if (i >= CAC_MAX_AVAILABLE) {
            in.skip(4);
            continue;
        }
        CacAvailableChannel& e = r.available[i];
        e.op_class = in.u8();
        e.channel = in.u8();
        e.minutes = in.be16();
        LUSL_LOG(kModTlv, kDebug, "[TLV] CacStatusRpt: available OpClass=%hhu Channel=%hhu Minutes=%hu\n",
                 e.op_class, e.channel, static_cast<unsigned short>(e.minutes));
    }

    r.non_occupancy_num = in.u8();
    LUSL_LOG(kModTlv, kDebug, "[TLV] CacStatusRpt: device " LUSL_MAC_FMT ", NumNonOccupancy=%hhu\n",
             LUSL_MAC_ARG(r.device_mac), r.non_occupancy_num);
    for (unsigned i = 0; i < r.non_occupancy_num; ++i) {
        if (i >= CAC_MAX_NON_OCCUPANCY) {
            in.skip(4);
            continue;
        }
        CacNonOccupancyChannel& e = r.non_occupancy[i];
        e.op_class = in.u8();
        e.channel = in.u8();
        e.seconds = in.be16();
        LUSL_LOG(kModTlv, kDebug, "[TLV] CacStatusRpt: nonOccupancy OpClass=%hhu Channel=%hhu Seconds=%hu\n",
                 e.op_class, e.channel, static_cast<unsigned short>(e.seconds));
    }

    r.active_num = in.u8();
    LUSL_LOG(kModTlv, kDebug, "[TLV] CacStatusRpt: device " LUSL_MAC_FMT ", NumActiveCacOngoing=%hhu\n",
             LUSL_MAC_ARG(r.device_mac), r.active_num);
    for (unsigned i = 0; i < r.active_num; ++i) {
        if (i >= CAC_MAX_ACTIVE) {
            in.skip(5);
            continue;
        }
        CacActiveChannel& e = r.active[i];
        e.op_class = in.u8();
        e.channel = in.u8();
        e.countdown = in.be24();
        LUSL_LOG(kModTlv, kDebug, "[TLV] CacStatusRpt: Active OpClass=%hhu Channel=%hhu Countdown=%u\n",
                 e.op_class, e.channel, static_cast<unsigned>(e.countdown));
    }
    return 0;
}

} // namespace lusl

// Both extractors ignore their length: they trust the caller's value, as documented.
extern "C" LUSL_API int tlv_ChannelPreference_extract(const uint8_t* value, uint8_t* record, uint16_t,
                                                      const uint8_t*)
{
    return lusl::run_handler(lusl::h_ChannelPreference, value, lusl::kMaxTlvLen, record);
}

extern "C" LUSL_API int tlv_CacStatusReport_extract(const uint8_t* value, uint8_t* record, uint16_t,
                                                    const uint8_t*)
{
    return lusl::run_handler(lusl::h_CacStatusReport, value, lusl::kMaxTlvLen, record);
}
