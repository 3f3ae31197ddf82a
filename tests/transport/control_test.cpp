// SPDX-License-Identifier: BSD-2-Clause
// Control connection and TR-369 socket against real UNIX-domain peers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "log_capture.h"
#include "luSL/luSL.h"

namespace lusl::test {
namespace {

struct Closer {
    int fd;
    ~Closer() { close(fd); }
};
LogLine line(int level, const std::string& text) { return {4, level, "", text}; }
int lowest_free_fd() { const int fd = dup(2); return close(fd), fd; }

// A connection object as the calling process makes it, on the heap, with a file at path.
mesh_ctrl_conn* make_conn(int sock, const std::string& path)
{
    auto* c = static_cast<mesh_ctrl_conn*>(std::calloc(1, sizeof(mesh_ctrl_conn)));
    c->sock = sock;
    std::strncpy(c->local.sun_path, path.c_str(), sizeof c->local.sun_path - 1);
    std::fclose(std::fopen(path.c_str(), "w"));
    return c;
}

// The connection's socket is one end of a UNIX stream pair, the daemon's end the other.
TEST(ControlConnection, RequestsGoOutUntilTheConnectionIsClosed)
{
    LogCapture log;
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    const std::string file = "/tmp/lusl-ctrl-" + std::to_string(getpid());
    mesh_ctrl_conn* const conn = luSL_ctrl_conn = make_conn(ends[0], file);
    EXPECT_EQ(luSL_mesh_ctrl_request("ping", -1), -1); // refused before the socket is touched
    EXPECT_EQ(luSL_mesh_ctrl_request("steer 02:00:00:00:00:01", 23), 0);
    EXPECT_EQ(luSL_mesh_ctrl_request("status all", 6), 0); // the length decides, not the terminator
    char got[64] = {};
    recv(ends[1], got, sizeof got - 1, MSG_DONTWAIT);
    EXPECT_STREQ(got, "steer 02:00:00:00:00:01status");
    // Not connected (no object, socket 0, socket -1): a notice on standard output, not the log.
    const std::pair<mesh_ctrl_conn*, int> unconnected[] = {{nullptr, ends[0]}, {conn, 0}, {conn, -1}};
    for (const auto& [c, sock] : unconnected) {
        luSL_ctrl_conn = c;
        conn->sock = sock;
        testing::internal::CaptureStdout();
        EXPECT_EQ(luSL_mesh_ctrl_request("ping", 4), -1) << sock;
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "luSL not connect to mapd_ctrl yet, wait mesh daemon ready\n");
    }
    close(ends[0]);
    conn->sock = socket(AF_UNIX, SOCK_STREAM, 0); // never connected: the send fails
    EXPECT_EQ(luSL_mesh_ctrl_request("ping", 4), -1);
    luSL_mesh_connection_close(nullptr);
    // Descriptor 0 is a socket to close too.
    const int saved = dup(0);
    ASSERT_EQ(dup2(conn->sock, 0), 0);
    close(conn->sock);
    conn->sock = 0;
    luSL_mesh_connection_close(conn); // frees it: LeakSanitizer would tell otherwise
    EXPECT_EQ(fcntl(0, F_GETFD), -1);
    dup2(saved, 0);
    close(saved);
    EXPECT_NE(access(file.c_str(), F_OK), 0);
    EXPECT_EQ(luSL_ctrl_conn, conn); // the caller clears it
    luSL_ctrl_conn = nullptr;
    // Socket -1 is none to close, but the file goes all the same.
    luSL_mesh_connection_close(make_conn(-1, file));
    EXPECT_NE(access(file.c_str(), F_OK), 0);
    // A path filling all of sun_path has no terminator: nothing is read past it.
    auto* full = static_cast<mesh_ctrl_conn*>(std::malloc(sizeof(mesh_ctrl_conn)));
    full->sock = -1;
    std::memset(full->local.sun_path, 'x', sizeof full->local.sun_path);
    luSL_mesh_connection_close(full);
    close(ends[1]);
    const LogLine ping = line(7, "ping\n"); // and nothing from closing
    EXPECT_EQ(log.lines(),
              (std::vector<LogLine>{ping, line(3, "send [ping] err(" + std::to_string(EINVAL) + ")\n"),
                                    line(7, "steer 02:00:00:00:00:01\n"), line(7, "status all\n"), ping, ping, ping,
                                    ping, line(3, "send [ping] err(" + std::to_string(ENOTCONN) + ")\n")}));
}

TEST(Tr369Socket, ConnectsToAListeningAgentOnlyAndLeavesNoDescriptorBehind)
{
    // The endpoint path is fixed: test processes running side by side take turns on an
    // abstract UNIX socket name, which the kernel releases when the holder exits.
    const Closer lock{socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)};
    const sockaddr_un turn{AF_UNIX, "\0lusl-test-tr369"}, at{AF_UNIX, "/tmp/.de_associate_event"};
    for (int i = 0; bind(lock.fd, reinterpret_cast<const sockaddr*>(&turn), sizeof(sa_family_t) + 16); usleep(20000))
        ASSERT_LT(++i, 1500) << "another test kept " << at.sun_path << " for 30 s";
    if (faccessat(AT_FDCWD, at.sun_path, F_OK, AT_SYMLINK_NOFOLLOW) == 0)
        GTEST_SKIP() << at.sun_path << " already exists on this machine";
    LogCapture log;
    // No descriptor to spare: the socket cannot be created.
    rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    const rlimit tight{static_cast<rlim_t>(lowest_free_fd()), old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    EXPECT_EQ(luSL_TR369_Socket_init(), -1);
    setrlimit(RLIMIT_NOFILE, &old);

    const int agent = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_FALSE(bind(agent, reinterpret_cast<const sockaddr*>(&at), sizeof at) || listen(agent, 1));
    const int fd = luSL_TR369_Socket_init();
    const int accepted = accept(agent, nullptr, nullptr);
    EXPECT_GE(fd, 0);
    EXPECT_GE(accepted, 0);
    // The library keeps no copy of the descriptor.
    EXPECT_EQ(tr369_sock_fd, -1);
    EXPECT_EQ(de_pre_notify_by_tr_sock_fd, -1);
    for (const int d : {fd, accepted, agent}) close(d);
    // The socket file stays behind with nobody listening; then no file at all.
    const int free_fd = lowest_free_fd();
    EXPECT_EQ(luSL_TR369_Socket_init(), -1);
    unlink(at.sun_path);
    EXPECT_EQ(luSL_TR369_Socket_init(), -1);
    EXPECT_EQ(lowest_free_fd(), free_fd);
    const LogLine fail = line(3, "TR369 socket connect fail.\n");
    EXPECT_EQ(log.lines(), (std::vector<LogLine>{line(3, "Unable to create TR369 socket.\n"), fail, fail}));
}

} // namespace
} // namespace lusl::test
