#include "lensport/preview.h"

#include "lensport/camera_module.h"
#include "lensport/face_library.h"
#include "platform/gdi.h"
#include "platform/sync.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace lensport {
namespace {

// Frames claiming larger pictures are refused before any decoding work.
constexpr JDIMENSION kMaxFrameDimension = 2048;
constexpr std::size_t kRefillSize = 4096;

// Memory source: refills of at most 4096 bytes; past the end an end-of-image marker with
// the decoder's premature-end warning, or the empty-input error when nothing came at all.
struct FrameSource {
    jpeg_source_mgr pub;
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
    bool supplied;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<FrameSource*>(cinfo->src);
    if (src->position >= src->size) {
        if (!src->supplied) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->pub.next_input_byte = kEndOfImage;
        src->pub.bytes_in_buffer = sizeof kEndOfImage;
        return TRUE;
    }
    const std::size_t chunk = std::min(kRefillSize, src->size - src->position);
    src->pub.next_input_byte = src->data + src->position;
    src->pub.bytes_in_buffer = chunk;
    src->position += chunk;
    src->supplied = true;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<FrameSource*>(cinfo->src);
    if (count <= 0) return;
    while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
        count -= static_cast<long>(src->pub.bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr) {}

// A frame the decoder rejects is dropped instead of ending the process.
struct FrameError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<FrameError*>(cinfo->err)->jump, 1);
}

void SilentMessage(j_common_ptr) {}

bool DecodeInto(jpeg_decompress_struct* cinfo, FrameSource* source, PreviewImage* landscape) {
    cinfo->src = &source->pub;
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
    if (cinfo->image_width > kMaxFrameDimension || cinfo->image_height > kMaxFrameDimension) {
        return false;
    }
    cinfo->out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_components != 3) return false;
    const JDIMENSION width = cinfo->output_width;
    const std::size_t copyBytes = std::min<std::size_t>(width, kLandscapeWidth) * 3;
    JSAMPARRAY spare = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo),
                                                   JPOOL_IMAGE, width * 3, 1);
    while (cinfo->output_scanline < cinfo->output_height) {
        const JDIMENSION row = cinfo->output_scanline;
        const bool inside = row < static_cast<JDIMENSION>(kLandscapeHeight);
        if (inside && width == static_cast<JDIMENSION>(kLandscapeWidth)) {
            JSAMPROW target = landscape->Pixel(0, static_cast<int>(row));
            jpeg_read_scanlines(cinfo, &target, 1);
        } else {
            jpeg_read_scanlines(cinfo, spare, 1);
            if (inside)
                std::memcpy(landscape->Pixel(0, static_cast<int>(row)), spare[0], copyBytes);
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

} // namespace

void PreviewImage::Reset(int w, int h) {
    width = w;
    height = h;
    pixels.assign(static_cast<std::size_t>(w) * h * 3, 0);
}

bool DecodePreviewFrame(const std::uint8_t* data, std::size_t size, PreviewImage* landscape) {
    landscape->Reset(kLandscapeWidth, kLandscapeHeight);
    jpeg_decompress_struct cinfo{};
    FrameError error{};
    FrameSource source{};
    source.pub.init_source = InitSource;
    source.pub.fill_input_buffer = FillInputBuffer;
    source.pub.skip_input_data = SkipInputData;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = TermSource;
    source.data = data;
    source.size = size;
    cinfo.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = ErrorExit;
    error.pub.output_message = SilentMessage;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    const bool decoded = DecodeInto(&cinfo, &source, landscape);
    jpeg_destroy_decompress(&cinfo);
    return decoded;
}

namespace {

// Sizes a result image every pixel of which is written next (no clearing, and no new
// allocation from the second frame on).
void Shape(PreviewImage* out, int width, int height) {
    out->width = width;
    out->height = height;
    out->pixels.resize(static_cast<std::size_t>(width) * height * 3);
}

void CopyPixel(std::uint8_t* to, const std::uint8_t* from) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

} // namespace

void RotatePreview(const PreviewImage& src, int rotation, PreviewImage* out) {
    switch (rotation) {
    case 180:
        Shape(out, kLandscapeWidth, kLandscapeHeight);
        for (int y = 0; y < kLandscapeHeight; ++y) {
            const std::uint8_t* from = src.Pixel(319, 239 - y);
            std::uint8_t* to = out->Pixel(0, y);
            for (int x = 0; x < kLandscapeWidth; ++x, to += 3, from -= 3)
                CopyPixel(to, from);
        }
        break;
    case 90:
        Shape(out, kPortraitWidth, kPreviewHeight);
        for (int y = 0; y < kPreviewHeight; ++y) {
            std::uint8_t* to = out->Pixel(0, y);
            for (int x = 0; x < kPortraitWidth; ++x, to += 3)
                CopyPixel(to, src.Pixel(4 * y / 3, (716 - 4 * x) / 3));
        }
        break;
    case -90:
        Shape(out, kPortraitWidth, kPreviewHeight);
        for (int y = 0; y < kPreviewHeight; ++y) {
            std::uint8_t* to = out->Pixel(0, y);
            for (int x = 0; x < kPortraitWidth; ++x, to += 3)
                CopyPixel(to, src.Pixel(4 * (239 - y) / 3, 4 * x / 3));
        }
        break;
    default:
        *out = src;
        break;
    }
}

PreviewPipeline::PreviewPipeline(CameraModuleBase& owner, const DetectorImages& images)
    : owner_(owner), images_(images) {}

PreviewPipeline::~PreviewPipeline() {
    Stop();
}

bool PreviewPipeline::Start() {
    stopping_ = false;
    return worker_.Start([this] { WorkerLoop(); });
}

void PreviewPipeline::Stop() {
    stopping_ = true;
    frameReady_.Set();
    worker_.Join();
}

void PreviewPipeline::DeliverFrame(const void* data, std::size_t size) {
    if (data == nullptr || size == 0 || size > kFrameBufferSize) {
        ++dropped_;
        return;
    }
    {
        std::lock_guard lock(frameLock_);
        std::memcpy(frame_.data(), data, size);
        frameLength_ = size;
    }
    ++received_;
    frameReady_.Set();
}

bool PreviewPipeline::DecodeCurrentFrame() {
    std::lock_guard lock(frameLock_);
    if (frameLength_ == 0) return false;
    return DecodePreviewFrame(frame_.data(), frameLength_, &landscape_);
}

void PreviewPipeline::WorkerLoop() {
    for (;;) {
        frameReady_.Wait(INFINITE);
        if (stopping_ || !owner_.Running()) return;
        if (!DecodeCurrentFrame()) {
            ++dropped_;
            continue;
        }
        const int rotation = owner_.Settings().rotation.load();
        RotatePreview(landscape_, rotation, &turned_);
        ApplyIdPhoto(rotation);
        Paint(turned_, rotation);
        ++painted_;
    }
}

// The turned picture through the working image of its shape; the guide stays within the
// picture (320 or 180 wide, 240 high).
void PreviewPipeline::ApplyIdPhoto(int rotation) {
    const bool portrait = rotation == 90 || rotation == -90;
    IplImage* work = portrait ? images_.Portrait() : images_.Landscape();
    const BgrPicture picture{turned_.pixels.data(), turned_.width, turned_.height,
                             static_cast<std::size_t>(turned_.width) * 3};
    idPhoto_.ProcessFrame(picture, work, turned_.width, kPreviewHeight, owner_.Settings());
}

void PreviewPipeline::Paint(const PreviewImage& image, int rotation) {
    HWND window = owner_.ModuleWindow();
    HDC dc = GetDC(window);
    if (dc == nullptr) return;
    const bool portrait = rotation == 90 || rotation == -90;
    if (portrait) {
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        HPEN black = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
        HGDIOBJ oldBrush = SelectObject(dc, white);
        HGDIOBJ oldPen = SelectObject(dc, black);
        Rectangle(dc, -1, -1, 70, 241);
        Rectangle(dc, 250, -1, 321, 241);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(white);
        DeleteObject(black);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int x = portrait ? 70 : 0;
    SetDIBitsToDevice(dc, x, 0, static_cast<DWORD>(image.width), static_cast<DWORD>(image.height),
                      0, 0, 0, static_cast<UINT>(image.height), image.pixels.data(), &info,
                      DIB_RGB_COLORS);
    ReleaseDC(window, dc);
}

} // namespace lensport
