// SPDX-License-Identifier: BSD-2-Clause
// Allocations that fail: a compact encoder's buffer (the zero-length datagram that goes out
// is not a record, and luSL_Msg_parser_n must say so) and a channel scan neighbour node.
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
// Armed: the fail_in-th allocation of exactly this many bytes from now fails.
size_t fail_size = 0;
unsigned fail_in = 1;
} // namespace

extern "C" void* __libc_malloc(size_t n);
extern "C" void* malloc(size_t n)
{
    if (fail_size && n == fail_size && --fail_in == 0) {
        fail_size = 0;
        fail_in = 1;
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

// The second of three neighbour nodes cannot be allocated: the result is refused, and the
// first node stays linked under the count the TLV announced, to be sent and released with
// the record.
TEST(AllocationFailure, NeighbourNodeRefusesItsResultAndKeepsTheNodesBefore)
{
#if !LUSL_OWN_MALLOC
    GTEST_SKIP() << "allocation failures are injected only without AddressSanitizer";
#else
    if (!interposer_in_effect()) GTEST_SKIP() << "another allocator replaces malloc here";
    LogCapture log;
    pChScanRpt = static_cast<ChScanRpt*>(calloc(1, sizeof(ChScanRpt)));
    pChScanRpt->hdr = {0x1C, 0x80};
    const Bytes nbr = cat({mac("02:bb:00:00:00:01"), u8(1), text("a"), u8(7), u8(0), u8(0)});
    const Bytes value = cat({mac("02:00:00:00:aa:01"), raw({1, 36, 0}), u8(0), u8(5), u8(6), be16(3), nbr, nbr, nbr,
                             be32(9), u8(0)});
    fail_size = sizeof(ChScanNbrBss);
    fail_in = 2;
    EXPECT_EQ(tlv_ChScanResult_extract(value.data(), reinterpret_cast<uint8_t*>(pChScanRpt)), -1);
    EXPECT_EQ(fail_size, 0u) << "no second node was requested";
    EXPECT_TRUE(log.contains(8, 3, "[TLV] Ch Scan result: Allocate memory fail\n"));
    EXPECT_EQ(pChScanRpt->radio[0].ch[0].nbr_num, 3);
    const int n = luSL_ChScanRptSendV2(nullptr);
    ASSERT_EQ(n, 3 + 77 + 72 + 14);
    EXPECT_EQ(Bytes(pChScanRptSendBuf + 150, pChScanRptSendBuf + n), cat({raw({1, 0}), nbr, zeros(3)}));
    luSL_Msg_free(0x801C);
    EXPECT_TRUE(all_slots_null());
#endif
}

} // namespace
} // namespace lusl::test
