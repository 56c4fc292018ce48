#include "TIFFBMP.h"

#include "Limits.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rasterkit {
namespace {

enum Photometric : uint16_t { WhiteIsZero = 0, BlackIsZero = 1, Palette = 3 };
enum CompressionKind : uint16_t { Uncompressed = 1, Lzw = 5 };
constexpr size_t kPaletteEntries = 256;

bool fits(std::span<const uint8_t> s, uint64_t pos, uint64_t length) {
    return pos <= s.size() && length <= s.size() - pos;
}

// A 16-bit colour map value shown as 8 bits: round(sqrt(c + 1)) - 1.
uint8_t mapValue(uint16_t c) {
    return static_cast<uint8_t>(std::lround(std::sqrt(static_cast<double>(c) + 1.0)) - 1);
}

} // namespace

bool TTIFFBitMap::fail(std::string_view why) {
    problem_ = why;
    samples_.reset();
    width_ = height_ = 0;
    return false;
}

void TTIFFBitMap::setGrey(uint32_t sample, uint8_t grey) {
    std::memset(colours_.data() + 3 * sample, grey, 3);
}

bool TTIFFBitMap::chooseColourTable(const TIFD& ifd) {
    const uint16_t pm = ifd.photometricInterpretation;
    const uint16_t spp = ifd.samplesPerPixel;
    const uint16_t bps = ifd.bitsPerSample;
    if (spp == 1 && bps == 1) {
        blackSample_ = pm == WhiteIsZero ? 1 : 0;
        setGrey(blackSample_, 0);
        setGrey(1 - blackSample_, 255);
        return true;
    }
    if (spp == 1 && bps == 4 && (pm == WhiteIsZero || pm == BlackIsZero)) {
        for (uint32_t v = 0; v < 16; ++v)
            setGrey(v, static_cast<uint8_t>(pm == WhiteIsZero ? 255 - 16 * v : 16 * v + 15));
        return true;
    }
    if (spp == 1 && bps == 8 && (pm == WhiteIsZero || pm == BlackIsZero)) {
        for (uint32_t v = 0; v < 256; ++v)
            setGrey(v, static_cast<uint8_t>(pm == WhiteIsZero ? 255 - v : v));
        return true;
    }
    if (spp == 1 && bps == 8 && pm == Palette) {
        const auto& map = ifd.colorMap;
        if (!ifd.colorMapRead || map.size() < 3 * kPaletteEntries)
            return fail("palette picture without a full colour map");
        for (size_t v = 0; v < kPaletteEntries; ++v) {
            colours_[3 * v] = mapValue(map[2 * kPaletteEntries + v]);
            colours_[3 * v + 1] = mapValue(map[kPaletteEntries + v]);
            colours_[3 * v + 2] = mapValue(map[v]);
        }
        return true;
    }
    if ((spp == 3 || spp == 4) && bps == 8) return true; // red, green, blue (+ one not shown)
    return fail("unsupported sample layout");
}

bool TTIFFBitMap::load(std::span<const uint8_t> stream) {
    problem_ = {};
    samples_.reset();
    width_ = height_ = 0;
    const TIFD ifd(stream);
    if (!ifd.valid()) return fail(ifd.problem());
    if (ifd.width == 0 || ifd.height == 0) return fail("picture without width or height");
    if (ifd.mixedBitsPerSample) return fail("samples of different bit depths");
    if (ifd.planarConfiguration != 1 && ifd.samplesPerPixel > 1)
        return fail("separate sample planes");
    if (!chooseColourTable(ifd)) return false;
    bitsPerPixel_ = ifd.bitsPerPixel;
    buildByteColours();
    if (!withinPixelLimit(ifd.width, ifd.height)) return fail("picture above the pixel limit");
    if (ifd.compression == Lzw && ifd.horizontalDifferencing && ifd.bitsPerSample < 8)
        return fail("horizontal differencing of samples below 8 bits");
    width_ = ifd.width;
    height_ = ifd.height;
    rowBytes_ = (size_t{width_} * bitsPerPixel_ + 7) / 8;
    // Not cleared here: every strip read writes all of its rows (an LZW strip that ends
    // early gets zeros), and the rows no strip reaches are cleared afterwards.
    samples_.reset(static_cast<uint8_t*>(std::malloc(size_t{height_} * rowBytes_)));
    if (!samples_) return fail("out of memory");
    const uint32_t rowsRead =
        ifd.compression == Uncompressed || ifd.compression == Lzw ? readStrips(stream, ifd) : 0;
    if (!samples_) return false;
    std::memset(samples_.get() + size_t{rowsRead} * rowBytes_, 0,
                size_t{height_ - rowsRead} * rowBytes_);
    return true;
}

// Strip i holds rows i x rows per strip on, the last one up to the picture's end.
// Strips past the picture are ignored; rows that no strip covers hold sample 0. Gives
// the number of rows from the top the strips cover (0 after a failure).
uint32_t TTIFFBitMap::readStrips(std::span<const uint8_t> stream, const TIFD& ifd) {
    const uint32_t needed = (height_ + ifd.rowsPerStrip - 1) / ifd.rowsPerStrip;
    const uint32_t strips = std::min<uint32_t>(ifd.stripCount, needed);
    for (uint32_t i = 0; i < strips; ++i)
        if (!readStrip(stream, ifd, i)) return 0;
    return std::min<uint32_t>(height_, strips * ifd.rowsPerStrip);
}

bool TTIFFBitMap::readStrip(std::span<const uint8_t> stream, const TIFD& ifd, uint32_t strip) {
    const uint32_t firstRow = strip * ifd.rowsPerStrip;
    const uint32_t rows = std::min<uint32_t>(ifd.rowsPerStrip, height_ - firstRow);
    const size_t length = rows * rowBytes_;
    uint8_t* const target = samples_.get() + firstRow * rowBytes_;
    const uint32_t offset = ifd.stripOffsets[strip];
    if (ifd.compression == Uncompressed) {
        if (!fits(stream, offset, length)) return fail("strip outside the file image");
        // A strip that says it holds less than its rows is damaged; reading on would
        // show whatever follows it in the file.
        if (strip < ifd.stripByteCounts.size() && ifd.stripByteCounts[strip] < length)
            return fail("uncompressed strip shorter than its rows");
        std::memcpy(target, stream.data() + offset, length);
        return true;
    }
    if (strip >= ifd.stripByteCounts.size()) return fail("LZW strip without a byte count");
    const uint32_t count = ifd.stripByteCounts[strip];
    if (!fits(stream, offset, count)) return fail("strip outside the file image");
    const size_t produced = lzw_.decode(stream.subspan(offset, count), {target, length});
    // Rows the strip did not reach hold zeros, which differencing leaves as they are.
    if (ifd.horizontalDifferencing)
        undoDifferencing(target, (produced + rowBytes_ - 1) / rowBytes_);
    return true;
}

namespace {

// Adds to each sample from start on the one a pixel before it.
template <size_t Stride> void undoBytes(uint8_t* row, size_t start, size_t bytes) {
    for (size_t i = std::max(start, Stride); i < bytes; ++i)
        row[i] = static_cast<uint8_t>(row[i] + row[i - Stride]);
}

#if defined(__SSE2__)

template <int Bytes> __m128i shiftUp(__m128i v) {
    return _mm_slli_si128(v, Bytes);
}

// Blocks of whole pixels in a 16-byte register: the sums within the block, and the
// block's last pixel repeated over the block, which is what every later block adds.
template <size_t Stride> struct Block;

template <> struct Block<1> {
    static constexpr size_t kBytes = 16;
    static __m128i sums(__m128i v) {
        v = _mm_add_epi8(v, shiftUp<1>(v));
        v = _mm_add_epi8(v, shiftUp<2>(v));
        v = _mm_add_epi8(v, shiftUp<4>(v));
        return _mm_add_epi8(v, shiftUp<8>(v));
    }
    static __m128i lastEverywhere(__m128i v) {
        v = _mm_srli_si128(v, 15);
        v = _mm_unpacklo_epi8(v, v);
        v = _mm_unpacklo_epi16(v, v);
        return _mm_shuffle_epi32(v, 0);
    }
    static void store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
};

// Four pixels of three bytes; the register's last four bytes are left alone.
template <> struct Block<3> {
    static constexpr size_t kBytes = 12;
    static __m128i sums(__m128i v) {
        v = _mm_add_epi8(v, shiftUp<3>(v));
        return _mm_add_epi8(v, shiftUp<6>(v));
    }
    static __m128i lastEverywhere(__m128i v) {
        v = _mm_and_si128(_mm_srli_si128(v, 9), _mm_cvtsi32_si128(0xFFFFFF));
        v = _mm_or_si128(v, shiftUp<3>(v));
        return _mm_or_si128(v, shiftUp<6>(v));
    }
    static void store(uint8_t* p, __m128i v) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
        const int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(v, 8));
        std::memcpy(p + 8, &last, 4);
    }
};

template <> struct Block<4> {
    static constexpr size_t kBytes = 16;
    static __m128i sums(__m128i v) {
        v = _mm_add_epi8(v, shiftUp<4>(v));
        return _mm_add_epi8(v, shiftUp<8>(v));
    }
    static __m128i lastEverywhere(__m128i v) { return _mm_shuffle_epi32(v, 0xFF); }
    static void store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
};

// Whole blocks first: the sums within a block do not wait for the block before, only one
// addition per block does. The first pixel adds nothing, like the sums' zero start.
template <size_t Stride> void undoRow(uint8_t* row, size_t pixels) {
    using B = Block<Stride>;
    const size_t bytes = pixels * Stride;
    __m128i carry = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 16 <= bytes; i += B::kBytes) {
        const __m128i v = B::sums(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)));
        B::store(row + i, _mm_add_epi8(v, carry));
        carry = _mm_add_epi8(carry, B::lastEverywhere(v));
    }
    undoBytes<Stride>(row, i, bytes);
}

#else

template <size_t Stride> void undoRow(uint8_t* row, size_t pixels) {
    undoBytes<Stride>(row, 0, pixels * Stride);
}

#endif

} // namespace

void TTIFFBitMap::undoDifferencing(uint8_t* firstRow, size_t rows) const {
    for (size_t r = 0; r < rows; ++r) {
        uint8_t* row = firstRow + r * rowBytes_;
        switch (bitsPerPixel_) {
        case 24:
            undoRow<3>(row, width_);
            break;
        case 32:
            undoRow<4>(row, width_);
            break;
        default:
            undoRow<1>(row, width_);
            break;
        }
    }
}

namespace {

template <typename SampleOf>
void convertIndexed(const uint8_t* row, std::span<const uint32_t> columns, const uint8_t* colours,
                    uint8_t* bgr, SampleOf sampleOf) {
    for (const uint32_t c : columns) {
        const uint8_t* colour = colours + 3 * sampleOf(row, c);
        bgr[0] = colour[0];
        bgr[1] = colour[1];
        bgr[2] = colour[2];
        bgr += 3;
    }
}

void convertRgb(const uint8_t* row, std::span<const uint32_t> columns, size_t stride,
                uint8_t* bgr) {
    for (const uint32_t c : columns) {
        const uint8_t* p = row + c * stride;
        bgr[0] = p[2];
        bgr[1] = p[1];
        bgr[2] = p[0];
        bgr += 3;
    }
}

} // namespace

void TTIFFBitMap::buildByteColours() {
    byteColours_.clear();
    if (bitsPerPixel_ != 1 && bitsPerPixel_ != 4) return;
    const uint32_t pixels = 8 / bitsPerPixel_;
    const uint32_t mask = (1u << bitsPerPixel_) - 1;
    byteColours_.resize(256 * pixels * 3);
    for (uint32_t byte = 0; byte < 256; ++byte)
        for (uint32_t i = 0; i < pixels; ++i) {
            const uint32_t sample = (byte >> (8 - bitsPerPixel_ * (i + 1))) & mask;
            std::memcpy(&byteColours_[(byte * pixels + i) * 3],
                        colour(static_cast<uint8_t>(sample)), 3);
        }
}

void TTIFFBitMap::convertWholeRow(uint32_t y, uint8_t* bgr) const {
    const uint8_t* r = row(y);
    if (!byteColours_.empty()) {
        // Whole bytes through the table of byte colours, the pixels left one by one.
        const uint32_t pixels = 8 / bitsPerPixel_;
        const size_t whole = width_ / pixels;
        const size_t bytesOut = size_t{pixels} * 3;
        for (size_t i = 0; i < whole; ++i)
            std::memcpy(bgr + i * bytesOut, &byteColours_[r[i] * bytesOut], bytesOut);
        for (uint32_t x = static_cast<uint32_t>(whole * pixels); x < width_; ++x)
            convertRow(y, std::span<const uint32_t>(&x, 1), bgr + size_t{x} * 3);
        return;
    }
    if (bitsPerPixel_ == 8) {
        for (uint32_t x = 0; x < width_; ++x)
            std::memcpy(bgr + size_t{x} * 3, colour(r[x]), 3);
        return;
    }
    const size_t stride = bitsPerPixel_ / 8;
    for (uint32_t x = 0; x < width_; ++x, r += stride, bgr += 3) {
        bgr[0] = r[2];
        bgr[1] = r[1];
        bgr[2] = r[0];
    }
}

void TTIFFBitMap::convertRow(uint32_t y, std::span<const uint32_t> columns, uint8_t* bgr) const {
    const uint8_t* r = row(y);
    const uint8_t* colours = colours_.data();
    switch (bitsPerPixel_) {
    case 1:
        convertIndexed(r, columns, colours, bgr, [](const uint8_t* p, uint32_t c) {
            return (p[c >> 3] >> (7 - (c & 7))) & 1;
        });
        break;
    case 4:
        convertIndexed(r, columns, colours, bgr, [](const uint8_t* p, uint32_t c) {
            return (p[c >> 1] >> ((c & 1) ? 0 : 4)) & 15;
        });
        break;
    case 8:
        convertIndexed(r, columns, colours, bgr, [](const uint8_t* p, uint32_t c) { return p[c]; });
        break;
    default:
        convertRgb(r, columns, bitsPerPixel_ / 8, bgr);
        break;
    }
}

} // namespace rasterkit
