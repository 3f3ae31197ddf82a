// Channel Preference Report: preferences per radio, CAC status, the parser's source MAC.
#include <gtest/gtest.h>

#include <algorithm>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

const Bytes kSrc = mac("02:5e:00:00:00:01");
const Bytes kRadioA = mac("02:00:00:00:01:0a");
const Bytes kRadioB = mac("02:00:00:00:01:0b");
constexpr size_t kSize = 3687, kRadio0 = 901, kRadio1 = 2294; // op classes start 7 into a radio

void put(Bytes& rec, size_t off, const Bytes& piece) { std::copy(piece.begin(), piece.end(), rec.begin() + off); }

Bytes blank_record()
{
    Bytes rec = zeros(kSize);
    put(rec, 0, cat({raw({0x05, 0x80}), kSrc}));
    return rec;
}

size_t lines_starting(const LogCapture& log, const std::string& prefix)
{
    auto t = log.texts();
    return static_cast<size_t>(std::count_if(t.begin(), t.end(), [&](const auto& s) { return s.starts_with(prefix); }));
}

struct ChannelPreference : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
};

TEST_F(ChannelPreference, TwoRadiosAndCacStatus)
{
    auto empty = parse(rx, 0x8005, stream({}), kSrc);
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, blank_record());

    const Bytes prefA = tlv(0x8B, {kRadioA, u8(2), raw({115, 2, 36, 40, 0xE3}), raw({81, 0, 0x10})});
    const Bytes cac = tlv(0xB1, {raw({2, 121, 100}), be16(0x0102), raw({121, 104}), be16(5),
                                 raw({1, 121, 52}), be16(1800), raw({1, 121, 116}), be24(0x010000)});
    const Bytes prefB = tlv(0x8B, {kRadioB, u8(1), raw({128, 1, 42, 0x00})});
    auto got = parse_n(rx, 0x8005, stream({prefA, cac, prefB}), kSrc);
    ASSERT_TRUE(got);
    Bytes want = blank_record();
    put(want, 8, raw({2, 1, 2, 121, 100, 0x02, 0x01, 121, 104, 0x05, 0x00}));
    put(want, 283, raw({1, 121, 52, 0x08, 0x07}));
    put(want, 492, raw({1, 121, 116, 0x00, 0x00, 0x01, 0x00}));
    put(want, kRadio0, cat({kRadioA, raw({2, 115, 2, 36, 40})}));
    put(want, kRadio0 + 7 + 62, u8(0x3E)); // nibbles swapped
    put(want, kRadio0 + 7 + 63, raw({81, 0}));
    put(want, kRadio0 + 7 + 63 + 62, u8(0x01));
    put(want, kRadio1, cat({kRadioB, raw({1, 128, 1, 42})}));
    EXPECT_EQ(*got, want);
    for (const char* line : {
             "[TLV] channel=40\n",
             "[TLV] ChPrefRpt: Radio 02:00:00:00:01:0A, OpClass=115 ,Preference=14 ,ReasonCode=3\n",
             "[TLV] CacStatusRpt: device 02:5E:00:00:00:01, NumAvailableCh=2\n",
             "[TLV] CacStatusRpt: available OpClass=121 Channel=100 Minutes=258\n",
             "[TLV] CacStatusRpt: nonOccupancy OpClass=121 Channel=52 Seconds=1800\n",
             "[TLV] CacStatusRpt: device 02:5E:00:00:00:01, NumActiveCacOngoing=1\n",
             "[TLV] CacStatusRpt: Active OpClass=121 Channel=116 Countdown=65536\n",
         })
        EXPECT_TRUE(log.contains(8, 7, line)) << line;
    EXPECT_TRUE(log.at_most(4).empty());
}

TEST_F(ChannelPreference, ThirdRadioIsDroppedUnreadAndTheReportStillSent)
{
    const Bytes one = tlv(0x8B, {kRadioA, raw({1, 115, 1, 36, 0x21})});
    // Malformed on purpose: a dropped TLV is never read.
    auto got = parse_n(rx, 0x8005, stream({one, tlv(0x8B, {kRadioB, u8(0)}), tlv(0x8B, {u8(0xFF)})}), kSrc);
    ASSERT_TRUE(got);
    Bytes want = blank_record();
    put(want, 8, u8(2));
    put(want, kRadio0, cat({kRadioA, raw({1, 115, 1, 36})}));
    put(want, kRadio0 + 7 + 62, u8(0x12));
    put(want, kRadio1, kRadioB);
    EXPECT_EQ(*got, want);
    ASSERT_EQ(log.at_most(3).size(), 1u);
    EXPECT_TRUE(log.contains(8, 3, "[TLV] ChPrefRpt: Exceed maxinum radio number per device\n"));
}

// Counts beyond the record's room are kept as received; what fits is filled and the rest is
// stepped over so the fields behind it are read in place.
TEST_F(ChannelPreference, OversizedCountsFillWhatFits)
{
    Bytes pref = cat({kRadioA, raw({25, 100, 62})});
    for (unsigned j = 1; j <= 62; ++j) pref.push_back(static_cast<uint8_t>(j));
    pref.push_back(0x12);
    for (unsigned c = 1; c < 25; ++c) pref = cat({pref, raw({100 + c, 1, c, 0x45})});
    Bytes cac = u8(70);
    for (unsigned i = 0; i < 70; ++i) cac = cat({cac, raw({1, i}), be16(i)});
    cac.push_back(53);
    for (unsigned i = 0; i < 53; ++i) cac = cat({cac, raw({2, i}), be16(1000 + i)});
    cac.push_back(69);
    for (unsigned i = 0; i < 69; ++i) cac = cat({cac, raw({3, i}), be24(0x20000 + i)});

    auto got = parse_n(rx, 0x8005, stream({tlv(0x8B, pref), tlv(0xB1, cac)}), kSrc);
    ASSERT_TRUE(got);
    const Bytes& r = *got;
    ASSERT_EQ(r.size(), kSize);
    EXPECT_EQ(r[kRadio0 + 6], 25);
    EXPECT_EQ(slice(pref, 7, 62), slice(r, kRadio0 + 7, 62)); // class 100, count 62, channels 1 to 60
    EXPECT_EQ(r[kRadio0 + 7 + 62], 0x21);
    EXPECT_EQ(slice(r, kRadio0 + 7 + 63 * 21, 63), cat({raw({121, 1, 21}), zeros(59), u8(0x54)}));
    EXPECT_EQ(lines_starting(log, "[TLV] channel="), 60u + 21u);
    EXPECT_EQ(lines_starting(log, "[TLV] ChPrefRpt: Radio "), 22u);
    EXPECT_EQ(slice(r, kRadio1, kSize - kRadio1), zeros(kSize - kRadio1));

    EXPECT_EQ(slice(r, 10, 1), u8(70));
    EXPECT_EQ(slice(r, 11 + 4 * 67, 4), raw({1, 67, 67, 0}));
    EXPECT_EQ(slice(r, 283, 5), raw({53, 2, 0, 0xE8, 0x03}));
    EXPECT_EQ(slice(r, 284 + 4 * 51, 4), raw({2, 51, 0x1B, 0x04}));
    EXPECT_EQ(slice(r, 492, 7), raw({69, 3, 0, 0x00, 0x00, 0x02, 0x00}));
    EXPECT_EQ(slice(r, 493 + 6 * 67, 6), raw({3, 67, 0x43, 0x00, 0x02, 0x00}));
    EXPECT_EQ(lines_starting(log, "[TLV] CacStatusRpt: Active "), 68u);
    EXPECT_TRUE(log.at_most(4).empty());
}

// Each TLV cut short one byte at a time is refused, unstored classes included.
TEST_F(ChannelPreference, TruncatedTlvsAreRefused)
{
    Bytes many = cat({kRadioA, u8(23)});
    for (unsigned c = 0; c < 23; ++c) many = cat({many, raw({81 + c, 0, 0x10})});
    const std::pair<uint8_t, Bytes> cases[] = {
        {0x8B, cat({kRadioA, raw({2, 115, 2, 36, 40, 0xE3, 81, 0, 0x10})})},
        {0x8B, many},
        {0xB1, raw({1, 121, 100, 0, 1, 1, 121, 52, 0, 2, 1, 121, 116, 0, 0, 3})},
    };
    for (const auto& [type, value] : cases) {
        const std::string name = type == 0x8B ? "ChPrefRpt" : "CacStatusRpt";
        ASSERT_TRUE(parse_n(rx, 0x8005, tlv(type, value), kSrc));
        for (size_t len = 0; len < value.size(); ++len) {
            SCOPED_TRACE(testing::Message() << name << " len " << len);
            log.clear();
            EXPECT_FALSE(parse_n(rx, 0x8005, tlv(type, slice(value, 0, len)), kSrc));
            ASSERT_EQ(log.at_most(3).size(), 1u);
            EXPECT_TRUE(log.contains(8, 3, "[TLV] " + name + ": TLV length " + std::to_string(len) +
                                               " is too short for its content\n"));
            EXPECT_TRUE(all_slots_null());
        }
    }
}

TEST(ChannelPreferenceExtractors, ExportedShimsIgnoreLengthAndSourceMac)
{
    Bytes rec = zeros(kSize);
    const Bytes pref = cat({kRadioB, raw({1, 118, 2, 52, 56, 0xF1})});
    EXPECT_EQ(tlv_ChannelPreference_extract(pref.data(), rec.data(), 0, nullptr), 0);
    const Bytes cac = raw({0, 1, 118, 56, 0x01, 0x00, 0});
    EXPECT_EQ(tlv_CacStatusReport_extract(cac.data(), rec.data(), 0, nullptr), 0);
    Bytes want = zeros(kSize);
    put(want, 8, raw({1, 1, 0}));
    put(want, 283, raw({1, 118, 56, 0x00, 0x01}));
    put(want, kRadio0, cat({kRadioB, raw({1, 118, 2, 52, 56})}));
    put(want, kRadio0 + 7 + 62, u8(0x1F));
    EXPECT_EQ(rec, want);
}

} // namespace
} // namespace lusl::test
