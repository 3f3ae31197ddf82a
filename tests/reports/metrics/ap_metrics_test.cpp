// SPDX-License-Identifier: BSD-2-Clause
// AP Metrics Response: radio, BSS and station TLVs at their record offsets, the join of the
// per-station TLVs through the scratch table, refusals and truncated TLVs; the compact form
// (exact bytes, refusals, the cut at the end of the buffer) and its decoder, with random
// round trips through both.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

using Lines = std::vector<std::string>;

const Bytes kBssA = mac("02:aa:00:00:00:01"), kBssB = mac("02:aa:00:00:00:02"), kBssC = mac("02:aa:00:00:00:03");
const Bytes kRuid1 = mac("02:cc:00:00:00:01"), kRuid2 = mac("02:cc:00:00:00:02");
const Bytes kEsp = raw({0xB1, 0xB2, 0xB3, 0xC1, 0xC2, 0xC3, 0xD1, 0xD2, 0xD3, 0xE1, 0xE2, 0xE3});

constexpr size_t kRecordSize = 49124;
size_t bss_at(size_t b) { return 24 + 4910 * b; }
size_t sta_at(size_t b, size_t s) { return bss_at(b) + 9 + 76 * s; }

Bytes le16(unsigned v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
Bytes le32(unsigned long v) { return cat({le16(v & 0xFFFF), le16(v >> 16 & 0xFFFF)}); }
// n counters base+1, base+2, ... in the given byte order.
Bytes seq(uint32_t b, int n, Bytes (*e)(unsigned long)) { Bytes v; for (int i = 1; i <= n; ++i) v = cat({v, e(b + i)}); return v; }
Bytes sta(unsigned i) { return cat({raw({0x02, 0x11, 0, 0}), be16(i)}); } // station MAC 02:11:00:00:i
Bytes join(const std::vector<Bytes>& v) { Bytes s; for (const Bytes& t : v) s.insert(s.end(), t.begin(), t.end()); return s; }
Bytes value(const Bytes& tlv) { return slice(tlv, 3, tlv.size() - 3); }

// Valid TLVs, shared by the end-to-end, direct-call and truncation tests.
Bytes ap_metrics(const Bytes& bssid, unsigned sta_num, unsigned util = 0, unsigned flags = 0, const Bytes& esp = {})
{
    return tlv(0x94, {bssid, u8(util), be16(sta_num), u8(flags), esp});
}
Bytes radio_metrics(const Bytes& ruid, unsigned b) { return tlv(0xC6, {ruid, raw({b, b + 1, b + 2, b + 3})}); }
Bytes ext_metrics(const Bytes& bssid, uint32_t base) { return tlv(0xC7, {bssid, seq(base, 6, be32)}); }
Bytes link(const Bytes& sta, const Bytes& bssid, uint32_t dl, uint32_t ul, unsigned rcpi)
{
    return tlv(0x96, {sta, u8(1), bssid, be32(0xDEADBEEF), be32(dl), be32(ul), u8(rcpi)});
}
Bytes traffic(const Bytes& sta, uint32_t base) { return tlv(0xA2, {sta, seq(base, 7, be32)}); }
Bytes wifi6(const Bytes& m, std::initializer_list<unsigned> tq) { return tlv(0xB0, {m, u8(unsigned(tq.size() / 2)), raw(tq)}); }
// Extended link metrics of a station, entries of BSSID, downlink, uplink, utilisation rx and tx.
Bytes xe(const Bytes& bssid, uint32_t dl, uint32_t ul, uint32_t rx, uint32_t tx)
{
    return cat({bssid, be32(dl), be32(ul), be32(rx), be32(tx)});
}
Bytes ext(const Bytes& sta, const std::vector<Bytes>& e) { return tlv(0xC8, {sta, u8(unsigned(e.size())), join(e)}); }
// A station's compact block from its MAC to its BSSID; its record entry has two zero bytes first.
Bytes block(const Bytes& sta, uint32_t dl, uint32_t ul, unsigned rcpi, const Bytes& bssid)
{
    return cat({sta, le32(ul), le32(dl), u8(rcpi), bssid});
}

struct Metrics : testing::Test {
    LogCapture log;
    Receiver rx;
    Bytes rec = Bytes(kRecordSize, 0), scratch;
    // The walk on a record of our own (a fresh one unless given), so its bytes and the scratch
    // table can be read.
    void walk(const std::vector<Bytes>& tlvs, int want = 0, Bytes from = Bytes(kRecordSize, 0))
    {
        rec = std::move(from);
        const Bytes s = cat({join(tlvs), zeros(3)});
        EXPECT_EQ(process_tlv(0x800C, s.data(), rec.data(), nullptr), want);
        const auto* t = reinterpret_cast<const uint8_t*>(pAssocStaLinkMetricBuffer);
        scratch.assign(t, t + 2688);
        luSL_Msg_free(0x800C);
    }
    std::optional<Bytes> send(const std::vector<Bytes>& tlvs) { return parse_n(rx, 0x800C, join(tlvs)); }
    // Lines of level 3 or worse, as "module/level text".
    Lines errors() const
    {
        Lines out;
        for (const LogLine& l : log.at_most(3))
            out.push_back(std::to_string(l.module) + "/" + std::to_string(l.level) + " " + l.text);
        return out;
    }
    // A failed test must not leave its record to the next.
    void TearDown() override { EXPECT_TRUE(all_slots_null()); luSL_Msg_free(0x800C); }
};

TEST_F(Metrics, EspFieldsFollowTheIncludeFlags)
{
    // The include flags received, the include bits stored, the ESP fields as the record holds them.
    const struct { uint8_t flags, stored; Bytes esp; } cases[] = {
        {0x80, 0x01, cat({slice(kEsp, 0, 3), zeros(9)})},
        {0x10, 0x08, cat({zeros(9), slice(kEsp, 0, 3)})}, // VI comes first in the TLV when alone
        {0xF0, 0x0F, kEsp}, {0x0F, 0x00, zeros(12)},
        {0xA5, 0x05, cat({slice(kEsp, 0, 3), zeros(3), slice(kEsp, 3, 3), zeros(3)})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.flags));
        walk({ap_metrics(kBssA, 3, 200, c.flags, slice(kEsp, 0, 3 * __builtin_popcount(c.flags & 0xF0)))});
        EXPECT_EQ(slice(rec, bss_at(0), 9), cat({kBssA, u8(200), raw({3, 0})}));
        EXPECT_EQ(slice(rec, bss_at(0) + 4897, 13), cat({u8(c.stored), c.esp}));
    }
    // The last case: the include byte is logged as received.
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ApMetrics: BSS 02:AA:00:00:00:01, CH util=200, accoc STA cnts=3 \ninclude_bit=A5, "
                                   "AC_BE=B1B2B3, AC_BK=000000, AC_VO=C1C2C3, AC_VI=000000\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ApMetrics: BSS 02:AA:00:00:00:01, channel util=200, associated STA counts=3\n"));
}

// Operating Channel Report and Radio Metrics TLVs share one ordinal that AP Metrics TLVs do not
// see: the first radio lands in entry 1, the second has no entry and is dropped. Station counts
// above 64 are capped, the same BSSID twice makes two entries, and the message is sent.
TEST_F(Metrics, OrdinalsAsTheWalkerCountsThemAndStationCountsCapped)
{
    auto got = send({tlv(0x8F, zeros(4)), ap_metrics(kBssA, 64, 1), radio_metrics(kRuid1, 10), ap_metrics(kBssB, 65, 2),
                     radio_metrics(kRuid2, 20), ap_metrics(kBssA, 0xFFFF, 3)});
    auto bss = [](const Bytes& id, unsigned util) { return cat({id, u8(util), zeros(36), le16(64), zeros(64 * 66)}); };
    EXPECT_EQ(got, cat({raw({0x0C, 0x80, 3, 2}), zeros(10), kRuid1, raw({10, 11, 12, 13}), bss(kBssA, 1), bss(kBssB, 2),
                        bss(kBssA, 3)}));
    EXPECT_TRUE(log.contains(
        8, 7, "[TLV] RadioMetrics: RUID 02:CC:00:00:00:01 Noise=10, Transmit=11, ReceiveSelf=12 , ReceiveOther=13\n"));
    EXPECT_EQ(errors(), (Lines{"8/3 [TLV] ApMetrics: BSS 02:AA:00:00:00:02, associated STA counts=65 exceed maximum 64, "
                               "set to MAX!\n",
                               "8/3 [TLV] RadioMetrics: RUID 02:CC:00:00:00:02 is radio 3, exceeds MAX_RADIO_PER_DEVICE 2, "
                               "dropped\n",
                               "8/3 [TLV] ApMetrics: BSS 02:AA:00:00:00:01, associated STA counts=65535 exceed maximum "
                               "64, set to MAX!\n"}));
}

// Called directly, ordinals past the tables write nothing; the BSS count keeps rising
// (saturating) so that the encoder refuses the message. Include bits 4 to 7 are kept.
TEST_F(Metrics, ExportedOrdinalsBeyondTheTablesWriteNothing)
{
    const Bytes radio = value(radio_metrics(kRuid2, 6)), bss = value(ap_metrics(kBssB, 1, 3, 0x80, kEsp));
    EXPECT_EQ(tlv_RadioMetrics_extract(radio.data(), rec.data(), 1), 0);
    EXPECT_EQ(slice(rec, 3, 21), cat({u8(2), zeros(10), radio}));
    rec[bss_at(4) + 4897] = 0xF0;
    EXPECT_EQ(tlv_APMetrics_extract(bss.data(), rec.data(), 4), 0);
    EXPECT_EQ(slice(rec, 2, 1), u8(5));
    EXPECT_EQ(slice(rec, bss_at(4), 9), cat({kBssB, u8(3), raw({1, 0})}));
    EXPECT_EQ(slice(rec, bss_at(4) + 4897, 4), raw({0xF1, 0xB1, 0xB2, 0xB3}));

    const Bytes before = rec;
    EXPECT_EQ(tlv_RadioMetrics_extract(radio.data(), rec.data(), 7), 0);
    EXPECT_EQ(tlv_APMetrics_extract(bss.data(), rec.data(), 10), 0);
    EXPECT_EQ(rec[2], 11); // still counted, so the encoder refuses the message
    EXPECT_EQ(tlv_APMetrics_extract(bss.data(), rec.data(), 1000), 0);
    EXPECT_EQ(rec[2], 255); // saturates rather than wrapping to a valid count
    rec[2] = before[2];
    EXPECT_EQ(rec, before);
    EXPECT_TRUE(log.contains(8, 3, "[TLV] ApMetrics: BSS 02:AA:00:00:00:02 is BSS 11, exceeds MAX_BSS_PER_DEVICE 10, dropped\n"));
    // Through the parser: the encoder's refusal goes out as a zero-length datagram.
    EXPECT_EQ(send(std::vector<Bytes>(11, ap_metrics(kBssA, 0))), Bytes{});
    EXPECT_TRUE(log.contains(4, 3, "[MSG] ApMetrcsResp: ERROR!!!: bss counts is bigger than MAX_BSS_PER_DEVICE:11\n"));
}

TEST_F(Metrics, ExtendedMetricsFindTheirBssOrFailTheMessage)
{
    walk({ap_metrics(kBssA, 0), ap_metrics(kBssB, 0), ext_metrics(kBssB, 0x01020300)});
    EXPECT_EQ(slice(rec, bss_at(1) + 4873, 24), seq(0x01020300, 6, le32));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ApExtendedMetrics: BSS 02:AA:00:00:00:02, UC tx=16909057, UC rx=16909058, "
                                   "MC tx=16909059, MC rx=16909060, BC tx=16909061, BC rx=16909062\n"));
    // Before its AP Metrics TLV: the first free entry ends the search.
    EXPECT_FALSE(send({ext_metrics(kBssA, 0), ap_metrics(kBssA, 0)}));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ApExtendedMetrics: empty BSS\n"));
    // All ten entries in use and none matches.
    log.clear();
    std::vector<Bytes> ten(10, ap_metrics(kBssA, 0));
    ten.push_back(ext_metrics(kBssB, 0));
    walk(ten, -1);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ApExtendedMetrics: bss_idx reach max index,not found match BSS\n"));
    EXPECT_FALSE(log.contains(8, 7, "[TLV] ApExtendedMetrics: empty BSS\n"));
    for (int b = 0; b < 10; ++b) EXPECT_EQ(slice(rec, bss_at(b) + 4873, 24), zeros(24));
    EXPECT_EQ(tlv_APExtendedMetrics_extract(value(ext_metrics(kBssB, 0)).data(), rec.data()), -1);
}

// The station join in one message, TLVs in the order they matter:
// - sta(1)'s counters arrive before its link metrics and wait in the scratch table; its Wi-Fi 6
//   and extended TLVs meanwhile find no entry (they must not land on BSS 0, station 0), and
//   later counters replace the waiting ones, which move in with the link metrics, logged;
// - sta(2) has two link metrics TLVs: two entries, and the counters that follow go straight
//   into the newest;
// - sta(3)'s link metrics TLV has two BSSID entries: only the first counts, for the lookup and
//   the rates.
TEST_F(Metrics, StationTlvsJoinThroughTheScratchTable)
{
    const Bytes two = tlv(0x96, {sta(3), u8(2), kBssB, be32(0), be32(11), be32(12), u8(13), kBssA, be32(0), be32(21),
                                 be32(22), u8(23)});
    walk({ap_metrics(kBssA, 4), ap_metrics(kBssB, 2), link(sta(0), kBssA, 1, 2, 3), traffic(sta(1), 100),
          wifi6(sta(1), {1, 1}), ext(sta(1), {xe(kBssA, 9, 9, 9, 9)}), traffic(sta(1), 200), link(sta(1), kBssB, 5000, 6000, 77),
          link(sta(2), kBssA, 4, 4, 4), link(sta(2), kBssA, 5, 5, 5), traffic(sta(2), 10), two});
    EXPECT_EQ(slice(rec, sta_at(0, 0), 76), cat({zeros(2), block(sta(0), 1, 2, 3, kBssA), zeros(53)}));
    EXPECT_EQ(slice(rec, sta_at(1, 0), 76), cat({zeros(2), block(sta(1), 5000, 6000, 77, kBssB), seq(200, 7, le32), zeros(25)}));
    EXPECT_EQ(slice(rec, sta_at(0, 1), 76), cat({zeros(2), block(sta(2), 4, 4, 4, kBssA), zeros(53)}));
    EXPECT_EQ(slice(rec, sta_at(0, 2), 76), cat({zeros(2), block(sta(2), 5, 5, 5, kBssA), seq(10, 7, le32), zeros(25)}));
    EXPECT_EQ(slice(rec, sta_at(1, 1), 76), cat({zeros(2), block(sta(3), 11, 12, 13, kBssB), zeros(53)}));
    // One scratch entry per station, naming its newest station entry.
    EXPECT_EQ(slice(scratch, 0, 5 * 42),
              cat({sta(0), zeros(28), le32(0), le32(0), sta(1), seq(200, 7, le32), le32(1), le32(0), sta(2), zeros(28),
                   le32(0), le32(2), sta(3), zeros(28), le32(1), le32(1), zeros(42)}));

    const Lines texts = log.texts(), held_then_placed = {
        "[TLV] AssociStaLinkMetric: STA 02:11:00:00:00:01, BytesSent=201, BytesReceived=202, PacketsSent=203, "
        "PacketsReceived=204, TxPacketsErrors=205, RxPacketsErrors=206, RetransCount=207\n",
        "[TLV] AssocStaLink: STA 02:11:00:00:00:01, associated BSS 02:AA:00:00:00:02, uplink/downlink rate=6000/5000, "
        "RCPI=77\n"};
    EXPECT_NE(std::search(texts.begin(), texts.end(), held_then_placed.begin(), held_then_placed.end()), texts.end());
    for (const auto& t : texts) EXPECT_EQ(t.find("TrafficStats: STA 02:11:00:00:00:01"), std::string::npos) << t;
    EXPECT_TRUE(log.contains(8, 7, "[TLV] AssociStaTrafficStats: STA 02:11:00:00:00:02, BytesSent=11, BytesReceived=12, "
                                   "PacketsSent=13, PacketsReceived=14, TxPacketsErrors=15, RxPacketsErrors=16, "
                                   "RetransCount=17\n"));
}

// Wi-Fi 6 status keeps four TIDs, later fewer (entries beyond the count keep their bytes).
// Extended rates are taken from the last entry for the station's own BSS, times 1000 modulo
// 2^32; with no such entry nothing is stored but the line is still logged. TLVs of a station
// the table does not know are dropped silently.
TEST_F(Metrics, WiFi6StatusAndExtendedRates)
{
    walk({ap_metrics(kBssA, 1), ap_metrics(kBssB, 1), link(sta(1), kBssB, 1, 2, 3), link(sta(2), kBssA, 1, 2, 3),
          wifi6(sta(1), {1, 10, 2, 20, 3, 30, 4, 40, 5, 50, 6, 60}), wifi6(sta(0), {9, 9}),
          ext(sta(1), {xe(kBssA, 1, 2, 3, 4), xe(kBssB, 1, 1, 1, 1), xe(kBssB, 5000, 4294968, 7, 8), xe(kBssC, 9, 9, 9, 9)}),
          ext(sta(0), {xe(kBssB, 9, 9, 9, 9)}), wifi6(sta(2), {1, 10, 2, 20}), wifi6(sta(2), {7, 70}),
          ext(sta(2), {xe(kBssB, 5, 5, 5, 5)})});
    EXPECT_EQ(slice(rec, sta_at(1, 0) + 51, 25),
              cat({raw({4, 1, 10, 2, 20, 3, 30, 4, 40}), le32(5000000), le32(704), le32(7), le32(8)}));
    EXPECT_EQ(slice(rec, sta_at(0, 0) + 51, 25), cat({raw({1, 7, 70, 2, 20}), zeros(20)}));
    const Lines texts = log.texts();
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(), [](auto& t) { return t.find(":01, TID") != t.npos; }), 4);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] AssocWiFi6Sta: STA 02:11:00:00:00:01, TID = 4, QueueSize = 40\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] BSS 02:AA:00:00:00:02, STA 02:11:00:00:00:01, DnLinkRate=5000000, "
                                   "UplinkRate=704,UtilRx=7,UtilTx=8\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] BSS 02:AA:00:00:00:01, STA 02:11:00:00:00:02, DnLinkRate=0, "
                                   "UplinkRate=0,UtilRx=0,UtilTx=0\n"));
    for (const auto& t : texts) EXPECT_EQ(t.find("STA 02:11:00:00:00:00"), std::string::npos) << t;
}

// Link metrics that cannot be placed are dropped, the message still sent: without a BSSID
// entry, for a BSS no AP Metrics TLV created, for a BSS whose 64 entries are taken. One placed
// while the scratch table is full keeps its entry, but its later TLVs cannot find it. Station
// blocks follow the count each BSS reported, not the entries filled; each block and each BSS
// block carries its own entry's fields.
TEST_F(Metrics, StationsThatCannotBePlacedAndStationBlocksByReportedCount)
{
    std::vector<Bytes> tlvs = {ap_metrics(kBssA, 64), ap_metrics(kBssB, 1, 0, 0xF0, kEsp), ext_metrics(kBssB, 0x30),
                               tlv(0x96, {sta(1), u8(0)}), link(sta(1), kBssC, 1, 2, 3)};
    for (unsigned i = 0; i < 64; ++i) tlvs.push_back(link(sta(i), kBssA, i, i, i));
    tlvs.insert(tlvs.end(), {link(sta(64), kBssA, 1, 1, 1), link(sta(64), kBssB, 7, 8, 9), traffic(sta(64), 50),
                             wifi6(sta(64), {1, 2}), traffic(sta(63), 60), wifi6(sta(63), {7, 8}),
                             ext(sta(63), {xe(kBssA, 1, 2, 3, 4)}), link(sta(65), kBssB, 1, 1, 1)});
    const auto got = send(tlvs);
    const size_t b = 4 + 45 + 63 * 66 + 68; // BSS B's block
    ASSERT_EQ(got.value_or(Bytes{}).size(), b + 45 + 66);
    EXPECT_EQ(slice(*got, b - 68, 68), cat({block(sta(63), 63, 63, 63, kBssA), seq(60, 7, le32), raw({1, 7, 8}), le32(1000),
                                            le32(2000), le32(3), le32(4)}));
    EXPECT_EQ(slice(*got, b, 45 + 66),
              cat({kBssB, u8(0), seq(0x30, 6, le32), kEsp, le16(1), block(sta(64), 7, 8, 9, kBssB), zeros(45)}));
    EXPECT_EQ(errors(), (Lines{"8/3 [TLV] Can't found bssid which associated station\n",
                               "8/3 [TLV] bss_idx is larger than MAX_BSS_PER_DEVICE\n",
                               "8/3 [TLV] sta_idx is larger than MAX_STA_PER_BSS\n"}));
}

// A walk over a caller's record takes each BSS's first free station entry wherever it lies:
// past entries the caller filled, and again after a link metrics TLV whose station MAC is
// zero (its entry stays free, so the next station overwrites it). So do the stations that
// come once the scratch table is full, which takes another road; their traffic counters,
// which come first, are dropped, while a station of the table still gets its own.
TEST_F(Metrics, WalkOverACallersRecordTakesTheFirstFreeStationEntry)
{
    Bytes mine(kRecordSize, 0);
    for (unsigned s : {0u, 2u}) std::memcpy(&mine[sta_at(0, s) + 2], sta(10 + s).data(), 6);
    walk({ap_metrics(kBssA, 4), link(zeros(6), kBssA, 9, 9, 9), link(sta(1), kBssA, 1, 1, 1), link(sta(2), kBssA, 2, 2, 2),
          link(sta(3), kBssA, 3, 3, 3)},
         0, mine);
    const Bytes first[] = {sta(10), block(sta(1), 1, 1, 1, kBssA), sta(12), block(sta(2), 2, 2, 2, kBssA),
                           block(sta(3), 3, 3, 3, kBssA)};
    for (size_t s = 0; s < 5; ++s) EXPECT_EQ(slice(rec, sta_at(0, s), 2 + first[s].size()), cat({zeros(2), first[s]})) << s;

    mine.assign(kRecordSize, 0);
    std::memcpy(&mine[sta_at(1, 2) + 2], sta(900).data(), 6);
    std::vector<Bytes> tlvs = {ap_metrics(kBssA, 64), ap_metrics(kBssB, 8)};
    for (unsigned i = 0; i < 64; ++i) tlvs.push_back(link(sta(i), kBssA, i, i, i));
    for (unsigned i : {64u, 65u, 0u, 66u, 67u}) {
        const Bytes m = i ? sta(i) : zeros(6);
        tlvs.insert(tlvs.end(), {traffic(m, 10 * i), link(m, kBssB, 1000 + i, 2000 + i, i)});
    }
    tlvs.push_back(traffic(sta(5), 70));
    walk(tlvs, 0, mine);
    for (unsigned w = 64; w < 68; ++w) // in entries 0, 1, 3 and 4: 2 is the caller's
        EXPECT_EQ(slice(rec, sta_at(1, w - 64 + (w > 65)), 76),
                  cat({zeros(2), block(sta(w), 1000 + w, 2000 + w, w, kBssB), zeros(53)})) << w;
    EXPECT_EQ(slice(rec, sta_at(1, 2), 8), cat({zeros(2), sta(900)}));
    EXPECT_EQ(slice(rec, sta_at(1, 5), 76), zeros(76));
    EXPECT_EQ(slice(rec, sta_at(0, 5) + 23, 28), seq(70, 7, le32));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] AssocStaLink: STA 00:00:00:00:00:00, associated BSS 02:AA:00:00:00:02, "
                                   "uplink/downlink rate=2000/1000, RCPI=0\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] AssocStaLink: STA 02:11:00:00:00:43, associated BSS 02:AA:00:00:00:02, "
                                   "uplink/downlink rate=2067/1067, RCPI=67\n"));
    EXPECT_TRUE(errors().empty());
}

// Called directly, the extractors join through the caller's table, searched in full and free
// entries compared like any other: stations the caller moved to entries 1 and 63, behind free
// ones, still get their Wi-Fi 6 status and extended rates. Without a table only link metrics
// place a station.
TEST_F(Metrics, ExportedExtractorsJoinThroughTheCallersWholeScratchTable)
{
    AssocStaLinkMetricBuffer table = {};
    Bytes other = rec;
    for (AssocStaLinkMetricBuffer* t : {&table, static_cast<AssocStaLinkMetricBuffer*>(nullptr)}) {
        uint8_t* r = t ? rec.data() : other.data();
        EXPECT_EQ(tlv_APMetrics_extract(value(ap_metrics(kBssA, 2)).data(), r, 0), 0);
        EXPECT_EQ(tlv_AssociStaTrafficStats_extract(value(traffic(sta(1), 40)).data(), r, t), 0);
        for (unsigned i : {1u, 2u})
            EXPECT_EQ(tlv_AssociStaLinkMetric_extract(value(link(sta(i), kBssA, i, 2, 3)).data(), r, t), 0);
        if (t) {
            table.entry[63] = table.entry[1];
            table.entry[1] = table.entry[0];
            table.entry[0] = AssocStaLinkMetricEntry{};
        }
        for (unsigned i : {1u, 2u}) {
            EXPECT_EQ(tlv_AssocWiFi6StaStatus_extract(value(wifi6(sta(i), {i, 10 * i})).data(), r, t), 0);
            EXPECT_EQ(tlv_assocStaExtLinkmetric_extract(value(ext(sta(i), {xe(kBssA, i, 2, 3, 4)})).data(), r, t), 0);
        }
    }
    for (unsigned i : {1u, 2u}) {
        const Bytes head = cat({zeros(2), block(sta(i), i, 2, 3, kBssA)});
        EXPECT_EQ(slice(rec, sta_at(0, i - 1), 76), cat({head, i == 1 ? seq(40, 7, le32) : zeros(28), raw({1, i, 10 * i}),
                                                         zeros(6), le32(1000 * i), le32(2000), le32(3), le32(4)}));
        EXPECT_EQ(slice(other, sta_at(0, i - 1), 76), cat({head, zeros(53)}));
    }
}

// Each TLV cut short one byte at a time is refused with one error line naming its length and
// never read past: the cut TLV ends the buffer, so ASan sees a read beyond it. The message is
// not sent, except for extended link metrics, whose result the walk ignores: that message
// goes out as if the cut TLV were not there. (A zero length after the first TLV stops the
// walk before any extractor sees it.)
TEST_F(Metrics, TruncatedTlvsAreRefused)
{
    const Bytes placed = join({ap_metrics(kBssA, 1), link(sta(1), kBssA, 1, 2, 3)});
    const struct { Bytes before, whole; } cases[] = {
        {{}, ap_metrics(kBssA, 2, 1, 0xF0, kEsp)}, {{}, ap_metrics(kBssA, 2, 1, 0x20, slice(kEsp, 0, 3))},
        {{}, radio_metrics(kRuid1, 1)}, {ap_metrics(kBssA, 0), ext_metrics(kBssA, 0)},
        {placed, link(sta(1), kBssA, 1, 2, 3)}, {placed, tlv(0x96, {sta(1), u8(2), kBssA, zeros(13), kBssB, zeros(13)})},
        {placed, traffic(sta(1), 1)}, {placed, wifi6(sta(1), {1, 2, 3, 4})}, {placed, ext(sta(1), {xe(kBssA, 1, 2, 3, 4)})},
    };
    for (const auto& c : cases) {
        const uint8_t type = c.whole[0];
        const Bytes v = value(c.whole);
        const auto without = type == 0xC8 ? parse_n(rx, 0x800C, c.before) : std::nullopt;
        ASSERT_TRUE(parse_n(rx, 0x800C, cat({c.before, c.whole})));
        for (size_t len = c.before.empty() ? 0 : 1; len < v.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "tlv " << int(type) << " len " << len);
            log.clear();
            EXPECT_EQ(parse_n(rx, 0x800C, cat({c.before, tlv(type, slice(v, 0, len))})), without);
            EXPECT_TRUE(all_slots_null());
            const Lines errs = errors();
            EXPECT_TRUE(errs.size() == 1 && errs[0].rfind("8/3 [TLV] ", 0) == 0 &&
                        errs[0].find("length " + std::to_string(len)) != std::string::npos) << testing::PrintToString(errs);
        }
    }
}

// ----------------------------------------------------------------- compact form

const uint8_t* bytes_of(const ApMetricsResp& r) { return reinterpret_cast<const uint8_t*>(&r); }
Bytes sent(int n) { return Bytes(pApMetricsRespSendBuf, pApMetricsRespSendBuf + n); }
// Encodes a record of the caller's (the slot is empty) and releases the buffer.
Bytes encode(const ApMetricsResp& r)
{
    const int n = luSL_ApMetricsRespSendV2(bytes_of(r));
    EXPECT_LE(n, SOCKET_MAX_LENGTH);
    const Bytes out = sent(n);
    luSL_Msg_free(0x800C);
    return out;
}

TEST_F(Metrics, CompactBytes)
{
    const Bytes tlvs = stream({radio_metrics(kRuid1, 1), ap_metrics(kBssA, 1, 55, 0xA0, slice(kEsp, 0, 6)),
                               ext_metrics(kBssA, 0x10), traffic(sta(1), 0x200), link(sta(1), kBssA, 0x01020304, 0x05060708, 9),
                               wifi6(sta(1), {5, 6, 7, 8}), ext(sta(1), {xe(kBssA, 3, 4, 5, 6)})});
    const Bytes want = cat({raw({0x0C, 0x80, 1, 1}), kRuid1, raw({1, 2, 3, 4}), kBssA, u8(55), seq(0x10, 6, le32), // radio, BSS
                            slice(kEsp, 0, 3), zeros(3), slice(kEsp, 3, 3), zeros(3), le16(1), // ESP for BE and VO only
                            block(sta(1), 0x01020304, 0x05060708, 9, kBssA), seq(0x200, 7, le32), // station
                            raw({2, 5, 6, 7, 8}), le32(3000), le32(4000), le32(5), le32(6)});
    EXPECT_EQ(parse_n(rx, 0x800C, tlvs), want);
    EXPECT_EQ(parse(rx, 0x800C, tlvs), want); // the documented entry point too
    // An empty stream still goes out. (Reported stations without station TLVs are zero blocks
    // in OrdinalsAsTheWalkerCountsThemAndStationCountsCapped.)
    EXPECT_EQ(parse_n(rx, 0x800C, stream({})), raw({0x0C, 0x80, 0, 0}));
}

// Refused with nothing to send. (Eleven BSSs are refused the same way, through the parser, in
// ExportedOrdinalsBeyondTheTablesWriteNothing.)
TEST_F(Metrics, CompactCountsBeyondTheTablesAreRefused)
{
    auto rec = std::make_unique<ApMetricsResp>();
    rec->radio_num = 3;
    EXPECT_EQ(luSL_ApMetricsRespSendV2(bytes_of(*rec)), 0);
    rec->radio_num = 2;
    rec->bss_num = 1;
    rec->bss[0].sta_num = 65;
    EXPECT_EQ(luSL_ApMetricsRespSendV2(bytes_of(*rec)), 0);
    luSL_Msg_free(0x800C);
    EXPECT_EQ(errors(), (Lines{"4/3 [MSG] ApMetrcsResp: ERROR!!!: radio counts is bigger than MAX_RADIO_PER_DEVICE:3\n",
                               "4/3 [MSG] ApMetrcsResp: ERROR!!!: sta counts is bigger than MAX_STA_PER_BSS:65\n"}));
}

// Ten BSSs of 64 stations, no radios: BSSs 0 to 6 complete (ending at 29887), BSS 7 cut to 42
// stations (the 43rd would start at 32704), BSS 8 with none (ending at 32749), and BSS 9 left
// out, its 45 bytes no longer fitting. The record says what was sent.
TEST_F(Metrics, CompactTenFullBssesAreCutAtTheEndOfTheBuffer)
{
    pApMetricsResp = static_cast<ApMetricsResp*>(calloc(1, sizeof(ApMetricsResp))); // the library frees it
    ApMetricsResp& r = *pApMetricsResp;
    r.bss_num = 10;
    for (uint8_t b = 0; b < 10; ++b) {
        r.bss[b].bssid[5] = static_cast<uint8_t>(b + 1);
        r.bss[b].sta_num = 64;
        for (uint8_t s = 0; s < 64; ++s) r.bss[b].sta[s].mac[5] = s;
    }
    const int n = luSL_ApMetricsRespSendV2(nullptr); // the slot is encoded
    ASSERT_EQ(n, 32749);
    const Bytes got = sent(n);
    // The BSS count; BSS 7 where BSS 6 ended, its station count and last station; BSS 8 and its count.
    EXPECT_EQ(std::vector<unsigned>({got[2], got[29887 + 5], le16_at(got, 29887 + 43), got[29887 + 45 + 41 * 66 + 5],
                                     got[32704 + 5], le16_at(got, 32704 + 43)}), std::vector<unsigned>({9, 8, 42, 41, 9, 0}));
    EXPECT_EQ(Bytes({r.bss_num, uint8_t(r.bss[6].sta_num), uint8_t(r.bss[7].sta_num), uint8_t(r.bss[8].sta_num)}),
              Bytes({9, 64, 42, 0}));
    EXPECT_EQ(errors(), Lines(3, "4/3 [MSG] ApMetrcsResp: ERROR!!!: offset is bigger than SOCKET_MAX_LENGTH:32762\n"));

    // Room is checked for a whole record entry (76 bytes), not for the block: with one TID in
    // each of BSS 7's first 25 stations, its 42nd station would end at 32762 exactly, yet it is
    // left out.
    r.bss_num = 10;
    for (uint8_t b = 7; b < 10; ++b) r.bss[b].sta_num = 64;
    for (uint8_t s = 0; s < 25; ++s) r.bss[7].sta[s].tid_num = 1;
    ASSERT_EQ(luSL_ApMetricsRespSendV2(nullptr), 32688 + 45);
    EXPECT_EQ(le16_at(sent(32733), 29887 + 43), 41);
    EXPECT_EQ(r.bss[7].sta_num, 41);
    luSL_Msg_free(0x800C);
}

std::mt19937 rng(20240607);

// Every byte random, then counts in range: stations lean towards small counts so most
// records fit and some are cut.
void randomise(ApMetricsResp& r, int max_tid)
{
    for (size_t i = 0; i < sizeof r; ++i) reinterpret_cast<uint8_t*>(&r)[i] = static_cast<uint8_t>(rng());
    r.hdr = {0x0C, 0x80};
    r.radio_num = static_cast<uint8_t>(rng() % 3);
    r.bss_num = static_cast<uint8_t>(rng() % 11);
    for (ApMetricsBss& b : r.bss) {
        b.sta_num = static_cast<uint16_t>(rng() % (rng() % 2 ? 9 : 65));
        for (ApMetricsSta& s : b.sta) s.tid_num = static_cast<uint8_t>(rng() % (max_tid + 1));
    }
}

// Back from the view to a record. Runs of fields that both hold in the same order (the radio
// entries, the BSS and station counters, host order) are copied whole.
void to_record(const luSL_ApMetricsView& v, ApMetricsResp& r)
{
    static_assert(sizeof v.radio == sizeof r.radio);
    std::memset(&r, 0, sizeof r);
    r.hdr = {0x0C, 0x80};
    r.radio_num = v.radio_num;
    r.bss_num = v.bss_num;
    std::memcpy(r.radio, v.radio, sizeof r.radio);
    for (int b = 0; b < 10; ++b) {
        ApMetricsBss& rb = r.bss[b];
        const luSL_ApMetricsBssView& vb = v.bss[b];
        std::memcpy(rb.bssid, vb.bssid, 6);
        std::memcpy(rb.esp, vb.esp, sizeof rb.esp);
        std::memcpy(&rb.uc_bytes_sent, &vb.uc_bytes_sent, 24);
        rb.ch_util = vb.ch_util;
        rb.sta_num = vb.sta_num;
        for (int s = 0; s < 64; ++s) {
            ApMetricsSta& rs = rb.sta[s];
            const luSL_ApMetricsStaView& vs = vb.sta[s];
            std::memcpy(rs.mac, vs.mac, 6);
            std::memcpy(rs.bssid, vs.bssid, 6);
            std::memcpy(rs.tid, vs.tid, sizeof rs.tid);
            std::memcpy(&rs.est_rate_ul, &vs.est_rate_ul, 8);
            std::memcpy(&rs.traffic, &vs.bytes_sent, 28);
            std::memcpy(&rs.last_dl_rate, &vs.last_dl_rate, 16);
            rs.rcpi_ul = vs.rcpi_ul;
            rs.tid_num = vs.tid_num;
        }
    }
}

// Random records, encoded, decoded, back to a record and encoded again, identical. The first
// has every count at its maximum and 4 to 255 TIDs per station, sent as four: six BSSs of
// 45 + 64 * 74 bytes after 24 of head and radios, the seventh cut after 54 stations (the 55th
// would start at 32751). The buffer is exactly 32762 bytes of heap, so ASan sees any write
// past it. (Which entry each field is taken from is pinned by the exact tests above.)
TEST_F(Metrics, CompactRandomRecordsRoundTrip)
{
    auto view = std::make_unique<luSL_ApMetricsView>();
    auto rec = std::make_unique<ApMetricsResp>(), again = std::make_unique<ApMetricsResp>();
    for (int i = 0; i < 300; ++i) {
        SCOPED_TRACE(i);
        randomise(*rec, i % 10 ? 4 : 255);
        for (ApMetricsBss& b : rec->bss) if (i % 5 == 0) b.sta_num = static_cast<uint16_t>(i ? 40 + rng() % 25 : 64);
        if (i == 0) {
            rec->radio_num = 2;
            rec->bss_num = 10;
            for (ApMetricsBss& b : rec->bss) for (ApMetricsSta& s : b.sta) s.tid_num |= 4;
        }
        const Bytes wire = encode(*rec);
        ASSERT_EQ(luSL_ApMetricsResp_decode(wire.data(), wire.size(), view.get()), 0);
        EXPECT_EQ(view->length, wire.size());
        EXPECT_TRUE(i != 0 || (wire.size() == 32751 && view->bss[6].sta[53].tid_num == 4)) << wire.size();
        to_record(*view, *again);
        ASSERT_EQ(encode(*again), wire);
    }
}

// A well-formed compact message of r radios and b BSSs, the first with s stations of t TIDs.
Bytes message(unsigned r, unsigned b, unsigned s, unsigned t)
{
    Bytes m = cat({raw({0x0C, 0x80, b, r}), zeros(10 * r)});
    for (unsigned i = 0; i < b; ++i) {
        m = cat({m, zeros(43), le16(i ? 0 : s)});
        for (unsigned j = 0; j < (i ? 0 : s); ++j) m = cat({m, zeros(49), u8(t), zeros(2 * t + 16)});
    }
    return m;
}

TEST_F(Metrics, DecoderRefusesMalformedAndTruncatedInput)
{
    auto view = std::make_unique<luSL_ApMetricsView>();
    auto decode = [&](const Bytes& b) { return luSL_ApMetricsResp_decode(b.data(), b.size(), view.get()); };
    const Bytes wire = message(2, 2, 2, 3);
    // A whole receive buffer, stale bytes after the message, decodes to the message's length.
    ASSERT_EQ(decode(cat({wire, fill(SOCKET_MAX_LENGTH - wire.size(), 0xEE)})), 0);
    EXPECT_EQ(view->length, wire.size());
    // Each cut in a heap block of its own size, so ASan sees a read past it.
    for (size_t len = 0; len < wire.size(); ++len) {
        view->bss_num = 7;
        EXPECT_EQ(decode(slice(wire, 0, len)), -1) << len;
        EXPECT_EQ(view->bss_num, 0); // zeroed on refusal
    }
    // Each count one past its limit, with every byte it announces there; a wrong header.
    EXPECT_EQ(decode(message(2, 10, 64, 4)), 0);
    for (const Bytes& m : {message(3, 0, 0, 0), message(0, 11, 0, 0), message(0, 1, 65, 0), message(0, 1, 1, 5),
                           raw({0x0D, 0x80, 0, 0}), raw({0x0C, 0x81, 0, 0})})
        EXPECT_EQ(decode(m), -1) << testing::PrintToString(slice(m, 0, 4));
    EXPECT_EQ(luSL_ApMetricsResp_decode(nullptr, 10, view.get()), -1);
    EXPECT_EQ(luSL_ApMetricsResp_decode(wire.data(), wire.size(), nullptr), -1);
}

} // namespace
} // namespace lusl::test
