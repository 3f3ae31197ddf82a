// SPDX-License-Identifier: BSD-2-Clause
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "luSL/luSL.h"

extern "C" {
LUSL_API mesh_ctrl_conn* luSL_ctrl_conn = nullptr;
LUSL_API int tr369_sock_fd = -1;
LUSL_API int de_pre_notify_by_tr_sock_fd = -1;
}

namespace {
constexpr char kTr369Path[] = "/tmp/.de_associate_event";
}

extern "C" {

LUSL_API mesh_ctrl_conn* luSL_mesh_connection_open(void)
{
    return nullptr;
}

LUSL_API void luSL_mesh_connection_close(mesh_ctrl_conn* conn)
{
    if (!conn) return;
    // The caller may have filled all of sun_path: terminate a copy rather than trust it.
    char path[sizeof conn->local.sun_path + 1];
    std::memcpy(path, conn->local.sun_path, sizeof conn->local.sun_path);
    path[sizeof path - 1] = '\0';
    unlink(path);
    if (conn->sock >= 0) close(conn->sock);
    std::free(conn);
}

LUSL_API int luSL_mesh_ctrl_request(const char* request, int len)
{
    using namespace lusl;
    errno = 0;
    const char* shown = request ? request : "(null)";
    LUSL_LOG(kModMsg, kDebug, "%s\n", shown);
    const mesh_ctrl_conn* conn = luSL_ctrl_conn;
    if (!conn || conn->sock <= 0) {
        std::puts("luSL not connect to mapd_ctrl yet, wait mesh daemon ready");
        return -1;
    }
    // A negative length would hand the kernel a size far past the request: refuse it.
    if (len >= 0) {
        if (send(conn->sock, request, static_cast<size_t>(len), 0) >= 0) return 0;
    } else {
        errno = EINVAL;
    }
    LUSL_LOG(kModMsg, kErr, "send [%s] err(%d)\n", shown, errno);
    return -1;
}

LUSL_API int luSL_TR369_Socket_init(void)
{
    using namespace lusl;
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd == -1) {
        LUSL_LOG(kModMsg, kErr, "Unable to create TR369 socket.\n");
        return -1;
    }
    sockaddr_un addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, kTr369Path, sizeof addr.sun_path - 1);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == -1) {
        LUSL_LOG(kModMsg, kErr, "TR369 socket connect fail.\n");
        close(fd);
        return -1;
    }
    return fd;
}

} // extern "C"
