// SPDX-License-Identifier: BSD-2-Clause
#include <cstdlib>
#include <cstring>

#include "core/catalogue.h"
#include "core/core.h"
#include "core/log.h"
#include "luSL/luSL.h"

namespace lusl {

int parse(uint16_t type, const uint8_t* tlvs, size_t len, uint16_t port, const uint8_t* src_mac)
{
    LUSL_LOG(kModMsg, kDebug, "[MSG] Parsing %s(0x%04X)\n", display_name(type), type);

    const MsgType* t = record_of(type);
    if (!t) {
        LUSL_LOG(kModMsg, kWarn, "Unknown message type (%04x)\n", type);
        return -1;
    }
    if (t->get_slot()) {
        LUSL_LOG(kModMsg, kErr, "[MSG] Error while parsing %s(0x%04X)!!!\n", display_name(type), type);
        return -1;
    }
    auto* record = static_cast<uint8_t*>(calloc(1, t->record_size));
    if (!record) {
        LUSL_LOG(kModMsg, kErr, "Allocate memroy for message (%04x) fail\n", type);
        return -1;
    }
    t->set_slot(record);
    record[0] = static_cast<uint8_t>(type & 0xFF);
    record[1] = static_cast<uint8_t>(type >> 8);
    // A null source MAC leaves the field zero rather than crashing the daemon.
    if (type == kChannelPreferenceRpt && src_mac) std::memcpy(record + 2, src_mac, 6);

    int sent = -1;
    if (walk(type, tlvs, len, record, src_mac) == 0 && send_record(type, record, port, msg_sock_fd)) sent = 0;
    luSL_Msg_free(type);
    return sent;
}

} // namespace lusl

extern "C" {

LUSL_API void luSL_Msg_parser(uint32_t type, const uint8_t* tlvs, uint32_t dest_port, const uint8_t* src_mac)
{
    lusl::parse(static_cast<uint16_t>(type), tlvs, lusl::kUnbounded, static_cast<uint16_t>(dest_port), src_mac);
}

LUSL_API int luSL_Msg_parser_n(uint32_t type, const uint8_t* tlvs, size_t len, uint32_t dest_port,
                               const uint8_t* src_mac)
{
    return lusl::parse(static_cast<uint16_t>(type), tlvs, len, static_cast<uint16_t>(dest_port), src_mac);
}

} // extern "C"
