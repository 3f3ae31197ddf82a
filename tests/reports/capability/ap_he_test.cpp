// AP Capability Report: HE, Wi-Fi 6 and vendor EHT capabilities, the whole report end to
// end, and every capability TLV cut short.
#include <gtest/gtest.h>

#include <algorithm>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

constexpr size_t kRecSize = 11426;
constexpr size_t radio(int r) { return 10 + 5635 * static_cast<size_t>(r); }

const Bytes kR0 = mac("02:00:00:00:01:00");
const Bytes kR1 = mac("02:00:00:00:02:00");
const Bytes kUnknown = mac("02:ee:ee:ee:ee:ee");
const Bytes kDev = mac("02:de:00:00:00:01");
const Bytes kOuiA = raw({0x00, 0x0C, 0xE7});
const Bytes kOuiB = raw({0x00, 0x10, 0x18});

Bytes summary(unsigned bw, unsigned sgi, unsigned tx, unsigned rx, unsigned phy, unsigned mcs)
{
    return raw({bw & 0xFF, bw >> 8, sgi, tx, rx, phy, mcs});
}
Bytes summary_of(const Bytes& rec, int r) { return slice(rec, radio(r) + 6, 7); }
Bytes basic(const Bytes& ruid) { return tlv(0x85, {ruid, u8(4), u8(0)}); }
Bytes ht(const Bytes& ruid, unsigned h) { return tlv(0x86, {ruid, u8(h)}); }
Bytes he(const Bytes& ruid, const Bytes& mcs, unsigned s, unsigned flags)
{
    return tlv(0x88, {ruid, u8(static_cast<unsigned>(mcs.size())), mcs, u8(s), u8(flags)});
}
Bytes role(unsigned w, const Bytes& mcs, unsigned bf, unsigned mu, unsigned dl, unsigned ul, unsigned rts)
{
    return cat({u8(w), mcs, raw({bf, mu, dl, ul, rts})});
}
Bytes eht_entry(const Bytes& ruid, unsigned tx, unsigned rx, unsigned code)
{
    return cat({ruid, raw({tx, rx, code, 0xAA, 0xAA})});
}
Bytes eht_a(unsigned n, const Bytes& entries) { return tlv(0x0B, {kOuiA, u8(0x16), u8(n), entries}); }
Bytes sub_b(const Bytes& ruid, const Bytes& skipped, unsigned nss, unsigned flags)
{
    const unsigned k = static_cast<unsigned>(skipped.size());
    return cat({u8(0x15), be16(6 + 1 + k + 2), ruid, u8(k), skipped, u8(nss), u8(flags)});
}

struct ApCapPhy : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
    Bytes sent(const Bytes& tlvs)
    {
        auto got = parse_n(rx, 0x8002, tlvs, kDev);
        EXPECT_TRUE(got);
        if (!got) return Bytes(kRecSize, 0);
        EXPECT_EQ(got->size(), kRecSize);
        return *got;
    }
    void refused(const Bytes& tlvs, const char* line)
    {
        log.clear();
        EXPECT_FALSE(parse_n(rx, 0x8002, tlvs, kDev)) << line;
        EXPECT_TRUE(log.contains(8, 3, line)) << line;
    }
};

TEST_F(ApCapPhy, HeSpatialStreamsAndHighestMcs)
{
    const Bytes b80 = raw({0xFF, 0xFC, 0xFF, 0xFF}), b160 = raw({0xFF, 0xFD, 0, 0}), b8080 = raw({0xFF, 0xFE, 0, 0});
    const struct {
        Bytes mcs;
        unsigned s, tx, rx, max_mcs;
    } cases[] = {
        {raw({0xFF, 0xFE, 0xFF, 0xFE}), 0x24, 2, 2, 11},
        {{}, 0xE0, 8, 1, 7},                      // no block: 7
        {cat({b80, b160}), 0x01, 1, 1, 9},        // 160 MHz block decides
        {cat({b80, b160}), 0x00, 1, 1, 7},        // not announced: the first block decides
        {cat({b80, b160}), 0x02, 1, 1, 9},        // 80+80 MHz takes the second block
        {cat({b80, b160, b8080}), 0x1F, 1, 8, 11},
        {cat({b8080, u8(0xFD)}), 0x01, 1, 1, 11}, // a partial block is not read
    };
    for (const auto& c : cases) {
        auto rec = sent(stream({basic(kR0), ht(kR0, 0x02), he(kR0, c.mcs, c.s, 0x5A)}));
        // HE leaves the bandwidth and short GI masks alone.
        EXPECT_EQ(summary_of(rec, 0), summary(0x03, 0, c.tx, c.rx, 0x05, c.max_mcs)) << c.mcs.size() << " " << c.s;
        EXPECT_EQ(rec[radio(0) + 5634], 0x5A);
    }
    EXPECT_TRUE(log.contains(8, 7, "[TLV] APHECap: TxNss=2, RxNss=2, support phytype=05, max_mcs=11\n"));
}

TEST_F(ApCapPhy, HeFailuresKeepTheReportFromBeingSent)
{
    refused(stream({basic(kR0), he(kR1, {}, 0, 0)}), "[TLV] HE Unmatched radio mac\n");
    refused(stream({basic(kR0), tlv(0x88, {kR0, u8(0), u8(0x24)})}), "[TLV] APHECap: length error\n");
    // The lookup comes first.
    refused(stream({basic(kR0), tlv(0x88, {kUnknown, u8(0), u8(0x24)})}), "[TLV] HE Unmatched radio mac\n");
    refused(stream({basic(kR0), tlv(0x88, {zeros(5)})}), "[TLV] APHECap: length error\n");
    // L runs past the TLV.
    refused(stream({basic(kR0), tlv(0x88, {kR0, u8(4), raw({0xFF, 0xFE, 0x24})})}),
            "[TLV] APHECap: TLV length 10 is too short for its content\n");
}

TEST_F(ApCapPhy, Wifi6RolesAreRepacked)
{
    const Bytes roles = cat({role(0x84, raw({0x11, 0x22, 0x33, 0x44}), 0x80, 0x21, 8, 9, 0x01),
                             role(0x78, raw({1, 2, 3, 4, 5, 6, 7, 8}), 0x01, 0x0F, 3, 4, 0xC2),
                             role(0x0C, fill(12, 0xEE), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF)}); // no room: stepped over
    auto rec = sent(stream({basic(kR1), basic(kR0), tlv(0xAA, {kR0, u8(3), roles}), ht(kR0, 0)}));
    EXPECT_EQ(slice(rec, radio(1) + 5525, 37),
              cat({u8(3), raw({0x42, 0x11, 0x22, 0x33, 0x44}), zeros(8), raw({0x01, 0x12, 8, 9, 0x80}),
                   raw({0x8D, 1, 2, 3, 4, 5, 6, 7, 8}), zeros(4), raw({0x80, 0xF0, 3, 4, 0x43})}));
    EXPECT_EQ(summary_of(rec, 1), summary(0x01, 0, 1, 1, 0x01, 7));
    for (const char* line : {"[TLV] ApWifi6Cap : radio_idx(1) number_of_roles(3)\n",
                             "[TLV] ApWifi6Cap : agent role to MCS NSS Length(132)\n",
                             "[TLV] ApWifi6Cap : SU Beamformer to DL OFDMA(128)\n",
                             "[TLV] ApWifi6Cap : Max DL MU-MIMO TX to Max DL MU-MIMO RX(33)\n",
                             "[TLV] ApWifi6Cap : Max DL OFDMA TX(8), Max UL OFDMA RX(9)\n",
                             "[TLV] ApWifi6Cap : RTS to Anticipated Channel Usage(1)\n"})
        EXPECT_TRUE(log.contains(8, 7, line)) << line;
    EXPECT_FALSE(log.contains(8, 7, "[TLV] ApWifi6Cap : agent role to MCS NSS Length(12)\n"));
}

TEST_F(ApCapPhy, Wifi6FailuresZeroTheRegionAndStopTheReport)
{
    const Bytes good = role(0x84, raw({1, 2, 3, 4}), 1, 2, 3, 4, 5);
    refused(stream({basic(kR0), tlv(0xAA, {kR1, u8(1), good})}), "[TLV] Wifi6 Unmatched radio mac\n");
    refused(stream({basic(kR0), tlv(0xAA, {kR0, u8(1), role(0x06, zeros(6), 0, 0, 0, 0, 0)})}),
            "[TLV] ApWifi6Cap : MCS NSS Length Error, Len=6\n");

    // Through the exported extractors the record is visible after the failure.
    Bytes rec(kRecSize, 0);
    const Bytes radio0 = cat({kR0, u8(4), u8(0)});
    ASSERT_EQ(tlv_APRadioBasicCapabilities_extract(radio0.data(), rec.data()), 0);
    const Bytes ok = cat({kR0, u8(1), good});
    ASSERT_EQ(tlv_APWifi6Capabilities_extract(ok.data(), rec.data()), 0);
    ASSERT_EQ(rec[radio(0) + 5525], 1);
    // A bad length on a role with no room fails all the same.
    const Bytes bad = cat({kR0, u8(3), good, good, role(0x03, zeros(3), 0, 0, 0, 0, 0)});
    EXPECT_EQ(tlv_APWifi6Capabilities_extract(bad.data(), rec.data()), -1);
    EXPECT_TRUE(log.contains(8, 3, "[TLV] ApWifi6Cap : MCS NSS Length Error, Len=3\n"));
    EXPECT_EQ(slice(rec, radio(0) + 5525, 37), zeros(37));
}

TEST_F(ApCapPhy, VendorEhtFormatA)
{
    auto rec = sent(stream({basic(kR0), basic(kR1),
                            eht_a(3, cat({eht_entry(kUnknown, 7, 7, 3), eht_entry(kR0, 1, 3, 2), eht_entry(kR1, 0, 0, 4)}))}));
    EXPECT_EQ(summary_of(rec, 0), summary(0x07, 0, 2, 4, 0x08, 13));
    EXPECT_EQ(summary_of(rec, 1), summary(0x00, 0, 1, 1, 0x08, 13));
    for (const char* line : {"[TLV] VendorSpec: check OUI = 00:0c:e7\n", "[TLV] AP EHT CAP: Radio 02:EE:EE:EE:EE:EE\n",
                             "[TLV] APEHTCap: TxNss=2, RxNss=4, support phytype=08, max_mcs=13, sup_bw=7\n"})
        EXPECT_TRUE(log.contains(8, 7, line)) << line;
    EXPECT_TRUE(log.contains(8, 3, "[TLV] AP EHT CAP, Radio not match, Radio 02:EE:EE:EE:EE:EE\n"));

    rec = sent(stream({basic(kR0), tlv(0x0B, {kOuiA, u8(0x17), u8(1), eht_entry(kR0, 1, 1, 1)})}));
    EXPECT_TRUE(log.contains(8, 4, "[TLV] VendorSpec: unknown TLV 0x17\n"));
    EXPECT_EQ(summary_of(rec, 0), zeros(7));
}

TEST_F(ApCapPhy, VendorEhtFormatB)
{
    // An unknown radio is passed over by its length; bit 0 of the flags wins over bit 1.
    auto rec = sent(stream({basic(kR0), basic(kR1),
                            tlv(0x0B, {kOuiB, sub_b(kUnknown, {}, 9, 1), sub_b(kR0, raw({0xAB, 0xCD}), 3, 0x03)}),
                            tlv(0x0B, {kOuiB, sub_b(kR1, {}, 2, 0x02)})}));
    EXPECT_EQ(summary_of(rec, 0), summary(0x1F, 0, 3, 3, 0x08, 13));
    EXPECT_EQ(summary_of(rec, 1), summary(0x0F, 0, 2, 2, 0x08, 13));
    EXPECT_TRUE(log.contains(8, 3, "[TLV] AP EHT CAP, Radio not match, Radio 02:EE:EE:EE:EE:EE\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] APEHTCap: TxNss=3, RxNss=3, support phytype=08, max_mcs=13, sup_bw=31\n"));

    // An unknown first sub-element is met twice and nothing is stored.
    log.clear();
    rec = sent(stream({basic(kR0), tlv(0x0B, {kOuiB, u8(0x16), sub_b(kR0, {}, 2, 1)})}));
    const std::vector<std::string> warn(2, "[TLV] VendorSpec: unknown TLV 0x16\n");
    EXPECT_EQ(log.at_most(4).size(), 2u);
    EXPECT_TRUE(log.contains(8, 4, warn[0]));
    EXPECT_EQ(summary_of(rec, 0), zeros(7));
}

TEST_F(ApCapPhy, OtherVendorsAndEmptyVendorTlv)
{
    auto rec = sent(stream({basic(kR0), tlv(0x0B, {raw({0x00, 0x11, 0x22}), u8(0x16), u8(1), eht_entry(kR0, 1, 1, 3)})}));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] VendorSpec: check OUI = 00:11:22\n"));
    EXPECT_EQ(summary_of(rec, 0), zeros(7));
    // A zero-length first TLV reaches the extractor, which fails it without a line.
    log.clear();
    EXPECT_FALSE(parse_n(rx, 0x8002, stream({tlv(0x0B, Bytes{}), basic(kR0)}), kDev));
    EXPECT_TRUE(log.at_most(3).empty());
}

TEST_F(ApCapPhy, TwoRadioReportLastWriterWins)
{
    auto rec = sent(stream({
        tlv(0xA1, {u8(0x80)}), basic(kR0), basic(kR1),
        ht(kR0, 0x6E), tlv(0x87, {kR0, be16(0xFFFE), be16(0xFFFE), u8(0x6B), u8(0x40)}),
        he(kR0, raw({0xFF, 0xFE, 0xFF, 0xFE}), 0x24, 0x5A),
        tlv(0xAA, {kR0, u8(1), role(0x84, raw({1, 2, 3, 4}), 0x80, 0x21, 8, 9, 0x01)}),
        eht_a(1, eht_entry(kR0, 3, 3, 3)),
        ht(kR1, 0x02), he(kR1, raw({0xFF, 0xFC, 0xFF, 0xFC, 0xFF, 0xFD, 0xFF, 0xFD}), 0x01, 0x11),
    }));
    EXPECT_EQ(slice(rec, 0, 10), cat({raw({0x02, 0x80}), kDev, raw({2, 0x80})}));
    EXPECT_EQ(summary_of(rec, 0), summary(0x0F, 0x0F, 4, 4, 0x0F, 13));
    EXPECT_EQ(summary_of(rec, 1), summary(0x03, 0x00, 1, 1, 0x05, 9));
    EXPECT_EQ(rec[radio(0) + 5562], 0x6E);
    EXPECT_EQ(rec[radio(0) + 5634], 0x5A);
    EXPECT_EQ(slice(rec, radio(0) + 5525, 2), raw({1, 0x42}));
    EXPECT_EQ(rec[radio(1) + 5634], 0x11);

    // EHT first, HT last: HT decides the streams and the MCS.
    rec = sent(stream({basic(kR0), eht_a(1, eht_entry(kR0, 1, 1, 1)), ht(kR0, 0x00)}));
    EXPECT_EQ(summary_of(rec, 0), summary(0x03, 0, 1, 1, 0x09, 7));
}

TEST_F(ApCapPhy, HeAndVendorShimsUseTheirLength)
{
    Bytes rec(kRecSize, 0);
    const Bytes radio0 = cat({kR0, u8(4), u8(0)});
    ASSERT_EQ(tlv_APRadioBasicCapabilities_extract(radio0.data(), rec.data()), 0);
    const Bytes v = cat({kR0, u8(0), u8(0x24), u8(7)});
    EXPECT_EQ(tlv_APHECapabilities_extract(v.data(), rec.data(), 8), -1);
    EXPECT_EQ(tlv_APHECapabilities_extract(v.data(), rec.data(), 9), 0);
    EXPECT_EQ(rec[radio(0) + 5634], 7);
    EXPECT_EQ(tlv_VendorSpecific_Eht_Cap_extract(kOuiA.data(), rec.data(), 0), -1);
}

Bytes str(const char* s) { return cat({u8(static_cast<unsigned>(std::string(s).size())), text(s)}); }

// Every capability TLV cut short one byte at a time: refused (one level-3 line, report not
// sent; the device inventory result is not used, so that report goes out) or, where the
// shorter value is itself well formed, read without complaint.
TEST_F(ApCapPhy, TruncatedTlvsAreRefused)
{
    const Bytes sub1 = sub_b(kR1, {}, 2, 2);
    const struct {
        uint8_t type;
        Bytes value;
        std::vector<size_t> well_formed;
    } cases[] = {
        {0x85, cat({kR0, u8(4), u8(2), raw({115, 23, 1, 36}), raw({81, 20, 0})}), {}},
        {0x86, cat({kR0, u8(0x6E)}), {}},
        {0x87, cat({kR0, be16(0xFFFE), be16(0xFFFE), u8(0x6B), u8(0x40)}), {}},
        {0x88, cat({kR0, u8(8), zeros(8), u8(0x01), u8(0x5A)}), {}},
        {0xAA, cat({kR0, u8(2), role(0x84, zeros(4), 1, 2, 3, 4, 5), role(0x78, zeros(8), 1, 2, 3, 4, 5)}), {}},
        {0x0B, cat({kOuiA, u8(0x16), u8(1), eht_entry(kR0, 1, 1, 2)}), {}},
        {0x0B, cat({kOuiB, sub1, sub_b(kR0, raw({1, 2}), 2, 1)}), {3, 3 + sub1.size()}},
        {0xA1, u8(1), {}},
        {0xA5, cat({u8(2), kR0, u8(0xE0), be32(300), u8(1), raw({1, 1, 6}), kR1, u8(0), be32(1), u8(0)}), {}},
        {0xA9, raw({1, 2, 3}), {}},
        {0xB2, cat({text("DE"), u8(1), kR0, u8(1), u8(1), be24(60), u8(1), raw({52, 1, 52})}), {}},
        {0xB4, raw({1, 2, 3, 4}), {}},
        {0xC5, be32(5), {}},
        {0xD4, cat({str("S"), str("sw"), str("env"), u8(1), kR0, str("acme")}), {}},
    };
    for (const auto& c : cases) {
        // Radios first, so that each TLV meets a known radio; a zero length cannot follow
        // another TLV, so the empty value is tried as the first TLV of its own stream.
        const Bytes prefix = c.type == 0x85 ? Bytes{} : cat({basic(kR0), basic(kR1)});
        const bool result_used = c.type != 0xD4;
        for (size_t len = 0; len < c.value.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "tlv 0x" << std::hex << int(c.type) << std::dec << " len " << len);
            log.clear();
            const Bytes cut(c.value.begin(), c.value.begin() + static_cast<long>(len));
            auto got = parse_n(rx, 0x8002, cat({len ? prefix : Bytes{}, tlv(c.type, cut)}), kDev);
            if (std::count(c.well_formed.begin(), c.well_formed.end(), len)) {
                EXPECT_TRUE(got);
                EXPECT_TRUE(log.at_most(3).empty());
                continue;
            }
            EXPECT_EQ(got.has_value(), !result_used);
            EXPECT_EQ(log.at_most(3).size(), c.type == 0x0B && len == 0 ? 0u : 1u);
        }
        log.clear();
        EXPECT_TRUE(parse_n(rx, 0x8002, cat({prefix, tlv(c.type, c.value)}), kDev)) << int(c.type);
        EXPECT_TRUE(log.at_most(3).empty()) << int(c.type);
    }
}

} // namespace
} // namespace lusl::test
