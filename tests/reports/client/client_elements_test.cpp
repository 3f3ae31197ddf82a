// The request-frame element parser on its own: length limits, per-element actions and
// elements shorter than the positions they are read at.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "log_capture.h"
#include "luSL/luSL.h"
#include "tlv_builder.h"

namespace lusl::test {
namespace {

Bytes ie(uint8_t id, const Bytes& d) { return cat({u8(id), u8(static_cast<unsigned>(d.size())), d}); }
Bytes ie(uint8_t id, std::initializer_list<Bytes> data) { return ie(id, cat(data)); }
Bytes ext_ie(uint8_t ext, std::initializer_list<Bytes> data) { return ie(255, {u8(ext), cat(data)}); }

const Bytes kSsid = ie(0, {text("mesh")});

// Runs the parser on an allocation exactly as long as the list, so ASan sees any read past it.
int run(const Bytes& list, CliCapRpt& rec)
{
    std::unique_ptr<uint8_t[]> buf(new uint8_t[list.size()]);
    std::copy(list.begin(), list.end(), buf.get());
    return management_RequestFrame_extract(buf.get(), reinterpret_cast<uint8_t*>(&rec), static_cast<int>(list.size()));
}

Bytes field(const uint8_t* p, size_t n) { return Bytes(p, p + n); }
// n record bytes from a documented offset.
Bytes at(const CliCapRpt& r, size_t off, size_t n) { return field(reinterpret_cast<const uint8_t*>(&r) + off, n); }
// The first n bytes of b (all of them when n is larger), zero-filled to `width`.
Bytes prefix(const Bytes& b, long n, size_t width)
{
    Bytes out(width, 0);
    std::copy_n(b.begin(), std::clamp<long>(n, 0, static_cast<long>(std::min(width, b.size()))), out.begin());
    return out;
}

TEST(ClientElements, TableIsExportedInSearchOrder)
{
    const auto* p = reinterpret_cast<const uint8_t*>(ele_table);
    EXPECT_EQ(sizeof ele_table, 27u);
    EXPECT_EQ(Bytes(p, p + 27), raw({0, 0, 32, 1, 1, 8, 3, 1, 1, 33, 2, 2, 45, 26, 26, 48, 2, 255, 50, 1, 255, 70, 5, 5,
                                     191, 12, 12}));
}

TEST(ClientElements, RefusedLists)
{
    const struct {
        Bytes list;
        int level; // 0: refused without a line
        const char* line;
    } cases[] = {
        {{}, 0, ""},
        {ie(221, {raw({0x00, 0x50, 0xF2})}), 3, "[TLV] ClientCap: first tag 221 is not SSID(0)\n"},
        {cat({kSsid, ie(1, {raw({0x0C})}), kSsid}), 0, ""},
        {ie(0, {fill(33, 0x61)}), 7, "[TLV] ClientCap: tag 0 length 33 out of range [min 0-max 32]\n"},
        {cat({kSsid, ie(1, {fill(9, 0x0C)})}), 7, "[TLV] ClientCap: tag 1 length 9 out of range [min 1-max 8]\n"},
        {cat({kSsid, ie(1, Bytes{})}), 7, "[TLV] ClientCap: tag 1 length 0 out of range [min 1-max 8]\n"},
        {cat({kSsid, ie(3, {raw({6, 6})})}), 7, "[TLV] ClientCap: tag 3 length 2 out of range [min 1-max 1]\n"},
        {cat({kSsid, ie(33, {zeros(3)})}), 7, "[TLV] ClientCap: tag 33 length 3 out of range [min 2-max 2]\n"},
        {cat({kSsid, ie(45, {zeros(25)})}), 7, "[TLV] ClientCap: tag 45 length 25 out of range [min 26-max 26]\n"},
        {cat({kSsid, ie(48, {zeros(1)})}), 7, "[TLV] ClientCap: tag 48 length 1 out of range [min 2-max 255]\n"},
        {cat({kSsid, ie(50, Bytes{})}), 7, "[TLV] ClientCap: tag 50 length 0 out of range [min 1-max 255]\n"},
        {cat({kSsid, ie(70, {zeros(4)})}), 7, "[TLV] ClientCap: tag 70 length 4 out of range [min 5-max 5]\n"},
        {cat({kSsid, ie(191, {zeros(13)})}), 7, "[TLV] ClientCap: tag 191 length 13 out of range [min 12-max 12]\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        LogCapture log;
        CliCapRpt rec{};
        EXPECT_EQ(run(c.list, rec), -1);
        if (c.level == 0) {
            EXPECT_TRUE(log.lines().empty());
        } else {
            ASSERT_EQ(log.lines().size(), 1u);
            EXPECT_EQ(log.lines()[0], (LogLine{8, c.level, "", c.line}));
        }
    }
    CliCapRpt rec{};
    EXPECT_EQ(management_RequestFrame_extract(kSsid.data(), reinterpret_cast<uint8_t*>(&rec), -4), -1);
    EXPECT_EQ(management_RequestFrame_extract(nullptr, reinterpret_cast<uint8_t*>(&rec), 6), -1);
}

TEST(ClientElements, UnlistedAndWideElementsAreTakenAtAnyLength)
{
    for (size_t n : {0, 1, 127, 255}) {
        CliCapRpt rec{};
        EXPECT_EQ(run(cat({kSsid, ie(221, {fill(n, 0xDD)}), ie(127, {fill(n, 0)}), ie(255, {fill(n, 0xFE)})}), rec), 0);
        EXPECT_EQ(rec.phy_types, 0);
    }
    CliCapRpt rec{};
    EXPECT_EQ(run(cat({ie(0, Bytes{}), ie(48, {zeros(255)}), ie(50, {fill(255, 0x02)}), ie(0x46, {zeros(5)})}), rec), 0);
}

TEST(ClientElements, HighestLegacyRate)
{
    const struct {
        Bytes rates;
        uint8_t mbps;
    } cases[] = {
        {ie(1, {raw({0x0B})}), 5},                                    // 5.5, fraction dropped
        {ie(1, {raw({0x8B, 0x96})}), 11},                             // the basic-rate bit is not part of the rate
        {cat({ie(1, {raw({0x6C})}), ie(50, {raw({0x0C, 0x12})})}), 54}, // spans both elements
        {cat({ie(1, {raw({0x02})}), ie(50, {raw({0x6C})})}), 54},
    };
    for (const auto& c : cases) {
        CliCapRpt rec{};
        EXPECT_EQ(run(cat({kSsid, c.rates}), rec), 0);
        EXPECT_EQ(rec.max_legacy_rate, c.mbps);
    }
}

TEST(ClientElements, VhtWidthsAndBeamforming)
{
    const struct {
        uint8_t c0, c1, c2, c3;
        uint8_t bw, gi, flags;
    } cases[] = {
        {0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00},
        {0x04, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x40}, // 160 MHz
        {0x04, 0x00, 0x00, 0xC0, 0x0F, 0x00, 0xC0}, // 160, extended NSS BW 3: 80+80
        {0x08, 0x00, 0x00, 0x00, 0x0F, 0x00, 0xC0}, // 160 and 80+80
        {0x08, 0x00, 0x00, 0x40, 0x0F, 0x00, 0x40},
        {0x0C, 0x00, 0x00, 0xC0, 0x0F, 0x00, 0x00}, // reserved width set: a wide channel, no flag
        {0x20, 0x08, 0x00, 0x00, 0x07, 0x02, 0x20}, // short GI 80, SU beamformer
        {0x40, 0x00, 0x08, 0x00, 0x07, 0x01, 0x10}, // short GI 160, MU beamformer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.c0));
        CliCapRpt rec{};
        const Bytes set = raw({0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88});
        EXPECT_EQ(run(cat({kSsid, ie(191, {raw({c.c0, c.c1, c.c2, c.c3}), set})}), rec), 0);
        EXPECT_EQ(rec.bw_vht, c.bw);
        EXPECT_EQ(rec.short_gi, c.gi ? 0x02 : 0x00);
        EXPECT_EQ(field(rec.vht_mcs_nss, 8), set);
        EXPECT_EQ(at(rec, 76, 6), raw({0x55, 0x66, 0x11, 0x22, c.gi, c.flags}));
    }
}

TEST(ClientElements, BssTransitionNeedsThreeBytes)
{
    CliCapRpt rec{};
    EXPECT_EQ(run(cat({kSsid, ie(127, {raw({0x04, 0x00})}), ie(221, {raw({0x08})})}), rec), 0);
    EXPECT_EQ(rec.support11v, 0);
    EXPECT_EQ(run(cat({kSsid, ie(127, {raw({0x00, 0x00, 0x08})})}), rec), 0);
    EXPECT_EQ(rec.support11v, 1);
    EXPECT_EQ(run(cat({kSsid, ie(127, {raw({0xFF, 0xFF, 0xF7})})}), rec), 0);
    EXPECT_EQ(rec.support11v, 0);
}

TEST(ClientElements, HeMapBlocksFollowThePhyCapabilities)
{
    const Bytes m1 = raw({1, 1, 1, 1}), m2 = raw({2, 2, 2, 2}), m3 = raw({3, 3, 3, 3});
    const struct {
        uint8_t p0, bw, role;
        Bytes at47, at51, at55;
    } cases[] = {
        {0x02, 0x03, 0x40, m1, zeros(4), zeros(4)}, // 40 MHz in 2.4 GHz
        {0x14, 0x07, 0x48, m1, zeros(4), m2},       // 80+80 without 160: the second block
        {0x1C, 0x0F, 0x4C, m1, m2, m3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.p0));
        CliCapRpt rec{};
        const Bytes he = ext_ie(35, {zeros(6), u8(c.p0), zeros(10), m1, m2, m3});
        EXPECT_EQ(run(cat({kSsid, he}), rec), 0);
        EXPECT_EQ(rec.bw_he, c.bw);
        EXPECT_EQ(field(rec.he_mcs_80, 4), c.at47);
        EXPECT_EQ(field(rec.he_mcs_160, 4), c.at51);
        EXPECT_EQ(field(rec.he_mcs_80p80, 4), c.at55);
        EXPECT_EQ(rec.he.role, c.role);
        EXPECT_EQ(field(rec.he.mcs_nss, 12), cat({m1, zeros(8)}));
        EXPECT_EQ(rec.he.bf_flags, 0xC0);
        EXPECT_EQ(rec.he.rts_twt_flags, 0x03);
    }
}

TEST(ClientElements, EhtMapsFollowTheBandwidths)
{
    const Bytes maps = raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    const auto he = [](uint8_t p0) { return ext_ie(35, {zeros(6), u8(p0), zeros(10), zeros(12)}); };
    const auto eht = [&](uint8_t p0) { return ext_ie(108, {zeros(2), u8(p0), zeros(8), maps}); };
    const struct {
        Bytes before;
        uint8_t p0;
        uint16_t bw;
        Bytes at59; // 59..71
    } cases[] = {
        {{}, 0x02, 0x10, cat({raw({1, 2, 3, 4}), zeros(6), raw({5, 6, 7})})}, // no HE before: 20 MHz-only and 320
        {he(0x00), 0x00, 0x01, cat({raw({1, 2, 3, 4}), zeros(9)})},
        {he(0x04), 0x00, 0x07, cat({zeros(4), raw({1, 2, 3}), zeros(6)})},
        {he(0x0C), 0x02, 0x1F, cat({zeros(4), raw({1, 2, 3, 4, 5, 6, 7, 8, 9})})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bw);
        CliCapRpt rec{};
        EXPECT_EQ(run(cat({kSsid, c.before, eht(c.p0)}), rec), 0);
        EXPECT_EQ(rec.bw_eht, c.bw);
        EXPECT_EQ(at(rec, 59, 13), c.at59);
        EXPECT_EQ(rec.cur_phy_type, 0x08);
        EXPECT_EQ(rec.max_mcs, 13);
        EXPECT_EQ(rec.short_gi & 0x08, 0x08);
    }
}

TEST(ClientElements, LastGenerationElementDecides)
{
    CliCapRpt rec{};
    const Bytes he = ext_ie(35, {zeros(17), zeros(4)});
    const Bytes ht = ie(45, {zeros(26)});
    EXPECT_EQ(run(cat({kSsid, he, ht}), rec), 0);
    EXPECT_EQ(rec.phy_types, 0x05);
    EXPECT_EQ(rec.cur_phy_type, 0x01);
    EXPECT_EQ(rec.max_mcs, 7);
    EXPECT_EQ(rec.short_gi, 0x04); // HE always, HT without short GI
}

TEST(ClientElements, He6GhzFlagIsFreshEachReading)
{
    CliCapRpt rec{};
    EXPECT_EQ(run(cat({kSsid, ext_ie(59, {raw({0x3D, 0x06})})}), rec), 0);
    EXPECT_EQ(rec.he_6ghz, 1);
    // A list refused at its first tag leaves it; a list that is read resets it.
    EXPECT_EQ(run(ie(1, {raw({0x0C})}), rec), -1);
    EXPECT_EQ(rec.he_6ghz, 1);
    EXPECT_EQ(run(kSsid, rec), 0);
    EXPECT_EQ(rec.he_6ghz, 0);
}

// HE and EHT elements shorter than their fixed parts: what they carry is read, positions
// past their end count as not announced.
TEST(ClientElements, ShortHeElementsByteAtATime)
{
    const Bytes m80 = raw({0xFA, 0xFF, 0xFA, 0xFF}), m160 = raw({0xFE, 0xFF, 0xFE, 0xFF});
    const Bytes full = cat({u8(35), raw({0x06, 0, 0, 0, 0, 0}), raw({0x0C, 0, 0x40, 0x80, 0x0D, 0, 0, 0, 0, 0, 0}),
                            m80, m160});
    for (size_t n = 0; n <= full.size(); ++n) {
        SCOPED_TRACE(n);
        CliCapRpt rec{};
        ASSERT_EQ(run(cat({kSsid, ie(255, slice(full, 0, n))}), rec), 0);
        if (n == 0) {
            EXPECT_EQ(rec.phy_types, 0);
            continue;
        }
        const long len = static_cast<long>(n);
        EXPECT_EQ(rec.phy_types, 0x04);
        EXPECT_EQ(rec.max_mcs, 11);
        EXPECT_EQ(rec.bw_he, n > 7 ? 0x0F : 0x01);
        EXPECT_EQ(field(rec.he_mcs_80, 4), prefix(m80, len - 18, 4));
        EXPECT_EQ(field(rec.he_mcs_160, 4), n > 7 ? prefix(m160, len - 22, 4) : zeros(4));
        EXPECT_EQ(rec.he.role, n > 7 ? 0x44 : 0x40);
        EXPECT_EQ(rec.he.bf_flags, n > 11 ? 0xEB : n > 10 ? 0xE1 : n > 9 ? 0xE0 : 0xC0);
        EXPECT_EQ(rec.he.rts_twt_flags, n > 1 ? 0x33 : 0x03);
    }
}

TEST(ClientElements, ShortEhtElementsByteAtATime)
{
    const Bytes he = ext_ie(35, {zeros(6), u8(0x0C), zeros(10), zeros(8)});
    const Bytes m80 = raw({0x44, 0x44, 0x44}), m160 = raw({0x33, 0x33, 0x33}), m320 = raw({0x22, 0x22, 0x22});
    const Bytes full = cat({u8(108), zeros(2), raw({0x02}), zeros(8), m80, m160, m320});
    for (size_t n = 1; n <= full.size(); ++n) {
        SCOPED_TRACE(n);
        CliCapRpt rec{};
        ASSERT_EQ(run(cat({kSsid, he, ie(255, slice(full, 0, n))}), rec), 0);
        const long len = static_cast<long>(n);
        EXPECT_EQ(rec.phy_types, 0x0C);
        EXPECT_EQ(rec.bw_eht, n > 3 ? 0x1F : 0x0F);
        EXPECT_EQ(field(rec.eht_mcs_20only, 4), zeros(4));
        EXPECT_EQ(field(rec.eht_mcs_80, 3), prefix(m80, len - 12, 3));
        EXPECT_EQ(field(rec.eht_mcs_160, 3), prefix(m160, len - 15, 3));
        EXPECT_EQ(field(rec.eht_mcs_320, 3), n > 3 ? prefix(m320, len - 18, 3) : zeros(3));
    }
}

} // namespace
} // namespace lusl::test
