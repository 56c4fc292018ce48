// Pictures and frames for the preview tests: JPEG frames made with libjpeg from
// blue-green-red pictures, the fixture portrait, and colour checks on window pixels.
#pragma once

#include "lensport/preview.h"
#include "platform/types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace previewtest {

using Bytes = std::vector<std::uint8_t>;

struct Bgr {
    std::uint8_t b, g, r;
};

inline constexpr Bgr kRedBgr{0, 0, 255};
inline constexpr Bgr kGreenBgr{0, 255, 0};
inline constexpr Bgr kBlueBgr{255, 0, 0};
inline constexpr Bgr kWhiteBgr{255, 255, 255};
inline constexpr Bgr kYellowBgr{0, 255, 255};
inline constexpr Bgr kBlackBgr{0, 0, 0};

// A width x height picture of one colour.
lensport::PreviewImage Solid(int width, int height, Bgr colour);
// 320 x 240 with the quarters red (top left), green (top right), blue (bottom left) and
// white (bottom right).
lensport::PreviewImage Quarters();
// Baseline JPEG of the picture (quality 95).
Bytes EncodeJpeg(const lensport::PreviewImage& picture, int quality = 95);
Bytes ReadBytes(const std::string& path);
// The fixture portrait (320 x 240, one face near (110, 40), 62 x 62).
Bytes PortraitFrame();
lensport::PreviewImage PortraitPicture();
// The picture moved right by dx pixels; the uncovered columns repeat the first column.
lensport::PreviewImage ShiftedRight(const lensport::PreviewImage& picture, int dx);
// The picture scaled by factor (nearest pixel) into a 320 x 240 frame whose point
// (fromX, fromY) of the source lands on (toX, toY); outside the source: mid gray.
lensport::PreviewImage ScaledPlaced(const lensport::PreviewImage& source, double factor,
                                    double fromX, double fromY, double toX, double toY);

// Colour closeness for pictures that went through JPEG.
bool Near(COLORREF actual, Bgr expected, int tolerance = 40);
bool Gray(COLORREF actual, int tolerance = 6);
std::string Describe(COLORREF colour);

// Folder holding the face cascade of the data folder.
std::string CascadeFolder();

} // namespace previewtest
