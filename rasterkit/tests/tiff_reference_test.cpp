// Rasterkit's TIFF pictures against libtiff's decoding of the same files, pixel by
// pixel, at the picture's own size and stretched.
#include "conversion.h"

#include <gtest/gtest.h>

#include <tiffio.h>

using namespace rktest;

namespace {

const TiffKind kKinds[] = {
    {"Bilevel_WhiteIsZero", 1, 1, PHOTOMETRIC_MINISWHITE},
    {"Bilevel_BlackIsZero", 1, 1, PHOTOMETRIC_MINISBLACK},
    {"Grey4_WhiteIsZero", 1, 4, PHOTOMETRIC_MINISWHITE},
    {"Grey4_BlackIsZero", 1, 4, PHOTOMETRIC_MINISBLACK},
    {"Grey8_WhiteIsZero", 1, 8, PHOTOMETRIC_MINISWHITE},
    {"Grey8_BlackIsZero", 1, 8, PHOTOMETRIC_MINISBLACK},
    {"Palette8", 1, 8, PHOTOMETRIC_PALETTE},
    {"Rgb", 3, 8, PHOTOMETRIC_RGB},
    {"Rgba", 4, 8, PHOTOMETRIC_RGB},
};

struct Coding {
    const char* name;
    uint16_t compression;
    uint16_t predictor;
};

const Coding kCodings[] = {
    {"Uncompressed", COMPRESSION_NONE, 1},
    {"Lzw", COMPRESSION_LZW, 1},
    {"LzwDifferencing", COMPRESSION_LZW, 2},
};

struct Target {
    const char* name;
    uint32_t width;
    uint32_t height;
};

// 161 x 37 in strips of 16 rows: three strips, the last one 5 rows.
const Target kTargets[] = {
    {"OwnSize", 161, 37},  {"Enlarged", 400, 93},   {"Reduced", 53, 12},
    {"WideFlat", 500, 20}, {"NarrowTall", 40, 150}, {"OnePixel", 1, 1},
};

void PrintTo(const Coding& coding, std::ostream* os) {
    *os << coding.name;
}

using Case = std::tuple<TiffKind, Coding>;

class RasterkitTiffReference : public ::testing::TestWithParam<Case> {};

TEST_P(RasterkitTiffReference, MatchesLibtiffAtOwnSizeAndStretched) {
    const auto& [kind, coding] = GetParam();
    TiffLayout layout;
    layout.compression = coding.compression;
    layout.predictor = coding.predictor;
    const Bytes file = writeTiff(kind, layout, makeSamples(kind, layout.width, layout.height));
    const Bgr reference = showSamples(readWithLibtiff(file));
    for (const Target& target : kTargets) {
        SCOPED_TRACE(target.name);
        const Bgr expected = stretch(reference, target.width, target.height,
                                     kind.bitsPerSample == 1 && kind.samplesPerPixel == 1);
        const Bgr actual = convertToBgr(file, Tiff, target.width, target.height);
        ASSERT_FALSE(actual.pixels.empty()) << "refused";
        EXPECT_EQ(firstDifference(expected, actual), "");
    }
}

bool differencingApplies(const Case& c) {
    return std::get<1>(c).predictor == 1 || std::get<0>(c).bitsPerSample == 8;
}

std::vector<Case> cases() {
    std::vector<Case> out;
    for (const TiffKind& kind : kKinds)
        for (const Coding& coding : kCodings)
            if (differencingApplies({kind, coding})) out.emplace_back(kind, coding);
    return out;
}

INSTANTIATE_TEST_SUITE_P(Kinds, RasterkitTiffReference, ::testing::ValuesIn(cases()),
                         [](const auto& info) {
                             return std::get<0>(info.param).name + "_" +
                                    std::get<1>(info.param).name;
                         });

// Pictures whose rows are far longer than a strip's worth of table: the LZW table runs
// full and is cleared many times within one strip.
TEST(RasterkitTiffReferenceLarge, LongLzwStripsWithManyClears) {
    const TiffKind rgb{"Rgb", 3, 8, PHOTOMETRIC_RGB};
    TiffLayout layout;
    layout.width = 700;
    layout.height = 300;
    layout.rowsPerStrip = 128;
    layout.compression = COMPRESSION_LZW;
    layout.predictor = 2;
    const Bytes file = writeTiff(rgb, layout, makeSamples(rgb, layout.width, layout.height, 7));
    const Bgr reference = showSamples(readWithLibtiff(file));
    EXPECT_EQ(firstDifference(reference, convertToBgr(file, Tiff, 700, 300)), "");
}

} // namespace
