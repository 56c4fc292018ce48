// Test helpers: TIFF file images made with libtiff or laid out by hand, LZW streams
// made by a small encoder, reference decodings through libtiff and libjpeg, and a
// reader for Rasterkit's converted pictures.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace rktest {

using Bytes = std::vector<uint8_t>;

// A picture as rows of blue, green, red from the top, without padding.
struct Bgr {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;
    const uint8_t* at(uint32_t x, uint32_t y) const { return &pixels[(size_t{y} * width + x) * 3]; }
};

// --- TIFF files written by libtiff -------------------------------------------------
struct TiffKind {
    std::string name;
    uint16_t samplesPerPixel;
    uint16_t bitsPerSample;
    uint16_t photometric;
};

inline void PrintTo(const TiffKind& kind, std::ostream* os) {
    *os << kind.name;
}

struct TiffLayout {
    uint32_t width = 161;
    uint32_t height = 37;
    uint32_t rowsPerStrip = 16;
    uint16_t compression = 1; // 1 none, 5 LZW
    uint16_t predictor = 1;
    uint16_t orientation = 0; // 0: tag not written
    uint16_t fillOrder = 0;   // 0: tag not written
};

// Raw rows (packed as TIFF stores them) of a deterministic picture with flat areas and
// noise, so that LZW finds both long and short strings.
std::vector<Bytes> makeSamples(const TiffKind& kind, uint32_t width, uint32_t height,
                               uint32_t seed = 1);
// A colour map of 768 values covering the whole 16-bit range.
std::vector<uint16_t> makeColorMap();
Bytes writeTiff(const TiffKind& kind, const TiffLayout& layout, const std::vector<Bytes>& rows,
                const std::vector<uint16_t>& colorMap = {});

// libtiff's decoding: the raw samples of every row, read through TIFFReadScanline.
struct TiffSamples {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t samplesPerPixel = 0;
    uint16_t bitsPerSample = 0;
    uint16_t photometric = 0;
    std::vector<Bytes> rows;
    std::vector<uint16_t> red, green, blue; // colour map, if any
};
TiffSamples readWithLibtiff(const Bytes& file);

// The samples shown through this library's colour table (4-bit grey as 16 v + 15 or
// 255 - 16 v, colour map values as round(sqrt(c + 1)) - 1, a fourth sample not shown).
Bgr showSamples(const TiffSamples& samples);

// --- TIFF files laid out by hand ---------------------------------------------------
class TiffBuilder {
public:
    enum Type : uint16_t { Byte = 1, Short = 3, Long = 4 };

    TiffBuilder& set(uint16_t tag, uint16_t type, std::vector<uint32_t> values);
    TiffBuilder& remove(uint16_t tag);
    // Strip data; StripOffsets and StripByteCounts (LONG) are filled in by build().
    TiffBuilder& strips(std::vector<Bytes> data);
    // Bytes placed at offset 8 with no strip tags filled in.
    TiffBuilder& data(Bytes bytes);
    Bytes build() const;

    // A baseline directory: width, height, samples, bits, compression, photometric,
    // rows per strip.
    static TiffBuilder basic(uint32_t width, uint32_t height, uint16_t samplesPerPixel,
                             uint16_t bitsPerSample, uint16_t photometric, uint16_t compression,
                             uint32_t rowsPerStrip);

private:
    struct Field {
        uint16_t type;
        std::vector<uint32_t> values;
    };
    std::map<uint16_t, Field> fields_;
    std::vector<Bytes> strips_;
    bool autoStrips_ = false;
};

// --- LZW streams -------------------------------------------------------------------
struct LzwOptions {
    bool startWithClear = true;
    bool endWithEoi = true;
    // Send Clear once the decoder's last assigned code reaches this value (libtiff's
    // encoder does so at 4093); 0: never, the table then stops growing when full.
    uint32_t clearAtDecoderCode = 4093;
};
Bytes lzwEncode(const Bytes& data, const LzwOptions& options = {});

// --- JPEG --------------------------------------------------------------------------
Bytes readFile(const std::string& path);
Bytes writeJpeg(const Bgr& picture, int quality, bool grey, bool progressive);
Bytes writeCmykJpeg(uint32_t width, uint32_t height);
// libjpeg's own decoding at its default settings.
Bgr decodeWithLibjpeg(const Bytes& file);
Bgr makePicture(uint32_t width, uint32_t height, uint32_t seed);

// --- Converted pictures ------------------------------------------------------------
// Reads a converted picture (bottom-up, padded rows) back into top-down rows.
Bgr readConverted(const uint8_t* pixels, uint32_t width, uint32_t height);
// Nearest-pixel stretch with the library's sampling rule (the source pixel under the
// destination pixel's centre); bilevel: reduced pixels are black if any covered one is.
Bgr stretch(const Bgr& source, uint32_t width, uint32_t height, bool bilevel = false);

// First differing pixel as text, or "" when the pictures are equal.
std::string firstDifference(const Bgr& expected, const Bgr& actual);

} // namespace rktest
