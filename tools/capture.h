/* SPDX-License-Identifier: BSD-2-Clause */
// Captures in and out: pcap/pcapng reading through libpcap, pcap writing, link-layer and
// IEEE 1905.1 header parsing, and reassembly of fragmented CMDUs.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct pcap_pkthdr; // <pcap/pcap.h>

struct pcap;

namespace lusl::tool {

using Bytes = std::vector<uint8_t>;
using Mac = std::array<uint8_t, 6>;

inline constexpr uint16_t kEtherType1905 = 0x893A;
inline constexpr uint16_t kEtherTypeVlan = 0x8100;
inline constexpr uint16_t kEtherTypeQinQ = 0x88A8;
inline constexpr size_t kCmduHeaderLen = 8;
inline constexpr uint8_t kFlagLastFragment = 0x80;
inline constexpr uint8_t kFlagRelay = 0x40;
// Largest reassembled TLV stream the tool hands to the library; anything bigger is refused.
inline constexpr size_t kMaxCmduBytes = 64 * 1024;

// "aa:bb:cc:dd:ee:ff"
std::string mac_str(const uint8_t* mac);
inline std::string mac_str(const Mac& mac) { return mac_str(mac.data()); }
// "aa:bb:cc:dd:ee:ff" or "aa-bb-cc-dd-ee-ff", either case.
std::optional<Mac> parse_mac(const std::string& s);

// A capture or input that cannot be used at all; the message names the file and the problem.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// Output that could not be written (a full disk, a closed file).
class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Packet {
    uint32_t ts_sec = 0;
    uint32_t ts_usec = 0;
    uint32_t orig_len = 0; // length on the wire; data may be shorter when the snap length cut it
    Bytes data;
};

// The packet libpcap handed over, as a Packet.
void take_packet(Packet& out, const pcap_pkthdr* h, const uint8_t* data);

// Where frames come from: a capture file, or an interface (tools/live.h).
class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Next frame, false at the end or when the rest is unreadable (see problem()).
    virtual bool next(Packet& out) = 0;
    virtual int linktype() const = 0;
    // The file's path or the interface's name, for messages.
    virtual const std::string& name() const = 0;
    // Why reading stopped early; empty after a clean end.
    virtual const std::string& problem() const = 0;
    virtual uint64_t frames() const = 0;
    // Bytes consumed so far and the file's size, for progress; both 0 when unknown (a pipe).
    virtual uint64_t position() const { return 0; }
    virtual uint64_t size() const { return 0; }
    // An interface rather than a file: frames keep coming until it is stopped.
    virtual bool live() const { return false; }
    // Frames the kernel dropped before they could be read (interfaces only).
    virtual uint64_t dropped() const { return 0; }

    // Called by a live source while no frame arrives, every fraction of a second, with the
    // time now on the clock of the frames' timestamps.
    std::function<void(double now)> on_idle;
};

// Reads a pcap or pcapng file frame by frame; "-" reads standard input.
class CaptureReader : public FrameSource {
public:
    explicit CaptureReader(const std::string& path); // throws InputError
    ~CaptureReader() override;
    CaptureReader(const CaptureReader&) = delete;
    CaptureReader& operator=(const CaptureReader&) = delete;

    bool next(Packet& out) override;
    int linktype() const override { return linktype_; }
    const std::string& path() const { return path_; }
    const std::string& name() const override { return path_; }
    const std::string& problem() const override { return problem_; }
    uint64_t frames() const override { return frames_; }
    uint64_t position() const override;
    uint64_t size() const override { return size_; }

private:
    std::string path_;
    pcap* pcap_ = nullptr;
    FILE* file_ = nullptr;
    int linktype_ = 0;
    uint64_t size_ = 0;
    uint64_t frames_ = 0;
    std::string problem_;
};

// Watches an interface with libpcap for UDP datagrams to 127.0.0.1 and a port, without
// binding anything. Needs the right to capture (root or CAP_NET_RAW).
class LiveCapture {
public:
    LiveCapture(const std::string& interface, uint16_t port); // throws InputError
    ~LiveCapture();
    LiveCapture(const LiveCapture&) = delete;
    LiveCapture& operator=(const LiveCapture&) = delete;

    // The next datagram's payload; false when none came within the capture's timeout (about
    // 100 ms) or the capture failed (see problem()).
    bool next(Bytes& payload);
    const std::string& problem() const { return problem_; }
    // Datagrams the capture dropped because the reader fell behind.
    uint64_t dropped() const;

private:
    pcap* pcap_ = nullptr;
    int linktype_ = 0;
    std::string problem_;
};

// The payload of a UDP datagram in an IPv4 frame of the given link type (Ethernet, as on lo,
// or Linux cooked); nothing for other frames, IP fragments and cut frames.
std::optional<Bytes> udp_payload(int linktype, const uint8_t* p, size_t n);

// Writes frames as a classic pcap file (Ethernet link type) with libpcap. Throws InputError.
void write_pcap(const std::string& path, const std::vector<Packet>& packets);

// The 8-byte IEEE 1905.1 CMDU header.
struct CmduHeader {
    uint8_t version = 0;
    uint16_t type = 0;
    uint16_t mid = 0;
    uint8_t fid = 0;
    uint8_t flags = 0;
    bool last() const { return flags & kFlagLastFragment; }
};
Bytes encode_header(const CmduHeader& h);
CmduHeader decode_header(const uint8_t* p); // p holds at least kCmduHeaderLen bytes

// One IEEE 1905.1 frame taken off the link layer.
struct Fragment {
    Mac src{};
    Mac dst{};
    std::optional<uint16_t> vlan; // outermost VLAN id of a tagged frame
    CmduHeader hdr;
    Bytes payload; // the TLV bytes after the header, link padding included
};

enum class FrameKind {
    Cmdu,      // an IEEE 1905.1 frame with a complete header
    Other,     // another ethertype: skipped
    Malformed, // ethertype 0x893A but too short for the header, or a cut link header
};

// Parses one frame of the given pcap link type (Ethernet, Linux cooked v1 and v2).
FrameKind parse_frame(int linktype, const uint8_t* p, size_t n, Fragment& out);
// True for the link types parse_frame understands.
bool supported_linktype(int linktype);

// Reassembles fragmented CMDUs, keyed by source MAC and message id.
class Reassembler {
public:
    struct Cmdu {
        Mac src{};
        Mac dst{};
        CmduHeader hdr;        // of the first fragment, fid 0
        Bytes tlvs;            // the whole TLV stream (empty when oversized)
        unsigned fragments = 1;
        bool oversized = false;
        uint64_t frame = 0;    // frame number (1-based) of the fragment that completed it
    };
    struct Incomplete {
        Mac src{};
        uint16_t type = 0;
        uint16_t mid = 0;
        std::vector<uint8_t> have; // fragment ids received
        std::optional<uint8_t> last; // id of the last fragment, when it arrived
        uint64_t first_frame = 0;
    };
    struct Stats {
        uint64_t fragments = 0;   // frames that were part of a multi-fragment CMDU
        uint64_t reassembled = 0; // multi-fragment CMDUs completed
        uint64_t duplicates = 0;  // repeated fragments dropped
        uint64_t incomplete = 0;  // assemblies given up (expired, pushed out or left at the end)
        size_t peak_open = 0;     // most assemblies open at once
        size_t peak_bytes = 0;    // most fragment bytes held at once
    };
    // Bounds on what incomplete CMDUs may hold. When one would be passed, the assembly idle
    // longest is given up, as its timeout would. Several complete CMDUs of the largest size
    // fit at once; a flood of fragments that never complete stays within these.
    static constexpr size_t kMaxOpen = 1024;
    static constexpr size_t kMaxHeldBytes = 4 * 1024 * 1024;

    // Seconds of capture time after which an assembly that got no fragment is given up.
    explicit Reassembler(double timeout_s = 10.0) : timeout_s_(timeout_s) {}

    // Adds one fragment seen at capture time t; returns the CMDU it completes, if any.
    std::optional<Cmdu> add(const Fragment& f, double t, uint64_t frame);
    // Gives up assemblies idle for longer than the timeout at time t (all of them for an
    // infinite t) and returns them, with any given up earlier because too many were open.
    std::vector<Incomplete> expire(double t);
    const Stats& stats() const { return stats_; }
    size_t open() const { return open_.size(); }
    size_t held_bytes() const { return held_; }

private:
    using Key = std::pair<Mac, uint16_t>;
    struct Assembly {
        Mac dst{};
        CmduHeader first;
        bool have_first = false;
        std::map<uint8_t, Bytes> parts;
        std::optional<uint8_t> last;
        size_t bytes = 0; // received, counted on when oversized
        size_t held = 0;  // kept in parts
        bool oversized = false;
        double seen = 0;
        uint64_t first_frame = 0;
    };
    static Bytes join(const std::map<uint8_t, Bytes>& parts);
    Incomplete incomplete_of(const Key& k, const Assembly& a) const;
    void remember_done(const Key& k, double t);
    // Gives up the assembly idle longest, other than keep; false when there is none.
    bool give_up_oldest(const Key* keep);
    void drop(std::map<Key, Assembly>::iterator it);

    double timeout_s_;
    std::map<Key, Assembly> open_;
    size_t held_ = 0;
    std::vector<Incomplete> given_up_;
    // Recently completed keys and when, so that a late duplicate opens no new assembly.
    std::map<Key, double> done_;
    std::deque<Key> done_order_;
    Stats stats_;
};

} // namespace lusl::tool
