/* SPDX-License-Identifier: BSD-2-Clause */
// Live mode: IEEE 1905.1 frames taken off an interface and fed to the library the way replay
// feeds a capture (lusl listen), and the 1905 frames of a capture put back on a wire (lusl send).
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "replay.h"

namespace CLI {
class App;
}

namespace lusl::tool {

// The capture filter for an interface of this link type: IEEE 1905.1 frames, untagged or
// behind one VLAN tag where the link layer has tags.
std::string capture_filter(int linktype);

struct ListenOptions {
    std::string iface;
    bool promisc = false;
    bool outgoing = false; // also the frames this host sends
    std::string write;     // keeps every captured frame in this pcap file
    double duration = 0;   // stops after this many seconds; 0: no limit
    ReplayOptions feed;    // forwarding, printing and --count, as in replay
};
int listen_live(const ListenOptions& o, std::ostream& out, std::ostream& err);

struct SendOptions {
    std::string iface;
    std::string capture;
    double rate = 0;     // frames per second; 0: as fast as the interface takes them
    bool timing = false; // the capture's own gaps between frames
    std::vector<uint16_t> types; // empty: every type
    bool json = false;
};
int send_capture(const SendOptions& o, std::ostream& out, std::ostream& err);

// Sets up the listen and send subcommands on app, each also given to common (options every
// subcommand has). After parsing, the function returned runs the one that was chosen and
// returns its exit status; nothing when neither was chosen.
std::function<std::optional<int>(std::ostream& out, std::ostream& err)> add_live_commands(
    CLI::App& app, const std::function<void(CLI::App*)>& common);

} // namespace lusl::tool
