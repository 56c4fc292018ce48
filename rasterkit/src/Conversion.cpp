#include "Conversion.h"

#include "JpegPicture.h"
#include "Picture.h"
#include "TIFFBMP.h"

#include <new>

namespace rasterkit {
namespace {

ConvertedPicture& currentPicture() {
    static ConvertedPicture picture;
    return picture;
}

bool drawTiff(std::span<const uint8_t> file, ConvertedPicture& picture) {
    TTIFFBitMap bitmap;
    if (!bitmap.load(file)) return false;
    stretchTiff(bitmap, picture);
    return true;
}

bool draw(std::span<const uint8_t> file, FileFormat format, ConvertedPicture& picture) {
    switch (format) {
    case FileFormat::Jpeg:
        return drawJpeg(file, picture);
    case FileFormat::Tiff:
        return drawTiff(file, picture);
    }
    return false;
}

} // namespace

bool hasPicture() {
    return !currentPicture().empty();
}

void clearPicture() {
    currentPicture().clear();
}

Conversion convertImage(std::span<const uint8_t> file, uint32_t format, uint32_t width,
                        uint32_t height) {
    ConvertedPicture& picture = currentPicture();
    picture.clear();
    const uint8_t formatByte = format & 0xFF;
    const uint32_t w = width & 0xFFFF;
    const uint32_t h = height & 0xFFFF;
    if (formatByte > static_cast<uint8_t>(FileFormat::Tiff) || w == 0 || h == 0) return {};
    try {
        if (!picture.create(w, h) || !draw(file, static_cast<FileFormat>(formatByte), picture)) {
            picture.clear();
            return {};
        }
    } catch (const std::bad_alloc&) {
        picture.clear();
        return {};
    }
    return {picture.bottomRow(), static_cast<int32_t>(w * h * 3)};
}

} // namespace rasterkit
