// SPDX-License-Identifier: BSD-2-Clause
#include "console.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <string_view>

namespace lusl::tool {

namespace {

void write_all(int fd, const char* p, size_t n)
{
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return; // diagnostics that cannot be written are dropped
        p += w;
        n -= static_cast<size_t>(w);
    }
}

Console* g_console = nullptr;
volatile std::sig_atomic_t g_stop = 0;

void on_stop(int) { g_stop = 1; }

} // namespace

// ------------------------------------------------------------------ FdBuf

FdBuf::FdBuf(int fd, void (*before_write)(void*), void* ctx) : fd_(fd), before_(before_write), ctx_(ctx)
{
    setp(buf_, buf_ + sizeof buf_);
}

FdBuf::~FdBuf() { sync(); }

int FdBuf::overflow(int c)
{
    if (sync() != 0) return traits_type::eof();
    if (c != traits_type::eof()) {
        *pptr() = static_cast<char>(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int FdBuf::sync()
{
    if (pptr() == pbase()) return error_ ? -1 : 0;
    if (!error_ && before_) before_(ctx_);
    for (char* p = pbase(); !error_ && p < pptr();) {
        ssize_t n = write(fd_, p, static_cast<size_t>(pptr() - p));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) error_ = n < 0 ? errno : EIO;
        else p += n;
    }
    setp(buf_, buf_ + sizeof buf_);
    return error_ ? -1 : 0;
}

// ------------------------------------------------------------------ Console

Console::Console(int records_fd, int err_fd, Verbosity v, bool progress_tty, bool records_tty)
    : verbosity_(v), progress_on_(progress_tty && v != Verbosity::Quiet), records_tty_(records_tty)
{
    out_buf_ = std::make_unique<FdBuf>(records_fd, &Console::before_out, this);
    err_buf_ = std::make_unique<FdBuf>(err_fd, &Console::before_err, this);
    out_ = std::make_unique<std::ostream>(out_buf_.get());
    err_ = std::make_unique<std::ostream>(err_buf_.get());
    err_->setf(std::ios::unitbuf);
}

Console::~Console()
{
    finish();
    if (real_stderr_) {
        std::fclose(stderr);
        stderr = real_stderr_;
    }
    if (lib_rd_ >= 0) close(lib_rd_);
    if (g_console == this) g_console = nullptr;
}

void Console::before_out(void* self)
{
    auto* c = static_cast<Console*>(self);
    if (c->records_tty_) c->clear_progress();
}

void Console::before_err(void* self) { static_cast<Console*>(self)->clear_progress(); }

void Console::progress(const std::string& text)
{
    if (!progress_on_) return;
    out_->flush(); // records written so far go out before the line is drawn
    const std::string line = "\r" + text + "\033[K";
    write_all(err_buf_->fd(), line.data(), line.size());
    shown_ = true;
}

void Console::clear_progress()
{
    if (!shown_) return;
    shown_ = false;
    write_all(err_buf_->fd(), "\r\033[K", 4);
}

void Console::capture_library_output()
{
    int p[2];
    if (pipe2(p, O_NONBLOCK | O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    (void)fcntl(p[1], F_SETPIPE_SZ, 1 << 20); // a smaller pipe only risks dropping library lines
    std::fflush(stdout);
    std::fflush(stderr);
    const int err_w = fcntl(p[1], F_DUPFD_CLOEXEC, 3);
    FILE* lib_err = err_w >= 0 ? fdopen(err_w, "w") : nullptr;
    if (!lib_err || dup2(p[1], STDOUT_FILENO) < 0) {
        const int e = errno;
        if (lib_err) std::fclose(lib_err);
        else if (err_w >= 0) close(err_w);
        close(p[0]);
        close(p[1]);
        throw std::runtime_error(std::string("cannot catch the library's output: ") + std::strerror(e));
    }
    close(p[1]);
    lib_rd_ = p[0];
    // Line by line, so puts() and log lines keep their order. glibc's stderr is a plain
    // variable: the log sink's fputs(stderr) lands here, while the tool's own diagnostics
    // and the sanitizers keep writing to descriptor 2.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    setvbuf(lib_err, nullptr, _IOLBF, 0);
    real_stderr_ = stderr;
    stderr = lib_err;
}

void Console::drain()
{
    if (lib_rd_ < 0) return;
    std::fflush(stdout);
    std::fflush(stderr);
    char buf[4096];
    for (;;) {
        ssize_t n = read(lib_rd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        partial_.append(buf, static_cast<size_t>(n));
    }
    size_t start = 0;
    for (size_t nl; (nl = partial_.find('\n', start)) != std::string::npos; start = nl + 1)
        if (verbosity_ != Verbosity::Quiet) *err_ << std::string_view(partial_).substr(start, nl + 1 - start);
    partial_.erase(0, start);
}

int Console::finish()
{
    drain();
    if (!partial_.empty()) {
        if (verbosity_ != Verbosity::Quiet) *err_ << partial_ << '\n';
        partial_.clear();
    }
    clear_progress();
    out_->flush();
    return out_buf_->error();
}

// ------------------------------------------------------------------ process-wide

Console* console() { return g_console; }
void set_console(Console* c) { g_console = c; }

void progress_line(const std::string& text)
{
    if (g_console) g_console->progress(text);
}

void drain_library_lines()
{
    if (g_console) g_console->drain();
}

Verbosity verbosity() { return g_console ? g_console->verbosity() : Verbosity::Normal; }

void install_stop_handlers()
{
    struct sigaction sa{};
    sa.sa_handler = on_stop;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: a blocking wait returns EINTR and sees the flag
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool stop_requested() { return g_stop != 0; }

} // namespace lusl::tool
