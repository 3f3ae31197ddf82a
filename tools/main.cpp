// SPDX-License-Identifier: BSD-2-Clause
// lusl: replay captured or live IEEE 1905.1 traffic through libluSL, watch the message channel,
// decode single CMDUs, and generate a sample session.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "capture.h"
#include "console.h"
#include "layout_cmd.h"
#include "live.h"
#include "log_sink.h"
#include "replay.h"
#include "luSL/luSL.h"

using namespace lusl::tool;

namespace {

constexpr const char* kExitStatus =
    "Exit status:\n"
    "  0  success (also when a reader closes the output pipe early: the run ends quietly)\n"
    "  1  usage error, or input that cannot be used at all\n"
    "  2  input only partly usable (a truncated capture, some decode lines refused), or output\n"
    "     that could not be written (a full disk, a write error)\n"
    "  3  internal error\n";

// -q and -v, the same on every subcommand.
void add_verbosity(CLI::App* app, bool& quiet, bool& verbose)
{
    app->add_flag("-q,--quiet", quiet, "only records, summaries and errors: no library lines, notes or progress");
    app->add_flag("-v,--verbose", verbose, "the library's debug lines as well");
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"lusl: replay, watch and decode luSL traffic", "lusl"};
    app.footer(kExitStatus); // subcommands inherit it
    app.require_subcommand(1);
    bool quiet = false, verbose = false;
    add_verbosity(&app, quiet, verbose);
    // The library loaded may be newer than the headers the tool was built with.
    app.set_version_flag("--version", [] {
        return std::string("lusl ") + LUSL_VERSION_STRING + " (libluSL " + luSL_version() + ")";
    }, "print the version of the tool and of the library loaded, and exit");

    ReplayOptions ro;
    std::string type_list;
    bool no_progress = false;
    uint16_t replay_port = 0;
    auto* replay_cmd = app.add_subcommand("replay", "Replay a pcap/pcapng capture through luSL_Msg_parser_n");
    replay_cmd->add_option("capture,-r,--read", ro.capture, "pcap or pcapng file, - for standard input")->required();
    auto* port_opt = replay_cmd->add_option("--port", replay_port,
                                            "send the records to 127.0.0.1:PORT (default: a private port of the "
                                            "tool's own, read back to count what was delivered)");
    replay_cmd->add_flag("--dump", ro.dump, "print every record as it comes back (with --port: receive on PORT)");
    replay_cmd->add_flag("--take", ro.take, "with --dump --port: receive on PORT even while another listener holds it");
    replay_cmd->add_flag("--json", ro.json, "JSON output, one object per line: records, events, then the summary");
    replay_cmd->add_option("--type", type_list, "only these message types, e.g. '0x8002, 0x8025'");
    replay_cmd->add_option("-c,--count", ro.count, "only the first COUNT frames of the capture");
    auto* rate_opt = replay_cmd->add_option("--rate", ro.rate, "at most RATE CMDUs a second to the parser")
                         ->check(CLI::PositiveNumber);
    replay_cmd->add_flag("--realtime", ro.realtime, "keep the capture's time between frames")->excludes(rate_opt);
    replay_cmd->add_flag("--no-progress", no_progress, "no progress line on a terminal");
    replay_cmd->add_option("--write-channel", ro.write_channel,
                           "write every datagram sent to a pcap file, as tcpdump -i lo would (receives like --dump)");
    add_verbosity(replay_cmd, quiet, verbose);

    DumpOptions dop;
    auto* dump_cmd = app.add_subcommand("dump", "Receive records on a port and print them");
    dump_cmd->add_option("--port", dop.port, "UDP port on 127.0.0.1 (0: a free one)")->capture_default_str();
    auto* take_opt = dump_cmd->add_flag("--take", dop.take, "bind the port even while another listener holds it "
                                                            "(that listener then receives nothing)");
    dump_cmd->add_flag("--sniff", dop.sniff, "watch the port's datagrams on lo with libpcap, binding nothing (root)")
        ->excludes(take_opt);
    dump_cmd->add_flag("--json", dop.json, "one JSON object per line, then a summary");
    dump_cmd->add_option("-c,--count", dop.count, "stop after COUNT records (default: until interrupted)");
    add_verbosity(dump_cmd, quiet, verbose);

    DecodeOptions deo;
    std::string decode_type, src_mac, decode_input;
    auto* decode_cmd = app.add_subcommand(
        "decode", "Decode CMDUs, IEEE 1905 Ethernet frames or records given in hex, one per line");
    decode_cmd->add_option("hex", decode_input, "hex bytes, or - for standard input (the default)");
    decode_cmd->add_option("-r,--read", deo.file, "read the lines from this file");
    decode_cmd->add_flag("--json", deo.json, "one JSON object per record");
    auto* record_opt = decode_cmd->add_flag("--record", deo.record, "the bytes are a record as the channel carries it");
    decode_cmd->add_option("--type", decode_type, "message type of a bare TLV stream, e.g. 0x8025")->excludes(record_opt);
    decode_cmd->add_option("--src", src_mac, "source MAC handed to the parser (default: the frame's, or zeros)")
        ->excludes(record_opt);
    add_verbosity(decode_cmd, quiet, verbose);

    std::string gen_out;
    auto* gen_cmd = app.add_subcommand("gen", "Write the synthetic mesh session as a pcap file");
    gen_cmd->add_option("out", gen_out, "output file")->required();
    add_verbosity(gen_cmd, quiet, verbose);

    auto live = add_live_commands(app, [&](CLI::App* cmd) { add_verbosity(cmd, quiet, verbose); });
    Runner layout_commands = add_layout_commands(app, [&](CLI::App* sub) { add_verbosity(sub, quiet, verbose); });

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // CLI11's own codes (104-109) are not ours: help is 0, every other parse error 1.
        const int rc = app.exit(e);
        std::cout.flush();
        if (rc == 0) return std::cout ? 0 : 2;
        return 1;
    }
    if (quiet && verbose) {
        std::cerr << "lusl: -q and -v exclude each other\n";
        return 1;
    }
    const Verbosity v = quiet ? Verbosity::Quiet : verbose ? Verbosity::Verbose : Verbosity::Normal;
    // The library's stand-in log sink reads its threshold from the environment on first use.
    if (v == Verbosity::Quiet) setenv("LUMAP_LOG_LEVEL", "-1", 1);
    if (v == Verbosity::Verbose) setenv("LUMAP_LOG_LEVEL", "7", 1);
    std::signal(SIGPIPE, SIG_IGN); // a closed pipe shows up as EPIPE on the write

    // Records keep standard output to themselves; the library's puts() lines are caught and
    // sent to standard error.
    const int records_fd = dup(STDOUT_FILENO);
    if (records_fd < 0) {
        std::cerr << "lusl: cannot set up standard output: " << std::strerror(errno) << '\n';
        return 3;
    }
    int rc = 0;
    bool failed_output = false;
    {
        Console con(records_fd, STDERR_FILENO, v, isatty(STDERR_FILENO) == 1, isatty(records_fd) == 1);
        set_console(&con);
        // Library lines from the tool's sink take the console's way, behind the progress line.
        log::set_writer([&con](const std::string& l) { con.err() << l << std::flush; });
        std::ostream& out = con.out();
        std::ostream& err = con.err();
        try {
            con.capture_library_output();
            if (auto r = layout_commands(out, err)) {
                rc = *r;
            } else if (*replay_cmd) {
                if (!type_list.empty()) ro.types = parse_type_list(type_list);
                if (port_opt->count()) ro.port = replay_port;
                if (ro.take && !(ro.dump && ro.port)) throw InputError("--take needs --dump and --port");
                ro.progress = !no_progress;
                rc = replay(ro, out, err);
            } else if (*dump_cmd) {
                rc = dump(dop, out, err);
            } else if (*decode_cmd) {
                if (!decode_type.empty()) deo.type = parse_type(decode_type);
                if (!src_mac.empty()) {
                    deo.src = parse_mac(src_mac);
                    if (!deo.src) throw InputError("--src: '" + src_mac + "' is not a MAC address (aa:bb:cc:dd:ee:ff or aa-bb-cc-dd-ee-ff)");
                }
                if (decode_input != "-") deo.input = decode_input;
                if (!deo.input.empty() && !deo.file.empty()) throw InputError("give the hex or --read, not both");
                rc = decode(deo, std::cin, out, err);
            } else if (*gen_cmd) {
                rc = generate(gen_out, err);
            } else if (auto live_rc = live(out, err)) {
                rc = *live_rc;
            }
        } catch (const InputError& e) {
            err << "lusl: " << e.what() << '\n';
            rc = 1;
        } catch (const OutputError& e) {
            err << "lusl: " << e.what() << '\n';
            rc = 2;
        } catch (const std::exception& e) {
            err << "lusl: internal error: " << e.what() << '\n';
            rc = 3;
        }
        const int werr = con.finish();
        if (werr == EPIPE) {
            // The reader has all it wanted: end quietly.
        } else if (werr) {
            err << "lusl: cannot write the output: " << std::strerror(werr) << '\n';
            failed_output = true;
        }
        log::set_writer(nullptr);
        set_console(nullptr);
    }
    if (failed_output && (rc == 0 || rc == 2)) rc = 2;
    return rc;
}
