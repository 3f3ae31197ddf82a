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

int walk(uint16_t type, const uint8_t* tlvs, size_t len, uint8_t* record, const uint8_t* src_mac)
{
    LUSL_LOG(kModMsg, kDebug, "[MSG] Process tlv of %s(0x%04X)\n", display_name(type), type);

    int result = 0;
    unsigned ap_metrics_count = 0;
    unsigned shared_count = 0;
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
        args.scratch_indexed = true;
        scratch_index_reset();
    }
    if (!tlvs) len = 0;

    size_t pos = 0;
    while (pos < len && tlvs[pos] != 0) {
        const uint8_t t = tlvs[pos];
        if (len - pos < 3) {
            LUSL_LOG(kModTlv, kErr, "[TLV] TLV type=0x%02X header runs past the end of the stream\n", t);
            return -1;
        }
        const size_t tlv_len = static_cast<size_t>(tlvs[pos + 1]) << 8 | tlvs[pos + 2];
        if (tlv_len > len - pos - 3) {
            LUSL_LOG(kModTlv, kErr, "[TLV] TLV type=0x%02X length=%u runs past the end of the stream\n", t,
                     static_cast<unsigned>(tlv_len));
            return -1;
        }

        const RowSpan rows = rows_for(t);
        if (rows.count == 0) {
            LUSL_LOG(kModTlv, kDebug, "[TLV] Unknown TLV type=0x%02X\n", t);
        } else {
            // Counters count every TLV of their kinds, whatever the message.
            if (t == 0x94) ++ap_metrics_count;
            if (t == 0x8F || t == 0xC6) ++shared_count;
            for (size_t i = 0; i < rows.count; ++i) {
                const Row& row = rows.first[i];
                if (row.msg != type) continue;
                args.ordinal = (row.extra & kOrdinalAp)       ? ap_metrics_count - 1
                               : (row.extra & kOrdinalShared) ? shared_count - 1
                                                              : 0;
                Reader in(tlvs + pos + 3, tlv_len);
                const int r = row.handler(in, record, args);
                if (row.ored) result |= r;
            }
        }

        pos += 3 + tlv_len;
        // Only TLVs after the first are checked for a zero length.
        if (pos < len && tlvs[pos] != 0 && len - pos >= 3 && tlvs[pos + 1] == 0 && tlvs[pos + 2] == 0) {
            LUSL_LOG(kModTlv, kWarn, "[TLV] ptlv_header->length is zero, STOP parsing!!\n");
            return -1;
        }
    }
    return result;
}

} // namespace lusl

extern "C" LUSL_API int process_tlv(uint32_t type, const uint8_t* tlvs, uint8_t* record, const uint8_t* src_mac)
{
    return lusl::walk(static_cast<uint16_t>(type), tlvs, lusl::kUnbounded, record, src_mac);
}
