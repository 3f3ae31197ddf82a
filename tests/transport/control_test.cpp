// Control connection and TR-369 socket against real UNIX-domain peers.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "log_capture.h"
#include "luSL/luSL.h"

namespace lusl::test {
namespace {

constexpr char kNotice[] = "luSL not connect to mapd_ctrl yet, wait mesh daemon ready\n";
constexpr char kTr369Path[] = "/tmp/.de_associate_event";

LogLine line(int level, const std::string& text) { return {4, level, "", text}; }

sockaddr_un unix_addr(const std::string& path)
{
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    return a;
}

int listen_at(const std::string& path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un a = unix_addr(path);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool is_open(int fd) { return fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

bool exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// What arrives on fd within 1 s, up to 256 bytes; empty at EOF or timeout.
std::string read_some(int fd)
{
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0) return {};
    char buf[256];
    const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::set<int> open_fds()
{
    std::set<int> fds;
    DIR* d = opendir("/proc/self/fd");
    if (!d) return fds;
    while (const dirent* e = readdir(d))
        if (e->d_name[0] != '.') fds.insert(std::atoi(e->d_name));
    fds.erase(dirfd(d));
    closedir(d);
    return fds;
}

// A connected control connection: its socket bound to <dir>/local and connected to a
// listener at <dir>/mapd_ctrl, whose accepted end is `peer`.
struct ControlConnection : testing::Test {
    std::string dir;
    int listener = -1;
    int peer = -1;
    mesh_ctrl_conn* conn = nullptr;
    LogCapture log;

    void SetUp() override
    {
        char tmpl[] = "/tmp/lusl-ctrl-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        listener = listen_at(dir + "/mapd_ctrl");
        ASSERT_GE(listener, 0);
        conn = static_cast<mesh_ctrl_conn*>(std::calloc(1, sizeof *conn));
        conn->sock = socket(AF_UNIX, SOCK_STREAM, 0);
        conn->local = unix_addr(dir + "/local");
        const sockaddr_un to = unix_addr(dir + "/mapd_ctrl");
        ASSERT_EQ(bind(conn->sock, reinterpret_cast<const sockaddr*>(&conn->local), sizeof conn->local), 0);
        ASSERT_EQ(connect(conn->sock, reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
        peer = accept(listener, nullptr, nullptr);
        ASSERT_GE(peer, 0);
        luSL_ctrl_conn = conn;
    }
    void TearDown() override
    {
        luSL_ctrl_conn = nullptr;
        if (conn) {
            close(conn->sock);
            std::free(conn);
        }
        close(peer);
        close(listener);
        unlink((dir + "/local").c_str());
        unlink((dir + "/mapd_ctrl").c_str());
        rmdir(dir.c_str());
    }
};

TEST_F(ControlConnection, RequestIsLoggedAndSentAsGiven)
{
    EXPECT_EQ(luSL_mesh_ctrl_request("steer 02:00:00:00:00:01", 23), 0);
    EXPECT_EQ(read_some(peer), "steer 02:00:00:00:00:01");
    // The length decides what goes out, not the terminator.
    EXPECT_EQ(luSL_mesh_ctrl_request("status all", 6), 0);
    EXPECT_EQ(read_some(peer), "status");
    EXPECT_EQ(log.lines(), (std::vector<LogLine>{line(7, "steer 02:00:00:00:00:01\n"), line(7, "status all\n")}));
}

TEST_F(ControlConnection, NoConnectionPrintsTheNotice)
{
    struct {
        bool null_conn;
        int sock;
    } cases[] = {{true, 0}, {false, 0}, {false, -1}};
    const int real = conn->sock;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sock);
        log.clear();
        conn->sock = c.sock;
        luSL_ctrl_conn = c.null_conn ? nullptr : conn;
        testing::internal::CaptureStdout();
        const int rc = luSL_mesh_ctrl_request("ping", 4);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), kNotice);
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(log.lines(), std::vector<LogLine>{line(7, "ping\n")});
    }
    conn->sock = real;
    EXPECT_EQ(read_some(peer), "");
}

TEST_F(ControlConnection, SendErrorIsLogged)
{
    // A negative length is refused before the socket is touched.
    EXPECT_EQ(luSL_mesh_ctrl_request("ping", -1), -1);
    EXPECT_EQ(read_some(peer), "");
    // An unconnected stream socket cannot send.
    const int real = conn->sock;
    conn->sock = socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_EQ(luSL_mesh_ctrl_request("ping", 4), -1);
    close(conn->sock);
    conn->sock = real;
    EXPECT_EQ(log.lines(), (std::vector<LogLine>{line(7, "ping\n"),
                                                 line(3, "send [ping] err(" + std::to_string(EINVAL) + ")\n"),
                                                 line(7, "ping\n"),
                                                 line(3, "send [ping] err(" + std::to_string(ENOTCONN) + ")\n")}));
}

TEST_F(ControlConnection, CloseRemovesTheSocketFileAndClosesTheSocket)
{
    const int sock = conn->sock;
    ASSERT_TRUE(exists(dir + "/local"));
    luSL_mesh_connection_close(conn);
    EXPECT_FALSE(exists(dir + "/local"));
    EXPECT_FALSE(is_open(sock));
    EXPECT_EQ(read_some(peer), ""); // EOF at the daemon's end
    EXPECT_EQ(luSL_ctrl_conn, conn); // the caller clears it
    conn = nullptr;                  // freed by the library (LeakSanitizer sees otherwise)
    luSL_mesh_connection_close(nullptr);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(ControlConnection, CloseWithoutSocketOnlyRemovesTheFile)
{
    auto* other = static_cast<mesh_ctrl_conn*>(std::calloc(1, sizeof(mesh_ctrl_conn)));
    other->sock = -1;
    other->local = unix_addr(dir + "/stale");
    std::fclose(std::fopen((dir + "/stale").c_str(), "w"));
    luSL_mesh_connection_close(other);
    EXPECT_FALSE(exists(dir + "/stale"));
    EXPECT_TRUE(is_open(conn->sock));
    // A path filling all of sun_path has no terminator: nothing is read past it.
    other = static_cast<mesh_ctrl_conn*>(std::malloc(sizeof(mesh_ctrl_conn)));
    other->sock = -1;
    other->local.sun_family = AF_UNIX;
    std::memset(other->local.sun_path, 'x', sizeof other->local.sun_path);
    luSL_mesh_connection_close(other);
}

TEST(ControlConnectionZero, CloseClosesDescriptorZero)
{
    const int saved = dup(0);
    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(dup2(s, 0), 0);
    close(s);
    auto* conn = static_cast<mesh_ctrl_conn*>(std::calloc(1, sizeof(mesh_ctrl_conn)));
    luSL_mesh_connection_close(conn);
    const bool closed = !is_open(0);
    dup2(saved, 0);
    close(saved);
    EXPECT_TRUE(closed);
}

// The TR-369 endpoint has a fixed path: one test process at a time owns it.
struct Tr369Socket : testing::Test {
    int lock = -1;
    LogCapture log;

    void SetUp() override
    {
        lock = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        const char name[] = "lusl-test-tr369";
        std::memcpy(a.sun_path + 1, name, sizeof name - 1);
        const auto len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + sizeof name);
        int tries = 0;
        while (bind(lock, reinterpret_cast<sockaddr*>(&a), len) != 0 && ++tries < 1500)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_LT(tries, 1500) << "another test kept " << kTr369Path << " for 30 s";
        if (exists(kTr369Path)) GTEST_SKIP() << kTr369Path << " already exists on this machine";
    }
    void TearDown() override
    {
        if (lock >= 0) close(lock);
    }
};

TEST_F(Tr369Socket, ConnectsToTheListeningAgent)
{
    const int listener = listen_at(kTr369Path);
    ASSERT_GE(listener, 0);
    const int fd = luSL_TR369_Socket_init();
    ASSERT_GE(fd, 0);
    const int agent = accept(listener, nullptr, nullptr);
    ASSERT_GE(agent, 0);
    ASSERT_EQ(::send(fd, "hi", 2, 0), 2);
    EXPECT_EQ(read_some(agent), "hi");
    // The library keeps no copy of the descriptor.
    EXPECT_EQ(tr369_sock_fd, -1);
    EXPECT_EQ(de_pre_notify_by_tr_sock_fd, -1);
    EXPECT_TRUE(log.lines().empty());
    close(fd);
    close(agent);
    close(listener);
    unlink(kTr369Path);
}

TEST_F(Tr369Socket, FailsCleanlyWithoutAgent)
{
    const std::vector<LogLine> fail{line(3, "TR369 socket connect fail.\n")};
    // No file at all.
    std::set<int> before = open_fds();
    EXPECT_EQ(luSL_TR369_Socket_init(), -1);
    EXPECT_EQ(open_fds(), before);
    EXPECT_EQ(log.lines(), fail);

    // A stale socket file that nobody listens on.
    const int dead = socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un a = unix_addr(kTr369Path);
    ASSERT_EQ(bind(dead, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    close(dead);
    log.clear();
    before = open_fds();
    EXPECT_EQ(luSL_TR369_Socket_init(), -1);
    EXPECT_EQ(open_fds(), before);
    EXPECT_EQ(log.lines(), fail);
    unlink(kTr369Path);
}

TEST(Tr369SocketLimits, CreateFailureIsLogged)
{
    LogCapture log;
    // Allow no further descriptor: socket() fails with EMFILE.
    rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    const int lowest_free = dup(0);
    ASSERT_GE(lowest_free, 0);
    close(lowest_free);
    rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(lowest_free);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    const int fd = luSL_TR369_Socket_init();
    setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(fd, -1);
    EXPECT_EQ(log.lines(), std::vector<LogLine>{line(3, "Unable to create TR369 socket.\n")});
}

} // namespace
} // namespace lusl::test
