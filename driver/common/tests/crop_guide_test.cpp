// The crop box arithmetic: single-precision percent factor, extended-precision products,
// truncation toward zero, and the pushes and clamps at the bounds.
#include "lensport/crop_guide.h"
#include "lensport/face_library.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>

namespace {

struct CropCase {
    std::string name;
    CvRect face;
    lensport::CropSettings settings;
    int boundWidth;
    lensport::CropBox expected;
};

std::ostream& operator<<(std::ostream& out, const CropCase& c) {
    return out << c.name;
}

lensport::CropSettings Crop(int zoom, int vo, int ho, float aw = 4.0f, float ah = 5.0f) {
    lensport::CropSettings s;
    s.zoom = zoom;
    s.verticalOffset = vo;
    s.horizontalOffset = ho;
    s.aspectWidth = aw;
    s.aspectHeight = ah;
    return s;
}

lensport::CropBox Box(int left, int right, int top, int bottom, bool clamped) {
    lensport::CropBox box;
    box.left = left;
    box.right = right;
    box.top = top;
    box.bottom = bottom;
    box.clamped = clamped;
    box.defined = true;
    return box;
}

class CropBoxTable : public ::testing::TestWithParam<CropCase> {};

TEST_P(CropBoxTable, MatchesTheArithmetic) {
    const CropCase& c = GetParam();
    const lensport::CropBox box = lensport::ComputeCropBox(c.face, c.settings, c.boundWidth, 240);
    EXPECT_EQ(box.defined, c.expected.defined);
    if (!c.expected.defined) return;
    EXPECT_EQ(box.left, c.expected.left);
    EXPECT_EQ(box.right, c.expected.right);
    EXPECT_EQ(box.top, c.expected.top);
    EXPECT_EQ(box.bottom, c.expected.bottom);
    EXPECT_EQ(box.clamped, c.expected.clamped);
}

// Face boxes as (x, y, width, height); the centre is (x + w / 2, y + h / 2).
INSTANTIATE_TEST_SUITE_P(
    Cases, CropBoxTable,
    ::testing::Values(
        // 1.6999999843 x 100 = 169.99... -> 169 wide (not 170); 169 / 4 x 5 = 211.25 -> 211.
        CropCase{"Zoom35Width169Height211",
                 {110, 70, 100, 100},
                 Crop(35, 0, 0),
                 320,
                 Box(76, 244, 15, 225, false)},
        // Centre (300, 120): right would be 384, the box moves left to end at 320.
        CropCase{"PushedLeftAtTheRightEdge",
                 {250, 70, 100, 100},
                 Crop(35, 0, 0),
                 320,
                 Box(152, 320, 15, 225, true)},
        CropCase{"ZoomZeroKeepsTheFaceWidth",
                 {100, 50, 80, 80},
                 Crop(0, 0, 0),
                 320,
                 Box(100, 180, 40, 140, false)},
        // 100 x 10 x 0.0099999998 = 9.99... -> 9; -9.99... -> -9 (toward zero).
        CropCase{"ShiftsTruncateTowardZero",
                 {110, 70, 100, 100},
                 Crop(35, -10, 10),
                 320,
                 Box(85, 253, 6, 216, false)},
        // 199 wide gives 248 high: the height is the bound and the width 4 / 5 x 240.
        CropCase{"TooHighTakesTheFullHeight",
                 {110, 70, 100, 100},
                 Crop(100, 0, 0),
                 320,
                 Box(64, 256, 0, 240, true)},
        // Portrait bound: 199 is wider than 180.
        CropCase{"TooWideForThePortrait",
                 {40, 70, 100, 100},
                 Crop(50, 0, 0),
                 180,
                 Box(0, 180, 8, 232, true)},
        CropCase{"PushedRightAtTheLeftEdge",
                 {0, 70, 60, 60},
                 Crop(35, 0, 0),
                 320,
                 Box(0, 100, 37, 163, true)},
        CropCase{"PushedDownAtTheTop",
                 {130, 0, 60, 60},
                 Crop(35, 0, 0),
                 320,
                 Box(110, 210, 0, 126, true)},
        CropCase{"PushedUpAtTheBottom",
                 {130, 200, 60, 60},
                 Crop(35, 0, 0),
                 320,
                 Box(110, 210, 114, 240, true)},
        // Zoom -100: -99 wide and -123 high; the box turns inside out but stays in range.
        CropCase{"NegativeMarginInvertsTheBox",
                 {110, 70, 100, 100},
                 Crop(-100, 0, 0),
                 320,
                 Box(209, 111, 181, 59, false)},
        CropCase{"ExtremeValuesSaturate",
                 {110, 70, 100, 100},
                 Crop(INT_MAX, INT_MAX, INT_MIN),
                 320,
                 Box(0, 192, 0, 240, true)},
        CropCase{"AspectNotSetHasNoBox",
                 {110, 70, 100, 100},
                 Crop(35, 0, 0, 0.0f, 0.0f),
                 320,
                 lensport::CropBox{}},
        CropCase{"NegativeAspectHasNoBox",
                 {110, 70, 100, 100},
                 Crop(35, 0, 0, -4.0f, 5.0f),
                 320,
                 lensport::CropBox{}}),
    [](const ::testing::TestParamInfo<CropCase>& info) { return info.param.name; });

struct LanguagePathCase {
    std::string ini;
    std::string expected;
};

class LanguageFilePath : public ::testing::TestWithParam<LanguagePathCase> {};

TEST_P(LanguageFilePath, IsBesideTheHostIni) {
    EXPECT_EQ(lensport::LanguageFilePath(GetParam().ini), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LanguageFilePath,
    ::testing::Values(LanguagePathCase{"/data/Capdeck.ini", "/data/local.ini"},
                      // Only the first occurrence counts, and only in this exact case.
                      LanguagePathCase{"/a/Capdeck.ini/b/Capdeck.ini", "/a/local.ini"},
                      LanguagePathCase{"/data/capdeck.ini", "/data/local.ini"},
                      LanguagePathCase{"/data/Other.ini", "/data/local.ini"},
                      LanguagePathCase{"C:\\data\\host.ini", "C:\\data\\local.ini"},
                      LanguagePathCase{"host.ini", "local.ini"},
                      LanguagePathCase{"", "local.ini"}));

} // namespace
