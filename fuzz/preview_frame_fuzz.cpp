// Viewfinder frames as they come from a camera: any bytes, any length (also longer than
// the frame buffer), any picture size the header claims. The decoder must refuse or
// decode them without touching memory outside the 320 x 240 image; the rotations and the
// crop guide's graying then run over whatever was decoded.
#include "lensport/crop_guide.h"
#include "lensport/preview.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// The last 12 bytes (when there are that many) choose a face and crop settings.
lensport::CropBox BoxFromTail(const std::uint8_t* data, std::size_t size, int boundWidth) {
    std::int16_t values[6] = {};
    if (size >= sizeof values) std::memcpy(values, data + size - sizeof values, sizeof values);
    const CvRect face{values[0], values[1], values[2], values[3]};
    lensport::CropSettings crop;
    crop.zoom = values[4];
    crop.horizontalOffset = values[5];
    crop.verticalOffset = -values[5];
    crop.aspectWidth = 4.0f;
    crop.aspectHeight = 5.0f;
    return lensport::ComputeCropBox(face, crop, boundWidth, lensport::kPreviewHeight);
}

IplImage Wrap(lensport::PreviewImage& picture) {
    IplImage image{};
    image.nSize = sizeof image;
    image.nChannels = 3;
    image.depth = IPL_DEPTH_8U;
    image.width = picture.width;
    image.height = picture.height;
    image.widthStep = picture.width * 3;
    image.imageSize = image.widthStep * picture.height;
    image.imageData = reinterpret_cast<char*>(picture.pixels.data());
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    lensport::PreviewImage landscape;
    if (!lensport::DecodePreviewFrame(data, size, &landscape)) return 0;
    if (landscape.width != lensport::kLandscapeWidth ||
        landscape.pixels.size() != static_cast<std::size_t>(320 * 240 * 3))
        __builtin_trap();
    for (int rotation : {0, 90, 180, -90}) {
        lensport::PreviewImage turned;
        lensport::RotatePreview(landscape, rotation, &turned);
        IplImage image = Wrap(turned);
        lensport::GrayOutside(&image, BoxFromTail(data, size, turned.width));
    }
    return 0;
}
