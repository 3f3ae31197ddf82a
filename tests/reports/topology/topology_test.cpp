// SPDX-License-Identifier: BSD-2-Clause
// Topology Response, Link Metric Response, the steering reports and the onboarding messages,
// end to end: parser, loopback socket, exact record bytes and log lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

const Bytes kAl = mac("02:00:00:00:00:01"), kRuid0 = mac("02:00:00:00:0a:00"), kRuid1 = mac("02:00:00:00:0b:00");

void put(Bytes& rec, size_t off, const Bytes& v) { std::copy(v.begin(), v.end(), rec.begin() + long(off)); }
LogLine debug(const std::string& text) { return {8, 7, "", text}; }
LogLine error(const std::string& text) { return {8, 3, "", text}; }

struct TopologyReports : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
    std::vector<LogLine> lines(const std::string& prefix) const
    {
        std::vector<LogLine> out;
        for (const auto& l : log.lines())
            if (l.module == 8 && l.text.starts_with(prefix)) out.push_back(l);
        return out;
    }
};
using TopologyResponse = TopologyReports;
using LinkMetricResponse = TopologyReports;
using SteeringReports = TopologyReports;
using Onboarding = TopologyReports;

// ------------------------------------------------------------------ Topology Response (0x0003)

const Bytes kOui = raw({0x0E, 0x3C, 0x71});
Bytes bssid(int r, int b) { return raw({0x02, 0xAA, 0, 0, unsigned(r), unsigned(b)}); }
size_t bss_at(int r, int b) { return 22 + 283 * size_t(r) + 46 * size_t(b); }
Bytes topology_record() { return cat({raw({0x03, 0x00}), zeros(591)}); }

using Radio = std::pair<Bytes, std::vector<std::pair<Bytes, std::string>>>; // RUID; BSSID and SSID each

Bytes op_bss(const std::vector<Radio>& radios)
{
    Bytes v = u8(unsigned(radios.size()));
    for (const auto& [ruid, bsss] : radios) {
        v = cat({v, ruid, u8(unsigned(bsss.size()))});
        for (const auto& [b, ssid] : bsss) v = cat({v, b, u8(unsigned(ssid.size())), text(ssid)});
    }
    return v;
}

// What an AP Operational BSS TLV puts into a record: RUID, count, BSSID, marker, SSID.
void put_radio(Bytes& rec, int r, const Radio& radio)
{
    put(rec, 15 + 283 * size_t(r), cat({radio.first, u8(unsigned(radio.second.size()))}));
    for (size_t b = 0; b < radio.second.size() && b < 6; ++b) {
        const auto& [id, ssid] = radio.second[b];
        put(rec, bss_at(r, int(b)), cat({id, u8(0xFF), u8(unsigned(ssid.size())), text(ssid.substr(0, 32))}));
    }
}

Bytes mdid(const Bytes& entries) { return cat({kOui, u8(0xC0), be16(unsigned(1 + entries.size())), u8(0), entries}); }

Bytes bss_cfg(const Bytes& ruid, std::initializer_list<std::pair<Bytes, unsigned>> bsss)
{
    Bytes v = cat({u8(1), ruid, u8(unsigned(bsss.size()))});
    for (const auto& [b, flags] : bsss) v = cat({v, b, u8(flags), u8(0), u8(4), text("ssid")});
    return v;
}

const Radio kTwoByThree[] = {
    {kRuid0, {{bssid(0, 0), "fronthaul"}, {bssid(0, 1), "backhaul"}, {bssid(0, 2), ""}}},
    {kRuid1, {{bssid(1, 0), "five"}, {bssid(1, 1), std::string(32, 'x')}, {bssid(1, 2), "g"}}},
};
const Bytes kOpBss = tlv(0x83, op_bss({kTwoByThree[0], kTwoByThree[1]}));

TEST_F(TopologyResponse, DeviceInformationAndTwoRadiosOfThreeBss)
{
    const Bytes dev = tlv(0x03, {kAl, u8(2), kRuid1, raw({0x01, 0x05}), u8(0), kRuid0, raw({0x01, 0x01}), u8(0)});
    Bytes want = topology_record();
    put(want, 2, cat({kAl, u8(2), zeros(3), raw({0x01, 0x05})})); // media type: wire order, first interface
    put_radio(want, 0, kTwoByThree[0]);
    put_radio(want, 1, kTwoByThree[1]);
    EXPECT_EQ(parse(rx, 0x0003, stream({dev, kOpBss})), want);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] DeviceInfo: device 02:00:00:00:00:01\n"));
    EXPECT_EQ(lines("[TLV] APOperationBss").size(), 2u + 6u); // their text: below

    // No local interface: the AL MAC alone, media type 0 (project choice).
    EXPECT_EQ(parse(rx, 0x0003, stream({tlv(0x03, {kAl, u8(0)})})), cat({raw({0x03, 0x00}), kAl, zeros(585)}));
}

TEST_F(TopologyResponse, ApOperationalBssShortOfItsCounts)
{
    // BSS 1's SSID runs past the end: BSSID, length and marker kept, SSID empty. BSS 2 and
    // radio 1 do not fit at all: a zero BSS line is logged, the radio is skipped.
    const Bytes v = cat({u8(2), kRuid0, u8(3), bssid(0, 0), u8(2), text("ab"), bssid(0, 1), u8(10), text("abc")});
    Bytes want = topology_record();
    put(want, 8, u8(2));
    put(want, 15, cat({kRuid0, u8(3), bssid(0, 0), u8(0xFF), u8(2), text("ab")}));
    put(want, bss_at(0, 1), cat({bssid(0, 1), u8(0xFF), u8(10)}));
    EXPECT_EQ(parse(rx, 0x0003, stream({tlv(0x83, v)})), want);
    const std::string op = "[TLV] APOperationBss: ";
    EXPECT_EQ(lines(op), (std::vector{debug(op + "radio 02:00:00:00:0A:00, BSS numbers=3\n"),
                                      debug(op + " BSS 02:AA:00:00:00:00\n"), debug(op + " BSS 02:AA:00:00:00:01\n"),
                                      debug(op + " BSS 00:00:00:00:00:00\n")}));
}

// Counts larger than the record's room are stored as received; what fits is filled and the
// rest is read over. MDIDs and configuration flags then land on the BSSs that the AP
// Operational BSS TLV stored; other vendors' TLVs are passed over, the last OUI is kept.
TEST_F(TopologyResponse, OversizedCountsAndAnnotations)
{
    Radio big{kRuid0, {}};
    for (int b = 0; b < 8; ++b) big.second.push_back({bssid(0, b), b == 0 ? std::string(40, 's') : "n"});
    const Radio second{kRuid1, {{bssid(1, 0), "second"}}}, third{kAl, {{bssid(2, 0), "third"}}};
    auto got = parse(
        rx, 0x0003,
        stream({tlv(0x83, op_bss({big, second, third})),
                tlv(0x0B, mdid(cat({bssid(1, 0), raw({0x12, 0x34}), u8(1), bssid(0, 0), raw({0xAB, 0xCD}), u8(0),
                                    bssid(0, 7), be16(7), u8(1)}))),
                tlv(0x0B, cat({kOui, u8(0xC1), zeros(4)})), tlv(0x0B, {raw({0x00, 0x11, 0x22}), text("other vendor")}),
                tlv(0xB7, bss_cfg(kRuid1, {{bssid(1, 0), 0x41}}))}));
    Bytes want = topology_record();
    put(want, 8, raw({3, 0x00, 0x11, 0x22}));
    put_radio(want, 0, big); // 8 BSSs announced, 6 kept; SSID length 40, 32 bytes kept
    put_radio(want, 1, second);
    put(want, bss_at(0, 0) + 41, raw({0xCD, 0xAB, 0x00}));
    put(want, bss_at(1, 0) + 41, raw({0x34, 0x12, 0x01, 0x01, 0x41})); // MDID, flag, reported, flags
    EXPECT_EQ(got, want);
    EXPECT_EQ(lines("[TLV] APOperationBss").size(), 3u + 10u);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] APOperationBss:  BSS 02:AA:00:00:00:07\n"));
    const std::string vs = "[TLV] VendorSpec: ";
    EXPECT_EQ(
        lines(vs),
        (std::vector{debug(vs + "check OUI = 0e:3c:71\n"), debug(vs + "Enabled BSS 02:AA:00:00:01:00, MDID 1234\n"),
                     debug(vs + "Disabled BSS 02:AA:00:00:00:00, MDID ABCD\n"),
                     debug(vs + "Enabled BSS 02:AA:00:00:00:07, MDID 0007\n"), debug(vs + "check OUI = 0e:3c:71\n"),
                     LogLine{8, 4, "", vs + "unknown TLV 0xC1\n"}, debug(vs + "check OUI = 00:11:22\n"),
                     LogLine{8, 4, "", vs + "unknown OUI 00:11:22\n"}}));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] BSS Config Rpt: BSS 02:AA:00:00:01:00 BSS Config=65\n"));
}

TEST_F(TopologyResponse, AnnotationsBeforeTheBssTableOrMalformed)
{
    // An MDID before the AP Operational BSS TLV finds nothing: logged, not stored, sent.
    auto early = parse(rx, 0x0003, stream({tlv(0x0B, mdid(cat({bssid(1, 2), be16(0x1234), u8(1)}))), kOpBss}));
    ASSERT_TRUE(early);
    EXPECT_EQ(slice(*early, bss_at(1, 2) + 41, 3), zeros(3));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] VendorSpec: Enabled BSS 02:AA:00:00:01:02, MDID 1234\n"));
    // Sub-element length 1 carries no entry; 0 and 9 are malformed and refused without a line.
    EXPECT_TRUE(parse_n(rx, 0x0003, tlv(0x0B, mdid({}))));
    for (unsigned l : {0, 9}) EXPECT_FALSE(parse_n(rx, 0x0003, tlv(0x0B, cat({kOui, u8(0xC0), be16(l), zeros(l)}))));
    EXPECT_TRUE(log.at_most(3).empty());

    // A configuration report before the table, or naming a BSS not in it, is refused.
    EXPECT_FALSE(parse_n(rx, 0x0003, cat({tlv(0xB7, bss_cfg(kRuid0, {{bssid(0, 0), 0x80}})), kOpBss})));
    EXPECT_FALSE(
        parse_n(rx, 0x0003, cat({kOpBss, tlv(0xB7, bss_cfg(kRuid0, {{bssid(0, 0), 0x80}, {bssid(1, 0), 0x80}}))})));
    EXPECT_EQ(log.at_most(3), (std::vector<LogLine>{error("[TLV] BSS Config Rpt: Radio 02:00:00:00:0A:00 not found\n"),
                                                    error("[TLV] BSS Config Rpt: BSS 02:AA:00:00:01:00 not found\n")}));
}

// ------------------------------------------------------------------ Link Metric Response (0x0006)

const Bytes kNb = mac("02:00:00:00:00:0b"), kIf = mac("02:00:00:00:01:01"), kNbIf = mac("02:00:00:00:0b:01");
Bytes nb(int k) { return raw({0x02, 0, 0, 0, 0, 0x10u + unsigned(k)}); }
size_t entry_at(int k, int i) { return 14 + 142 * size_t(k) + 34 * size_t(i); }

// 29 bytes: interface MACs, media type, bridge flag, errors, packets, throughput, availability, PHY rate.
Bytes tx_link(unsigned media, unsigned long errors, unsigned long packets, unsigned thr, unsigned phy)
{
    return cat({kIf, kNbIf, be16(media), u8(1), be32(errors), be32(packets), be16(thr), be16(0xFFFF), be16(phy)});
}
// 23 bytes: interface MACs, media type, errors, packets, RSSI.
Bytes rx_link(unsigned long errors, unsigned long packets)
{
    return cat({mac("02:00:00:00:0b:99"), kIf, be16(0x0107), be32(errors), be32(packets), u8(0xC0)});
}
Bytes tx_tlv(const Bytes& neighbor, const Bytes& links = {}) { return tlv(0x09, cat({kAl, neighbor, links})); }
Bytes rx_tlv(const Bytes& neighbor, const Bytes& links = {}) { return tlv(0x0A, cat({kAl, neighbor, links})); }

TEST_F(LinkMetricResponse, ReceiverCountersMergeIntoTheTransmitterSlot)
{
    const Bytes tx_ = tx_tlv(kNb, cat({tx_link(0x0107, 3, 0x100, 866, 1201), tx_link(0x0001, 0, 7, 100, 1000)}));
    // Per link: interface MACs, tx errors, tx packets, rx errors, rx packets, media, throughput, PHY rate.
    EXPECT_EQ(parse(rx, 0x0006, stream({tx_, rx_tlv(kNb, cat({rx_link(5, 0x01020304), rx_link(6, 8)}))})),
              cat({raw({0x06, 0x00}), kAl, kNb, kIf, kNbIf, raw({3, 0, 0, 0, 0x00, 0x01, 0x00, 0x00, 5,    0,    0,
                                                                 0, 4, 3, 2, 1,    0x07, 0x01, 0x62, 0x03, 0xB1, 0x04}),
                   kIf, kNbIf, raw({0, 0, 0, 0, 7, 0, 0, 0, 6, 0, 0, 0, 8, 0, 0, 0, 0x01, 0x00, 100, 0, 0xE8, 0x03}),
                   zeros(2 * 34 + 4 * 142)}));
    const std::string tx = "[TLV] LinkMetricTx: ", rx_ = "[TLV] LinkMetricRx: ";
    const std::string intf = " intf 02:00:00:00:01:01, neighbor 02:00:00:00:0B:01, mediatype=0x0";
    EXPECT_EQ(lines("[TLV] "),
              (std::vector<LogLine>{debug(tx + "device 02:00:00:00:00:01, neighbor 02:00:00:00:00:0B\n"),
                                    debug(tx + intf + "107, phyrate=1201, macthroughputcap=866\n"),
                                    debug(tx + intf + "001, phyrate=1000, macthroughputcap=100\n"),
                                    debug(rx_ + "device 02:00:00:00:00:01, neighbor 02:00:00:00:00:0B\n"),
                                    debug(rx_ + intf + "107\n"), debug(rx_ + intf + "001\n")}));
}

// A receiver merges only into a slot an earlier transmitter claimed; a zero neighbour leaves
// its slot free for the next; five neighbours of four links each are kept.
TEST_F(LinkMetricResponse, SlotsAndTheirLimits)
{
    Bytes six;
    for (unsigned i = 0; i < 6; ++i) six = cat({six, tx_link(i, i, i, i, i)});
    Bytes cmdu = cat({rx_tlv(nb(0), rx_link(5, 6)), tx_tlv(zeros(6), tx_link(9, 9, 9, 9, 9)), tx_tlv(nb(0), six)});
    for (int k = 1; k < 6; ++k) cmdu = cat({cmdu, tx_tlv(nb(k), tx_link(9, 9, 9, 9, 9))});
    auto got = parse(rx, 0x0006, cat({cmdu, stream({})}));
    ASSERT_TRUE(got);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(slice(*got, 8 + 142 * size_t(k), 6), nb(k));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(le16_at(*got, entry_at(0, i) + 28), i); // links 0-3 of six
    EXPECT_EQ(slice(*got, entry_at(0, 0) + 20, 8), zeros(8));
    EXPECT_EQ(log.at_most(3), (std::vector<LogLine>{error("[TLV] LinkMetricRx: link metric buffer is full!!!\n"),
                                                    error("[TLV] LinkMetricTx: link metric buffer is full!!!\n")}));
}

// ------------------------------------------------------------------ steering reports (0x8015, 0x801A)

const Bytes kSta = mac("02:11:22:33:44:55"), kTarget = mac("02:aa:00:00:00:02");

// The BTM report takes its target only at exactly 19 bytes.
TEST_F(SteeringReports, BtmReportAndBackhaulSteeringResponse)
{
    const Bytes btm = cat({kAl, kSta, u8(0), kTarget}), bh = cat({kSta, kTarget, u8(1)}), h15 = raw({0x15, 0x80});
    EXPECT_EQ(parse(rx, 0x8015, stream({tlv(0x9C, btm)})), cat({h15, btm}));
    EXPECT_EQ(parse(rx, 0x8015, stream({tlv(0x9C, cat({btm, u8(0)}))})), cat({h15, slice(btm, 0, 13), zeros(6)}));
    // A second report replaces every field, the target included.
    EXPECT_EQ(parse(rx, 0x8015, stream({tlv(0x9C, btm), tlv(0x9C, {kSta, kAl, u8(6)})})),
              cat({h15, kSta, kAl, u8(6), zeros(6)}));
    EXPECT_TRUE(log.contains(8, 7,
                             "[TLV] SteeringBTMRpt: BSS 02:11:22:33:44:55, STA 02:00:00:00:00:01, "
                             "targetBSS 00:00:00:00:00:00, status code=6\n"));
    EXPECT_EQ(parse(rx, 0x801A, stream({tlv(0x9F, bh), tlv(0xA3, {u8(5), kSta})})), cat({raw({0x1A, 0x80}), bh}));
    EXPECT_TRUE(
        log.contains(8, 7, "[TLV] BHSteeringRsp: STA 02:11:22:33:44:55, target BSS 02:AA:00:00:00:02, result=1\n"));
}

// ------------------------------------------------------------------ onboarding (0x0009, 0x802C)

const Bytes kSrc = mac("02:00:00:00:00:5c");
Bytes attr(unsigned t, const std::string& s) { return cat({be16(t), be16(unsigned(s.size())), text(s)}); }
Bytes msg_type(unsigned t) { return attr(0x1022, std::string(1, char(t))); }
Bytes padded(const std::string& s) { return cat({text(s), zeros(64 - s.size())}); }
Bytes akm(unsigned i) { return raw({0x00, 0x0F, 0xAC, i}); }

// A 64-byte serial number is left out, a 63-byte model kept; a second, shorter manufacturer
// overwrites only its own bytes of the first; unknown attributes are stepped over. The flag
// bits are stored reversed, wire bit 0 dropped.
TEST_F(Onboarding, M1WithAdvancedCapabilities)
{
    const std::string model(63, 'm');
    const Bytes frame = cat({attr(0x104A, "\x10"), msg_type(4), attr(0x1021, "ABCDEF"), attr(0x1023, model),
                             attr(0x1042, std::string(64, 's')), attr(0x1021, "Acme"), attr(0x1005, "12345678")});
    EXPECT_EQ(parse(rx, 0x0009, stream({tlv(0x11, frame), tlv(0xBE, {kRuid0, u8(0xC1)})}), kSrc),
              cat({raw({0x09, 0x00}), kSrc, u8(4), padded("AcmeEF"), padded(model), zeros(64), kRuid0, u8(0x03)}));
    EXPECT_EQ(lines("[TLV] "), std::vector{debug("[TLV] M1 WSC: device 02:00:00:00:00:5C, manufacture:AcmeEF model:" +
                                                 model + " serialNo:\n")});

    // Without a source MAC the device stays zero, with a warning.
    EXPECT_EQ(parse_n(rx, 0x0009, tlv(0x11, cat({msg_type(4), attr(0x1042, "SN1")})), {}),
              cat({raw({0x09, 0x00}), zeros(6), u8(4), zeros(128), padded("SN1"), zeros(7)}));
    EXPECT_EQ(log.at_most(3), std::vector{error("[TLV] Warning!!! Device_mac is NULL!!.\n")});
}

TEST_F(Onboarding, OtherWscFramesSetOnlyTheirType)
{
    EXPECT_EQ(parse(rx, 0x0009, stream({tlv(0x11, {msg_type(5), attr(0x1021, "Acme"), attr(0x1023, "X")})}), kSrc),
              cat({raw({0x09, 0x00}), zeros(6), u8(5), zeros(199)}));
    EXPECT_EQ(parse(rx, 0x0009, stream({tlv(0x11, attr(0x1021, "Acme"))}), kSrc), cat({raw({0x09, 0x00}), zeros(206)}));
    EXPECT_TRUE(lines("").empty());
}

// The third radio is dropped without a line; the record keeps the fronthaul list first.
// AKM counts above ten are stored as received, ten selectors kept, the rest stepped over.
TEST_F(Onboarding, BssConfigurationRequest)
{
    auto got = parse(rx, 0x802C,
                     stream({tlv(0x85, {kRuid0, raw({4, 0})}), tlv(0xCC, {u8(2), akm(1), akm(2), u8(1), akm(8)}),
                             tlv(0x85, {kRuid1, raw({4, 0})}), tlv(0x85, {kSrc, raw({4, 0})})}));
    EXPECT_EQ(got, cat({raw({0x2C, 0x80}), u8(2), kRuid0, zeros(6), kRuid1, zeros(6), u8(1), akm(8), zeros(36), u8(2),
                        akm(1), akm(2), zeros(32)}));
    EXPECT_TRUE(log.at_most(4).empty());
    Bytes bh, fh;
    for (unsigned i = 0; i < 12; ++i) bh = cat({bh, akm(i)});
    for (unsigned i = 0; i < 11; ++i) fh = cat({fh, akm(0x40 + i)});
    EXPECT_EQ(parse(rx, 0x802C, stream({tlv(0xCC, {u8(12), bh, u8(11), fh})})),
              cat({raw({0x2C, 0x80}), zeros(25), u8(11), slice(fh, 0, 40), u8(12), slice(bh, 0, 40)}));
}

// Every TLV of these messages cut short one byte at a time: sent where its rule allows that
// length, otherwise refused with one error line. A Vendor Specific or AP Operational BSS TLV
// of length 0 is refused without a line. Steering TLVs shorter than 13 bytes are refused
// (project choice); a WSC frame cut between attributes is a shorter frame.
TEST_F(TopologyReports, TruncatedTlvsAreSentOnlyWhereTheirRuleAllows)
{
    const Bytes op = op_bss({kTwoByThree[0], kTwoByThree[1]});
    std::set<size_t> op_ok;
    for (size_t len = 1; len < op.size(); ++len) op_ok.insert(len);
    const std::tuple<uint16_t, uint8_t, Bytes, Bytes, std::set<size_t>> cases[] = {
        // message, TLV, value, the TLV it needs before it, lengths sent
        {0x0003, 0x03, cat({kAl, u8(1), kRuid0, raw({0x01, 0x05}), u8(2), raw({1, 2})}), {}, {}},
        {0x0003, 0x0B, mdid(cat({bssid(0, 0), be16(1), u8(1), bssid(0, 1), be16(2), u8(0)})), kOpBss, {}},
        {0x0003, 0xB7, bss_cfg(kRuid0, {{bssid(0, 0), 0x80}, {bssid(0, 1), 0x40}}), kOpBss, {}},
        {0x0003, 0x83, op, {}, op_ok},
        {0x0006, 0x09, cat({kAl, kNb, tx_link(1, 2, 3, 4, 5), tx_link(1, 2, 3, 4, 5)}), tx_tlv(kNb), {12, 41}},
        {0x0006, 0x0A, cat({kAl, kNb, rx_link(1, 2), rx_link(1, 2)}), tx_tlv(kNb), {12, 35}},
        {0x8015, 0x9C, cat({kAl, kSta, u8(0), kTarget}), {}, {13, 14, 15, 16, 17, 18}},
        {0x801A, 0x9F, cat({kSta, kTarget, u8(1)}), {}, {}},
        {0x0009,
         0x11,
         cat({msg_type(4), attr(0x1021, "Ac"), attr(0x1023, "M"), attr(0x1042, "S")}),
         {},
         {0, 5, 11, 16}},
        {0x0009, 0xBE, cat({kRuid0, u8(0x80)}), {}, {}},
        {0x802C, 0x85, cat({kRuid0, raw({4, 0})}), {}, {6, 7}},
        {0x802C, 0xCC, cat({u8(1), akm(1), u8(2), akm(2), akm(3)}), {}, {}},
    };
    for (const auto& [msg, type, value, prior, ok] : cases) {
        for (size_t len = 0; len <= value.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "tlv " << int(type) << " len " << len);
            log.clear();
            const Bytes cut = tlv(type, slice(value, 0, len));
            const bool sent = len == value.size() || ok.count(len) > 0;
            // Length 0 goes first: later in the stream the walker itself would stop at it.
            EXPECT_EQ(bool(parse_n(rx, msg, len == 0 ? cat({cut, prior}) : cat({prior, cut}), kSrc)), sent);
            EXPECT_EQ(log.at_most(4).size(), sent || (len == 0 && (type == 0x0B || type == 0x83)) ? 0u : 1u);
        }
    }
}

// ------------------------------------------------------------------ the exported extractors

TEST(TopologyExtractors, ExportedShims)
{
    LogCapture log;
    Bytes topo = zeros(593), lm = zeros(718), btm = zeros(21), bh = zeros(15);
    const Radio radio{kRuid0, {{bssid(0, 0), "a"}}};
    const Bytes op = op_bss({radio}), md = mdid(cat({bssid(0, 0), be16(0x0A0B), u8(1)}));
    EXPECT_EQ(tlv_DeviceInfo_extract(cat({kAl, u8(1), kRuid1, raw({0x01, 0x05}), u8(0)}).data(), topo.data()), 0);
    EXPECT_EQ(tlv_APOperationBss_extract(op.data(), topo.data(), uint16_t(op.size())), 0);
    EXPECT_EQ(tlv_VendorSpecific_MDID_extract(md.data(), topo.data(), uint16_t(md.size())), 0);
    EXPECT_EQ(tlv_BssConfigurationRpt_extract(bss_cfg(kRuid0, {{bssid(0, 0), 0x20}}).data(), topo.data()), 0);
    EXPECT_EQ(tlv_APOperationBss_extract(op.data(), topo.data(), 0), -1);
    EXPECT_EQ(tlv_VendorSpecific_MDID_extract(md.data(), topo.data(), 0), -1);
    Bytes want = cat({zeros(2), kAl, u8(1), kOui, raw({0x01, 0x05}), zeros(579)});
    put_radio(want, 0, radio);
    put(want, bss_at(0, 0) + 41, raw({0x0B, 0x0A, 1, 1, 0x20}));
    EXPECT_EQ(topo, want);

    const Bytes tx = cat({kAl, kNb, tx_link(1, 2, 3, 4, 5)}), rxv = cat({kAl, kNb, rx_link(6, 7)});
    EXPECT_EQ(tlv_LinkMetricTx_extract(tx.data(), lm.data(), 41), 0);
    EXPECT_EQ(tlv_LinkMetricRx_extract(rxv.data(), lm.data(), 35), 0);
    EXPECT_EQ(slice(lm, entry_at(0, 0) + 12, 16), raw({2, 0, 0, 0, 3, 0, 0, 0, 6, 0, 0, 0, 7, 0, 0, 0}));
    log.clear();
    EXPECT_EQ(tlv_LinkMetricTx_extract(tx.data(), lm.data(), 40), -1);
    EXPECT_EQ(tlv_LinkMetricRx_extract(rxv.data(), lm.data(), 36), -1);
    EXPECT_EQ(log.at_most(3), (std::vector{error("[TLV] Read failure len = 40 [must be 12 + 29*n]\n"),
                                           error("[TLV] Read failure len = 36 [must be 12 + 23*n]\n")}));
    const Bytes v = cat({kAl, kSta, u8(0), kTarget});
    EXPECT_EQ(tlv_SteeringBTMReport_extract(v.data(), btm.data(), 19), 0);
    EXPECT_EQ(btm, cat({zeros(2), v}));
    EXPECT_EQ(tlv_BHSteeringResp_extract(v.data(), bh.data(), 0), 0); // the length is not used
    EXPECT_EQ(bh, cat({zeros(2), slice(v, 0, 13)}));

    Bytes w = zeros(208), b = zeros(109);
    const Bytes frame = cat({msg_type(4), attr(0x1023, "Model-1")}), adv = cat({kRuid0, u8(0x3E)});
    const Bytes akms = cat({u8(0), u8(1), akm(4)});
    w[207] = 0x80; // record bit 7 is never written: it keeps what it had
    EXPECT_EQ(tlv_WSC_extract(frame.data(), w.data(), uint16_t(frame.size()), kSrc.data()), 0);
    EXPECT_EQ(tlv_APRadioAdvancedCaps_extract(adv.data(), w.data()), 0);
    EXPECT_EQ(w, cat({zeros(2), kSrc, u8(4), zeros(64), padded("Model-1"), zeros(64), kRuid0, u8(0xFC)}));
    EXPECT_EQ(tlv_APRadioBasicCapabilities_extract_bss_config_req(kRuid1.data(), b.data()), 0);
    EXPECT_EQ(tlv_akm_suite_capabilities_extract(akms.data(), b.data()), 0);
    EXPECT_EQ(tlv_akm_suite_capabilities_extract(akms.data(), nullptr), 0);
    EXPECT_EQ(b, cat({zeros(2), u8(1), kRuid1, zeros(6 + 12), u8(1), akm(4), zeros(36 + 1 + 40)}));
}

} // namespace
} // namespace lusl::test
