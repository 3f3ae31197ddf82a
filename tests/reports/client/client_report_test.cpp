// Client Capability Report end to end: Client Info and the station's (re)association
// request body through the parser, the loopback socket and the exact record bytes.
#include <gtest/gtest.h>

#include <algorithm>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

constexpr uint16_t kMsg = 0x800A;
const Bytes kHdr = raw({0x0A, 0x80});
const Bytes kBss = mac("02:aa:bb:cc:dd:01");
const Bytes kSta = mac("02:11:22:33:44:55");

Bytes ie(uint8_t id, std::initializer_list<Bytes> data)
{
    const Bytes d = cat(data);
    return cat({u8(id), u8(static_cast<unsigned>(d.size())), d});
}
Bytes ext_ie(uint8_t ext, std::initializer_list<Bytes> data) { return ie(255, {u8(ext), cat(data)}); }
Bytes le16(unsigned v) { return raw({v & 0xFF, v >> 8}); }
// A copy whose allocation ends where its bytes end, so ASan sees any read past it.
Bytes tight(const Bytes& b) { return Bytes(b.begin(), b.end()); }

Bytes client_info() { return tlv(0x90, {kBss, kSta}); }
Bytes cap_report(const Bytes& body, unsigned result = 0) { return tlv(0x91, {u8(result), body}); }
Bytes frame_tail(const Bytes& body) { return cat({le16(static_cast<unsigned>(body.size())), body, zeros(2048 - body.size())}); }

std::string summary(const char* values)
{
    return std::string("[TLV] ClientCap: ") + values + "\n";
}

// Elements of the stations below.
const Bytes kSsid = ie(0, {text("mesh")});
const Bytes kRates5g = ie(1, {raw({0x8C, 0x12, 0x98, 0x24, 0xB0, 0x48, 0x60, 0x6C})}); // 6 to 54 Mbit/s
const Bytes kPower = ie(33, {raw({0x00, 0x14})});
const Bytes kHtMcs = raw({0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0x2C, 0x01, 0x01, 0, 0, 0});
// Capability information 0x01EF: 40 MHz, short GI 20 and 40 MHz.
const Bytes kHt = ie(45, {raw({0xEF, 0x01}), u8(0x17), kHtMcs, zeros(7)});
const Bytes kRsn = ie(48, {raw({1, 0, 0, 0x0F, 0xAC, 4, 1, 0, 0, 0x0F, 0xAC, 4, 1, 0, 0, 0x0F, 0xAC, 2, 0, 0})});
const Bytes kExtCapBtm = ie(127, {raw({0x04, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x40})});
const Bytes kVhtSet = raw({0xFA, 0xFF, 0x3C, 0x03, 0xFE, 0xFF, 0x3C, 0x03}); // Rx map, Rx rate, Tx map, Tx rate
// 160 MHz, short GI 80 and 160 MHz, SU and MU beamformer.
const Bytes kVht = ie(191, {raw({0x76, 0x18, 0x08, 0x0C}), kVhtSet});
const Bytes kHeMaps80 = raw({0xFA, 0xFF, 0xFA, 0xFF});
const Bytes kHeMaps160 = raw({0xFE, 0xFF, 0xFE, 0xFF});
// MAC: TWT requester. PHY: 40/80 and 160 MHz, UL MU-MIMO, SU beamformer, SU beamformee, STS <= 80 MHz.
const Bytes kHe = ext_ie(35, {raw({0x03, 0, 0, 0, 0, 0}), raw({0x0C, 0x00, 0x40, 0x80, 0x0D, 0, 0, 0, 0, 0, 0}),
                              kHeMaps80, kHeMaps160});
const Bytes kVendor = ie(221, {raw({0x00, 0x50, 0xF2, 0x02, 0x00, 0x01, 0x00})});

// A 5 GHz HT+VHT+HE station's association request, element by element.
struct Element {
    Bytes bytes;
    uint8_t phy;
};
const std::vector<Element> kStationA = {{kSsid, 0},   {kRates5g, 0}, {kPower, 0}, {kHt, 0x01},     {kRsn, 0},
                                        {kExtCapBtm, 0}, {kVht, 0x02}, {kHe, 0x04}, {kVendor, 0}};
const Bytes kAssocFixed = raw({0x31, 0x04, 0x0A, 0x00}); // capability information, listen interval

Bytes station_a_body()
{
    Bytes b = kAssocFixed;
    for (const Element& e : kStationA) b = cat({b, e.bytes});
    return b;
}

struct ClientReport : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
};

TEST_F(ClientReport, HtVhtHeStationAssociationRequest)
{
    const Bytes body = station_a_body();
    testing::internal::CaptureStdout();
    auto got = parse_n(rx, kMsg, stream({client_info(), cap_report(body)}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_TRUE(got);
    const Bytes want = cat({kHdr, kBss, kSta,
                            raw({0x07, 0x04, 0x01, 0x03, 0x0F, 0x0F}), le16(0x00), u8(0x07), // PHY .. short GI
                            kHtMcs, kVhtSet, kHeMaps80, kHeMaps160, zeros(4 + 4 + 9),       // no 80+80, no EHT
                            raw({11, 54, 0, 0x0E}),                                          // MCS, rate, 6 GHz, HT byte
                            raw({0xFE, 0xFF, 0xFA, 0xFF, 0x03, 0x70}),                       // VHT: Tx, Rx, GI, flags
                            u8(0x44), kHeMaps80, zeros(8), u8(0xEB), zeros(3), u8(0x13),     // HE summary
                            frame_tail(body)});
    EXPECT_EQ(got->size(), 2150u);
    EXPECT_EQ(*got, want);
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ClientInfo: assocaited BSS 02:AA:BB:CC:DD:01, STA 02:11:22:33:44:55\n"));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ClientCap: association request frame extract success\n"));
    ASSERT_EQ(log.at_most(3).size(), 1u);
    EXPECT_EQ(log.at_most(3)[0],
              (LogLine{8, 3, "", summary("bandwidthHT=03, bandwidthVHT=0F, bandwidthHE=0F, bandwidthEHT=00, shortGI=7, "
                                         "support11v=1, current phytype=04, max mcs=0B")}));
}

TEST_F(ClientReport, EhtStationReassociationRequest)
{
    // The current AP address starts with 0x02, so the association reading fails on it.
    const Bytes he = ext_ie(35, {raw({0x04, 0, 0, 0, 0, 0}), raw({0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), kHeMaps80,
                                 raw({0xF5, 0xFF, 0xF5, 0xFF})});
    const Bytes he6g = ext_ie(59, {raw({0x3D, 0x06})});
    const Bytes eht = ext_ie(108, {raw({0x00, 0x00}), raw({0x02, 0, 0, 0, 0, 0, 0, 0, 0}), raw({0x44, 0x44, 0x44}),
                                   raw({0x33, 0x33, 0x33}), raw({0x22, 0x22, 0x22})});
    const Bytes body = cat({raw({0x11, 0x10, 0x0A, 0x00}), mac("02:aa:bb:cc:dd:02"), kSsid, kRates5g, kRsn,
                            ie(127, {raw({0x00, 0x00, 0x08})}), he, he6g, eht});
    auto got = parse_n(rx, kMsg, stream({cap_report(body), client_info()}));
    ASSERT_TRUE(got);
    const Bytes want = cat({kHdr, kBss, kSta,
                            raw({0x0C, 0x08, 0x01, 0x00, 0x00, 0x0F}), le16(0x1F), u8(0x0C), zeros(16 + 8),
                            kHeMaps80, raw({0xF5, 0xFF, 0xF5, 0xFF}), zeros(4), zeros(4), // no 20 MHz-only map
                            raw({0x44, 0x44, 0x44, 0x33, 0x33, 0x33, 0x22, 0x22, 0x22}),
                            raw({13, 54, 1, 0}), zeros(6),
                            u8(0x44), kHeMaps80, zeros(8), u8(0xC0), zeros(3), u8(0x23), frame_tail(body)});
    EXPECT_EQ(*got, want);
    const std::vector<std::string> texts = log.texts();
    auto ok = std::find(texts.begin(), texts.end(), "[TLV] ClientCap: reassociation request frame extract success\n");
    ASSERT_TRUE(ok != texts.end() && ok + 1 != texts.end());
    EXPECT_EQ(ok[1], summary("bandwidthHT=00, bandwidthVHT=00, bandwidthHE=0F, bandwidthEHT=1F, "
                             "shortGI=12, support11v=1, current phytype=08, max mcs=0D"));
    ASSERT_EQ(log.at_most(3).size(), 2u);
    EXPECT_EQ(log.at_most(3)[0], (LogLine{8, 3, "", "[TLV] ClientCap: first tag 2 is not SSID(0)\n"}));
}

TEST_F(ClientReport, LegacyStationKeepsOnlyItsHighestRate)
{
    const Bytes rates = ie(1, {raw({0x82, 0x84, 0x8B, 0x96, 0x0C, 0x12, 0x18, 0x24})});
    const Bytes body = cat({raw({0x21, 0x04, 0x0A, 0x00}), ie(0, {text("home")}), rates,
                            ie(50, {raw({0x30, 0x48, 0x60, 0x6C})})});
    auto got = parse_n(rx, kMsg, stream({client_info(), cap_report(body)}));
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, cat({kHdr, kBss, kSta, zeros(58), raw({0, 54}), zeros(26), frame_tail(body)}));
    EXPECT_TRUE(log.contains(8, 3, summary("bandwidthHT=00, bandwidthVHT=00, bandwidthHE=00, bandwidthEHT=00, "
                                           "shortGI=0, support11v=0, current phytype=00, max mcs=00")));
    // Without the extended rates the 11b/g rates top out at 18 Mbit/s.
    auto basic = parse_n(rx, kMsg, stream({cap_report(cat({raw({0x21, 0x04, 0x0A, 0x00}), kSsid, rates}))}));
    ASSERT_TRUE(basic);
    EXPECT_EQ((*basic)[73], 18);
}

TEST_F(ClientReport, BodyStartingWithItsElementsIsReadLast)
{
    const Bytes body = cat({ie(0, {text("meshnet1")}), kRates5g, kHt});
    auto got = parse_n(rx, kMsg, stream({cap_report(body)}));
    ASSERT_TRUE(got);
    EXPECT_EQ(slice(*got, 14, 2), raw({0x01, 0x01}));
    EXPECT_EQ(slice(*got, 72, 2), raw({7, 54}));
    EXPECT_EQ(le16_at(*got, 100), body.size());
    const std::vector<std::string> want = {"[TLV] ClientCap: first tag 115 is not SSID(0)\n",
                                           "[TLV] ClientCap: first tag 1 is not SSID(0)\n",
                                           "[TLV] ClientCap: request frame extract success, but start with tag\n"};
    auto texts = log.texts();
    EXPECT_TRUE(std::search(texts.begin(), texts.end(), want.begin(), want.end()) != texts.end());
}

TEST_F(ClientReport, FieldsOfAFailedReadingStay)
{
    // Read as an association request: empty SSID, HT (40 MHz), a second SSID -> refused.
    // Read as a reassociation request: an SSID over the HT bytes, then Supported Rates.
    const Bytes body = cat({kAssocFixed, raw({0x00, 0x00, 45, 26, 0x02, 0x00, 0x00, 24}), zeros(22),
                            raw({0x00, 0x00, 0x01, 0x01, 0x6C})});
    auto got = parse_n(rx, kMsg, stream({cap_report(body)}));
    ASSERT_TRUE(got);
    EXPECT_EQ(slice(*got, 14, 4), raw({0x01, 0x01, 0x00, 0x03}));
    EXPECT_EQ((*got)[23], 24); // first HT MCS byte
    EXPECT_EQ(slice(*got, 72, 4), raw({7, 54, 0, 0x02}));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ClientCap: reassociation request frame extract success\n"));
}

TEST_F(ClientReport, FrameNoLayoutAcceptsIsNotSent)
{
    const Bytes body = cat({kAssocFixed, ie(0, {fill(33, 0x61)})});
    EXPECT_FALSE(parse_n(rx, kMsg, stream({client_info(), cap_report(body)})));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ClientCap: tag 0 length 33 out of range [min 0-max 32]\n"));
    std::vector<std::string> errors;
    for (const LogLine& l : log.at_most(3)) errors.push_back(l.text);
    EXPECT_EQ(errors, (std::vector<std::string>{"[TLV] ClientCap: first tag 97 is not SSID(0)\n",
                                                "[TLV] ClientCap: first tag 49 is not SSID(0)\n",
                                                "[TLV] ClientCap: extract frame fail\n"}));
}

TEST_F(ClientReport, NoticesOnStandardOutput)
{
    // A failed result code: the body is ignored, the report still goes out with the station.
    testing::internal::CaptureStdout();
    auto failed = parse_n(rx, kMsg, stream({cap_report(station_a_body(), 1), client_info()}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[LSL] [TLV] ClientCap: Result code not success.\n");
    ASSERT_TRUE(failed);
    EXPECT_EQ(*failed, cat({kHdr, kBss, kSta, zeros(2136)}));
    EXPECT_TRUE(log.contains(8, 3, summary("bandwidthHT=00, bandwidthVHT=00, bandwidthHE=00, bandwidthEHT=00, "
                                           "shortGI=0, support11v=0, current phytype=00, max mcs=00")));

    testing::internal::CaptureStdout();
    auto empty = parse_n(rx, kMsg, stream({client_info(), cap_report({})}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[LSL] [TLV] ClientCap: Receive empty client capability.\n");
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, cat({kHdr, kBss, kSta, zeros(2136)}));
}

TEST_F(ClientReport, BodyBeyondTheRecordIsCutButFullyRead)
{
    Bytes body = cat({kAssocFixed, kSsid});
    while (body.size() < 2048) body = cat({body, ie(221, {fill(255, 0x5A)})});
    body = cat({body, kHe}); // announced after the kept part
    auto got = parse_n(rx, kMsg, stream({cap_report(body)}));
    ASSERT_TRUE(got);
    EXPECT_EQ(got->size(), 2150u);
    EXPECT_EQ(le16_at(*got, 100), 2048);
    EXPECT_EQ(slice(*got, 102, 2048), slice(body, 0, 2048));
    EXPECT_EQ(slice(*got, 14, 2), raw({0x04, 0x04}));
    EXPECT_EQ((*got)[72], 11);
}

TEST_F(ClientReport, ElementRunningPastTheBodyIsNotRead)
{
    // HT is kept; the vendor element announces 40 bytes and holds 10.
    const Bytes body = cat({kAssocFixed, kSsid, kHt, raw({221, 40}), fill(10, 0x11)});
    auto got = parse_n(rx, kMsg, tight(tlv(0x91, {u8(0), body})));
    ASSERT_TRUE(got);
    EXPECT_EQ(slice(*got, 14, 4), raw({0x01, 0x01, 0x00, 0x03}));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ClientCap: element at byte 34 runs past the frame, not read\n"));
    // A listed element is still checked for its range first.
    EXPECT_FALSE(parse_n(rx, kMsg, tight(tlv(0x91, {u8(0), kAssocFixed, kSsid, raw({45, 27})}))));
    EXPECT_TRUE(log.contains(8, 7, "[TLV] ClientCap: tag 45 length 27 out of range [min 26-max 26]\n"));
}

// Client Info cut short is refused; the report TLV cut one byte at a time keeps exactly
// the elements that are whole, and nothing past the TLV is read.
TEST_F(ClientReport, TruncatedTlvs)
{
    const Bytes info = cat({kBss, kSta});
    for (size_t len = 0; len < info.size(); ++len) {
        SCOPED_TRACE(len);
        log.clear();
        EXPECT_FALSE(parse_n(rx, kMsg, tight(tlv(0x90, slice(info, 0, len)))));
        ASSERT_EQ(log.at_most(3).size(), 1u);
        EXPECT_EQ(log.at_most(3)[0].text,
                  "[TLV] ClientInfo: TLV length " + std::to_string(len) + " is too short for its content\n");
    }

    const Bytes value = cat({u8(0), station_a_body()});
    for (size_t len = 0; len < value.size(); ++len) {
        SCOPED_TRACE(len);
        log.clear();
        testing::internal::CaptureStdout();
        auto got = parse_n(rx, kMsg, tight(tlv(0x91, slice(value, 0, len))));
        testing::internal::GetCapturedStdout();
        if (len == 0) {
            EXPECT_FALSE(got);
            EXPECT_TRUE(log.contains(8, 3, "[TLV] ClientCap: TLV length 0 is too short for its content\n"));
            continue;
        }
        const size_t body = len - 1;
        if (body >= 1 && body <= 4) { // no room for an SSID after the fixed fields
            EXPECT_FALSE(got);
            EXPECT_TRUE(log.contains(8, 3, "[TLV] ClientCap: extract frame fail\n"));
            continue;
        }
        ASSERT_TRUE(got);
        uint8_t phy = 0;
        bool rates = false, btm = false;
        size_t end = 1 + kAssocFixed.size();
        for (const Element& e : kStationA) {
            end += e.bytes.size();
            if (end > len) break;
            phy |= e.phy;
            rates |= e.bytes == kRates5g;
            btm |= e.bytes == kExtCapBtm;
        }
        EXPECT_EQ((*got)[14], phy);
        EXPECT_EQ((*got)[73], rates ? 54 : 0);
        EXPECT_EQ((*got)[16], btm ? 1 : 0);
        EXPECT_EQ(le16_at(*got, 100), body);
        EXPECT_EQ(slice(*got, 102, body), slice(value, 1, body));
    }
}

TEST(ClientExtractors, ExportedShims)
{
    LogCapture log;
    CliCapRpt rec{};
    const Bytes info = tight(cat({kBss, kSta}));
    EXPECT_EQ(tlv_ClientInfo_extract(info.data(), reinterpret_cast<uint8_t*>(&rec)), 0);
    EXPECT_EQ(Bytes(rec.bssid, rec.bssid + 6), kBss);
    EXPECT_EQ(Bytes(rec.sta_mac, rec.sta_mac + 6), kSta);

    const Bytes value = tight(cat({u8(0), kAssocFixed, kSsid, kHt}));
    auto* r = reinterpret_cast<uint8_t*>(&rec);
    EXPECT_EQ(tlv_ClientCapabilityReport_extract(value.data(), r, static_cast<uint16_t>(value.size())), 0);
    EXPECT_EQ(rec.frame_len, value.size() - 1);
    EXPECT_EQ(rec.max_mcs, 7);
    // The length bounds the read: cut before the HT element, nothing of it is taken.
    CliCapRpt cut{};
    EXPECT_EQ(tlv_ClientCapabilityReport_extract(value.data(), reinterpret_cast<uint8_t*>(&cut), 12), 0);
    EXPECT_EQ(cut.phy_types, 0);
    EXPECT_EQ(tlv_ClientCapabilityReport_extract(value.data(), reinterpret_cast<uint8_t*>(&cut), 0), -1);
}

} // namespace
} // namespace lusl::test
