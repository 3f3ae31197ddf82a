/* SPDX-License-Identifier: BSD-2-Clause */
// The tool's end of the message channel: a receiving socket on 127.0.0.1 and the socket the
// library sends from. Every record the tool prints travels this road, decode included.
#pragma once

#include <cstdint>
#include <optional>

#include "capture.h"

namespace lusl::tool {

struct Received {
    Bytes data;          // as luSL_Msg_recv left it: the record, or the raw datagram when it copied nothing
    size_t wire_len = 0; // bytes of the datagram
    bool copied = true;  // false when luSL_Msg_recv refused the datagram (unknown type, empty)
};

class Loopback {
public:
    // Binds 127.0.0.1:port for receiving; port 0 picks a free one. Throws InputError.
    explicit Loopback(uint16_t port);
    ~Loopback();
    Loopback(const Loopback&) = delete;
    Loopback& operator=(const Loopback&) = delete;

    uint16_t port() const { return port_; }
    // Next datagram through luSL_Msg_recv; nothing when none came within timeout_ms (-1 waits).
    std::optional<Received> receive(int timeout_ms);

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// Opens the socket the library sends from (msg_sock_fd) once per process. Throws InputError.
void open_send_socket();

} // namespace lusl::tool
