// The lusl binary end to end: sample regeneration, replay counts, decoding, reassembly,
// bad input, and a pcapng copy of the sample.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>

#include "capture.h"
#include "gen.h"
#include "printers.h"

namespace fs = std::filesystem;
using nlohmann::json;
using namespace lusl::tool;
using namespace lusl::tool::gen;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
    std::vector<std::string> lines() const
    {
        std::vector<std::string> v;
        std::istringstream s(out);
        for (std::string l; std::getline(s, l);) v.push_back(l);
        return v;
    }
};

std::string slurp(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class Tool : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/lusl-tools-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path path(const std::string& name) const { return dir_ / name; }

    // Runs lusl with args (already shell-quoted where needed), optionally feeding stdin.
    Result run(const std::string& args, const std::string& input = "") const
    {
        std::ofstream(path("stdin")) << input;
        std::string cmd = std::string("LUMAP_LOG_LEVEL=2 '") + LUSL_BIN + "' " + args + " <'" + path("stdin").string() +
                          "' >'" + path("stdout").string() + "' 2>'" + path("stderr").string() + "'";
        Result r;
        int rc = std::system(cmd.c_str());
        r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        r.out = slurp(path("stdout"));
        r.err = slurp(path("stderr"));
        return r;
    }

    // Replays with a private receiver and returns the records and the summary.
    std::pair<std::vector<json>, json> replay_json(const fs::path& capture, const std::string& extra = "") const
    {
        Result r = run("replay --dump --port 0 --json '" + capture.string() + "' " + extra);
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<json> records;
        json summary;
        for (const std::string& l : r.lines()) {
            json j = json::parse(l); // every line must be JSON
            if (j.contains("summary"))
                summary = j["summary"];
            else
                records.push_back(j);
        }
        return {records, summary};
    }

    // Frames 1 ms apart, or at the given seconds.
    void write(const std::string& name, const std::vector<Bytes>& frames, const std::vector<uint32_t>& at = {}) const
    {
        std::vector<Packet> packets;
        for (size_t i = 0; i < frames.size(); ++i) {
            Packet p;
            p.ts_sec = 1700000000 + (at.empty() ? 0 : at[i]);
            p.ts_usec = static_cast<uint32_t>(1000 * (i + 1));
            p.data = frames[i];
            packets.push_back(p);
        }
        write_pcap(path(name).string(), packets);
    }

    fs::path dir_;
};

const Mac kAgent = parse_mac("02:a1:00:00:00:01").value();
const Mac kController = parse_mac("02:c0:00:00:00:01").value();

// An Unassociated STA Link Metrics Response with n stations 02:5b:00:00:00:i, RCPI 100 + i.
CmduToSend unassoc_report(unsigned n, const Mac& src = kAgent)
{
    Bytes v = cat({u8(115), u8(n)});
    for (unsigned i = 0; i < n; ++i)
        v = cat({v, u8(0x02), u8(0x5b), u8(0), u8(0), u8(0), u8(i), u8(36), be32(20), u8(100 + i)});
    CmduToSend c;
    c.src = src;
    c.dst = kController;
    c.type = 0x8010;
    c.mid = 0x4242;
    c.tlvs = {tlv(0x98, v)};
    return c;
}

void expect_unassoc_record(const json& rec, unsigned n, const Mac& src = kAgent)
{
    ASSERT_EQ(rec["type"], "0x8010");
    const json& r = rec["record"];
    EXPECT_EQ(r["device_mac"], mac_str(src));
    EXPECT_EQ(r["op_class"], 115);
    ASSERT_EQ(r["sta"].size(), n);
    EXPECT_EQ(r["sta"][n - 1]["sta_mac"], "02:5b:00:00:00:" + [&] {
        char b[3];
        std::snprintf(b, sizeof b, "%02x", n - 1);
        return std::string(b);
    }());
    EXPECT_EQ(r["sta"][n - 1]["uplink_rcpi"], 100 + n - 1);
    EXPECT_EQ(r["sta"][0]["channel"], 36);
}

// ------------------------------------------------------------------ the sample

TEST_F(Tool, RegeneratingTheSampleGivesIdenticalBytes)
{
    Result r = run("gen '" + path("again.pcap").string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string shipped = slurp(LUSL_SAMPLE);
    ASSERT_FALSE(shipped.empty());
    EXPECT_TRUE(slurp(path("again.pcap")) == shipped) << "samples/mesh-session.pcap is stale: run the lusl_sample target";
}

TEST_F(Tool, ReplayOfTheSampleForwardsEachTypeAndRefusesTheBrokenOnes)
{
    auto [records, s] = replay_json(LUSL_SAMPLE);
    // seen, forwarded, refused, as the session is scripted
    const std::map<std::string, std::array<int, 3>> expected = {
        {"0x0001", {5, 5, 0}}, {"0x0003", {4, 3, 1}}, {"0x0006", {3, 2, 1}}, {"0x0009", {8, 8, 0}},
        {"0x8002", {2, 2, 0}}, {"0x8005", {2, 2, 0}}, {"0x8008", {3, 2, 1}}, {"0x800A", {2, 2, 0}},
        {"0x800C", {2, 2, 0}}, {"0x800E", {1, 1, 0}}, {"0x8010", {1, 1, 0}}, {"0x8015", {1, 1, 0}},
        {"0x801A", {1, 1, 0}}, {"0x801C", {1, 1, 0}}, {"0x8022", {1, 1, 0}}, {"0x8025", {2, 1, 1}},
        {"0x802C", {2, 2, 0}}, {"0x8033", {1, 1, 0}}};
    std::map<std::string, std::array<int, 3>> got;
    for (const json& t : s["types"]) got[t["type"].get<std::string>()] = {t["seen"].get<int>(), t["forwarded"].get<int>(), t["refused"].get<int>()};
    EXPECT_EQ(got, expected);
    EXPECT_EQ(s["other_frames"], 3);   // ARP, LLDP, mDNS
    EXPECT_EQ(s["malformed_frames"], 0);
    EXPECT_EQ(s["fragments"]["fragments"], 3);
    EXPECT_EQ(s["fragments"]["reassembled"], 1);
    EXPECT_EQ(s["fragments"]["incomplete"], 0);

    // One record per forwarded CMDU, in capture order, each of the type that was forwarded.
    std::map<std::string, int> per_type;
    for (const json& r : records) {
        EXPECT_FALSE(r.contains("hex")) << r["type"] << " was not decoded";
        ++per_type[r["type"].get<std::string>()];
    }
    for (const auto& [type, counts] : expected) EXPECT_EQ(per_type[type], counts[1]) << type;
}

TEST_F(Tool, SampleRecordsCarryTheSessionsValues)
{
    auto [records, s] = replay_json(LUSL_SAMPLE, "--type 0x800C,0x801C,0x8025,0x0003");
    std::map<std::string, std::vector<json>> by;
    for (const json& r : records) by[r["type"].get<std::string>()].push_back(r["record"]);
    ASSERT_EQ(by["0x800C"].size(), 2u);
    ASSERT_EQ(by["0x801C"].size(), 1u);
    ASSERT_EQ(by["0x8025"].size(), 1u);
    ASSERT_EQ(by["0x0003"].size(), 3u);
    EXPECT_EQ(s["filtered"], 33); // CMDUs of the other parsed types

    // The first agent: two radios, three BSSs; its phone on the 2.4 GHz BSS reports two TIDs.
    const json& m = by["0x800C"][0];
    EXPECT_EQ(m["radio_num"], 2);
    EXPECT_EQ(m["bss_num"], 3);
    EXPECT_EQ(m["bss"][0]["bssid"], "02:a1:00:00:24:01");
    EXPECT_EQ(m["bss"][0]["sta"][0]["mac"], "02:5a:00:00:00:11");
    EXPECT_EQ(m["bss"][0]["sta"][0]["tid_num"], 2);
    EXPECT_EQ(m["bss"][2]["sta"][0]["mac"], "02:a2:00:00:5b:01"); // the backhaul STA
    // The second agent sent the TV's traffic counters before its link metrics.
    EXPECT_EQ(by["0x800C"][1]["bss"][1]["sta"][0]["bytes_sent"], 1220514003u);

    // The reassembled scan report: 3 channels on 2.4 GHz, 4 on 5 GHz, one of them failed.
    const json& scan = by["0x801C"][0];
    ASSERT_EQ(scan["radio_num"], 2);
    EXPECT_EQ(scan["radio"][0]["ch_num"], 3);
    ASSERT_EQ(scan["radio"][1]["ch_num"], 4);
    EXPECT_EQ(scan["radio"][1]["ch"][2]["channel"], 52);
    EXPECT_EQ(scan["radio"][1]["ch"][2]["scan_status"], 4);
    EXPECT_EQ(scan["radio"][1]["ch"][2]["nbr"].size(), 0u);
    unsigned nbrs = 0;
    for (const json& r : scan["radio"])
        for (const json& c : r["ch"]) nbrs += static_cast<unsigned>(c["nbr"].size());
    EXPECT_EQ(nbrs, 26u + 34 + 21 + 16 + 8 + 12);

    EXPECT_EQ(by["0x8025"][0]["bss"][0]["bssid"], "02:a2:00:00:24:01");
    EXPECT_EQ(by["0x8025"][0]["bss"][0]["allowance"], 0);
    // The later topology response of the first agent, with its backhaul BSS configured as such.
    EXPECT_EQ(by["0x0003"][2]["radio"][1]["bss"][1]["ssid"], "HomeNet-bh");
    EXPECT_EQ(by["0x0003"][2]["radio"][1]["bss"][1]["config_flags"], 0x80);
}

// The readable block of each record shows every value its JSON object holds.
TEST_F(Tool, TextAndJsonCarryTheSameValues)
{
    auto [records, s] = replay_json(LUSL_SAMPLE);
    Result text = run("replay --dump --port 0 '" + std::string(LUSL_SAMPLE) + "'");
    ASSERT_EQ(text.status, 0);
    std::vector<std::string> blocks;
    std::string cur;
    for (const std::string& l : text.lines()) {
        if (l.empty()) {
            blocks.push_back(cur);
            cur.clear();
        } else {
            cur += l + "\n";
        }
    }
    ASSERT_GE(blocks.size(), records.size());
    std::function<void(const json&, const std::string&, const std::string&)> check =
        [&](const json& j, const std::string& block, const std::string& where) {
            for (const auto& [k, v] : j.items()) {
                if (v.is_object()) {
                    check(v, block, where);
                } else if (v.is_array() && !v.empty() && v[0].is_structured()) {
                    for (const json& e : v) check(e, block, where);
                } else if (v.is_array()) {
                    std::string list;
                    for (const json& e : v) list += (list.empty() ? "" : ", ") + (e.is_string() ? e.get<std::string>() : e.dump());
                    EXPECT_NE(block.find(k + ": [" + list + "]\n"), std::string::npos) << where << " " << k;
                } else {
                    std::string val = v.is_string() ? v.get<std::string>() : v.dump();
                    EXPECT_NE(block.find(k + ": " + val + "\n"), std::string::npos) << where << " " << k << "=" << val;
                }
            }
        };
    for (size_t i = 0; i < records.size(); ++i) {
        const json& r = records[i];
        EXPECT_EQ(blocks[i].substr(0, blocks[i].find('\n')).find(r["name"].get<std::string>() + " (" +
                                                                   r["type"].get<std::string>() + "), "),
                  0u);
        check(r["record"], blocks[i], r["type"].get<std::string>());
    }
}

// ------------------------------------------------------------------ decode

// Failed Connection from a guest: BSSID, STA MAC, status code 17, reason code 1.
const char* kFailedConnCmdu = "00 00 80 33 00 07 00 80 "
                              "b8 00 06 02 a2 00 00 24 01 "
                              "95 00 06 02 5a 00 00 00 55 "
                              "c9 00 02 00 11 "
                              "ca 00 02 00 01 "
                              "00 00 00";

TEST_F(Tool, DecodePrintsTheKnownFields)
{
    Result r = run(std::string("decode '") + kFailedConnCmdu + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Failed Connection (0x8033), 18 bytes\n", 0), 0u) << r.out;
    for (const char* line : {"  reason_code: 1\n", "  status_code: 17\n", "  bssid: 02:a2:00:00:24:01\n",
                             "  sta_mac: 02:5a:00:00:00:55\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line;

    // The same CMDU from standard input, as JSON.
    Result j = run("decode - --json", kFailedConnCmdu);
    ASSERT_EQ(j.status, 0) << j.err;
    json rec = json::parse(j.out);
    EXPECT_EQ(rec["type"], "0x8033");
    EXPECT_EQ(rec["length"], 18);
    EXPECT_EQ(rec["record"],
              json({{"reason_code", 1}, {"status_code", 17}, {"bssid", "02:a2:00:00:24:01"}, {"sta_mac", "02:5a:00:00:00:55"}}));
}

TEST_F(Tool, DecodeTakesABareStreamWithItsTypeAndTheSourceMac)
{
    // Unassociated STA Link Metrics Response: the record keeps the source MAC.
    Result r = run("decode --json --type 0x8010 --src 02:a2:00:00:00:01 "
                   "'98 00 0e 51 01 02 5a 00 00 00 11 06 00 00 00 55 6e'");
    ASSERT_EQ(r.status, 0) << r.err;
    json rec = json::parse(r.out)["record"];
    EXPECT_EQ(rec["device_mac"], "02:a2:00:00:00:01");
    EXPECT_EQ(rec["op_class"], 81);
    ASSERT_EQ(rec["sta"].size(), 1u);
    EXPECT_EQ(rec["sta"][0], json({{"sta_mac", "02:5a:00:00:00:11"}, {"channel", 6}, {"uplink_rcpi", 0x6e}}));
}

TEST_F(Tool, DecodeShowsTheCompactApMetrics)
{
    // One radio, one BSS reporting one station with two TIDs: 4 + 10 + 45 + 70 bytes.
    const Mac ruid = parse_mac("02:a1:00:00:50:00").value(), bssid = parse_mac("02:a1:00:00:50:01").value(),
              sta = parse_mac("02:5a:00:00:00:22").value();
    Bytes cmdu = cat({encode_header({0, 0x800C, 3, 0, kFlagLastFragment}),
                      tlv(0xC6, {mac(ruid), u8(0xA6), u8(75), u8(38), u8(20)}),
                      tlv(0x94, {mac(bssid), u8(61), be16(1), u8(0x80), u8(0xB1), u8(0x96), u8(0x32)}),
                      tlv(0x96, {mac(sta), u8(1), mac(bssid), be32(120), be32(1201), be32(864), u8(0xB8)}),
                      tlv(0xB0, {mac(sta), u8(2), u8(0), u8(12), u8(5), u8(3)}), Bytes{0, 0, 0}});
    Result r = run("decode --json " + hex(cmdu.data(), cmdu.size()));
    ASSERT_EQ(r.status, 0) << r.err;
    json j = json::parse(r.out);
    EXPECT_EQ(j["length"], 129);
    const json& rec = j["record"];
    EXPECT_EQ(rec["radio"][0], json({{"ruid", "02:a1:00:00:50:00"}, {"noise", 0xA6}, {"transmit", 75},
                                     {"receive_self", 38}, {"receive_other", 20}}));
    const json& b = rec["bss"][0];
    EXPECT_EQ(b["esp_be"], "b19632");
    EXPECT_EQ(b["esp_bk"], "000000");
    ASSERT_EQ(b["sta_num"], 1);
    EXPECT_EQ(b["sta"][0]["est_rate_dl"], 1201);
    EXPECT_EQ(b["sta"][0]["est_rate_ul"], 864);
    EXPECT_EQ(b["sta"][0]["tid"], json::parse(R"([{"tid":0,"queue_size":12},{"tid":5,"queue_size":3}])"));
}

TEST_F(Tool, LibraryNoticesStayOffTheRecordStream)
{
    // A failed client capability query: the library prints a notice on standard output.
    Result r = run("decode --json --type 0x800A '90 00 0c 02 a1 00 00 24 01 02 5a 00 00 00 11 91 00 01 01'");
    ASSERT_EQ(r.status, 0) << r.err;
    json rec = json::parse(r.out); // one object, nothing else
    EXPECT_EQ(rec["record"]["sta_mac"], "02:5a:00:00:00:11");
    EXPECT_EQ(rec["record"]["frame_len"], 0);
    EXPECT_NE(r.err.find("ClientCap: Result code not success."), std::string::npos) << r.err;
}

TEST_F(Tool, DecodeRefusalsAndBadHexAreReported)
{
    // eleven BSSs: more than a device may have
    std::string eleven = "bf 00 4e 0b";
    for (int i = 0; i < 11; ++i) eleven += " 02 a2 00 00 24 01 01";
    Result refused = run("decode --type 0x8025 '" + eleven + "'");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Association Status Notification (0x8025) refused"), std::string::npos) << refused.err;
    EXPECT_TRUE(refused.out.empty());

    Result odd = run("decode '00 00 80 3'");
    EXPECT_EQ(odd.status, 1);
    EXPECT_NE(odd.err.find("odd number of hex digits"), std::string::npos);
    Result junk = run("decode '00 zz'");
    EXPECT_EQ(junk.status, 1);
    EXPECT_NE(junk.err.find("'z' at position 3 is not a hex digit"), std::string::npos) << junk.err;
    Result bare = run("decode 'bf 00 08 01 02 a2 00 00 24 01 00'");
    EXPECT_EQ(bare.status, 1);
    EXPECT_NE(bare.err.find("give --type"), std::string::npos);
    Result unparsed = run("decode '00 00 00 02 00 01 00 80 00 00 00'");
    EXPECT_EQ(unparsed.status, 1);
    EXPECT_NE(unparsed.err.find("Topology Query (0x0002) is not a message type the library parses"), std::string::npos);
}

// ------------------------------------------------------------------ reassembly

TEST_F(Tool, ReassemblyInOrderReversedAndDuplicated)
{
    std::vector<Bytes> frames = cmdu_frames(unassoc_report(40), 200);
    ASSERT_EQ(frames.size(), 3u); // one TLV, cut inside it twice

    write("in-order.pcap", frames);
    write("reversed.pcap", {frames[2], frames[1], frames[0]});
    write("duplicated.pcap", {frames[0], frames[1], frames[1], frames[0], frames[2], frames[2]});
    const std::map<std::string, int> duplicates = {{"in-order.pcap", 0}, {"reversed.pcap", 0}, {"duplicated.pcap", 3}};
    for (const auto& [name, dups] : duplicates) {
        SCOPED_TRACE(name);
        auto [records, s] = replay_json(path(name));
        ASSERT_EQ(records.size(), 1u);
        expect_unassoc_record(records[0], 40);
        EXPECT_EQ(s["fragments"]["reassembled"], 1);
        EXPECT_EQ(s["fragments"]["duplicates"], dups);
        EXPECT_EQ(s["types"][0]["forwarded"], 1);
    }
}

TEST_F(Tool, IncompleteCmduIsReportedNotForwarded)
{
    std::vector<Bytes> frames = cmdu_frames(unassoc_report(40), 200);
    write("gap.pcap", {frames[0], frames[2]});
    Result r = run("replay --json --dump --port 0 '" + path("gap.pcap").string() + "'");
    ASSERT_EQ(r.status, 0);
    json s = json::parse(r.lines().back())["summary"];
    EXPECT_EQ(s["fragments"]["incomplete"], 1);
    EXPECT_EQ(s["fragments"]["reassembled"], 0);
    EXPECT_EQ(r.lines().size(), 1u); // the summary only
    EXPECT_NE(r.err.find("incomplete CMDU: Unassociated Sta Link Metric Response (0x8010) id 16962 from "
                         "02:a1:00:00:00:01 (first fragment in frame 1): fragments 0,2 arrived, the last is 2"),
              std::string::npos)
        << r.err;
}

TEST_F(Tool, SameMessageIdFromTwoSendersInterleaved)
{
    const Mac other = parse_mac("02:a2:00:00:00:01").value();
    std::vector<Bytes> a = cmdu_frames(unassoc_report(40), 200);
    std::vector<Bytes> b = cmdu_frames(unassoc_report(30, other), 200);
    ASSERT_EQ(a.size(), 3u);
    ASSERT_EQ(b.size(), 2u);
    write("two.pcap", {a[0], b[0], a[1], b[1], a[2]});
    auto [records, s] = replay_json(path("two.pcap"));
    ASSERT_EQ(records.size(), 2u);
    expect_unassoc_record(records[0], 30, other); // completes first
    expect_unassoc_record(records[1], 40);
    EXPECT_EQ(s["fragments"]["reassembled"], 2);
}

TEST_F(Tool, StaleAssemblyIsGivenUpAndARetransmissionGoesThrough)
{
    std::vector<Bytes> f = cmdu_frames(unassoc_report(40), 200);
    // fragments 0 and 1, silence for 30 s, then the whole CMDU again
    write("late.pcap", {f[0], f[1], f[0], f[1], f[2]}, {0, 0, 30, 30, 30});
    Result r = run("replay --json --dump --port 0 '" + path("late.pcap").string() + "'");
    ASSERT_EQ(r.status, 0);
    auto lines = r.lines();
    ASSERT_EQ(lines.size(), 2u);
    expect_unassoc_record(json::parse(lines[0]), 40);
    json s = json::parse(lines[1])["summary"];
    EXPECT_EQ(s["fragments"]["incomplete"], 1);
    EXPECT_EQ(s["fragments"]["reassembled"], 1);
    EXPECT_NE(r.err.find("fragments 0,1 arrived, the last never came"), std::string::npos) << r.err;
}

TEST(Reassembly, OpenAssembliesAreBounded)
{
    Reassembler ra;
    Fragment f;
    f.src = kAgent;
    f.hdr.type = 0x8010;
    f.payload = {0x98, 0x00, 0x00};
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

TEST_F(Tool, FragmentsThatEachEndWithEndOfMessageAndPadding)
{
    // Some senders close every fragment with an end-of-message TLV; the link pads short frames.
    CmduToSend c;
    c.src = kAgent;
    c.dst = kController;
    c.type = 0x0006;
    c.mid = 7;
    const Mac n1 = parse_mac("02:c0:00:00:00:01").value(), n2 = parse_mac("02:a2:00:00:00:01").value();
    auto tx = [&](const Mac& n, unsigned phy) {
        return tlv(0x09, {mac(kAgent), mac(n), mac(kAgent), mac(n), be16(1), u8(0), be32(1), be32(1000), be16(900),
                          be16(100), be16(phy)});
    };
    c.tlvs = {tx(n1, 1000), tx(n2, 1441)};
    std::vector<Bytes> frames = cmdu_frames(c, 60);
    ASSERT_EQ(frames.size(), 2u);
    Bytes first = frames[0];
    first.insert(first.end(), {0, 0, 0, 0, 0, 0, 0, 0});
    write("eom.pcap", {first, frames[1]});
    auto [records, s] = replay_json(path("eom.pcap"));
    ASSERT_EQ(records.size(), 1u);
    const json& nb = records[0]["record"]["neighbor"];
    ASSERT_EQ(nb.size(), 2u);
    EXPECT_EQ(nb[1]["al_mac"], "02:a2:00:00:00:01");
    EXPECT_EQ(nb[1]["link"][0]["phy_rate"], 1441);
}

TEST_F(Tool, OversizedCmduIsRefused)
{
    CmduToSend c = unassoc_report(1);
    for (int i = 0; i < 70; ++i) c.tlvs.push_back(tlv(0x0B, Bytes(1000, 0x5a))); // vendor TLVs, passed over
    std::vector<Bytes> frames = cmdu_frames(c);
    ASSERT_GT(frames.size(), 44u);
    write("big.pcap", frames);
    auto [records, s] = replay_json(path("big.pcap"));
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(s["types"][0]["refused"], 1);
    Result r = run("replay --dump --port 0 '" + path("big.pcap").string() + "'");
    EXPECT_NE(r.err.find("larger than 65536 bytes, refused"), std::string::npos) << r.err;
}

// ------------------------------------------------------------------ bad input

TEST_F(Tool, InputThatIsNotACaptureIsRefusedWithTheFileName)
{
    std::ofstream(path("notes.txt")) << "not a capture at all\n";
    Result r = run("replay '" + path("notes.txt").string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(path("notes.txt").string() + ": not a pcap or pcapng capture"), std::string::npos) << r.err;

    Result missing = run("replay '" + path("absent.pcap").string() + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("absent.pcap: cannot open"), std::string::npos);

    std::ofstream(path("empty.pcap"));
    EXPECT_EQ(run("replay '" + path("empty.pcap").string() + "'").status, 1);

    Result type = run("replay --type 0x1FFFF '" + std::string(LUSL_SAMPLE) + "'");
    EXPECT_EQ(type.status, 1);
    EXPECT_NE(type.err.find("'0x1FFFF' is not a message type"), std::string::npos) << type.err;
}

TEST_F(Tool, TruncatedCaptureReplaysWhatCameBeforeTheCut)
{
    std::string bytes = slurp(LUSL_SAMPLE);
    std::ofstream(path("cut.pcap"), std::ios::binary) << bytes.substr(0, bytes.size() - 30);
    Result r = run("replay --json --dump --port 0 '" + path("cut.pcap").string() + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("cut.pcap: truncated capture: the file ends inside frame 77"), std::string::npos) << r.err;
    json s = json::parse(r.lines().back())["summary"];
    EXPECT_EQ(s["frames"], 76);
    EXPECT_TRUE(s.contains("problem"));
}

TEST_F(Tool, Non1905AndShortFramesAreSkippedAndCounted)
{
    Bytes arp = ethernet_frame(parse_mac("ff:ff:ff:ff:ff:ff").value(), kAgent, std::nullopt, 0x0806, Bytes(28, 1));
    Bytes cut = ethernet_frame(kController, kAgent, uint16_t{5}, kEtherType1905, {0, 0, 0x80});
    cut.resize(14 + 4 + 3); // a 1905 frame cut by the snap length inside its header
    write("odd.pcap", {arp, cut});
    auto [records, s] = replay_json(path("odd.pcap"));
    EXPECT_EQ(s["other_frames"], 1);
    EXPECT_EQ(s["malformed_frames"], 1);
    EXPECT_EQ(s["ieee1905_frames"], 0);
    Result r = run("replay --dump --port 0 '" + path("odd.pcap").string() + "'");
    EXPECT_NE(r.err.find("odd.pcap: frame 2: IEEE 1905 frame too short for a CMDU header"), std::string::npos);
    EXPECT_NE(r.err.find("odd.pcap: no IEEE 1905 frames in this capture"), std::string::npos);
}

// ------------------------------------------------------------------ link layers

TEST_F(Tool, CookedCaptureReplaysAndForeignLinkTypesAreRefused)
{
    auto capture = [](unsigned linktype, const Bytes& frame) {
        std::string f;
        auto le32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) f += static_cast<char>(v >> (8 * i)); };
        le32(0xA1B2C3D4);
        f += std::string("\x02\x00\x04\x00", 4);
        le32(0);
        le32(0);
        le32(65535);
        le32(linktype);
        if (frame.empty()) return f;
        le32(1700000000);
        le32(0);
        le32(static_cast<uint32_t>(frame.size()));
        le32(static_cast<uint32_t>(frame.size()));
        return f + std::string(frame.begin(), frame.end());
    };
    Bytes cmdu = cat({encode_header({0, 0x8033, 1, 0, kFlagLastFragment}), tlv(0xC9, {be16(17)}), Bytes{0, 0, 0}});
    Bytes sll = cat({be16(0), be16(1), be16(6), mac(kAgent), be16(0), be16(kEtherType1905), cmdu});
    std::ofstream(path("any.pcap"), std::ios::binary) << capture(113, sll);
    auto [records, s] = replay_json(path("any.pcap"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["record"]["status_code"], 17);
    EXPECT_EQ(records[0]["source"]["mac"], "02:a1:00:00:00:01");

    std::ofstream(path("radio.pcap"), std::ios::binary) << capture(127, {});
    Result r = run("replay '" + path("radio.pcap").string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("radio.pcap: link type"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("is not supported"), std::string::npos) << r.err;
}

TEST(Frames, CookedCapturesAndStackedTags)
{
    const Bytes cmdu = cat({encode_header({0, 0x8025, 9, 0, kFlagLastFragment}), Bytes{0, 0, 0}});
    Fragment f;
    // Linux cooked v1: packet type, ARPHRD, address length, address (8), protocol
    Bytes sll = cat({be16(0), be16(1), be16(6), mac(kAgent), be16(0), be16(kEtherType1905), cmdu});
    ASSERT_EQ(parse_frame(113, sll.data(), sll.size(), f), FrameKind::Cmdu);
    EXPECT_EQ(f.src, kAgent);
    EXPECT_EQ(f.hdr.type, 0x8025);
    // Linux cooked v2: protocol, reserved, ifindex, ARPHRD, packet type, address length, address
    Bytes sll2 = cat({be16(kEtherType1905), be16(0), be32(2), be16(1), u8(0), u8(6), mac(kAgent), be16(0), cmdu});
    ASSERT_EQ(parse_frame(276, sll2.data(), sll2.size(), f), FrameKind::Cmdu);
    EXPECT_EQ(f.src, kAgent);
    EXPECT_EQ(f.hdr.mid, 9);
    // 802.1ad outer tag around an 802.1Q tag
    Bytes qinq = cat({mac(kController), mac(kAgent), be16(kEtherTypeQinQ), be16(300), be16(kEtherTypeVlan), be16(100),
                      be16(kEtherType1905), cmdu});
    ASSERT_EQ(parse_frame(1, qinq.data(), qinq.size(), f), FrameKind::Cmdu);
    EXPECT_EQ(f.vlan, 300);
    EXPECT_EQ(f.payload, (Bytes{0, 0, 0}));
}

// ------------------------------------------------------------------ pcapng and dump

TEST_F(Tool, PcapngCopyReplaysLikeTheSample)
{
    if (std::system("command -v editcap >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "editcap not installed (Debian package wireshark-common); cannot write a pcapng copy";
    std::string cmd = "editcap -F pcapng '" + std::string(LUSL_SAMPLE) + "' '" + path("sample.pcapng").string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    ASSERT_NE(slurp(path("sample.pcapng")).substr(0, 4), slurp(LUSL_SAMPLE).substr(0, 4)); // really pcapng
    auto [ng_records, ng] = replay_json(path("sample.pcapng"));
    auto [records, s] = replay_json(LUSL_SAMPLE);
    for (const char* k : {"types", "not_parsed", "fragments", "frames", "other_frames"}) EXPECT_EQ(ng[k], s[k]) << k;
    ASSERT_EQ(ng_records.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) EXPECT_EQ(ng_records[i]["record"], records[i]["record"]) << i;
}

TEST_F(Tool, DumpPrintsWhatAReplayForwards)
{
    // dump on a free port, as a child of this test; it announces the port and stops after 2 records.
    posix_spawn_file_actions_t io;
    posix_spawn_file_actions_init(&io);
    posix_spawn_file_actions_addopen(&io, 1, path("dump.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&io, 2, path("dump.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const char* argv[] = {LUSL_BIN, "dump", "--port", "0", "--json", "--count", "2", nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, LUSL_BIN, &io, nullptr, const_cast<char* const*>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&io);
    auto finished = [&](int tries) {
        int st = 0;
        for (int i = 0; i < tries; ++i) {
            if (waitpid(pid, &st, WNOHANG) == pid) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    };
    int port = 0;
    for (int i = 0; i < 200 && !port; ++i) {
        std::string err = slurp(path("dump.err"));
        if (auto at = err.find("listening on 127.0.0.1:"); at != std::string::npos) port = std::atoi(err.c_str() + at + 23);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!port) {
        kill(pid, SIGTERM);
        finished(100);
        FAIL() << "dump did not start";
    }

    Result r = run("replay --port " + std::to_string(port) + " --type 0x8025,0x8033 '" + LUSL_SAMPLE + "'");
    EXPECT_EQ(r.status, 0);
    if (!finished(250)) {
        kill(pid, SIGTERM);
        finished(100);
        FAIL() << "dump did not stop after 2 records";
    }
    std::vector<json> got;
    std::istringstream lines(slurp(path("dump.out")));
    for (std::string l; std::getline(lines, l);) got.push_back(json::parse(l));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0]["type"], "0x8033");
    EXPECT_EQ(got[0]["record"]["status_code"], 17);
    EXPECT_EQ(got[1]["type"], "0x8025"); // the well-formed one; the eleven-BSS one is refused
    EXPECT_EQ(got[1]["record"]["bss_num"], 1);
}

} // namespace
