#include "lensport/crop_guide.h"

#include "lensport/face_library.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace lensport {
namespace {

// The percent factor as the single-precision number it has always been (0.0099999998):
// Zoom 35 on a face 100 wide gives 169, not 170.
constexpr float kPercent = 0.01f;
using Extended = long double;

const CvScalar kYellow = {{0, 255, 255, 0}};
const CvScalar kRed = {{0, 0, 255, 0}};
const CvScalar kGreen = {{0, 255, 0, 0}};
constexpr int kLineThickness = 1;
constexpr int kLineType = 8;

// Truncation toward zero that saturates instead of overflowing.
std::int64_t Truncate(Extended value) {
    if (std::isnan(value)) return 0;
    constexpr Extended kLimit = static_cast<Extended>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int64_t>(std::clamp(value, -kLimit - 1, kLimit));
}

std::int32_t Narrow(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool AspectDefined(float aspect) {
    return std::isfinite(aspect) && aspect > 0.0f;
}

struct BoxExtent {
    std::int64_t width;
    std::int64_t height;
};

// Crop width from the margin, then the height from the aspect; either bound reached
// clamps the box to it.
BoxExtent CropExtent(const CvRect& face, const CropSettings& s, int boundWidth, int boundHeight,
                     bool* clamped) {
    const Extended k = kPercent;
    std::int64_t width = Truncate((2 * static_cast<Extended>(s.zoom) * k + 1) * face.width);
    if (width > boundWidth) {
        width = boundWidth;
        *clamped = true;
    }
    const Extended aspectWidth = s.aspectWidth;
    const Extended aspectHeight = s.aspectHeight;
    std::int64_t height = Truncate(static_cast<Extended>(width) / aspectWidth * aspectHeight);
    if (height > boundHeight) {
        *clamped = true;
        height = boundHeight;
        width = Truncate(aspectWidth / aspectHeight * boundHeight);
    }
    return {width, height};
}

// Moves the span [low, high) back inside [0, bound) without changing its length.
void PushInside(std::int64_t* low, std::int64_t* high, std::int64_t bound, bool* clamped) {
    if (*low < 0) {
        *high -= *low;
        *low = 0;
        *clamped = true;
    }
    if (*high > bound) {
        *low += bound - *high;
        *high = bound;
        *clamped = true;
    }
}

void Outline(IplImage* image, int left, int top, int right, int bottom, const CvScalar& colour) {
    const cvRectangle_fn rectangle = OpenCv().rectangle;
    if (rectangle == nullptr) return;
    rectangle(image, cvPoint(left, top), cvPoint(right, bottom), colour, kLineThickness, kLineType,
              0);
}

} // namespace

CropBox ComputeCropBox(const CvRect& face, const CropSettings& s, int boundWidth, int boundHeight) {
    CropBox box;
    if (!AspectDefined(s.aspectWidth) || !AspectDefined(s.aspectHeight)) return box;
    box.defined = true;
    const Extended k = kPercent;
    const BoxExtent extent = CropExtent(face, s, boundWidth, boundHeight, &box.clamped);
    const std::int64_t horizontalShift =
        Truncate(static_cast<Extended>(face.width) * s.horizontalOffset * k);
    const std::int64_t verticalShift =
        Truncate(static_cast<Extended>(face.width) * s.verticalOffset * k);
    const std::int64_t centreX = static_cast<std::int64_t>(face.x) + face.width / 2;
    const std::int64_t centreY = static_cast<std::int64_t>(face.y) + face.height / 2;
    std::int64_t left = centreX - extent.width / 2 + horizontalShift;
    std::int64_t right = centreX + extent.width / 2 + horizontalShift;
    std::int64_t top = centreY - extent.height / 2 + verticalShift;
    std::int64_t bottom = centreY + extent.height / 2 + verticalShift;
    PushInside(&left, &right, boundWidth, &box.clamped);
    PushInside(&top, &bottom, boundHeight, &box.clamped);
    box.left = Narrow(left);
    box.right = Narrow(right);
    box.top = Narrow(top);
    box.bottom = Narrow(bottom);
    return box;
}

bool IsGuideImage(const IplImage* image) {
    return image != nullptr && image->imageData != nullptr && image->depth == IPL_DEPTH_8U &&
           image->nChannels == 3 && image->width > 0 && image->height > 0 &&
           image->widthStep >= image->width * 3 &&
           static_cast<std::int64_t>(image->widthStep) * image->height <= image->imageSize;
}

void GrayOutside(IplImage* image, const CropBox& box) {
    if (!IsGuideImage(image)) return;
    for (int y = 0; y < image->height; ++y) {
        auto* row = reinterpret_cast<std::uint8_t*>(image->imageData) +
                    static_cast<std::ptrdiff_t>(y) * image->widthStep;
        const bool rowOutside = y <= box.top || y >= box.bottom;
        for (int x = 0; x < image->width; ++x) {
            if (!rowOutside && x > box.left && x < box.right) continue;
            std::uint8_t* pixel = row + x * 3;
            const auto mean = static_cast<std::uint8_t>((pixel[0] + pixel[1] + pixel[2]) / 3);
            pixel[0] = pixel[1] = pixel[2] = mean;
        }
    }
}

void DrawCropGuide(IplImage* image, const CvRect* face, const CropSettings& settings, bool guideOn,
                   int boundWidth, int boundHeight) {
    if (!IsGuideImage(image)) return;
    if (face == nullptr) {
        Outline(image, 5, 5, 10, 10, kYellow);
        return;
    }
    const CropBox box = ComputeCropBox(*face, settings, boundWidth, boundHeight);
    if (!guideOn) return;
    if (box.defined) GrayOutside(image, box);
    const int centreX = face->x + face->width / 2;
    const int centreY = face->y + face->height / 2;
    Outline(image, centreX - face->width / 2, centreY - face->height / 2, centreX + face->width / 2,
            centreY + face->height / 2, kYellow);
    if (box.defined)
        Outline(image, box.left, box.top, box.right, box.bottom, box.clamped ? kRed : kGreen);
}

} // namespace lensport
