// SPDX-License-Identifier: BSD-2-Clause
// Captures of the message channel and the generated dissector, end to end: a replay's channel
// capture reads back as the replay printed it, odd datagrams are reported rather than fatal,
// the committed dissector is what the tool generates, tshark with it shows every field as
// lusl does, and a real tcpdump capture of the loopback decodes like the tool's own. tshark
// and tcpdump tests skip where those are missing; CI installs them (scripts/deps.sh capture)
// and runs as root.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <luSL/luSL.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <tuple>

#include "chancap.h"
#include "channel.h"
#include "gen.h"
#include "layout.h"
#include "wireshark.h"

namespace fs = std::filesystem;
using nlohmann::json;
using namespace lusl::tool;
using gen::cat;

namespace {

struct Result { int status = -1; std::string out, err; };

std::string slurp(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::string q(const fs::path& p) { return "'" + p.string() + "' "; }

bool have(const char* tool) { return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0; }

std::vector<json> lines(const std::string& out)
{
    std::vector<json> v;
    std::istringstream s(out);
    for (std::string l; std::getline(s, l);) v.push_back(json::parse(l));
    return v;
}

// The records of a run, without what only one side can know (where the CMDU came from, the
// capture's frame number) and without the replay's events and closing summary.
std::vector<json> records(const std::string& out)
{
    std::vector<json> v;
    for (json j : lines(out)) {
        if (j.contains("summary") || j.contains("event")) continue;
        j.erase("source");
        j.erase("frame");
        v.push_back(j);
    }
    return v;
}

// A channel capture of the datagrams, all sent at one time to port.
void write_channel(const fs::path& file, const std::vector<Bytes>& datagrams, uint16_t port, Stamp at)
{
    ChannelWriter w(file.string(), 40000);
    for (const Bytes& d : datagrams) w.write(d, port, at);
    w.close();
    EXPECT_EQ(w.written(), datagrams.size());
}

// Failed Connection: reason 1, status 17, BSSID, STA; and how lusl shows it.
const Bytes kFailed = {0x33, 0x80, 1, 0, 17, 0, 2, 0xa2, 0, 0, 0x24, 1, 2, 0x5a, 0, 0, 0, 0x55};
const json kFailedRecord = {{"reason_code", 1}, {"status_code", 17}, {"bssid", "02:a2:00:00:24:01"},
                            {"sta_mac", "02:5a:00:00:00:55"}};

class ChannelCapture : public ::testing::Test {
protected:
    ChannelCapture() { char tmpl[] = "/tmp/lusl-chancap-XXXXXX"; dir_ = mkdtemp(tmpl); }
    ~ChannelCapture() override { fs::remove_all(dir_); }

    fs::path path(const std::string& name) const { return dir_ / name; }

    Result sh(const std::string& cmd, const std::string& tag) const
    {
        const std::string full = "LUMAP_LOG_LEVEL=2 timeout 120 " + cmd + " </dev/null >" + q(path(tag + ".out")) + "2>" +
                                 q(path(tag + ".err"));
        const int rc = std::system(full.c_str());
        return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, slurp(path(tag + ".out")), slurp(path(tag + ".err"))};
    }
    Result lusl(const std::string& args, const std::string& tag = "lusl") const { return sh(q(LUSL_BIN) + args, tag); }
    // lusl dump --read --json of a capture.
    Result read(const fs::path& capture, const std::string& args = "", const std::string& tag = "read") const
    {
        return lusl("dump --read " + q(capture) + "--json " + args, tag);
    }
    // tshark on a capture with the dissector loaded: it must run, and without Lua trouble.
    Result tshark(const fs::path& capture, const std::string& args) const
    {
        Result t = sh("tshark -X lua_script:" + q(LUSL_DISSECTOR) + "-r " + q(capture) + args, "tshark");
        EXPECT_EQ(t.status, 0) << t.err;
        EXPECT_EQ(t.err.find("Lua"), std::string::npos) << t.err;
        EXPECT_EQ(t.out.find("Lua Error"), std::string::npos);
        return t;
    }

    // The sample replayed with --dump and --write-channel: the printed records and the capture.
    std::vector<json> replay_sample(const fs::path& channel, uint16_t port = 0) const
    {
        Result r = lusl("replay --dump --json --port " + std::to_string(port) + " --write-channel " + q(channel) + q(LUSL_SAMPLE),
                        "replay");
        EXPECT_EQ(r.status, 0) << r.err;
        return records(r.out);
    }

    fs::path dir_;
};

// ------------------------------------------------------------------ lusl alone

TEST_F(ChannelCapture, AReplaysChannelCaptureReadsBackAsTheReplayPrintedIt)
{
    const fs::path ch = path("ch.pcap");
    const std::vector<json> dumped = replay_sample(ch);
    ASSERT_EQ(dumped.size(), 38u); // the sample's forwarded CMDUs
    Result r = read(ch);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<json> got = records(r.out);
    ASSERT_EQ(got.size(), dumped.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i], dumped[i]) << "datagram " << i;
        EXPECT_TRUE(got[i]["time"].is_number_float());
    }
    // Capture times, not replay times: the sample's first CMDU is from 2024.
    EXPECT_NEAR(got[0]["time"].get<double>(), 1717243200.0, 3600.0);

    // --port keeps the datagrams to that port only; --count stops early.
    Result none = read(ch, "--port 1", "none");
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(lines(none.out).at(0)["summary"],
              json::parse(R"({"file":")" + ch.string() +
                          R"(","port":1,"frames":38,"records":0,"to_other_ports":38,"other_frames":0,"ip_fragments":0})"));
    EXPECT_NE(none.err.find("no UDP datagrams to port 1 in 38 frames (38 to other ports)"), std::string::npos) << none.err;
    EXPECT_EQ(records(read(ch, "--count 2", "two").out).size(), 2u);

    // The same capture as pcapng.
    if (!have("editcap")) GTEST_SKIP() << "editcap not installed (scripts/deps.sh capture): no pcapng copy";
    ASSERT_EQ(std::system(("editcap -F pcapng " + q(ch) + q(path("ch.pcapng"))).c_str()), 0);
    Result ng = read(path("ch.pcapng"), "", "ng");
    EXPECT_EQ(ng.status, 0) << ng.err;
    EXPECT_EQ(records(ng.out), got);
}

// ------------------------------------------------------------------ tshark

// Every shown field of a record against tshark's tree of the same datagram.
void compare(const json& rec, const json& tree, const lusl::tool::layout::Block& b, const std::string& prefix,
             const std::map<std::string, std::string>& abbrevs)
{
    using lusl::tool::layout::Kind;
    for (const auto& f : b.fields) {
        if (f.kind == Kind::Type || f.kind == Kind::Reserved) continue;
        const std::string path = prefix + f.name;
        SCOPED_TRACE(path);
        const std::string abbrev = abbrevs.at(path + "|" + wireshark_signature(f));
        ASSERT_TRUE(rec.contains(f.name));
        auto list = [](const json& v) { return v.is_array() ? v.get<std::vector<json>>() : std::vector<json>{v}; };
        const std::vector<json> values = list(rec.at(f.name));
        const std::vector<json> theirs = tree.contains(abbrev) ? list(tree.at(abbrev)) : std::vector<json>{};
        ASSERT_EQ(theirs.size(), values.size()) << abbrev;
        for (size_t i = 0; i < values.size(); ++i) {
            const json& v = values[i];
            const std::string s = theirs[i].is_string() ? theirs[i].get<std::string>() : theirs[i].dump();
            switch (f.kind) {
            case Kind::Block: compare(v, theirs[i], *f.sub, path + ".", abbrevs); break;
            case Kind::Uint:
            case Kind::UintBE:
            case Kind::Flags: EXPECT_EQ(std::stoull(s, nullptr, 0), v.get<uint64_t>()) << abbrev; break;
            case Kind::Bytes: {
                std::string h = s;
                std::erase(h, ':');
                EXPECT_EQ(h, v.get<std::string>()) << abbrev;
                break;
            }
            default: EXPECT_EQ(s, v.get<std::string>()) << abbrev;
            }
        }
    }
}

// Whether tshark marked anything in a tree: its expert and malformed keys.
bool has_expert(const json& j)
{
    const std::string s = j.dump();
    return s.find("\"_ws.expert") != std::string::npos || s.find("\"_ws.malformed") != std::string::npos;
}

TEST_F(ChannelCapture, OddDatagramsAreReportedAndTsharkMarksThemAsLuslShowsThem)
{
    // What a receiver may meet: the empty datagram of a refused compact form, an unknown type,
    // a short fixed record (padded on receipt), a compact form cut short, one with a count over
    // its limit, a record longer than its type, a lone byte; and empty strings: a hidden network
    // heard on a scan (no SSID, no bandwidth string), a client capability report without a frame.
    Bytes scan = {0x1C, 0x80, 1, 2, 0xa1, 0, 0, 0x24, 0};
    scan.resize(scan.size() + 65, 0);
    scan = cat({scan, {0x10, 0, 0, 0, 0x80, 1, 81, 6, 0}});
    scan.resize(scan.size() + 65, 0);
    scan = cat({scan, {50, 160, 1, 0, 0x0a, 1, 2, 3, 4, 5, 0, 99, 0, 0, 0, 0, 0}});
    Bytes cli(LUSL_LEN_CLIENT_CAPABILITY_REPORT, 0);
    cli[0] = 0x0A, cli[1] = 0x80, cli[14] = 0x05;
    const std::vector<Bytes> datagrams = {{}, {0xB9, 0xDE, 1, 2}, {0x25, 0x80, 1, 2, 0xa2}, {0x0C, 0x80, 1, 0, 2},
                                          {0x1C, 0x80, 3}, cat({kFailed, Bytes(5, 0xee)}), {0xB9}, scan, cli};
    write_channel(path("odd.pcap"), datagrams, 50123, {1700000000, 250000});
    Result r = read(path("odd.pcap"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<json> got = records(r.out);
    ASSERT_EQ(got.size(), datagrams.size()) << r.out;
    EXPECT_EQ(got[0]["name"], "empty datagram");
    EXPECT_EQ(got[0]["length"], 0);
    EXPECT_EQ(got[1]["note"], "not copied by luSL_Msg_recv: unknown message type");
    EXPECT_EQ(got[2]["length"], 73);
    EXPECT_EQ(got[2]["received"], 5);
    EXPECT_EQ(got[2]["record"]["bss"], json::parse(R"([{"bssid":"02:a2:00:00:00:00","allowance":0}])"));
    EXPECT_EQ(got[3]["error"], "compact form does not decode: bssid needs 6 bytes at offset 4, the datagram ends at 5");
    EXPECT_EQ(got[4]["error"], "compact form does not decode: radio_num 3 is more than the 2 a compact form may hold");
    EXPECT_EQ(got[5]["length"], 18); // cut to its record
    EXPECT_EQ(got[5]["received"], 23);
    EXPECT_EQ(got[5]["record"], kFailedRecord);
    EXPECT_EQ(got[5]["time"], 1700000000.25);
    EXPECT_EQ(got[6]["type"], "0x00B9"); // the low byte of a type, as luSL_Msg_recv reads it
    EXPECT_EQ(got[6]["received"], 1);
    EXPECT_EQ(got[6]["note"], "not copied by luSL_Msg_recv: unknown message type");
    EXPECT_EQ(got[7]["record"]["radio"][0]["ch"][0]["nbr"][0]["ssid"], "");
    EXPECT_EQ(got[8]["record"]["frame"], "");

    if (!have("tshark")) GTEST_SKIP() << "tshark not installed (scripts/deps.sh capture)";
    // Another port than the channel's usual one, by Decode As.
    const json packets = json::parse(tshark(path("odd.pcap"), "-d udp.port==50123,lusl -T json --no-duplicate-keys").out);
    ASSERT_EQ(packets.size(), datagrams.size());
    // tshark hands the empty datagram to no dissector
    const char* marks[] = {"", "lusl.unknown", "lusl.padded", "lusl.short", "lusl.limit", "lusl.long", "lusl.short"};
    for (size_t i = 1; i < std::size(marks); ++i) {
        const std::string l = packets[i]["_source"]["layers"].value("lusl", json()).dump();
        EXPECT_NE(l.find(std::string("\"") + marks[i] + "\""), std::string::npos) << i << ": " << l;
    }
    const auto abbrevs = wireshark_fields();
    for (size_t i = std::size(marks); i < datagrams.size(); ++i) {
        const json& layers = packets[i]["_source"]["layers"];
        EXPECT_FALSE(has_expert(layers)) << layers.dump();
        const auto* m = layout::find(static_cast<uint16_t>(datagrams[i][0] | datagrams[i][1] << 8));
        compare(got[i]["record"], layers["lusl"], *m->datagram, "", abbrevs);
    }
}

TEST_F(ChannelCapture, TsharkWithTheDissectorShowsEveryFieldAsLuslDoes)
{
    if (!have("tshark")) GTEST_SKIP() << "tshark not installed (scripts/deps.sh capture)";
    // The replay's private port shows as the channel's usual one: no Decode As needed.
    const std::vector<json> dumped = replay_sample(path("ch.pcap"));
    const json packets = json::parse(tshark(path("ch.pcap"), "-T json --no-duplicate-keys").out);
    ASSERT_EQ(packets.size(), dumped.size());
    const auto abbrevs = wireshark_fields();
    for (size_t i = 0; i < dumped.size(); ++i) {
        const json& rec = dumped[i];
        SCOPED_TRACE(rec["name"].get<std::string>() + " #" + std::to_string(i));
        const json& layers = packets[i]["_source"]["layers"];
        ASSERT_TRUE(layers.contains("lusl"));
        const json& l = layers["lusl"];
        EXPECT_FALSE(has_expert(layers)) << l.dump();
        EXPECT_EQ(std::stoul(l.value("lusl.type", "0"), nullptr, 0), std::stoul(rec["type"].get<std::string>(), nullptr, 0));
        EXPECT_EQ(l.value("lusl.length", ""), std::to_string(rec["length"].get<size_t>()));
        const auto* m = layout::find(static_cast<uint16_t>(std::stoul(rec["type"].get<std::string>(), nullptr, 16)));
        ASSERT_TRUE(m && m->datagram && rec.contains("record"));
        compare(rec["record"], l, *m->datagram, "", abbrevs);
    }
    // Filters by field name.
    Result f = tshark(path("ch.pcap"), "-Y 'lusl.type == 0x8025 || lusl.bss.bssid == 02:a1:00:00:24:01' -T fields -e lusl.type");
    EXPECT_EQ(f.out, "0x800c\n0x8025\n") << "the first agent's AP metrics, and the association status";
}

TEST_F(ChannelCapture, TheCommittedDissectorIsTheGeneratedOne)
{
    Result r = lusl("wireshark");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == slurp(LUSL_DISSECTOR))
        << LUSL_DISSECTOR << " is stale: cmake --build <dir> --target lusl_wireshark";
    EXPECT_EQ(r.out.rfind("-- SPDX-License-Identifier: BSD-2-Clause\n", 0), 0u) << "the licence on the first line";

    // The layout document covers the 25 types.
    Result l = lusl("layout --json", "layout");
    ASSERT_EQ(l.status, 0);
    const json doc = json::parse(l.out);
    EXPECT_EQ(doc["messages"].size(), 25u);
    for (const json& m : doc["messages"]) {
        if (m["datagram"].is_null()) continue;
        EXPECT_TRUE(doc["blocks"].contains(m["datagram"].get<std::string>())) << m;
    }
}

// ------------------------------------------------------------------ the tool's log sink

TEST_F(ChannelCapture, LibraryLinesNameTheirMessageAndErrorsAreCountedPerType)
{
    // level, a line it shows, what it hides
    const std::tuple<std::string, std::string, std::string> levels[] = {
        {"-1", "", "luSL["},
        {"4", "luSL[8/3] frame 77, Operating Channel Report (0x8008): [TLV] TLV type=0x8F length=416 runs past the end of "
              "the stream\n", "/7]"},
        {"7", "luSL[4/7] frame 6, AP Autoconfiguration WSC (0x0009): [MSG] Parsing AP Autoconfiguration WSC(0x0009)\n", ""}};
    for (const auto& [level, shown, hidden] : levels) {
        SCOPED_TRACE("LUMAP_LOG_LEVEL=" + level);
        Result r = sh("env LUMAP_LOG_LEVEL=" + level + " " + q(LUSL_BIN) + "replay --port 0 --dump --json " + q(LUSL_SAMPLE),
                      "log" + level);
        ASSERT_EQ(r.status, 0) << r.err;
        uint64_t errors = 0;
        const json summary = lines(r.out).back()["summary"];
        for (const json& t : summary["types"]) {
            errors += t["library_errors"].get<uint64_t>();
            if (t["type"] == "0x8008" || t["type"] == "0x0009") {
                EXPECT_EQ(t["library_errors"], t["type"] == "0x8008" ? 1 : 0) << t;
            }
        }
        // Counted whatever is shown: the sample's four broken CMDUs and two client capability lines.
        EXPECT_EQ(errors, 6u);
        EXPECT_NE(r.err.find(shown), std::string::npos) << r.err;
        if (!hidden.empty()) {
            EXPECT_EQ(r.err.find(hidden), std::string::npos) << r.err;
        }
    }
}

// ------------------------------------------------------------------ tcpdump

TEST_F(ChannelCapture, ARealLoopbackCaptureDecodesLikeTheToolsOwn)
{
    if (!have("tcpdump")) GTEST_SKIP() << "tcpdump not installed (scripts/deps.sh capture)";
    if (geteuid() != 0) GTEST_SKIP() << "capturing on lo needs root";
    const uint16_t port = Loopback(0).port(); // free again once the socket is closed
    const fs::path real = path("real.pcap"), err = path("tcpdump.err");
    // tcpdump stops by itself after the sample's 38 datagrams, and says so on its way out.
    ASSERT_EQ(std::system(("timeout 60 tcpdump -i lo -U -c 38 -w " + q(real) + "udp dst port " + std::to_string(port) + " 2>" +
                           q(err) + "&").c_str()),
              0);
    auto wait_for = [&](const std::string& what) { // bounded
        for (int i = 0; i < 300 && slurp(err).find(what) == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return slurp(err).find(what) != std::string::npos;
    };
    ASSERT_TRUE(wait_for("listening on")) << slurp(err);
    const std::vector<json> dumped = replay_sample(path("ch.pcap"), port);
    ASSERT_TRUE(wait_for("38 packets captured")) << slurp(err);

    Result a = read(real, "--port " + std::to_string(port), "real");
    ASSERT_EQ(a.status, 0) << a.err;
    std::vector<json> got = records(a.out);
    ASSERT_EQ(got.size(), dumped.size());
    for (size_t i = 0; i < got.size(); ++i) {
        json want = dumped[i]; // as the replay printed it, which its own capture reads back as
        want.erase("time");    // the real capture has the replay's clock
        got[i].erase("time");
        EXPECT_EQ(got[i], want) << i;
    }
}

} // namespace
