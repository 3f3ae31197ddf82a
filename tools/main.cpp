// SPDX-License-Identifier: BSD-2-Clause
// lusl: replay captured IEEE 1905.1 traffic through libluSL, watch the message channel,
// decode single CMDUs, and generate a sample session.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <streambuf>

#include "capture.h"
#include "replay.h"

using namespace lusl::tool;

namespace {

// An output stream on a file descriptor.
class FdBuf : public std::streambuf {
public:
    explicit FdBuf(int fd) : fd_(fd) { setp(buf_, buf_ + sizeof buf_); }
    ~FdBuf() override { sync(); }

protected:
    int overflow(int c) override
    {
        if (sync() != 0) return traits_type::eof();
        if (c != traits_type::eof()) {
            *pptr() = static_cast<char>(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override
    {
        for (char* p = pbase(); p < pptr();) {
            ssize_t n = write(fd_, p, static_cast<size_t>(pptr() - p));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return -1;
            p += n;
        }
        setp(buf_, buf_ + sizeof buf_);
        return 0;
    }

private:
    int fd_;
    char buf_[8192];
};

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"lusl: replay, watch and decode luSL traffic"};
    app.require_subcommand(1);

    ReplayOptions ro;
    std::vector<std::string> type_list;
    bool no_progress = false;
    auto* replay_cmd = app.add_subcommand("replay", "Replay a pcap/pcapng capture through luSL_Msg_parser_n");
    replay_cmd->add_option("capture", ro.capture, "pcap or pcapng file")->required();
    replay_cmd->add_option("--port", ro.port, "destination UDP port on 127.0.0.1 (0 with --dump: a free one)")
        ->capture_default_str();
    replay_cmd->add_flag("--dump", ro.dump, "receive on the port too and print every record");
    replay_cmd->add_flag("--json", ro.json, "JSON output, one object per line");
    replay_cmd->add_option("--type", type_list, "only these message types, e.g. 0x8002,0x8025")->delimiter(',');
    replay_cmd->add_flag("--no-progress", no_progress, "no progress line on a terminal");

    DumpOptions dop;
    auto* dump_cmd = app.add_subcommand("dump", "Receive records on a port and print them");
    dump_cmd->add_option("--port", dop.port, "UDP port on 127.0.0.1 (0: a free one)")->capture_default_str();
    dump_cmd->add_flag("--json", dop.json, "one JSON object per line");
    dump_cmd->add_option("--count", dop.count, "stop after this many records (0: never)");

    DecodeOptions deo;
    std::string decode_type, src_mac;
    auto* decode_cmd = app.add_subcommand("decode", "Decode a CMDU or a bare TLV stream given in hex");
    decode_cmd->add_option("hex", deo.hex, "hex bytes, or - for standard input (the default)");
    decode_cmd->add_flag("--json", deo.json, "one JSON object");
    decode_cmd->add_option("--type", decode_type, "message type of a bare TLV stream, e.g. 0x8025");
    decode_cmd->add_option("--src", src_mac, "source MAC handed to the parser (default 00:00:00:00:00:00)");

    std::string gen_out;
    auto* gen_cmd = app.add_subcommand("gen", "Write the synthetic mesh session as a pcap file");
    gen_cmd->add_option("out", gen_out, "output file")->required();

    CLI11_PARSE(app, argc, argv);

    // The library prints a few notices on standard output with puts(); records keep the real
    // standard output to themselves and everything else written to it goes to stderr.
    int records_fd = dup(STDOUT_FILENO);
    if (records_fd < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::cerr << "lusl: cannot set up standard output\n";
        return 3;
    }
    FdBuf records_buf(records_fd);
    std::ostream out(&records_buf);

    try {
        if (*replay_cmd) {
            for (const auto& t : type_list) ro.types.push_back(parse_type(t));
            ro.progress = !no_progress;
            return replay(ro, out, std::cerr);
        }
        if (*dump_cmd) return dump(dop, out, std::cerr);
        if (*decode_cmd) {
            if (!decode_type.empty()) deo.type = parse_type(decode_type);
            if (!src_mac.empty()) {
                auto m = parse_mac(src_mac);
                if (!m) throw InputError("--src: '" + src_mac + "' is not a MAC address (aa:bb:cc:dd:ee:ff)");
                deo.src = *m;
            }
            return decode(deo, std::cin, out, std::cerr);
        }
        if (*gen_cmd) return generate(gen_out, std::cerr);
    } catch (const InputError& e) {
        std::cerr << "lusl: " << e.what() << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "lusl: internal error: " << e.what() << '\n';
        return 3;
    }
    return 0;
}
