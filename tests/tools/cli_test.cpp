// SPDX-License-Identifier: BSD-2-Clause
// The tool's conventions as a user meets them: exit statuses, pipes and standard input,
// output that cannot be written, ports it must not take, decode's input forms, the progress
// line, JSON events and short options.
#include <gtest/gtest.h>

#include <luSL/luSL.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include "capture.h"
#include "channel.h"
#include "console.h"
#include "replay.h"

namespace fs = std::filesystem;
using nlohmann::json;
using namespace lusl::tool;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

std::string slurp(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Text output less the summary's title, which names the file and the private port.
std::string without_title(std::string s)
{
    const size_t at = s.find("Replay of ");
    if (at != std::string::npos) s.erase(at, s.find('\n', at) + 1 - at);
    return s;
}

std::vector<json> json_lines(const std::string& s)
{
    std::vector<json> v;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);) v.push_back(json::parse(l));
    return v;
}

// Each JSON pointer of want leads to the same value in got; null stands for absent.
void expect_at(const json& got, const json& want)
{
    for (const auto& [ptr, v] : want.items()) {
        const json::json_pointer p(ptr);
        EXPECT_EQ(got.contains(p) ? got.at(p) : json(), v) << ptr;
    }
}

class Cli : public ::testing::Test {
protected:
    Cli()
    {
        char tmpl[] = "/tmp/lusl-cli-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    ~Cli() override { fs::remove_all(dir_); }
    fs::path path(const std::string& n) const { return dir_ / n; }

    // Runs a bash command line in which $L is the lusl binary and $S the sample; its status
    // is the line's (use ${PIPESTATUS[0]} to get lusl's out of a pipeline).
    Result sh(const std::string& line, const std::string& tag = "run") const
    {
        std::ofstream(path(tag + ".sh")) << line << '\n';
        const std::string cmd = "cd '" + dir_.string() + "' && L='" LUSL_BIN "' S='" LUSL_SAMPLE
                                "' LUMAP_LOG_LEVEL=3 timeout 60 bash " + tag + ".sh >" + tag + ".out 2>" + tag + ".err";
        const int rc = std::system(cmd.c_str());
        return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, slurp(path(tag + ".out")), slurp(path(tag + ".err"))};
    }

    // Waits until the background run's stderr says it is ready (at most 20 s).
    bool ready(const std::string& tag, const std::string& what) const
    {
        for (int i = 0; i < 1000; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(20)))
            if (slurp(path(tag + ".err")).find(what) != std::string::npos) return true;
        return false;
    }

    // Runs line in the background until its stderr says what, then act(the port it names, its
    // pid) beside it; the run ends by itself or by act's signal. Nothing when it never said so.
    std::optional<Result> beside(const std::string& line, const std::string& tag, const std::string& what,
                                 const std::function<void(uint16_t port, pid_t pid)>& act) const
    {
        Result r;
        std::thread t([&] { r = sh("echo $$ >" + tag + ".pid; exec " + line, tag); });
        const bool up = ready(tag, what);
        const std::string err = slurp(path(tag + ".err"));
        const pid_t pid = std::atoi(slurp(path(tag + ".pid")).c_str());
        if (up && pid > 0) act(static_cast<uint16_t>(std::atoi(err.c_str() + err.find("127.0.0.1:") + 10)), pid);
        else if (pid > 0) kill(pid, SIGKILL);
        t.join();
        if (up && pid > 0) return r;
        ADD_FAILURE() << tag << " never said '" << what << "': " << r.err;
        return std::nullopt;
    }

    fs::path dir_;
};

// A socket as the steering process opens it (SO_REUSEADDR), on a free port. Bound before the
// option is set: bound with it at port 0 (luSL_Socket_init(0)), it could be given a port that
// another test process's sockets share, and take their datagrams.
struct Listener {
    Listener() : fd(bind_exclusive(0))
    {
        sockaddr_in a{};
        socklen_t n = sizeof a;
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
        port = ntohs(a.sin_port);
    }
    ~Listener() { luSL_Socket_deinit(fd); }
    // Bytes of the next datagram, or -1 when none came within 5 s.
    ssize_t next() const
    {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) != 1) return -1;
        char buf[65536];
        return recv(fd, buf, sizeof buf, 0);
    }
    int fd;
    uint16_t port = 0;
};

void send_to(uint16_t port, const Bytes& b)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(sendto(fd, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a), static_cast<ssize_t>(b.size()));
    close(fd);
}

// A Failed Connection record (18 bytes) and a Topology Response datagram cut to 10 bytes.
const Bytes kFailedConn = {0x33, 0x80, 1, 0, 17, 0, 2, 0xa2, 0, 0, 0x24, 1, 2, 0x5a, 0, 0, 0, 0x55};
const Bytes kShortTopology = {0x03, 0x00, 0, 0, 0, 0, 0, 0, 0, 0};

// ------------------------------------------------------------------ exit statuses

TEST_F(Cli, ExitStatusesAreTheDocumentedOnesAndAClosedPipeEndsQuietly)
{
    const struct {
        std::string line;
        int status;
        std::string out = "", err = ""; // parts of them
        bool quiet = false;             // nothing at all on stderr
    } cases[] = {
        {"$L --help", 0, "Usage: lusl [OPTIONS] SUBCOMMAND"},
        {"$L --help | grep -c '^  [0-3]  '", 0, "4\n"}, // the footer lists every status
        {"$L replay --help", 0, "Usage: lusl replay"},
        {"$L dump --help | grep -c 'Exit status'", 0, "1\n"},
        // usage errors: 1, never CLI11's 104-109
        {"$L", 1, "", "A subcommand is required"},
        {"$L replay --bogus $S", 1, "", "--bogus"},
        {"$L replay", 1, "", "required"},
        {"$L dump --port 70000", 1, "", "--port"},
        {"$L replay --rate 0 $S", 1, "", "--rate"},
        {"$L replay --rate 5 --realtime $S", 1, "", "excludes"},
        {"$L replay -q -v $S", 1, "", "-q and -v exclude each other"},
        {"$L replay --take $S", 1, "", "--take needs --dump and --port"},
        {"$L decode --src 02:a2-00:00:00:01 --type 0x8033 'c9 00 02 00 11'", 1, "", "is not a MAC address"},
        // unusable input: 1; partly usable: 2
        {"$L replay absent.pcap", 1, "", "absent.pcap: cannot open"},
        {"$L replay .", 1, "", ".: is a directory"},
        {"head -c 3000 $S | $L replay -", 2, "records: 5 forwarded, 5 delivered",
         "standard input: truncated capture: the file ends inside frame 12"},
        {"$L replay --type 0x1234 $S", 1, "", "0x1234 is not a message type the library parses"},
        {"$L replay --type 0x0002 $S", 1, "", "Topology Query (0x0002) is not a message type the library parses"},
        {"$L replay --type 0x8025,0xDEB6 $S", 1, "", "Lumeno Steering Logic CLI (0xDEB6) travels on the channel only"},
        {"$L replay --type ' ' $S", 1, "", "names no message type"},
        // output that cannot be written: 2
        {"$L --help >/dev/full", 2},
        {"$L replay --dump $S >/dev/full", 2, "", "lusl: cannot write the output: No space left on device"},
        {"$L replay --json $S >/dev/full", 2, "", "No space left on device"},
        {"$L decode --type 0x8033 'c9 00 02 00 11' >/dev/full", 2, "", "No space left on device"},
        {"$L gen /dev/full", 2, "", "/dev/full: write failed"},
        // the reader goes away after 100 bytes: no message, status 0
        {"$L replay -q --dump $S | head -c 100 >/dev/null; exit ${PIPESTATUS[0]}", 0, "", "", true},
        {"$L replay -q --dump --json $S | head -n 1 >/dev/null; exit ${PIPESTATUS[0]}", 0, "", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Result r = sh(c.line);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        if (c.quiet) {
            EXPECT_EQ(r.err, "");
        }
        EXPECT_EQ(r.out.find(LUSL_BIN), std::string::npos) << "the build path shows in the usage";
    }

    // The readable title shows the bytes received beside the layout's length, when they differ.
    Result r = sh("echo 03 00 00 00 00 00 00 00 00 00 | $L decode --record");
    EXPECT_NE(r.out.find("(0x0003), 593 bytes (10 received)\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("received:"), std::string::npos) << r.out;
}

// ------------------------------------------------------------------ standard input

TEST_F(Cli, ACaptureOnStandardInputReplaysLikeTheFile)
{
    auto records = [](const Result& r) {
        std::vector<json> v = json_lines(r.out);
        EXPECT_FALSE(v.empty());
        if (!v.empty()) v.back()["summary"].erase("port"), v.back()["summary"].erase("file"); // private ports differ
        return v;
    };
    const Result file = sh("$L replay --dump --json $S", "file");
    const Result piped = sh("cat $S | $L replay - --dump --json", "pipe");
    const Result fifo = sh("$L replay -r <(cat $S) --dump --json", "fifo"); // no size to look at
    ASSERT_EQ(file.status, 0) << file.err;
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(fifo.status, 0) << fifo.err;
    EXPECT_EQ(records(piped), records(file));
    EXPECT_EQ(records(fifo), records(file));
    EXPECT_EQ(json_lines(piped.out).back()["summary"]["file"], "standard input");
    EXPECT_EQ(without_title(sh("cat $S | $L replay - --dump").out), without_title(sh("$L replay --dump $S").out));
}

// ------------------------------------------------------------------ ports

TEST_F(Cli, DumpLeavesABoundPortToItsListenerUnlessTold)
{
    Listener steering;
    const std::string port = std::to_string(steering.port);

    Result r = sh("$L dump --port " + port + " -c 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("127.0.0.1:" + port + " is already bound by another listener"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--take"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--sniff"), std::string::npos) << r.err;
    send_to(steering.port, kFailedConn);
    EXPECT_EQ(steering.next(), 18) << "the earlier listener no longer receives";

    // replay --dump on the same port is refused the same way
    r = sh("$L replay --dump --port " + port + " $S");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is already bound"), std::string::npos) << r.err;

    // with --take the tool receives there; it reports the bytes received beside the layout's
    // length, and its count when it ends
    const auto dump = beside("$L dump --take --json -c 2 --port " + port, "take", "listening on 127.0.0.1:" + port,
                             [&](uint16_t, pid_t) {
                                 send_to(steering.port, kFailedConn);
                                 send_to(steering.port, kShortTopology);
                             });
    ASSERT_TRUE(dump);
    EXPECT_EQ(dump->status, 0) << dump->err;
    const std::vector<json> got = json_lines(dump->out);
    ASSERT_EQ(got.size(), 3u) << dump->out;
    expect_at(got[0], {{"/type", "0x8033"}, {"/length", 18}, {"/received", 18}, {"/record/status_code", 17}});
    expect_at(got[1], {{"/type", "0x0003"}, {"/length", 593}, {"/received", 10}});
    EXPECT_EQ(got[2]["summary"]["received"], 2);
    EXPECT_NE(dump->err.find("lusl dump: 2 records received"), std::string::npos) << dump->err;
}

TEST_F(Cli, ASteeringProcessStartedAfterDumpStillOpensThePort)
{
    int fd = -1;
    const auto dump = beside("$L dump --port 0 --json", "first", "listening on 127.0.0.1:", [&](uint16_t port, pid_t pid) {
        fd = luSL_Socket_init(port);
        if (fd >= 0) send_to(port, kFailedConn);
        kill(pid, SIGINT);
    });
    ASSERT_TRUE(dump);
    ASSERT_GE(fd, 0) << "dump keeps the steering process from binding its port";
    pollfd p{fd, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 5000), 1) << "the steering process, bound last, does not get the records";
    luSL_Socket_deinit(fd);
    EXPECT_EQ(dump->status, 0) << dump->err;
}

TEST_F(Cli, DumpCountsWhatTheReceiveBufferDroppedAndEndsWithItsCount)
{
    // dump is stopped while a burst arrives, so its receive buffer overflows; once it runs
    // again and is interrupted, it prints what was queued and counts what its socket dropped.
    const int sent = 40000;
    const auto dump = beside("$L dump --port 0 --json", "burst", "listening on 127.0.0.1:", [&](uint16_t port, pid_t pid) {
        kill(pid, SIGSTOP);
        for (int i = 0; i < sent; ++i) send_to(port, kFailedConn);
        kill(pid, SIGCONT);
        kill(pid, SIGINT);
    });
    ASSERT_TRUE(dump);
    EXPECT_EQ(dump->status, 0) << dump->err;
    const std::vector<json> got = json_lines(dump->out);
    ASSERT_FALSE(got.empty());
    const json s = got.back()["summary"];
    EXPECT_EQ(s["received"], got.size() - 1);
    EXPECT_GT(s["dropped"], 0);
    // Equal on a quiet machine; a loaded one may also drop on the loopback device itself,
    // before the socket could count it.
    EXPECT_LE(s["received"].get<int>() + s["dropped"].get<int>(), sent);
    EXPECT_NE(dump->err.find(s["received"].dump() + " records received, " + s["dropped"].dump() + " dropped"), std::string::npos)
        << dump->err;
}

TEST_F(Cli, SniffWatchesAPortWithoutTakingItsRecords)
{
    if (geteuid() != 0) GTEST_SKIP() << "capturing on lo needs root; run the suite as root to test dump --sniff";
    Listener steering;
    const std::string port = std::to_string(steering.port);
    const auto dump = beside("$L dump --sniff --json -c 1 --port " + port, "sniff", "watching 127.0.0.1:" + port,
                             [&](uint16_t, pid_t) { send_to(steering.port, kShortTopology); });
    ASSERT_TRUE(dump);
    EXPECT_EQ(steering.next(), 10) << "the listener lost the datagram";
    EXPECT_EQ(dump->status, 0) << dump->err;
    const std::vector<json> got = json_lines(dump->out);
    ASSERT_EQ(got.size(), 2u) << dump->out;
    // the length as luSL_Msg_recv_n copies it on the listener's side
    expect_at(got[0], {{"/type", "0x0003"}, {"/length", 593}, {"/received", 10}});
}

TEST_F(Cli, ReplaySendsToAFixedPortOnlyWhenAsked)
{
    Listener steering;
    const std::string port = std::to_string(steering.port);
    // Without --port nothing reaches the listener, though everything is delivered.
    Result r = sh("$L replay --json --type 0x8033 $S");
    ASSERT_EQ(r.status, 0) << r.err;
    json s = json_lines(r.out).back()["summary"];
    expect_at(s, {{"/private_port", true}, {"/forwarded", 1}, {"/delivered", 1}});
    EXPECT_NE(s["port"], steering.port);
    pollfd p{steering.fd, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0), 0) << "a record went to the listener's port";

    // With --port the listener gets it; delivery there is the listener's to count.
    r = sh("$L replay --json --type 0x8033 --port " + port + " $S");
    ASSERT_EQ(r.status, 0) << r.err;
    s = json_lines(r.out).back()["summary"];
    expect_at(s, {{"/port", steering.port}, {"/forwarded", 1}, {"/delivered", nullptr}});
    EXPECT_EQ(steering.next(), 18);
    r = sh("$L replay --type 0x8033 --port " + port + " $S");
    EXPECT_NE(r.out.find("so delivery was not counted"), std::string::npos) << r.out;
    EXPECT_EQ(steering.next(), 18);
}

// ------------------------------------------------------------------ pacing, short options

TEST_F(Cli, PacingNeverRunsAheadOfItsClock)
{
    // Lower bounds only, which a slow machine meets as well: five parsed CMDUs at 20 a second
    // take at least 0.2 s, and frames 0.3 s apart in the capture at least that.
    using namespace std::chrono;
    auto timed = [&](const std::string& line) {
        const auto t0 = steady_clock::now();
        Result r = sh(line);
        EXPECT_EQ(r.status, 0) << r.err;
        return duration<double>(steady_clock::now() - t0).count();
    };
    EXPECT_GE(timed("$L replay -q --rate 20 -r $S -c 11"), 0.2);

    CaptureReader rd(LUSL_SAMPLE);
    std::vector<Packet> three(3);
    for (Packet& p : three) ASSERT_TRUE(rd.next(p));
    three[1].ts_sec = three[2].ts_sec = three[0].ts_sec;
    three[1].ts_usec = three[0].ts_usec + 150000;
    three[2].ts_usec = three[0].ts_usec + 300000;
    write_pcap(path("three.pcap").string(), three);
    EXPECT_GE(timed("$L replay -q --realtime three.pcap"), 0.3);
}

TEST_F(Cli, ShortOptionsMeanTheSameEverywhere)
{
    Result r = sh("$L replay -q -r $S -c 20 --json");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(json_lines(r.out).back()["summary"]["frames"], 20);
    EXPECT_EQ(r.err, "") << "-q leaves only errors";

    Result normal = sh("$L replay $S"), verbose = sh("$L replay -v $S"), quiet = sh("$L -q replay $S");
    normal.out = without_title(normal.out);
    quiet.out = without_title(quiet.out);
    EXPECT_NE(normal.err.find("luSL[8/3]"), std::string::npos) << normal.err;
    EXPECT_NE(verbose.err.find("luSL[8/7]"), std::string::npos) << "-v shows debug lines";
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(quiet.out, normal.out);
    // decode's short options are in the decode table
}

// ------------------------------------------------------------------ decode

TEST_F(Cli, DecodePrintsTheFieldsOfLinesFramesAndRecordsOrSaysWhatIsWrong)
{
    const std::string cmdu = "00 00 80 33 00 07 00 80 c9 00 02 00 11 00 00 00";
    // Failed Connection from a guest: BSSID, STA MAC, status code 17, reason code 1.
    const std::string failed_conn = "00 00 80 33 00 07 00 80 b8 00 06 02 a2 00 00 24 01 95 00 06 02 5a 00 00 00 55 "
                                    "c9 00 02 00 11 ca 00 02 00 01 00 00 00";
    std::string eleven = "bf 00 4e 0b"; // eleven BSSs: more than a device may have
    for (int i = 0; i < 11; ++i) eleven += " 02 a2 00 00 24 01 01";
    // An Unassociated STA Link Metrics Response in an Ethernet frame from 02:a1:00:00:00:01,
    // as Wireshark copies it: as a hex stream, or as a hex dump with offsets and ASCII.
    const Bytes frame = parse_hex("01 80 c2 00 00 13 02 a1 00 00 00 01 89 3a 00 00 80 10 00 07 00 80"
                                  "98 00 0e 51 01 02 5a 00 00 00 11 06 00 00 00 55 6e 00 00 00");
    std::string stream, dump, tshark;
    for (size_t at = 0; at < frame.size(); at += 16) {
        char off[24], b[4];
        std::snprintf(off, sizeof off, "%04zx", at);
        std::string hexcol, ascii;
        for (size_t i = at; i < std::min(at + 16, frame.size()); ++i) {
            std::snprintf(b, sizeof b, "%02x", frame[i]);
            stream += b;
            hexcol += std::string(b) + " ";
            ascii += std::isprint(frame[i]) ? static_cast<char>(frame[i]) : '.';
        }
        hexcol.resize(48, ' ');
        dump += std::string(off) + "   " + hexcol + "  " + ascii + "\n";
        tshark += std::string(off) + "  " + hexcol + " " + ascii + "\n";
    }
    const json from_frame = {{"/type", "0x8010"}, {"/record/device_mac", "02:a1:00:00:00:01"}, {"/record/op_class", 81}};
    const struct {
        std::string name, input, args; // input on standard input
        int status;
        std::vector<json> want; // per JSON record: JSON pointer -> value
        std::string err = "";   // a part of stderr
        std::string out = "";   // all of stdout, when it is not JSON
    } cases[] = {
        // on the command line: readable or as JSON; "-" for standard input
        {"readable", "", "'" + failed_conn + "'", 0, {}, "",
         "Failed Connection (0x8033), 18 bytes\n  reason_code: 1\n  status_code: 17\n  bssid: 02:a2:00:00:24:01\n"
         "  sta_mac: 02:5a:00:00:00:55\n\n"},
        {"JSON", failed_conn, "- --json", 0,
         {{{"/type", "0x8033"}, {"/length", 18},
           {"/record",
            {{"reason_code", 1}, {"status_code", 17}, {"bssid", "02:a2:00:00:24:01"}, {"sta_mac", "02:5a:00:00:00:55"}}}}}},
        // A bare stream with its type; the record keeps the source MAC, given with dashes in capitals.
        {"bare stream", "",
         "--json --type 0x8010 --src 02-A2-00-00-00-01 '98 00 0e 51 01 02 5a 00 00 00 11 06 00 00 00 55 6e'", 0,
         {{{"/record/device_mac", "02:a2:00:00:00:01"}, {"/record/op_class", 81},
           {"/record/sta", json::array({{{"sta_mac", "02:5a:00:00:00:11"}, {"channel", 6}, {"uplink_rcpi", 0x6e}}})}}}},
        // A failed client capability query: the library's notice goes to stderr, not amid the JSON.
        {"library notice", "", "--json --type 0x800A '90 00 0c 02 a1 00 00 24 01 02 5a 00 00 00 11 91 00 01 01'", 0,
         {{{"/record/sta_mac", "02:5a:00:00:00:11"}, {"/record/frame_len", 0}}}, "ClientCap: Result code not success."},
        {"refused", "", "--type 0x8025 '" + eleven + "'", 1, {}, "Association Status Notification (0x8025) refused"},
        {"odd digits", "", "'00 00 80 3'", 1, {}, "odd number of hex digits"},
        {"bad digit", "", "'00 zz'", 1, {}, "'z' at position 3 is not a hex digit"},
        {"no type", "", "'bf 00 08 01 02 a2 00 00 24 01 00'", 1, {}, "give --type"},
        {"unparsed type", "", "'00 00 00 02 00 01 00 80 00 00 00'", 1, {},
         "Topology Query (0x0002) is not a message type the library parses"},
        // on standard input: lines, frames as Wireshark copies them, records
        {"lines", "# two CMDUs\n" + cmdu + "\n\n" + cmdu + "\n", "--json", 0,
         {{{"/type", "0x8033"}, {"/record/status_code", 17}}, {{"/type", "0x8033"}}}},
        {"hex stream", stream + "\n", "--json", 0, {from_frame}},
        {"hex dump", dump, "--json", 0, {from_frame}},
        {"tshark dump", tshark + "\n" + tshark, "--json", 0, {from_frame, from_frame}},
        {"bad line among good", cmdu + "\n00 zz\n" + cmdu + "\n", "--json", 2, {{{"/type", "0x8033"}}, {{"/type", "0x8033"}}},
         "standard input, line 2: 'z' at position 3 is not a hex digit"},
        {"all bad", "00 zz\n", "--json", 1, {}, "standard input: 'z'"},
        {"not 1905", "ffffffffffff02a100000001080600010800060400", "--json", 1, {}, "not a CMDU"},
        {"record", "03 00 00 00 00 00 00 00 00 00", "--json --record", 0,
         {{{"/type", "0x0003"}, {"/length", 593}, {"/received", 10}}}},
        {"short options", cmdu + "\n", "-q -r in.txt --json", 0, {{{"/record/status_code", 17}}}},
        {"unknown record", "b9 de 01", "--json --record", 0, {{{"/type", "0xDEB9"}, {"/hex", "b9de01"}}}},
        {"MAC over the frame's", stream, "--json --src 02:a2:00:00:00:01", 0, {{{"/record/device_mac", "02:a2:00:00:00:01"}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(path("in.txt")) << c.input;
        Result r = sh("$L decode " + c.args + " <in.txt");
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        if (!c.out.empty()) {
            EXPECT_EQ(r.out, c.out);
            continue;
        }
        const std::vector<json> got = json_lines(r.out); // nothing at all on a failure
        ASSERT_EQ(got.size(), c.want.size()) << r.out;
        for (size_t i = 0; i < got.size(); ++i) expect_at(got[i], c.want[i]);
    }
}

// ------------------------------------------------------------------ the console

// What a terminal shows: carriage returns go back to the line start, ESC [ K erases to
// its end; the finished lines and the one still open.
std::pair<std::vector<std::string>, std::string> terminal(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::string cur;
    size_t col = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes.compare(i, 3, "\033[K") == 0) {
            cur.resize(col);
            i += 2;
        } else if (bytes[i] == '\r') {
            col = 0;
        } else if (bytes[i] == '\n') {
            lines.push_back(cur);
            cur.clear();
            col = 0;
        } else {
            if (col < cur.size()) cur[col] = bytes[i];
            else cur += bytes[i];
            ++col;
        }
    }
    return {lines, cur};
}

// The bytes a console writes to one terminal (standard output and error alike) for a run of
// progress lines, records, notes and library lines.
std::string console_run(Verbosity v)
{
    int term[2];
    if (pipe(term) != 0) return "pipe failed";
    const int saved_stdout = dup(STDOUT_FILENO), records = dup(term[1]);
    {
        Console con(records, term[1], v, true, true);
        con.capture_library_output();
        con.progress("capture.pcap: 10% (100 frames)");
        con.out() << "Record A, 18 bytes\n  field: 1\n"; // buffered: comes out at the next flush
        con.progress("capture.pcap: 20% (200 frames)");
        con.err() << "capture.pcap: frame 3: refused by the parser\n";
        con.progress("capture.pcap: 30% (300 frames)");
        std::fputs("luSL[8/3] a log line\n", stderr); // as the log sink writes
        std::puts("[LSL] a library line");
        std::printf("[LSL] half of one, ");
        con.drain();
        con.progress("capture.pcap: 40% (400 frames)");
        std::puts("the other half");
        con.out() << "Record B\n";
        con.progress("capture.pcap: 50% (500 frames)");
        con.finish();
    }
    dup2(saved_stdout, STDOUT_FILENO); // closes the library pipe's write end
    close(saved_stdout);
    close(records);
    close(term[1]);
    std::string bytes;
    char buf[4096];
    for (ssize_t n; (n = read(term[0], buf, sizeof buf)) > 0;) bytes.append(buf, static_cast<size_t>(n));
    close(term[0]);
    return bytes;
}

TEST(Console, ProgressNeverSharesALineWithRecordsNotesOrLibraryLines)
{
    const std::string bytes = console_run(Verbosity::Normal);
    const auto [lines, open] = terminal(bytes);
    EXPECT_EQ(lines, (std::vector<std::string>{"Record A, 18 bytes", "  field: 1",
                                               "capture.pcap: frame 3: refused by the parser", "luSL[8/3] a log line",
                                               "[LSL] a library line", "Record B", "[LSL] half of one, the other half"}));
    EXPECT_EQ(open, "") << "finish leaves the progress line cleared";
    EXPECT_NE(bytes.find("40% (400 frames)"), std::string::npos) << "the progress line was drawn";

    // Quiet: no progress line, no library lines; records (buffered, as nothing is drawn)
    // and the tool's own notes stay.
    EXPECT_EQ(console_run(Verbosity::Quiet),
              "capture.pcap: frame 3: refused by the parser\nRecord A, 18 bytes\n  field: 1\nRecord B\n");
}

} // namespace
