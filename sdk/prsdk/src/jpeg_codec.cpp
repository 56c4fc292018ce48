#include "jpeg_codec.h"
#include "jpeg_error_manager.h"

#include <algorithm>
#include <cstdlib>

namespace prsim {
namespace {

// No C++ object with a destructor lives in the frames between setjmp and longjmp:
// the decoder writes only into memory owned by the caller.
bool DecodeInto(const std::uint8_t* data, std::size_t size, RgbImage* out,
                bool (*reserve)(RgbImage*, int, int)) {
    jpeg_decompress_struct info;
    JpegErrorManager error;
    info.err = UseJpegErrorManager(error);
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3 ||
        !reserve(out, static_cast<int>(info.output_width), static_cast<int>(info.output_height))) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out->at(0, static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool Reserve(RgbImage* image, int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) return false;
    image->width = width;
    image->height = height;
    image->pixels.assign(static_cast<std::size_t>(width) * height * 3, 0);
    return true;
}

bool EncodeInto(const RgbImage& image, int quality, unsigned char** buffer, unsigned long* size) {
    jpeg_compress_struct info;
    JpegErrorManager error;
    info.err = UseJpegErrorManager(error);
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(image.at(0, static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

std::optional<RgbImage> DecodeJpeg(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 4) return std::nullopt;
    RgbImage image;
    if (!DecodeInto(data, size, &image, Reserve)) return std::nullopt;
    return image;
}

Bytes EncodeJpeg(const RgbImage& image, int quality) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * 3)
        return {};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = EncodeInto(image, quality, &buffer, &size);
    Bytes result;
    if (ok && buffer != nullptr) result.assign(buffer, buffer + size);
    std::free(buffer);
    return result;
}

RgbImage Resize(const RgbImage& source, int width, int height) {
    RgbImage out;
    Reserve(&out, width, height);
    const double sx = static_cast<double>(source.width) / width;
    const double sy = static_cast<double>(source.height) / height;
    for (int y = 0; y < height; ++y) {
        const double fy = std::max(0.0, (y + 0.5) * sy - 0.5);
        const int y0 = std::min(static_cast<int>(fy), source.height - 1);
        const int y1 = std::min(y0 + 1, source.height - 1);
        const double wy = fy - y0;
        for (int x = 0; x < width; ++x) {
            const double fx = std::max(0.0, (x + 0.5) * sx - 0.5);
            const int x0 = std::min(static_cast<int>(fx), source.width - 1);
            const int x1 = std::min(x0 + 1, source.width - 1);
            const double wx = fx - x0;
            for (int c = 0; c < 3; ++c) {
                const double top = source.at(x0, y0)[c] * (1 - wx) + source.at(x1, y0)[c] * wx;
                const double bottom = source.at(x0, y1)[c] * (1 - wx) + source.at(x1, y1)[c] * wx;
                out.at(x, y)[c] = static_cast<std::uint8_t>(top * (1 - wy) + bottom * wy + 0.5);
            }
        }
    }
    return out;
}

} // namespace prsim
