// SPDX-License-Identifier: BSD-2-Clause
#include <cstdlib>

#include "core/catalogue.h"
#include "core/core.h"
#include "core/dispatch.h"
#include "core/log.h"
#include "luSL/luSL.h"

namespace lusl {

int refuse_short(const char* tlv, size_t len)
{
    LUSL_LOG(kModTlv, kErr, "[TLV] %s: TLV length %u is too short for its content\n", tlv,
             static_cast<unsigned>(len));
    return -1;
}

namespace {

// The failures of the framing, out of the loop.
[[gnu::cold, gnu::noinline]] int header_past_end(uint8_t t)
{
    LUSL_LOG(kModTlv, kErr, "[TLV] TLV type=0x%02X header runs past the end of the stream\n", t);
    return -1;
}
[[gnu::cold, gnu::noinline]] int zero_length()
{
    LUSL_LOG(kModTlv, kWarn, "[TLV] ptlv_header->length is zero, STOP parsing!!\n");
    return -1;
}
[[gnu::cold, gnu::noinline]] int value_past_end(size_t t, size_t len)
{
    LUSL_LOG(kModTlv, kErr, "[TLV] TLV type=0x%02X length=%u runs past the end of the stream\n", static_cast<unsigned>(t),
             static_cast<unsigned>(len));
    return -1;
}

// Out of line too, though not rare: the loop keeps no copy of the type for it.
[[gnu::noinline]] void unknown_tlv(size_t t)
{
    LUSL_LOG(kModTlv, kDebug, "[TLV] Unknown TLV type=0x%02X\n", static_cast<unsigned>(t));
}

} // namespace

int walk(uint16_t type, const uint8_t* tlvs, size_t len, uint8_t* record, const uint8_t* src_mac)
{
    LUSL_LOG(kModMsg, kDebug, "[MSG] Process tlv of %s(0x%04X)\n", display_name(type), type);

    int result = 0;
    // Indexed by Counter; [kNoCounter] counts what no row takes an ordinal from.
    unsigned counts[3] = {};
    Args args;
    args.src_mac = src_mac;

    if (type == kApMetricsResp) {
        pAssocStaLinkMetricBuffer = static_cast<AssocStaLinkMetricBuffer*>(calloc(1, kScratchTableSize));
        if (!pAssocStaLinkMetricBuffer) {
            LUSL_LOG(kModMsg, kErr, "Allocate memroy for buffer AssociStaTrafficStats and AssociStaLinkMetric fail\n");
            // An AP Metrics Response without its stations would look complete: do not send it.
            return -1;
        }
        args.scratch = pAssocStaLinkMetricBuffer;
        scratch_index_reset();
    }
    if (!tlvs) len = 0;

    // p: the type byte of the next TLV; left: the stream's bytes from p on.
    const uint8_t* p = tlvs;
    for (size_t left = len;;) {
        // The stream ends at its length or at a type byte of 0, whichever comes first.
        if (left < 3) [[unlikely]] {
            if (left == 0 || *p == 0) break;
            return header_past_end(*p);
        }
        const size_t t = *p;
        if (t == 0) break;
        const size_t tlv_len = static_cast<size_t>(p[1]) << 8 | p[2];
        left -= 3;
        // One test for both: a zero length (wrapping round) and a value past the end.
        if (tlv_len - 1 >= left) [[unlikely]] {
            // Only TLVs after the first are checked for a zero length.
            if (tlv_len == 0) {
                if (p != tlvs) return zero_length();
            } else {
                return value_past_end(t, tlv_len);
            }
        }
        left -= tlv_len;
        const uint8_t* const value = p + 3;
        p = value + tlv_len;

        const TlvRows rows = kTlvIndex.of[t];
        const Row* row = kDispatchRows + rows.first;
        if (rows.msg != type || (rows.info & kSlowTlv)) [[unlikely]] {
            if (rows.info & kUnknownTlv) {
                unknown_tlv(t);
                continue;
            }
            // Counters count every TLV of their kinds, whatever the message.
            args.ordinal = counts[counter_of(rows)]++;
            // At most one of a type's rows names this message.
            if (row->msg != type && (!(rows.info & kSecondRow) || (++row)->msg != type)) continue;
        }
        int r;
        if (row->by_value) {
            r = row->value(value, tlv_len, record, args);
        } else {
            Reader in(value, tlv_len);
            r = row->reader(in, record, args);
        }
        if (row->ored) result |= r;
    }
    return result;
}

} // namespace lusl

extern "C" LUSL_API int process_tlv(uint32_t type, const uint8_t* tlvs, uint8_t* record, const uint8_t* src_mac)
{
    return lusl::walk(static_cast<uint16_t>(type), tlvs, lusl::kUnbounded, record, src_mac);
}
