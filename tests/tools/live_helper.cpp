// SPDX-License-Identifier: BSD-2-Clause
// What live_test.sh cannot do well in shell: build a fragment flood, compare JSON outputs and
// the frames of two captures.
//   live_helper flood OUT.pcap MIDS FRAGS  fragments 0..FRAGS-1 of MIDS CMDUs, none of them last
//   live_helper odd OUT.pcap               one whole CMDU among frames send must not send
//   live_helper same-records A B           the JSON lines of two runs, frame numbers and times left out
//   live_helper same-datagrams A B         their records only, without their sources (as in a channel capture)
//   live_helper same-frames CAPTURE COPY   COPY holds the IEEE 1905 frames of CAPTURE, byte for byte
//   live_helper get FILE POINTER           a value of the summary line of FILE
#include <nlohmann/json.hpp>

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "capture.h"
#include "gen.h"

using nlohmann::json;
using namespace lusl::tool;

namespace {

std::vector<json> lines(const std::string& path, json* summary = nullptr)
{
    std::ifstream f(path);
    if (!f) throw std::runtime_error(path + ": cannot open");
    std::vector<json> out;
    for (std::string l; std::getline(f, l);) {
        json j = json::parse(l);
        if (j.contains("summary")) {
            if (summary) *summary = j["summary"];
            continue;
        }
        out.push_back(j);
    }
    return out;
}

// Where a frame sat in its capture and when it was taken differ between a file and a wire.
void strip(json& j)
{
    if (j.is_object()) {
        j.erase("frame");
        j.erase("time");
    }
    if (j.is_structured())
        for (auto& v : j) strip(v);
}

int same_records(const std::string& a, const std::string& b, bool datagrams_only)
{
    std::vector<json> x = lines(a), y = lines(b);
    for (auto* v : {&x, &y}) {
        if (datagrams_only) std::erase_if(*v, [](const json& j) { return j.contains("event"); });
        for (json& j : *v) {
            if (datagrams_only) j.erase("source");
            strip(j);
        }
    }
    for (size_t i = 0; i < std::max(x.size(), y.size()); ++i) {
        if (i < x.size() && i < y.size() && x[i] == y[i]) continue;
        std::cerr << "line " << i + 1 << " differs:\n  " << a << ": " << (i < x.size() ? x[i].dump() : "(none)") << "\n  " << b
                  << ": " << (i < y.size() ? y[i].dump() : "(none)") << '\n';
        return 1;
    }
    std::cout << x.size() << '\n';
    return x.empty() ? 1 : 0;
}

int same_frames(const std::string& capture, const std::string& copy)
{
    std::vector<Bytes> want, got;
    CaptureReader a(capture), b(copy);
    Packet p;
    Fragment f;
    while (a.next(p))
        if (parse_frame(a.linktype(), p.data.data(), p.data.size(), f) == FrameKind::Cmdu) want.push_back(p.data);
    while (b.next(p)) got.push_back(p.data);
    if (want != got) {
        std::cerr << copy << ": " << got.size() << " frames, " << capture << " has " << want.size() << " IEEE 1905 frames";
        for (size_t i = 0; i < std::min(want.size(), got.size()); ++i)
            if (want[i] != got[i]) {
                std::cerr << "; the first to differ is IEEE 1905 frame " << i + 1;
                break;
            }
        std::cerr << '\n';
        return 1;
    }
    std::cout << got.size() << '\n';
    return 0;
}

int flood(const std::string& out, unsigned mids, unsigned frags)
{
    const Mac src{0x02, 0xf1, 0, 0, 0, 0x01}, dst{0x02, 0xc0, 0, 0, 0, 0x01};
    std::vector<Packet> packets;
    for (unsigned m = 0; m < mids; ++m)
        for (unsigned i = 0; i < frags; ++i) {
            const Bytes body = gen::cat({encode_header({0, 0x801C, static_cast<uint16_t>(m), static_cast<uint8_t>(i), 0}),
                                         Bytes(1400, static_cast<uint8_t>(m))});
            Packet p;
            p.ts_sec = 1700000000 + m / 100;
            p.data = gen::ethernet_frame(dst, src, std::nullopt, kEtherType1905, body);
            packets.push_back(std::move(p));
        }
    write_pcap(out, packets);
    return 0;
}

// An ARP frame, a 1905 frame too short for its header, a 1905 frame the snap length cut,
// and one whole CMDU.
int odd(const std::string& out)
{
    const Mac src{0x02, 0xa1, 0, 0, 0, 0x01}, bcast{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    const Bytes cmdu = gen::cat({encode_header({0, 0x8033, 1, 0, kFlagLastFragment}), gen::tlv(0xC9, {gen::be16(17)}), Bytes{0, 0, 0}});
    Bytes shorter = gen::cat({gen::mac(bcast), gen::mac(src), gen::be16(kEtherType1905), Bytes{0, 0, 0x80}});
    std::vector<Packet> packets(4);
    packets[0].data = gen::ethernet_frame(bcast, src, std::nullopt, 0x0806, Bytes(28, 1));
    packets[1].data = shorter;
    packets[2].data = gen::ethernet_frame(bcast, src, std::nullopt, kEtherType1905, cmdu);
    packets[2].orig_len = static_cast<uint32_t>(packets[2].data.size() + 100);
    packets[3].data = gen::ethernet_frame(bcast, src, std::nullopt, kEtherType1905, cmdu);
    write_pcap(out, packets);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> a(argv + 1, argv + argc);
    try {
        if (a.size() == 4 && a[0] == "flood") return flood(a[1], std::stoul(a[2]), std::stoul(a[3]));
        if (a.size() == 2 && a[0] == "odd") return odd(a[1]);
        if (a.size() == 3 && a[0] == "same-records") return same_records(a[1], a[2], false);
        if (a.size() == 3 && a[0] == "same-datagrams") return same_records(a[1], a[2], true);
        if (a.size() == 3 && a[0] == "same-frames") return same_frames(a[1], a[2]);
        if (a.size() == 3 && a[0] == "get") {
            json s;
            lines(a[1], &s);
            const json::json_pointer ptr(a[2]);
            if (!s.contains(ptr)) throw std::runtime_error(a[1] + ": no " + a[2] + " in the summary");
            std::cout << (s.at(ptr).is_string() ? s.at(ptr).get<std::string>() : s.at(ptr).dump()) << '\n';
            return 0;
        }
    } catch (const std::exception& e) {
        std::cerr << "live_helper: " << e.what() << '\n';
        return 2;
    }
    std::cerr << "usage: live_helper flood|same-records|same-frames|get ...\n";
    return 2;
}
