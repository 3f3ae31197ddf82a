// SPDX-License-Identifier: BSD-2-Clause
// Steering reports: Client Steering BTM Report (0x8015) and Backhaul Steering Response
// (0x801A), each filled from a single TLV.
#include <cstring>

#include "core/dispatch.h"
#include "core/log.h"
#include "luSL/luSL.h"
#include "core/record.h"

namespace lusl {
namespace {


constexpr size_t kBtmReportLen = 13;           // BSSID, STA MAC, status code
constexpr size_t kBtmReportWithTargetLen = 19; // ... and the target BSSID
constexpr size_t kBhSteeringRespLen = 13;      // STA MAC, target BSSID, result code

} // namespace

int h_SteeringBTMReport(Reader& in, uint8_t* record, const Args&)
{
    auto& r = record_as<ClientSteeringBTMRpt>(record);
    if (!in.has(kBtmReportLen)) return refuse_short("SteeringBTMRpt", in.size());
    in.copy(r.bssid, 6);
    in.copy(r.sta_mac, 6);
    r.status_code = in.u8();
    // The target BSSID is there only when the length says so, exactly.
    std::memset(r.target_bssid, 0, sizeof r.target_bssid);
    if (in.size() == kBtmReportWithTargetLen) in.copy(r.target_bssid, 6);
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] SteeringBTMRpt: BSS " LUSL_MAC_FMT ", STA " LUSL_MAC_FMT ", targetBSS " LUSL_MAC_FMT
             ", status code=%hhu\n",
             LUSL_MAC_ARG(r.bssid), LUSL_MAC_ARG(r.sta_mac), LUSL_MAC_ARG(r.target_bssid), r.status_code);
    return 0;
}

int h_BHSteeringResp(Reader& in, uint8_t* record, const Args&)
{
    auto& r = record_as<BHSteeringResp>(record);
    if (!in.has(kBhSteeringRespLen)) return refuse_short("BHSteeringRsp", in.size());
    in.copy(r.sta_mac, 6);
    in.copy(r.target_bssid, 6);
    r.result = in.u8();
    LUSL_LOG(kModTlv, kDebug,
             "[TLV] BHSteeringRsp: STA " LUSL_MAC_FMT ", target BSS " LUSL_MAC_FMT ", result=%hhu\n",
             LUSL_MAC_ARG(r.sta_mac), LUSL_MAC_ARG(r.target_bssid), r.result);
    return 0;
}

} // namespace lusl

extern "C" {

LUSL_API int tlv_SteeringBTMReport_extract(const uint8_t* value, uint8_t* record, uint16_t length)
{
    return lusl::run_handler(lusl::h_SteeringBTMReport, value, length, record);
}

// The length is accepted and not used: the documented extractor reads 13 bytes whatever it says.
LUSL_API int tlv_BHSteeringResp_extract(const uint8_t* value, uint8_t* record, uint16_t)
{
    return lusl::run_handler(lusl::h_BHSteeringResp, value, lusl::kMaxTlvLen, record);
}

} // extern "C"
