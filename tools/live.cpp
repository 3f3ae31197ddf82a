// SPDX-License-Identifier: BSD-2-Clause
#include "live.h"

#include <CLI/CLI.hpp>
#include <pcap/pcap.h>

#include <linux/if_packet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "console.h"
#include "printers.h"

namespace lusl::tool {

namespace {

// The longest a captured frame waits in the kernel before it is handed over.
constexpr int kBlockTimeoutMs = 100;

std::string code_str(uint16_t code)
{
    char s[8];
    std::snprintf(s, sizeof s, "0x%04X", code);
    return s;
}

std::string self_path()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string("lusl");
}

std::string linktype_name(int linktype)
{
    const char* name = pcap_datalink_val_to_name(linktype);
    const char* desc = pcap_datalink_val_to_description(linktype);
    std::string s = name ? name : std::to_string(linktype);
    if (desc) s += std::string(" (") + desc + ")";
    return s;
}

struct PcapClose {
    void operator()(pcap_t* p) const { pcap_close(p); }
};
using PcapHandle = std::unique_ptr<pcap_t, PcapClose>;

// Opens and activates an interface; what is "capture on" or "send on", for messages.
PcapHandle open_interface(const std::string& iface, bool promisc, int buffer_bytes, const std::string& what,
                          std::ostream& err)
{
    char ebuf[PCAP_ERRBUF_SIZE] = {};
    PcapHandle p(pcap_create(iface.c_str(), ebuf));
    if (!p) throw InputError(iface + ": cannot " + what + " it (libpcap: " + ebuf + ")");
    pcap_set_snaplen(p.get(), 65535);
    pcap_set_promisc(p.get(), promisc ? 1 : 0);
    // Frames are handed over in blocks, at the latest after this many milliseconds; frames
    // one by one would take a slot of the whole snap length each and fill the buffer fast.
    pcap_set_timeout(p.get(), kBlockTimeoutMs);
    pcap_set_buffer_size(p.get(), buffer_bytes);
    int rc = pcap_activate(p.get());
    const std::string detail = pcap_geterr(p.get());
    // Without the right to open a packet socket, libpcap never gets as far as the name.
    if (rc == PCAP_ERROR_PERM_DENIED && iface != "any" && if_nametoindex(iface.c_str()) == 0) rc = PCAP_ERROR_NO_SUCH_DEVICE;
    switch (rc) {
    case 0:
        break;
    case PCAP_ERROR_NO_SUCH_DEVICE:
        throw InputError(iface + ": no such interface (ip link lists them)");
    case PCAP_ERROR_PERM_DENIED:
        throw InputError(iface + ": no permission to " + what + " it: run as root, or give the binary CAP_NET_RAW (setcap cap_net_raw+ep " +
                         self_path() + ")");
    case PCAP_ERROR_PROMISC_PERM_DENIED:
        throw InputError(iface + ": no permission for promiscuous mode: run as root, or leave out --promisc");
    case PCAP_ERROR_IFACE_NOT_UP:
        throw InputError(iface + ": the interface is down (ip link set " + iface + " up)");
    default:
        if (rc < 0) throw InputError(iface + ": cannot " + what + " it (libpcap: " + (detail.empty() ? pcap_statustostr(rc) : detail) + ")");
        err << "lusl: " << iface << ": " << (detail.empty() ? pcap_statustostr(rc) : detail) << '\n'; // a warning
    }
    return p;
}

// The IEEE 1905.1 multicast address: joined on the capture socket, so that a network card
// that filters multicast passes it up without promiscuous mode. Left with the socket.
void join_1905_multicast(int fd, const std::string& iface)
{
    packet_mreq mr{};
    mr.mr_ifindex = static_cast<int>(if_nametoindex(iface.c_str()));
    if (mr.mr_ifindex == 0) return; // "any", or not a real interface
    mr.mr_type = PACKET_MR_MULTICAST;
    mr.mr_alen = 6;
    const uint8_t addr[6] = {0x01, 0x80, 0xc2, 0x00, 0x00, 0x13};
    std::memcpy(mr.mr_address, addr, sizeof addr);
    setsockopt(fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &mr, sizeof mr); // best effort
}

double now_s()
{
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

// ------------------------------------------------------------------ capture

class InterfaceSource : public FrameSource {
public:
    InterfaceSource(const ListenOptions& o, std::ostream& err) : iface_(o.iface)
    {
        pcap_ = open_interface(iface_, o.promisc, 4 * 1024 * 1024, "capture on", err);
        linktype_ = pcap_datalink(pcap_.get());
        if (!supported_linktype(linktype_))
            throw InputError(iface_ + ": link type " + linktype_name(linktype_) +
                             " is not supported (Ethernet or Linux cooked interfaces only)");
        bpf_program prog{};
        const std::string filter = capture_filter(linktype_);
        if (pcap_compile(pcap_.get(), &prog, filter.c_str(), 1, PCAP_NETMASK_UNKNOWN) != 0)
            throw InputError(iface_ + ": cannot compile the filter '" + filter + "' (libpcap: " + pcap_geterr(pcap_.get()) + ")");
        const int set = pcap_setfilter(pcap_.get(), &prog);
        pcap_freecode(&prog);
        if (set != 0) throw InputError(iface_ + ": cannot set the capture filter (libpcap: " + pcap_geterr(pcap_.get()) + ")");
        if (!o.outgoing && pcap_setdirection(pcap_.get(), PCAP_D_IN) != 0)
            err << "lusl: " << iface_ << ": cannot leave out outgoing frames (libpcap: " << pcap_geterr(pcap_.get()) << ")\n";
        char ebuf[PCAP_ERRBUF_SIZE] = {};
        if (pcap_setnonblock(pcap_.get(), 1, ebuf) != 0) throw InputError(iface_ + ": " + ebuf);
        fd_ = pcap_get_selectable_fd(pcap_.get());
        if (!o.promisc) join_1905_multicast(fd_, iface_);
        if (!o.write.empty()) {
            write_path_ = o.write;
            dumper_ = pcap_dump_open(pcap_.get(), o.write.c_str());
            if (!dumper_) throw OutputError(o.write + ": cannot write: " + pcap_geterr(pcap_.get()));
        }
        if (o.duration > 0)
            deadline_ = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                                std::chrono::duration<double>(o.duration));
    }
    ~InterfaceSource() override
    {
        if (dumper_) pcap_dump_close(dumper_);
    }
    InterfaceSource(const InterfaceSource&) = delete;
    InterfaceSource& operator=(const InterfaceSource&) = delete;

    bool next(Packet& out) override
    {
        for (;;) {
            if (!problem_.empty()) return false;
            // After a stop request, what the kernel already holds is still taken, within bounds.
            if (stop_requested() && ++drained_ > kDrainLimit) return false;
            if (deadline_ && std::chrono::steady_clock::now() >= *deadline_) return false;

            pcap_pkthdr* h = nullptr;
            const u_char* data = nullptr;
            const int rc = pcap_next_ex(pcap_.get(), &h, &data);
            if (rc == 1) {
                ++frames_;
                take_packet(out, h, data);
                if (dumper_) pcap_dump(reinterpret_cast<u_char*>(dumper_), h, data);
                return true;
            }
            if (rc < 0) {
                problem_ = std::string("capture failed after frame ") + std::to_string(frames_) + " (libpcap: " +
                           pcap_geterr(pcap_.get()) + ")";
                return false;
            }
            if (stop_requested()) {
                // Frames of a block the kernel has not handed over yet come within its timeout.
                if (waited_for_block_) return false;
                waited_for_block_ = true;
                pollfd pfd{fd_, POLLIN, 0};
                poll(&pfd, 1, 2 * kBlockTimeoutMs);
                continue;
            }
            int wait_ms = 200;
            if (deadline_) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - std::chrono::steady_clock::now());
                wait_ms = static_cast<int>(std::clamp<long long>(left.count() + 1, 0, wait_ms));
            }
            pollfd pfd{fd_, POLLIN, 0};
            if (poll(&pfd, 1, wait_ms) == 0) {
                if (dumper_) pcap_dump_flush(dumper_);
                if (on_idle) on_idle(now_s());
            }
        }
    }
    int linktype() const override { return linktype_; }
    const std::string& name() const override { return iface_; }
    const std::string& problem() const override { return problem_; }
    uint64_t frames() const override { return frames_; }
    bool live() const override { return true; }
    uint64_t dropped() const override
    {
        pcap_stat st{};
        return pcap_stats(pcap_.get(), &st) == 0 ? st.ps_drop : 0;
    }

    // Closes the --write file; a message when it could not be written whole.
    std::string close_file()
    {
        if (!dumper_) return {};
        bool failed = pcap_dump_flush(dumper_) != 0 || std::ferror(pcap_dump_file(dumper_));
        const int saved = errno;
        pcap_dump_close(dumper_);
        dumper_ = nullptr;
        return failed ? write_path_ + ": write failed: " + std::strerror(saved) : std::string();
    }

private:
    static constexpr uint64_t kDrainLimit = 100000;
    std::string iface_;
    PcapHandle pcap_;
    pcap_dumper_t* dumper_ = nullptr;
    std::string write_path_;
    int linktype_ = 0;
    int fd_ = -1;
    uint64_t frames_ = 0;
    uint64_t drained_ = 0;
    bool waited_for_block_ = false;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::string problem_;
};

// Sleeps until t, or until a stop is requested.
void sleep_until(std::chrono::steady_clock::time_point t)
{
    while (!stop_requested()) {
        auto now = std::chrono::steady_clock::now();
        if (now >= t) return;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(t - now, std::chrono::milliseconds(100)));
    }
}

} // namespace

std::string capture_filter(int linktype)
{
    // A tag the driver took off is matched by "vlan" as well as one still in the frame; each
    // "vlan" steps over one tag, so the inner test reaches a frame tagged twice (802.1ad).
    if (linktype == DLT_EN10MB)
        return "ether proto 0x893a or (vlan and (ether proto 0x893a or (vlan and ether proto 0x893a)))";
    return "ether proto 0x893a";
}

int listen_live(const ListenOptions& o, std::ostream& out, std::ostream& err)
{
    install_stop_handlers();
    InterfaceSource cap(o, err);
    if (verbosity() != Verbosity::Quiet)
        err << "lusl listen: capturing IEEE 1905 frames on " << o.iface << " (" << linktype_name(cap.linktype()) << ")"
            << std::endl;
    int rc = feed(cap, o.feed, out, err);
    if (std::string problem = cap.close_file(); !problem.empty()) {
        err << "lusl: " << problem << '\n';
        rc = std::max(rc, 2);
    }
    return rc;
}

// ------------------------------------------------------------------ send

int send_capture(const SendOptions& o, std::ostream& out, std::ostream& err)
{
    install_stop_handlers();
    CaptureReader rd(o.capture);
    const std::string& name = rd.path(); // "standard input" for -
    if (rd.linktype() != DLT_EN10MB)
        throw InputError(name + ": link type " + linktype_name(rd.linktype()) +
                         " has no Ethernet header to send; send takes Ethernet captures only");
    // It only sends: a small receive buffer, and a filter that takes nothing.
    PcapHandle p = open_interface(o.iface, false, 64 * 1024, "send on", err);
    if (pcap_datalink(p.get()) != DLT_EN10MB)
        throw InputError(o.iface + ": link type " + linktype_name(pcap_datalink(p.get())) +
                         " is not Ethernet; send puts Ethernet frames on the wire as they are");
    bpf_program none{};
    if (pcap_compile(p.get(), &none, "less 1", 1, PCAP_NETMASK_UNKNOWN) == 0) {
        pcap_setfilter(p.get(), &none);
        pcap_freecode(&none);
    }

    const bool quiet = verbosity() == Verbosity::Quiet;
    std::map<uint16_t, uint64_t> sent_by_type;
    uint64_t sent = 0, other = 0, malformed = 0, cut = 0, filtered = 0, failed = 0;
    std::optional<double> t0;
    const auto start = std::chrono::steady_clock::now();
    Packet pk;
    Fragment f;
    while (!stop_requested() && rd.next(pk)) {
        const std::string where = name + ": frame " + std::to_string(rd.frames());
        switch (parse_frame(rd.linktype(), pk.data.data(), pk.data.size(), f)) {
        case FrameKind::Other:
            ++other;
            continue;
        case FrameKind::Malformed:
            ++malformed;
            if (!quiet) err << where << ": IEEE 1905 frame too short for a CMDU header, not sent\n";
            continue;
        case FrameKind::Cmdu:
            break;
        }
        if (pk.data.size() < pk.orig_len) {
            ++cut;
            if (!quiet) err << where << ": only " << pk.data.size() << " of its " << pk.orig_len << " bytes were captured, not sent\n";
            continue;
        }
        if (!o.types.empty() && std::find(o.types.begin(), o.types.end(), f.hdr.type) == o.types.end()) {
            ++filtered;
            continue;
        }
        const double t = pk.ts_sec + pk.ts_usec / 1e6;
        if (!t0) t0 = t;
        using secs = std::chrono::duration<double>;
        if (o.timing)
            sleep_until(start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(secs(std::max(0.0, t - *t0))));
        else if (o.rate > 0)
            sleep_until(start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                    secs(static_cast<double>(sent + failed) / o.rate)));
        if (stop_requested()) break;
        if (pcap_inject(p.get(), pk.data.data(), pk.data.size()) != static_cast<int>(pk.data.size())) {
            if (++failed <= 10) err << where << ": not sent: " << pcap_geterr(p.get()) << '\n';
            continue;
        }
        ++sent;
        ++sent_by_type[f.hdr.type];
    }
    const bool interrupted = stop_requested();
    if (failed > 10) err << name << ": " << failed - 10 << " more frames not sent\n";
    if (!rd.problem().empty()) err << name << ": " << rd.problem() << "; sent from the frames before it\n";
    if (interrupted) err << "lusl send: interrupted after frame " << rd.frames() << '\n';

    if (o.json) {
        Json types = Json::array();
        for (const auto& [type, n] : sent_by_type) types.push_back({{"type", code_str(type)}, {"name", type_name(type)}, {"frames", n}});
        Json s = {{"file", name}, {"interface", o.iface}, {"frames", rd.frames()}, {"sent", sent},
                  {"other_frames", other}, {"malformed_frames", malformed}, {"cut_frames", cut}, {"filtered", filtered},
                  {"failed", failed}, {"interrupted", interrupted}, {"types", types}};
        if (!rd.problem().empty()) s["problem"] = rd.problem();
        print_json(out, Json{{"summary", s}});
    } else {
        out << "Sent " << sent << " IEEE 1905 frames of " << name << " on " << o.iface << '\n'
            << "  frames: " << rd.frames() << " (" << other << " other, not sent; " << malformed << " malformed; " << cut
            << " cut short; " << filtered << " left out by --type; " << failed << " failed)\n";
        if (!sent_by_type.empty()) out << "  type    name                                  frames\n";
        for (const auto& [type, n] : sent_by_type)
            out << "  " << code_str(type) << "  " << std::left << std::setw(36) << type_name(type) << std::right
                << std::setw(8) << n << '\n';
    }
    return failed || interrupted || !rd.problem().empty() ? 2 : 0;
}

// ------------------------------------------------------------------ command line

std::function<std::optional<int>(std::ostream&, std::ostream&)> add_live_commands(
    CLI::App& app, const std::function<void(CLI::App*)>& common)
{
    struct State {
        ListenOptions lo;
        SendOptions so;
        uint16_t port = kDefaultPort;
        std::string listen_types, send_types;
        bool no_status = false;
    };
    auto st = std::make_shared<State>();

    auto* l = app.add_subcommand("listen", "Capture IEEE 1905 frames on an interface and hand them to luSL_Msg_parser_n");
    l->add_option("-i,--interface", st->lo.iface, "interface to capture on (root or CAP_NET_RAW)")->required();
    l->add_option("--port", st->port, "send the records to 127.0.0.1:PORT (0: a private port of the tool's own)")
        ->capture_default_str();
    l->add_flag("--dump", st->lo.feed.dump, "print every record as it comes back (receives on PORT)");
    l->add_flag("--take", st->lo.feed.take, "with --dump: receive on PORT even while another listener holds it");
    l->add_flag("--json", st->lo.feed.json, "JSON output, one object per line: records, events, then the summary");
    l->add_option("--type", st->listen_types, "only these message types, e.g. '0x8002, 0x8025'");
    l->add_flag("--promisc", st->lo.promisc, "put the interface in promiscuous mode");
    l->add_flag("--outgoing", st->lo.outgoing, "also take the frames this host sends");
    l->add_option("-w,--write", st->lo.write, "keep the captured frames in this pcap file");
    l->add_option("--write-channel", st->lo.feed.write_channel,
                  "write every datagram sent to a pcap file, as tcpdump -i lo would (receives like --dump)");
    l->add_option("-c,--count", st->lo.feed.count, "stop after COUNT IEEE 1905 frames");
    l->add_option("--duration", st->lo.duration, "stop after this many seconds")->check(CLI::NonNegativeNumber);
    l->add_flag("--no-status", st->no_status, "no status line on a terminal");
    l->footer("Stops on SIGINT or SIGTERM, at --count or after --duration, with the summary replay prints.");
    common(l);

    auto* s = app.add_subcommand("send", "Put the IEEE 1905 frames of a capture on an interface, as they are");
    s->add_option("-i,--interface", st->so.iface, "interface to send on (root or CAP_NET_RAW)")->required();
    s->add_option("capture,-r,--read", st->so.capture, "pcap or pcapng file of Ethernet frames, - for standard input")
        ->required();
    auto* rate = s->add_option("--rate", st->so.rate, "frames per second (default: as fast as the interface takes them)")
                     ->check(CLI::PositiveNumber);
    s->add_flag("--timing", st->so.timing, "keep the capture's own gaps between frames")->excludes(rate);
    s->add_option("--type", st->send_types, "only frames of these message types, e.g. '0x0002, 0x8025'");
    s->add_flag("--json", st->so.json, "the summary as one JSON object");
    s->footer("Frames of other protocols are never sent. Exit status 2 when a frame could not be sent or it was interrupted.");
    common(s);

    return [st, l, s](std::ostream& out, std::ostream& err) -> std::optional<int> {
        if (*l) {
            if (!st->listen_types.empty()) st->lo.feed.types = parse_type_list(st->listen_types);
            st->lo.feed.port = st->port;
            if (st->lo.feed.take && !(st->lo.feed.dump && st->port)) throw InputError("--take needs --dump and a --port other than 0");
            st->lo.feed.progress = !st->no_status;
            return listen_live(st->lo, out, err);
        }
        if (*s) {
            // Any message type: a lab may well replay queries.
            std::string list = st->send_types;
            std::replace(list.begin(), list.end(), ',', ' ');
            std::istringstream words(list);
            for (std::string w; words >> w;) st->so.types.push_back(parse_type(w));
            return send_capture(st->so, out, err);
        }
        return std::nullopt;
    };
}

} // namespace lusl::tool
