/* SPDX-License-Identifier: BSD-2-Clause */
// Where the tool writes. Records go to standard output, everything else to standard error,
// and the progress line never shares a line with either: it is cleared before anything else
// reaches the terminal and drawn again only after the records written so far are out.
// The library's own lines (puts(), the log sink) are caught on a pipe and forwarded as
// diagnostics.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <memory>
#include <streambuf>
#include <string>

namespace lusl::tool {

enum class Verbosity { Quiet, Normal, Verbose };

// An output stream buffer on a file descriptor. The first failed write is kept (errno) and
// every later write is dropped, so a full disk or a closed pipe is seen once, at the end.
class FdBuf : public std::streambuf {
public:
    // before_write runs ahead of every write(2) on the descriptor.
    explicit FdBuf(int fd, void (*before_write)(void*) = nullptr, void* ctx = nullptr);
    ~FdBuf() override;
    int fd() const { return fd_; }
    int error() const { return error_; }

protected:
    int overflow(int c) override;
    int sync() override;

private:
    int fd_;
    int error_ = 0;
    void (*before_)(void*);
    void* ctx_;
    char buf_[8192];
};

class Console {
public:
    // Records on records_fd, diagnostics on err_fd. progress_tty: draw the progress line
    // (standard error is a terminal); records_tty: records share that terminal.
    Console(int records_fd, int err_fd, Verbosity v, bool progress_tty, bool records_tty);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    std::ostream& out() { return *out_; }
    std::ostream& err() { return *err_; }
    Verbosity verbosity() const { return verbosity_; }

    // Draws text as the progress line (nothing when quiet or not on a terminal).
    void progress(const std::string& text);
    void clear_progress();
    // Forwards what the library wrote to stdout since the last call, line by line.
    void drain();
    // Flushes records and library lines; errno of the first failed record write, or 0.
    int finish();

    // Points the process's standard output and the stderr stream (not descriptor 2) at a
    // pipe that drain() empties, so that the library's puts() lines and the log sink's
    // lines reach standard error as whole lines of their own. Throws on failure.
    void capture_library_output();

private:
    static void before_out(void* self);
    static void before_err(void* self);

    Verbosity verbosity_;
    bool progress_on_, records_tty_;
    bool shown_ = false;
    int lib_rd_ = -1;
    FILE* real_stderr_ = nullptr;
    std::string partial_;
    std::unique_ptr<FdBuf> out_buf_, err_buf_;
    std::unique_ptr<std::ostream> out_, err_;
};

// The process's console once main opened one; the helpers below do nothing without it, so
// the subcommands run unchanged inside the tests.
Console* console();
void set_console(Console* c);
void progress_line(const std::string& text);
void drain_library_lines();
Verbosity verbosity();

// Set by SIGINT and SIGTERM once install_stop_handlers ran: long waits end and print their counts.
void install_stop_handlers();
bool stop_requested();

} // namespace lusl::tool
