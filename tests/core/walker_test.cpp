// SPDX-License-Identifier: BSD-2-Clause
// The TLV walker: framing, unknown types, the zero-length rule, bounds of the stream.
#include <gtest/gtest.h>

#include <cstring>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

const Bytes kSta = mac("02:11:22:33:44:55");
const Bytes kBss = mac("02:aa:bb:cc:dd:01");

Bytes assoc_event(uint8_t event) { return tlv(0x92, {kSta, kBss, u8(event)}); }

struct Walk : testing::Test {
    LogCapture log;
    uint8_t record[15] = {};
    int run(uint16_t type, const Bytes& s) { return process_tlv(type, s.data(), record, nullptr); }
};

TEST_F(Walk, EmptyStreamWalksNothing)
{
    EXPECT_EQ(run(0x0001, {0}), 0);
    EXPECT_EQ(Bytes(record, record + 15), zeros(15));
    ASSERT_EQ(log.texts().size(), 1u);
    EXPECT_EQ(log.lines()[0], (LogLine{4, 7, "", "[MSG] Process tlv of Topology Notification(0x0001)\n"}));
}

TEST_F(Walk, UnknownTypesAreLoggedAndSkippedByTheirLength)
{
    // 0x02 below the table, 0xD5 and 0xFF above it, 0x04 inside the range without a row;
    // a length of 0x0100 skips 256 bytes.
    Bytes s = stream({tlv(0x02, zeros(3)), tlv(0xD5, zeros(256)), tlv(0x04, {u8(1)}), tlv(0xFF, {u8(1)}),
                      assoc_event(0x80)});
    EXPECT_EQ(run(0x0001, s), 0);
    EXPECT_EQ(record[14], 1);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] Unknown TLV type=0x02\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] Unknown TLV type=0xD5\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] Unknown TLV type=0x04\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] Unknown TLV type=0xFF\n"));
}

TEST_F(Walk, TlvOfAnotherMessageIsPassedOverSilently)
{
    // A Client Association Event inside a Failed Connection message.
    uint8_t fc[18] = {};
    Bytes s = stream({assoc_event(0x80)});
    EXPECT_EQ(process_tlv(0x8033, s.data(), fc, nullptr), 0);
    EXPECT_EQ(Bytes(fc, fc + 18), zeros(18));
    EXPECT_EQ(log.texts().size(), 1u);
}

// A message type no row names (0x0000 is none): a TLV without a row is still logged as
// unknown, one with rows (a counted kind among them) is passed over, nothing is extracted.
TEST_F(Walk, MessageTypeOfNoRowExtractsNothing)
{
    Bytes s = stream({tlv(0x04, {u8(1)}), tlv(0x94, zeros(10)), tlv(0xC6, zeros(10)), assoc_event(0x80)});
    EXPECT_EQ(run(0x0000, s), 0);
    EXPECT_EQ(Bytes(record, record + 15), zeros(15));
    ASSERT_EQ(log.texts().size(), 2u);
    EXPECT_EQ(log.lines()[1], (LogLine{8, 7, "", "[TLV] Unknown TLV type=0x04\n"}));
}

TEST_F(Walk, ZeroLengthAfterTheFirstStopsTheWalk)
{
    Bytes s = stream({assoc_event(0x80), tlv(0x04, Bytes{}), assoc_event(0x00)});
    EXPECT_EQ(run(0x0001, s), -1);
    EXPECT_EQ(record[14], 1); // the third TLV was never reached
    EXPECT_TRUE(log.contains(8, 4, "[TLV] ptlv_header->length is zero, STOP parsing!!\n"));
}

TEST_F(Walk, ZeroLengthFirstTlvIsDispatchedAndTheWalkGoesOn)
{
    Bytes s = stream({tlv(0x04, Bytes{}), assoc_event(0x80)});
    EXPECT_EQ(run(0x0001, s), 0);
    EXPECT_EQ(record[14], 1);
}

TEST_F(Walk, FailureIsOredAndLaterTlvsAreStillExtracted)
{
    uint8_t asn[73] = {};
    Bytes s = stream({tlv(0xBF, {u8(11)}), tlv(0xBF, {u8(1), kBss, u8(1)})});
    EXPECT_EQ(process_tlv(0x8025, s.data(), asn, nullptr), -1);
    EXPECT_EQ(asn[2], 1); // the second TLV was extracted
    // A later zero-length TLV still gives -1.
    Bytes z = stream({tlv(0xBF, {u8(11)}), tlv(0xBF, Bytes{})});
    EXPECT_EQ(process_tlv(0x8025, z.data(), asn, nullptr), -1);
}

TEST_F(Walk, ApMetricsWalkAllocatesTheScratchTableEvenForAnEmptyStream)
{
    static uint8_t rec[49124];
    EXPECT_EQ(process_tlv(0x800C, Bytes{0}.data(), rec, nullptr), 0);
    EXPECT_NE(pAssocStaLinkMetricBuffer, nullptr);
    luSL_Msg_free(0x800C);
    EXPECT_EQ(pAssocStaLinkMetricBuffer, nullptr);
}

// luSL_Msg_parser_n knows the stream's length: it never reads past it.
struct BoundedWalk : testing::Test {
    LogCapture log;
    Receiver rx;
};

TEST_F(BoundedWalk, StreamWithoutEndTlvEndsAtItsLength)
{
    Bytes s = assoc_event(0x80);
    auto got = parse_n(rx, 0x0001, s);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->size(), 15u);
    EXPECT_EQ((*got)[14], 1);
}

TEST_F(BoundedWalk, TlvCrossingTheEndIsRefusedAtEveryCut)
{
    const Bytes full = assoc_event(0x80);
    for (size_t cut = 1; cut < full.size(); ++cut) {
        SCOPED_TRACE(cut);
        Bytes s(full.begin(), full.begin() + static_cast<long>(cut));
        // Copy to an exact-size heap block so ASan sees any read past it.
        auto* heap = new uint8_t[cut];
        std::memcpy(heap, s.data(), cut);
        ensure_msg_socket();
        EXPECT_EQ(luSL_Msg_parser_n(0x0001, heap, cut, rx.port(), kSta.data()), -1);
        delete[] heap;
        EXPECT_FALSE(log.at_most(3).empty());
        EXPECT_TRUE(rx.empty());
        EXPECT_TRUE(all_slots_null());
        log.clear();
    }
}

TEST_F(BoundedWalk, TrailingPartialHeaderIsRefused)
{
    Bytes s = cat({assoc_event(0x80), raw({0x92, 0x00})});
    EXPECT_FALSE(parse_n(rx, 0x0001, s));
    EXPECT_TRUE(log.contains(8, 3, "[TLV] TLV type=0x92 header runs past the end of the stream\n"));
}

TEST_F(BoundedWalk, NullStreamIsAnEmptyMessage)
{
    ensure_msg_socket();
    EXPECT_EQ(luSL_Msg_parser_n(0x0001, nullptr, 0, rx.port(), kSta.data()), 0);
    auto got = rx.recv();
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, cat({raw({0x01, 0x00}), zeros(13)}));
}

} // namespace
} // namespace lusl::test
