// SPDX-License-Identifier: BSD-2-Clause
// Compact form of the AP Metrics Response: the record is far larger than a datagram and
// mostly empty, so only the announced radios, BSSs and stations are sent, each station
// with only its TID entries. Fields are copied byte for byte from the record (host order,
// little-endian on every target), in runs where the record already has the wire order.
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/bytes.h"
#include "core/log.h"
#include "luSL/luSL.h"

namespace lusl {
namespace {

constexpr size_t kCap = SOCKET_MAX_LENGTH;
constexpr size_t kBssBlock = 45;
// A station is let in only while a whole record entry would still fit, although its block
// takes at most 74 bytes: receivers size their buffers by this rule.
constexpr size_t kStaRoom = sizeof(ApMetricsSta);

// Runs of the record that the compact form carries unchanged.
constexpr size_t kStaHeadAt = offsetof(ApMetricsSta, mac);
constexpr size_t kStaHeadLen = offsetof(ApMetricsSta, tid_num) - kStaHeadAt; // MAC .. retransmissions
constexpr size_t kStaTailAt = offsetof(ApMetricsSta, last_dl_rate);
constexpr size_t kStaTailLen = sizeof(ApMetricsSta) - kStaTailAt; // extended rates, utilisation
constexpr size_t kBssHeadLen = offsetof(ApMetricsBss, sta_num);   // BSSID, utilisation
constexpr size_t kBssCountersAt = offsetof(ApMetricsBss, uc_bytes_sent);
constexpr size_t kBssCountersLen = offsetof(ApMetricsBss, esp_include) - kBssCountersAt;
static_assert(kStaHeadLen == 49 && kStaTailLen == 16 && kBssHeadLen == 7 && kBssCountersLen == 24);
static_assert(kBssHeadLen + kBssCountersLen + sizeof(ApMetricsBss::esp) + 2 == kBssBlock);

const uint8_t* bytes_of(const void* p) { return static_cast<const uint8_t*>(p); }

void put_le16(uint8_t* at, uint16_t v)
{
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}

void log_no_room()
{
    LUSL_LOG(kModMsg, kErr, "[MSG] ApMetrcsResp: ERROR!!!: offset is bigger than SOCKET_MAX_LENGTH:%d\n",
             SOCKET_MAX_LENGTH);
}

// Two 32-byte moves: MAC to TID entries and a little beyond, within the entry and the block.
constexpr size_t kStaFrontLen = 64;
static_assert(kStaHeadAt + kStaHeadLen == offsetof(ApMetricsSta, tid_num) &&
              kStaHeadLen + 1 + sizeof(ApMetricsSta::tid) <= kStaFrontLen &&
              kStaHeadAt + kStaFrontLen <= sizeof(ApMetricsSta) && kStaFrontLen <= kStaHeadLen + 1 + kStaTailLen);

void put_station(Writer& w, const ApMetricsSta& sta)
{
    const uint8_t* e = bytes_of(&sta);
    // A TID count the entry has no room for is not trusted past its four entries.
    const uint8_t n = sta.tid_num < LUSL_MAX_TID_PER_STA ? sta.tid_num : LUSL_MAX_TID_PER_STA;
    // The block is written in fixed-size pieces: the entry from its MAC to past all four TID
    // entries, the count over the entry's, then the tail over the TID entries not counted.
    // Every piece lies inside the block.
    uint8_t* at = w.claim(kStaHeadLen + 1 + size_t{2} * n + kStaTailLen);
    if (!at) return;
    copy_fixed<kStaFrontLen>(at, e + kStaHeadAt);
    at[kStaHeadLen] = n;
    copy_fixed<kStaTailLen>(at + kStaHeadLen + 1 + size_t{2} * n, e + kStaTailAt);
}

// Encodes r into buf; counts lowered for lack of room are written back to `own` (the
// record in the slot) when there is one. Returns the length, 0 when refused.
int encode(const ApMetricsResp& r, ApMetricsResp* own, uint8_t* buf)
{
    Writer w(buf, kCap);
    const uint8_t bss_num = r.bss_num;
    const uint8_t radio_num = r.radio_num;
    w.bytes(&r.hdr, sizeof r.hdr);
    w.u8(bss_num);
    w.u8(radio_num);
    if (radio_num > MAX_RADIO_PER_DEVICE) {
        LUSL_LOG(kModMsg, kErr, "[MSG] ApMetrcsResp: ERROR!!!: radio counts is bigger than MAX_RADIO_PER_DEVICE:%hhu\n",
                 radio_num);
        return 0;
    }
    w.bytes(r.radio, sizeof(ApMetricsRadio) * radio_num);
    if (bss_num > MAX_BSS_PER_DEVICE) {
        LUSL_LOG(kModMsg, kErr, "[MSG] ApMetrcsResp: ERROR!!!: bss counts is bigger than MAX_BSS_PER_DEVICE:%hhu\n",
                 bss_num);
        return 0;
    }

    for (uint8_t b = 0; b < bss_num; ++b) {
        const ApMetricsBss& bss = r.bss[b];
        if (!w.has(kBssBlock)) {
            // Not even the BSS block fits (nor, then, any later one): announce fewer BSSs.
            log_no_room();
            buf[offsetof(ApMetricsResp, bss_num)] = b;
            if (own) own->bss_num = b;
            break;
        }
        const uint8_t* e = bytes_of(&bss);
        w.bytes(e, kBssHeadLen);
        w.bytes(e + kBssCountersAt, kBssCountersLen);
        w.bytes(bss.esp, sizeof bss.esp);
        const size_t count_at = w.size();
        const uint16_t sta_num = bss.sta_num;
        w.le16(sta_num);
        if (sta_num > MAX_STA_PER_BSS) {
            LUSL_LOG(kModMsg, kErr, "[MSG] ApMetrcsResp: ERROR!!!: sta counts is bigger than MAX_STA_PER_BSS:%hu\n",
                     sta_num);
            return 0;
        }
        for (uint16_t s = 0; s < sta_num; ++s) {
            if (w.size() + kStaRoom > kCap) {
                log_no_room();
                put_le16(buf + count_at, s);
                if (own) own->bss[b].sta_num = s;
                break;
            }
            put_station(w, bss.sta[s]);
        }
    }
    // Every block was checked against the room left, so the writer cannot have failed.
    return w.ok() ? static_cast<int>(w.size()) : 0;
}

} // namespace
} // namespace lusl

extern "C" LUSL_API int luSL_ApMetricsRespSendV2(const uint8_t* record)
{
    using namespace lusl;
    // One buffer per message: a second encoding before luSL_Msg_free reuses it.
    if (!pApMetricsRespSendBuf) pApMetricsRespSendBuf = static_cast<uint8_t*>(malloc(kCap));
    if (!pApMetricsRespSendBuf) {
        LUSL_LOG(kModMsg, kErr, "malloc fail.\n");
        return 0;
    }
    // The parser's record is the one in the slot; a caller without one passes its own.
    ApMetricsResp* own = pApMetricsResp;
    const ApMetricsResp* r = own ? own : reinterpret_cast<const ApMetricsResp*>(record);
    if (!r) {
        LUSL_LOG(kModMsg, kErr, "[MSG] ApMetrcsResp: ERROR!!!: no record to encode\n");
        return 0;
    }
    return encode(*r, own, pApMetricsRespSendBuf);
}
