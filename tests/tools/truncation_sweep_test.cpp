// SPDX-License-Identifier: BSD-2-Clause
// Every TLV kind the library extracts, taken from the generated mesh session and cut at
// every length from 0 to its full size, walked through luSL_Msg_parser_n. Each instance
// lies in a heap block of exactly its size, so the sanitizer build catches a read past it.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include "capture.h"
#include "gen.h"
#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"

namespace lusl::test {
namespace {

using Kind = std::pair<uint16_t, uint8_t>; // message type, TLV type

// One valid value per (message, TLV) kind of the session's reassembled CMDUs.
std::map<Kind, Bytes> session_instances()
{
    std::map<Kind, Bytes> out;
    tool::Reassembler reasm;
    uint64_t frame = 0;
    for (const auto& pkt : tool::gen::mesh_session()) {
        tool::Fragment f;
        if (tool::parse_frame(1, pkt.data.data(), pkt.data.size(), f) != tool::FrameKind::Cmdu) continue;
        auto cmdu = reasm.add(f, pkt.ts_sec + pkt.ts_usec / 1e6, ++frame);
        if (!cmdu) continue;
        const Bytes& s = cmdu->tlvs;
        for (size_t p = 0; p + 3 <= s.size() && s[p] != 0;) {
            const size_t len = size_t{s[p + 1]} << 8 | s[p + 2];
            if (p + 3 + len > s.size()) break; // the deliberately broken frame
            out.emplace(Kind(cmdu->hdr.type, s[p]), Bytes(s.begin() + p + 3, s.begin() + p + 3 + len));
            p += 3 + len;
        }
    }
    return out;
}

// Parses one TLV alone from an exact-size heap block.
int parse_alone(Receiver& rx, uint16_t msg, uint8_t type, const Bytes& value, size_t cut)
{
    const size_t n = 3 + cut;
    auto block = std::make_unique<uint8_t[]>(n);
    block[0] = type;
    block[1] = static_cast<uint8_t>(cut >> 8);
    block[2] = static_cast<uint8_t>(cut);
    std::copy(value.begin(), value.begin() + static_cast<long>(cut), block.get() + 3);
    const Bytes src = {0x02, 0xAA, 0, 0, 0, 1};
    ensure_msg_socket();
    const int rc = luSL_Msg_parser_n(msg, block.get(), n, rx.port(), src.data());
    if (rc == 0) rx.recv();
    return rc;
}

TEST(TruncationSweep, EveryExtractedTlvKindCutAtEveryLength)
{
    const auto instances = session_instances();
    // The (message, TLV) pairs of the dispatch table: the session must carry each of them.
    const std::set<Kind> dispatched = {
        {0x0003, 0x03}, {0x0006, 0x09}, {0x0006, 0x0A}, {0x0003, 0x0B}, {0x8002, 0x0B}, {0x0009, 0x11},
        {0x0003, 0x83}, {0x8002, 0x85}, {0x802C, 0x85}, {0x8002, 0x86}, {0x8002, 0x87}, {0x8002, 0x88},
        {0x8005, 0x8B}, {0x8008, 0x8F}, {0x800A, 0x90}, {0x800A, 0x91}, {0x0001, 0x92}, {0x800C, 0x94},
        {0x8022, 0x95}, {0x8033, 0x95}, {0x800C, 0x96}, {0x800E, 0x96}, {0x8010, 0x98}, {0x8015, 0x9C},
        {0x801A, 0x9F}, {0x8002, 0xA1}, {0x800C, 0xA2}, {0x8002, 0xA5}, {0x801C, 0xA7}, {0x8002, 0xA9},
        {0x8002, 0xAA}, {0x800C, 0xB0}, {0x8005, 0xB1}, {0x8002, 0xB2}, {0x8002, 0xB4}, {0x0003, 0xB7},
        {0x8033, 0xB8}, {0x0009, 0xBE}, {0x8025, 0xBF}, {0x8002, 0xC5}, {0x800C, 0xC6}, {0x800C, 0xC7},
        {0x800C, 0xC8}, {0x8033, 0xC9}, {0x8022, 0xCA}, {0x8033, 0xCA}, {0x802C, 0xCC}, {0x8002, 0xD4},
    };
    Receiver rx;
    LogCapture log;
    for (const Kind& k : dispatched) {
        SCOPED_TRACE(testing::Message() << std::hex << "message 0x" << k.first << " TLV 0x" << int(k.second));
        auto it = instances.find(k);
        ASSERT_NE(it, instances.end()) << "the generated session lacks this TLV kind";
        const Bytes& value = it->second;
        for (size_t cut = 0; cut <= value.size(); ++cut) {
            log.clear();
            const int rc = parse_alone(rx, k.first, k.second, value, cut);
            EXPECT_TRUE(all_slots_null()) << "cut " << cut;
            // A refusal says why on the TLV layer, except the two documented silent ones.
            if (rc != 0 && cut > 0 && k != Kind(0x0003, 0x83) && k != Kind(0x0003, 0x0B)) {
                bool said = false;
                for (const auto& l : log.lines()) said |= l.module == 8;
                EXPECT_TRUE(said) << "silent refusal at cut " << cut;
            }
        }
    }
}

} // namespace
} // namespace lusl::test
