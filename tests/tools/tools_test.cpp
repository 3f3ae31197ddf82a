// SPDX-License-Identifier: BSD-2-Clause
// The lusl binary end to end: sample regeneration, replay counts and events, reassembly,
// bad input, a pcapng copy of the sample, and the link types a channel capture may have.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/wait.h>
#include <tuple>

#include "capture.h"
#include "gen.h"

namespace fs = std::filesystem;
using nlohmann::json;
using namespace lusl::tool;
using namespace lusl::tool::gen;

namespace {

struct Result { int status = -1; std::string out, err; };

// The JSON lines of a run: its records, its events (refusals, incomplete CMDUs), and the
// summary that ends them (null when there was none).
struct Replay : Result { std::vector<json> records = {}, events = {}; json summary = {}; };

Replay parse(const Result& r)
{
    Replay out{r};
    std::istringstream s(r.out);
    for (std::string l; std::getline(s, l);) {
        json j = json::parse(l); // every line must be JSON
        EXPECT_TRUE(out.summary.is_null()) << "after the summary: " << l;
        if (j.contains("summary"))
            out.summary = j["summary"];
        else
            (j.contains("event") ? out.events : out.records).push_back(j);
    }
    return out;
}

std::string slurp(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::string q(const fs::path& p) { return "'" + p.string() + "' "; }

// Each JSON pointer of want leads to the same value in got; null stands for absent, "*" for any.
void expect_at(const json& got, const json& want)
{
    for (const auto& [ptr, v] : want.items()) {
        const json::json_pointer p(ptr);
        EXPECT_EQ(got.contains(p) ? (v == "*" ? v : got.at(p)) : json(), v) << ptr;
    }
}

// A classic pcap file: frames 1 ms apart, or at the given seconds.
std::string pcap(const std::vector<Bytes>& frames, const std::vector<uint32_t>& at = {}, uint32_t linktype = 1)
{
    std::string f;
    auto le32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) f += static_cast<char>(v >> (8 * i)); };
    for (uint32_t v : {0xA1B2C3D4u, 0x00040002u, 0u, 0u, 65535u, linktype}) le32(v); // version 2.4
    for (size_t i = 0; i < frames.size(); ++i) {
        const auto n = static_cast<uint32_t>(frames[i].size());
        for (uint32_t v : {1700000000u + (at.empty() ? 0 : at[i]), static_cast<uint32_t>(1000 * (i + 1)), n, n}) le32(v);
        f.append(frames[i].begin(), frames[i].end());
    }
    return f;
}

class Tool : public ::testing::Test {
protected:
    Tool() { char tmpl[] = "/tmp/lusl-tools-XXXXXX"; dir_ = mkdtemp(tmpl); }
    ~Tool() override { fs::remove_all(dir_); }

    fs::path path(const std::string& name) const { return dir_ / name; }

    // Runs lusl with args (already shell-quoted where needed); tag names its files, so that
    // two runs can overlap. A hung run is killed rather than holding up the suite.
    Result run(const std::string& args, const std::string& input = "", const std::string& tag = "run") const
    {
        std::ofstream(path(tag + ".in")) << input;
        std::string cmd = "LUMAP_LOG_LEVEL=2 timeout 60 " + q(LUSL_BIN) + args + " <" + q(path(tag + ".in")) + ">" +
                          q(path(tag + ".out")) + "2>" + q(path(tag + ".err"));
        const int rc = std::system(cmd.c_str());
        return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, slurp(path(tag + ".out")), slurp(path(tag + ".err"))};
    }

    // Replays with a private receiver.
    Replay replay(const fs::path& capture, const std::string& extra = "", int status = 0) const
    {
        Replay out = parse(run("replay --dump --port 0 --json " + extra + " " + q(capture)));
        EXPECT_EQ(out.status, status) << out.err;
        return out;
    }

    fs::path dir_;
};

const Mac kAgent = parse_mac("02:a1:00:00:00:01").value(), kController = parse_mac("02:c0:00:00:00:01").value(),
          kOther = parse_mac("02:a2:00:00:00:01").value();

// An Unassociated STA Link Metrics Response with n stations 02:5b:00:00:00:i, RCPI 100 + i.
CmduToSend unassoc_report(unsigned n, const Mac& src = kAgent)
{
    Bytes v = cat({u8(115), u8(n)});
    for (unsigned i = 0; i < n; ++i)
        v = cat({v, u8(0x02), u8(0x5b), u8(0), u8(0), u8(0), u8(i), u8(36), be32(20), u8(100 + i)});
    return {src, kController, 0x8010, 0x4242, false, std::nullopt, {tlv(0x98, v)}};
}

// What the replay of unassoc_report(n, src) must show.
json unassoc_record(unsigned n, const Mac& src = kAgent)
{
    const std::string last = "/record/sta/" + std::to_string(n - 1);
    return {{"/type", "0x8010"}, {"/record/device_mac", mac_str(src)}, {"/record/op_class", 115}, {"/record/sta/0/channel", 36},
            {last + "/sta_mac", mac_str(Mac{0x02, 0x5b, 0, 0, 0, static_cast<uint8_t>(n - 1)})}, {last + "/uplink_rcpi", 100 + n - 1},
            {"/record/sta/" + std::to_string(n), nullptr}};
}

// ------------------------------------------------------------------ the sample

TEST_F(Tool, SampleIsUpToDateAndReplaysAsScriptedInTextAndJsonFromPcapOrPcapng)
{
    Result gen = run("gen " + q(path("again.pcap")));
    ASSERT_EQ(gen.status, 0) << gen.err;
    EXPECT_TRUE(slurp(path("again.pcap")) == slurp(LUSL_SAMPLE)) << "samples/mesh-session.pcap is stale: run the lusl_sample target";

    Replay all = replay(LUSL_SAMPLE);
    // seen, forwarded, refused, as the session is scripted
    const std::map<std::string, std::array<unsigned, 3>> expected = {
        {"0x0001", {5, 5, 0}}, {"0x0003", {4, 3, 1}}, {"0x0006", {3, 2, 1}}, {"0x0009", {8, 8, 0}},
        {"0x8002", {2, 2, 0}}, {"0x8005", {2, 2, 0}}, {"0x8008", {3, 2, 1}}, {"0x800A", {2, 2, 0}},
        {"0x800C", {2, 2, 0}}, {"0x800E", {1, 1, 0}}, {"0x8010", {1, 1, 0}}, {"0x8015", {1, 1, 0}},
        {"0x801A", {1, 1, 0}}, {"0x801C", {1, 1, 0}}, {"0x8022", {1, 1, 0}}, {"0x8025", {2, 1, 1}},
        {"0x802C", {2, 2, 0}}, {"0x8033", {1, 1, 0}}};
    std::map<std::string, std::array<unsigned, 3>> got;
    for (const json& t : all.summary["types"])
        got[t["type"].get<std::string>()] = {t["seen"].get<unsigned>(), t["forwarded"].get<unsigned>(), t["refused"].get<unsigned>()};
    EXPECT_EQ(got, expected);
    expect_at(all.summary, {{"/other_frames", 3}, // ARP, LLDP, mDNS
                            {"/malformed_frames", 0}, {"/fragments/fragments", 3}, {"/fragments/reassembled", 1},
                            {"/fragments/incomplete", 0}});

    // One record per forwarded CMDU, each decoded, of the type that was forwarded.
    std::map<std::string, std::vector<json>> by;
    for (const json& r : all.records) {
        EXPECT_FALSE(r.contains("hex")) << r["type"] << " was not decoded";
        by[r["type"].get<std::string>()].push_back(r);
    }
    // One event per refused CMDU, saying why and where it came from.
    std::map<std::string, unsigned> refused;
    for (const json& e : all.events) {
        expect_at(e, {{"/event", "refused"}, {"/reason", "refused by the parser"}, {"/source/frame", "*"}, {"/source/mid", "*"}});
        ++refused[e["type"].get<std::string>()];
    }
    EXPECT_EQ(all.events.size(), 4u);
    for (const auto& [type, counts] : expected) {
        EXPECT_EQ(by[type].size(), counts[1]) << type;
        EXPECT_EQ(refused[type], counts[2]) << type;
    }

    const std::vector<std::tuple<std::string, size_t, json>> values = {
        // The first agent: two radios, three BSSs; its phone on the 2.4 GHz BSS reports two
        // TIDs, the laptop on 5 GHz its rates and queues (BE access category only); the third
        // BSS serves the backhaul STA.
        {"0x800C", 0, {{"/radio_num", 2}, {"/bss_num", 3}, {"/bss/0/bssid", "02:a1:00:00:24:01"},
                       {"/bss/0/sta/0/mac", "02:5a:00:00:00:11"}, {"/bss/0/sta/0/tid_num", 2},
                       {"/radio/1", {{"ruid", "02:a1:00:00:50:00"}, {"noise", 0xA6}, {"transmit", 75},
                                     {"receive_self", 38}, {"receive_other", 20}}},
                       {"/bss/1/esp_be", "b19632"}, {"/bss/1/esp_bk", "000000"}, {"/bss/1/sta_num", 1},
                       {"/bss/1/sta/0/mac", "02:5a:00:00:00:22"}, {"/bss/1/sta/0/est_rate_dl", 1201},
                       {"/bss/1/sta/0/est_rate_ul", 864},
                       {"/bss/1/sta/0/tid", json::parse(R"([{"tid":0,"queue_size":12},{"tid":5,"queue_size":3}])")},
                       {"/bss/2/sta/0/mac", "02:a2:00:00:5b:01"}}},
        // The second agent sent the TV's traffic counters before its link metrics.
        {"0x800C", 1, {{"/bss/1/sta/0/bytes_sent", 1220514003u}}},
        // The reassembled scan report: 3 channels on 2.4 GHz, 4 on 5 GHz, one of them failed.
        {"0x801C", 0, {{"/radio_num", 2}, {"/radio/0/ch_num", 3}, {"/radio/1/ch_num", 4}, {"/radio/1/ch/2/channel", 52},
                       {"/radio/1/ch/2/scan_status", 4}, {"/radio/1/ch/2/nbr", json::array()}}},
        {"0x8025", 0, {{"/bss/0/bssid", "02:a2:00:00:24:01"}, {"/bss/0/allowance", 0}}},
        // The later topology response of the first agent, with its backhaul BSS configured as such.
        {"0x0003", 2, {{"/radio/1/bss/1/ssid", "HomeNet-bh"}, {"/radio/1/bss/1/config_flags", 0x80}}}};
    for (const auto& [type, i, want] : values) {
        SCOPED_TRACE(type + " #" + std::to_string(i));
        expect_at(by[type].at(i)["record"], want);
    }
    // The compact form: a header, then 10 bytes a radio, 45 a BSS, 66 and 2 a TID a station.
    EXPECT_EQ(by["0x800C"][0]["length"], 4 + 2 * 10 + 3 * 45 + 3 * (66 + 2 * 2));
    size_t nbrs = 0;
    for (const json& r : by["0x801C"].at(0)["record"]["radio"])
        for (const json& c : r["ch"]) nbrs += c["nbr"].size();
    EXPECT_EQ(nbrs, 26u + 34 + 21 + 16 + 8 + 12);

    // The readable block of each record shows every value its JSON object holds.
    Result text = run("replay --dump --port 0 " + q(LUSL_SAMPLE));
    ASSERT_EQ(text.status, 0);
    std::vector<std::string> blocks;
    for (size_t at = 0, end; (end = text.out.find("\n\n", at)) != std::string::npos; at = end + 2)
        blocks.push_back(text.out.substr(at, end + 1 - at));
    ASSERT_GE(blocks.size(), all.records.size());
    auto shown = [](const json& v) { return v.is_string() ? v.get<std::string>() : v.dump(); };
    std::function<void(const json&, const std::string&)> check = [&](const json& j, const std::string& block) {
        for (const auto& [k, v] : j.items()) {
            if (v.is_object() || (v.is_array() && !v.empty() && v[0].is_structured())) {
                for (const json& e : v.is_object() ? json::array({v}) : v) check(e, block);
                continue;
            }
            std::string val;
            for (const json& e : v.is_array() ? v : json::array({v})) val += (val.empty() ? "" : ", ") + shown(e);
            if (v.is_array()) val = "[" + val + "]";
            EXPECT_NE(block.find(k + ": " + val + "\n"), std::string::npos) << k << "=" << val << " in\n" << block;
        }
    };
    for (size_t i = 0; i < all.records.size(); ++i) {
        const json& r = all.records[i];
        EXPECT_EQ(blocks[i].rfind(r["name"].get<std::string>() + " (" + r["type"].get<std::string>() + "), ", 0), 0u) << blocks[i];
        check(r["record"], blocks[i]);
    }

    // A pcapng copy replays alike.
    if (std::system("command -v editcap >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "editcap not installed (Debian package wireshark-common); cannot write a pcapng copy";
    const fs::path ng = path("sample.pcapng");
    ASSERT_EQ(std::system(("editcap -F pcapng " + q(LUSL_SAMPLE) + q(ng)).c_str()), 0);
    ASSERT_NE(slurp(ng).substr(0, 4), slurp(LUSL_SAMPLE).substr(0, 4)); // really pcapng
    const Replay a = replay(ng);
    for (const char* k : {"types", "not_parsed", "fragments", "frames", "other_frames"})
        EXPECT_EQ(a.summary[k], all.summary[k]) << k;
    EXPECT_EQ(a.records, all.records);
}

// ------------------------------------------------------------------ replay of built captures

TEST_F(Tool, ReplayReassemblesCountsAndRefuses)
{
    const std::vector<Bytes> f = cmdu_frames(unassoc_report(40), 200), g = cmdu_frames(unassoc_report(30, kOther), 200);
    ASSERT_EQ(f.size(), 3u); // one TLV, cut inside it twice
    ASSERT_EQ(g.size(), 2u);
    // Some senders close every fragment with an end-of-message TLV; the link pads short frames.
    auto link = [](const Mac& n, unsigned phy) {
        return tlv(0x09, {mac(kAgent), mac(n), mac(kAgent), mac(n), be16(1), u8(0), be32(1), be32(1000), be16(900),
                          be16(100), be16(phy)});
    };
    std::vector<Bytes> eom =
        cmdu_frames({kAgent, kController, 0x0006, 7, false, std::nullopt, {link(kController, 1000), link(kOther, 1441)}}, 60);
    ASSERT_EQ(eom.size(), 2u);
    eom[0].insert(eom[0].end(), 8, 0);
    CmduToSend big = unassoc_report(1);
    big.tlvs.insert(big.tlvs.end(), 70, tlv(0x0B, Bytes(1000, 0x5a))); // vendor TLVs, passed over
    const Bytes arp = ethernet_frame(parse_mac("ff:ff:ff:ff:ff:ff").value(), kAgent, std::nullopt, 0x0806, Bytes(28, 1));
    Bytes cut = ethernet_frame(kController, kAgent, uint16_t{5}, kEtherType1905, {0, 0, 0x80});
    cut.resize(14 + 4 + 3); // a 1905 frame cut by the snap length inside its header
    const Bytes cmdu = cat({encode_header({0, 0x8033, 1, 0, kFlagLastFragment}), tlv(0xC9, {be16(17)}), Bytes{0, 0, 0}});
    // Linux cooked v1: packet type, ARPHRD, address length, address (8), protocol
    const Bytes sll = cat({be16(0), be16(1), be16(6), mac(kAgent), be16(0), be16(kEtherType1905), cmdu});
    // Linux cooked v2: protocol, reserved, ifindex, ARPHRD, packet type, address length, address
    const Bytes sll2 = cat({be16(kEtherType1905), be16(0), be32(2), be16(1), u8(0), u8(6), mac(kAgent), be16(0), cmdu});
    const json from_agent = {{"/record/status_code", 17}, {"/source/mac", "02:a1:00:00:00:01"}};
    auto joined = [](int dups) {
        return json{{"/fragments/reassembled", 1}, {"/fragments/duplicates", dups}, {"/types/0/forwarded", 1}};
    };

    // file, exit status, JSON pointers into each record, the summary and each event, stderr lines
    const struct { std::string file, bytes; int status; std::vector<json> records; json summary = {};
                   std::vector<json> events = {}; std::vector<std::string> err = {}; std::string args = ""; } cases[] = {
        {"in-order.pcap", pcap(f), 0, {unassoc_record(40)}, joined(0)},
        {"reversed.pcap", pcap({f[2], f[1], f[0]}), 0, {unassoc_record(40)}, joined(0)},
        {"duplicated.pcap", pcap({f[0], f[1], f[1], f[0], f[2], f[2]}), 0, {unassoc_record(40)}, joined(3)},
        {"gap.pcap", pcap({f[0], f[2]}), 0, {}, {{"/fragments/incomplete", 1}, {"/fragments/reassembled", 0}},
         {{{"/event", "incomplete"}, {"/type", "0x8010"}, {"/mid", "0x4242"}, {"/fragments", {0, 2}}, {"/last", 2}}},
         {"incomplete CMDU: Unassociated Sta Link Metric Response (0x8010) id 0x4242 from 02:a1:00:00:00:01 (first "
          "fragment in frame 1): fragments 0,2 arrived, the last is 2"}},
        // the same message id from two senders, interleaved: the shorter one completes first
        {"two.pcap", pcap({f[0], g[0], f[1], g[1], f[2]}), 0, {unassoc_record(30, kOther), unassoc_record(40)},
         {{"/fragments/reassembled", 2}}},
        // fragments 0 and 1, silence for 30 s, then the whole CMDU again
        {"late.pcap", pcap({f[0], f[1], f[0], f[1], f[2]}, {0, 0, 30, 30, 30}), 0, {unassoc_record(40)},
         {{"/fragments/incomplete", 1}, {"/fragments/reassembled", 1}},
         {{{"/event", "incomplete"}, {"/fragments", {0, 1}}, {"/last", nullptr}}},
         {"fragments 0,1 arrived, the last never came"}},
        {"eom.pcap", pcap(eom), 0,
         {{{"/record/neighbor/1/al_mac", "02:a2:00:00:00:01"}, {"/record/neighbor/1/link/0/phy_rate", 1441},
           {"/record/neighbor/2", nullptr}}}},
        {"big.pcap", pcap(cmdu_frames(big)), 0, {}, {{"/types/0/refused", 1}},
         {{{"/event", "refused"}, {"/reason", "reassembled CMDU is larger than 65536 bytes, refused"}}},
         {"larger than 65536 bytes, refused"}},
        {"odd.pcap", pcap({arp, cut}), 0, {}, {{"/other_frames", 1}, {"/malformed_frames", 1}, {"/ieee1905_frames", 0}},
         {{{"/event", "malformed"}, {"/frame", 2}, {"/reason", "too short for a CMDU header"}}},
         {"odd.pcap: frame 2: IEEE 1905 frame too short for a CMDU header", "odd.pcap: no IEEE 1905 frames in this capture"}},
        // the sample cut inside its last frame; only two types kept, the other parsed ones counted
        {"cut.pcap", slurp(LUSL_SAMPLE).substr(0, fs::file_size(LUSL_SAMPLE) - 30), 2, {{{"/type", "0x8033"}}, {{"/type", "0x8025"}}},
         {{"/frames", 76}, {"/problem", "*"}, {"/filtered", 38}},
         {{{"/event", "refused"}, {"/type", "0x8025"}, {"/source/mid", "0x2011"}, {"/reason", "refused by the parser"}}},
         {"cut.pcap: truncated capture: the file ends inside frame 77"}, "--type 0x8025,0x8033"},
        {"cooked.pcap", pcap({sll}, {}, 113), 0, {from_agent}},
        {"cooked2.pcap", pcap({sll2}, {}, 276), 0, {from_agent}},
        {"radio.pcap", pcap({}, {}, 127), 1, {}, {}, {}, {"radio.pcap: link type", "is not supported"}},
        {"notes.txt", "not a capture at all\n", 1, {}, {}, {}, {"notes.txt: not a pcap or pcapng capture"}},
        {"empty.pcap", "", 1, {}, {}, {}, {"empty.pcap: empty, not a capture"}},
        {"type.pcap", pcap(f), 1, {}, {}, {}, {"'0x1FFFF' is not a message type"}, "--type 0x1FFFF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::ofstream(path(c.file), std::ios::binary) << c.bytes;
        Replay r = replay(path(c.file), c.args, c.status);
        EXPECT_EQ(r.records.size(), c.records.size());
        for (size_t i = 0; i < std::min(r.records.size(), c.records.size()); ++i) expect_at(r.records[i], c.records[i]);
        expect_at(r.summary, c.summary);
        EXPECT_EQ(r.events.size(), c.events.size());
        for (size_t i = 0; i < std::min(r.events.size(), c.events.size()); ++i) expect_at(r.events[i], c.events[i]);
        for (const std::string& e : c.err) EXPECT_NE(r.err.find(e), std::string::npos) << e << "\n" << r.err;
    }
}

// ------------------------------------------------------------------ channel captures

// One IPv4/UDP packet to 127.0.0.1:port carrying payload.
Bytes ipv4_udp(const Bytes& payload, uint16_t port)
{
    Bytes p = {0x45, 0, 0, 0, 0, 1, 0x40, 0, 64, 17, 0, 0, 127, 0, 0, 1, 127, 0, 0, 1, 0x9c, 0x40,
               static_cast<uint8_t>(port >> 8), static_cast<uint8_t>(port), 0, 0, 0, 0};
    const size_t udp = 8 + payload.size(), ip = 20 + udp;
    p[2] = static_cast<uint8_t>(ip >> 8), p[3] = static_cast<uint8_t>(ip);
    p[24] = static_cast<uint8_t>(udp >> 8), p[25] = static_cast<uint8_t>(udp);
    p.insert(p.end(), payload.begin(), payload.end());
    return p;
}

TEST_F(Tool, DumpReadsEveryLinkTypeAlikeAndRefusesUnusableFiles)
{
    // Failed Connection: reason 1, status 17, BSSID, STA.
    const Bytes ip = ipv4_udp({0x33, 0x80, 1, 0, 17, 0, 2, 0xa2, 0, 0, 0x24, 1, 2, 0x5a, 0, 0, 0, 0x55}, 49990);
    const std::pair<std::string, std::string> files[] = {
        {"eth", pcap({cat({{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x08, 0x00}, ip})})},
        // an 802.1Q tag in front
        {"vlan", pcap({cat({{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x81, 0x00, 0, 5, 0x08, 0x00}, ip})})},
        {"cooked", pcap({cat({{0, 0, 3, 4, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0x08, 0x00}, ip})}, {}, 113)},
        {"cooked2", pcap({cat({{0x08, 0x00, 0, 0, 0, 0, 0, 1, 3, 4, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0}, ip})}, {}, 276)},
        {"raw", pcap({ip}, {}, 101)},
        {"null", pcap({cat({{2, 0, 0, 0}, ip})}, {}, 0)},
        {"loop", pcap({cat({{0, 0, 0, 2}, ip})}, {}, 108)},
    };
    const json want = {{"type", "0x8033"}, {"name", "Failed Connection"}, {"length", 18}, {"received", 18},
                       {"record", {{"reason_code", 1}, {"status_code", 17}, {"bssid", "02:a2:00:00:24:01"},
                                   {"sta_mac", "02:5a:00:00:00:55"}}},
                       {"time", 1700000000 + 1000 / 1e6}, {"frame", 1}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        std::ofstream(path(name + ".pcap"), std::ios::binary) << bytes;
        const Replay r = parse(run("dump --read " + q(path(name + ".pcap")) + "--json --port 49990"));
        EXPECT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(r.records.size(), 1u) << r.out;
        EXPECT_EQ(r.records[0], want);
    }

    for (const auto& [name, bytes, err] : {std::tuple<std::string, std::string, std::string>{
                                               "radio", pcap({}, {}, 127), "link type IEEE802_11_RADIO is not supported"},
                                           {"text", "not a capture\n", "not a pcap or pcapng capture"},
                                           {"empty", "", "empty file, not a capture"}}) {
        std::ofstream(path(name), std::ios::binary) << bytes;
        Result bad = run("dump --read " + q(path(name)));
        EXPECT_EQ(bad.status, 1);
        EXPECT_NE(bad.err.find(err), std::string::npos) << bad.err;
    }
}

TEST(Reassembly, OpenAssembliesAreBounded)
{
    Reassembler ra;
    Fragment f{kAgent, {}, {}, {.type = 0x8010}, {0x98, 0x00, 0x00}};
    for (unsigned mid = 0; mid <= 1024; ++mid) {
        f.hdr.mid = static_cast<uint16_t>(mid);
        EXPECT_FALSE(ra.add(f, mid * 0.001, mid + 1));
    }
    auto given_up = ra.expire(2.0); // none is stale yet; one was pushed out
    ASSERT_EQ(given_up.size(), 1u);
    EXPECT_EQ(given_up[0].mid, 0);
    EXPECT_EQ(ra.expire(INFINITY).size(), 1024u);
    EXPECT_EQ(ra.stats().incomplete, 1025u);
}

TEST(Frames, StackedTagsNameTheOuterVlan)
{
    // 802.1ad outer tag around an 802.1Q tag
    const Bytes qinq = cat({mac(kController), mac(kAgent), be16(kEtherTypeQinQ), be16(300), be16(kEtherTypeVlan), be16(100),
                            be16(kEtherType1905), encode_header({0, 0x8025, 9, 0, kFlagLastFragment}), Bytes{0, 0, 0}});
    Fragment f;
    ASSERT_EQ(parse_frame(1, qinq.data(), qinq.size(), f), FrameKind::Cmdu);
    EXPECT_EQ(std::tie(f.src, f.hdr.type, f.hdr.mid, f.vlan, f.payload),
              std::tuple(kAgent, uint16_t{0x8025}, uint16_t{9}, std::optional<uint16_t>{300}, Bytes{0, 0, 0}));
}

} // namespace
