// SPDX-License-Identifier: BSD-2-Clause
// The record layout description against the structs and against real datagrams: every
// byte of each fixed block described exactly once, every byte of each compact datagram of
// the sample session taken exactly once, agreement with the library's compact decoders,
// and cut-short compact forms refused without reading past their end.
#include <gtest/gtest.h>

#include <luSL/luSL.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "capture.h"
#include "channel.h"
#include "gen.h"
#include "printers.h"

namespace lusl::tool {
namespace {

using layout::Block;
using layout::Field;
using layout::Kind;
using layout::Shown;

// "" when spans tile [0, size) exactly once; otherwise where they do not.
std::string tiling_problem(std::vector<std::pair<size_t, size_t>> spans, size_t size)
{
    std::sort(spans.begin(), spans.end());
    size_t at = 0;
    for (const auto& [off, n] : spans) {
        if (off < at) return "byte " + std::to_string(off) + " described twice";
        if (off > at) return "bytes " + std::to_string(at) + " to " + std::to_string(off - 1) + " not described";
        at = off + n;
    }
    if (at != size) return "bytes " + std::to_string(at) + " to " + std::to_string(size - 1) + " not described";
    return "";
}

TEST(Layout, FixedBlocksAreDescribedByteForByteAndCountsNameANumberThatComesFirst)
{
    size_t fixed = 0;
    for (const Block* b : layout::blocks()) {
        SCOPED_TRACE(b->name);
        if (!b->sequential()) {
            ++fixed;
            EXPECT_EQ(tiling_problem(field_spans(*b, nullptr, 0, nullptr), b->size), "");
        }
        std::set<std::string> before;
        for (const Field& f : b->fields) {
            SCOPED_TRACE(f.name);
            EXPECT_EQ(f.count != nullptr, f.shown == Shown::Count);
            EXPECT_NE(f.kind == Kind::Flags, f.bits.empty());
            EXPECT_NE(f.kind == Kind::Block, f.sub == nullptr);
            if (f.count) {
                const auto c = std::find_if(b->fields.begin(), b->fields.end(),
                                            [&](const Field& g) { return std::strcmp(g.name, f.count) == 0; });
                ASSERT_NE(c, b->fields.end());
                EXPECT_TRUE(c->kind == Kind::Uint && c->room == 1);
                // A compact form is read front to back: its counts must precede what they size.
                if (b->sequential()) {
                    EXPECT_TRUE(before.count(f.count));
                }
            }
            if (b->sequential()) {
                EXPECT_EQ(f.offset, layout::kSequential);
            } else if (f.kind == Kind::Block && f.sub) {
                EXPECT_FALSE(f.sub->sequential());
                EXPECT_EQ(f.width, f.sub->size);
            }
            before.insert(f.name);
        }
    }
    EXPECT_GE(fixed, 18u); // one per parsed record at least
}

TEST(Layout, TheCatalogueHasEveryTypeOnce)
{
    std::set<uint16_t> codes;
    size_t parsed = 0, compact = 0;
    for (const layout::Message& m : layout::messages()) {
        codes.insert(m.code);
        if (m.form == layout::Form::Opaque) continue;
        ++parsed;
        ASSERT_NE(m.record, nullptr);
        ASSERT_NE(m.datagram, nullptr) << m.name;
        EXPECT_EQ(m.record->size, m.record_size) << m.name;
        if (m.form == layout::Form::Compact) {
            ++compact;
            EXPECT_TRUE(m.datagram->sequential());
            EXPECT_EQ(m.channel_len, 0u);
        } else {
            EXPECT_EQ(m.datagram, m.record);
            EXPECT_EQ(m.channel_len, m.record_size);
        }
    }
    EXPECT_EQ(codes.size(), 25u);
    EXPECT_EQ(parsed, 18u);
    EXPECT_EQ(compact, 2u);
    for (uint16_t code : {0xDEB8, 0xDEB9}) EXPECT_STREQ(layout::display_name(code), "Unknow Msg") << code;
}

// The datagrams the library sends for the sample session, in order.
std::vector<Bytes> session_datagrams()
{
    open_send_socket();
    Loopback rx(0);
    Reassembler ra;
    std::vector<Bytes> out;
    uint64_t frame = 0;
    for (const Packet& p : gen::mesh_session()) {
        Fragment f;
        if (parse_frame(1, p.data.data(), p.data.size(), f) != FrameKind::Cmdu) continue;
        auto c = ra.add(f, p.ts_sec + p.ts_usec / 1e6, ++frame);
        if (!c || !is_parsed(c->hdr.type)) continue;
        luSL_Msg_parser_n(c->hdr.type, c->tlvs.data(), c->tlvs.size(), rx.port(), c->src.data());
        while (auto r = rx.receive(0)) out.push_back(r->wire);
    }
    return out;
}

TEST(Layout, CompactDatagramsOfTheSessionAreTakenByteForByteAndAgreeWithTheLibrary)
{
    std::map<uint16_t, unsigned> seen;
    for (const Bytes& d : session_datagrams()) {
        ASSERT_GE(d.size(), 2u);
        const uint16_t code = static_cast<uint16_t>(d[0] | d[1] << 8);
        const layout::Message* m = layout::find(code);
        ASSERT_NE(m, nullptr);
        if (m->form != layout::Form::Compact) {
            EXPECT_EQ(d.size(), m->channel_len) << m->name;
            continue;
        }
        SCOPED_TRACE(m->name);
        ++seen[code];
        std::string error;
        EXPECT_EQ(tiling_problem(field_spans(*m->datagram, d.data(), d.size(), &error), d.size()), "");
        EXPECT_EQ(error, "");
        const Json j = decode_record(d.data(), d.size());
        ASSERT_TRUE(j.contains("record")) << j.dump();
        const Json& r = j["record"];

        if (code == LUSL_MSG_AP_METRICS_RESPONSE) {
            auto v = std::make_unique<luSL_ApMetricsView>();
            ASSERT_EQ(luSL_ApMetricsResp_decode(d.data(), d.size(), v.get()), 0);
            ASSERT_EQ(r["radio"].size(), v->radio_num);
            ASSERT_EQ(r["bss"].size(), v->bss_num);
            for (size_t b = 0; b < v->bss_num; ++b) {
                const luSL_ApMetricsBssView& bv = v->bss[b];
                const Json& bj = r["bss"][b];
                EXPECT_EQ(bj["bssid"], mac_str(bv.bssid));
                EXPECT_EQ(bj["mc_bytes_received"], bv.mc_bytes_received);
                EXPECT_EQ(bj["esp_vi"], hex(bv.esp[LUSL_AC_VI], 3));
                ASSERT_EQ(bj["sta"].size(), bv.sta_num);
                for (size_t s = 0; s < bv.sta_num; ++s) {
                    const Json& sj = bj["sta"][s];
                    EXPECT_EQ(sj["mac"], mac_str(bv.sta[s].mac));
                    EXPECT_EQ(sj["retrans_count"], bv.sta[s].retrans_count);
                    EXPECT_EQ(sj["tid"].size(), bv.sta[s].tid_num);
                    EXPECT_EQ(sj["util_tx"], bv.sta[s].util_tx);
                }
            }
        } else {
            auto rpt = std::make_unique<luSL_ChScanReport>();
            std::vector<luSL_ChScanNbr> nbrs(LUSL_CHSCAN_MAX_NBR);
            const int total = luSL_ChScanRpt_decode(d.data(), d.size(), rpt.get(), nbrs.data(), nbrs.size());
            ASSERT_GT(total, 0);
            EXPECT_EQ(rpt->length, d.size());
            size_t i = 0;
            ASSERT_EQ(r["radio"].size(), rpt->radio_num);
            for (size_t rd = 0; rd < rpt->radio_num; ++rd) {
                EXPECT_EQ(r["radio"][rd]["scan_duration"], rpt->radio[rd].scan_duration);
                for (const Json& ch : r["radio"][rd]["ch"])
                    for (const Json& n : ch["nbr"]) {
                        ASSERT_LT(i, static_cast<size_t>(total));
                        EXPECT_EQ(n["bssid"], mac_str(nbrs[i].bssid));
                        EXPECT_EQ(n["ssid"], std::string(reinterpret_cast<const char*>(nbrs[i].ssid), nbrs[i].ssid_len));
                        EXPECT_EQ(n["sta_count"], nbrs[i].sta_count);
                        ++i;
                    }
            }
            EXPECT_EQ(i, static_cast<size_t>(total));
        }

        // Cut short anywhere, the compact form is refused and nothing past the cut is read
        // (each cut lies in a heap block of exactly its size).
        for (size_t cut = 2; cut < d.size(); cut += cut < 200 ? 1 : 97) {
            auto block = std::make_unique<uint8_t[]>(cut);
            std::copy_n(d.begin(), cut, block.get());
            const Json c = decode_record(block.get(), cut);
            EXPECT_TRUE(c.contains("error") && !c.contains("record")) << "cut at " << cut;
        }
    }
    EXPECT_EQ(seen[LUSL_MSG_AP_METRICS_RESPONSE], 2u);
    EXPECT_EQ(seen[LUSL_MSG_CHANNEL_SCAN_REPORT], 1u);
}

TEST(Layout, FixedRecordsShowWhatTheCountsSayWithinTheRoom)
{
    AssocStatusNotification n{};
    n.hdr = {0x25, 0x80};
    n.bss_num = 200; // stored as received
    for (auto& b : n.bss) b = {{0x02, 0, 0, 0, 0, 1}, 1};
    const Json j = decode_record(reinterpret_cast<const uint8_t*>(&n), sizeof n);
    EXPECT_EQ(j["record"]["bss_num"], 200);
    EXPECT_EQ(j["record"]["bss"].size(), size_t{MAX_BSS_PER_DEVICE});

    // A string of its length field, at most its room; a zero-terminated one up to its zero.
    TopologyResp t{};
    t.hdr = {0x03, 0x00};
    t.radio_num = 1;
    t.radio[0].bss_num = 1;
    t.radio[0].bss[0].ssid_len = 40;
    std::memset(t.radio[0].bss[0].ssid, 'a', sizeof t.radio[0].bss[0].ssid);
    t.media_type[0] = 0x01; // kept in wire order
    const Json tj = decode_record(reinterpret_cast<const uint8_t*>(&t), 100); // the rest reads as zeros
    EXPECT_EQ(tj["record"]["radio"][0]["bss"][0]["ssid"], std::string(33, 'a'));
    EXPECT_EQ(tj["record"]["media_type"], 0x0100);
    EXPECT_EQ(tj["record"]["radio"][0]["bss"][0]["mdid"], 0);
}

} // namespace
} // namespace lusl::tool
