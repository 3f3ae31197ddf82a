// SPDX-License-Identifier: BSD-2-Clause
// AP Capability Report: a full two-radio report end to end, the per-generation summaries,
// the radio table, the device inventory, every refusal, and every TLV cut short.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

constexpr size_t kRecSize = 11426;
constexpr size_t radio(int r) { return 10 + 5635 * static_cast<size_t>(r); }

const Bytes kR0 = mac("02:00:00:00:01:00"), kR1 = mac("02:00:00:00:02:00"), kR2 = mac("02:00:00:00:03:00");
const Bytes kUnknown = mac("02:ee:ee:ee:ee:ee"), kDev = mac("02:de:00:00:00:01");
const Bytes kOuiA = raw({0x00, 0x0C, 0xE7}), kOuiB = raw({0x00, 0x10, 0x18});

// Bandwidth mask (le16), short GI, TxNss, RxNss, PHY types, highest MCS.
Bytes summary(unsigned bw, unsigned sgi, unsigned tx, unsigned rx, unsigned phy, unsigned mcs)
{
    return raw({bw & 0xFF, bw >> 8, sgi, tx, rx, phy, mcs});
}
Bytes counted(const Bytes& b) { return cat({u8(static_cast<unsigned>(b.size())), b}); }
Bytes chans(unsigned first, unsigned n) { Bytes out(n); std::iota(out.begin(), out.end(), first); return out; }
Bytes opclass(unsigned op, unsigned pwr, const Bytes& ch) { return cat({u8(op), u8(pwr), counted(ch)}); }
Bytes chan_list(unsigned op, const Bytes& ch) { return cat({u8(op), counted(ch)}); }
// Radio identifier, then maximum BSS count, number of operating classes and the classes.
Bytes basic(const Bytes& id, const Bytes& rest = raw({4, 0})) { return tlv(0x85, {id, rest}); }
Bytes ht(const Bytes& ruid, unsigned h) { return tlv(0x86, {ruid, u8(h)}); }
// Tx MCS map, Rx MCS map, then flag bytes A and B as one big-endian pair.
Bytes vht(const Bytes& id, unsigned map, unsigned ab) { return tlv(0x87, {id, be16(map), be16(0xFFFA), be16(ab)}); }
Bytes he(const Bytes& id, const Bytes& m, unsigned s, unsigned f) { return tlv(0x88, {id, counted(m), u8(s), u8(f)}); }
// Role byte, MCS NSS set, then beamforming, MU-MIMO, DL and UL OFDMA, RTS/TWT bytes.
Bytes role(unsigned w, const Bytes& mcs, const Bytes& rest = zeros(5)) { return cat({u8(w), mcs, rest}); }
// Vendor EHT: format A entries (radio, TxNss-1, RxNss-1, bandwidth code), format B
// sub-elements (radio, then skip length K, K bytes, stream count, bandwidth flags).
Bytes eht(const Bytes& id, unsigned tx, unsigned rx, unsigned bw) { return cat({id, raw({tx, rx, bw, 0xAA, 0xAA})}); }
Bytes sub_b(const Bytes& id, const Bytes& rest) { return cat({u8(0x15), be16(unsigned(6 + rest.size())), id, rest}); }
const Bytes kSubB = sub_b(kR1, raw({2, 0xAB, 0xCD, 2, 0x03}));

// A valid instance of every capability TLV, as one report of two radios. Where a list is
// longer than its room the surplus is stepped over; TLVs are ordered so that a surplus
// written past its room would land on bytes checked below.
std::vector<Bytes> full_report()
{
    Bytes classes =
        cat({raw({4, 25}), opclass(115, 23, {}), opclass(121, 30, raw({52, 56})), opclass(100, 1, chans(1, 62))});
    for (unsigned k = 3; k < 25; ++k) classes = cat({classes, opclass(200 + k, k, u8(k))});
    Bytes scan_classes = chan_list(1, chans(1, 61));
    for (unsigned k = 1; k < 23; ++k) scan_classes = cat({scan_classes, chan_list(k + 1, u8(k))});
    Bytes cac_types = cat({u8(1), be24(60), u8(12)});
    for (unsigned k = 0; k < 12; ++k) cac_types = cat({cac_types, chan_list(100 + k, u8(k))});
    for (unsigned t = 1; t < 5; ++t) cac_types = cat({cac_types, u8(t + 1), be24(0x010000), u8(0)});
    return {
        tlv(0xA1, u8(0x80)), basic(kR0, classes), basic(kR1, cat({raw({2, 1}), opclass(81, 20, u8(1))})),
        ht(kR0, 0x6E), ht(kR1, 0x02), vht(kR1, 0xFFFE, 0x6B40), he(kR0, raw({0xFF, 0xFE, 0xFF, 0xFE}), 0x24, 0x5A),
        he(kR1, raw({0xFF, 0xFC, 0xFF, 0xFC, 0xFF, 0xFD, 0xFF, 0xFD}), 0x01, 0x11),
        tlv(0xAA, {kR1, u8(3), role(0x84, raw({0x11, 0x22, 0x33, 0x44}), raw({0x80, 0x21, 8, 9, 0x01})),
                   role(0x78, chans(1, 8), raw({0x01, 0x0F, 3, 4, 0xC2})), role(0x0C, fill(12, 0xEE), fill(5, 0xFF))}),
        tlv(0x0B, {kOuiA, raw({0x16, 2}), eht(kUnknown, 7, 7, 3), eht(kR0, 3, 3, 3)}),
        tlv(0x0B, {kOuiB, kSubB, sub_b(kR2, raw({0, 9, 1}))}),
        tlv(0xB2, {text("DE"), u8(3), kUnknown, raw({1, 9, 0, 0, 1, 0}), kR1, u8(5), cac_types, kR0,
                   raw({1, 2, 0, 0, 10, 1}), chan_list(52, raw({52, 56}))}),
        tlv(0xA5, {u8(3), kUnknown, u8(0xFF), be32(7), u8(1), chan_list(1, u8(9)), kR1, u8(0x40), be32(5), u8(23),
                   scan_classes, kR0, u8(0xE0), be32(300), u8(2), chan_list(115, raw({36, 40})), chan_list(81, {})}),
        tlv(0xA9, zeros(3)), tlv(0xB4, raw({7, 0xFF, 0xB8, 9})), tlv(0xB4, raw({0, 0, 0x47, 0})),
        tlv(0xC5, be32(0x01020304)), tlv(0xD4, {counted(text("SN1")), counted(fill(64, 'v')), counted(text("linux")),
                                                u8(2), kR1, counted(text("acme")), kR0, counted({})}),
        tlv(0, Bytes{}),
    };
}

struct ApCap : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
    Bytes sent(const Bytes& tlvs)
    {
        auto got = parse_n(rx, 0x8002, tlvs, kDev);
        EXPECT_TRUE(got && got->size() == kRecSize);
        return got && got->size() == kRecSize ? *got : Bytes(kRecSize, 0);
    }
    void expect_lines(int level, std::initializer_list<std::string> lines)
    {
        for (const std::string& l : lines) EXPECT_TRUE(log.contains(8, level, l)) << l;
    }
};

TEST_F(ApCap, FullTwoRadioReport)
{
    Bytes all;
    for (const Bytes& t : full_report()) all = cat({all, t});
    const Bytes rec = sent(all);
    // Radio 0: HT, then HE, then EHT decides the streams and the MCS.
    EXPECT_EQ(slice(rec, 0, radio(0) + 15),
              cat({raw({0x02, 0x80}), kDev, raw({2, 0x80}), kR0, summary(0x0F, 0x03, 4, 4, 0x0D, 13), raw({4, 25})}));
    EXPECT_EQ(slice(rec, radio(0) + 15, 63 * 4), cat({raw({115, 23, 0}), zeros(60), raw({121, 30, 2, 52, 56}),
                                                       zeros(58), raw({100, 1, 62}), chans(1, 60), raw({203, 3, 1, 3}),
                                                       zeros(59)}));
    EXPECT_EQ(slice(rec, radio(0) + 15 + 63 * 21, 4), raw({221, 21, 1, 21}));
    EXPECT_EQ(slice(rec, radio(0) + 1401, 131),
              cat({raw({1, 3, 0x2C, 0x01, 0, 0, 2, 115, 2, 36, 40}), zeros(58), raw({81, 0}), zeros(60)}));
    EXPECT_EQ(slice(rec, radio(0) + 2772, 12), raw({1, 2, 10, 0, 0, 0, 1, 52, 2, 52, 56, 0}));
    EXPECT_EQ(slice(rec, radio(0) + 5525, 110), cat({zeros(37), u8(0x6E), zeros(71), u8(0x5A)}));
    // Radio 1: HT, VHT, HE, then vendor EHT.
    EXPECT_EQ(slice(rec, radio(1), 21),
              cat({kR1, summary(0x1F, 0x0C, 2, 2, 0x0F, 13), raw({2, 1, 81, 20, 1, 1, 0, 0})}));
    const size_t s1 = radio(1) + 1401, c1 = radio(1) + 2772;
    EXPECT_EQ(slice(rec, s1, 69), cat({raw({0, 2, 5, 0, 0, 0, 23, 1, 61}), chans(1, 60)}));
    EXPECT_EQ(slice(rec, s1 + 7 + 62 * 21, 4), raw({22, 1, 21, 0}));
    EXPECT_EQ(slice(rec, c1, 7), raw({5, 1, 60, 0, 0, 0, 12}));
    EXPECT_EQ(slice(rec, c1 + 7 + 62 * 10, 3), raw({110, 1, 10}));
    EXPECT_EQ(slice(rec, c1 + 1 + 688 * 3, 7), raw({4, 0, 0, 1, 0, 0, 0}));
    const Bytes wifi6 = cat({u8(3), raw({0x42, 0x11, 0x22, 0x33, 0x44}), zeros(8), raw({0x01, 0x12, 8, 9, 0x80}),
                             u8(0x8D), chans(1, 8), zeros(4), raw({0x80, 0xF0, 3, 4, 0x43})});
    EXPECT_EQ(slice(rec, radio(1) + 5525, 110),
              cat({wifi6, raw({0x02, 0xFF, 0xFE, 0xFF, 0xFA, 0x6B, 0x40}), text("acme"), zeros(61), u8(0x11)}));
    // Country, interval, security, the later profile-2 TLV, software version, environment.
    EXPECT_EQ(slice(rec, 11280, 146), cat({text("DE"), raw({4, 3, 2, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0}), fill(64, 'v'),
                                           zeros(1), text("linux"), zeros(60)}));

    EXPECT_EQ(log.at_most(6).size(), 2u);
    expect_lines(3, {"[TLV] AP EHT CAP, Radio not match, Radio 02:EE:EE:EE:EE:EE\n",
                     "[TLV] AP EHT CAP, Radio not match, Radio 02:00:00:00:03:00\n"});
    expect_lines(7, {
        "[TLV] ApCap: device 02:DE:00:00:00:01, ap capability=128\n",
        "[TLV] APRadioBasicCap: radio 02:00:00:00:01:00, opclass=121, txpwr=30, NonOpChNum=2\n",
        "[TLV] OpClass=121, non-operable channel=56\n", "[TLV] APHTCap: Idx(0) HTCapabilities(0x6E)\n",
        "[TLV] APHTCap: TxNss=2, RxNss=3, short GI=03, support BW=03, support phytype=01, max_mcs=7\n",
        "[TLV] APVHTCap: Idx(1) VHTCapabilities(0xFF 0xFE 0xFF 0xFA 0x6B 0x40)\n",
        "[TLV] APVHTCap: TxNss=4, RxNss=3, short GI=0C, support BW=0F, support phytype=03, max_mcs=9\n",
        "[TLV] APHECap: TxNss=2, RxNss=2, support phytype=05, max_mcs=11\n",
        "[TLV] ApWifi6Cap : radio_idx(1) number_of_roles(3)\n", "[TLV] ApWifi6Cap : SU Beamformer to DL OFDMA(128)\n",
        "[TLV] ApWifi6Cap : agent role to MCS NSS Length(132)\n",
        "[TLV] ApWifi6Cap : Max DL MU-MIMO TX to Max DL MU-MIMO RX(33)\n",
        "[TLV] ApWifi6Cap : Max DL OFDMA TX(8), Max UL OFDMA RX(9)\n",
        "[TLV] ApWifi6Cap : RTS to Anticipated Channel Usage(1)\n",
        "[TLV] VendorSpec: check OUI = 00:0c:e7\n", "[TLV] AP EHT CAP: Radio 02:EE:EE:EE:EE:EE\n",
        "[TLV] APEHTCap: TxNss=4, RxNss=4, support phytype=0D, max_mcs=13, sup_bw=15\n",
        "[TLV] APEHTCap: TxNss=2, RxNss=2, support phytype=0F, max_mcs=13, sup_bw=31\n",
        "[TLV] CAC Caps: Radio 02:00:00:00:02:00, NumberOfCacTypesSupported=5\n",
        // "Type" reports the number of types.
        "[TLV] CAC Caps: Radio 02:00:00:00:02:00, Type=5, Method=1, duration=60, NumberOfOpClass=12\n",
        "[TLV] CAC Caps: Radio 02:00:00:00:02:00, Type=5, Method=4, duration=65536, NumberOfOpClass=0\n",
        "[TLV] Ch Scan Caps: Radio 02:00:00:00:01:00, OnBootOnly=1, ScanImpact=3, MimScanIntv=300, NumOp=2\n",
        "[TLV] 1905 Layer Security Capability: OnboardingProtocol=00 MIC_Algorithm=00 EncryptionAlgorithm=00\n",
        "[TLV] P2APCaps: Device 02:DE:00:00:00:01, MaxPrioritizationRules=7, ByteCounterUnits=2, Prioritization=1, "
        "DPPOnboarding=1, TrafficSeparation=1, MaxVIDs=9\n",
        "[TLV] ApCap: device 02:DE:00:00:00:01, Metric Collection Interval cap=16909060\n",
        "[TLV] DevInventory: Device 02:DE:00:00:00:01, SoftwareVer=" + std::string(64, 'v') + ", ExecutionEnv=linux\n",
    });
}

// One generation at a time on two fresh radios: what each TLV adds to the summaries.
TEST_F(ApCap, GenerationSummaries)
{
    const Bytes b80 = raw({0xFF, 0xFC, 0xFF, 0xFF}), b160 = raw({0xFF, 0xFD, 0, 0}), b8080 = raw({0xFF, 0xFE, 0, 0});
    const struct { Bytes tlvs, sum0, sum1 = zeros(7); } rows[] = {
        // HE: the first map of the last block present decides; bandwidth and short GI stay.
        {he(kR0, {}, 0xE0, 0), summary(0, 0, 8, 1, 0x04, 7)},
        {he(kR0, cat({b80, b160}), 0x01, 0), summary(0, 0, 1, 1, 0x04, 9)},
        {he(kR0, cat({b80, b160}), 0x00, 0), summary(0, 0, 1, 1, 0x04, 7)},
        {he(kR0, cat({b80, b160}), 0x02, 0), summary(0, 0, 1, 1, 0x04, 9)},
        {he(kR0, cat({b80, b160, b8080}), 0x1F, 0), summary(0, 0, 1, 8, 0x04, 11)},
        {he(kR0, cat({b8080, u8(0xFD)}), 0x01, 0), summary(0, 0, 1, 1, 0x04, 11)}, // a partial block is not read
        {vht(kR0, 0xFFFD, 0x0040), summary(0x0C, 0, 1, 1, 0x02, 8)},
        {vht(kR0, 0xFFFC, 0x0080), summary(0x0C, 0, 1, 1, 0x02, 7)},
        {vht(kR0, 0xFFFF, 0x003F), summary(0x04, 0, 1, 1, 0x02, 9)},
        // A later HT resets streams and MCS but keeps the bits.
        {cat({vht(kR0, 0xFFFE, 0xE200), ht(kR0, 0x00)}), summary(0x05, 0x08, 1, 1, 0x03, 7)},
        {cat({tlv(0x0B, {kOuiA, raw({0x16, 1}), eht(kR0, 1, 1, 1)}), ht(kR0, 0)}), summary(0x03, 0, 1, 1, 0x09, 7)},
        // Vendor EHT: bandwidth code 4 adds nothing; format B takes the stream count as is.
        {tlv(0x0B, {kOuiA, raw({0x16, 2}), eht(kR0, 1, 3, 2), eht(kR1, 0, 0, 4)}), summary(0x07, 0, 2, 4, 0x08, 13),
         summary(0, 0, 1, 1, 0x08, 13)},
        {tlv(0x0B, {kOuiB, sub_b(kUnknown, raw({0, 9, 1})), sub_b(kR1, raw({0, 2, 0x02}))}), zeros(7),
         summary(0x0F, 0, 2, 2, 0x08, 13)}, // an unknown radio is passed over by its length
        {tlv(0x0B, {kOuiA, u8(0x17), u8(1), eht(kR0, 1, 1, 1)}), zeros(7)},
        {tlv(0x0B, {kOuiB, u8(0x16), sub_b(kR0, raw({0, 2, 1}))}), zeros(7)}, // met twice, nothing stored
        {tlv(0x0B, {raw({0x00, 0x11, 0x22}), u8(0x16), u8(1), eht(kR0, 1, 1, 3)}), zeros(7)},
    };
    for (const auto& c : rows) {
        SCOPED_TRACE(&c - rows);
        const Bytes rec = sent(stream({basic(kR0), basic(kR1), c.tlvs}));
        EXPECT_EQ(cat({slice(rec, radio(0) + 6, 7), slice(rec, radio(1) + 6, 7)}), cat({c.sum0, c.sum1}));
    }
    expect_lines(4, {"[TLV] VendorSpec: unknown TLV 0x17\n"});
    expect_lines(7, {"[TLV] VendorSpec: check OUI = 00:11:22\n"});
    const auto texts = log.texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "[TLV] VendorSpec: unknown TLV 0x16\n"), 2);
}

TEST_F(ApCap, RadioTableIsFilledInOrderAndReset)
{
    const Bytes rec = sent(stream({basic(kR0), basic(kR0), basic(kR2, cat({raw({9, 1}), opclass(1, 1, {})})),
                                   tlv(0xA5, {u8(1), kR0, u8(0x20), be32(9), u8(1), chan_list(7, u8(1))}),
                                   tlv(0xA1, u8(0xC0)), ht(kR0, 0x40), vht(kR0, 0, 0), basic(kR1), ht(kR1, 0x48)}));
    expect_lines(3, {"[TLV] Exceed maxinum radio number per device\n", "[TLV] HT Unmatched radio mac\n",
                     "[TLV] VHT Unmatched radio mac\n"});
    EXPECT_EQ(slice(rec, 2, 8), cat({kDev, raw({1, 0xC0})}));
    // A radio listed twice takes two entries, both get its scan data, and nothing of the
    // third radio lands. After the reset the next radio takes entry 0; entry 1 stays, unseen.
    EXPECT_EQ(slice(rec, radio(0), 15), cat({kR1, summary(0x01, 0x02, 2, 1, 0x01, 7), raw({4, 0})}));
    EXPECT_EQ(slice(rec, radio(1), 79), cat({kR0, zeros(7), raw({4, 0}), zeros(64)}));
    for (int r = 0; r < 2; ++r) EXPECT_EQ(slice(rec, radio(r) + 1401, 11), raw({0, 1, 9, 0, 0, 0, 1, 7, 1, 1, 0}));
}

TEST_F(ApCap, RefusalsKeepTheReportFromBeingSent)
{
    const Bytes good = role(0x84, raw({1, 2, 3, 4}));
    const struct { Bytes tlv; const char* line; } cases[] = {
        {he(kUnknown, {}, 0, 0), "[TLV] HE Unmatched radio mac\n"},
        {tlv(0x88, {kR0, u8(0), u8(0x24)}), "[TLV] APHECap: length error\n"},
        {tlv(0x88, {kUnknown, u8(0), u8(0x24)}), "[TLV] HE Unmatched radio mac\n"}, // the lookup comes first
        {tlv(0x88, zeros(5)), "[TLV] APHECap: length error\n"},
        {tlv(0x88, {kR0, u8(4), raw({0xFF, 0xFE, 0x24})}),
         "[TLV] APHECap: TLV length 10 is too short for its content\n"},
        {tlv(0xAA, {kUnknown, u8(1), good}), "[TLV] Wifi6 Unmatched radio mac\n"},
        {tlv(0xAA, {kR0, u8(1), role(0x06, zeros(6))}), "[TLV] ApWifi6Cap : MCS NSS Length Error, Len=6\n"},
    };
    for (const auto& c : cases) {
        log.clear();
        EXPECT_FALSE(parse_n(rx, 0x8002, stream({basic(kR0), c.tlv}), kDev)) << c.line;
        EXPECT_TRUE(log.contains(8, 3, c.line)) << c.line;
    }
}

TEST_F(ApCap, DeviceInventoryErrorsDoNotStopTheReport)
{
    const Bytes s65 = counted(fill(65, 'x')), v1 = counted(text("v1")), none = counted({});
    const struct { Bytes tlvs; const char* line; Bytes sw; } cases[] = {
        {tlv(0xD4, {s65, v1, none, u8(0)}), "[TLV] DevInventory: Invalid length for Serial Number\n", {}},
        {tlv(0xD4, {none, s65, none, u8(0)}), "[TLV] DevInventory: Invalid length for SoftwareVersion\n", {}},
        {tlv(0xD4, {none, v1, s65, u8(0)}), "[TLV] DevInventory: Invalid length for Execution Env\n", text("v1")},
        {tlv(0xD4, {none, v1, none, u8(1), kR0, s65}), "[TLV] DevInventory: Invalid length for Chipset Vendor\n",
         text("v1")},
        // An unknown radio stops the list: the known one behind it gets nothing.
        {tlv(0xD4, {none, v1, none, u8(2), kUnknown, counted(text("x")), kR0, counted(text("acme"))}), {}, text("v1")},
        // A later inventory replaces the strings whole.
        {cat({tlv(0xD4, {none, counted(text("version-2")), none, u8(0)}), tlv(0xD4, {none, v1, none, u8(0)})}), {},
         text("v1")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        log.clear();
        const Bytes rec = sent(stream({basic(kR0), c.tlvs, tlv(0xA9, raw({4, 5, 6}))}));
        EXPECT_EQ(log.at_most(3).size(), c.line ? 1u : 0u);
        EXPECT_TRUE(!c.line || log.contains(8, 3, c.line));
        EXPECT_EQ(slice(rec, 11296, 65), cat({c.sw, zeros(65 - c.sw.size())}));
        EXPECT_EQ(slice(rec, radio(0) + 5569, 65), zeros(65));
        EXPECT_EQ(slice(rec, 11286, 4), raw({1, 4, 5, 6})); // later TLVs still read
    }
}

TEST_F(ApCap, ExportedExtractors)
{
    // A device MAC byte and a radio count already set.
    Bytes rec = cat({zeros(2), u8(0xAA), zeros(5), u8(2), zeros(kRecSize - 9)});
    uint8_t* r = rec.data();
    const Bytes cap = u8(3), sec = raw({1, 2, 3}), he0 = cat({kR0, raw({0, 0x24, 7})});
    EXPECT_EQ(tlv_APCapabilities_extract(cap.data(), r, nullptr), 0);
    EXPECT_TRUE(log.contains(8, 3, "[TLV] Warning!!! Device_mac is NULL!!.\n"));
    EXPECT_EQ(slice(rec, 2, 8), raw({0xAA, 0, 0, 0, 0, 0, 0, 3}));
    EXPECT_EQ(tlv_1905LayerSecurityCap_extract(sec.data(), r, 0), 0); // this length is not used
    EXPECT_EQ(slice(rec, 11286, 4), raw({1, 1, 2, 3}));
    ASSERT_EQ(tlv_APRadioBasicCapabilities_extract(cat({kR0, raw({4, 0})}).data(), r), 0);
    EXPECT_EQ(tlv_APHECapabilities_extract(he0.data(), r, 8), -1);
    EXPECT_EQ(tlv_APHECapabilities_extract(he0.data(), r, 9), 0);
    EXPECT_EQ(rec[radio(0) + 5634], 7);
    EXPECT_EQ(tlv_VendorSpecific_Eht_Cap_extract(kOuiA.data(), r, 0), -1);
    // A bad MCS NSS length, even on a role with no room, clears what an earlier TLV stored.
    const Bytes good = role(0x84, raw({1, 2, 3, 4}));
    ASSERT_EQ(tlv_APWifi6Capabilities_extract(cat({kR0, u8(1), good}).data(), r), 0);
    ASSERT_EQ(rec[radio(0) + 5525], 1);
    EXPECT_EQ(tlv_APWifi6Capabilities_extract(cat({kR0, u8(3), good, good, role(0x03, zeros(3))}).data(), r), -1);
    EXPECT_EQ(slice(rec, radio(0) + 5525, 37), zeros(37));
}

// Every TLV of the full report cut short one byte at a time: refused with one level-3 line
// (the device inventory result is not used, so that report goes out), except where the
// shorter vendor TLV ends between format-B sub-elements and is itself well formed.
TEST_F(ApCap, EveryTlvCutShortIsRefused)
{
    for (const Bytes& t : full_report()) {
        const uint8_t type = t[0];
        const Bytes value = slice(t, 3, t.size() - 3);
        // Radios first, so that each TLV meets a known radio; a zero length cannot follow
        // another TLV, so the empty value is tried as the first TLV of its own stream.
        const Bytes prefix = type == 0x85 ? Bytes{} : cat({basic(kR0), basic(kR1)});
        for (size_t len = 0; len < value.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "tlv 0x" << std::hex << int(type) << std::dec << " len " << len);
            log.clear();
            auto got = parse_n(rx, 0x8002, cat({len ? prefix : Bytes{}, tlv(type, slice(value, 0, len))}), kDev);
            const bool whole = type == 0x0B && slice(value, 0, 3) == kOuiB && (len == 3 || len == 3 + kSubB.size());
            EXPECT_EQ(got.has_value(), whole || type == 0xD4);
            EXPECT_EQ(log.at_most(3).size(), whole || (type == 0x0B && len == 0) ? 0u : 1u);
        }
    }
}

} // namespace
} // namespace lusl::test
