/* SPDX-License-Identifier: BSD-2-Clause */
// A UDP receiver on 127.0.0.1 at an ephemeral port, and the parse-and-receive road.
#pragma once

#include <cstdint>
#include <optional>

#include "tlv_builder.h"

namespace lusl::test {

class Receiver {
public:
    Receiver();
    ~Receiver();
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    uint16_t port() const { return port_; }
    int fd() const { return fd_; }
    // Next datagram, or nothing within timeout_ms.
    std::optional<Bytes> recv(int timeout_ms = 2000);
    // True when no datagram is waiting right now.
    bool empty();

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// A UDP socket on 127.0.0.1 at an ephemeral port no other socket shares. Not one bound with
// SO_REUSEADDR at port 0, as luSL_Socket_init(0) binds: the kernel may give such a socket a
// port that other such sockets share, another test process's listener among them, which then
// loses its datagrams to it.
int exclusive_socket();
// Opens msg_sock_fd for the library on first use, with exclusive_socket().
void ensure_msg_socket();

// Parses type with luSL_Msg_parser_n and returns the datagram that arrived, if any.
std::optional<Bytes> parse_n(Receiver& rx, uint16_t type, const Bytes& tlvs, const Bytes& src_mac = Bytes(6, 0));
// Same through the documented luSL_Msg_parser (the stream must end with a type-0 TLV).
std::optional<Bytes> parse(Receiver& rx, uint16_t type, const Bytes& tlvs, const Bytes& src_mac = Bytes(6, 0));

// True when every record slot and side buffer of the library is null.
bool all_slots_null();

} // namespace lusl::test
