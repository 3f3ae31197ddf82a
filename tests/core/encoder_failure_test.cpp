// SPDX-License-Identifier: BSD-2-Clause
// When a compact encoder cannot allocate its buffer, the zero-length datagram that goes out
// is not a record: luSL_Msg_parser_n must say so.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

#if defined(__SANITIZE_ADDRESS__)
#define LUSL_OWN_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUSL_OWN_MALLOC 0
#endif
#endif
#ifndef LUSL_OWN_MALLOC
#define LUSL_OWN_MALLOC 1
#endif

#if LUSL_OWN_MALLOC
namespace {
// Armed: the next allocation of exactly this many bytes fails.
size_t fail_size = 0;
} // namespace

extern "C" void* __libc_malloc(size_t n);
extern "C" void* malloc(size_t n)
{
    if (fail_size && n == fail_size) {
        fail_size = 0;
        return nullptr;
    }
    return __libc_malloc(n);
}

// Under valgrind (or any allocator preload) this malloc is not the one the library calls.
static bool interposer_in_effect()
{
    void* (*volatile call)(size_t) = malloc; // not inlined: the call goes where the library's go
    fail_size = 12345;
    void* p = call(12345);
    const bool ours = (p == nullptr);
    free(p);
    fail_size = 0;
    return ours;
}
#endif

namespace lusl::test {
namespace {

// An encoder that refuses its record (eleven BSSs) sends a zero-length datagram.
TEST(EncoderFailure, RefusedCompactFormIsNotReportedSent)
{
    LogCapture log;
    Receiver rx;
    ensure_msg_socket();
    Bytes s;
    for (unsigned b = 0; b < 11; ++b) s = cat({s, tlv(0x94, {mac("02:aa:00:00:00:01"), u8(0), be16(0), u8(0)})});
    EXPECT_EQ(luSL_Msg_parser_n(0x800C, s.data(), s.size(), rx.port(), nullptr), -1);
    auto got = rx.recv();
    ASSERT_TRUE(got);
    EXPECT_TRUE(got->empty());
    EXPECT_TRUE(log.contains(4, 3, "[MSG] ApMetrcsResp: ERROR!!!: bss counts is bigger than MAX_BSS_PER_DEVICE:11\n"));
    EXPECT_TRUE(all_slots_null());
}

TEST(EncoderFailure, ParserReportsTheZeroLengthDatagramAsNotSent)
{
#if !LUSL_OWN_MALLOC
    GTEST_SKIP() << "allocation failures are injected only without AddressSanitizer";
#else
    if (!interposer_in_effect()) GTEST_SKIP() << "another allocator replaces malloc here";
    LogCapture log;
    Receiver rx;
    ensure_msg_socket();
    for (uint16_t type : {uint16_t{0x800C}, uint16_t{0x801C}}) {
        log.clear();
        fail_size = SOCKET_MAX_LENGTH;
        EXPECT_EQ(luSL_Msg_parser_n(type, nullptr, 0, rx.port(), nullptr), -1) << std::hex << type;
        EXPECT_EQ(fail_size, 0u) << "the encoder's buffer was never requested";
        EXPECT_TRUE(log.contains(4, 3, "malloc fail.\n"));
        auto got = rx.recv();
        ASSERT_TRUE(got);
        EXPECT_TRUE(got->empty());
        EXPECT_TRUE(all_slots_null());

        // Without the failure the same message goes out and is reported sent.
        EXPECT_EQ(luSL_Msg_parser_n(type, nullptr, 0, rx.port(), nullptr), 0);
        got = rx.recv();
        ASSERT_TRUE(got);
        EXPECT_GT(got->size(), 2u);
    }
#endif
}

} // namespace
} // namespace lusl::test
