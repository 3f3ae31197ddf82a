// Operating Channel Report: radios by walker ordinal, pairs ordered by operating class.
#include <gtest/gtest.h>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

const Bytes kSrc = mac("02:5e:00:00:00:08");
const Bytes kRadioA = mac("02:00:00:00:02:0a");
const Bytes kRadioB = mac("02:00:00:00:02:0b");
const Bytes kHead = raw({0x08, 0x80});
const char* const kThird = "[TLV] OperChanRpt: Exceed maximum radio number per device\n";

struct OperatingChannel : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
};

// Three reports in one message get ordinals 0, 1 and 2; the third has no entry and is dropped.
// Radio Metrics TLVs count on the same ordinal although this message does not read them.
TEST_F(OperatingChannel, WalkerOrdinalPicksTheRadio)
{
    const Bytes a = tlv(0x8F, {kRadioA, u8(3), raw({128, 36, 81, 6, 115, 44}), u8(20)});
    const Bytes b = tlv(0x8F, {kRadioB, u8(3), raw({115, 40, 81, 1, 115, 36}), u8(0x11)});
    auto got = parse_n(rx, 0x8008, stream({a, b, tlv(0x8F, {kRadioA, raw({1, 81, 11, 30})})}), kSrc);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, cat({kHead, kSrc, u8(2), kRadioA, u8(3), raw({81, 6, 115, 44, 128, 36}), zeros(10), u8(20),
                         kRadioB, u8(3), raw({81, 1, 115, 40, 115, 36}), zeros(10), u8(0x11)}));
    for (const char* line : {"[TLV] OperChanRpt: radio 02:00:00:00:02:0A, opclassNum=3\n",
                             "[TLV] [2] opclass=128, curchan=36\n", "[TLV] [1] opclass=115, curchan=40\n"})
        EXPECT_TRUE(log.contains(8, 7, line)) << line;
    ASSERT_EQ(log.at_most(3).size(), 1u);
    EXPECT_TRUE(log.contains(8, 3, kThird));

    const Bytes rm = tlv(0xC6, {kRadioB, zeros(4)});
    const Bytes one = tlv(0x8F, {kRadioA, u8(1), raw({81, 6}), u8(20)});
    auto second = parse_n(rx, 0x8008, stream({rm, one}), kSrc);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, cat({kHead, kSrc, u8(2), zeros(24), kRadioA, raw({1, 81, 6}), zeros(14), u8(20)}));
    log.clear();
    auto third = parse_n(rx, 0x8008, stream({rm, rm, one}), kSrc);
    ASSERT_TRUE(third);
    EXPECT_EQ(*third, cat({kHead, zeros(55)}));
    EXPECT_TRUE(log.contains(8, 3, kThird));
}

TEST_F(OperatingChannel, MoreThanEightClassesKeepsTheEightSmallest)
{
    Bytes pairs, kept;
    for (unsigned oc = 90; oc >= 81; --oc) pairs = cat({pairs, raw({oc, oc - 80})});
    for (unsigned oc = 81; oc <= 88; ++oc) kept = cat({kept, raw({oc, oc - 80})});
    auto got = parse_n(rx, 0x8008, stream({tlv(0x8F, {kRadioA, u8(10), pairs, u8(0x7F)})}), kSrc);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, cat({kHead, kSrc, u8(1), kRadioA, u8(8), kept, u8(0x7F), zeros(24)}));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] OperChanRpt: radio 02:00:00:00:02:0A, opclassNum=10\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] [7] opclass=88, curchan=8\n"));
    EXPECT_FALSE(log.contains(8, 7, "[TLV] [8] opclass=89, curchan=9\n"));
    ASSERT_EQ(log.at_most(3).size(), 1u);
    EXPECT_TRUE(log.contains(8, 3, "[TLV] OperChanRpt: Too many reports\n"));

    // No class at all: the power sits right behind the count, and no pair is logged.
    log.clear();
    auto none = parse_n(rx, 0x8008, stream({tlv(0x8F, {kRadioB, u8(0), u8(0x05)})}), kSrc);
    ASSERT_TRUE(none);
    EXPECT_EQ(slice(*none, 8, 25), cat({u8(1), kRadioB, u8(0), zeros(16), u8(0x05)}));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] OperChanRpt: radio 02:00:00:00:02:0B, opclassNum=0\n"));
    for (const auto& t : log.texts()) EXPECT_FALSE(t.starts_with("[TLV] [")) << t;
}

TEST_F(OperatingChannel, TruncatedTlvIsRefused)
{
    const Bytes value = cat({kRadioA, u8(2), raw({115, 36, 81, 6}), u8(20)});
    for (size_t len = 0; len < value.size(); ++len) {
        SCOPED_TRACE(len);
        log.clear();
        EXPECT_FALSE(parse_n(rx, 0x8008, tlv(0x8F, slice(value, 0, len)), kSrc));
        ASSERT_EQ(log.at_most(3).size(), 1u);
        EXPECT_TRUE(log.contains(8, 3, "[TLV] OperChanRpt: TLV length " + std::to_string(len) +
                                           " is too short for its content\n"));
        EXPECT_TRUE(all_slots_null());
    }
}

TEST(OperatingChannelExtractors, SortOpClassOrderMarksTakenPairsWithClassZero)
{
    const std::pair<Bytes, Bytes> cases[] = {
        {raw({115, 40, 81, 1, 115, 36}), raw({81, 1, 115, 40, 115, 36})}, // ties keep input order
        {raw({200, 1, 100, 2}), raw({100, 2, 200, 1})},                   // unsigned comparison
        // Class 0 is the taken marker: once only such pairs are left, the last choice repeats.
        {raw({0, 7, 81, 3, 0, 9}), raw({81, 3, 0, 3, 0, 3})},
        {raw({0, 7, 0, 5}), raw({0, 7, 0, 7})},
    };
    for (const auto& [pairs, want] : cases) {
        Bytes entry = zeros(24);
        entry[6] = static_cast<uint8_t>(pairs.size() / 2);
        EXPECT_EQ(SortOpClassOrder(pairs.data(), entry.data()), 0);
        EXPECT_EQ(entry, cat({zeros(6), u8(pairs.size() / 2), want, zeros(17 - want.size())}));
    }
}

TEST(OperatingChannelExtractors, ExportedExtractorTakesOrdinalAndSourceMac)
{
    LogCapture log;
    Bytes rec = zeros(57);
    const Bytes v = cat({kRadioB, u8(2), raw({116, 40, 115, 48}), u8(23)});
    EXPECT_EQ(tlv_OperatingChannelReport_extract(v.data(), rec.data(), 0, 1, nullptr), 0);
    EXPECT_EQ(rec, cat({zeros(8), u8(2), zeros(24), kRadioB, raw({2, 115, 48, 116, 40}), zeros(12), u8(23)}));
    EXPECT_TRUE(log.contains(8, 3, "[TLV] Warning!!! Device_mac is NULL!!.\n"));
    EXPECT_EQ(tlv_OperatingChannelReport_extract(v.data(), rec.data(), 0, 0, kSrc.data()), 0);
    EXPECT_EQ(slice(rec, 2, 7), cat({kSrc, u8(1)}));
}

} // namespace
} // namespace lusl::test
