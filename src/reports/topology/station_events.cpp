// SPDX-License-Identifier: BSD-2-Clause
// Station events: Topology Notification, Client Disassociation Stats, Failed Connection,
// Association Status Notification.
#include <cstring>

#include "core/dispatch.h"
#include "core/record.h"
#include "core/log.h"
#include "luSL/luSL.h"

namespace lusl {
namespace {

int read_mac(Reader& in, uint8_t (&field)[6], const char* tlv)
{
    return in.copy(field, 6) ? 0 : refuse_short(tlv, in.size());
}

} // namespace

int h_ClientAssoc(Reader& in, uint8_t* record, const Args&)
{
    auto& r = record_as<TopologyNotification>(record);
    if (!in.has(13)) return refuse_short("ClientAssoc", in.size());
    in.copy(r.client_mac, 6);
    in.copy(r.bssid, 6);
    r.assoc_event = static_cast<uint8_t>(in.u8() >> 7);
    return 0;
}

int h_Sta_ClientDisassoc(Reader& in, uint8_t* record, const Args&)
{
    return read_mac(in, record_as<ClientDisassocStat>(record).sta_mac, "ClientDisassoc STA");
}

int h_ReasonCode_ClientDisassoc(Reader& in, uint8_t* record, const Args&)
{
    // Big-endian on the wire, host order in the record.
    if (!in.has(2)) return refuse_short("ClientDisassoc ReasonCode", in.size());
    record_as<ClientDisassocStat>(record).reason_code = in.be16();
    return 0;
}

int h_Sta_FailedConn(Reader& in, uint8_t* record, const Args&)
{
    return read_mac(in, record_as<FailedConn>(record).sta_mac, "FailedConn STA");
}

int h_BSSID(Reader& in, uint8_t* record, const Args&)
{
    return read_mac(in, record_as<FailedConn>(record).bssid, "FailedConn BSSID");
}

int h_StatusCode(Reader& in, uint8_t* record, const Args&)
{
    // Big-endian on the wire, host order in the record.
    if (!in.has(2)) return refuse_short("FailedConn StatusCode", in.size());
    record_as<FailedConn>(record).status_code = in.be16();
    return 0;
}

int h_ReasonCode_FailedConn(Reader& in, uint8_t* record, const Args&)
{
    // Big-endian on the wire, host order in the record.
    if (!in.has(2)) return refuse_short("FailedConn ReasonCode", in.size());
    record_as<FailedConn>(record).reason_code = in.be16();
    return 0;
}

int h_AssocStatusNotification(Reader& in, uint8_t* record, const Args&)
{
    auto& r = record_as<AssocStatusNotification>(record);
    if (!in.has(1)) return refuse_short("AsscoStatusNotification", in.size());
    const uint8_t n = in.u8();
    if (n > MAX_BSS_PER_DEVICE) {
        LUSL_LOG(kModTlv, kErr, "[TLV] AsscoStatusNotification: Exceed maximum BSS number per device\n");
        return -1;
    }
    if (!in.has(size_t{7} * n)) return refuse_short("AsscoStatusNotification", in.size());
    r.bss_num = n;
    for (unsigned i = 0; i < n; ++i) {
        AssocStatusBss& e = r.bss[i];
        in.copy(e.bssid, 6);
        e.allowance = in.u8();
        LUSL_LOG(kModTlv, kDebug,
                 "[TLV] AsscoStatusNotification: BSS " LUSL_MAC_FMT ", AssocAllowanceStatus=%d\n",
                 LUSL_MAC_ARG(e.bssid), e.allowance);
    }
    return 0;
}

} // namespace lusl

extern "C" {

#define LUSL_SHIM(name)                                                               \
    LUSL_API int tlv_##name##_extract(const uint8_t* value, uint8_t* record)          \
    {                                                                                 \
        return lusl::run_handler(lusl::h_##name, value, lusl::kMaxTlvLen, record);    \
    }

LUSL_SHIM(ClientAssoc)
LUSL_SHIM(Sta_ClientDisassoc)
LUSL_SHIM(ReasonCode_ClientDisassoc)
LUSL_SHIM(Sta_FailedConn)
LUSL_SHIM(BSSID)
LUSL_SHIM(StatusCode)
LUSL_SHIM(ReasonCode_FailedConn)
LUSL_SHIM(AssocStatusNotification)

#undef LUSL_SHIM
} // extern "C"
