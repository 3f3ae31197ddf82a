// SPDX-License-Identifier: BSD-2-Clause
// Client Capability Report: the request-frame element parser on its own, then whole reports
// through the parser, the loopback socket and the exact record bytes.
#include <gtest/gtest.h>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

constexpr uint16_t kMsg = 0x800A;
const Bytes kHdr = raw({0x0A, 0x80}), kBss = mac("02:aa:bb:cc:dd:01"), kSta = mac("02:11:22:33:44:55");

Bytes counted(const Bytes& b) { return cat({u8(static_cast<unsigned>(b.size())), b}); }
Bytes ie(unsigned id, std::initializer_list<Bytes> data) { return cat({u8(id), counted(cat(data))}); }
Bytes ext_ie(unsigned ext, std::initializer_list<Bytes> data) { return ie(255, {u8(ext), cat(data)}); }
Bytes le16(unsigned v) { return raw({v & 0xFF, v >> 8}); }
Bytes tight(const Bytes& b) { return b; } // a copy: its allocation ends where its bytes end, for ASan
Bytes bytes_of(const CliCapRpt& r) { auto* p = reinterpret_cast<const uint8_t*>(&r); return Bytes(p, p + sizeof r); }
int run(const Bytes& list, CliCapRpt& r)
{
    return management_RequestFrame_extract(tight(list).data(), reinterpret_cast<uint8_t*>(&r), int(list.size()));
}
// Record bytes expected at documented offsets.
using Checks = std::vector<std::pair<size_t, Bytes>>;
void expect_at(const Bytes& rec, const Checks& checks)
{
    for (const auto& [off, want] : checks) EXPECT_EQ(slice(rec, off, want.size()), want) << "at offset " << off;
}
LogLine cap(int level, const std::string& text) { return {8, level, "", "[TLV] ClientCap: " + text + "\n"}; }

// Elements of the stations below.
const Bytes kSsid = ie(0, {text("mesh")});
const Bytes kRates5g = ie(1, {raw({0x8C, 0x12, 0x98, 0x24, 0xB0, 0x48, 0x60, 0x6C})}); // 6 to 54 Mbit/s
const Bytes kHtMcs = raw({0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0x2C, 0x01, 0x01, 0, 0, 0});
// Capability information 0x01EF: 40 MHz, short GI 20 and 40 MHz.
const Bytes kHt = ie(45, {raw({0xEF, 0x01}), u8(0x17), kHtMcs, zeros(7)});
const Bytes kRsn = ie(48, {raw({1, 0, 0, 0x0F, 0xAC, 4, 1, 0, 0, 0x0F, 0xAC, 4, 1, 0, 0, 0x0F, 0xAC, 2, 0, 0})});
const Bytes kExtCapBtm = ie(127, {raw({0x04, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x40})});
const Bytes kVhtSet = raw({0xFA, 0xFF, 0x3C, 0x03, 0xFE, 0xFF, 0x3C, 0x03}); // Rx map, Rx rate, Tx map, Tx rate
const Bytes kHeMaps80 = raw({0xFA, 0xFF, 0xFA, 0xFF}), kHeMaps160 = raw({0xFE, 0xFF, 0xFE, 0xFF});
const Bytes kEhtMaps = raw({0x44, 0x44, 0x44, 0x33, 0x33, 0x33, 0x22, 0x22, 0x22}); // 80, 160, 320 MHz
// MAC: TWT requester. PHY: 40/80 and 160 MHz, UL MU-MIMO, SU beamformer, SU beamformee, STS <= 80 MHz.
const Bytes kHePhy = raw({0x0C, 0x00, 0x40, 0x80, 0x0D, 0, 0, 0, 0, 0, 0});
const Bytes kHe = ext_ie(35, {raw({0x03, 0, 0, 0, 0, 0}), kHePhy, kHeMaps80, kHeMaps160});
const Bytes kAssocFixed = raw({0x31, 0x04, 0x0A, 0x00}); // capability information, listen interval

// A 5 GHz HT+VHT+HE station's association request, element by element with the PHY bit
// each adds: power capability, RSN, a vendor element and, for VHT, 160 MHz, short GI 80
// and 160 MHz, SU and MU beamformer.
const std::vector<std::pair<Bytes, uint8_t>> kStationA = {
    {kSsid, 0}, {kRates5g, 0}, {ie(33, {raw({0x00, 0x14})}), 0}, {kHt, 0x01}, {kRsn, 0}, {kExtCapBtm, 0},
    {ie(191, {raw({0x76, 0x18, 0x08, 0x0C}), kVhtSet}), 0x02}, {kHe, 0x04},
    {ie(221, {raw({0x00, 0x50, 0xF2, 0x02, 0x00, 0x01, 0x00})}), 0}};
Bytes station_a_body() { Bytes b = kAssocFixed; for (const auto& e : kStationA) b = cat({b, e.first}); return b; }

TEST(ClientElements, LengthLimitsAndActions)
{
    const auto* t = reinterpret_cast<const uint8_t*>(ele_table);
    EXPECT_EQ(Bytes(t, t + sizeof ele_table), raw({0, 0, 32, 1, 1, 8, 3, 1, 1, 33, 2, 2, 45, 26, 26, 48, 2, 255, 50,
                                                   1, 255, 70, 5, 5, 191, 12, 12}));
    const struct { Bytes list; std::vector<LogLine> lines; } refused[] = {
        {{}, {}},
        {ie(221, {raw({0x00, 0x50, 0xF2})}), {cap(3, "first tag 221 is not SSID(0)")}},
        {cat({kSsid, ie(1, {raw({0x0C})}), kSsid}), {}},
        {ie(0, {fill(33, 0x61)}), {cap(7, "tag 0 length 33 out of range [min 0-max 32]")}},
        {cat({kSsid, ie(1, {fill(9, 0x0C)})}), {cap(7, "tag 1 length 9 out of range [min 1-max 8]")}},
        {cat({kSsid, ie(1, {})}), {cap(7, "tag 1 length 0 out of range [min 1-max 8]")}},
        {cat({kSsid, ie(45, {zeros(25)})}), {cap(7, "tag 45 length 25 out of range [min 26-max 26]")}},
        {cat({kSsid, ie(191, {zeros(13)})}), {cap(7, "tag 191 length 13 out of range [min 12-max 12]")}},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(&c - refused);
        LogCapture log;
        CliCapRpt rec{};
        EXPECT_EQ(run(c.list, rec), -1);
        EXPECT_EQ(log.lines(), c.lines);
    }
    CliCapRpt rec{};
    EXPECT_EQ(management_RequestFrame_extract(kSsid.data(), reinterpret_cast<uint8_t*>(&rec), -4), -1);
    EXPECT_EQ(management_RequestFrame_extract(nullptr, reinterpret_cast<uint8_t*>(&rec), 6), -1);

    const Bytes m1 = raw({1, 1, 1, 1}), m2 = raw({2, 2, 2, 2}), m3 = raw({3, 3, 3, 3});
    const auto vht = [](unsigned long info) { return ie(191, {be32(info), kVhtSet}); }; // information bytes 0-3
    const auto he = [&](unsigned p0) { return ext_ie(35, {zeros(6), u8(p0), zeros(10), m1, m2, m3}); };
    const auto eht = [](unsigned p) { return ext_ie(108, {zeros(2), u8(p), zeros(8), raw({1, 2, 3, 4}), kEhtMaps}); };
    // Each row: elements after an SSID, and the record bytes they leave.
    const struct { Bytes elements; Checks at; } rows[] = {
        // Highest legacy rate: fraction and basic-rate bit dropped, spanning both rate elements.
        {ie(1, {raw({0x0B})}), {{73, u8(5)}}},
        {ie(1, {raw({0x8B, 0x96})}), {{73, u8(11)}}},
        {cat({ie(1, {raw({0x6C})}), ie(50, {raw({0x0C, 0x12})})}), {{73, u8(54)}}},
        // BSS transition needs three bytes; each element decides anew.
        {cat({ie(127, {raw({0x04, 0x00})}), ie(221, {raw({0x08})})}), {{16, u8(0)}}},
        {cat({ie(127, {raw({0x00, 0x00, 0x08})}), ie(127, {raw({0xFF, 0xFF, 0xF7})})}), {{16, u8(0)}}},
        // VHT: bandwidths and short GI (18..22), then short GI and width/beamformer flags (80).
        {vht(0x00000000), {{18, raw({0x07, 0, 0, 0, 0})}, {80, raw({0, 0x00})}}},
        {vht(0x040000C0), {{18, raw({0x0F, 0, 0, 0, 0})}, {80, raw({0, 0xC0})}}}, // extended NSS BW 3: 80+80
        {vht(0x08000000), {{18, raw({0x0F, 0, 0, 0, 0})}, {80, raw({0, 0xC0})}}}, // 160 and 80+80
        {vht(0x08000040), {{18, raw({0x0F, 0, 0, 0, 0})}, {80, raw({0, 0x40})}}},
        {vht(0x0C0000C0), {{18, raw({0x0F, 0, 0, 0, 0})}, {80, raw({0, 0x00})}}}, // reserved set: wide, no flag
        {vht(0x20080000), {{18, raw({0x07, 0, 0, 0, 2})}, {80, raw({2, 0x20})}}}, // short GI 80, SU beamformer
        {vht(0x40000800), {{18, raw({0x07, 0, 0, 0, 2})}, {80, raw({1, 0x10})}}}, // short GI 160, MU beamformer
        // HE: map blocks follow the PHY bits; 80+80 without 160 takes the second block.
        {he(0x02),
         {{19, u8(0x03)}, {47, cat({m1, zeros(8)})}, {82, cat({u8(0x40), m1, zeros(8), raw({0xC0, 0, 0, 0, 3})})}}},
        {he(0x14), {{19, u8(0x07)}, {47, cat({m1, zeros(4), m2})}, {82, u8(0x48)}}},
        {he(0x1C), {{19, u8(0x0F)}, {47, cat({m1, m2, m3})}, {82, u8(0x4C)}}},
        // EHT maps follow the bandwidths, which build on those of an HE element before it.
        {eht(0x02), {{20, le16(0x10)}, {59, cat({raw({1, 2, 3, 4}), zeros(6), raw({0x44, 0x44, 0x44})})}}},
        {cat({he(0x00), eht(0x00)}), {{20, le16(0x01)}, {59, cat({raw({1, 2, 3, 4}), zeros(9)})}}},
        {cat({he(0x04), eht(0x00)}), {{20, le16(0x07)}, {59, cat({zeros(4), raw({1, 2, 3}), zeros(6)})}}},
        // The last generation element decides; HE always sets its short GI bit, HT here none.
        {cat({he(0x00), ie(45, {zeros(26)})}), {{14, raw({0x05, 0x01})}, {22, u8(0x04)}, {72, u8(7)}}},
        // Unlisted elements at any length, listed ones at their limits.
        {cat({ie(221, {}), ie(127, {}), ie(255, {}), ie(48, {zeros(255)}), ie(50, {fill(255, 2)}), ie(70, {zeros(5)})}),
         {{14, u8(0)}, {73, u8(1)}}},
        {cat({ie(221, {fill(255, 0xDD)}), ie(127, {zeros(255)}), ie(255, {fill(255, 0xFE)})}), {{14, u8(0)}}},
    };
    for (const auto& c : rows) {
        SCOPED_TRACE(&c - rows);
        CliCapRpt got{};
        ASSERT_EQ(run(cat({kSsid, c.elements}), got), 0);
        expect_at(bytes_of(got), c.at);
    }
    // The 6 GHz flag: a list refused at its first tag leaves it, a list that is read resets it.
    rec.he_6ghz = 1;
    EXPECT_EQ(run(ie(1, {raw({0x0C})}), rec), -1);
    EXPECT_EQ(rec.he_6ghz, 1);
    EXPECT_EQ(run(kSsid, rec), 0);
    EXPECT_EQ(rec.he_6ghz, 0);
}

// HE and EHT elements shorter than their fixed parts, cut one byte at a time: what they
// carry is read, positions past their end count as not announced.
TEST(ClientElements, ShortHeAndEhtElements)
{
    const Bytes he = cat({u8(35), raw({0x06, 0, 0, 0, 0, 0}), kHePhy, kHeMaps80, kHeMaps160});
    for (size_t n = 1; n <= he.size(); ++n) {
        SCOPED_TRACE(n);
        CliCapRpt rec{};
        ASSERT_EQ(run(cat({kSsid, ie(255, {slice(he, 0, n)})}), rec), 0);
        const Bytes padded = cat({slice(he, 0, n), zeros(32)}); // what the element carries, then nothing
        expect_at(bytes_of(rec), {{14, u8(0x04)}, {19, u8(n > 7 ? 0x0F : 0x01)}, {82, u8(n > 7 ? 0x44 : 0x40)},
                                  {47, cat({slice(padded, 18, 4), n > 7 ? slice(padded, 22, 4) : zeros(4)})},
                                  {95, u8(n > 11 ? 0xEB : n > 10 ? 0xE1 : n > 9 ? 0xE0 : 0xC0)},
                                  {99, u8(n > 1 ? 0x33 : 0x03)}});
    }
    const Bytes eht = cat({u8(108), zeros(2), raw({0x02}), zeros(8), kEhtMaps});
    for (size_t n = 1; n <= eht.size(); ++n) {
        SCOPED_TRACE(n);
        CliCapRpt rec{};
        ASSERT_EQ(run(cat({kSsid, ext_ie(35, {zeros(6), u8(0x0C), zeros(18)}), ie(255, {slice(eht, 0, n)})}), rec), 0);
        const Bytes padded = cat({slice(eht, 0, n), zeros(32)});
        const Bytes maps = cat({zeros(4), slice(padded, 12, 6), n > 3 ? slice(padded, 18, 3) : zeros(3)});
        expect_at(bytes_of(rec), {{14, u8(0x0C)}, {20, le16(n > 3 ? 0x1F : 0x0F)}, {59, maps}});
    }
}

LogLine summary(const std::string& values) { return cap(3, "bandwidthHT=" + values); }
const LogLine kZeroSummary = summary("00, bandwidthVHT=00, bandwidthHE=00, bandwidthEHT=00, shortGI=0, support11v=0, "
                                     "current phytype=00, max mcs=00");
Bytes client_info() { return tlv(0x90, {kBss, kSta}); }
Bytes cap_report(const Bytes& body, unsigned result = 0) { return tlv(0x91, {u8(result), body}); }
Bytes frame_tail(const Bytes& body) { return cat({le16(unsigned(body.size())), body, zeros(2048 - body.size())}); }

struct ClientReport : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
    bool logged(const LogLine& l) const { return log.contains(l.module, l.level, l.text); }
};

TEST_F(ClientReport, Reports)
{
    const Bytes a = station_a_body();
    // The current AP address starts with 0x02, so the association reading fails on it.
    const Bytes eht = cat({raw({0x11, 0x10, 0x0A, 0x00}), mac("02:aa:bb:cc:dd:02"), kSsid, kRates5g, kRsn,
                           ie(127, {raw({0x00, 0x00, 0x08})}), ext_ie(35, {u8(0x04), zeros(5), u8(0x0C), zeros(10),
                                                                           kHeMaps80, raw({0xF5, 0xFF, 0xF5, 0xFF})}),
                           ext_ie(59, {raw({0x3D, 0x06})}), ext_ie(108, {zeros(2), u8(0x02), zeros(8), kEhtMaps})});
    const Bytes legacy = cat({raw({0x21, 0x04, 0x0A, 0x00}), ie(0, {text("home")}),
                              ie(1, {raw({0x82, 0x84, 0x8B, 0x96, 0x0C, 0x12, 0x18, 0x24})}),
                              ie(50, {raw({0x30, 0x48, 0x60, 0x6C})})});
    const Bytes bare = cat({ie(0, {text("meshnet1")}), kRates5g, kHt});
    // As an association request: empty SSID, HT (40 MHz), a second SSID -> refused. As a
    // reassociation request: an SSID over the HT bytes, then Supported Rates.
    const Bytes overlaid = cat({kAssocFixed, raw({0x00, 0x00, 45, 26, 0x02, 0x00, 0x00, 24}), zeros(22),
                                raw({0x00, 0x00, 0x01, 0x01, 0x6C})});
    Bytes big = cat({kAssocFixed, kSsid});
    while (big.size() < 2048) big = cat({big, ie(221, {fill(255, 0x5A)})});
    big = cat({big, kHe}); // announced after the kept part
    const Checks client_only = {{0, cat({kHdr, kBss, kSta, zeros(2136)})}};

    // Record bytes (none: the report is not sent), log lines, the number of lines at level 3
    // or below when counted, and standard output.
    const struct { const char* name; Bytes tlvs; Checks at; std::vector<LogLine> lines; int errors = -1;
                   std::string out = ""; } cases[] = {
        {"HT+VHT+HE association request", stream({client_info(), cap_report(a)}),
         {{0, cat({kHdr, kBss, kSta, raw({0x07, 0x04, 0x01, 0x03, 0x0F, 0x0F}), le16(0x00), u8(0x07), kHtMcs, kVhtSet,
                   kHeMaps80, kHeMaps160, zeros(4 + 4 + 9),             // no 80+80, no EHT
                   raw({11, 54, 0, 0x0E}),                              // MCS, rate, 6 GHz, HT byte
                   raw({0xFE, 0xFF, 0xFA, 0xFF, 0x03, 0x70}),           // VHT: Tx, Rx, GI, flags
                   u8(0x44), kHeMaps80, zeros(8), u8(0xEB), zeros(3), u8(0x13), frame_tail(a)})}},
         {{8, 7, "", "[TLV] ClientInfo: assocaited BSS 02:AA:BB:CC:DD:01, STA 02:11:22:33:44:55\n"},
          cap(7, "association request frame extract success"),
          summary("03, bandwidthVHT=0F, bandwidthHE=0F, bandwidthEHT=00, shortGI=7, support11v=1, "
                  "current phytype=04, max mcs=0B")},
         1},
        {"EHT reassociation request", stream({cap_report(eht), client_info()}),
         {{0, cat({kHdr, kBss, kSta, raw({0x0C, 0x08, 0x01, 0x00, 0x00, 0x0F}), le16(0x1F), u8(0x0C), zeros(24),
                   kHeMaps80, raw({0xF5, 0xFF, 0xF5, 0xFF}), zeros(8), kEhtMaps, // no 80+80, no 20 MHz-only map
                   raw({13, 54, 1, 0}), zeros(6), u8(0x44), kHeMaps80, zeros(8), u8(0xC0), zeros(3), u8(0x23),
                   frame_tail(eht)})}},
         {cap(7, "reassociation request frame extract success"), cap(3, "first tag 2 is not SSID(0)"),
          summary("00, bandwidthVHT=00, bandwidthHE=0F, bandwidthEHT=1F, shortGI=12, support11v=1, "
                  "current phytype=08, max mcs=0D")},
         2},
        {"legacy station: only its highest rate", stream({client_info(), cap_report(legacy)}),
         {{0, cat({kHdr, kBss, kSta, zeros(58), raw({0, 54}), zeros(26), frame_tail(legacy)})}}, {kZeroSummary}, 1},
        {"body starting with its elements is read last", stream({cap_report(bare)}),
         {{14, raw({0x01, 0x01})}, {72, raw({7, 54})}, {100, le16(unsigned(bare.size()))}},
         {cap(3, "first tag 115 is not SSID(0)"), cap(3, "first tag 1 is not SSID(0)"),
          cap(7, "request frame extract success, but start with tag")}},
        {"fields of a failed reading stay", stream({cap_report(overlaid)}),
         {{14, raw({0x01, 0x01, 0x00, 0x03})}, {23, u8(24)}, {72, raw({7, 54, 0, 0x02})}},
         {cap(7, "reassociation request frame extract success")}},
        {"frame no layout accepts", stream({client_info(), cap_report(cat({kAssocFixed, ie(0, {fill(33, 'a')})}))}), {},
         {cap(7, "tag 0 length 33 out of range [min 0-max 32]"), cap(3, "first tag 97 is not SSID(0)"),
          cap(3, "first tag 49 is not SSID(0)"), cap(3, "extract frame fail")},
         3},
        {"failed result code", stream({cap_report(a, 1), client_info()}), client_only, {kZeroSummary}, 1,
         "[LSL] [TLV] ClientCap: Result code not success.\n"},
        {"empty body", stream({client_info(), cap_report({})}), client_only, {kZeroSummary}, 1,
         "[LSL] [TLV] ClientCap: Receive empty client capability.\n"},
        {"body beyond the record is cut but fully read", stream({cap_report(big)}),
         {{14, raw({0x04, 0x04})}, {72, u8(11)}, {100, cat({le16(2048), slice(big, 0, 2048)})}}, {}},
        // The vendor element announces 40 bytes and holds 10; nothing follows the TLV.
        {"element running past the body", tlv(0x91, {u8(0), kAssocFixed, kSsid, kHt, raw({221, 40}), fill(10, 0x11)}),
         {{14, raw({0x01, 0x01, 0x00, 0x03})}}, {cap(7, "element at byte 34 runs past the frame, not read")}},
        {"a listed element is checked for its range first", tlv(0x91, {u8(0), kAssocFixed, kSsid, raw({45, 27})}), {},
         {cap(7, "tag 45 length 27 out of range [min 26-max 26]")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        testing::internal::CaptureStdout();
        auto got = parse_n(rx, kMsg, tight(c.tlvs));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
        EXPECT_EQ(got ? got->size() : 0u, c.at.empty() ? 0u : 2150u);
        if (got && got->size() == 2150) expect_at(*got, c.at);
        for (const LogLine& l : c.lines) EXPECT_TRUE(logged(l)) << l.text;
        EXPECT_TRUE(c.errors < 0 || log.at_most(3).size() == size_t(c.errors)) << log.at_most(3).size();
    }
}

// Client Info cut short is refused; the report TLV cut one byte at a time keeps exactly
// the elements that are whole, and nothing past the TLV is read. The exported extractors
// read no further than the length they are given.
TEST_F(ClientReport, TruncatedTlvsAndExportedExtractors)
{
    const Bytes info = cat({kBss, kSta}), value = cat({u8(0), station_a_body()});
    for (size_t len = 0; len < value.size(); ++len) {
        SCOPED_TRACE(len);
        log.clear();
        if (len < info.size()) {
            EXPECT_FALSE(parse_n(rx, kMsg, tight(tlv(0x90, slice(info, 0, len)))));
            const std::string line = "[TLV] ClientInfo: TLV length " + std::to_string(len);
            EXPECT_EQ(log.at_most(3), (std::vector<LogLine>{{8, 3, "", line + " is too short for its content\n"}}));
            log.clear();
        }
        testing::internal::CaptureStdout();
        auto got = parse_n(rx, kMsg, tight(tlv(0x91, slice(value, 0, len))));
        testing::internal::GetCapturedStdout();
        if (len == 0 || (len >= 2 && len <= 5)) { // no result code, or no room for an SSID after the fixed fields
            EXPECT_FALSE(got);
            EXPECT_TRUE(logged(cap(3, len ? "extract frame fail" : "TLV length 0 is too short for its content")));
            continue;
        }
        ASSERT_EQ(got ? got->size() : 0u, 2150u);
        unsigned phy = 0, rate = 0, btm = 0;
        size_t end = 1 + kAssocFixed.size();
        for (const auto& [element, bit] : kStationA) {
            if ((end += element.size()) > len) break;
            phy |= bit;
            rate = element == kRates5g ? 54 : rate;
            btm = btm || element == kExtCapBtm;
        }
        expect_at(*got, {{14, u8(phy)}, {16, u8(btm)}, {73, u8(rate)},
                         {100, cat({le16(unsigned(len - 1)), slice(value, 1, len - 1)})}});
    }

    CliCapRpt rec{}, cut{};
    const Bytes v = tight(cat({u8(0), kAssocFixed, kSsid, kHt}));
    EXPECT_EQ(tlv_ClientInfo_extract(tight(info).data(), reinterpret_cast<uint8_t*>(&rec)), 0);
    EXPECT_EQ(tlv_ClientCapabilityReport_extract(v.data(), reinterpret_cast<uint8_t*>(&rec), uint16_t(v.size())), 0);
    expect_at(bytes_of(rec), {{2, info}, {72, u8(7)}, {100, le16(unsigned(v.size() - 1))}});
    // Cut before the HT element: nothing of it is taken.
    EXPECT_EQ(tlv_ClientCapabilityReport_extract(v.data(), reinterpret_cast<uint8_t*>(&cut), 12), 0);
    EXPECT_EQ(cut.phy_types, 0);
}

} // namespace
} // namespace lusl::test
