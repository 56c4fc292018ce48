// The converted picture (24-bit, rows padded to 4 bytes, stored bottom-up) and the
// stretch that draws a decoded picture onto it without smoothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace rasterkit {

class TTIFFBitMap;

// Which source pixels feed each destination pixel along one axis. Every destination
// pixel takes the source pixel under its centre (sample); when the axis is reduced,
// [first, last) are all source pixels whose centres fall on it.
struct AxisMap {
    std::vector<uint32_t> sample;
    std::vector<uint32_t> first;
    std::vector<uint32_t> last;

    static AxisMap make(uint32_t destination, uint32_t source);
};

class ConvertedPicture {
public:
    // False when the size is above the pixel limit or memory is short.
    bool create(uint32_t width, uint32_t height);
    void clear();

    bool empty() const { return pixels_.empty(); }
    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    size_t stride() const { return stride_; }
    uint8_t* bottomRow() { return pixels_.data(); }
    // Row y counted from the top of the picture.
    uint8_t* row(uint32_t y) { return pixels_.data() + size_t{height_ - 1 - y} * stride_; }

private:
    std::vector<uint8_t> pixels_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    size_t stride_ = 0;
};

// Draws the whole TIFF picture stretched onto the whole converted picture. A 1-bit
// picture reduced along an axis keeps black pixels in preference to white ones.
void stretchTiff(const TTIFFBitMap& source, ConvertedPicture& picture);

} // namespace rasterkit
