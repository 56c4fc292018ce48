// The ID-photo crop guide drawn over the preview: the box a picture of the found face
// would be cut to, with everything outside it grayed.
#pragma once

#include "opencv1/cv100.h"

#include <cstdint>

namespace lensport {

// What the host and the panels set for the crop: margin and shifts in percent (the
// shifts relative to the face width) and the aspect ratio of the box.
struct CropSettings {
    std::int32_t zoom = 0;
    std::int32_t verticalOffset = 0;
    std::int32_t horizontalOffset = 0;
    float aspectWidth = 0.0f;
    float aspectHeight = 0.0f;
};

struct CropBox {
    std::int32_t left = 0;
    std::int32_t right = 0;
    std::int32_t top = 0;
    std::int32_t bottom = 0;
    // The box had to be made smaller or moved to stay inside the bounds.
    bool clamped = false;
    // False while the aspect ratio is not set (zero, negative or not a number): there is
    // no box to draw then.
    bool defined = false;
};

// The crop box around a face inside bounds of boundWidth x boundHeight. The percent
// factor is the single-precision 0.01; products are formed in extended precision and
// every conversion to an integer truncates toward zero (saturating, so extreme settings
// cannot overflow).
CropBox ComputeCropBox(const CvRect& face, const CropSettings& settings, int boundWidth,
                       int boundHeight);

// Draws the guide into an 8-bit, 3-channel image through the resolved drawing entry
// point. Without a face: the small yellow square at (5, 5)-(10, 10) only. With a face
// and the guide switch on: grays every pixel on or outside the crop box, then draws the
// face box in yellow and the crop box in red (clamped) or green.
void DrawCropGuide(IplImage* image, const CvRect* face, const CropSettings& settings, bool guideOn,
                   int boundWidth, int boundHeight);

// Sets every pixel of the image with x <= left, x >= right, y <= top or y >= bottom to
// the mean of its three bytes.
void GrayOutside(IplImage* image, const CropBox& box);

// True for an image the guide can draw into: 8 bits, 3 channels, rows inside the data.
bool IsGuideImage(const IplImage* image);

} // namespace lensport
