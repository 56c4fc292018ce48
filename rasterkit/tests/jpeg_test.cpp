// JPEG pictures against libjpeg's own decoding at its default settings.
#include "conversion.h"

#include <gtest/gtest.h>

using namespace rktest;

namespace {

struct Target {
    uint32_t width;
    uint32_t height;
};

const Target kTargets[] = {{0, 0} /* own size */, {640, 480}, {100, 75}, {333, 17}, {1, 1}};

void expectMatchesLibjpeg(const Bytes& file) {
    const Bgr reference = decodeWithLibjpeg(file);
    for (Target t : kTargets) {
        if (t.width == 0) t = {reference.width, reference.height};
        SCOPED_TRACE(std::to_string(t.width) + "x" + std::to_string(t.height));
        const Bgr actual = convertToBgr(file, Jpeg, t.width, t.height);
        ASSERT_FALSE(actual.pixels.empty()) << "refused";
        EXPECT_EQ(firstDifference(stretch(reference, t.width, t.height), actual), "");
    }
}

TEST(RasterkitJpeg, FixturePortraitMatchesLibjpeg) {
    expectMatchesLibjpeg(readFile(CAPDECK_FIXTURES_DIR "/face-320x240.jpg"));
}

struct MadeCase {
    const char* name;
    uint32_t width;
    uint32_t height;
    bool grey;
    bool progressive;
};

TEST(RasterkitJpeg, MadePicturesMatchLibjpeg) {
    const MadeCase cases[] = {
        {"ColourOddSize", 97, 61, false, false},
        {"Grey", 120, 80, true, false},
        {"Progressive", 150, 101, false, true},
        {"GreyProgressive", 33, 200, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectMatchesLibjpeg(
            writeJpeg(makePicture(c.width, c.height, 3), 85, c.grey, c.progressive));
    }
}

TEST(RasterkitJpeg, GreyPicturesAreShownGrey) {
    const Bytes file = writeJpeg(makePicture(64, 48, 5), 90, true, false);
    const Bgr p = convertToBgr(file, Jpeg, 64, 48);
    ASSERT_FALSE(p.pixels.empty());
    for (uint32_t y = 0; y < 48; ++y)
        for (uint32_t x = 0; x < 64; ++x)
            ASSERT_TRUE(p.at(x, y)[0] == p.at(x, y)[1] && p.at(x, y)[1] == p.at(x, y)[2]);
}

// libjpeg gives CMYK samples at its default settings, which a 24-bit picture cannot show.
TEST(RasterkitJpeg, CmykIsRefused) {
    const Converted c = convert(writeCmykJpeg(32, 32), Jpeg, 32, 32);
    EXPECT_EQ(c.pixels, nullptr);
    EXPECT_EQ(c.size, 0);
}

} // namespace
