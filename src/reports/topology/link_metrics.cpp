// SPDX-License-Identifier: BSD-2-Clause
// Link Metric Response (0x0006): a transmitter TLV claims a free neighbour slot and fills its
// link entries; a receiver TLV adds the receive counters to the slot of the same neighbour.
// Both are held to their fixed-size length rule before anything is read.
#include <algorithm>

#include "core/dispatch.h"
#include "core/log.h"
#include "luSL/luSL.h"
#include "core/record.h"

namespace lusl {
namespace {


constexpr size_t kHeadLen = 12; // reporting AL MAC, neighbour AL MAC
constexpr size_t kTxLinkLen = 29;
constexpr size_t kRxLinkLen = 23;

// Links a TLV of valid length carries, of which the record keeps the first four.
size_t links_kept(size_t len, size_t link_len)
{
    return std::min<size_t>((len - kHeadLen) / link_len, LINK_METRIC_MAX_LINK);
}

bool breaks_length_rule(size_t len, size_t link_len) { return len < kHeadLen || (len - kHeadLen) % link_len != 0; }

void log_tx(const LinkMetricsResp& r, size_t n)
{
    for (const LinkMetricNeighbor& nb : r.neighbor) {
        if (mac_is_zero(nb.al_mac)) continue;
        LUSL_LOG(kModTlv, kDebug, "[TLV] LinkMetricTx: device " LUSL_MAC_FMT ", neighbor " LUSL_MAC_FMT "\n",
                 LUSL_MAC_ARG(r.al_mac), LUSL_MAC_ARG(nb.al_mac));
        for (size_t i = 0; i < n; ++i) {
            const LinkMetricEntry& e = nb.link[i];
            LUSL_LOG(kModTlv, kDebug,
                     "[TLV] LinkMetricTx:  intf " LUSL_MAC_FMT ", neighbor " LUSL_MAC_FMT
                     ", mediatype=0x%04x, phyrate=%d, macthroughputcap=%d\n",
                     LUSL_MAC_ARG(e.local_intf), LUSL_MAC_ARG(e.neighbor_intf), e.media_type, e.phy_rate,
                     e.mac_throughput_cap);
        }
    }
}

void log_rx(const LinkMetricsResp& r, size_t n)
{
    for (const LinkMetricNeighbor& nb : r.neighbor) {
        if (mac_is_zero(nb.al_mac)) continue;
        LUSL_LOG(kModTlv, kDebug, "[TLV] LinkMetricRx: device " LUSL_MAC_FMT ", neighbor " LUSL_MAC_FMT "\n",
                 LUSL_MAC_ARG(r.al_mac), LUSL_MAC_ARG(nb.al_mac));
        for (size_t i = 0; i < n; ++i) {
            const LinkMetricEntry& e = nb.link[i];
            LUSL_LOG(kModTlv, kDebug,
                     "[TLV] LinkMetricRx:  intf " LUSL_MAC_FMT ", neighbor " LUSL_MAC_FMT ", mediatype=0x%04x\n",
                     LUSL_MAC_ARG(e.local_intf), LUSL_MAC_ARG(e.neighbor_intf), e.media_type);
        }
    }
}

} // namespace

int h_LinkMetricTx(Reader& in, uint8_t* record, const Args&)
{
    auto& r = record_as<LinkMetricsResp>(record);
    const size_t len = in.size();
    if (breaks_length_rule(len, kTxLinkLen)) {
        LUSL_LOG(kModTlv, kErr, "[TLV] Read failure len = %d [must be %d + %d*n]\n", static_cast<int>(len),
                 static_cast<int>(kHeadLen), static_cast<int>(kTxLinkLen));
        return -1;
    }
    const size_t n = links_kept(len, kTxLinkLen);
    in.copy(r.al_mac, 6);

    // One slot per TLV: a neighbour reported twice takes two.
    LinkMetricNeighbor* slot = nullptr;
    for (LinkMetricNeighbor& nb : r.neighbor) {
        if (mac_is_zero(nb.al_mac)) {
            slot = &nb;
            break;
        }
    }
    if (!slot) {
        LUSL_LOG(kModTlv, kErr, "[TLV] LinkMetricTx: link metric buffer is full!!!\n");
        return 0;
    }
    in.copy(slot->al_mac, 6);

    for (size_t i = 0; i < n; ++i) {
        LinkMetricEntry& e = slot->link[i];
        in.copy(e.local_intf, 6);
        in.copy(e.neighbor_intf, 6);
        e.media_type = in.be16();
        in.skip(1); // IEEE 802.1 bridge flag
        e.tx_packet_errors = in.be32();
        e.tx_packets = in.be32();
        e.mac_throughput_cap = in.be16();
        in.skip(2); // link availability
        e.phy_rate = in.be16();
    }
    log_tx(r, n);
    return 0;
}

int h_LinkMetricRx(Reader& in, uint8_t* record, const Args&)
{
    auto& r = record_as<LinkMetricsResp>(record);
    const size_t len = in.size();
    if (breaks_length_rule(len, kRxLinkLen)) {
        LUSL_LOG(kModTlv, kErr, "[TLV] Read failure len = %hu [must be %d + %d*n]\n",
                 static_cast<unsigned short>(len), static_cast<int>(kHeadLen), static_cast<int>(kRxLinkLen));
        return -1;
    }
    const size_t n = links_kept(len, kRxLinkLen);
    in.copy(r.al_mac, 6);

    uint8_t neighbor[6] = {};
    in.copy(neighbor, 6);
    LinkMetricNeighbor* slot = nullptr;
    for (LinkMetricNeighbor& nb : r.neighbor) {
        if (mac_equal(nb.al_mac, neighbor)) {
            slot = &nb;
            break;
        }
    }
    if (!slot) {
        LUSL_LOG(kModTlv, kErr, "[TLV] LinkMetricRx: link metric buffer is full!!!\n");
        return 0;
    }

    // Links are matched by position, not by interface MAC.
    for (size_t i = 0; i < n; ++i) {
        LinkMetricEntry& e = slot->link[i];
        in.skip(6 + 6 + 2); // interface MACs, media type
        e.rx_packet_errors = in.be32();
        e.rx_packets = in.be32();
        in.skip(1); // RSSI
    }
    log_rx(r, n);
    return 0;
}

} // namespace lusl

extern "C" {

LUSL_API int tlv_LinkMetricTx_extract(const uint8_t* value, uint8_t* record, uint16_t length)
{
    return lusl::run_handler(lusl::h_LinkMetricTx, value, length, record);
}

LUSL_API int tlv_LinkMetricRx_extract(const uint8_t* value, uint8_t* record, uint16_t length)
{
    return lusl::run_handler(lusl::h_LinkMetricRx, value, length, record);
}

} // extern "C"
