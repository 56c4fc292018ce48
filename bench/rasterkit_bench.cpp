// Rasterkit's speed: LZW TIFF decoding against libtiff on the same files in the same
// run, and a 4000 x 3000 JPEG converted to 640 x 480. Prints figures; asserts nothing.
#include "Rasterkit.h"
#include "TIFFBMP.h"
#include "tiff_files.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>

#include <tiffio.h>

using namespace rktest;

namespace {

// libtiff reading from memory.
struct Memory {
    const Bytes* data;
    toff_t position = 0;
};

tmsize_t memRead(thandle_t h, void* buffer, tmsize_t size) {
    auto* m = static_cast<Memory*>(h);
    const auto available =
        static_cast<tmsize_t>(m->data->size() - std::min<size_t>(m->position, m->data->size()));
    const tmsize_t n = std::min(size, available);
    std::memcpy(buffer, m->data->data() + m->position, static_cast<size_t>(n));
    m->position += static_cast<toff_t>(n);
    return n;
}
tmsize_t memWrite(thandle_t, void*, tmsize_t) {
    return 0;
}
toff_t memSeek(thandle_t h, toff_t offset, int whence) {
    auto* m = static_cast<Memory*>(h);
    m->position = whence == SEEK_SET   ? offset
                  : whence == SEEK_CUR ? m->position + offset
                                       : m->data->size() + offset;
    return m->position;
}
int memClose(thandle_t) {
    return 0;
}
toff_t memSize(thandle_t h) {
    return static_cast<Memory*>(h)->data->size();
}
int noMap(thandle_t, void**, toff_t*) {
    return 0;
}
void noUnmap(thandle_t, void*, toff_t) {}

// Opens the file and expands every strip (LZW and differencing) into one buffer.
void decodeWithLibtiff(const Bytes& file, Bytes& out) {
    Memory m{&file};
    TIFF* tif = TIFFClientOpen("bench", "r", &m, memRead, memWrite, memSeek, memClose, memSize,
                               noMap, noUnmap);
    if (tif == nullptr) throw std::runtime_error("libtiff cannot open the file");
    const tmsize_t stripSize = TIFFStripSize(tif);
    const uint32_t strips = TIFFNumberOfStrips(tif);
    out.resize(static_cast<size_t>(stripSize) * strips);
    for (uint32_t s = 0; s < strips; ++s)
        TIFFReadEncodedStrip(tif, s, out.data() + static_cast<size_t>(stripSize) * s, stripSize);
    TIFFClose(tif);
}

double seconds(const std::function<void()>& call) {
    const auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median times of calls run in turns, so that both see the same machine load.
std::vector<double> interleavedMedians(const std::vector<std::function<void()>>& calls, int runs) {
    std::vector<std::vector<double>> times(calls.size());
    for (const auto& call : calls)
        call(); // warm up
    for (int i = 0; i < runs; ++i)
        for (size_t c = 0; c < calls.size(); ++c)
            times[c].push_back(seconds(calls[c]));
    std::vector<double> out;
    for (auto& t : times)
        out.push_back(median(t));
    return out;
}

struct TiffCase {
    const char* name;
    TiffKind kind;
    uint16_t predictor;
};

void benchTiff(const TiffCase& c, uint32_t width, uint32_t height, int runs) {
    TiffLayout layout;
    layout.width = width;
    layout.height = height;
    layout.rowsPerStrip = 64;
    layout.compression = COMPRESSION_LZW;
    layout.predictor = c.predictor;
    const Bytes file = writeTiff(c.kind, layout, makeSamples(c.kind, width, height, 42));
    const double rawMiB = double(width) * height * c.kind.samplesPerPixel * c.kind.bitsPerSample /
                          8 / (1024.0 * 1024.0);
    Bytes libtiffOut;
    const auto t =
        interleavedMedians({[&] {
                                int32_t size = 0;
                                benchmark::DoNotOptimize(GetConvertedImage(
                                    file.data(), static_cast<int32_t>(file.size()), &size, 1,
                                    static_cast<int32_t>(width), static_cast<int32_t>(height)));
                            },
                            [&] {
                                rasterkit::TTIFFBitMap bitmap;
                                benchmark::DoNotOptimize(bitmap.load(file));
                            },
                            [&] { decodeWithLibtiff(file, libtiffOut); }},
                           runs);
    std::printf("%-21s %4ux%-4u %6.2f MiB raw | conversion %7.1f MiB/s | decoder %7.1f MiB/s | "
                "libtiff %7.1f MiB/s | decoder/libtiff %.2f\n",
                c.name, width, height, rawMiB, rawMiB / t[0], rawMiB / t[1], rawMiB / t[2],
                t[2] / t[1]);
}

void benchJpeg() {
    const Bytes jpeg = writeJpeg(makePicture(4000, 3000, 5), 90, false, false);
    const double time = interleavedMedians(
        {[&] {
            int32_t size = 0;
            benchmark::DoNotOptimize(GetConvertedImage(
                jpeg.data(), static_cast<int32_t>(jpeg.size()), &size, 0, 640, 480));
        }},
        9)[0];
    std::printf("JPEG 4000x3000 (%.2f MiB) to 640x480: %.1f ms\n", jpeg.size() / (1024.0 * 1024.0),
                time * 1000.0);
}

} // namespace

// Arguments, both optional: the number of runs per case (21) and a part of the names of
// the cases to run (all, and the JPEG conversion).
int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    const std::string only = argc > 2 ? argv[2] : "";
    TIFFSetWarningHandler(nullptr);
    std::printf("LZW TIFF, throughput in raw sample bytes. conversion: GetConvertedImage at the "
                "picture's own size (decoding and 24-bit output); decoder: TTIFFBitMap::load "
                "(directory, LZW, differencing); libtiff: TIFFReadEncodedStrip of every strip "
                "(LZW, differencing). Medians of %d runs taken in turns.\n",
                runs);
    const TiffCase cases[] = {
        {"RGB, differencing", {"Rgb", 3, 8, PHOTOMETRIC_RGB}, 2},
        {"RGB", {"Rgb", 3, 8, PHOTOMETRIC_RGB}, 1},
        {"RGBA, differencing", {"Rgba", 4, 8, PHOTOMETRIC_RGB}, 2},
        {"Grey 8, differencing", {"Grey", 1, 8, PHOTOMETRIC_MINISBLACK}, 2},
        {"Palette 8", {"Palette", 1, 8, PHOTOMETRIC_PALETTE}, 1},
        {"Bilevel", {"Bilevel", 1, 1, PHOTOMETRIC_MINISWHITE}, 1},
    };
    for (const auto& c : cases)
        if (std::string(c.name).find(only) != std::string::npos) benchTiff(c, 2000, 1500, runs);
    if (only.empty()) benchJpeg();
    ClearResources();
    return 0;
}
