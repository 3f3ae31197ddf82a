// AP Metrics Response, station level: the four per-station TLVs joined to their station
// entries through the scratch table, in either order.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

const Bytes kBssA = mac("02:aa:00:00:00:01");
const Bytes kBssB = mac("02:aa:00:00:00:02");
const Bytes kBssC = mac("02:aa:00:00:00:03");
const Bytes kSta0 = mac("02:11:00:00:00:00");
const Bytes kSta1 = mac("02:11:00:00:00:01");

constexpr size_t kRecordSize = 49124;
size_t sta_at(size_t b, size_t s) { return 33 + 4910 * b + 76 * s; }
size_t scratch_at(size_t e) { return 42 * e; }

Bytes station_mac(unsigned i)
{
    Bytes m = kSta0;
    m[4] = static_cast<uint8_t>(i >> 8);
    m[5] = static_cast<uint8_t>(i);
    return m;
}
Bytes ap_metrics(const Bytes& bssid, unsigned sta_num) { return tlv(0x94, {bssid, u8(0), be16(sta_num), u8(0)}); }
Bytes link(const Bytes& sta, const Bytes& bssid, uint32_t dl, uint32_t ul, unsigned rcpi)
{
    return tlv(0x96, {sta, u8(1), bssid, be32(0xDEADBEEF), be32(dl), be32(ul), u8(rcpi)});
}
Bytes traffic(const Bytes& sta, uint32_t base)
{
    Bytes v = sta;
    for (uint32_t i = 1; i <= 7; ++i) v = cat({v, be32(base + i)});
    return tlv(0xA2, v);
}
Bytes wifi6(const Bytes& sta, const std::vector<std::pair<unsigned, unsigned>>& tids)
{
    Bytes v = cat({sta, u8(static_cast<unsigned>(tids.size()))});
    for (auto [tid, queue] : tids) v = cat({v, u8(tid), u8(queue)});
    return tlv(0xB0, v);
}
struct Ext {
    Bytes bssid;
    uint32_t dl, ul, rx, tx;
};
Bytes ext(const Bytes& sta, const std::vector<Ext>& entries)
{
    Bytes v = cat({sta, u8(static_cast<unsigned>(entries.size()))});
    for (const Ext& e : entries) v = cat({v, e.bssid, be32(e.dl), be32(e.ul), be32(e.rx), be32(e.tx)});
    return tlv(0xC8, v);
}
// The seven counters base+1 .. base+7 as the record holds them.
Bytes counters_le(uint32_t base)
{
    Bytes v;
    for (uint32_t i = 1; i <= 7; ++i) {
        const uint32_t x = base + i;
        v = cat({v, raw({x & 0xFF, x >> 8 & 0xFF, x >> 16 & 0xFF, x >> 24})});
    }
    return v;
}

struct StaMetrics : testing::Test {
    LogCapture log;
    Receiver rx;
    Bytes rec = Bytes(kRecordSize, 0);
    Bytes scratch;
    int walk(std::initializer_list<Bytes> tlvs)
    {
        rec.assign(kRecordSize, 0);
        const Bytes s = stream(tlvs);
        const int r = process_tlv(0x800C, s.data(), rec.data(), nullptr);
        const auto* t = reinterpret_cast<const uint8_t*>(pAssocStaLinkMetricBuffer);
        scratch.assign(t, t + 2688);
        luSL_Msg_free(0x800C);
        return r;
    }
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
};

TEST_F(StaMetrics, TrafficStatsBeforeLinkMetricsWaitInTheScratchTable)
{
    ASSERT_EQ(walk({ap_metrics(kBssA, 0), ap_metrics(kBssB, 2), link(kSta0, kBssB, 1, 2, 3), traffic(kSta1, 100),
                    link(kSta1, kBssB, 5000, 6000, 77)}),
              0);
    const size_t s = sta_at(1, 1);
    EXPECT_EQ(slice(rec, s, 76), cat({zeros(2), kSta1, raw({0x70, 0x17, 0, 0, 0x88, 0x13, 0, 0, 77}), kBssB,
                                      counters_le(100), zeros(25)}));
    EXPECT_EQ(slice(rec, sta_at(1, 0) + 23, 28), zeros(28));
    // The station's scratch entry now names BSS 1, station 1.
    EXPECT_EQ(slice(scratch, scratch_at(1), 6), kSta1);
    EXPECT_EQ(le32_at(scratch, scratch_at(1) + 34), 1u);
    EXPECT_EQ(le32_at(scratch, scratch_at(1) + 38), 1u);

    const auto texts = log.texts();
    const std::string held =
        "[TLV] AssociStaLinkMetric: STA 02:11:00:00:00:01, BytesSent=101, BytesReceived=102, PacketsSent=103, "
        "PacketsReceived=104, TxPacketsErrors=105, RxPacketsErrors=106, RetransCount=107\n";
    const std::string placed =
        "[TLV] AssocStaLink: STA 02:11:00:00:00:01, associated BSS 02:AA:00:00:00:02, uplink/downlink rate=6000/5000, "
        "RCPI=77\n";
    const auto at = std::find(texts.begin(), texts.end(), held);
    ASSERT_NE(at, texts.end());
    ASSERT_NE(at + 1, texts.end());
    EXPECT_EQ(*(at + 1), placed);
    for (const auto& t : texts) EXPECT_EQ(t.find("AssociStaTrafficStats"), std::string::npos) << t;
}

TEST_F(StaMetrics, TrafficStatsAfterLinkMetricsGoStraightToTheStation)
{
    ASSERT_EQ(walk({ap_metrics(kBssA, 1), link(kSta1, kBssA, 1, 2, 3), traffic(kSta1, 0x01000000)}), 0);
    EXPECT_EQ(slice(rec, sta_at(0, 0) + 23, 28), counters_le(0x01000000));
    EXPECT_EQ(slice(scratch, scratch_at(0) + 6, 28), zeros(28)); // nothing held
    EXPECT_TRUE(log.contains(8, 7,
                             "[TLV] AssociStaTrafficStats: STA 02:11:00:00:00:01, BytesSent=16777217, "
                             "BytesReceived=16777218, PacketsSent=16777219, PacketsReceived=16777220, "
                             "TxPacketsErrors=16777221, RxPacketsErrors=16777222, RetransCount=16777223\n"));
}

TEST_F(StaMetrics, RepeatedLinkMetricsTakeANewEntryAndCountersFollowTheNewest)
{
    ASSERT_EQ(walk({ap_metrics(kBssA, 2), link(kSta1, kBssA, 1, 1, 1), link(kSta1, kBssA, 2, 2, 2), traffic(kSta1, 10)}),
              0);
    EXPECT_EQ(slice(rec, sta_at(0, 0) + 2, 6), kSta1);
    EXPECT_EQ(slice(rec, sta_at(0, 1) + 2, 6), kSta1);
    EXPECT_EQ(slice(rec, sta_at(0, 0) + 23, 28), zeros(28));
    EXPECT_EQ(slice(rec, sta_at(0, 1) + 23, 28), counters_le(10));
    EXPECT_EQ(le32_at(scratch, scratch_at(0) + 38), 1u);
    EXPECT_EQ(slice(scratch, scratch_at(1), 42), zeros(42)); // one station, one scratch entry
}

TEST_F(StaMetrics, OnlyTheFirstBssidEntryOfLinkMetricsCounts)
{
    const Bytes two = tlv(0x96, {kSta1, u8(2), kBssB, be32(0), be32(11), be32(12), u8(13), kBssA, be32(0), be32(21),
                                 be32(22), u8(23)});
    ASSERT_EQ(walk({ap_metrics(kBssA, 1), ap_metrics(kBssB, 1), two}), 0);
    EXPECT_EQ(slice(rec, sta_at(1, 0), 23), cat({zeros(2), kSta1, raw({12, 0, 0, 0, 11, 0, 0, 0, 13}), kBssB}));
    EXPECT_EQ(slice(rec, sta_at(0, 0), 76), zeros(76));
}

TEST_F(StaMetrics, LinkMetricsThatCannotBePlacedAreDroppedAndTheMessageSent)
{
    // No BSSID entry; a BSS no AP Metrics TLV created.
    auto got = parse_n(rx, 0x800C, stream({ap_metrics(kBssA, 1), tlv(0x96, {kSta1, u8(0)}), link(kSta1, kBssB, 1, 2, 3)}));
    ASSERT_TRUE(got);
    EXPECT_EQ(got->size(), 4u + 45 + 66);
    EXPECT_EQ(slice(*got, 49, 66), zeros(66));
    const auto errors = log.at_most(3);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], (LogLine{8, 3, "", "[TLV] Can't found bssid which associated station\n"}));
    EXPECT_EQ(errors[1], (LogLine{8, 3, "", "[TLV] bss_idx is larger than MAX_BSS_PER_DEVICE\n"}));
}

TEST_F(StaMetrics, FullBssAndFullScratchTable)
{
    std::vector<Bytes> tlvs = {ap_metrics(kBssA, 64), ap_metrics(kBssB, 1)};
    for (unsigned i = 0; i < 64; ++i) tlvs.push_back(link(station_mac(i), kBssA, i, i, i));
    const Bytes late = station_mac(64);
    tlvs.push_back(link(late, kBssA, 1, 1, 1)); // no station entry left in BSS A
    tlvs.push_back(link(late, kBssB, 7, 8, 9)); // placed, but the scratch table is full
    tlvs.push_back(traffic(late, 50));
    tlvs.push_back(wifi6(late, {{1, 2}}));
    tlvs.push_back(traffic(station_mac(63), 60));
    Bytes s;
    for (const Bytes& t : tlvs) s = cat({s, t});
    s = cat({s, raw({0, 0, 0})});
    ASSERT_EQ(process_tlv(0x800C, s.data(), rec.data(), nullptr), 0);
    luSL_Msg_free(0x800C);

    EXPECT_EQ(slice(rec, sta_at(0, 63) + 2, 6), station_mac(63));
    EXPECT_EQ(slice(rec, sta_at(0, 63) + 23, 28), counters_le(60));
    EXPECT_EQ(slice(rec, sta_at(1, 0), 23), cat({zeros(2), late, raw({8, 0, 0, 0, 7, 0, 0, 0, 9}), kBssB}));
    EXPECT_EQ(slice(rec, sta_at(1, 0) + 23, 53), zeros(53)); // its traffic and Wi-Fi 6 TLVs found no entry
    const auto errors = log.at_most(3);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], (LogLine{8, 3, "", "[TLV] sta_idx is larger than MAX_STA_PER_BSS\n"}));
}

TEST_F(StaMetrics, WiFi6StatusKeepsFourTids)
{
    ASSERT_EQ(walk({ap_metrics(kBssA, 1), link(kSta1, kBssA, 1, 2, 3),
                    wifi6(kSta1, {{1, 10}, {2, 20}, {3, 30}, {4, 40}, {5, 50}, {6, 60}}), wifi6(kSta0, {{9, 9}})}),
              0);
    EXPECT_EQ(slice(rec, sta_at(0, 0) + 51, 9), raw({4, 1, 10, 2, 20, 3, 30, 4, 40}));
    std::vector<std::string> tid_lines;
    for (const auto& t : log.texts())
        if (t.rfind("[TLV] AssocWiFi6Sta:", 0) == 0) tid_lines.push_back(t);
    ASSERT_EQ(tid_lines.size(), 4u);
    EXPECT_EQ(tid_lines[3], "[TLV] AssocWiFi6Sta: STA 02:11:00:00:00:01, TID = 4, QueueSize = 40\n");

    // Fewer TIDs later: the count follows, entries beyond it keep their bytes.
    ASSERT_EQ(walk({ap_metrics(kBssA, 1), link(kSta1, kBssA, 1, 2, 3), wifi6(kSta1, {{1, 10}, {2, 20}}),
                    wifi6(kSta1, {{7, 70}})}),
              0);
    EXPECT_EQ(slice(rec, sta_at(0, 0) + 51, 9), raw({1, 7, 70, 2, 20, 0, 0, 0, 0}));
}

TEST_F(StaMetrics, ExtendedRatesAreScaledForTheStationsOwnBss)
{
    ASSERT_EQ(walk({ap_metrics(kBssA, 1), ap_metrics(kBssB, 1), link(kSta1, kBssB, 1, 2, 3),
                    ext(kSta1, {{kBssA, 1, 2, 3, 4}, {kBssB, 1, 1, 1, 1}, {kBssB, 5000, 4294968, 7, 8}, {kBssC, 9, 9, 9, 9}})}),
              0);
    const size_t s = sta_at(1, 0);
    EXPECT_EQ(le32_at(rec, s + 60), 5000000u);
    EXPECT_EQ(le32_at(rec, s + 64), 704u); // 4294968000 modulo 2^32
    EXPECT_EQ(le32_at(rec, s + 68), 7u);
    EXPECT_EQ(le32_at(rec, s + 72), 8u);
    EXPECT_TRUE(log.contains(8, 7,
                             "[TLV] BSS 02:AA:00:00:00:02, STA 02:11:00:00:00:01, DnLinkRate=5000000, "
                             "UplinkRate=704,UtilRx=7,UtilTx=8\n"));

    // Entries for other BSSs only: nothing stored, the line still logged.
    log.clear();
    ASSERT_EQ(walk({ap_metrics(kBssA, 1), link(kSta1, kBssA, 1, 2, 3), ext(kSta1, {{kBssB, 5, 5, 5, 5}})}), 0);
    EXPECT_EQ(slice(rec, sta_at(0, 0) + 60, 16), zeros(16));
    EXPECT_TRUE(log.contains(8, 7,
                             "[TLV] BSS 02:AA:00:00:00:01, STA 02:11:00:00:00:01, DnLinkRate=0, "
                             "UplinkRate=0,UtilRx=0,UtilTx=0\n"));
    // A station the table does not know: silently dropped.
    log.clear();
    ASSERT_EQ(walk({ap_metrics(kBssA, 1), ext(kSta1, {{kBssA, 5, 5, 5, 5}})}), 0);
    for (const auto& t : log.texts()) EXPECT_EQ(t.find("STA 02:11"), std::string::npos) << t;
}

// A station whose traffic counters arrived but not yet its link metrics has no entry: its
// Wi-Fi 6 and extended TLVs are not applied to whatever station sits at BSS 0, entry 0,
// and later counters replace the waiting ones.
TEST_F(StaMetrics, PendingStationsAreNotMistakenForTheFirstEntry)
{
    ASSERT_EQ(walk({ap_metrics(kBssA, 2), link(kSta0, kBssA, 1, 2, 3), traffic(kSta1, 100), wifi6(kSta1, {{1, 1}}),
                    ext(kSta1, {{kBssA, 9, 9, 9, 9}}), traffic(kSta1, 200), link(kSta1, kBssA, 4, 5, 6)}),
              0);
    EXPECT_EQ(slice(rec, sta_at(0, 0) + 23, 53), zeros(53));
    EXPECT_EQ(slice(rec, sta_at(0, 1) + 2, 6), kSta1);
    EXPECT_EQ(slice(rec, sta_at(0, 1) + 23, 53), cat({counters_le(200), zeros(25)}));
}

TEST_F(StaMetrics, StationsBeyondTheReportedCountAreFilledButNotSent)
{
    Bytes tlvs = ap_metrics(kBssA, 4);
    for (unsigned i = 0; i < 5; ++i) tlvs = cat({tlvs, link(station_mac(i), kBssA, i, i, i)});
    auto got = parse_n(rx, 0x800C, tlvs);
    ASSERT_TRUE(got);
    ASSERT_EQ(got->size(), 4u + 45 + 4 * 66);
    EXPECT_EQ(slice(*got, 4 + 45 + 3 * 66, 6), station_mac(3));
    EXPECT_EQ(le16_at(*got, 4 + 43), 4);
}

TEST_F(StaMetrics, ExportedExtractorsTakeTheCallersScratchTable)
{
    AssocStaLinkMetricBuffer table = {};
    const Bytes apm = cat({kBssA, u8(0), be16(1), u8(0)});
    const Bytes lm = cat({kSta1, u8(1), kBssA, be32(0), be32(1), be32(2), u8(3)});
    const Bytes tr = slice(traffic(kSta1, 40), 3, 34);
    const Bytes w6 = cat({kSta1, u8(1), u8(5), u8(6)});
    const Bytes ex = cat({kSta1, u8(1), kBssA, be32(2), be32(3), be32(4), be32(5)});
    ASSERT_EQ(tlv_APMetrics_extract(apm.data(), rec.data(), 0), 0);
    EXPECT_EQ(tlv_AssociStaTrafficStats_extract(tr.data(), rec.data(), &table), 0);
    EXPECT_EQ(tlv_AssociStaLinkMetric_extract(lm.data(), rec.data(), &table), 0);
    EXPECT_EQ(tlv_AssocWiFi6StaStatus_extract(w6.data(), rec.data(), &table), 0);
    EXPECT_EQ(tlv_assocStaExtLinkmetric_extract(ex.data(), rec.data(), &table), 0);
    EXPECT_EQ(slice(rec, sta_at(0, 0) + 23, 53),
              cat({counters_le(40), raw({1, 5, 6, 0, 0, 0, 0, 0, 0}), raw({0xD0, 0x07, 0, 0, 0xB8, 0x0B, 0, 0, 4, 0,
                                                                          0, 0, 5, 0, 0, 0})}));
    // Without a table only link metrics place a station.
    Bytes other(kRecordSize, 0);
    ASSERT_EQ(tlv_APMetrics_extract(apm.data(), other.data(), 0), 0);
    EXPECT_EQ(tlv_AssociStaLinkMetric_extract(lm.data(), other.data(), nullptr), 0);
    EXPECT_EQ(tlv_AssociStaTrafficStats_extract(tr.data(), other.data(), nullptr), 0);
    EXPECT_EQ(slice(other, sta_at(0, 0) + 2, 6), kSta1);
    EXPECT_EQ(slice(other, sta_at(0, 0) + 23, 28), zeros(28));
}

// Each station TLV cut short one byte at a time: refused with one error line and the
// message not sent, except the extended link metrics, whose result the walk ignores.
TEST_F(StaMetrics, TruncatedTlvsAreRefused)
{
    const Bytes before = cat({ap_metrics(kBssA, 1), link(kSta1, kBssA, 1, 2, 3)});
    const struct {
        uint8_t type;
        Bytes value;
    } cases[] = {
        {0x96, slice(link(kSta1, kBssA, 1, 2, 3), 3, 26)},
        {0x96, cat({kSta1, u8(2), kBssA, zeros(13), kBssB, zeros(13)})},
        {0xA2, slice(traffic(kSta1, 1), 3, 34)},
        {0xB0, cat({kSta1, u8(2), raw({1, 2, 3, 4})})},
        {0xC8, slice(ext(kSta1, {{kBssA, 1, 2, 3, 4}}), 3, 29)},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(parse_n(rx, 0x800C, cat({before, tlv(c.type, c.value)})));
        for (size_t len = 1; len < c.value.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "tlv " << int(c.type) << " len " << len);
            log.clear();
            auto got = parse_n(rx, 0x800C, cat({before, tlv(c.type, slice(c.value, 0, len))}));
            const auto errors = log.at_most(3);
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_EQ(errors[0].module, 8);
            EXPECT_NE(errors[0].text.find("length " + std::to_string(len)), std::string::npos) << errors[0].text;
            if (c.type != 0xC8) {
                EXPECT_FALSE(got);
                continue;
            }
            ASSERT_TRUE(got);
            ASSERT_EQ(got->size(), 4u + 45 + 66);
            EXPECT_EQ(slice(*got, 4 + 45 + 50, 16), zeros(16));
        }
        EXPECT_TRUE(all_slots_null());
    }
}

} // namespace
} // namespace lusl::test
