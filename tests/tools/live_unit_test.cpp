// SPDX-License-Identifier: BSD-2-Clause
// What keeps a live capture within bounds: the reassembly's time limit and byte budget, the
// capture filter that lets only IEEE 1905.1 frames in, and replay's loop fed by a source that
// goes quiet.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <pcap/pcap.h>

#include <cmath>
#include <sstream>

#include "capture.h"
#include "gen.h"
#include "live.h"

using namespace lusl::tool;
using namespace lusl::tool::gen;

namespace {

const Mac kAgent{0x02, 0xa1, 0, 0, 0, 0x01};

Fragment fragment(uint16_t mid, uint8_t fid, bool last, size_t bytes = 100)
{
    Fragment f;
    f.src = kAgent;
    f.hdr = {0, 0x801C, mid, fid, static_cast<uint8_t>(last ? kFlagLastFragment : 0)};
    f.payload.assign(bytes, 0x5a); // no end-of-message TLV anywhere
    return f;
}

TEST(Reassembly, AnAssemblyIsGivenUpOnlyAfterTheTimeWithoutFragments)
{
    Reassembler ra(10.0);
    EXPECT_FALSE(ra.add(fragment(1, 0, false), 0.0, 1));
    EXPECT_FALSE(ra.add(fragment(1, 1, false), 8.0, 2)); // keeps it alive
    EXPECT_FALSE(ra.add(fragment(2, 0, false), 8.0, 3));
    EXPECT_TRUE(ra.expire(17.9).empty());
    auto c = ra.add(fragment(1, 2, true), 17.9, 4);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->fragments, 3u);
    EXPECT_EQ(c->tlvs.size(), 300u);

    auto gone = ra.expire(18.1); // id 2 had nothing for 10.1 s
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0].mid, 2);
    EXPECT_EQ(gone[0].have, std::vector<uint8_t>{0});
    EXPECT_FALSE(gone[0].last);
    EXPECT_EQ(ra.open(), 0u);
    EXPECT_EQ(ra.held_bytes(), 0u);

    // Its late fragments start afresh and complete on their own.
    EXPECT_FALSE(ra.add(fragment(2, 1, true), 19.0, 5));
    c = ra.add(fragment(2, 0, false), 19.0, 6);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->fragments, 2u);
    EXPECT_EQ(ra.stats().incomplete, 1u);
}

TEST(Reassembly, HeldBytesStayWithinTheBudgetAndTheOldestGoFirst)
{
    Reassembler ra;
    const size_t per = 1000, frags = 50; // 50 kB a CMDU, under the size limit
    const size_t mids = Reassembler::kMaxHeldBytes / (per * frags) + 20;
    for (size_t m = 0; m < mids; ++m)
        for (size_t i = 0; i < frags; ++i) {
            EXPECT_FALSE(ra.add(fragment(static_cast<uint16_t>(m), static_cast<uint8_t>(i), false, per), 0.001 * m, m + 1));
            ASSERT_LE(ra.held_bytes(), Reassembler::kMaxHeldBytes);
        }
    auto gone = ra.expire(0.001 * mids);
    ASSERT_GE(gone.size(), 20u);
    for (size_t i = 0; i < gone.size(); ++i) EXPECT_EQ(gone[i].mid, i) << "given up out of age order";
    EXPECT_EQ(gone.size() + ra.open(), mids);
    EXPECT_EQ(gone.back().have.size(), frags);
    EXPECT_LE(ra.stats().peak_bytes, Reassembler::kMaxHeldBytes);
    EXPECT_GT(ra.stats().peak_bytes, Reassembler::kMaxHeldBytes - per * frags);

    // The newest assembly lost nothing to the others and completes.
    auto c = ra.add(fragment(static_cast<uint16_t>(mids - 1), frags, true, per), 0.001 * mids, mids + 1);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->tlvs.size(), per * (frags + 1));
}

TEST(Reassembly, AnOversizedCmduHoldsNoBytes)
{
    Reassembler ra;
    const size_t per = 1400, frags = kMaxCmduBytes / per + 2;
    for (size_t i = 0; i < frags; ++i) EXPECT_FALSE(ra.add(fragment(7, static_cast<uint8_t>(i), false, per), 0, i + 1));
    EXPECT_EQ(ra.held_bytes(), 0u);
    EXPECT_LE(ra.stats().peak_bytes, kMaxCmduBytes);
    auto c = ra.add(fragment(7, static_cast<uint8_t>(frags), true, per), 0, frags + 1);
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->oversized);
    EXPECT_TRUE(c->tlvs.empty());
}

TEST(CaptureFilter, TakesIeee1905FramesTaggedOrNotAndNothingElse)
{
    const Mac dst{0x01, 0x80, 0xc2, 0, 0, 0x13};
    const Bytes cmdu = cat({encode_header({0, 0x0001, 1, 0, kFlagLastFragment}), Bytes{0, 0, 0}});
    auto tagged = [&](uint16_t outer, uint16_t ethertype, const Bytes& body) {
        return cat({mac(dst), mac(kAgent), be16(outer), be16(100), be16(ethertype), body});
    };
    const struct { const char* what; Bytes frame; bool taken; } cases[] = {
        {"untagged", ethernet_frame(dst, kAgent, std::nullopt, kEtherType1905, cmdu), true},
        {"802.1Q", ethernet_frame(dst, kAgent, uint16_t{100}, kEtherType1905, cmdu), true},
        {"802.1ad", tagged(kEtherTypeQinQ, kEtherType1905, cmdu), true},
        {"802.1ad and 802.1Q", tagged(kEtherTypeQinQ, kEtherTypeVlan, cat({be16(7), be16(kEtherType1905), cmdu})), true},
        {"tagged twice, ARP", tagged(kEtherTypeQinQ, kEtherTypeVlan, cat({be16(7), be16(0x0806), Bytes(28, 0)})), false},
        {"ARP", ethernet_frame(dst, kAgent, std::nullopt, 0x0806, Bytes(28, 0)), false},
        {"LLDP", ethernet_frame(dst, kAgent, std::nullopt, 0x88cc, Bytes(40, 0)), false},
        {"tagged ARP", ethernet_frame(dst, kAgent, uint16_t{100}, 0x0806, Bytes(28, 0)), false},
        {"IPv4 with 0x893a in its payload", ethernet_frame(dst, kAgent, std::nullopt, 0x0800, cat({be16(0x893a), cmdu})), false},
    };
    pcap_t* dead = pcap_open_dead(DLT_EN10MB, 65535);
    bpf_program prog{};
    ASSERT_EQ(pcap_compile(dead, &prog, capture_filter(DLT_EN10MB).c_str(), 1, PCAP_NETMASK_UNKNOWN), 0) << pcap_geterr(dead);
    for (const auto& c : cases) {
        pcap_pkthdr h{};
        h.caplen = h.len = static_cast<bpf_u_int32>(c.frame.size());
        EXPECT_EQ(pcap_offline_filter(&prog, &h, c.frame.data()) != 0, c.taken) << c.what;
    }
    pcap_freecode(&prog);
    pcap_close(dead);

    // Linux cooked captures (the "any" device) carry the protocol in their own header.
    for (int lt : {DLT_LINUX_SLL, DLT_LINUX_SLL2}) {
        const Bytes frame = lt == DLT_LINUX_SLL
                                ? cat({be16(0), be16(1), be16(6), mac(kAgent), be16(0), be16(kEtherType1905), cmdu})
                                : cat({be16(kEtherType1905), be16(0), be32(2), be16(1), u8(0), u8(6), mac(kAgent), be16(0), cmdu});
        const Bytes arp = lt == DLT_LINUX_SLL ? cat({be16(0), be16(1), be16(6), mac(kAgent), be16(0), be16(0x0806), Bytes(28, 0)})
                                              : cat({be16(0x0806), be16(0), be32(2), be16(1), u8(0), u8(6), mac(kAgent), be16(0), Bytes(28, 0)});
        dead = pcap_open_dead(lt, 65535);
        ASSERT_EQ(pcap_compile(dead, &prog, capture_filter(lt).c_str(), 1, PCAP_NETMASK_UNKNOWN), 0) << pcap_geterr(dead);
        for (const Bytes* f : {&frame, &arp}) {
            pcap_pkthdr h{};
            h.caplen = h.len = static_cast<bpf_u_int32>(f->size());
            EXPECT_EQ(pcap_offline_filter(&prog, &h, f->data()) != 0, f == &frame) << "link type " << lt;
        }
        pcap_freecode(&prog);
        pcap_close(dead);
    }
}

// Frames as an interface hands them over: one, then a quiet while, then another.
class QuietSource : public FrameSource {
public:
    QuietSource(std::vector<std::pair<double, Bytes>> frames, std::ostringstream& err) : frames_(std::move(frames)), err_(err) {}
    bool next(Packet& out) override
    {
        if (i_ == frames_.size()) return false;
        if (i_ > 0 && on_idle) {
            on_idle(frames_[i_].first - 0.5); // nothing came for a while
            said_while_quiet_.push_back(err_.str());
        }
        const auto& [t, bytes] = frames_[i_++];
        out.ts_sec = static_cast<uint32_t>(t);
        out.ts_usec = static_cast<uint32_t>((t - static_cast<uint32_t>(t)) * 1e6);
        out.data = bytes;
        out.orig_len = static_cast<uint32_t>(bytes.size());
        return true;
    }
    int linktype() const override { return DLT_EN10MB; }
    const std::string& name() const override { return name_; }
    const std::string& problem() const override { return problem_; }
    uint64_t frames() const override { return i_; }
    bool live() const override { return true; }
    uint64_t dropped() const override { return 7; }

    std::vector<std::string> said_while_quiet_;

private:
    std::vector<std::pair<double, Bytes>> frames_;
    std::ostringstream& err_;
    size_t i_ = 0;
    std::string name_ = "veth-test", problem_;
};

TEST(Feed, AQuietInterfaceStillGivesUpIncompleteCmdus)
{
    const Mac ctl{0x02, 0xc0, 0, 0, 0, 0x01};
    const Bytes first = ethernet_frame(ctl, kAgent, std::nullopt, kEtherType1905,
                                       cat({encode_header({0, 0x8010, 0x42, 0, 0}), Bytes(100, 0x5a)}));
    const Bytes whole = ethernet_frame(ctl, kAgent, std::nullopt, kEtherType1905,
                                       cat({encode_header({0, 0x8033, 1, 0, kFlagLastFragment}), tlv(0xC9, {be16(17)}), Bytes{0, 0, 0}}));
    std::ostringstream out, err;
    QuietSource src({{1000.0, first}, {1030.0, whole}}, err);
    ReplayOptions o;
    o.dump = true;
    o.json = true;
    ASSERT_EQ(feed(src, o, out, err), 0) << err.str();

    // Reported while the interface was quiet, before the next frame came.
    ASSERT_EQ(src.said_while_quiet_.size(), 1u);
    EXPECT_NE(src.said_while_quiet_[0].find("veth-test: incomplete CMDU: Unassociated Sta Link Metric Response (0x8010) id 0x0042"),
              std::string::npos)
        << src.said_while_quiet_[0];
    std::vector<nlohmann::json> lines;
    std::istringstream in(out.str());
    for (std::string l; std::getline(in, l);) lines.push_back(nlohmann::json::parse(l));
    ASSERT_EQ(lines.size(), 3u) << out.str(); // the event, the record, the summary
    EXPECT_EQ(lines[0]["event"], "incomplete");
    EXPECT_EQ(lines[1]["type"], "0x8033");
    const auto& s = lines[2]["summary"];
    EXPECT_EQ(s["interface"], "veth-test");
    EXPECT_FALSE(s.contains("file"));
    EXPECT_EQ(s["dropped"], 7);
    EXPECT_EQ(s["fragments"]["incomplete"], 1);
}

} // namespace
