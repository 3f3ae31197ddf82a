// SPDX-License-Identifier: BSD-2-Clause
#include "layout_cmd.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>

#include "chancap.h"
#include "layout_json.h"
#include "wireshark.h"

namespace lusl::tool {

Runner add_layout_commands(CLI::App& app, const std::function<void(CLI::App*)>& common)
{
    struct State {
        bool json = false;
        ReadOptions read;
        CLI::App* layout = nullptr;
        CLI::App* wireshark = nullptr;
        CLI::App* dump = nullptr;
        CLI::Option* read_opt = nullptr;
    };
    auto s = std::make_shared<State>();

    s->layout = app.add_subcommand("layout", "Print the record layout description of every message type");
    s->layout->add_flag("--json", s->json, "one JSON document (as installed in share/luSL/layout.json)");
    s->wireshark = app.add_subcommand("wireshark", "Print the Wireshark dissector of the message channel (Lua)");
    common(s->layout);
    common(s->wireshark);

    s->dump = app.get_subcommand("dump");
    s->read_opt = s->dump->add_option("-r,--read", s->read.path,
                                      "decode the datagrams of a channel capture (pcap/pcapng) instead of a socket");
    s->read_opt->excludes(s->dump->get_option("--take"))->excludes(s->dump->get_option("--sniff"));

    return [s](std::ostream& out, std::ostream& err) -> std::optional<int> {
        if (*s->layout) {
            if (s->json)
                out << layout::to_json().dump(1, ' ') << '\n';
            else
                layout::print_listing(out);
            return 0;
        }
        if (*s->wireshark) {
            out << wireshark_lua();
            return 0;
        }
        if (*s->dump && s->read_opt->count()) {
            // --port, --json and --count keep their meaning; without --port every UDP datagram.
            if (auto* p = s->dump->get_option("--port"); p->count()) s->read.port = p->as<uint16_t>();
            s->read.json = s->dump->get_option("--json")->count() > 0;
            if (auto* c = s->dump->get_option("--count"); c->count()) s->read.count = c->as<uint64_t>();
            return dump_capture(s->read, out, err);
        }
        return std::nullopt;
    };
}

} // namespace lusl::tool
