// SPDX-License-Identifier: BSD-2-Clause
#include "chancap.h"

#include <pcap/pcap.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "printers.h"

namespace lusl::tool {

namespace {

constexpr size_t kEthLen = 14, kIpLen = 20, kUdpLen = 8;
constexpr uint16_t kEtherTypeIpv4 = 0x0800;

void put16(Bytes& b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// One's complement sum of 16-bit words, for the IPv4 and UDP checksums.
uint32_t sum16(const uint8_t* p, size_t n, uint32_t acc = 0)
{
    for (size_t i = 0; i + 1 < n; i += 2) acc += get16(p + i);
    if (n & 1) acc += uint32_t{p[n - 1]} << 8;
    return acc;
}

uint16_t fold(uint32_t acc)
{
    while (acc >> 16) acc = (acc & 0xFFFF) + (acc >> 16);
    return static_cast<uint16_t>(~acc);
}

} // namespace

Stamp now_stamp()
{
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return {static_cast<uint32_t>(tv.tv_sec), static_cast<uint32_t>(tv.tv_usec)};
}

uint16_t local_port(int fd)
{
    sockaddr_in a{};
    socklen_t alen = sizeof a;
    if (fd < 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&a), &alen) != 0) return 0;
    return ntohs(a.sin_port);
}

// ------------------------------------------------------------------ writing

ChannelWriter::ChannelWriter(const std::string& path, uint16_t src_port) : path_(path), src_port_(src_port)
{
    dead_ = pcap_open_dead(DLT_EN10MB, 262144);
    if (!dead_) throw InputError(path + ": cannot set up a pcap writer");
    dumper_ = pcap_dump_open(dead_, path.c_str());
    if (!dumper_) {
        std::string err = pcap_geterr(dead_);
        pcap_close(dead_);
        throw InputError(path + ": cannot write: " + err);
    }
}

ChannelWriter::~ChannelWriter()
{
    if (dumper_) pcap_dump_close(dumper_);
    if (dead_) pcap_close(dead_);
}

void ChannelWriter::write(const Bytes& datagram, uint16_t dst_port, Stamp when)
{
    const size_t udp_len = kUdpLen + datagram.size();
    Bytes f(kEthLen + kIpLen + kUdpLen, 0);
    // Ethernet: the loopback interface has all-zero addresses.
    put16(f, 12, kEtherTypeIpv4);
    uint8_t* ip = f.data() + kEthLen;
    ip[0] = 0x45;
    put16(f, kEthLen + 2, static_cast<uint16_t>(kIpLen + udp_len));
    put16(f, kEthLen + 4, ++ip_id_);
    put16(f, kEthLen + 6, 0x4000); // don't fragment
    ip[8] = 64;
    ip[9] = IPPROTO_UDP;
    const uint8_t lo[4] = {127, 0, 0, 1};
    std::memcpy(ip + 12, lo, 4);
    std::memcpy(ip + 16, lo, 4);
    put16(f, kEthLen + 10, fold(sum16(ip, kIpLen)));
    const size_t u = kEthLen + kIpLen;
    put16(f, u, src_port_);
    put16(f, u + 2, dst_port);
    put16(f, u + 4, static_cast<uint16_t>(udp_len));
    f.insert(f.end(), datagram.begin(), datagram.end());
    ip = f.data() + kEthLen; // the insert may have moved the frame
    // UDP checksum over the pseudo header (addresses, protocol, length) and the datagram.
    uint32_t acc = sum16(ip + 12, 8, IPPROTO_UDP + static_cast<uint32_t>(udp_len));
    uint16_t ck = fold(sum16(f.data() + u, udp_len, acc));
    put16(f, u + 6, ck ? ck : 0xFFFF);

    pcap_pkthdr h{};
    h.ts.tv_sec = when.sec;
    h.ts.tv_usec = when.usec;
    h.caplen = h.len = static_cast<bpf_u_int32>(f.size());
    pcap_dump(reinterpret_cast<u_char*>(dumper_), &h, f.data());
    ++written_;
}

void ChannelWriter::close()
{
    if (!dumper_) return;
    bool failed = pcap_dump_flush(dumper_) != 0 || std::ferror(pcap_dump_file(dumper_));
    pcap_dump_close(dumper_);
    dumper_ = nullptr;
    if (failed) throw InputError(path_ + ": write failed: " + std::strerror(errno));
}

// ------------------------------------------------------------------ reading

ChannelReader::ChannelReader(const std::string& path) : path_(path)
{
    struct stat st{};
    if (stat(path.c_str(), &st) != 0) throw InputError(path + ": cannot open: " + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw InputError(path + ": is a directory, not a capture");
    if (st.st_size == 0) throw InputError(path + ": empty file, not a capture");
    char err[PCAP_ERRBUF_SIZE] = {};
    pcap_ = pcap_open_offline(path.c_str(), err);
    if (!pcap_) {
        std::string e = err;
        if (e.find("unknown file format") != std::string::npos || e.find("bad dump file format") != std::string::npos)
            throw InputError(path + ": not a pcap or pcapng capture");
        throw InputError(path + ": cannot read the capture (libpcap: " + e + ")");
    }
    linktype_ = pcap_datalink(pcap_);
    switch (linktype_) {
    case DLT_EN10MB:
    case DLT_LINUX_SLL:
    case DLT_LINUX_SLL2:
    case DLT_RAW:
    case DLT_IPV4:
    case DLT_NULL:
    case DLT_LOOP: break;
    default: {
        const char* name = pcap_datalink_val_to_name(linktype_);
        std::string lt = name ? name : std::to_string(linktype_);
        pcap_close(pcap_);
        pcap_ = nullptr;
        throw InputError(path + ": link type " + lt +
                         " is not supported (Ethernet, Linux cooked, raw IP or BSD loopback captures only)");
    }
    }
}

ChannelReader::~ChannelReader()
{
    if (pcap_) pcap_close(pcap_);
}

bool ChannelReader::next(ChannelDatagram& out)
{
    for (;;) {
        if (!pcap_ || !problem_.empty()) return false;
        pcap_pkthdr* h = nullptr;
        const u_char* p = nullptr;
        int rc = pcap_next_ex(pcap_, &h, &p);
        if (rc != 1) {
            if (rc == PCAP_ERROR)
                problem_ = "unreadable after frame " + std::to_string(frames_) + " (libpcap: " + pcap_geterr(pcap_) + ")";
            return false;
        }
        ++frames_;
        const size_t n = h->caplen;

        // The link layer down to an IPv4 header.
        size_t pos = 0;
        bool ipv4 = false;
        if (linktype_ == DLT_EN10MB || linktype_ == DLT_LINUX_SLL || linktype_ == DLT_LINUX_SLL2) {
            size_t type_at = linktype_ == DLT_EN10MB ? 12 : linktype_ == DLT_LINUX_SLL ? 14 : 0;
            pos = linktype_ == DLT_LINUX_SLL2 ? 20 : linktype_ == DLT_LINUX_SLL ? 16 : kEthLen;
            if (n >= pos) {
                uint16_t et = get16(p + type_at);
                while (linktype_ == DLT_EN10MB && (et == kEtherTypeVlan || et == kEtherTypeQinQ) && n >= pos + 4) {
                    et = get16(p + pos + 2);
                    pos += 4;
                }
                ipv4 = et == kEtherTypeIpv4;
            }
        } else if (linktype_ == DLT_NULL || linktype_ == DLT_LOOP) {
            // The address family, in the capturing host's byte order (DLT_NULL) or network order.
            pos = 4;
            ipv4 = n >= 4 && ((p[0] == AF_INET && p[1] == 0 && p[2] == 0 && p[3] == 0) ||
                              (p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == AF_INET));
        } else {
            ipv4 = true; // raw IP
        }
        if (!ipv4 || n < pos + kIpLen || (p[pos] >> 4) != 4) {
            ++other_;
            continue;
        }
        const uint8_t* ip = p + pos;
        const size_t ihl = size_t{ip[0] & 0x0Fu} * 4;
        if (ihl < kIpLen || ip[9] != IPPROTO_UDP || n < pos + ihl + kUdpLen) {
            ++other_;
            continue;
        }
        if ((get16(ip + 6) & 0x3FFF) != 0) { // more fragments, or not the first
            ++fragments_;
            continue;
        }
        const uint8_t* udp = ip + ihl;
        const size_t udp_len = get16(udp + 4);
        if (udp_len < kUdpLen) {
            ++other_;
            continue;
        }
        out.frame = frames_;
        out.when = {static_cast<uint32_t>(h->ts.tv_sec), static_cast<uint32_t>(h->ts.tv_usec)};
        out.src_port = get16(udp);
        out.dst_port = get16(udp + 2);
        out.length = udp_len - kUdpLen;
        const size_t have = n - (pos + ihl + kUdpLen);
        out.payload.assign(udp + kUdpLen, udp + kUdpLen + std::min(have, out.length));
        return true;
    }
}

// ------------------------------------------------------------------ dump --read

int dump_capture(const ReadOptions& o, std::ostream& out, std::ostream& err)
{
    ChannelReader rd(o.path);
    ChannelDatagram d;
    uint64_t shown = 0, elsewhere = 0;
    while ((o.count == 0 || shown < o.count) && rd.next(d)) {
        if (o.port && d.dst_port != *o.port) {
            ++elsewhere;
            continue;
        }
        Json j = decode_datagram(d.payload.data(), d.payload.size());
        // As a receiver shows it: what the datagram held beside the layout's length.
        if (o.json || d.length != j.value("length", size_t{0})) j["received"] = d.length;
        if (d.payload.size() < d.length) j["captured"] = d.payload.size(); // the snap length cut it
        j["time"] = d.when.seconds();
        j["frame"] = d.frame;
        if (o.json)
            print_json(out, j);
        else
            print_text(out, j);
        ++shown;
    }
    if (!rd.problem().empty()) err << o.path << ": " << rd.problem() << '\n';
    if (o.json)
        print_json(out, Json{{"summary",
                              {{"file", o.path},
                               {"port", o.port ? Json(*o.port) : Json()},
                               {"frames", rd.frames()},
                               {"records", shown},
                               {"to_other_ports", elsewhere},
                               {"other_frames", rd.other()},
                               {"ip_fragments", rd.fragments()}}}});
    if (shown == 0) {
        err << o.path << ": no UDP datagrams";
        if (o.port) err << " to port " << *o.port;
        err << " in " << rd.frames() << " frames";
        if (elsewhere) err << " (" << elsewhere << " to other ports)";
        err << '\n';
    }
    if (rd.fragments()) err << o.path << ": " << rd.fragments() << " IPv4 fragments skipped\n";
    return 0;
}

} // namespace lusl::tool
