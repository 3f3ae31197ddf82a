// The compact AP Metrics Response: exact bytes, refusals, the cut at the end of the
// buffer, and the decoder of the receiving side.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

const Bytes kBssA = mac("02:aa:00:00:00:01");
const Bytes kRuid = mac("02:cc:00:00:00:01");
const Bytes kSta = mac("02:11:00:00:00:01");
const std::string kNoRoom = "[MSG] ApMetrcsResp: ERROR!!!: offset is bigger than SOCKET_MAX_LENGTH:32762\n";

Bytes le16(unsigned v) { return raw({v & 0xFF, v >> 8 & 0xFF}); }
Bytes le32(uint32_t v) { return raw({v & 0xFF, v >> 8 & 0xFF, v >> 16 & 0xFF, v >> 24}); }
Bytes seven(uint32_t base, Bytes (*enc)(uint32_t))
{
    Bytes v;
    for (uint32_t i = 1; i <= 7; ++i) v = cat({v, enc(base + i)});
    return v;
}
Bytes be32v(uint32_t v) { return be32(v); }

// Encodes a record of the caller's (the slot is empty) and releases the buffer.
Bytes encode(const ApMetricsResp& r)
{
    const int n = luSL_ApMetricsRespSendV2(reinterpret_cast<const uint8_t*>(&r));
    EXPECT_GE(n, 0);
    EXPECT_LE(n, SOCKET_MAX_LENGTH);
    Bytes out(pApMetricsRespSendBuf, pApMetricsRespSendBuf + n);
    luSL_Msg_free(0x800C);
    return out;
}

struct Record {
    Bytes bytes = Bytes(sizeof(ApMetricsResp), 0);
    ApMetricsResp& r = *reinterpret_cast<ApMetricsResp*>(bytes.data());
    Record() { r.hdr = {0x0C, 0x80}; }
};

struct Compact : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override
    {
        EXPECT_TRUE(all_slots_null());
        luSL_Msg_free(0x800C); // a failed test must not leave its record to the next
    }
};

TEST_F(Compact, OneRadioOneBssOneStationTwoTids)
{
    const Bytes tlvs = stream({
        tlv(0xC6, {kRuid, raw({1, 2, 3, 4})}),
        tlv(0x94, {kBssA, u8(55), be16(1), u8(0x80), raw({0xE1, 0xE2, 0xE3})}),
        tlv(0xC7, {kBssA, be32(0x11), be32(0x12), be32(0x13), be32(0x14), be32(0x15), be32(0x16)}),
        tlv(0xA2, {kSta, seven(0x200, be32v)}),
        tlv(0x96, {kSta, u8(1), kBssA, be32(99), be32(0x01020304), be32(0x05060708), u8(9)}),
        tlv(0xB0, {kSta, u8(2), raw({5, 6, 7, 8})}),
        tlv(0xC8, {kSta, u8(1), kBssA, be32(3), be32(4), be32(5), be32(6)}),
    });
    auto got = parse_n(rx, 0x800C, tlvs);
    ASSERT_TRUE(got);
    const Bytes want = cat({
        raw({0x0C, 0x80, 1, 1}), kRuid, raw({1, 2, 3, 4}),                                        // radio
        kBssA, u8(55), le32(0x11), le32(0x12), le32(0x13), le32(0x14), le32(0x15), le32(0x16), // BSS
        raw({0xE1, 0xE2, 0xE3}), zeros(9), le16(1),                                              //
        kSta, le32(0x05060708), le32(0x01020304), u8(9), kBssA, seven(0x200, le32),             // station
        raw({2, 5, 6, 7, 8}), le32(3000), le32(4000), le32(5), le32(6),
    });
    EXPECT_EQ(want.size(), 129u);
    EXPECT_EQ(*got, want);
    // Same through the documented parser entry point.
    EXPECT_EQ(parse(rx, 0x800C, tlvs), want);
}

TEST_F(Compact, ReportedStationsWithoutStationTlvsAreZeroBlocks)
{
    auto got = parse_n(rx, 0x800C, stream({tlv(0x94, {kBssA, u8(1), be16(3), u8(0)})}));
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, cat({raw({0x0C, 0x80, 1, 0}), kBssA, u8(1), zeros(36), le16(3), zeros(3 * 66)}));
    // An empty stream still goes out, as the bare header and counts.
    EXPECT_EQ(parse_n(rx, 0x800C, stream({})), raw({0x0C, 0x80, 0, 0}));
}

TEST_F(Compact, CountsBeyondTheTablesAreRefused)
{
    Record rec;
    rec.r.radio_num = 3;
    EXPECT_EQ(luSL_ApMetricsRespSendV2(rec.bytes.data()), 0);
    ASSERT_NE(pApMetricsRespSendBuf, nullptr); // allocated and partly written
    EXPECT_EQ(Bytes(pApMetricsRespSendBuf, pApMetricsRespSendBuf + 4), raw({0x0C, 0x80, 0, 3}));
    uint8_t* const first = pApMetricsRespSendBuf;

    rec.r.radio_num = 2;
    rec.r.bss_num = 11;
    std::memset(rec.r.radio, 0x5A, sizeof rec.r.radio);
    EXPECT_EQ(luSL_ApMetricsRespSendV2(rec.bytes.data()), 0);
    EXPECT_EQ(pApMetricsRespSendBuf, first); // a second encoding reuses the buffer
    EXPECT_EQ(Bytes(pApMetricsRespSendBuf, pApMetricsRespSendBuf + 24), cat({raw({0x0C, 0x80, 11, 2}), fill(20, 0x5A)}));

    rec.r.bss_num = 1;
    rec.r.bss[0].sta_num = 65;
    EXPECT_EQ(luSL_ApMetricsRespSendV2(rec.bytes.data()), 0);
    luSL_Msg_free(0x800C);

    const auto errors = log.at_most(3);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0], (LogLine{4, 3, "", "[MSG] ApMetrcsResp: ERROR!!!: radio counts is bigger than MAX_RADIO_PER_DEVICE:3\n"}));
    EXPECT_EQ(errors[1], (LogLine{4, 3, "", "[MSG] ApMetrcsResp: ERROR!!!: bss counts is bigger than MAX_BSS_PER_DEVICE:11\n"}));
    EXPECT_EQ(errors[2], (LogLine{4, 3, "", "[MSG] ApMetrcsResp: ERROR!!!: sta counts is bigger than MAX_STA_PER_BSS:65\n"}));
}

// Ten BSSs of 64 stations, no radios: BSSs 0 to 6 complete (ending at 29887), BSS 7 cut
// to 42 stations (the 43rd would start at 32704), BSS 8 with none (ending at 32749), and
// BSS 9 left out, its 45 bytes no longer fitting.
TEST_F(Compact, TenFullBssesAreCutAtTheEndOfTheBuffer)
{
    pApMetricsResp = static_cast<ApMetricsResp*>(calloc(1, sizeof(ApMetricsResp)));
    ApMetricsResp& r = *pApMetricsResp;
    r.hdr = {0x0C, 0x80};
    r.bss_num = 10;
    for (uint8_t b = 0; b < 10; ++b) {
        r.bss[b].bssid[5] = static_cast<uint8_t>(b + 1);
        r.bss[b].sta_num = 64;
        for (uint8_t s = 0; s < 64; ++s) r.bss[b].sta[s].mac[5] = s;
    }
    const int n = luSL_ApMetricsRespSendV2(nullptr); // the slot is encoded
    ASSERT_EQ(n, 32749);
    const Bytes got(pApMetricsRespSendBuf, pApMetricsRespSendBuf + n);
    EXPECT_EQ(got[2], 9);
    EXPECT_EQ(got[29887 + 5], 8); // BSS 7 starts where BSS 6 ended
    EXPECT_EQ(le16_at(got, 29887 + 43), 42);
    EXPECT_EQ(got[29887 + 45 + 41 * 66 + 5], 41); // its last station
    EXPECT_EQ(got[32704 + 5], 9);
    EXPECT_EQ(le16_at(got, 32704 + 43), 0);
    // The record says what was sent.
    EXPECT_EQ(r.bss_num, 9);
    EXPECT_EQ(r.bss[6].sta_num + 0, 64);
    EXPECT_EQ(r.bss[7].sta_num + 0, 42);
    EXPECT_EQ(r.bss[8].sta_num + 0, 0);
    EXPECT_EQ(log.texts(), (std::vector<std::string>{kNoRoom, kNoRoom, kNoRoom}));

    // Room is checked for a whole record entry (76 bytes), not for the block: with one TID
    // in each of BSS 7's first 25 stations, its 42nd station would start at 32688 and end
    // at 32762 exactly, yet it is left out.
    r.bss_num = 10;
    for (uint8_t b = 7; b < 10; ++b) r.bss[b].sta_num = 64;
    for (uint8_t s = 0; s < 25; ++s) r.bss[7].sta[s].tid_num = 1;
    ASSERT_EQ(luSL_ApMetricsRespSendV2(nullptr), 32688 + 45);
    EXPECT_EQ(le16_at(Bytes(pApMetricsRespSendBuf, pApMetricsRespSendBuf + 32733), 29887 + 43), 41);
    EXPECT_EQ(r.bss[7].sta_num + 0, 41);
    luSL_Msg_free(0x800C);

    // The same through the parser.
    Bytes s;
    for (int b = 0; b < 10; ++b) s = cat({s, tlv(0x94, {kBssA, u8(0), be16(64), u8(0)})});
    auto sent = parse_n(rx, 0x800C, s);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->size(), 32749u);
}

std::mt19937 rng(20240607);
uint8_t byte() { return static_cast<uint8_t>(rng()); }

// Every byte random, then counts in range: stations lean towards small counts so most
// records fit and some are cut.
void randomise(ApMetricsResp& r, int max_sta, int max_tid)
{
    auto* p = reinterpret_cast<uint8_t*>(&r);
    for (size_t i = 0; i < sizeof r; ++i) p[i] = byte();
    r.hdr = {0x0C, 0x80};
    r.radio_num = static_cast<uint8_t>(rng() % 3);
    r.bss_num = static_cast<uint8_t>(rng() % 11);
    for (ApMetricsBss& b : r.bss) {
        const bool small = rng() % 2;
        b.sta_num = static_cast<uint16_t>(rng() % ((small ? 8 : max_sta) + 1));
        for (ApMetricsSta& s : b.sta) s.tid_num = static_cast<uint8_t>(rng() % (max_tid + 1));
    }
}

// Back from the view to a record, by field name.
void to_record(const luSL_ApMetricsView& v, ApMetricsResp& r)
{
    std::memset(&r, 0, sizeof r);
    r.hdr = {0x0C, 0x80};
    r.radio_num = v.radio_num;
    r.bss_num = v.bss_num;
    for (int i = 0; i < 2; ++i) {
        std::memcpy(r.radio[i].ruid, v.radio[i].ruid, 6);
        r.radio[i].noise = v.radio[i].noise;
        r.radio[i].transmit = v.radio[i].transmit;
        r.radio[i].receive_self = v.radio[i].receive_self;
        r.radio[i].receive_other = v.radio[i].receive_other;
    }
    for (int b = 0; b < 10; ++b) {
        ApMetricsBss& rb = r.bss[b];
        const luSL_ApMetricsBssView& vb = v.bss[b];
        std::memcpy(rb.bssid, vb.bssid, 6);
        rb.ch_util = vb.ch_util;
        rb.sta_num = vb.sta_num;
        rb.uc_bytes_sent = vb.uc_bytes_sent;
        rb.uc_bytes_received = vb.uc_bytes_received;
        rb.mc_bytes_sent = vb.mc_bytes_sent;
        rb.mc_bytes_received = vb.mc_bytes_received;
        rb.bc_bytes_sent = vb.bc_bytes_sent;
        rb.bc_bytes_received = vb.bc_bytes_received;
        std::memcpy(rb.esp, vb.esp, sizeof rb.esp);
        for (int s = 0; s < 64; ++s) {
            ApMetricsSta& rs = rb.sta[s];
            const luSL_ApMetricsStaView& vs = vb.sta[s];
            std::memcpy(rs.mac, vs.mac, 6);
            std::memcpy(rs.bssid, vs.bssid, 6);
            rs.est_rate_ul = vs.est_rate_ul;
            rs.est_rate_dl = vs.est_rate_dl;
            rs.rcpi_ul = vs.rcpi_ul;
            rs.traffic = {vs.bytes_sent,       vs.bytes_received,    vs.packets_sent, vs.packets_received,
                          vs.tx_packets_errors, vs.rx_packets_errors, vs.retrans_count};
            rs.tid_num = vs.tid_num;
            std::memcpy(rs.tid, vs.tid, sizeof rs.tid);
            rs.last_dl_rate = vs.last_dl_rate;
            rs.last_ul_rate = vs.last_ul_rate;
            rs.util_rx = vs.util_rx;
            rs.util_tx = vs.util_tx;
        }
    }
}

// What the compact form carries of r equals what came back by field name into back:
// header and counts aside, every radio, BSS and station byte but the station's two
// reserved bytes, the TIDs beyond its count and the ESP include flags.
void expect_carried(const ApMetricsResp& r, const ApMetricsResp& back)
{
    const auto* a = reinterpret_cast<const uint8_t*>(&r);
    const auto* b = reinterpret_cast<const uint8_t*>(&back);
    auto same = [&](size_t at, size_t n) { EXPECT_EQ(Bytes(a + at, a + at + n), Bytes(b + at, b + at + n)) << at; };
    EXPECT_EQ(back.radio_num, r.radio_num);
    same(4, 10u * r.radio_num);
    EXPECT_LE(back.bss_num, r.bss_num);
    for (size_t i = 0; i < back.bss_num; ++i) {
        const size_t bss = 24 + 4910 * i;
        same(bss, 7);
        same(bss + 4873, 24);
        same(bss + 4898, 12);
        EXPECT_LE(back.bss[i].sta_num, r.bss[i].sta_num);
        for (size_t s = 0; s < back.bss[i].sta_num; ++s) {
            const size_t sta = bss + 9 + 76 * s;
            const uint8_t n = back.bss[i].sta[s].tid_num;
            EXPECT_EQ(n, std::min<uint8_t>(r.bss[i].sta[s].tid_num, 4));
            same(sta + 2, 49);
            same(sta + 52, 2u * n);
            same(sta + 60, 16);
        }
    }
}

TEST_F(Compact, RandomRecordsRoundTrip)
{
    auto view = std::make_unique<luSL_ApMetricsView>();
    Record rec, again;
    int cut = 0;
    for (int i = 0; i < 300; ++i) {
        SCOPED_TRACE(i);
        randomise(rec.r, 64, i % 10 ? 4 : 255);
        if (i % 5 == 0)
            for (ApMetricsBss& b : rec.r.bss) b.sta_num = static_cast<uint16_t>(40 + rng() % 25);
        const Bytes wire = encode(rec.r);
        ASSERT_GE(wire.size(), 4u);
        ASSERT_EQ(luSL_ApMetricsResp_decode(wire.data(), wire.size(), view.get()), 0);
        EXPECT_EQ(view->length, wire.size());
        to_record(*view, again.r);
        expect_carried(rec.r, again.r);
        bool shorter = view->bss_num < rec.r.bss_num;
        for (int b = 0; b < view->bss_num; ++b) shorter |= view->bss[b].sta_num < rec.r.bss[b].sta_num;
        cut += shorter;
        ASSERT_EQ(encode(again.r), wire);
        // A whole receive buffer, stale bytes after the message, decodes the same.
        Bytes padded = wire;
        padded.resize(SOCKET_MAX_LENGTH, 0xEE);
        ASSERT_EQ(luSL_ApMetricsResp_decode(padded.data(), padded.size(), view.get()), 0);
        EXPECT_EQ(view->length, wire.size());
    }
    EXPECT_GT(cut, 0); // the cut path was exercised
}

// Every count at its maximum: two radios, ten BSSs of 64 stations, each claiming 255 TIDs.
// The buffer is exactly 32762 bytes of heap, so a write past it fails under ASan.
TEST_F(Compact, FullRecordStaysInsideTheBuffer)
{
    Record rec;
    auto view = std::make_unique<luSL_ApMetricsView>();
    for (int i = 0; i < 20; ++i) {
        randomise(rec.r, 64, 255);
        rec.r.radio_num = 2;
        rec.r.bss_num = 10;
        for (ApMetricsBss& b : rec.r.bss) {
            b.sta_num = 64;
            for (ApMetricsSta& s : b.sta) s.tid_num = i ? static_cast<uint8_t>(4 + rng() % 252) : 4;
        }
        const Bytes wire = encode(rec.r);
        // 24 bytes of head and radios, BSSs of 45 + 64 * 74 bytes: six complete, the
        // seventh cut after 54 stations (the 55th would start at 32751), no room for the eighth.
        ASSERT_EQ(wire.size(), 32751u);
        EXPECT_EQ(wire[2], 7);
        EXPECT_EQ(le16_at(wire, 24 + 6 * (45 + 64 * 74) + 43), 54);
        ASSERT_EQ(luSL_ApMetricsResp_decode(wire.data(), wire.size(), view.get()), 0);
        EXPECT_EQ(view->bss[6].sta[53].tid_num, 4);
    }
}

TEST_F(Compact, DecoderRefusesMalformedAndTruncatedInput)
{
    auto view = std::make_unique<luSL_ApMetricsView>();
    Record rec;
    randomise(rec.r, 3, 4);
    rec.r.radio_num = 2;
    rec.r.bss_num = 2;
    rec.r.bss[1].sta_num = 2;
    rec.r.bss[1].sta[1].tid_num = 3;
    const Bytes wire = encode(rec.r);
    ASSERT_EQ(luSL_ApMetricsResp_decode(wire.data(), wire.size(), view.get()), 0);

    // Each cut is a heap block of its own size, so reading past it fails under ASan.
    for (size_t len = 0; len < wire.size(); ++len) {
        const Bytes cut = slice(wire, 0, len);
        auto* copy = static_cast<uint8_t*>(malloc(len ? len : 1));
        if (len) std::memcpy(copy, cut.data(), len);
        view->bss_num = 7;
        EXPECT_EQ(luSL_ApMetricsResp_decode(copy, len, view.get()), -1) << len;
        EXPECT_EQ(view->bss_num, 0); // zeroed on refusal
        free(copy);
    }

    auto patched = [&](size_t at, uint8_t v) {
        Bytes b = wire;
        b[at] = v;
        return luSL_ApMetricsResp_decode(b.data(), b.size(), view.get());
    };
    EXPECT_EQ(patched(0, 0x0D), -1); // not an AP Metrics Response
    EXPECT_EQ(patched(1, 0x00), -1);
    EXPECT_EQ(patched(3, 3), -1);  // three radios
    EXPECT_EQ(patched(2, 11), -1); // eleven BSSs
    EXPECT_EQ(luSL_ApMetricsResp_decode(nullptr, 10, view.get()), -1);
    EXPECT_EQ(luSL_ApMetricsResp_decode(wire.data(), wire.size(), nullptr), -1);

    // A station count above 64, a TID count above 4.
    Record one;
    one.r.bss_num = 1;
    one.r.bss[0].sta_num = 1;
    one.r.bss[0].sta[0].tid_num = 4;
    Bytes w = encode(one.r);
    ASSERT_EQ(w.size(), 4u + 45 + 74);
    ASSERT_EQ(luSL_ApMetricsResp_decode(w.data(), w.size(), view.get()), 0);
    w[4 + 43] = 65;
    EXPECT_EQ(luSL_ApMetricsResp_decode(w.data(), w.size(), view.get()), -1);
    w[4 + 43] = 1;
    w[4 + 45 + 49] = 5;
    w.resize(w.size() + 2);
    EXPECT_EQ(luSL_ApMetricsResp_decode(w.data(), w.size(), view.get()), -1);
}

// Many messages, sent, refused by a handler, refused by the encoder or cut: nothing stays
// allocated (the leak checker of the ASan build has the last word).
TEST_F(Compact, ManyMessagesLeaveNothingAllocated)
{
    const Bytes bss = tlv(0x94, {kBssA, u8(0), be16(64), u8(0)});
    const Bytes sta = tlv(0x96, {kSta, u8(1), kBssA, zeros(13)});
    Bytes eleven, full;
    for (int i = 0; i < 11; ++i) eleven = cat({eleven, bss});
    for (int i = 0; i < 10; ++i) full = cat({full, bss, sta});
    const Bytes messages[] = {
        stream({bss, sta}),
        stream({tlv(0xC7, {kBssA, zeros(24)}), bss}), // extended metrics first: not sent
        eleven,                                       // refused by the encoder
        full,                                         // cut
        cat({bss, tlv(0x96, {kSta, u8(1)})}),         // truncated
        stream({bss, tlv(0xA2, zeros(10))}),
    };
    for (int i = 0; i < 100; ++i) {
        for (const Bytes& m : messages) {
            parse_n(rx, 0x800C, m);
            ASSERT_TRUE(all_slots_null());
        }
    }
    while (!rx.empty()) rx.recv(0);
}

} // namespace
} // namespace lusl::test
