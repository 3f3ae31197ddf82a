/* SPDX-License-Identifier: BSD-2-Clause */
// The tool's end of the message channel: a receiving socket on 127.0.0.1 and the socket the
// library sends from. Every record the tool prints travels this road, decode included.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "capture.h"

namespace lusl::tool {

struct Received {
    Bytes data;          // as luSL_Msg_recv_n copied it: the record, or the raw datagram when it copied nothing
    size_t wire_len = 0; // bytes of the datagram
    bool copied = true;  // false when luSL_Msg_recv_n refused the datagram (unknown type, empty)
    Bytes wire;          // the datagram as it arrived
};

// The port is held by another socket.
class PortInUse : public InputError {
public:
    explicit PortInUse(uint16_t port);
    uint16_t port;
};

// A UDP socket on 127.0.0.1:port, bound only when no other socket holds the port (the test
// that keeps the tool from stealing a listener's records), then shared: a steering process
// started later can still open the port and, bound last, gets the records from then on. A
// watching tool never keeps the real receiver from starting. Throws InputError (PortInUse).
int bind_exclusive(uint16_t port);

class Loopback {
public:
    // Port 0: a private, ephemeral port. Any other port is bound only when no other socket
    // holds it, so no listener loses its records to the tool; take binds it even then, as
    // luSL_Socket_init does (the earlier listener then receives nothing). Throws InputError.
    explicit Loopback(uint16_t port, bool take = false);
    ~Loopback();
    Loopback(const Loopback&) = delete;
    Loopback& operator=(const Loopback&) = delete;

    uint16_t port() const { return port_; }
    // Next datagram through luSL_Msg_recv_n; nothing when none came within timeout_ms (-1
    // waits) or a signal interrupted the wait.
    std::optional<Received> receive(int timeout_ms);
    // Sends bytes to this socket's own port, to receive them as any datagram.
    void inject(const uint8_t* p, size_t n);
    // Asks for a receive buffer of this many bytes (as far as the system allows).
    void grow_buffer(int bytes);
    // Datagrams the system dropped because the receive buffer was full.
    uint64_t dropped() const;

private:
    int fd_ = -1;
    uint16_t port_ = 0;
    uint64_t dropped_ = 0;
    std::unique_ptr<uint8_t[]> peek_, rec_; // SOCKET_MAX_LENGTH bytes each, once something arrived
};

// Opens the socket the library sends from (msg_sock_fd) once per process. Throws InputError.
void open_send_socket();

} // namespace lusl::tool
