#include "tiff_files.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <jpeglib.h>
#include <tiffio.h>

namespace rktest {
namespace {

// --- libtiff on memory -----------------------------------------------------------------
struct MemoryFile {
    Bytes data;
    toff_t position = 0;
};

tmsize_t memRead(thandle_t h, void* buffer, tmsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (f->position >= f->data.size()) return 0;
    const auto n = std::min<tmsize_t>(size, static_cast<tmsize_t>(f->data.size() - f->position));
    std::memcpy(buffer, f->data.data() + f->position, static_cast<size_t>(n));
    f->position += static_cast<toff_t>(n);
    return n;
}

tmsize_t memWrite(thandle_t h, void* buffer, tmsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    const size_t end = f->position + static_cast<size_t>(size);
    if (end > f->data.size()) f->data.resize(end);
    std::memcpy(f->data.data() + f->position, buffer, static_cast<size_t>(size));
    f->position = end;
    return size;
}

toff_t memSeek(thandle_t h, toff_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    switch (whence) {
    case SEEK_SET:
        f->position = offset;
        break;
    case SEEK_CUR:
        f->position += offset;
        break;
    default:
        f->position = f->data.size() + offset;
        break;
    }
    return f->position;
}

int memClose(thandle_t) {
    return 0;
}
toff_t memSize(thandle_t h) {
    return static_cast<MemoryFile*>(h)->data.size();
}
int noMap(thandle_t, void**, toff_t*) {
    return 0;
}
void noUnmap(thandle_t, void*, toff_t) {}

TIFF* openMemory(MemoryFile& file, const char* mode) {
    return TIFFClientOpen("memory", mode, &file, memRead, memWrite, memSeek, memClose, memSize,
                          noMap, noUnmap);
}

uint32_t noise(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x9E3779B1u ^ (y + seed) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0xC2B2AE3Du;
    return h ^ (h >> 13);
}

uint8_t mapValue(uint16_t c) {
    return static_cast<uint8_t>(std::lround(std::sqrt(static_cast<double>(c) + 1.0)) - 1);
}

void put(Bytes& out, uint32_t value, size_t size) {
    for (size_t i = 0; i < size; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void patch32(Bytes& out, size_t pos, uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        out[pos + i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

std::vector<Bytes> makeSamples(const TiffKind& kind, uint32_t width, uint32_t height,
                               uint32_t seed) {
    const uint32_t bitsPerPixel = uint32_t{kind.samplesPerPixel} * kind.bitsPerSample;
    const size_t rowBytes = (size_t{width} * bitsPerPixel + 7) / 8;
    const uint32_t maxSample = (1u << kind.bitsPerSample) - 1;
    std::vector<Bytes> rows(height, Bytes(rowBytes, 0));
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            for (uint32_t s = 0; s < kind.samplesPerPixel; ++s) {
                // Bands of flat colour with a noisy stripe through the middle.
                const bool flat = (x / 16 + y / 8) % 3 != 0;
                const uint32_t v = flat ? ((x / 16) * 37 + (y / 8) * 11 + s * 71) & maxSample
                                        : noise(x * 4 + s, y, seed) & maxSample;
                const size_t bit = (size_t{x} * kind.samplesPerPixel + s) * kind.bitsPerSample;
                if (kind.bitsPerSample == 8)
                    rows[y][bit / 8] = static_cast<uint8_t>(v);
                else
                    rows[y][bit / 8] |=
                        static_cast<uint8_t>(v << (8 - kind.bitsPerSample - bit % 8));
            }
        }
    }
    return rows;
}

std::vector<uint16_t> makeColorMap() {
    std::vector<uint16_t> map(768);
    for (uint32_t i = 0; i < 256; ++i) {
        map[i] = static_cast<uint16_t>(i * 257);
        map[256 + i] = static_cast<uint16_t>((255 - i) * 257);
        map[512 + i] = static_cast<uint16_t>((i * 7919) & 0xFFFF);
    }
    return map;
}

Bytes writeTiff(const TiffKind& kind, const TiffLayout& layout, const std::vector<Bytes>& rows,
                const std::vector<uint16_t>& colorMap) {
    MemoryFile file;
    TIFF* tif = openMemory(file, "wl");
    if (tif == nullptr) throw std::runtime_error("TIFFClientOpen for writing failed");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, layout.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, layout.height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, kind.samplesPerPixel);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, kind.bitsPerSample);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, kind.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, layout.rowsPerStrip);
    if (layout.predictor != 1) TIFFSetField(tif, TIFFTAG_PREDICTOR, layout.predictor);
    if (layout.orientation != 0) TIFFSetField(tif, TIFFTAG_ORIENTATION, layout.orientation);
    if (layout.fillOrder != 0) TIFFSetField(tif, TIFFTAG_FILLORDER, layout.fillOrder);
    if (kind.samplesPerPixel == 4) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (kind.photometric == PHOTOMETRIC_PALETTE) {
        std::vector<uint16_t> map = colorMap.empty() ? makeColorMap() : colorMap;
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + 256, map.data() + 512);
    }
    for (uint32_t y = 0; y < layout.height; ++y) {
        Bytes row = rows[y];
        if (TIFFWriteScanline(tif, row.data(), y, 0) < 0)
            throw std::runtime_error("TIFFWriteScanline failed");
    }
    TIFFClose(tif);
    return file.data;
}

TiffSamples readWithLibtiff(const Bytes& data) {
    MemoryFile file{data, 0};
    TIFF* tif = openMemory(file, "r");
    if (tif == nullptr) throw std::runtime_error("libtiff cannot open the file");
    TiffSamples s;
    uint16_t photometric = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &s.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &s.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &s.samplesPerPixel);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &s.bitsPerSample);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    s.photometric = photometric;
    if (photometric == PHOTOMETRIC_PALETTE) {
        uint16_t *r, *g, *b;
        if (TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b)) {
            s.red.assign(r, r + 256);
            s.green.assign(g, g + 256);
            s.blue.assign(b, b + 256);
        }
    }
    const tmsize_t scanline = TIFFScanlineSize(tif);
    for (uint32_t y = 0; y < s.height; ++y) {
        Bytes row(static_cast<size_t>(scanline));
        if (TIFFReadScanline(tif, row.data(), y, 0) < 0) {
            TIFFClose(tif);
            throw std::runtime_error("libtiff cannot read a row");
        }
        s.rows.push_back(std::move(row));
    }
    TIFFClose(tif);
    return s;
}

Bgr showSamples(const TiffSamples& s) {
    Bgr out{s.width, s.height, std::vector<uint8_t>(size_t{s.width} * s.height * 3)};
    for (uint32_t y = 0; y < s.height; ++y) {
        for (uint32_t x = 0; x < s.width; ++x) {
            uint8_t* p = &out.pixels[(size_t{y} * s.width + x) * 3];
            const Bytes& row = s.rows[y];
            if (s.samplesPerPixel >= 3) {
                const uint8_t* px = &row[size_t{x} * s.samplesPerPixel];
                p[0] = px[2], p[1] = px[1], p[2] = px[0];
                continue;
            }
            const size_t bit = size_t{x} * s.bitsPerSample;
            const uint32_t v =
                (row[bit / 8] >> (8 - s.bitsPerSample - bit % 8)) & ((1u << s.bitsPerSample) - 1);
            const bool whiteIsZero = s.photometric == 0;
            uint8_t grey = 0;
            switch (s.bitsPerSample) {
            case 1:
                grey = (v == 1) == whiteIsZero ? 0 : 255;
                break;
            case 4:
                grey = static_cast<uint8_t>(whiteIsZero ? 255 - 16 * v : 16 * v + 15);
                break;
            default:
                if (s.photometric == 3) {
                    p[0] = mapValue(s.blue[v]), p[1] = mapValue(s.green[v]),
                    p[2] = mapValue(s.red[v]);
                    continue;
                }
                grey = static_cast<uint8_t>(whiteIsZero ? 255 - v : v);
                break;
            }
            p[0] = p[1] = p[2] = grey;
        }
    }
    return out;
}

// --- hand-made TIFF ----------------------------------------------------------------
TiffBuilder& TiffBuilder::set(uint16_t tag, uint16_t type, std::vector<uint32_t> values) {
    fields_[tag] = Field{type, std::move(values)};
    return *this;
}

TiffBuilder& TiffBuilder::remove(uint16_t tag) {
    fields_.erase(tag);
    if (tag == 273 || tag == 279) autoStrips_ = false;
    return *this;
}

TiffBuilder& TiffBuilder::strips(std::vector<Bytes> data) {
    strips_ = std::move(data);
    autoStrips_ = true;
    return *this;
}

TiffBuilder& TiffBuilder::data(Bytes bytes) {
    strips_ = {std::move(bytes)};
    autoStrips_ = false;
    return *this;
}

TiffBuilder TiffBuilder::basic(uint32_t width, uint32_t height, uint16_t samplesPerPixel,
                               uint16_t bitsPerSample, uint16_t photometric, uint16_t compression,
                               uint32_t rowsPerStrip) {
    TiffBuilder b;
    b.set(256, Long, {width}).set(257, Long, {height}).set(277, Short, {samplesPerPixel});
    b.set(258, Short, std::vector<uint32_t>(samplesPerPixel, bitsPerSample));
    b.set(259, Short, {compression}).set(262, Short, {photometric});
    b.set(278, Long, {rowsPerStrip});
    return b;
}

Bytes TiffBuilder::build() const {
    Bytes out = {'I', 'I', 42, 0, 0, 0, 0, 0};
    auto fields = fields_;
    if (autoStrips_) {
        std::vector<uint32_t> offsets, counts;
        for (const Bytes& s : strips_) {
            offsets.push_back(static_cast<uint32_t>(out.size()));
            counts.push_back(static_cast<uint32_t>(s.size()));
            out.insert(out.end(), s.begin(), s.end());
        }
        fields[273] = Field{Long, offsets};
        fields[279] = Field{Long, counts};
    } else {
        for (const Bytes& s : strips_)
            out.insert(out.end(), s.begin(), s.end());
    }
    if (out.size() % 2) out.push_back(0);
    patch32(out, 4, static_cast<uint32_t>(out.size()));
    const size_t directory = out.size();
    put(out, static_cast<uint32_t>(fields.size()), 2);
    std::vector<std::pair<size_t, const Field*>> outOfLine;
    for (const auto& [tag, field] : fields) {
        const size_t size = field.type == Byte ? 1 : field.type == Short ? 2 : 4;
        put(out, tag, 2);
        put(out, field.type, 2);
        put(out, static_cast<uint32_t>(field.values.size()), 4);
        const size_t at = out.size();
        put(out, 0, 4);
        if (field.values.size() * size <= 4) {
            for (size_t i = 0; i < field.values.size(); ++i)
                for (size_t b = 0; b < size; ++b)
                    out[at + i * size + b] = static_cast<uint8_t>(field.values[i] >> (8 * b));
        } else {
            outOfLine.emplace_back(at, &field);
        }
    }
    put(out, 0, 4);
    (void)directory;
    for (const auto& [at, field] : outOfLine) {
        const size_t size = field->type == Byte ? 1 : field->type == Short ? 2 : 4;
        patch32(out, at, static_cast<uint32_t>(out.size()));
        for (uint32_t v : field->values)
            put(out, v, size);
    }
    return out;
}

// --- LZW encoder -------------------------------------------------------------------
namespace {

class BitWriter {
public:
    void put(uint32_t code, uint32_t width) {
        for (uint32_t i = width; i-- > 0;) {
            bits_ = static_cast<uint8_t>((bits_ << 1) | ((code >> i) & 1));
            if (++count_ == 8) {
                out_.push_back(bits_);
                bits_ = 0;
                count_ = 0;
            }
        }
    }
    Bytes finish() {
        if (count_ > 0) out_.push_back(static_cast<uint8_t>(bits_ << (8 - count_)));
        return out_;
    }

private:
    Bytes out_;
    uint8_t bits_ = 0;
    uint32_t count_ = 0;
};

// The width the decoder reads the next code with, from the encoder's next free code:
// the decoder is one entry behind and widens one code early.
uint32_t widthFor(uint32_t next) {
    return next >= 2048 ? 12 : next >= 1024 ? 11 : next >= 512 ? 10 : 9;
}

} // namespace

Bytes lzwEncode(const Bytes& data, const LzwOptions& options) {
    BitWriter writer;
    std::map<std::pair<uint32_t, uint8_t>, uint32_t> table;
    uint32_t next = 258;
    if (options.startWithClear) writer.put(256, 9);
    if (data.empty()) {
        if (options.endWithEoi) writer.put(257, 9);
        return writer.finish();
    }
    uint32_t current = data[0];
    for (size_t i = 1; i < data.size(); ++i) {
        const auto key = std::make_pair(current, data[i]);
        if (auto it = table.find(key); it != table.end()) {
            current = it->second;
            continue;
        }
        writer.put(current, widthFor(next));
        if (next < 4096) table[key] = next;
        if (next < 4096) ++next;
        if (options.clearAtDecoderCode != 0 && next - 1 == options.clearAtDecoderCode + 1) {
            writer.put(256, widthFor(next));
            table.clear();
            next = 258;
        }
        current = data[i];
    }
    writer.put(current, widthFor(next));
    if (next < 4096) ++next;
    if (options.endWithEoi) writer.put(257, widthFor(next));
    return writer.finish();
}

// --- JPEG --------------------------------------------------------------------------
Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

namespace {

struct JpegErrors {
    jpeg_error_mgr base;
    std::jmp_buf resume;
};

void jpegFail(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->resume, 1);
}

Bytes compress(uint32_t width, uint32_t height, int components, J_COLOR_SPACE space,
               const std::vector<uint8_t>& samples, int quality, bool progressive) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<uint8_t*>(&samples[size_t{cinfo.next_scanline} * width * components]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

} // namespace

Bytes writeJpeg(const Bgr& picture, int quality, bool grey, bool progressive) {
    std::vector<uint8_t> samples;
    for (size_t i = 0; i < size_t{picture.width} * picture.height; ++i) {
        const uint8_t* p = &picture.pixels[i * 3];
        if (grey) {
            samples.push_back(static_cast<uint8_t>((p[0] + 2 * p[1] + p[2]) / 4));
        } else {
            samples.insert(samples.end(), {p[2], p[1], p[0]});
        }
    }
    return compress(picture.width, picture.height, grey ? 1 : 3, grey ? JCS_GRAYSCALE : JCS_RGB,
                    samples, quality, progressive);
}

Bytes writeCmykJpeg(uint32_t width, uint32_t height) {
    std::vector<uint8_t> samples(size_t{width} * height * 4);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<uint8_t>(i * 13);
    return compress(width, height, 4, JCS_CMYK, samples, 90, false);
}

Bgr decodeWithLibjpeg(const Bytes& file) {
    jpeg_decompress_struct cinfo{};
    JpegErrors errors{};
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jpegFail;
    Bgr out;
    if (setjmp(errors.resume)) {
        jpeg_destroy_decompress(&cinfo);
        throw std::runtime_error("libjpeg refused the reference file");
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    out.width = cinfo.output_width;
    out.height = cinfo.output_height;
    out.pixels.resize(size_t{out.width} * out.height * 3);
    std::vector<uint8_t> row(size_t{out.width} * cinfo.output_components);
    while (cinfo.output_scanline < cinfo.output_height) {
        const uint32_t y = cinfo.output_scanline;
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&cinfo, &r, 1);
        for (uint32_t x = 0; x < out.width; ++x) {
            uint8_t* p = &out.pixels[(size_t{y} * out.width + x) * 3];
            if (cinfo.output_components == 1) {
                p[0] = p[1] = p[2] = row[x];
            } else {
                p[0] = row[3 * x + 2], p[1] = row[3 * x + 1], p[2] = row[3 * x];
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

Bgr makePicture(uint32_t width, uint32_t height, uint32_t seed) {
    Bgr out{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (uint32_t c = 0; c < 3; ++c)
                out.pixels[(size_t{y} * width + x) * 3 + c] = static_cast<uint8_t>(
                    (x * (c + 1) + y * (3 - c)) / 2 + (noise(x, y, seed + c) & 15));
    return out;
}

// --- converted pictures ------------------------------------------------------------
Bgr readConverted(const uint8_t* pixels, uint32_t width, uint32_t height) {
    const size_t stride = (size_t{width} * 3 + 3) / 4 * 4;
    Bgr out{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(&out.pixels[size_t{y} * width * 3], pixels + (height - 1 - y) * stride,
                    size_t{width} * 3);
    return out;
}

namespace {

uint32_t centreSample(uint32_t d, uint32_t destination, uint32_t source) {
    return static_cast<uint32_t>((2 * uint64_t{d} + 1) * source / (2 * uint64_t{destination}));
}

// Source pixels that feed destination pixel d along one axis.
std::pair<uint32_t, uint32_t> covered(uint32_t d, uint32_t destination, uint32_t source) {
    if (destination >= source) {
        const uint32_t s = centreSample(d, destination, source);
        return {s, s + 1};
    }
    uint32_t first = source, last = 0;
    for (uint32_t s = 0; s < source; ++s) {
        if (centreSample(s, source, destination) == d) {
            first = std::min(first, s);
            last = s + 1;
        }
    }
    return {first, last};
}

} // namespace

Bgr stretch(const Bgr& source, uint32_t width, uint32_t height, bool bilevel) {
    Bgr out{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
    const bool reduced = width < source.width || height < source.height;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = &out.pixels[(size_t{y} * width + x) * 3];
            if (bilevel && reduced) {
                const auto [x0, x1] = covered(x, width, source.width);
                const auto [y0, y1] = covered(y, height, source.height);
                bool black = false;
                for (uint32_t sy = y0; sy < y1 && !black; ++sy)
                    for (uint32_t sx = x0; sx < x1 && !black; ++sx)
                        black = source.at(sx, sy)[0] == 0;
                std::memset(p, black ? 0 : 255, 3);
            } else {
                std::memcpy(p,
                            source.at(centreSample(x, width, source.width),
                                      centreSample(y, height, source.height)),
                            3);
            }
        }
    }
    return out;
}

std::string firstDifference(const Bgr& expected, const Bgr& actual) {
    if (expected.width != actual.width || expected.height != actual.height)
        return "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height) +
               " instead of " + std::to_string(expected.width) + "x" +
               std::to_string(expected.height);
    for (uint32_t y = 0; y < expected.height; ++y)
        for (uint32_t x = 0; x < expected.width; ++x)
            if (std::memcmp(expected.at(x, y), actual.at(x, y), 3) != 0) {
                const uint8_t* e = expected.at(x, y);
                const uint8_t* a = actual.at(x, y);
                char text[160];
                std::snprintf(text, sizeof text,
                              "pixel (%u,%u): expected %u,%u,%u got %u,%u,%u (BGR)", x, y, e[0],
                              e[1], e[2], a[0], a[1], a[2]);
                return text;
            }
    return "";
}

} // namespace rktest
