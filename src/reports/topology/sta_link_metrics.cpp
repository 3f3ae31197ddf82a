// SPDX-License-Identifier: BSD-2-Clause
// Associated and Unassociated STA Link Metric Responses.
#include <cstring>

#include "core/dispatch.h"
#include "core/record.h"
#include "core/log.h"
#include "luSL/luSL.h"

namespace lusl {

int h_AssociStaLinkMetric2(Reader& in, uint8_t* record, const Args&)
{
    auto& r = record_as<AssocStaMetricsResp>(record);
    // STA MAC, BSSID count, 19 bytes per BSSID; only the first BSSID is kept.
    if (!in.has(7) || !in.has(7 + 19 * size_t{in.peek(6)})) return refuse_short("AssocStaLink", in.size());

    in.copy(r.sta_mac, 6);
    if (in.u8() == 0) {
        LUSL_LOG(kModTlv, kErr, "[TLV] Can't found bssid which associated station\n");
        return 0;
    }
    in.copy(r.bssid, 6);
    in.skip(4); // time delta
    r.downlink_rate = in.be32();
    r.uplink_rate = in.be32();
    r.uplink_rcpi = in.u8();
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] AssocStaLink: STA " LUSL_MAC_FMT ", associated BSS " LUSL_MAC_FMT
             ", uplink/downlink rate=%d/%d, RCPI=%d\n",
             LUSL_MAC_ARG(r.sta_mac), LUSL_MAC_ARG(r.bssid), static_cast<int>(r.uplink_rate),
             static_cast<int>(r.downlink_rate), int{r.uplink_rcpi});
    return 0;
}

int h_UnAssociStaLinkMetric(Reader& in, uint8_t* record, const Args& args)
{
    auto& r = record_as<UnAssocStaMetricsResp>(record);
    if (!in.has(2)) return refuse_short("UnassocStaLink", in.size());

    if (args.src_mac)
        std::memcpy(r.device_mac, args.src_mac, 6);
    else
        LUSL_LOG(kModTlv, kErr, "[TLV] Warning!!! Device_mac is NULL!!.\n");
    r.op_class = in.u8();
    const uint8_t n = in.u8();
    const unsigned kept = n < UNASSOC_MAX_STA ? n : UNASSOC_MAX_STA;

    // A station that does not fit the length is left out, and so is every one after it.
    for (unsigned i = 0; i < kept && in.has(12); ++i) {
        UnAssocStaEntry& e = r.sta[i];
        in.copy(e.sta_mac, 6);
        e.channel = in.u8();
        in.skip(4); // time delta
        e.uplink_rcpi = in.u8();
    }
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] UnassocStaLink: device " LUSL_MAC_FMT ", opclass=%hhu, stacnt=%hhu\n",
             LUSL_MAC_ARG(r.device_mac), r.op_class, n);
    for (unsigned i = 0; i < kept; ++i)
        LUSL_LOG(kModTlv, kDebug, "[TLV] UnassocStaLink:  STA " LUSL_MAC_FMT ", channel=%hhu, RCPI=%hhu\n",
                 LUSL_MAC_ARG(r.sta[i].sta_mac), r.sta[i].channel, r.sta[i].uplink_rcpi);
    return 0;
}

} // namespace lusl

extern "C" LUSL_API int tlv_AssociStaLinkMetric2_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_AssociStaLinkMetric2, value, lusl::kMaxTlvLen, record);
}

extern "C" LUSL_API int tlv_UnAssociStaLinkMetric_extract(const uint8_t* value, uint8_t* record, uint16_t length,
                                                          const uint8_t* src_mac)
{
    lusl::Args args;
    args.src_mac = src_mac;
    return lusl::run_handler(lusl::h_UnAssociStaLinkMetric, value, length, record, args);
}
