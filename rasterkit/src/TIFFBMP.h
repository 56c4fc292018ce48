// TTIFFBitMap: the picture of a TIFF file image, assembled strip by strip from the raw
// samples, with the colour table that shows them.
#pragma once

#include "IFD_Module.h"
#include "LZW_Module.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace rasterkit {

class TTIFFBitMap {
public:
    // Replaces the content with the picture in the stream. False when the file image
    // cannot be shown: problem() tells why. A compression other than none or LZW gives
    // a picture of the declared size that holds nothing of the image.
    bool load(std::span<const uint8_t> stream);

    std::string_view problem() const { return problem_; }
    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    uint32_t bitsPerPixel() const { return bitsPerPixel_; }
    size_t rowBytes() const { return rowBytes_; }
    const uint8_t* row(uint32_t y) const { return samples_.get() + y * rowBytes_; }

    // Writes the colours of the given columns of row y as blue, green, red.
    void convertRow(uint32_t y, std::span<const uint32_t> columns, uint8_t* bgr) const;
    // The same for every column of row y, faster.
    void convertWholeRow(uint32_t y, uint8_t* bgr) const;
    // For 1-bit pictures: the sample value that is shown black.
    uint8_t blackSample() const { return blackSample_; }
    const uint8_t* colour(uint8_t sample) const { return colours_.data() + 3 * sample; }

private:
    struct FreeDeleter {
        void operator()(uint8_t* p) const { std::free(p); }
    };

    bool fail(std::string_view why);
    bool chooseColourTable(const TIFD& ifd);
    void setGrey(uint32_t sample, uint8_t grey);
    void buildByteColours();
    uint32_t readStrips(std::span<const uint8_t> stream, const TIFD& ifd);
    bool readStrip(std::span<const uint8_t> stream, const TIFD& ifd, uint32_t strip);
    void undoDifferencing(uint8_t* firstRow, size_t rows) const;

    std::string_view problem_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t bitsPerPixel_ = 0;
    size_t rowBytes_ = 0;
    uint8_t blackSample_ = 0;
    // Blue, green, red of every sample value of pictures up to 8 bits per pixel.
    std::array<uint8_t, 256 * 3> colours_{};
    // Colours of the pixels of each byte value, for 1-bit and 4-bit pictures.
    std::vector<uint8_t> byteColours_;
    std::unique_ptr<uint8_t, FreeDeleter> samples_;
    TLZW lzw_;
};

} // namespace rasterkit
