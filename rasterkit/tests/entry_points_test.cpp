// The two entry points: sizes, row layout, the kept picture and the refusal path.
#include "Conversion.h"
#include "conversion.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace rktest;

namespace {

Bytes greyTiff(uint32_t width, uint32_t height, uint8_t value) {
    return TiffBuilder::basic(width, height, 1, 8, 1, 1, height)
        .strips({Bytes(size_t{width} * height, value)})
        .build();
}

class RasterkitEntryPoints : public ::testing::Test {
protected:
    void TearDown() override { ClearResources(); }
};

// Width 161: size out is 4830 while every row takes 484 bytes, 4840 in all.
TEST_F(RasterkitEntryPoints, RowsArePaddedToFourBytes) {
    const Converted c = convert(greyTiff(20, 20, 0x42), Tiff, 161, 10);
    ASSERT_NE(c.pixels, nullptr);
    EXPECT_EQ(c.size, 4830);
    for (size_t row = 0; row < 10; ++row) {
        const uint8_t* r = c.pixels + row * 484;
        for (size_t i = 0; i < 483; ++i)
            ASSERT_EQ(r[i], 0x42) << row << ":" << i;
        EXPECT_EQ(r[483], 0) << "padding of row " << row;
    }
}

TEST_F(RasterkitEntryPoints, BottomRowComesFirst) {
    Bytes rows(4 * 3, 0);
    std::fill(rows.begin(), rows.begin() + 4, 10); // top row
    std::fill(rows.end() - 4, rows.end(), 200);    // bottom row
    const Bytes file = TiffBuilder::basic(4, 3, 1, 8, 1, 1, 3).strips({rows}).build();
    const Converted c = convert(file, Tiff, 4, 3);
    ASSERT_NE(c.pixels, nullptr);
    EXPECT_EQ(c.pixels[0], 200);
    EXPECT_EQ(c.pixels[2 * 12], 10);
}

TEST_F(RasterkitEntryPoints, OnlyTheLowSixteenBitsOfTheSizeCount) {
    const Bytes file = greyTiff(8, 8, 0x42);
    const Converted c = convert(file, Tiff, 65536 + 100, 65536 * 3 + 7);
    ASSERT_NE(c.pixels, nullptr);
    EXPECT_EQ(c.size, 100 * 7 * 3);
    EXPECT_EQ(c.pixels[100 * 3 - 1], 0x42);
}

TEST_F(RasterkitEntryPoints, OnlyTheLowByteOfTheFormatCounts) {
    const Converted c = convert(greyTiff(8, 8, 0x42), 0x1001, 8, 8);
    ASSERT_NE(c.pixels, nullptr);
    EXPECT_EQ(c.size, 8 * 8 * 3);
}

TEST_F(RasterkitEntryPoints, UnknownFormatRefusesAndFreesThePreviousPicture) {
    const Bytes file = greyTiff(8, 8, 0x42);
    ASSERT_NE(convert(file, Tiff, 8, 8).pixels, nullptr);
    for (uint32_t format : {2u, 3u, 255u}) {
        const Converted c = convert(file, format, 8, 8);
        EXPECT_EQ(c.pixels, nullptr);
        EXPECT_EQ(c.size, 0);
    }
    // The same through the conversion inside the library: nothing is kept.
    const auto first = rasterkit::convertImage(file, Tiff, 8, 8);
    ASSERT_NE(first.pixels, nullptr);
    EXPECT_TRUE(rasterkit::hasPicture());
    const auto refused = rasterkit::convertImage(file, 2, 8, 8);
    EXPECT_EQ(refused.pixels, nullptr);
    EXPECT_FALSE(rasterkit::hasPicture());
}

TEST_F(RasterkitEntryPoints, SecondConversionReplacesTheFirst) {
    const Converted first = convert(greyTiff(8, 8, 0x11), Tiff, 50, 50);
    ASSERT_NE(first.pixels, nullptr);
    const Converted second = convert(greyTiff(8, 8, 0x99), Tiff, 3, 2);
    ASSERT_NE(second.pixels, nullptr);
    EXPECT_EQ(second.size, 18);
    EXPECT_EQ(second.pixels[0], 0x99);
    ClearResources();
    EXPECT_FALSE(rasterkit::hasPicture());
    ClearResources(); // nothing to free: does nothing
}

struct Refusal {
    const char* name;
    int32_t width;
    int32_t height;
};

TEST_F(RasterkitEntryPoints, RefusedSizes) {
    const Refusal cases[] = {
        {"ZeroWidth", 0, 10},       {"ZeroHeight", 10, 0},
        {"LowBitsZero", 65536, 10}, {"AbovePixelLimit", 10000, 10000},
        {"Largest", 65535, 65535},
    };
    const Bytes file = greyTiff(8, 8, 0x42);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Converted r = convert(file, Tiff, c.width, c.height);
        EXPECT_EQ(r.pixels, nullptr);
        EXPECT_EQ(r.size, 0);
    }
    // The largest picture within the limit is made.
    EXPECT_NE(convert(file, Tiff, 8192, 8192).pixels, nullptr);
}

TEST_F(RasterkitEntryPoints, RefusedArguments) {
    const Bytes file = greyTiff(8, 8, 0x42);
    int32_t size = -1;
    EXPECT_EQ(GetConvertedImage(nullptr, 100, &size, Tiff, 8, 8), nullptr);
    EXPECT_EQ(size, 0);
    size = -1;
    EXPECT_EQ(GetConvertedImage(file.data(), -1, &size, Tiff, 8, 8), nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(
        GetConvertedImage(file.data(), static_cast<int32_t>(file.size()), nullptr, Tiff, 8, 8),
        nullptr);
    size = -1;
    EXPECT_EQ(GetConvertedImage(file.data(), 0, &size, Tiff, 8, 8), nullptr);
    EXPECT_EQ(size, 0);
}

// The library resolves by name the way the companion modules load it.
TEST(RasterkitModule, ExportsResolveByName) {
    void* module = dlopen(CAPDECK_BIN_DIR "/Rasterkit.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    EXPECT_NE(dlsym(module, "GetConvertedImage"), nullptr);
    EXPECT_NE(dlsym(module, "ClearResources"), nullptr);
    EXPECT_EQ(dlsym(module, "_ZN9rasterkit12convertImageESt4spanIKhLm18446744073709551615EEjjj"),
              nullptr);
    dlclose(module);
}

} // namespace
