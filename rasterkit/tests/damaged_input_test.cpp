// Damaged, truncated and unreadable file images: every one takes the refusal path (null
// result, size out 0, no picture kept). The sanitizer build runs these too, so a read
// or write out of bounds fails them.
#include "Conversion.h"
#include "conversion.h"

#include <gtest/gtest.h>

#include <functional>

using namespace rktest;

namespace {

constexpr uint16_t kShort = TiffBuilder::Short;
constexpr uint16_t kLong = TiffBuilder::Long;

Bytes grey(uint32_t w, uint32_t h) {
    return Bytes(size_t{w} * h, 0x55);
}

TiffBuilder greyFile() {
    return TiffBuilder::basic(8, 8, 1, 8, 1, 1, 8).strips({grey(8, 8)});
}

struct Damaged {
    const char* name;
    uint32_t format;
    std::function<Bytes()> make;
};

void PrintTo(const Damaged& d, std::ostream* os) {
    *os << d.name;
}

const Bytes kJpeg = [] { return writeJpeg(makePicture(64, 48, 9), 90, false, false); }();

const Damaged kCases[] = {
    // TIFF: the header and the directory
    {"TiffEmpty", Tiff, [] { return Bytes{}; }},
    {"TiffHeaderOnly", Tiff,
     [] {
         return Bytes{'I', 'I', 42, 0};
     }},
    {"TiffDirectoryBeyondFile", Tiff, [] { return Bytes{'I', 'I', 42, 0, 0xF0, 0, 0, 0}; }},
    {"TiffDirectoryOffsetHuge", Tiff,
     [] { return Bytes{'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0xFF}; }},
    {"TiffEntriesBeyondFile", Tiff,
     [] {
         Bytes b = greyFile().build();
         b.resize(b.size() - 20);
         return b;
     }},
    {"TiffNoEntries", Tiff, [] { return Bytes{'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0}; }},
    {"TiffBigEndian", Tiff,
     [] {
         Bytes b = greyFile().build();
         b[0] = b[1] = 'M';
         return b;
     }},
    // TIFF: strips
    {"TiffNoStripOffsets", Tiff,
     [] { return greyFile().remove(273).remove(279).data(grey(8, 8)).build(); }},
    {"TiffStripOffsetBeyondFile", Tiff,
     [] {
         return greyFile().remove(273).set(273, kLong, {0xFFFFFFF0}).set(279, kLong, {64}).build();
     }},
    {"TiffUncompressedStripTooShort", Tiff,
     [] { return TiffBuilder::basic(8, 8, 1, 8, 1, 1, 8).strips({grey(8, 7)}).build(); }},
    {"TiffLzwByteCountBeyondFile", Tiff,
     [] {
         return TiffBuilder::basic(8, 8, 1, 8, 1, 5, 8)
             .set(273, kLong, {8})
             .set(279, kLong, {0x7FFFFFFF})
             .data(lzwEncode(grey(8, 8)))
             .build();
     }},
    {"TiffLzwWithoutByteCounts", Tiff,
     [] {
         return TiffBuilder::basic(8, 8, 1, 8, 1, 5, 8)
             .set(273, kLong, {8})
             .data(lzwEncode(grey(8, 8)))
             .build();
     }},
    {"TiffStripArrayBeyondFile", Tiff,
     [] {
         Bytes b = TiffBuilder::basic(8, 8, 1, 8, 1, 1, 2)
                       .strips({grey(8, 2), grey(8, 2), grey(8, 2), grey(8, 2)})
                       .build();
         b.resize(b.size() - 8); // the byte-count array is the last thing in the file
         return b;
     }},
    // TIFF: sizes
    {"TiffWidthZero", Tiff, [] { return greyFile().set(256, kShort, {0}).build(); }},
    {"TiffHeightZero", Tiff, [] { return greyFile().set(257, kShort, {0}).build(); }},
    {"TiffNoWidth", Tiff, [] { return greyFile().remove(256).build(); }},
    {"TiffWidthAbove65535", Tiff, [] { return greyFile().set(256, kLong, {70000}).build(); }},
    {"TiffAbovePixelLimit", Tiff,
     [] {
         return TiffBuilder::basic(65535, 65535, 1, 8, 1, 7, 65535).strips({grey(8, 8)}).build();
     }},
    // TIFF: layouts the decoder does not read
    {"Tiff16BitGrey", Tiff,
     [] { return TiffBuilder::basic(8, 8, 1, 16, 1, 1, 8).strips({grey(16, 8)}).build(); }},
    {"Tiff2BitGrey", Tiff,
     [] { return TiffBuilder::basic(8, 8, 1, 2, 1, 1, 8).strips({grey(2, 8)}).build(); }},
    {"TiffGreyWithAlpha", Tiff,
     [] { return TiffBuilder::basic(8, 8, 2, 8, 1, 1, 8).strips({grey(16, 8)}).build(); }},
    {"TiffRgb16", Tiff,
     [] { return TiffBuilder::basic(8, 8, 3, 16, 2, 1, 8).strips({grey(48, 8)}).build(); }},
    {"TiffMixedBitDepths", Tiff,
     [] {
         return TiffBuilder::basic(8, 8, 3, 8, 2, 1, 8)
             .set(258, kShort, {8, 8, 16})
             .strips({grey(24, 8)})
             .build();
     }},
    {"TiffSeparatePlanes", Tiff,
     [] {
         return TiffBuilder::basic(8, 8, 3, 8, 2, 1, 8)
             .set(284, kShort, {2})
             .strips({grey(24, 8)})
             .build();
     }},
    {"TiffGreyPhotometricRgb", Tiff,
     [] { return TiffBuilder::basic(8, 8, 1, 8, 2, 1, 8).strips({grey(8, 8)}).build(); }},
    {"TiffPaletteWithoutMap", Tiff,
     [] { return TiffBuilder::basic(8, 8, 1, 8, 3, 1, 8).strips({grey(8, 8)}).build(); }},
    {"TiffPaletteShortMap", Tiff,
     [] {
         return TiffBuilder::basic(8, 8, 1, 8, 3, 1, 8)
             .set(320, kShort, std::vector<uint32_t>(48, 1000))
             .strips({grey(8, 8)})
             .build();
     }},
    {"TiffFourBitPalette", Tiff,
     [] {
         return TiffBuilder::basic(8, 8, 1, 4, 3, 1, 8)
             .set(320, kShort, std::vector<uint32_t>(48, 1000))
             .strips({grey(4, 8)})
             .build();
     }},
    {"TiffDifferencingBelow8Bits", Tiff,
     [] {
         return TiffBuilder::basic(16, 4, 1, 1, 1, 5, 4)
             .set(317, kShort, {2})
             .strips({lzwEncode(grey(2, 4))})
             .build();
     }},
    {"TiffColorMapBeyondFile", Tiff,
     [] {
         Bytes b = TiffBuilder::basic(8, 8, 1, 8, 3, 1, 8)
                       .set(320, kShort, std::vector<uint32_t>(768, 1000))
                       .strips({grey(8, 8)})
                       .build();
         b.resize(b.size() - 100); // the map is the last thing in the file
         return b;
     }},
    // JPEG
    {"JpegEmpty", Jpeg, [] { return Bytes{}; }},
    {"JpegGarbage", Jpeg, [] { return Bytes(1000, 0x5A); }},
    {"JpegOnlySoi", Jpeg,
     [] {
         return Bytes{0xFF, 0xD8};
     }},
    {"JpegCutInHeader", Jpeg, [] { return Bytes(kJpeg.begin(), kJpeg.begin() + 200); }},
    {"JpegCutInScan", Jpeg,
     [] { return Bytes(kJpeg.begin(), kJpeg.begin() + kJpeg.size() * 2 / 3); }},
    {"JpegWithoutEndMarker", Jpeg, [] { return Bytes(kJpeg.begin(), kJpeg.end() - 2); }},
    {"JpegMarkerInScan", Jpeg,
     [] {
         Bytes b = kJpeg;
         const size_t at = b.size() / 2;
         b[at] = 0xFF;
         b[at + 1] = 0xD9; // an early End of image inside the entropy data
         return b;
     }},
    {"JpegHugeDimensions", Jpeg,
     [] {
         Bytes b = kJpeg;
         for (size_t i = 0; i + 8 < b.size(); ++i)
             if (b[i] == 0xFF && b[i + 1] == 0xC0) { // SOF0: height and width follow
                 b[i + 5] = b[i + 6] = b[i + 7] = b[i + 8] = 0xFF;
                 break;
             }
         return b;
     }},
    {"JpegZeroComponents", Jpeg,
     [] {
         Bytes b = kJpeg;
         for (size_t i = 0; i + 9 < b.size(); ++i)
             if (b[i] == 0xFF && b[i + 1] == 0xC0) {
                 b[i + 9] = 0;
                 break;
             }
         return b;
     }},
    {"TiffGivenAsJpeg", Jpeg, [] { return greyFile().build(); }},
    {"JpegGivenAsTiff", Tiff, [] { return kJpeg; }},
};

class RasterkitDamagedInput : public ::testing::TestWithParam<Damaged> {};

TEST_P(RasterkitDamagedInput, TakesTheRefusalPath) {
    const Bytes file = GetParam().make();
    // A good picture first, to see that the refusal also drops it.
    ASSERT_NE(convert(greyFile().build(), Tiff, 8, 8).pixels, nullptr);
    const Converted c = convert(file, GetParam().format, 40, 30);
    EXPECT_EQ(c.pixels, nullptr);
    EXPECT_EQ(c.size, 0);
    EXPECT_EQ(rasterkit::convertImage(file, GetParam().format, 40, 30).pixels, nullptr);
    EXPECT_FALSE(rasterkit::hasPicture());
}

INSTANTIATE_TEST_SUITE_P(Cases, RasterkitDamagedInput, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every prefix of a good file image either converts or is refused, and never reads
// beyond the bytes it is given (the sanitizer build checks that).
TEST(RasterkitTruncatedInput, EveryPrefixIsHandled) {
    TiffLayout layout;
    layout.width = 30;
    layout.height = 20;
    layout.rowsPerStrip = 7;
    layout.compression = 5;
    layout.predictor = 2;
    const TiffKind rgb{"Rgb", 3, 8, 2};
    const Bytes tiff = writeTiff(rgb, layout, makeSamples(rgb, 30, 20));
    const Bytes jpeg = writeJpeg(makePicture(30, 20, 2), 80, false, true);
    for (const auto& [file, format] : {std::pair{tiff, Tiff}, std::pair{jpeg, Jpeg}}) {
        for (size_t n = 0; n < file.size(); ++n) {
            const auto prefix = std::make_unique<uint8_t[]>(n + 1); // exact-size copy
            std::copy(file.begin(), file.begin() + n, prefix.get());
            int32_t size = -1;
            const uint8_t* p =
                GetConvertedImage(prefix.get(), static_cast<int32_t>(n), &size, format, 13, 9);
            EXPECT_EQ(size, p == nullptr ? 0 : 13 * 9 * 3);
            if (format == Jpeg) {
                EXPECT_EQ(p, nullptr) << "truncated JPEG accepted at " << n;
            }
        }
    }
    ClearResources();
}

} // namespace
