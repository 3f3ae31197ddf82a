// SPDX-License-Identifier: BSD-2-Clause
// Client Capability Report: the station's identity and the body of its last
// (re)association request, kept raw and summarised element by element.
#include <cstdio>

#include "core/dispatch.h"
#include "core/record.h"
#include "core/log.h"
#include "luSL/luSL.h"
#include "reports/capability/client_elements.h"

namespace lusl {
namespace {

CliCapRpt& as_cli(uint8_t* record) { return record_as<CliCapRpt>(record); }

// Reads the elements behind `fixed` bytes of fixed fields. A body with nothing after its
// fixed fields cannot be this kind of request.
bool read_layout(const Reader& body, size_t fixed, CliCapRpt& r)
{
    Reader elems = body;
    if (!elems.skip(fixed)) return false;
    return client::parse_request_elements(elems.sub(elems.remaining()), r) == 0;
}

} // namespace

int h_ClientInfo(Reader& in, uint8_t* record, const Args&)
{
    CliCapRpt& r = as_cli(record);
    if (!in.has(12)) return refuse_short("ClientInfo", in.size());
    in.copy(r.bssid, 6);
    in.copy(r.sta_mac, 6);
    LUSL_LOG(kModTlv, kDebug, "[TLV] ClientInfo: assocaited BSS " LUSL_MAC_FMT ", STA " LUSL_MAC_FMT "\n",
             LUSL_MAC_ARG(r.bssid), LUSL_MAC_ARG(r.sta_mac));
    return 0;
}

int h_ClientCapabilityReport(Reader& in, uint8_t* record, const Args&)
{
    CliCapRpt& r = as_cli(record);
    // Without its result code the TLV says nothing, not even that the request was empty.
    if (!in.has(1)) return refuse_short("ClientCap", in.size());

    if (in.u8() != 0) {
        std::puts("[LSL] [TLV] ClientCap: Result code not success.");
    } else if (in.remaining() == 0) {
        std::puts("[LSL] [TLV] ClientCap: Receive empty client capability.");
    } else {
        const Reader body = in.sub(in.remaining());
        // A body longer than the record's room is kept cut to that room, with its stored
        // length, so the record stays self-consistent; the elements are still read from
        // the whole body, so nothing the station announced is lost from the summary.
        const size_t kept = body.size() < CLI_CAP_FRAME_MAX ? body.size() : CLI_CAP_FRAME_MAX;
        r.frame_len = static_cast<uint16_t>(kept);
        Reader copy = body;
        copy.copy(r.frame, kept);

        // Capability Information and Listen Interval; then also the Current AP Address;
        // then a body that starts with its elements. The first layout read wins.
        if (read_layout(body, 4, r)) {
            LUSL_LOG(kModTlv, kDebug, "[TLV] ClientCap: association request frame extract success\n");
        } else if (read_layout(body, 10, r)) {
            LUSL_LOG(kModTlv, kDebug, "[TLV] ClientCap: reassociation request frame extract success\n");
        } else if (read_layout(body, 0, r)) {
            LUSL_LOG(kModTlv, kDebug, "[TLV] ClientCap: request frame extract success, but start with tag\n");
        } else {
            LUSL_LOG(kModTlv, kErr, "[TLV] ClientCap: extract frame fail\n");
            return -1;
        }
    }

    LUSL_LOG(kModTlv, kErr,
             "[TLV] ClientCap: bandwidthHT=%02X, bandwidthVHT=%02X, bandwidthHE=%02X, bandwidthEHT=%02X, "
             "shortGI=%d, support11v=%d, current phytype=%02X, max mcs=%02X\n",
             r.bw_ht, r.bw_vht, r.bw_he, static_cast<unsigned>(r.bw_eht), r.short_gi, r.support11v, r.cur_phy_type,
             r.max_mcs);
    return 0;
}

} // namespace lusl

extern "C" {

LUSL_API int tlv_ClientInfo_extract(const uint8_t* value, uint8_t* record)
{
    return lusl::run_handler(lusl::h_ClientInfo, value, lusl::kMaxTlvLen, record);
}

LUSL_API int tlv_ClientCapabilityReport_extract(const uint8_t* value, uint8_t* record, uint16_t length)
{
    return lusl::run_handler(lusl::h_ClientCapabilityReport, value, length, record);
}

} // extern "C"
