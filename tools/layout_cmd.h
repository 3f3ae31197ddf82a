/* SPDX-License-Identifier: BSD-2-Clause */
// The subcommands driven by the layout description (layout, wireshark) and dump --read,
// set up on the tool's command line by one call.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>

namespace CLI {
class App;
}

namespace lusl::tool {

// Adds `layout` and `wireshark` (common adds the options every subcommand has), and `--read`
// to the existing `dump` subcommand. The result, called after parsing, runs the one that was
// asked for and returns its exit status, or nothing when the command line asked for another.
using Runner = std::function<std::optional<int>(std::ostream& out, std::ostream& err)>;
Runner add_layout_commands(CLI::App& app, const std::function<void(CLI::App*)>& common);

} // namespace lusl::tool
