// The TIFF decoder's own rules: colour tables, strips, differencing, bilevel reduction,
// and the choices for directories that omit tags.
#include "conversion.h"

#include <gtest/gtest.h>

#include <tiffio.h>

using namespace rktest;

namespace {

constexpr uint8_t kWhite[3] = {255, 255, 255};
constexpr uint8_t kBlack[3] = {0, 0, 0};

bool pixelIs(const Bgr& p, uint32_t x, uint32_t y, const uint8_t (&bgr)[3]) {
    return std::equal(bgr, bgr + 3, p.at(x, y));
}

bool allPixels(const Bgr& p, const uint8_t (&bgr)[3]) {
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 0; x < p.width; ++x)
            if (!pixelIs(p, x, y, bgr)) return false;
    return !p.pixels.empty();
}

struct BilevelCase {
    const char* name;
    uint16_t photometric;
    const uint8_t (&expected)[3];
};

TEST(RasterkitTiffRules, BilevelZeroBytesFollowThePhotometricInterpretation) {
    const BilevelCase cases[] = {{"WhiteIsZero", 0, kWhite}, {"BlackIsZero", 1, kBlack}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file =
            TiffBuilder::basic(16, 2, 1, 1, c.photometric, 1, 2).strips({Bytes(4, 0x00)}).build();
        EXPECT_TRUE(allPixels(convertToBgr(file, Tiff, 16, 2), c.expected));
    }
}

// Index 1 is pure red (65535, 0, 0); index 2 holds 32896 in every channel; index 3
// holds 65280, which shows as 255 like 65535.
TEST(RasterkitTiffRules, PaletteValueRule) {
    std::vector<uint32_t> map(768, 0);
    map[1] = 65535;
    map[2] = map[256 + 2] = map[512 + 2] = 32896;
    map[3] = map[256 + 3] = map[512 + 3] = 65280;
    const Bytes file = TiffBuilder::basic(4, 1, 1, 8, 3, 1, 1)
                           .set(320, TiffBuilder::Short, map)
                           .strips({Bytes{0, 1, 2, 3}})
                           .build();
    const Bgr p = convertToBgr(file, Tiff, 4, 1);
    ASSERT_EQ(p.width, 4u);
    EXPECT_TRUE(pixelIs(p, 0, 0, kBlack));
    const uint8_t red[3] = {0, 0, 255}, grey180[3] = {180, 180, 180};
    EXPECT_TRUE(pixelIs(p, 1, 0, red));
    EXPECT_TRUE(pixelIs(p, 2, 0, grey180));
    EXPECT_TRUE(pixelIs(p, 3, 0, kWhite));
}

TEST(RasterkitTiffRules, FourBitGreyTable) {
    const Bytes samples{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    for (uint16_t photometric : {0, 1}) {
        SCOPED_TRACE(photometric);
        const Bytes file =
            TiffBuilder::basic(16, 1, 1, 4, photometric, 1, 1).strips({samples}).build();
        const Bgr p = convertToBgr(file, Tiff, 16, 1);
        ASSERT_EQ(p.width, 16u);
        for (uint32_t v = 0; v < 16; ++v)
            EXPECT_EQ(p.at(v, 0)[0], photometric == 0 ? 255 - 16 * v : 16 * v + 15) << v;
    }
}

// The first pixel of each row is taken as is; every following byte adds the byte three
// places before it.
TEST(RasterkitTiffRules, LzwRgbWithHorizontalDifferencing) {
    const Bytes twoRows{10, 20, 30, 1, 2, 3, 255, 254, 253, 10, 20, 30, 1, 2, 3, 255, 254, 253};
    const Bytes file = TiffBuilder::basic(3, 2, 3, 8, 2, 5, 2)
                           .set(317, TiffBuilder::Short, {2})
                           .strips({lzwEncode(twoRows)})
                           .build();
    const Bgr p = convertToBgr(file, Tiff, 3, 2);
    ASSERT_EQ(p.width, 3u);
    for (uint32_t y = 0; y < 2; ++y) {
        const uint8_t first[3] = {30, 20, 10}, second[3] = {33, 22, 11}, third[3] = {30, 20, 10};
        EXPECT_TRUE(pixelIs(p, 0, y, first));
        EXPECT_TRUE(pixelIs(p, 1, y, second));
        EXPECT_TRUE(pixelIs(p, 2, y, third)); // 11 + 255, 22 + 254, 33 + 253 wrap
    }
}

TEST(RasterkitTiffRules, UncompressedStripsAreNeverUndifferenced) {
    const Bytes file = TiffBuilder::basic(3, 1, 1, 8, 1, 1, 1)
                           .set(317, TiffBuilder::Short, {2})
                           .strips({Bytes{10, 20, 30}})
                           .build();
    const Bgr p = convertToBgr(file, Tiff, 3, 1);
    ASSERT_EQ(p.width, 3u);
    EXPECT_EQ(p.at(1, 0)[0], 20);
    EXPECT_EQ(p.at(2, 0)[0], 30);
}

// 20 rows in strips of 16: the second strip supplies 4 rows.
TEST(RasterkitTiffRules, ShortLastStrip) {
    Bytes first(16 * 2, 0x10), second(4 * 2, 0xE0);
    const Bytes file = TiffBuilder::basic(2, 20, 1, 8, 1, 1, 16).strips({first, second}).build();
    const Bgr p = convertToBgr(file, Tiff, 2, 20);
    ASSERT_EQ(p.height, 20u);
    for (uint32_t y = 0; y < 20; ++y)
        EXPECT_EQ(p.at(1, y)[0], y < 16 ? 0x10 : 0xE0) << y;
}

TEST(RasterkitTiffRules, OrientationAndFillOrderDoNotChangeTheResult) {
    const TiffKind kinds[] = {{"Bilevel", 1, 1, 0}, {"Rgb", 3, 8, 2}};
    for (const TiffKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        Bytes strip;
        for (const Bytes& row : makeSamples(kind, 40, 9))
            strip.insert(strip.end(), row.begin(), row.end());
        const auto basic = [&] {
            return TiffBuilder::basic(40, 9, kind.samplesPerPixel, kind.bitsPerSample,
                                      kind.photometric, 1, 9);
        };
        const Bgr plain = convertToBgr(basic().strips({strip}).build(), Tiff, 40, 9);
        const Bgr turned = convertToBgr(basic()
                                            .set(274, TiffBuilder::Short, {3})
                                            .set(266, TiffBuilder::Short, {2})
                                            .strips({strip})
                                            .build(),
                                        Tiff, 40, 9);
        ASSERT_FALSE(plain.pixels.empty());
        EXPECT_EQ(firstDifference(plain, turned), "");
    }
}

// A single black pixel survives a reduction of a 1-bit picture by four in both axes,
// while a grey picture with the same pixel loses it.
TEST(RasterkitTiffRules, BilevelReductionKeepsBlack) {
    Bytes bilevel(8 * 32, 0x00); // WhiteIsZero: all white
    bilevel[5 * 8 + 2] = 0x20;   // x = 18, y = 5 black
    const Bytes file = TiffBuilder::basic(64, 32, 1, 1, 0, 1, 32).strips({bilevel}).build();
    const Bgr p = convertToBgr(file, Tiff, 16, 8);
    ASSERT_EQ(p.width, 16u);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            EXPECT_TRUE(pixelIs(p, x, y, x == 4 && y == 1 ? kBlack : kWhite)) << x << "," << y;

    Bytes grey(64 * 32, 255);
    grey[5 * 64 + 18] = 0;
    const Bytes greyFile = TiffBuilder::basic(64, 32, 1, 8, 1, 1, 32).strips({grey}).build();
    EXPECT_TRUE(allPixels(convertToBgr(greyFile, Tiff, 16, 8), kWhite));
}

// A compression the decoder does not read: the picture keeps the requested size and
// shows sample 0 everywhere (white for WhiteIsZero, black for RGB).
TEST(RasterkitTiffRules, UnreadCompressionGivesAnEmptyPicture) {
    const Bytes bilevel = TiffBuilder::basic(8, 8, 1, 1, 0, 7, 8).strips({Bytes(8, 0xFF)}).build();
    EXPECT_TRUE(allPixels(convertToBgr(bilevel, Tiff, 30, 20), kWhite));
    const Bytes rgb = TiffBuilder::basic(8, 8, 3, 8, 2, 32773, 8).strips({Bytes(8, 0x7F)}).build();
    EXPECT_TRUE(allPixels(convertToBgr(rgb, Tiff, 30, 20), kBlack));
}

// TIFF's defaults: no RowsPerStrip is one strip for the whole picture, no
// SamplesPerPixel/BitsPerSample is 1-bit, no Compression is uncompressed.
TEST(RasterkitTiffRules, DefaultsForOmittedTags) {
    Bytes rows(2 * 3, 0);
    rows[0] = 0x80; // (0,0) set
    rows[5] = 0x01; // (15,2) set
    const Bytes file = TiffBuilder::basic(16, 3, 1, 1, 1, 1, 1)
                           .remove(278)
                           .remove(277)
                           .remove(258)
                           .remove(259)
                           .strips({rows})
                           .build();
    const Bgr p = convertToBgr(file, Tiff, 16, 3);
    ASSERT_EQ(p.width, 16u);
    EXPECT_TRUE(pixelIs(p, 0, 0, kWhite));
    EXPECT_TRUE(pixelIs(p, 15, 2, kWhite));
    EXPECT_TRUE(pixelIs(p, 1, 0, kBlack));
}

TEST(RasterkitTiffRules, StripCountsThatDoNotMatchTheHeight) {
    // Too few strips: the rows no strip covers stay sample 0 (black for BlackIsZero).
    const Bytes fewer = TiffBuilder::basic(2, 8, 1, 8, 1, 1, 2).strips({Bytes(4, 200)}).build();
    const Bgr p = convertToBgr(fewer, Tiff, 2, 8);
    ASSERT_EQ(p.height, 8u);
    for (uint32_t y = 0; y < 8; ++y)
        EXPECT_EQ(p.at(0, y)[0], y < 2 ? 200 : 0) << y;
    // More strips than the picture needs: the extra ones are not read at all.
    TiffBuilder more = TiffBuilder::basic(2, 2, 1, 8, 1, 1, 2);
    more.set(273, TiffBuilder::Long, {8, 0xFFFFFF00}).set(279, TiffBuilder::Long, {4, 4});
    const Bytes moreFile = more.data(Bytes(4, 99)).build();
    const Bgr q = convertToBgr(moreFile, Tiff, 2, 2);
    ASSERT_EQ(q.height, 2u);
    EXPECT_EQ(q.at(1, 1)[0], 99);
}

// StripOffsets and StripByteCounts stored as SHORT values: two of them fit in the entry
// itself.
TEST(RasterkitTiffRules, ShortStripArraysHeldInTheEntry) {
    TiffBuilder b = TiffBuilder::basic(2, 2, 1, 8, 1, 1, 1);
    b.set(273, TiffBuilder::Short, {8, 10}).set(279, TiffBuilder::Short, {2, 2});
    const Bytes file = b.data({1, 2, 3, 4}).build();
    const Bgr p = convertToBgr(file, Tiff, 2, 2);
    ASSERT_EQ(p.height, 2u);
    EXPECT_EQ(p.at(0, 0)[0], 1);
    EXPECT_EQ(p.at(1, 1)[0], 4);
}

// Damage inside an LZW strip: the rows expanded before the bad code are stored, the
// rest of the strip stays sample 0.
TEST(RasterkitTiffRules, DamagedLzwStripKeepsTheRowsBeforeTheDamage) {
    const Bytes good(4 * 4, 77);
    Bytes strip = lzwEncode(Bytes(good.begin(), good.begin() + 8), {true, false, 4093});
    // Append a code far beyond the next free one (9 bits of ones: 511).
    strip.push_back(0xFF);
    strip.push_back(0xFF);
    const Bytes file = TiffBuilder::basic(4, 4, 1, 8, 1, 5, 4).strips({strip}).build();
    const Bgr p = convertToBgr(file, Tiff, 4, 4);
    ASSERT_EQ(p.height, 4u);
    for (uint32_t y = 0; y < 4; ++y)
        EXPECT_EQ(p.at(3, y)[0], y < 2 ? 77 : 0) << y;
}

} // namespace
