#include "JpegPicture.h"

#include "Limits.h"
#include "Picture.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include <jerror.h>

namespace rasterkit {
namespace {

// libjpeg's default error handler ends the process; this one returns control to the
// decoding call, which then refuses the file image.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf resume;
};

[[noreturn]] void abandon(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->resume, 1);
}

// Warnings that mean picture data is missing or damaged end the decoding too; the
// others (unusual markers, extra bytes between segments) are harmless.
void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return; // trace messages
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
        abandon(cinfo);
    default:
        ++cinfo->err->num_warnings;
        break;
    }
}

void silent(j_common_ptr) {}

struct RowPlan {
    AxisMap xs;
    AxisMap ys;
};

// Draws one decoded source row into every destination row that samples it.
void drawRow(const uint8_t* source, int components, uint32_t sourceY, const RowPlan& plan,
             ConvertedPicture& picture, uint32_t& nextY) {
    const size_t rowLength = size_t{picture.width()} * 3;
    bool drawn = false;
    while (nextY < picture.height() && plan.ys.sample[nextY] == sourceY) {
        uint8_t* target = picture.row(nextY);
        if (drawn) {
            std::memcpy(target, picture.row(nextY - 1), rowLength);
        } else if (components == 3) {
            for (uint32_t x = 0; x < picture.width(); ++x)
                std::memcpy(target + 3 * x, source + 3 * size_t{plan.xs.sample[x]}, 3);
        } else {
            for (uint32_t x = 0; x < picture.width(); ++x)
                std::memset(target + 3 * x, source[plan.xs.sample[x]], 3);
        }
        drawn = true;
        ++nextY;
    }
}

// Everything with a destructor lives in the caller: a longjmp out of libjpeg lands in
// this frame and must skip no destructor.
bool decode(jpeg_decompress_struct& cinfo, ErrorManager& errors, std::span<const uint8_t> stream,
            ConvertedPicture& picture, RowPlan& plan, std::vector<uint8_t>& row) {
    if (setjmp(errors.resume)) return false;
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxJpegWorkingMemory;
    jpeg_mem_src(&cinfo, stream.data(), static_cast<unsigned long>(stream.size()));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return false;
    if (!withinPixelLimit(cinfo.image_width, cinfo.image_height)) return false;
    if (cinfo.out_color_space == JCS_RGB)
        cinfo.out_color_space = JCS_EXT_BGR; // the same decoding, in the bitmap's byte order
    else if (cinfo.out_color_space != JCS_GRAYSCALE)
        return false;
    jpeg_start_decompress(&cinfo);
    const int components = cinfo.output_components;
    if (components != 1 && components != 3) return false;
    row.resize(size_t{cinfo.output_width} * components);
    plan.xs = AxisMap::make(picture.width(), cinfo.output_width);
    plan.ys = AxisMap::make(picture.height(), cinfo.output_height);
    uint32_t nextY = 0;
    JSAMPROW rows[1] = {row.data()};
    while (cinfo.output_scanline < cinfo.output_height) {
        const uint32_t sourceY = cinfo.output_scanline;
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) return false;
        drawRow(row.data(), components, sourceY, plan, picture, nextY);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

} // namespace

bool drawJpeg(std::span<const uint8_t> stream, ConvertedPicture& picture) {
    if (stream.empty()) return false;
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = abandon;
    errors.base.emit_message = onMessage;
    errors.base.output_message = silent;
    RowPlan plan;
    std::vector<uint8_t> row;
    const bool done = decode(cinfo, errors, stream, picture, plan, row);
    jpeg_destroy_decompress(&cinfo);
    return done;
}

} // namespace rasterkit
