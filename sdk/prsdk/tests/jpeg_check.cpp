#include "jpeg_check.h"

#include "../src/jpeg_error_manager.h"

namespace prsdk_test {
namespace {

bool Decode(const std::vector<std::uint8_t>& data, Decoded* out) {
    jpeg_decompress_struct info;
    prsim::JpegErrorManager error;
    info.err = prsim::UseJpegErrorManager(error);
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out->width = static_cast<int>(info.output_width);
    out->height = static_cast<int>(info.output_height);
    out->components = info.output_components;
    out->pixels.resize(static_cast<std::size_t>(out->width) * out->height * out->components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out->pixels.data() + static_cast<std::size_t>(info.output_scanline) *
                                                out->width * out->components;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    out->warnings = error.pub.num_warnings != 0;
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

std::optional<Decoded> DecodeJpeg(const std::vector<std::uint8_t>& data) {
    if (data.empty()) return std::nullopt;
    Decoded decoded;
    if (!Decode(data, &decoded)) return std::nullopt;
    return decoded;
}

} // namespace prsdk_test
