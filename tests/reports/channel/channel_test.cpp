// SPDX-License-Identifier: BSD-2-Clause
// Channel Preference Report, Operating Channel Report and the Associated / Unassociated STA
// Link Metric Responses, end to end: parser, loopback socket, exact record bytes and lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

const Bytes kSrc = mac("02:5e:00:00:00:01"), kRadioA = mac("02:00:00:00:01:0a"), kRadioB = mac("02:00:00:00:01:0b");
constexpr size_t kRadio0 = 901, kRadio1 = 2294; // channel preference radio entries; classes start 7 in

void put(Bytes& rec, size_t off, const Bytes& v) { std::copy(v.begin(), v.end(), rec.begin() + long(off)); }
// A record as an exported extractor leaves it: no header, and no source MAC unless it is given one.
Bytes unaddressed(const Bytes& rec) { return cat({zeros(8), slice(rec, 8, rec.size() - 8)}); }
LogLine error(const std::string& text) { return {8, 3, "", text}; }

struct ChannelReports : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
    size_t count(const std::string& prefix) const
    {
        return size_t(std::ranges::count_if(log.texts(), [&](const std::string& t) { return t.starts_with(prefix); }));
    }
};

// ------------------------------------------------------------------ Channel Preference Report (0x8005)

// Two radios' preferences (nibbles swapped) and the CAC status; a third radio is dropped
// unread, with a line, and the report still goes out. The exported extractors, which ignore
// their length and source MAC, fill the same record from the same values.
TEST_F(ChannelReports, PreferencesOfTwoRadiosCacStatusAndAThirdRadio)
{
    const Bytes a = cat({kRadioA, u8(2), raw({115, 2, 36, 40, 0xE3}), raw({81, 0, 0x10})});
    const Bytes c = cat({raw({2, 121, 100}), be16(0x0102), raw({121, 104}), be16(5), raw({1, 121, 52}), be16(1800),
                         raw({1, 121, 116}), be24(0x010000)});
    const Bytes b = cat({kRadioB, raw({1, 128, 1, 42, 0x00})});
    // Radio count, CAC present, available channels from 10, non-occupancy from 283, active from 492.
    Bytes want = cat({raw({0x05, 0x80}), kSrc, raw({2, 1, 2, 121, 100, 2, 1, 121, 104, 5, 0}), zeros(264),
                      raw({1, 121, 52, 0x08, 0x07}), zeros(204), raw({1, 121, 116, 0, 0, 1, 0}), zeros(3188)});
    // Class 115 with two channels, class 81 without; their preference bytes at class offset 62.
    put(want, kRadio0, cat({kRadioA, raw({2, 115, 2, 36, 40}), zeros(58), raw({0x3E, 81, 0}), zeros(60), u8(0x01)}));
    put(want, kRadio1, cat({kRadioB, raw({1, 128, 1, 42})}));
    // The third TLV is malformed on purpose: a dropped TLV is never read.
    EXPECT_EQ(parse_n(rx, 0x8005, stream({tlv(0x8B, a), tlv(0xB1, c), tlv(0x8B, b), tlv(0x8B, {u8(0xFF)})}), kSrc),
              want);
    const std::string cac_ = "[TLV] CacStatusRpt: ", dev = cac_ + "device 02:5E:00:00:00:01, ";
    for (const std::string& line :
         {std::string("[TLV] channel=40\n"),
          std::string("[TLV] ChPrefRpt: Radio 02:00:00:00:01:0A, OpClass=115 ,Preference=14 ,ReasonCode=3\n"),
          dev + "NumAvailableCh=2\n", cac_ + "available OpClass=121 Channel=100 Minutes=258\n",
          cac_ + "nonOccupancy OpClass=121 Channel=52 Seconds=1800\n", dev + "NumActiveCacOngoing=1\n",
          cac_ + "Active OpClass=121 Channel=116 Countdown=65536\n"})
        EXPECT_TRUE(log.contains(8, 7, line)) << line;
    EXPECT_EQ(log.at_most(4), std::vector{error("[TLV] ChPrefRpt: Exceed maxinum radio number per device\n")});

    Bytes rec = zeros(want.size());
    EXPECT_EQ(tlv_ChannelPreference_extract(a.data(), rec.data(), 0, nullptr), 0);
    EXPECT_EQ(tlv_CacStatusReport_extract(c.data(), rec.data(), 0, nullptr), 0);
    EXPECT_EQ(tlv_ChannelPreference_extract(b.data(), rec.data(), 0, kSrc.data()), 0);
    EXPECT_EQ(rec, unaddressed(want));
}

// Counts beyond the record's room are kept as received; what fits is filled and the rest is
// stepped over so the fields behind it are read in place.
TEST_F(ChannelReports, PreferenceAndCacCountsAboveTheRoomFillWhatFits)
{
    Bytes pref = cat({kRadioA, raw({25, 100, 62})}), cac;
    for (unsigned j = 1; j <= 62; ++j) pref.push_back(uint8_t(j));
    pref.push_back(0x12);
    for (unsigned c = 1; c < 25; ++c) pref = cat({pref, raw({100 + c, 1, c, 0x45})});
    for (auto [n, list] : {std::pair{70u, 1u}, {53u, 2u}, {69u, 3u}}) { // available, non-occupancy, active
        cac.push_back(uint8_t(n));
        for (unsigned i = 0; i < n; ++i) cac = cat({cac, raw({list, i}), list < 3 ? be16(1000 * list + i) : be24(i)});
    }
    auto got = parse_n(rx, 0x8005, stream({tlv(0x8B, pref), tlv(0xB1, cac)}), kSrc);
    ASSERT_TRUE(got);
    // The last entry each list has room for, then the next count and entry.
    EXPECT_EQ(slice(*got, 8, 3), raw({1, 1, 70}));
    EXPECT_EQ(slice(*got, 279, 9), raw({1, 67, 0x2B, 0x04, 53, 2, 0, 0xD0, 0x07}));
    EXPECT_EQ(slice(*got, 488, 11), raw({2, 51, 0x03, 0x08, 69, 3, 0, 0, 0, 0, 0}));
    EXPECT_EQ(slice(*got, 895, 13), cat({raw({3, 67, 67, 0, 0, 0}), kRadioA, u8(25)}));
    EXPECT_EQ(count("[TLV] CacStatusRpt: Active "), 68u);
    // Class 100 keeps 60 of its 62 channels; 22 of the 25 classes are kept.
    EXPECT_EQ(slice(*got, kRadio0 + 7, 63), cat({slice(pref, 7, 62), u8(0x21)}));
    EXPECT_EQ(slice(*got, kRadio0 + 7 + 63 * 21, 63), cat({raw({121, 1, 21}), zeros(59), u8(0x54)}));
    EXPECT_EQ(slice(*got, kRadio1, 3687 - kRadio1), zeros(3687 - kRadio1));
    EXPECT_EQ(count("[TLV] channel="), 60u + 21u);
    EXPECT_EQ(count("[TLV] ChPrefRpt: Radio "), 22u);
}

// ------------------------------------------------------------------ Operating Channel Report (0x8008)

const Bytes kHead8 = raw({0x08, 0x80});
const std::string kThird = "[TLV] OperChanRpt: Exceed maximum radio number per device\n";

// Reports take their radio entry by the walker's ordinal, which Radio Metrics TLVs share; a
// third one is dropped with a line (project choice). Pairs are stored by ascending class,
// ties in input order, the eight smallest of more; the power sits behind all pairs.
TEST_F(ChannelReports, OperatingChannelRadioIsTheWalkerOrdinal)
{
    const Bytes a =
        cat({kRadioA, u8(10), raw({90, 10, 89, 9, 88, 8, 87, 7, 86, 6, 85, 5, 84, 4, 83, 3, 82, 2, 81, 1}), u8(0x7F)});
    const Bytes kept = raw({81, 1, 82, 2, 83, 3, 84, 4, 85, 5, 86, 6, 87, 7, 88, 8});
    const Bytes b = cat({kRadioB, u8(3), raw({115, 40, 81, 1, 115, 36}), u8(0x11)});
    const Bytes want = cat({kHead8, kSrc, u8(2), kRadioA, u8(8), kept, u8(0x7F), kRadioB, u8(3),
                            raw({81, 1, 115, 40, 115, 36}), zeros(10), u8(0x11)});
    EXPECT_EQ(
        parse_n(rx, 0x8008, stream({tlv(0x8F, a), tlv(0x8F, b), tlv(0x8F, {kRadioA, raw({1, 81, 11, 30})})}), kSrc),
        want);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] OperChanRpt: radio 02:00:00:00:01:0A, opclassNum=10\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] [7] opclass=88, curchan=8\n"));
    EXPECT_EQ(count("[TLV] ["), 8u + 3u);
    EXPECT_EQ(log.at_most(3), (std::vector{error("[TLV] OperChanRpt: Too many reports\n"), error(kThird)}));

    const Bytes rm = tlv(0xC6, {kRadioB, zeros(4)}), none = tlv(0x8F, {kRadioA, u8(0), u8(20)});
    log.clear();
    EXPECT_EQ(parse_n(rx, 0x8008, stream({rm, none}), kSrc),
              cat({kHead8, kSrc, u8(2), zeros(24), kRadioA, u8(0), zeros(16), u8(20)}));
    EXPECT_EQ(count("[TLV] ["), 0u);
    EXPECT_EQ(parse_n(rx, 0x8008, stream({rm, rm, none}), kSrc), cat({kHead8, zeros(55)}));
    EXPECT_EQ(log.at_most(3), std::vector{error(kThird)});

    // The exported extractor takes the ordinal and the source MAC from its caller and no
    // length; the radio count follows the last ordinal, even downwards.
    log.clear();
    Bytes rec = zeros(want.size());
    EXPECT_EQ(tlv_OperatingChannelReport_extract(b.data(), rec.data(), 0, 1, nullptr), 0);
    EXPECT_EQ(tlv_OperatingChannelReport_extract(a.data(), rec.data(), 0, 0, kSrc.data()), 0);
    EXPECT_EQ(rec, cat({zeros(2), kSrc, u8(1), slice(want, 9, want.size() - 9)}));
    EXPECT_EQ(log.at_most(3), (std::vector{error("[TLV] Warning!!! Device_mac is NULL!!.\n"),
                                           error("[TLV] OperChanRpt: Too many reports\n")}));
    // Class 0 marks a taken pair: once only such pairs are left, the last choice repeats.
    // Classes compare unsigned.
    for (const auto& [in, out] : {std::pair{raw({200, 1, 100, 2}), raw({100, 2, 200, 1})},
                                  {raw({0, 7, 81, 3, 0, 9}), raw({81, 3, 0, 3, 0, 3})},
                                  {raw({0, 7, 0, 5}), raw({0, 7, 0, 7})}}) {
        Bytes entry = cat({zeros(6), u8(in.size() / 2), zeros(17)});
        EXPECT_EQ(SortOpClassOrder(in.data(), entry.data()), 0);
        EXPECT_EQ(entry, cat({zeros(6), u8(in.size() / 2), out, zeros(17 - out.size())}));
    }
}

// ------------------------------------------------------------------ STA link metrics (0x800E, 0x8010)

const Bytes kSta = mac("02:11:22:33:44:55");
const Bytes kBss = mac("02:aa:bb:cc:dd:01");
const Bytes kUnHead = cat({raw({0x10, 0x80}), kSrc});

Bytes bss_entry(const Bytes& bssid, unsigned long down, unsigned long up, unsigned rcpi)
{
    return cat({bssid, be32(777), be32(down), be32(up), u8(rcpi)});
}
// A station as sent (MAC, channel, time delta, RCPI) and as stored (MAC, channel, RCPI).
Bytes station(unsigned last, unsigned channel, unsigned rcpi)
{
    return cat({raw({0x02, 0x33, 0, 0, 0, last, channel}), be32(1234), u8(rcpi)});
}
Bytes stored(unsigned last, unsigned channel, unsigned rcpi) { return raw({0x02, 0x33, 0, 0, 0, last, channel, rcpi}); }

// An associated station takes its first BSS, uplink rate stored first. The exported
// extractors write the same fields; the unassociated one honours its length.
TEST_F(ChannelReports, StaLinkMetricResponses)
{
    const Bytes assoc = cat({kSta, u8(2), bss_entry(kBss, 0x01020304, 0x0A0B0C0D, 0xA0), bss_entry(kSta, 1, 2, 3)});
    const Bytes assoc_rec =
        cat({raw({0x0E, 0x80}), kSta, raw({0x0D, 0x0C, 0x0B, 0x0A, 0x04, 0x03, 0x02, 0x01, 0xA0}), kBss, zeros(53)});
    EXPECT_EQ(parse_n(rx, 0x800E, stream({tlv(0x96, assoc)}), kSrc), assoc_rec);
    EXPECT_TRUE(log.contains(8, 7,
                             "[TLV] AssocStaLink: STA 02:11:22:33:44:55, associated BSS 02:AA:BB:CC:DD:01, "
                             "uplink/downlink rate=168496141/16909060, RCPI=160\n"));
    Bytes rec = zeros(assoc_rec.size());
    EXPECT_EQ(tlv_AssociStaLinkMetric2_extract(assoc.data(), rec.data()), 0);
    EXPECT_EQ(rec, cat({zeros(2), slice(assoc_rec, 2, rec.size() - 2)}));

    // Without a BSS only the station is known; the response still goes out.
    EXPECT_EQ(parse_n(rx, 0x800E, stream({tlv(0x96, {kSta, u8(0)})}), kSrc), cat({raw({0x0E, 0x80}), kSta, zeros(68)}));
    EXPECT_EQ(log.at_most(3), std::vector{error("[TLV] Can't found bssid which associated station\n")});

    // Unassociated stations that do not fit the length are skipped but still logged, as
    // zeros; the record holds 64 of them and the count is logged as received.
    log.clear();
    const Bytes v = cat({u8(115), u8(3), station(1, 36, 0x50), station(2, 40, 0x60), station(3, 44, 0x70)});
    EXPECT_EQ(parse_n(rx, 0x8010, stream({tlv(0x98, v)}), kSrc),
              cat({kUnHead, u8(115), stored(1, 36, 0x50), stored(2, 40, 0x60), stored(3, 44, 0x70), zeros(61 * 8)}));
    EXPECT_EQ(count("[TLV] UnassocStaLink"), 1u + 3u);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] UnassocStaLink: device 02:5E:00:00:00:01, opclass=115, stacnt=3\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] UnassocStaLink:  STA 02:33:00:00:00:03, channel=44, RCPI=112\n"));

    log.clear();
    const Bytes two = cat({kUnHead, u8(115), stored(1, 36, 0x50), stored(2, 40, 0x60), zeros(62 * 8)});
    EXPECT_EQ(parse_n(rx, 0x8010, stream({tlv(0x98, slice(v, 0, 30))}), kSrc), two);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] UnassocStaLink:  STA 00:00:00:00:00:00, channel=0, RCPI=0\n"));
    rec = zeros(two.size()); // 26 bytes hold two of the three stations
    EXPECT_EQ(tlv_UnAssociStaLinkMetric_extract(v.data(), rec.data(), 26, nullptr), 0);
    EXPECT_EQ(rec, unaddressed(two));
    EXPECT_EQ(log.at_most(3), std::vector{error("[TLV] Warning!!! Device_mac is NULL!!.\n")});

    Bytes many = raw({121, 66}), want = cat({kUnHead, u8(121)});
    for (unsigned i = 0; i < 66; ++i) many = cat({many, station(i, 100, i)});
    for (unsigned i = 0; i < 64; ++i) want = cat({want, stored(i, 100, i)});
    log.clear();
    EXPECT_EQ(parse_n(rx, 0x8010, stream({tlv(0x98, many)}), kSrc), want);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] UnassocStaLink: device 02:5E:00:00:00:01, opclass=121, stacnt=66\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] UnassocStaLink:  STA 02:33:00:00:00:3F, channel=100, RCPI=63\n"));
    EXPECT_EQ(count("[TLV] UnassocStaLink:  STA "), 64u);
}

// ------------------------------------------------------------------ cut short

// Every TLV cut short one byte at a time is refused with one line naming it and its length,
// classes the record does not keep and BSSs it does not read included. The unassociated TLV
// needs only its two head bytes: a cut station is skipped.
TEST_F(ChannelReports, TruncatedTlvsAreRefused)
{
    Bytes pref = cat({kRadioA, u8(23), raw({115, 2, 36, 40, 0xE3})}); // 23 classes: one more than kept
    for (unsigned c = 1; c < 23; ++c) pref = cat({pref, raw({81 + c, 0, 0x10})});
    const std::tuple<uint16_t, uint8_t, Bytes, const char*> cases[] = {
        {0x8005, 0x8B, pref, "ChPrefRpt"},
        {0x8005, 0xB1, raw({1, 121, 100, 0, 1, 1, 121, 52, 0, 2, 1, 121, 116, 0, 0, 3}), "CacStatusRpt"},
        {0x8008, 0x8F, cat({kRadioA, u8(2), raw({115, 36, 81, 6}), u8(20)}), "OperChanRpt"},
        {0x800E, 0x96, cat({kSta, u8(2), bss_entry(kBss, 1, 2, 3), bss_entry(kBss, 4, 5, 6)}), "AssocStaLink"},
        {0x8010, 0x98, cat({u8(115), u8(1), station(1, 36, 0x50)}), "UnassocStaLink"},
    };
    for (const auto& [msg, type, value, name] : cases) {
        for (size_t len = 0; len <= value.size(); ++len) {
            SCOPED_TRACE(testing::Message() << name << " len " << len);
            log.clear();
            const bool ok = len == value.size() || (type == 0x98 && len >= 2);
            EXPECT_EQ(bool(parse_n(rx, msg, tlv(type, slice(value, 0, len)), kSrc)), ok);
            const std::string line = "[TLV] " + std::string(name) + ": TLV length " + std::to_string(len) +
                                     " is too short for its content\n";
            EXPECT_EQ(log.at_most(3), ok ? std::vector<LogLine>{} : std::vector{error(line)});
        }
    }
}

} // namespace
} // namespace lusl::test
