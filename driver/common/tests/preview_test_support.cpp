#include "preview_test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

extern "C" {
#include <jpeglib.h>
}

namespace previewtest {

lensport::PreviewImage Solid(int width, int height, Bgr colour) {
    lensport::PreviewImage picture;
    picture.Reset(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = picture.Pixel(x, y);
            p[0] = colour.b;
            p[1] = colour.g;
            p[2] = colour.r;
        }
    }
    return picture;
}

lensport::PreviewImage Quarters() {
    lensport::PreviewImage picture = Solid(320, 240, kRedBgr);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const Bgr c =
                y < 120 ? (x < 160 ? kRedBgr : kGreenBgr) : (x < 160 ? kBlueBgr : kWhiteBgr);
            std::uint8_t* p = picture.Pixel(x, y);
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    }
    return picture;
}

Bytes EncodeJpeg(const lensport::PreviewImage& picture, int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(picture.width);
    cinfo.image_height = static_cast<JDIMENSION>(picture.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(picture.Pixel(0, static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes PortraitFrame() {
    return ReadBytes(std::string(CAPDECK_FIXTURES_DIR) + "/face-320x240.jpg");
}

lensport::PreviewImage PortraitPicture() {
    const Bytes frame = PortraitFrame();
    lensport::PreviewImage picture;
    lensport::DecodePreviewFrame(frame.data(), frame.size(), &picture);
    return picture;
}

lensport::PreviewImage ShiftedRight(const lensport::PreviewImage& picture, int dx) {
    lensport::PreviewImage out;
    out.Reset(picture.width, picture.height);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const int from = std::max(0, x - dx);
            std::copy_n(picture.Pixel(from, y), 3, out.Pixel(x, y));
        }
    }
    return out;
}

lensport::PreviewImage ScaledPlaced(const lensport::PreviewImage& source, double factor,
                                    double fromX, double fromY, double toX, double toY) {
    lensport::PreviewImage out = Solid(320, 240, Bgr{128, 128, 128});
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const int sx = static_cast<int>(std::floor(fromX + (x - toX) / factor));
            const int sy = static_cast<int>(std::floor(fromY + (y - toY) / factor));
            if (sx < 0 || sy < 0 || sx >= source.width || sy >= source.height) continue;
            std::copy_n(source.Pixel(sx, sy), 3, out.Pixel(x, y));
        }
    }
    return out;
}

bool Near(COLORREF actual, Bgr expected, int tolerance) {
    if (actual == 0xFFFFFFFFu) return false;
    return std::abs(GetRValue(actual) - expected.r) <= tolerance &&
           std::abs(GetGValue(actual) - expected.g) <= tolerance &&
           std::abs(GetBValue(actual) - expected.b) <= tolerance;
}

bool Gray(COLORREF actual, int tolerance) {
    if (actual == 0xFFFFFFFFu) return false;
    const int r = GetRValue(actual), g = GetGValue(actual), b = GetBValue(actual);
    return std::abs(r - g) <= tolerance && std::abs(g - b) <= tolerance &&
           std::abs(r - b) <= tolerance;
}

std::string Describe(COLORREF colour) {
    char text[48];
    std::snprintf(text, sizeof text, "rgb(%d, %d, %d)", GetRValue(colour), GetGValue(colour),
                  GetBValue(colour));
    return text;
}

std::string CascadeFolder() {
    return CAPDECK_CASCADE_FOLDER;
}

} // namespace previewtest
