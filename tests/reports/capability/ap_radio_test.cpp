// AP Capability Report: radio entries, HT/VHT summaries and the device-level capabilities.
#include <gtest/gtest.h>

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
const Bytes kR2 = mac("02:00:00:00:03:00");
const Bytes kUnknown = mac("02:ee:ee:ee:ee:ee");
const Bytes kDev = mac("02:de:00:00:00:01");

// Bandwidth mask (le16), short GI, TxNss, RxNss, PHY types, highest MCS.
Bytes summary(unsigned bw, unsigned sgi, unsigned tx, unsigned rx, unsigned phy, unsigned mcs)
{
    return raw({bw & 0xFF, bw >> 8, sgi, tx, rx, phy, mcs});
}
Bytes summary_of(const Bytes& rec, int r) { return slice(rec, radio(r) + 6, 7); }

Bytes opclass(unsigned op, unsigned pwr, const Bytes& channels)
{
    return cat({u8(op), u8(pwr), u8(static_cast<unsigned>(channels.size())), channels});
}
Bytes basic(const Bytes& ruid, unsigned n = 0, const Bytes& classes = {}, unsigned max_bss = 4)
{
    return tlv(0x85, {ruid, u8(max_bss), u8(n), classes});
}
Bytes ht(const Bytes& ruid, unsigned h) { return tlv(0x86, {ruid, u8(h)}); }
Bytes vht(const Bytes& ruid, unsigned tx_map, unsigned a, unsigned b)
{
    return tlv(0x87, {ruid, be16(tx_map), be16(0xFFFA), u8(a), u8(b)});
}
Bytes chans(unsigned first, unsigned n)
{
    Bytes out;
    for (unsigned i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(first + i));
    return out;
}

struct ApCap : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
    Bytes sent(const Bytes& tlvs, const Bytes& src = kDev)
    {
        auto got = parse_n(rx, 0x8002, tlvs, src);
        EXPECT_TRUE(got);
        if (!got) return Bytes(kRecSize, 0);
        EXPECT_EQ(got->size(), kRecSize);
        EXPECT_EQ(slice(*got, 0, 2), raw({0x02, 0x80}));
        return *got;
    }
};

TEST_F(ApCap, BasicCapabilitiesCreateRadioEntries)
{
    auto rec = sent(stream({basic(kR0, 2, cat({opclass(115, 23, {}), opclass(121, 30, raw({52, 56}))})),
                            basic(kR1, 1, opclass(81, 20, raw({1})), 2)}));
    EXPECT_EQ(rec[8], 2);
    EXPECT_EQ(slice(rec, radio(0), 6), kR0);
    EXPECT_EQ(rec[radio(0) + 13], 4);
    EXPECT_EQ(rec[radio(0) + 14], 2);
    // An empty channel list: the next class follows directly.
    EXPECT_EQ(slice(rec, radio(0) + 15, 126),
              cat({raw({115, 23, 0}), zeros(60), raw({121, 30, 2, 52, 56}), zeros(58)}));
    EXPECT_EQ(slice(rec, radio(1), 6), kR1);
    EXPECT_EQ(slice(rec, radio(1) + 13, 8), raw({2, 1, 81, 20, 1, 1, 0, 0}));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] APRadioBasicCap: radio 02:00:00:00:01:00, opclass=121, txpwr=30, NonOpChNum=2\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] OpClass=121, non-operable channel=56\n"));
}

TEST_F(ApCap, OperatingClassAndChannelSurplusIsSteppedOver)
{
    // 25 classes, the first with 62 channels: 22 classes and 60 channels fit, the counts stay.
    Bytes classes = opclass(100, 1, chans(1, 62));
    for (unsigned k = 1; k < 25; ++k) classes = cat({classes, opclass(100 + k, k, raw({k}))});
    auto rec = sent(stream({basic(kR0, 25, classes), ht(kR0, 0)}));
    const size_t oc = radio(0) + 15;
    EXPECT_EQ(rec[radio(0) + 14], 25);
    EXPECT_EQ(slice(rec, oc, 63), cat({raw({100, 1, 62}), chans(1, 60)}));
    EXPECT_EQ(slice(rec, oc + 63, 5), raw({101, 1, 1, 1, 0}));
    EXPECT_EQ(slice(rec, oc + 63 * 21, 5), raw({121, 21, 1, 21, 0}));
    // Nothing past the 22nd class of the entry is touched but the HT byte.
    EXPECT_EQ(slice(rec, radio(0) + 1401, 4161), zeros(4161));
    EXPECT_EQ(rec[radio(0) + 5562], 0);
    EXPECT_EQ(summary_of(rec, 0), summary(0x01, 0, 1, 1, 0x01, 7));
}

TEST_F(ApCap, ThirdRadioIsDroppedAndTheReportStillSent)
{
    auto rec = sent(stream({basic(kR0), basic(kR1), basic(kR2, 1, opclass(1, 1, {}))}));
    EXPECT_TRUE(log.contains(8, 3, "[TLV] Exceed maxinum radio number per device\n"));
    EXPECT_EQ(rec[8], 2);
    EXPECT_EQ(slice(rec, radio(1), 6), kR1);
    // Nothing of the third radio lands anywhere.
    EXPECT_EQ(slice(rec, radio(1) + 13, 66), cat({raw({4, 0}), zeros(64)}));
}

TEST_F(ApCap, HtThenVhtSummary)
{
    auto rec = sent(stream({basic(kR0), ht(kR0, 0x6E)}));
    EXPECT_EQ(summary_of(rec, 0), summary(0x03, 0x03, 2, 3, 0x01, 7));
    EXPECT_EQ(rec[radio(0) + 5562], 0x6E);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] APHTCap: Idx(0) HTCapabilities(0x6E)\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] APHTCap: TxNss=2, RxNss=3, short GI=03, support BW=03, support phytype=01, max_mcs=7\n"));

    rec = sent(stream({basic(kR1), basic(kR0), ht(kR0, 0x6E), vht(kR0, 0xFFFE, 0x6B, 0x40)}));
    EXPECT_EQ(summary_of(rec, 1), summary(0x0F, 0x0F, 4, 3, 0x03, 9));
    EXPECT_EQ(slice(rec, radio(1) + 5563, 6), raw({0xFF, 0xFE, 0xFF, 0xFA, 0x6B, 0x40}));
    EXPECT_EQ(summary_of(rec, 0), zeros(7));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] APVHTCap: Idx(1) VHTCapabilities(0xFF 0xFE 0xFF 0xFA 0x6B 0x40)\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] APVHTCap: TxNss=4, RxNss=3, short GI=0F, support BW=0F, support phytype=03, max_mcs=9\n"));
}

TEST_F(ApCap, VhtMcsMapAndBandwidthFlags)
{
    const struct {
        unsigned map, b, mcs, bw;
    } cases[] = {{0xFFFE, 0x00, 9, 0x04}, {0xFFFD, 0x40, 8, 0x0C}, {0xFFFC, 0x80, 7, 0x0C}, {0xFFFF, 0x3F, 9, 0x04}};
    for (auto c : cases) {
        auto rec = sent(stream({basic(kR0), vht(kR0, c.map, 0x00, c.b)}));
        EXPECT_EQ(summary_of(rec, 0), summary(c.bw, 0, 1, 1, 0x02, c.mcs)) << std::hex << c.map;
    }
}

TEST_F(ApCap, LaterHtOverridesVhtButKeepsItsBits)
{
    auto rec = sent(stream({basic(kR0), vht(kR0, 0xFFFE, 0xE2, 0x00), ht(kR0, 0x00)}));
    EXPECT_EQ(summary_of(rec, 0), summary(0x05, 0x08, 1, 1, 0x03, 7));
}

TEST_F(ApCap, ApCapabilityResetsTheRadioTable)
{
    auto rec = sent(stream({basic(kR0), basic(kR1), tlv(0xA1, {u8(0xC0)}), ht(kR1, 0x40), vht(kR0, 0, 0, 0),
                            basic(kR2), ht(kR2, 0x48)}));
    EXPECT_TRUE(log.contains(8, 3, "[TLV] HT Unmatched radio mac\n"));
    EXPECT_TRUE(log.contains(8, 3, "[TLV] VHT Unmatched radio mac\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ApCap: device 02:DE:00:00:00:01, ap capability=192\n"));
    EXPECT_EQ(slice(rec, 2, 8), cat({kDev, raw({1, 0xC0})}));
    // The new radio took entry 0; the old entry 1 stays in the record, unseen.
    EXPECT_EQ(slice(rec, radio(0), 6), kR2);
    EXPECT_EQ(summary_of(rec, 0), summary(0x01, 0x02, 2, 1, 0x01, 7));
    EXPECT_EQ(slice(rec, radio(1), 6), kR1);
    EXPECT_EQ(summary_of(rec, 1), zeros(7));
}

TEST(ApCapShims, ApCapabilityWithoutSourceMacKeepsTheDeviceMac)
{
    LogCapture log;
    Bytes rec(kRecSize, 0);
    rec[2] = 0xAA;
    rec[8] = 2;
    const Bytes cap = u8(3);
    EXPECT_EQ(tlv_APCapabilities_extract(cap.data(), rec.data(), nullptr), 0);
    EXPECT_TRUE(log.contains(8, 3, "[TLV] Warning!!! Device_mac is NULL!!.\n"));
    EXPECT_EQ(slice(rec, 2, 8), raw({0xAA, 0, 0, 0, 0, 0, 0, 3}));
    // The length of these three is not used.
    const Bytes sec = raw({1, 2, 3});
    EXPECT_EQ(tlv_1905LayerSecurityCap_extract(sec.data(), rec.data(), 0), 0);
    EXPECT_EQ(slice(rec, 11286, 4), raw({1, 1, 2, 3}));
}

// ---------------------------------------------------------------- scan and CAC capabilities

Bytes scan_radio(const Bytes& ruid, unsigned flags, unsigned long interval, unsigned n, const Bytes& classes)
{
    return cat({ruid, u8(flags), be32(interval), u8(n), classes});
}
Bytes chan_list(unsigned op, const Bytes& channels)
{
    return cat({u8(op), u8(static_cast<unsigned>(channels.size())), channels});
}

TEST_F(ApCap, ChannelScanCapabilitiesPerRadio)
{
    // A radio that is not in the table is stepped over as a whole.
    Bytes many;
    for (unsigned k = 0; k < 23; ++k) many = cat({many, chan_list(k + 1, k ? raw({k}) : chans(1, 61))});
    const Bytes value = cat({u8(3), scan_radio(kUnknown, 0xFF, 7, 1, chan_list(1, raw({9}))),
                             scan_radio(kR1, 0x40, 5, 23, many),
                             scan_radio(kR0, 0xE0, 300, 2, cat({chan_list(115, raw({36, 40})), chan_list(81, {})}))});
    auto rec = sent(stream({basic(kR0), basic(kR1), tlv(0xA5, value)}));
    const size_t s0 = radio(0) + 1401;
    EXPECT_EQ(slice(rec, s0, 7), raw({1, 3, 0x2C, 0x01, 0, 0, 2}));
    EXPECT_EQ(slice(rec, s0 + 7, 124), cat({raw({115, 2, 36, 40}), zeros(58), raw({81, 0}), zeros(60)}));
    const size_t s1 = radio(1) + 1401;
    EXPECT_EQ(slice(rec, s1, 7), raw({0, 2, 5, 0, 0, 0, 23}));
    EXPECT_EQ(slice(rec, s1 + 7, 62), cat({raw({1, 61}), chans(1, 60)}));
    EXPECT_EQ(slice(rec, s1 + 7 + 62 * 21, 4), raw({22, 1, 21, 0}));
    EXPECT_EQ(slice(rec, radio(1) + 2772, 100), zeros(100));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] Ch Scan Caps: Radio 02:00:00:00:01:00, OnBootOnly=1, ScanImpact=3, MimScanIntv=300, NumOp=2\n"));

    // A radio listed twice in the table: both entries get the same data.
    rec = sent(stream({basic(kR0), basic(kR0), tlv(0xA5, {u8(1), scan_radio(kR0, 0x20, 9, 1, chan_list(7, raw({1})))})}));
    for (int r = 0; r < 2; ++r) EXPECT_EQ(slice(rec, radio(r) + 1401, 11), raw({0, 1, 9, 0, 0, 0, 1, 7, 1, 1, 0}));
}

TEST_F(ApCap, CacCapabilitiesPerRadio)
{
    Bytes twelve;
    for (unsigned k = 0; k < 12; ++k) twelve = cat({twelve, chan_list(100 + k, raw({k}))});
    Bytes types = cat({u8(1), be24(60), u8(12), twelve});
    for (unsigned t = 1; t < 5; ++t) types = cat({types, u8(t + 1), be24(0x010000), u8(0)});
    const Bytes value = cat({text("DE"), u8(3), kUnknown, u8(1), u8(9), be24(1), u8(0), kR1, u8(5), types, kR0, u8(1),
                             u8(2), be24(10), u8(1), chan_list(52, raw({52, 56}))});
    auto rec = sent(stream({basic(kR0), basic(kR1), tlv(0xB2, value)}));
    EXPECT_EQ(slice(rec, 11280, 2), text("DE"));
    const size_t c1 = radio(1) + 2772;
    EXPECT_EQ(slice(rec, c1, 7), raw({5, 1, 60, 0, 0, 0, 12}));
    EXPECT_EQ(slice(rec, c1 + 7 + 62 * 10, 3), raw({110, 1, 10}));
    EXPECT_EQ(slice(rec, c1 + 1 + 688 * 3, 7), raw({4, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(rec[radio(1) + 5525], 0);
    const size_t c0 = radio(0) + 2772;
    EXPECT_EQ(slice(rec, c0, 12), raw({1, 2, 10, 0, 0, 0, 1, 52, 2, 52, 56, 0}));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] CAC Caps: Radio 02:00:00:00:02:00, NumberOfCacTypesSupported=5\n"));
    // "Type" reports the number of types.
    EXPECT_TRUE(log.contains(8, 7, "[TLV] CAC Caps: Radio 02:00:00:00:02:00, Type=5, Method=1, duration=60, NumberOfOpClass=12\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] CAC Caps: Radio 02:00:00:00:02:00, Type=5, Method=4, duration=65536, NumberOfOpClass=0\n"));
    EXPECT_EQ(log.at_most(6).size(), 0u);
}

TEST_F(ApCap, DeviceLevelCapabilities)
{
    auto rec = sent(stream({tlv(0xA1, {u8(1)}), tlv(0xA9, {zeros(3)}), tlv(0xB4, {u8(7), u8(0xFF), u8(0xB8), u8(9)}),
                            tlv(0xC5, {be32(0x01020304)})}));
    EXPECT_EQ(le32_at(rec, 11282), 0x01020304u);
    EXPECT_EQ(slice(rec, 11286, 10), raw({1, 0, 0, 0, 7, 2, 1, 1, 1, 9}));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] 1905 Layer Security Capability: OnboardingProtocol=00 MIC_Algorithm=00 EncryptionAlgorithm=00\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] P2APCaps: Device 02:DE:00:00:00:01, MaxPrioritizationRules=7, ByteCounterUnits=2, Prioritization=1, DPPOnboarding=1, TrafficSeparation=1, MaxVIDs=9\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ApCap: device 02:DE:00:00:00:01, Metric Collection Interval cap=16909060\n"));
    rec = sent(stream({tlv(0xB4, {u8(0), u8(0), u8(0x47), u8(0)})}));
    EXPECT_EQ(slice(rec, 11290, 6), raw({0, 1, 0, 0, 0, 0}));
}

Bytes str(const Bytes& s) { return cat({u8(static_cast<unsigned>(s.size())), s}); }

TEST_F(ApCap, DeviceInventoryStringsAndChipsetVendors)
{
    const Bytes sw = fill(64, 'v');
    auto rec = sent(stream({tlv(0xA1, {u8(0)}), basic(kR0), basic(kR1),
                            tlv(0xD4, {str(text("SN1")), str(sw), str(text("linux")), u8(2), kR1, str(text("acme")),
                                       kR0, str({})})}));
    EXPECT_EQ(slice(rec, 11296, 130), cat({sw, zeros(1), text("linux"), zeros(60)}));
    EXPECT_EQ(slice(rec, radio(1) + 5569, 66), cat({text("acme"), zeros(62)}));
    EXPECT_EQ(slice(rec, radio(0) + 5569, 66), zeros(66));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] DevInventory: Device 02:DE:00:00:00:01, SoftwareVer=" + std::string(64, 'v') +
                                       ", ExecutionEnv=linux\n"));

    // An unknown radio stops the list: the known one behind it gets nothing.
    rec = sent(stream({basic(kR0), tlv(0xD4, {str({}), str(text("1")), str({}), u8(2), kUnknown, str(text("x")), kR0,
                                              str(text("acme"))})}));
    EXPECT_EQ(slice(rec, radio(0) + 5569, 65), zeros(65));
    EXPECT_EQ(rec[11296], '1');

    // A later inventory replaces the strings whole.
    rec = sent(stream({tlv(0xD4, {str({}), str(text("long-version")), str({}), u8(0)}),
                       tlv(0xD4, {str({}), str(text("v2")), str({}), u8(0)})}));
    EXPECT_EQ(slice(rec, 11296, 65), cat({text("v2"), zeros(63)}));
}

TEST_F(ApCap, DeviceInventoryLengthErrorsDoNotStopTheReport)
{
    const Bytes s65 = str(fill(65, 'x'));
    const struct {
        Bytes value;
        const char* line;
        unsigned sw0;
    } cases[] = {
        {cat({s65, str(text("a")), str({}), u8(0)}), "[TLV] DevInventory: Invalid length for Serial Number\n", 0},
        {cat({str({}), s65, str({}), u8(0)}), "[TLV] DevInventory: Invalid length for SoftwareVersion\n", 0},
        {cat({str({}), str(text("a")), s65, u8(0)}), "[TLV] DevInventory: Invalid length for Execution Env\n", 'a'},
        {cat({str({}), str(text("a")), str({}), u8(1), kR0, s65}), "[TLV] DevInventory: Invalid length for Chipset Vendor\n", 'a'},
    };
    for (const auto& c : cases) {
        log.clear();
        auto rec = sent(stream({basic(kR0), tlv(0xD4, c.value), tlv(0xA9, {raw({4, 5, 6})})}));
        EXPECT_EQ(log.at_most(3).size(), 1u);
        EXPECT_TRUE(log.contains(8, 3, c.line)) << c.line;
        EXPECT_EQ(rec[11296], c.sw0);
        EXPECT_EQ(slice(rec, 11286, 4), raw({1, 4, 5, 6})); // later TLVs still read
    }
}

} // namespace
} // namespace lusl::test
