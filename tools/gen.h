/* SPDX-License-Identifier: BSD-2-Clause */
// A synthetic but realistic mesh session: a controller and two agents with two radios each,
// onboarding, reporting, a few clients coming and going, one CMDU large enough to be
// fragmented and a few broken ones. Deterministic: the same bytes on every run.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "capture.h"
#include "tlv_build.h"

namespace lusl::tool::gen {

// Builders for TLV values (tlv_build.h), and the MAC one of the session's own type.
using wire::be16;
using wire::be24;
using wire::be32;
using wire::cat;
using wire::text;
using wire::tlv;
using wire::u8;
Bytes mac(const Mac& m);

// One CMDU to put on the wire.
struct CmduToSend {
    Mac src{};
    Mac dst{};
    uint16_t type = 0;
    uint16_t mid = 0;
    bool relay = false;
    std::optional<uint16_t> vlan;
    std::vector<Bytes> tlvs; // whole TLVs; the end-of-message TLV is added
};

// Ethernet frame (padded to the 60-byte minimum), optionally 802.1Q-tagged.
Bytes ethernet_frame(const Mac& dst, const Mac& src, std::optional<uint16_t> vlan, uint16_t ethertype,
                     const Bytes& payload);
// The frames of one CMDU: one frame, or fragments cut at TLV boundaries when the CMDU does
// not fit in mtu bytes of Ethernet payload.
std::vector<Bytes> cmdu_frames(const CmduToSend& c, size_t mtu = 1500);

// The whole session, frame by frame, with fixed timestamps.
std::vector<Packet> mesh_session();

} // namespace lusl::tool::gen
