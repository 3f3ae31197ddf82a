/* SPDX-License-Identifier: BSD-2-Clause */
// Captures of the message channel: datagrams written as UDP/IPv4 packets on the loopback the
// way `tcpdump -i lo` records them, and read back from such a file or from a real capture.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "capture.h"

struct pcap;
struct pcap_dumper;

namespace lusl::tool {

// Seconds and microseconds since the epoch.
struct Stamp {
    uint32_t sec = 0;
    uint32_t usec = 0;
    double seconds() const { return sec + usec / 1e6; }
};

Stamp now_stamp();

// Writes a pcap file (Ethernet link type, as Linux captures the loopback interface) of UDP
// datagrams from 127.0.0.1:src_port to 127.0.0.1. Throws InputError.
class ChannelWriter {
public:
    ChannelWriter(const std::string& path, uint16_t src_port);
    ~ChannelWriter();
    ChannelWriter(const ChannelWriter&) = delete;
    ChannelWriter& operator=(const ChannelWriter&) = delete;

    void write(const Bytes& datagram, uint16_t dst_port, Stamp when);
    // Flushes and closes; throws InputError when the file could not be written.
    void close();
    uint64_t written() const { return written_; }

private:
    std::string path_;
    pcap* dead_ = nullptr;
    pcap_dumper* dumper_ = nullptr;
    uint16_t src_port_;
    uint16_t ip_id_ = 0;
    uint64_t written_ = 0;
};

// One UDP/IPv4 datagram of a capture.
struct ChannelDatagram {
    uint64_t frame = 0; // 1-based frame number in the capture
    Stamp when;
    uint16_t src_port = 0;
    uint16_t dst_port = 0;
    size_t length = 0; // datagram length from its UDP header
    Bytes payload;     // fewer than length bytes when the snap length cut the frame
};

// Reads the UDP/IPv4 datagrams of a pcap or pcapng file: Ethernet, Linux cooked v1 and v2,
// raw IP and BSD loopback link types. Throws InputError for a file it cannot use.
class ChannelReader {
public:
    explicit ChannelReader(const std::string& path);
    ~ChannelReader();
    ChannelReader(const ChannelReader&) = delete;
    ChannelReader& operator=(const ChannelReader&) = delete;

    // Next UDP/IPv4 datagram; false at the end, or when the rest is unreadable (problem()).
    bool next(ChannelDatagram& out);
    const std::string& problem() const { return problem_; }
    uint64_t frames() const { return frames_; }
    uint64_t other() const { return other_; }         // frames that are not UDP over IPv4
    uint64_t fragments() const { return fragments_; } // IPv4 fragments, skipped

private:
    std::string path_;
    pcap* pcap_ = nullptr;
    int linktype_ = 0;
    uint64_t frames_ = 0, other_ = 0, fragments_ = 0;
    std::string problem_;
};

// The local port of a bound socket, 0 when unknown.
uint16_t local_port(int fd);

// lusl dump --read: prints the records of the channel datagrams of a capture.
struct ReadOptions {
    std::string path;
    std::optional<uint16_t> port; // only datagrams to this port; all UDP datagrams without
    bool json = false;
    uint64_t count = 0; // 0: all
};
int dump_capture(const ReadOptions& o, std::ostream& out, std::ostream& err);

} // namespace lusl::tool
