// AP Autoconfiguration WSC (0x0009) and BSS Configuration Request (0x802C), end to end.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "log_capture.h"
#include "loopback.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

const Bytes kSrc = mac("02:00:00:00:00:5c");
const Bytes kRuid0 = mac("02:00:00:00:0a:00");
const Bytes kRuid1 = mac("02:00:00:00:0b:00");
const Bytes kRuid2 = mac("02:00:00:00:0c:00");

Bytes attr(unsigned type, const Bytes& data) { return cat({be16(type), be16(unsigned(data.size())), data}); }
Bytes msg_type(unsigned t) { return attr(0x1022, u8(t)); }
Bytes manufacturer(const std::string& s) { return attr(0x1021, text(s)); }
Bytes model(const std::string& s) { return attr(0x1023, text(s)); }
Bytes serial(const std::string& s) { return attr(0x1042, text(s)); }
Bytes padded(const std::string& s, size_t n) { return cat({text(s), zeros(n - s.size())}); }
Bytes akm(unsigned i) { return raw({0x00, 0x0F, 0xAC, i}); }

struct Onboarding : testing::Test {
    LogCapture log;
    Receiver rx;
    void TearDown() override { EXPECT_TRUE(all_slots_null()); }
    std::vector<LogLine> tlv_lines() const
    {
        std::vector<LogLine> out;
        for (const auto& l : log.lines())
            if (l.module == 8 && l.text.rfind("[TLV] Unknown", 0) != 0) out.push_back(l);
        return out;
    }
};

TEST_F(Onboarding, M1WithAdvancedCapabilities)
{
    const std::string model63(63, 'm'), serial64(64, 's');
    const Bytes frame = cat({attr(0x104A, u8(0x10)), msg_type(4), manufacturer("Acme"), model(model63),
                             serial(serial64), attr(0x1005, zeros(8))});
    auto got = parse(rx, 0x0009, stream({tlv(0x11, frame), tlv(0xBE, {kRuid0, u8(0xC0)})}), kSrc);
    ASSERT_TRUE(got);
    // The 64-byte serial number is left out.
    EXPECT_EQ(*got, cat({raw({0x09, 0x00}), kSrc, u8(4), padded("Acme", 64), padded(model63, 64), zeros(64), kRuid0,
                         u8(0x03)}));
    EXPECT_EQ(tlv_lines(), (std::vector<LogLine>{{8, 7, "",
                                                  "[TLV] M1 WSC: device 02:00:00:00:00:5C, manufacture:Acme model:" +
                                                      model63 + " serialNo:\n"}}));
}

TEST_F(Onboarding, OtherWscFramesSetOnlyTheirType)
{
    auto m2 = parse(rx, 0x0009, stream({tlv(0x11, {msg_type(5), manufacturer("Acme"), model("X")})}), kSrc);
    ASSERT_TRUE(m2);
    EXPECT_EQ(*m2, cat({raw({0x09, 0x00}), zeros(6), u8(5), zeros(199)}));
    auto untyped = parse(rx, 0x0009, stream({tlv(0x11, {manufacturer("Acme")})}), kSrc);
    ASSERT_TRUE(untyped);
    EXPECT_EQ(*untyped, cat({raw({0x09, 0x00}), zeros(206)}));
    EXPECT_TRUE(tlv_lines().empty());
}

TEST_F(Onboarding, RepeatedTextAttributeOverwritesOnlyItsBytes)
{
    auto got = parse(rx, 0x0009, stream({tlv(0x11, {manufacturer("ABCDEF"), msg_type(4), manufacturer("xy")})}), kSrc);
    ASSERT_TRUE(got);
    EXPECT_EQ(slice(*got, 9, 64), padded("xyCDEF", 64));
}

TEST_F(Onboarding, M1WithoutSourceMac)
{
    ensure_msg_socket();
    const Bytes cmdu = tlv(0x11, {msg_type(4), serial("SN1")});
    ASSERT_EQ(luSL_Msg_parser_n(0x0009, cmdu.data(), cmdu.size(), rx.port(), nullptr), 0);
    auto got = rx.recv();
    ASSERT_TRUE(got);
    EXPECT_EQ(slice(*got, 2, 7), cat({zeros(6), u8(4)}));
    EXPECT_EQ(slice(*got, 137, 4), cat({text("SN1"), u8(0)}));
    EXPECT_TRUE(log.contains(8, 3, "[TLV] Warning!!! Device_mac is NULL!!.\n"));
}

TEST_F(Onboarding, AdvancedCapabilityBitsAreReversed)
{
    for (auto [wire, stored] : {std::pair{0xC0, 0x03}, {0x01, 0x00}, {0xFE, 0x7F}, {0x80, 0x01}, {0x02, 0x40}}) {
        auto got = parse(rx, 0x0009, stream({tlv(0xBE, {kRuid1, u8(wire)})}));
        ASSERT_TRUE(got);
        EXPECT_EQ(slice(*got, 201, 7), cat({kRuid1, u8(stored)})) << "wire " << wire;
    }
}

TEST_F(Onboarding, BssConfigurationRequest)
{
    // The third radio is dropped without a line (Part 3.8); the count stays 2, the message goes.
    auto got = parse(rx, 0x802C, stream({tlv(0x85, {kRuid0, raw({4, 0})}), tlv(0xCC, {u8(2), akm(1), akm(2), u8(1), akm(8)}),
                                         tlv(0x85, {kRuid1, raw({4, 0})}), tlv(0x85, {kRuid2, raw({4, 0})})}));
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, cat({raw({0x2C, 0x80}), u8(2), kRuid0, zeros(6), kRuid1, zeros(6), u8(1), akm(8), zeros(36), u8(2),
                         akm(1), akm(2), zeros(32)}));
    EXPECT_TRUE(log.at_most(4).empty());
}

TEST_F(Onboarding, AkmCountsAboveTenAreStoredAndStepped)
{
    Bytes bh, fh;
    for (unsigned i = 0; i < 12; ++i) bh = cat({bh, akm(i)});
    for (unsigned i = 0; i < 11; ++i) fh = cat({fh, akm(0x40 + i)});
    auto got = parse(rx, 0x802C, stream({tlv(0xCC, {u8(12), bh, u8(11), fh})}));
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, cat({raw({0x2C, 0x80}), zeros(25), u8(11), slice(fh, 0, 40), u8(12), slice(bh, 0, 40)}));
}

// Cut one byte at a time: a WSC frame cut between attributes is a shorter frame and goes
// out; cut inside an attribute, and every other TLV cut short, it is refused with one line.
TEST_F(Onboarding, TruncatedTlvs)
{
    const std::vector<Bytes> attrs = {msg_type(4), manufacturer("Acme"), model("M"), serial("S")};
    std::set<size_t> boundaries{0};
    Bytes frame;
    for (const Bytes& a : attrs) boundaries.insert((frame = cat({frame, a})).size());
    const struct {
        uint16_t msg;
        uint8_t type;
        Bytes value;
        size_t accepted_from;
    } cases[] = {
        {0x0009, 0x11, frame, SIZE_MAX},
        {0x0009, 0xBE, cat({kRuid0, u8(0x80)}), 7},
        {0x802C, 0x85, cat({kRuid0, raw({4, 0})}), 6},
        {0x802C, 0xCC, cat({u8(1), akm(1), u8(2), akm(2), akm(3)}), 14},
    };
    for (const auto& c : cases) {
        for (size_t len = 0; len < c.value.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "tlv " << int(c.type) << " len " << len);
            log.clear();
            const bool ok = c.type == 0x11 ? boundaries.count(len) > 0 : len >= c.accepted_from;
            EXPECT_EQ(bool(parse_n(rx, c.msg, tlv(c.type, Bytes(c.value.begin(), c.value.begin() + long(len))), kSrc)), ok);
            EXPECT_EQ(log.at_most(3).size(), ok ? 0u : 1u);
        }
    }
}

TEST(TopologyExtractors, OnboardingShims)
{
    LogCapture log;
    ApAutoConfWSC w{};
    auto* wr = reinterpret_cast<uint8_t*>(&w);
    const Bytes frame = cat({msg_type(4), model("Model-1")});
    EXPECT_EQ(tlv_WSC_extract(frame.data(), wr, uint16_t(frame.size()), kSrc.data()), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(w.model_name)), "Model-1");
    EXPECT_EQ(Bytes(w.device_mac, w.device_mac + 6), kSrc);
    // Record bit 7 is never written: it keeps what it had.
    w.radio_adv_caps = 0x80;
    const Bytes adv = cat({kRuid0, u8(0x7F)});
    EXPECT_EQ(tlv_APRadioAdvancedCaps_extract(adv.data(), wr), 0);
    EXPECT_EQ(int(w.radio_adv_caps), 0xFE);

    BssConfigReq b{};
    auto* br = reinterpret_cast<uint8_t*>(&b);
    const Bytes akms = cat({u8(0), u8(1), akm(4)});
    EXPECT_EQ(tlv_APRadioBasicCapabilities_extract_bss_config_req(kRuid0.data(), br), 0);
    EXPECT_EQ(tlv_akm_suite_capabilities_extract(akms.data(), br), 0);
    EXPECT_EQ(tlv_akm_suite_capabilities_extract(akms.data(), nullptr), 0);
    EXPECT_EQ(int(b.radio_num), 1);
    EXPECT_EQ(int(b.fh_akm_num), 1);
    EXPECT_EQ(int(b.fh_akm[0].type), 4);
}

} // namespace
} // namespace lusl::test
