// Topology Response (0x0003), end to end: parser, loopback socket, exact record bytes.
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

const Bytes kAl = mac("02:00:00:00:00:01");
const Bytes kRuid0 = mac("02:00:00:00:0a:00");
const Bytes kRuid1 = mac("02:00:00:00:0b:00");
const Bytes kRuid2 = mac("02:00:00:00:0c:00");
const Bytes kOui = raw({0x0E, 0x3C, 0x71});

Bytes bssid(int r, int b) { return raw({0x02, 0xAA, 0, 0, unsigned(r), unsigned(b)}); }

// Offsets of the documented layout.
size_t radio_at(int r) { return 15 + 283 * size_t(r); }
size_t bss_at(int r, int b) { return 22 + 283 * size_t(r) + 46 * size_t(b); }

Bytes record(size_t size, uint16_t type)
{
    Bytes b(size, 0);
    b[0] = uint8_t(type);
    b[1] = uint8_t(type >> 8);
    return b;
}
void put(Bytes& rec, size_t off, const Bytes& v) { std::copy(v.begin(), v.end(), rec.begin() + long(off)); }

struct Bss {
    Bytes bssid;
    std::string ssid;
};
struct Radio {
    Bytes ruid;
    std::vector<Bss> bss;
};

Bytes op_bss_value(const std::vector<Radio>& radios)
{
    Bytes v = u8(unsigned(radios.size()));
    for (const Radio& r : radios) {
        v = cat({v, r.ruid, u8(unsigned(r.bss.size()))});
        for (const Bss& b : r.bss) v = cat({v, b.bssid, u8(unsigned(b.ssid.size())), text(b.ssid)});
    }
    return v;
}

// What an AP Operational BSS TLV puts into a record: RUID, count, BSSID, marker, SSID.
void put_radio(Bytes& rec, int r, const Radio& radio)
{
    put(rec, radio_at(r), cat({radio.ruid, u8(unsigned(radio.bss.size()))}));
    for (size_t b = 0; b < radio.bss.size() && b < 6; ++b) {
        const Bss& bss = radio.bss[b];
        put(rec, bss_at(r, int(b)), cat({bss.bssid, u8(0xFF), u8(unsigned(bss.ssid.size())), text(bss.ssid.substr(0, 32))}));
    }
}

Bytes mdid_value(std::initializer_list<Bytes> entries, int sub_len = -1)
{
    Bytes e = cat(entries);
    return cat({kOui, u8(0xC0), be16(sub_len < 0 ? unsigned(1 + e.size()) : unsigned(sub_len)), u8(0), e});
}

Bytes bss_config_value(const Bytes& ruid, std::initializer_list<std::pair<Bytes, unsigned>> bsss)
{
    Bytes v = cat({u8(1), ruid, u8(unsigned(bsss.size()))});
    for (const auto& [b, flags] : bsss) v = cat({v, b, u8(flags), u8(0), u8(4), text("ssid")});
    return v;
}

std::vector<std::string> lines_starting(const LogCapture& log, const std::string& prefix)
{
    std::vector<std::string> out;
    for (const auto& l : log.lines())
        if (l.text.rfind(prefix, 0) == 0) out.push_back(l.text);
    return out;
}

const Radio kTwoByThree[] = {
    {kRuid0, {{bssid(0, 0), "fronthaul"}, {bssid(0, 1), "backhaul"}, {bssid(0, 2), ""}}},
    {kRuid1, {{bssid(1, 0), "five"}, {bssid(1, 1), std::string(32, 'x')}, {bssid(1, 2), "g"}}},
};
const Bytes kTwoByThreeTlv = tlv(0x83, op_bss_value({kTwoByThree[0], kTwoByThree[1]}));

struct TopologyResponse : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
};

TEST_F(TopologyResponse, DeviceInformationAlone)
{
    auto got = parse(rx, 0x0003, stream({tlv(0x03, {kAl, u8(2), mac("02:00:00:00:00:02"), raw({0x01, 0x05}), u8(0),
                                                    mac("02:00:00:00:00:03"), raw({0x01, 0x01}), u8(0)})}));
    ASSERT_TRUE(got);
    Bytes want = record(593, 0x0003);
    put(want, 2, kAl);
    put(want, 12, raw({0x01, 0x05})); // wire order, first interface only
    EXPECT_EQ(*got, want);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] DeviceInfo: device 02:00:00:00:00:01\n"));

    // No local interface: the AL MAC alone, media type 0 (project choice).
    auto none = parse(rx, 0x0003, stream({tlv(0x03, {kAl, u8(0)})}));
    ASSERT_TRUE(none);
    EXPECT_EQ(slice(*none, 2, 13), cat({kAl, zeros(7)}));
}

TEST_F(TopologyResponse, TwoRadiosOfThreeBss)
{
    auto got = parse(rx, 0x0003, stream({tlv(0x03, {kAl, u8(0)}), kTwoByThreeTlv}));
    ASSERT_TRUE(got);
    Bytes want = record(593, 0x0003);
    put(want, 2, kAl);
    want[8] = 2;
    put_radio(want, 0, kTwoByThree[0]);
    put_radio(want, 1, kTwoByThree[1]);
    EXPECT_EQ(*got, want);
    EXPECT_EQ((*got)[bss_at(1, 1) + 8 + 32], 0); // a 32-byte SSID is still followed by a zero
    EXPECT_EQ(lines_starting(log, "[TLV] APOperationBss"),
              (std::vector<std::string>{
                  "[TLV] APOperationBss: radio 02:00:00:00:0A:00, BSS numbers=3\n",
                  "[TLV] APOperationBss:  BSS 02:AA:00:00:00:00\n", "[TLV] APOperationBss:  BSS 02:AA:00:00:00:01\n",
                  "[TLV] APOperationBss:  BSS 02:AA:00:00:00:02\n",
                  "[TLV] APOperationBss: radio 02:00:00:00:0B:00, BSS numbers=3\n",
                  "[TLV] APOperationBss:  BSS 02:AA:00:00:01:00\n", "[TLV] APOperationBss:  BSS 02:AA:00:00:01:01\n",
                  "[TLV] APOperationBss:  BSS 02:AA:00:00:01:02\n"}));
}

// Counts larger than the record's room are stored as received; what fits is filled and the
// rest is read over, so the second radio and the later MDID TLV land where they belong.
TEST_F(TopologyResponse, OversizedCountsFillWhatFits)
{
    Radio big{kRuid0, {}};
    for (int b = 0; b < 8; ++b) big.bss.push_back({bssid(0, b), b == 0 ? std::string(40, 's') : "n"});
    const Radio second{kRuid1, {{bssid(1, 0), "second"}}};
    const Radio third{kRuid2, {{bssid(2, 0), "third"}}};
    auto got = parse(rx, 0x0003, stream({tlv(0x83, op_bss_value({big, second, third})),
                                         tlv(0x0B, mdid_value({bssid(1, 0), be16(0x0102), u8(1)})),
                                         tlv(0x0B, mdid_value({bssid(0, 7), be16(0x0304), u8(1)}))}));
    ASSERT_TRUE(got);
    Bytes want = record(593, 0x0003);
    want[8] = 3;
    put(want, 9, kOui);
    put_radio(want, 0, big); // 8 BSSs announced, 6 kept; SSID length 40, 32 bytes kept
    put_radio(want, 1, second);
    put(want, bss_at(1, 0) + 41, raw({0x02, 0x01, 0x01}));
    EXPECT_EQ(*got, want);
    EXPECT_EQ(lines_starting(log, "[TLV] APOperationBss").size(), 3u + 10u);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] APOperationBss:  BSS 02:AA:00:00:00:07\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] APOperationBss: radio 02:00:00:00:0C:00, BSS numbers=1\n"));
}

TEST_F(TopologyResponse, ApOperationalBssShortOfItsCounts)
{
    // BSS 1's SSID runs past the end: BSSID, length and marker kept, SSID empty. BSS 2 and
    // radio 1 do not fit at all: a zero BSS line is logged, the radio is skipped.
    Bytes v = cat({u8(2), kRuid0, u8(3), bssid(0, 0), u8(2), text("ab"), bssid(0, 1), u8(10), text("abc")});
    auto got = parse(rx, 0x0003, stream({tlv(0x83, v)}));
    ASSERT_TRUE(got);
    Bytes want = record(593, 0x0003);
    want[8] = 2;
    put(want, radio_at(0), cat({kRuid0, u8(3)}));
    put(want, bss_at(0, 0), cat({bssid(0, 0), u8(0xFF), u8(2), text("ab")}));
    put(want, bss_at(0, 1), cat({bssid(0, 1), u8(0xFF), u8(10)}));
    EXPECT_EQ(*got, want);
    EXPECT_EQ(lines_starting(log, "[TLV] APOperationBss"),
              (std::vector<std::string>{"[TLV] APOperationBss: radio 02:00:00:00:0A:00, BSS numbers=3\n",
                                        "[TLV] APOperationBss:  BSS 02:AA:00:00:00:00\n",
                                        "[TLV] APOperationBss:  BSS 02:AA:00:00:00:01\n",
                                        "[TLV] APOperationBss:  BSS 00:00:00:00:00:00\n"}));
}

TEST_F(TopologyResponse, ApOperationalBssOfLengthZeroIsRefused)
{
    // Only the first TLV may have length 0 without stopping the walk.
    EXPECT_FALSE(parse_n(rx, 0x0003, cat({tlv(0x83, Bytes{}), tlv(0x03, {kAl, u8(0)})})));
    EXPECT_TRUE(log.at_most(3).empty());
}

TEST_F(TopologyResponse, MdidAnnotatesKnownBss)
{
    auto got = parse(rx, 0x0003, stream({kTwoByThreeTlv, tlv(0x0B, mdid_value({bssid(1, 2), raw({0x12, 0x34}), u8(1),
                                                                                 bssid(0, 0), raw({0xAB, 0xCD}), u8(0),
                                                                                 mac("02:bb:00:00:00:00"), be16(7), u8(1)}))}));
    ASSERT_TRUE(got);
    EXPECT_EQ(slice(*got, 9, 3), kOui);
    EXPECT_EQ(slice(*got, bss_at(1, 2) + 41, 3), raw({0x34, 0x12, 0x01}));
    EXPECT_EQ(slice(*got, bss_at(0, 0) + 41, 3), raw({0xCD, 0xAB, 0x00}));
    EXPECT_EQ(lines_starting(log, "[TLV] VendorSpec"),
              (std::vector<std::string>{"[TLV] VendorSpec: check OUI = 0e:3c:71\n",
                                        "[TLV] VendorSpec: Enabled BSS 02:AA:00:00:01:02, MDID 1234\n",
                                        "[TLV] VendorSpec: Disabled BSS 02:AA:00:00:00:00, MDID ABCD\n",
                                        "[TLV] VendorSpec: Enabled BSS 02:BB:00:00:00:00, MDID 0007\n"}));

    // Before the AP Operational BSS TLV nothing is found; the line is logged, the message sent.
    log.clear();
    auto early = parse(rx, 0x0003, stream({tlv(0x0B, mdid_value({bssid(1, 2), raw({0x12, 0x34}), u8(1)})), kTwoByThreeTlv}));
    ASSERT_TRUE(early);
    EXPECT_EQ(slice(*early, bss_at(1, 2) + 41, 3), zeros(3));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] VendorSpec: Enabled BSS 02:AA:00:00:01:02, MDID 1234\n"));
}

TEST_F(TopologyResponse, MdidSubElementLength)
{
    // L = 1 carries no entry; L = 0 and L = 9 are malformed and keep the message back.
    EXPECT_TRUE(parse_n(rx, 0x0003, tlv(0x0B, mdid_value({}))));
    EXPECT_FALSE(parse_n(rx, 0x0003, tlv(0x0B, cat({kOui, u8(0xC0), be16(0)}))));
    EXPECT_FALSE(parse_n(rx, 0x0003, cat({kTwoByThreeTlv, tlv(0x0B, mdid_value({zeros(8)}, 9))})));
    EXPECT_FALSE(parse_n(rx, 0x0003, cat({tlv(0x0B, Bytes{}), kTwoByThreeTlv}))); // length 0
    EXPECT_TRUE(log.at_most(3).empty());
}

TEST_F(TopologyResponse, ForeignVendorSpecificIsPassedOver)
{
    auto got = parse(rx, 0x0003, stream({kTwoByThreeTlv, tlv(0x0B, cat({raw({0x0E, 0x3C, 0x71, 0xC1}), zeros(4)})),
                                         tlv(0x0B, {raw({0x00, 0x11, 0x22}), text("other vendor")})}));
    ASSERT_TRUE(got);
    EXPECT_EQ(slice(*got, 9, 3), raw({0x00, 0x11, 0x22})); // the later TLV's OUI
    EXPECT_TRUE(log.contains(8, 4, "[TLV] VendorSpec: unknown TLV 0xC1\n"));
    EXPECT_TRUE(log.contains(8, 4, "[TLV] VendorSpec: unknown OUI 00:11:22\n"));
    EXPECT_TRUE(log.at_most(3).empty());
}

TEST_F(TopologyResponse, BssConfigurationReportAnnotatesKnownBss)
{
    auto got = parse(rx, 0x0003, stream({kTwoByThreeTlv, tlv(0xB7, bss_config_value(kRuid1, {{bssid(1, 0), 0x80},
                                                                                              {bssid(1, 2), 0x41}}))}));
    ASSERT_TRUE(got);
    EXPECT_EQ(slice(*got, bss_at(1, 0) + 44, 2), raw({1, 0x80}));
    EXPECT_EQ(slice(*got, bss_at(1, 1) + 44, 2), raw({0, 0}));
    EXPECT_EQ(slice(*got, bss_at(1, 2) + 44, 2), raw({1, 0x41}));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] BSS Config Rpt: BSS 02:AA:00:00:01:02 BSS Config=65\n"));
}

TEST_F(TopologyResponse, BssConfigurationReportNamingUnknownBssIsRefused)
{
    // Before the AP Operational BSS TLV no radio is known.
    EXPECT_FALSE(parse_n(rx, 0x0003, cat({tlv(0xB7, bss_config_value(kRuid0, {{bssid(0, 0), 0x80}})), kTwoByThreeTlv})));
    EXPECT_EQ(log.at_most(3), (std::vector<LogLine>{{8, 3, "", "[TLV] BSS Config Rpt: Radio 02:00:00:00:0A:00 not found\n"}}));
    log.clear();
    // The first BSS is stored, the second is not there: refused all the same.
    EXPECT_FALSE(parse_n(rx, 0x0003, cat({kTwoByThreeTlv, tlv(0xB7, bss_config_value(kRuid0, {{bssid(0, 0), 0x80},
                                                                                               {bssid(1, 0), 0x80}}))})));
    EXPECT_EQ(log.at_most(3), (std::vector<LogLine>{{8, 3, "", "[TLV] BSS Config Rpt: BSS 02:AA:00:00:01:00 not found\n"}}));
}

// Each TLV cut short one byte at a time: refused with one error line, or handled as the
// AP Operational BSS Part says (sent; only length 0 refused, without a line).
TEST_F(TopologyResponse, TruncatedTlvs)
{
    const Bytes op = op_bss_value({kTwoByThree[0], kTwoByThree[1]});
    const struct {
        uint8_t type;
        Bytes value;
        Bytes prior; // the TLV that must come first for the cut one to be looked at
    } cases[] = {
        {0x03, cat({kAl, u8(1), mac("02:00:00:00:00:02"), raw({0x01, 0x05}), u8(2), raw({1, 2})}), {}},
        {0x0B, mdid_value({bssid(0, 0), be16(1), u8(1), bssid(0, 1), be16(2), u8(0)}), kTwoByThreeTlv},
        {0xB7, bss_config_value(kRuid0, {{bssid(0, 0), 0x80}, {bssid(0, 1), 0x40}}), kTwoByThreeTlv},
    };
    for (const auto& c : cases) {
        for (size_t len = 0; len < c.value.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "tlv " << int(c.type) << " len " << len);
            log.clear();
            Bytes cut(c.value.begin(), c.value.begin() + long(len));
            // Length 0 goes first: later in the stream the walker itself would stop at it.
            const Bytes cmdu = len == 0 ? cat({tlv(c.type, cut), c.prior}) : cat({c.prior, tlv(c.type, cut)});
            EXPECT_FALSE(parse_n(rx, 0x0003, cmdu));
            // A Vendor Specific TLV of length 0 is refused without a line (Part 3.1).
            EXPECT_EQ(log.at_most(3).size(), c.type == 0x0B && len == 0 ? 0u : 1u);
        }
    }
    for (size_t len = 1; len < op.size(); ++len) {
        SCOPED_TRACE(testing::Message() << "AP Operational BSS len " << len);
        log.clear();
        auto got = parse_n(rx, 0x0003, tlv(0x83, Bytes(op.begin(), op.begin() + long(len))));
        ASSERT_TRUE(got);
        EXPECT_EQ((*got)[8], 2);
        EXPECT_TRUE(log.at_most(4).empty());
    }
}

TEST(TopologyExtractors, ExportedShims)
{
    LogCapture log;
    TopologyResp r{};
    auto* rec = reinterpret_cast<uint8_t*>(&r);
    const Bytes dev = cat({kAl, u8(1), mac("02:00:00:00:00:02"), raw({0x01, 0x05}), u8(0)});
    const Bytes op = op_bss_value({{kRuid0, {{bssid(0, 0), "a"}}}});
    const Bytes md = mdid_value({bssid(0, 0), be16(0x0A0B), u8(1)});
    const Bytes cfg = bss_config_value(kRuid0, {{bssid(0, 0), 0x20}});
    EXPECT_EQ(tlv_DeviceInfo_extract(dev.data(), rec), 0);
    EXPECT_EQ(tlv_APOperationBss_extract(op.data(), rec, uint16_t(op.size())), 0);
    EXPECT_EQ(tlv_VendorSpecific_MDID_extract(md.data(), rec, uint16_t(md.size())), 0);
    EXPECT_EQ(tlv_BssConfigurationRpt_extract(cfg.data(), rec), 0);
    EXPECT_EQ(tlv_APOperationBss_extract(op.data(), rec, 0), -1);
    EXPECT_EQ(tlv_VendorSpecific_MDID_extract(md.data(), rec, 0), -1);
    EXPECT_EQ(Bytes(r.media_type, r.media_type + 2), raw({0x01, 0x05}));
    const TopologyRespBss& b = r.radio[0].bss[0];
    EXPECT_EQ(int(r.radio_num), 1);
    EXPECT_EQ(int(b.marker), 0xFF);
    EXPECT_EQ(int(b.mdid), 0x0A0B);
    EXPECT_EQ(int(b.config_reported), 1);
    EXPECT_EQ(int(b.config_flags), 0x20);
}

} // namespace
} // namespace lusl::test
