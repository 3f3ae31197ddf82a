/* SPDX-License-Identifier: BSD-2-Clause */
/* luSL API: side services (event channel, control and TR-369 connections, diagnostics).
 * Included by luSL/luSL.h; not meant to be included alone. */
#ifndef LUSL_API_SERVICES_H
#define LUSL_API_SERVICES_H

#include <sys/un.h>

#include "luSL/luSL.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------ event channel */

/* Bytes luSL_Evt_recv copies for event types 1 and 2. */
#define LUSL_EVT_TYPE1_SIZE 107
#define LUSL_EVT_TYPE2_SIZE 14

/* UDP socket of the event channel, stored by the calling process; 0 at load time. The
 * receiving process binds it to 127.0.0.1:LUSL_EVT_PORT (luSL_Socket_init(LUSL_EVT_PORT)). */
extern LUSL_API int evt_sock_fd;

/* Sends len bytes of block as one datagram on evt_sock_fd to 127.0.0.1:LUSL_EVT_PORT. */
LUSL_API void luSL_Evt_send(const uint8_t *block, int len);
/* Blocks for one datagram on evt_sock_fd. For event type 1 or 2 (bytes 0-1, low byte
 * first) copies 107 or 14 bytes to dest, zero-padded, and returns 0; otherwise -1 and dest
 * is left alone. dest must hold LUSL_EVT_TYPE1_SIZE bytes. */
LUSL_API int luSL_Evt_recv(uint8_t *dest);

/* ------------------------------------------------------------ control connection */

/* Connection to the mesh daemon's control endpoint, made by the calling process.
 * Allocate it with malloc or calloc: luSL_mesh_connection_close frees it. */
typedef struct mesh_ctrl_conn {
    int sock;                 /* connected UNIX stream socket; <= 0: not connected, < 0: none */
    struct sockaddr_un local; /* address the socket is bound to; its file is removed on close */
} mesh_ctrl_conn;

/* The current control connection, null at load time; only the caller writes it. */
extern LUSL_API struct mesh_ctrl_conn *luSL_ctrl_conn;

/* Opens nothing: always null. The caller builds its connection object itself. */
LUSL_API struct mesh_ctrl_conn *luSL_mesh_connection_open(void);
/* Removes the local socket file, closes the socket (if >= 0) and frees conn. Null is
 * ignored. luSL_ctrl_conn is not touched. */
LUSL_API void luSL_mesh_connection_close(struct mesh_ctrl_conn *conn);
/* Sends len bytes of request on luSL_ctrl_conn; no reply is read. 0 when sent (a partial
 * send counts), -1 otherwise. Not connected: a notice on standard output and -1. */
LUSL_API int luSL_mesh_ctrl_request(const char *request, int len);

/* ------------------------------------------------------------ TR-369 socket */

/* Descriptors of the caller's TR-369 sockets, -1 at load time; the library never uses them. */
extern LUSL_API int tr369_sock_fd;
extern LUSL_API int de_pre_notify_by_tr_sock_fd;

/* UNIX stream socket connected to "/tmp/.de_associate_event", or -1. The caller owns it. */
LUSL_API int luSL_TR369_Socket_init(void);

/* ------------------------------------------------------------ diagnostics */

/* 1 when the boot module's engineering debug flag is set, else 0. Runs "sys kelm" through
 * the shell and uses the temporary file /tmp/.dbg: calls must not overlap. */
LUSL_API int GetEngDbgFlag(void);
/* Logs len bytes of data as a hex dump, one log call per byte, 16 bytes to a row. */
LUSL_API void luSL_hexdump(const char *title, const uint8_t *data, uint32_t len);

#ifdef __cplusplus
}
#endif
#endif
