// SPDX-License-Identifier: BSD-2-Clause
#include "capture.h"

#include <pcap/pcap.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

namespace lusl::tool {

std::string mac_str(const uint8_t* mac)
{
    char s[18];
    std::snprintf(s, sizeof s, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return s;
}

std::optional<Mac> parse_mac(const std::string& s)
{
    // aa:bb:cc:dd:ee:ff or aa-bb-cc-dd-ee-ff, one separator throughout
    if (s.size() != 17) return std::nullopt;
    const char sep = s[2];
    if (sep != ':' && sep != '-') return std::nullopt;
    Mac m{};
    for (size_t i = 0; i < 6; ++i) {
        const char hi = s[3 * i], lo = s[3 * i + 1];
        if (!std::isxdigit(static_cast<unsigned char>(hi)) || !std::isxdigit(static_cast<unsigned char>(lo)) ||
            (i < 5 && s[3 * i + 2] != sep))
            return std::nullopt;
        m[i] = static_cast<uint8_t>(std::stoi(s.substr(3 * i, 2), nullptr, 16));
    }
    return m;
}

// ------------------------------------------------------------------ reading

namespace {

std::string describe_open_error(const std::string& path, const std::string& err)
{
    if (err.find("truncated") != std::string::npos)
        return path + ": truncated capture: the file ends inside its header (libpcap: " + err + ")";
    if (err.find("unknown file format") != std::string::npos || err.find("bad dump file format") != std::string::npos)
        return path + ": not a pcap or pcapng capture";
    return path + ": cannot read the capture (libpcap: " + err + ")";
}

} // namespace

CaptureReader::CaptureReader(const std::string& path) : path_(path == "-" ? "standard input" : path)
{
    // Nothing is judged by the file's size: pipes, FIFOs and process substitutions have none.
    if (path == "-") {
        if (isatty(STDIN_FILENO)) throw InputError("standard input is a terminal; pipe a capture in (tcpdump -w - | lusl replay -)");
        file_ = fdopen(dup(STDIN_FILENO), "rb");
    } else {
        file_ = std::fopen(path.c_str(), "rb");
    }
    if (!file_) throw InputError(path_ + ": cannot open: " + std::strerror(errno));
    struct stat st{};
    if (fstat(fileno(file_), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            std::fclose(file_);
            throw InputError(path_ + ": is a directory, not a capture");
        }
        if (S_ISREG(st.st_mode)) size_ = static_cast<uint64_t>(st.st_size);
    }
    const int first = std::getc(file_);
    if (first == EOF) {
        const bool failed = std::ferror(file_);
        const int e = errno;
        std::fclose(file_);
        throw InputError(path_ + (failed ? ": cannot read: " + std::string(std::strerror(e)) : ": empty, not a capture"));
    }
    std::ungetc(first, file_);

    char err[PCAP_ERRBUF_SIZE] = {};
    pcap_ = pcap_fopen_offline(file_, err);
    if (!pcap_) {
        std::fclose(file_);
        file_ = nullptr;
        throw InputError(describe_open_error(path_, err));
    }
    linktype_ = pcap_datalink(pcap_);
    if (!supported_linktype(linktype_)) {
        const char* name = pcap_datalink_val_to_name(linktype_);
        std::string lt = name ? name : std::to_string(linktype_);
        pcap_close(pcap_);
        pcap_ = nullptr;
        throw InputError(path_ + ": link type " + lt + " is not supported (Ethernet or Linux cooked captures only)");
    }
}

void take_packet(Packet& out, const pcap_pkthdr* h, const uint8_t* data)
{
    out.ts_sec = static_cast<uint32_t>(h->ts.tv_sec);
    out.ts_usec = static_cast<uint32_t>(h->ts.tv_usec);
    out.orig_len = h->len;
    out.data.assign(data, data + h->caplen);
}

CaptureReader::~CaptureReader()
{
    if (pcap_) pcap_close(pcap_); // closes file_ too
}

bool CaptureReader::next(Packet& out)
{
    if (!pcap_ || !problem_.empty()) return false;
    pcap_pkthdr* h = nullptr;
    const u_char* data = nullptr;
    int rc = pcap_next_ex(pcap_, &h, &data);
    if (rc == 1) {
        ++frames_;
        take_packet(out, h, data);
        return true;
    }
    if (rc == PCAP_ERROR) {
        std::string err = pcap_geterr(pcap_);
        if (err.find("truncated") != std::string::npos)
            problem_ = "truncated capture: the file ends inside frame " + std::to_string(frames_ + 1) +
                       " (libpcap: " + err + ")";
        else
            problem_ = "unreadable after frame " + std::to_string(frames_) + " (libpcap: " + err + ")";
    }
    return false;
}

uint64_t CaptureReader::position() const
{
    if (!file_ || !size_) return 0;
    long p = std::ftell(file_);
    return p < 0 ? 0 : static_cast<uint64_t>(p);
}

// ------------------------------------------------------------------ live capture

LiveCapture::LiveCapture(const std::string& interface, uint16_t port)
{
    char err[PCAP_ERRBUF_SIZE] = {};
    pcap_ = pcap_create(interface.c_str(), err);
    if (!pcap_) throw InputError("cannot capture on " + interface + " (libpcap: " + err + ")");
    pcap_set_snaplen(pcap_, 65535);
    pcap_set_immediate_mode(pcap_, 1);
    pcap_set_timeout(pcap_, 100);
    const int rc = pcap_activate(pcap_);
    if (rc < 0) {
        std::string why = rc == PCAP_ERROR_PERM_DENIED
                              ? "capturing needs root or the CAP_NET_RAW capability"
                              : std::string("libpcap: ") + pcap_geterr(pcap_);
        pcap_close(pcap_);
        pcap_ = nullptr;
        throw InputError("cannot capture on " + interface + ": " + why);
    }
    linktype_ = pcap_datalink(pcap_);
    const std::string filter = "udp and dst host 127.0.0.1 and dst port " + std::to_string(port);
    bpf_program prog{};
    if (pcap_compile(pcap_, &prog, filter.c_str(), 1, PCAP_NETMASK_UNKNOWN) != 0 || pcap_setfilter(pcap_, &prog) != 0) {
        std::string why = pcap_geterr(pcap_);
        pcap_freecode(&prog);
        pcap_close(pcap_);
        pcap_ = nullptr;
        throw InputError("cannot set the capture filter '" + filter + "' (libpcap: " + why + ")");
    }
    pcap_freecode(&prog);
}

LiveCapture::~LiveCapture()
{
    if (pcap_) pcap_close(pcap_);
}

bool LiveCapture::next(Bytes& payload)
{
    if (!pcap_ || !problem_.empty()) return false;
    pcap_pkthdr* h = nullptr;
    const u_char* data = nullptr;
    const int rc = pcap_next_ex(pcap_, &h, &data);
    if (rc < 0) {
        problem_ = std::string("capture failed (libpcap: ") + pcap_geterr(pcap_) + ")";
        return false;
    }
    if (rc == 0) return false;
    auto p = udp_payload(linktype_, data, h->caplen);
    if (!p) return false;
    payload = std::move(*p);
    return true;
}

uint64_t LiveCapture::dropped() const
{
    pcap_stat st{};
    return pcap_ && pcap_stats(pcap_, &st) == 0 ? st.ps_drop : 0;
}

std::optional<Bytes> udp_payload(int linktype, const uint8_t* p, size_t n)
{
    size_t pos;
    uint16_t ethertype;
    auto be16 = [&](size_t at) { return static_cast<uint16_t>(p[at] << 8 | p[at + 1]); };
    if (linktype == DLT_EN10MB && n >= 14) {
        ethertype = be16(12);
        pos = 14;
    } else if (linktype == DLT_LINUX_SLL && n >= 16) {
        ethertype = be16(14);
        pos = 16;
    } else if (linktype == DLT_LINUX_SLL2 && n >= 20) {
        ethertype = be16(0);
        pos = 20;
    } else {
        return std::nullopt;
    }
    if (ethertype != 0x0800 || n - pos < 20 || p[pos] >> 4 != 4) return std::nullopt;
    const size_t ihl = static_cast<size_t>(p[pos] & 0x0F) * 4;
    const size_t total = be16(pos + 2);
    const bool fragment = (be16(pos + 6) & 0x3FFF) != 0; // more fragments, or an offset
    if (p[pos + 9] != 17 || ihl < 20 || fragment || total < ihl + 8 || total > n - pos) return std::nullopt;
    const size_t udp = pos + ihl;
    const size_t udp_len = be16(udp + 4);
    if (udp_len < 8 || udp_len > total - ihl) return std::nullopt;
    return Bytes(p + udp + 8, p + udp + udp_len);
}

// ------------------------------------------------------------------ writing

void write_pcap(const std::string& path, const std::vector<Packet>& packets)
{
    pcap_t* dead = pcap_open_dead(DLT_EN10MB, 65535);
    if (!dead) throw InputError(path + ": cannot set up a pcap writer");
    pcap_dumper_t* d = pcap_dump_open(dead, path.c_str());
    if (!d) {
        std::string err = pcap_geterr(dead);
        pcap_close(dead);
        throw OutputError(path + ": cannot write: " + err);
    }
    for (const Packet& p : packets) {
        pcap_pkthdr h{};
        h.ts.tv_sec = p.ts_sec;
        h.ts.tv_usec = p.ts_usec;
        h.caplen = static_cast<bpf_u_int32>(p.data.size());
        h.len = p.orig_len ? p.orig_len : h.caplen;
        pcap_dump(reinterpret_cast<u_char*>(d), &h, p.data.data());
    }
    bool failed = pcap_dump_flush(d) != 0 || std::ferror(pcap_dump_file(d));
    pcap_dump_close(d);
    pcap_close(dead);
    if (failed) throw OutputError(path + ": write failed: " + std::strerror(errno));
}

// ------------------------------------------------------------------ headers

Bytes encode_header(const CmduHeader& h)
{
    return {h.version, 0,
            static_cast<uint8_t>(h.type >> 8), static_cast<uint8_t>(h.type),
            static_cast<uint8_t>(h.mid >> 8), static_cast<uint8_t>(h.mid),
            h.fid, h.flags};
}

CmduHeader decode_header(const uint8_t* p)
{
    CmduHeader h;
    h.version = p[0];
    h.type = static_cast<uint16_t>(p[2] << 8 | p[3]);
    h.mid = static_cast<uint16_t>(p[4] << 8 | p[5]);
    h.fid = p[6];
    h.flags = p[7];
    return h;
}

bool supported_linktype(int linktype)
{
    return linktype == DLT_EN10MB || linktype == DLT_LINUX_SLL || linktype == DLT_LINUX_SLL2;
}

FrameKind parse_frame(int linktype, const uint8_t* p, size_t n, Fragment& out)
{
    out = Fragment{};
    size_t pos = 0;
    uint16_t ethertype = 0;
    auto be16 = [&](size_t at) { return static_cast<uint16_t>(p[at] << 8 | p[at + 1]); };

    if (linktype == DLT_EN10MB) {
        if (n < 14) return FrameKind::Other;
        std::memcpy(out.dst.data(), p, 6);
        std::memcpy(out.src.data(), p + 6, 6);
        ethertype = be16(12);
        pos = 14;
    } else if (linktype == DLT_LINUX_SLL) {
        // packet type, ARPHRD type, address length, address (8), protocol
        if (n < 16) return FrameKind::Other;
        if (be16(4) == 6) std::memcpy(out.src.data(), p + 6, 6);
        ethertype = be16(14);
        pos = 16;
    } else if (linktype == DLT_LINUX_SLL2) {
        // protocol, reserved, interface index, ARPHRD type, packet type, address length, address (8)
        if (n < 20) return FrameKind::Other;
        if (p[11] == 6) std::memcpy(out.src.data(), p + 12, 6);
        ethertype = be16(0);
        pos = 20;
    } else {
        return FrameKind::Other;
    }

    // 802.1Q and 802.1ad tags, stacked or single.
    while (ethertype == kEtherTypeVlan || ethertype == kEtherTypeQinQ) {
        if (n < pos + 4) return FrameKind::Other;
        if (!out.vlan) out.vlan = static_cast<uint16_t>(be16(pos) & 0x0FFF);
        ethertype = be16(pos + 2);
        pos += 4;
    }
    if (ethertype != kEtherType1905) return FrameKind::Other;
    if (n < pos + kCmduHeaderLen) return FrameKind::Malformed;
    out.hdr = decode_header(p + pos);
    out.payload.assign(p + pos + kCmduHeaderLen, p + n);
    return FrameKind::Cmdu;
}

// ------------------------------------------------------------------ reassembly

std::optional<Reassembler::Cmdu> Reassembler::add(const Fragment& f, double t, uint64_t frame)
{
    // The common case: a CMDU in one frame.
    if (f.hdr.fid == 0 && f.hdr.last()) {
        Cmdu c;
        c.src = f.src;
        c.dst = f.dst;
        c.hdr = f.hdr;
        c.frame = frame;
        if (f.payload.size() > kMaxCmduBytes)
            c.oversized = true;
        else
            c.tlvs = f.payload;
        return c;
    }

    ++stats_.fragments;
    Key key{f.src, f.hdr.mid};
    if (auto d = done_.find(key); d != done_.end()) {
        if (t - d->second <= timeout_s_) {
            ++stats_.duplicates;
            return std::nullopt;
        }
        done_.erase(d);
    }

    if (!open_.count(key) && open_.size() >= kMaxOpen) give_up_oldest(nullptr);
    Assembly& a = open_[key];
    stats_.peak_open = std::max(stats_.peak_open, open_.size());
    if (a.parts.empty() && !a.last) {
        a.first_frame = frame;
        a.dst = f.dst;
    }
    a.seen = t;
    if (a.parts.count(f.hdr.fid) || (a.last && f.hdr.fid > *a.last)) {
        ++stats_.duplicates;
        return std::nullopt;
    }
    if (f.hdr.fid == 0 || !a.have_first) a.first = f.hdr;
    if (f.hdr.fid == 0) a.have_first = true;
    if (f.hdr.last()) a.last = f.hdr.fid;

    a.bytes += f.payload.size();
    if (a.bytes > kMaxCmduBytes && !a.oversized) {
        a.oversized = true;
        for (auto& [fid, bytes] : a.parts) Bytes().swap(bytes);
        held_ -= a.held;
        a.held = 0;
    }
    if (!a.oversized) {
        while (held_ + f.payload.size() > kMaxHeldBytes && give_up_oldest(&key)) {
        }
        a.held += f.payload.size();
        held_ += f.payload.size();
        stats_.peak_bytes = std::max(stats_.peak_bytes, held_);
    }
    a.parts.emplace(f.hdr.fid, a.oversized ? Bytes{} : f.payload);

    if (!a.last || a.parts.size() != static_cast<size_t>(*a.last) + 1) return std::nullopt;

    Cmdu c;
    c.src = key.first;
    c.dst = a.dst;
    c.hdr = a.first;
    c.hdr.fid = 0;
    c.hdr.flags = static_cast<uint8_t>(c.hdr.flags | kFlagLastFragment);
    c.fragments = static_cast<unsigned>(a.parts.size());
    c.oversized = a.oversized;
    c.frame = frame;
    if (!c.oversized) c.tlvs = join(a.parts);
    drop(open_.find(key));
    remember_done(key, t);
    ++stats_.reassembled;
    return c;
}

Bytes Reassembler::join(const std::map<uint8_t, Bytes>& parts)
{
    // A fragment before the last ends where its TLVs end: an end-of-message TLV that some
    // senders put in every fragment, and the link padding behind it, are not part of the
    // stream. Only TLV-aligned positions are looked at, since a TLV may span two fragments.
    Bytes out;
    size_t cursor = 0; // start of the first TLV not yet complete in out
    size_t i = 0;
    for (auto& [fid, bytes] : parts) {
        out.insert(out.end(), bytes.begin(), bytes.end());
        if (++i == parts.size()) break;
        while (cursor < out.size()) {
            if (out[cursor] == 0) {
                out.resize(cursor);
                break;
            }
            if (out.size() - cursor < 3) break;
            size_t len = static_cast<size_t>(out[cursor + 1] << 8 | out[cursor + 2]);
            if (len > out.size() - cursor - 3) break;
            cursor += 3 + len;
        }
    }
    return out;
}

void Reassembler::remember_done(const Key& k, double t)
{
    done_[k] = t;
    done_order_.push_back(k);
    while (done_order_.size() > 4096) {
        done_.erase(done_order_.front());
        done_order_.pop_front();
    }
}

void Reassembler::drop(std::map<Key, Assembly>::iterator it)
{
    held_ -= it->second.held;
    open_.erase(it);
}

bool Reassembler::give_up_oldest(const Key* keep)
{
    auto oldest = open_.end();
    for (auto it = open_.begin(); it != open_.end(); ++it)
        if ((!keep || it->first != *keep) && (oldest == open_.end() || it->second.seen < oldest->second.seen))
            oldest = it;
    if (oldest == open_.end()) return false;
    given_up_.push_back(incomplete_of(oldest->first, oldest->second));
    drop(oldest);
    return true;
}

Reassembler::Incomplete Reassembler::incomplete_of(const Key& k, const Assembly& a) const
{
    Incomplete inc;
    inc.src = k.first;
    inc.mid = k.second;
    inc.type = a.first.type;
    for (auto& [fid, bytes] : a.parts) inc.have.push_back(fid);
    inc.last = a.last;
    inc.first_frame = a.first_frame;
    return inc;
}

std::vector<Reassembler::Incomplete> Reassembler::expire(double t)
{
    std::vector<Incomplete> out = std::move(given_up_);
    given_up_.clear();
    for (auto it = open_.begin(); it != open_.end();) {
        if (std::isinf(t) || t - it->second.seen > timeout_s_) {
            out.push_back(incomplete_of(it->first, it->second));
            held_ -= it->second.held;
            it = open_.erase(it);
        } else {
            ++it;
        }
    }
    stats_.incomplete += out.size();
    return out;
}

} // namespace lusl::tool
