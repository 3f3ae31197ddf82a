// SPDX-License-Identifier: BSD-2-Clause
// Operating Channel Report: per radio, the current channel of each operating class and the
// transmit power. One TLV per radio; the walker's shared ordinal picks the radio entry.
#include <cstring>

#include "core/dispatch.h"
#include "core/record.h"
#include "core/log.h"
#include "luSL/luSL.h"

namespace lusl {
namespace {

// Fills e.pair[] with the pairs from `pairs` (e.op_class_num of them) by repeated selection
// of the smallest operating class; ties keep their input order. Operating class 0 marks a
// pair already taken, so once only such pairs are left a pass repeats the last choice with
// class 0. At most OPERCHAN_MAX_OPCLASS pairs are kept.
void sort_pairs(Reader& pairs, OperChanRadio& e)
{
    const unsigned n = e.op_class_num;
    OperChanPair scratch[255];
    if (n == 0 || !pairs.copy(scratch, 2 * size_t{n})) return;

    unsigned chosen = 0;
    for (unsigned k = 0; k < n; ++k) {
        bool found = false;
        for (unsigned j = 0; j < n; ++j) {
            const uint8_t oc = scratch[j].op_class;
            if (oc != 0 && (!found || oc < scratch[chosen].op_class)) {
                found = true;
                chosen = j;
            }
        }
        if (k == OPERCHAN_MAX_OPCLASS) {
            LUSL_LOG(kModTlv, kErr, "[TLV] OperChanRpt: Too many reports\n");
            return;
        }
        e.pair[k] = scratch[chosen];
        scratch[chosen].op_class = 0;
    }
}

} // namespace

int h_OperatingChannelReport(Reader& in, uint8_t* record, const Args& args)
{
    auto& r = record_as<OperatingChanRpt>(record);
    const unsigned radio = args.ordinal;
    if (radio >= MAX_RADIO_PER_DEVICE) {
        LUSL_LOG(kModTlv, kErr, "[TLV] OperChanRpt: Exceed maximum radio number per device\n");
        return 0;
    }
    // RUID, count n, n pairs, transmit power.
    if (!in.has(7) || !in.has(8 + 2 * size_t{in.peek(6)})) return refuse_short("OperChanRpt", in.size());

    if (args.src_mac)
        std::memcpy(r.device_mac, args.src_mac, 6);
    else
        LUSL_LOG(kModTlv, kErr, "[TLV] Warning!!! Device_mac is NULL!!.\n");
    r.radio_num = static_cast<uint8_t>(radio + 1);

    OperChanRadio& e = r.radio[radio];
    in.copy(e.ruid, 6);
    const uint8_t n = in.u8();
    e.op_class_num = n;
    Reader pairs = in.sub(2 * size_t{n});
    sort_pairs(pairs, e);
    e.tx_power = in.u8(); // behind all n pairs, kept or not
    LUSL_LOG(kModTlv, kDebug, "[TLV] OperChanRpt: radio " LUSL_MAC_FMT ", opclassNum=%d\n", LUSL_MAC_ARG(e.ruid),
             int{n});
    if (n > OPERCHAN_MAX_OPCLASS) e.op_class_num = OPERCHAN_MAX_OPCLASS;
    for (int j = 0; j < e.op_class_num; ++j)
        LUSL_LOG(kModTlv, kDebug, "[TLV] [%d] opclass=%d, curchan=%d\n", j, int{e.pair[j].op_class},
                 int{e.pair[j].channel});
    return 0;
}

} // namespace lusl

// The length is not used: the caller vouches for the value.
extern "C" LUSL_API int tlv_OperatingChannelReport_extract(const uint8_t* value, uint8_t* record, uint16_t,
                                                           unsigned int ordinal, const uint8_t* src_mac)
{
    lusl::Args args;
    args.ordinal = ordinal;
    args.src_mac = src_mac;
    return lusl::run_handler(lusl::h_OperatingChannelReport, value, lusl::kMaxTlvLen, record, args);
}

extern "C" LUSL_API int SortOpClassOrder(const uint8_t* pairs, uint8_t* radio_entry)
{
    auto& e = *reinterpret_cast<OperChanRadio*>(radio_entry);
    lusl::Reader in(pairs, 2 * size_t{e.op_class_num});
    lusl::sort_pairs(in, e);
    return 0;
}
