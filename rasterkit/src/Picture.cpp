#include "Picture.h"

#include "Limits.h"
#include "TIFFBMP.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace rasterkit {

AxisMap AxisMap::make(uint32_t destination, uint32_t source) {
    AxisMap map;
    map.sample.resize(destination);
    map.first.resize(destination);
    map.last.resize(destination);
    const uint64_t d = destination;
    const uint64_t s = source;
    for (uint64_t i = 0; i < d; ++i) {
        map.sample[i] = static_cast<uint32_t>((2 * i + 1) * s / (2 * d));
        map.first[i] = map.sample[i];
        map.last[i] = map.sample[i] + 1;
    }
    if (destination < source) {
        // Each source pixel belongs to the destination pixel under its centre; the owners
        // rise by at most one per source pixel, so every destination pixel gets a run.
        for (uint64_t i = 0; i < s; ++i) {
            const auto owner = static_cast<uint32_t>((2 * i + 1) * d / (2 * s));
            if (i == 0 || owner != (2 * i - 1) * d / (2 * s))
                map.first[owner] = static_cast<uint32_t>(i);
            map.last[owner] = static_cast<uint32_t>(i + 1);
        }
    }
    return map;
}

bool ConvertedPicture::create(uint32_t width, uint32_t height) {
    clear();
    if (!withinPixelLimit(width, height)) return false;
    const size_t stride = (size_t{width} * 3 + 3) & ~size_t{3};
    try {
        pixels_.assign(stride * height, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    width_ = width;
    height_ = height;
    stride_ = stride;
    return true;
}

void ConvertedPicture::clear() {
    std::vector<uint8_t>().swap(pixels_);
    width_ = height_ = 0;
    stride_ = 0;
}

namespace {

void stretchSampled(const TTIFFBitMap& source, ConvertedPicture& picture, const AxisMap& xs,
                    const AxisMap& ys) {
    const size_t rowLength = size_t{picture.width()} * 3;
    const bool sameWidth = picture.width() == source.width();
    for (uint32_t y = 0; y < picture.height(); ++y) {
        uint8_t* target = picture.row(y);
        if (y > 0 && ys.sample[y] == ys.sample[y - 1])
            std::memcpy(target, picture.row(y - 1), rowLength);
        else if (sameWidth)
            source.convertWholeRow(ys.sample[y], target);
        else
            source.convertRow(ys.sample[y], xs.sample, target);
    }
}

bool blackInRun(const uint8_t* row, uint32_t first, uint32_t last, uint8_t black) {
    for (uint32_t c = first; c < last; ++c)
        if (((row[c >> 3] >> (7 - (c & 7))) & 1) == black) return true;
    return false;
}

// Black-on-white reduction: a destination pixel is black when any source pixel it
// covers is black.
void stretchBilevel(const TTIFFBitMap& source, ConvertedPicture& picture, const AxisMap& xs,
                    const AxisMap& ys) {
    const uint8_t black = source.blackSample();
    const uint8_t* blackColour = source.colour(black);
    const uint8_t* whiteColour = source.colour(static_cast<uint8_t>(1 - black));
    std::vector<uint8_t> anyBlack(picture.width());
    for (uint32_t y = 0; y < picture.height(); ++y) {
        std::fill(anyBlack.begin(), anyBlack.end(), 0);
        for (uint32_t sy = ys.first[y]; sy < ys.last[y]; ++sy) {
            const uint8_t* row = source.row(sy);
            for (uint32_t x = 0; x < picture.width(); ++x)
                if (!anyBlack[x]) anyBlack[x] = blackInRun(row, xs.first[x], xs.last[x], black);
        }
        uint8_t* target = picture.row(y);
        for (uint32_t x = 0; x < picture.width(); ++x)
            std::memcpy(target + 3 * x, anyBlack[x] ? blackColour : whiteColour, 3);
    }
}

} // namespace

void stretchTiff(const TTIFFBitMap& source, ConvertedPicture& picture) {
    const AxisMap xs = AxisMap::make(picture.width(), source.width());
    const AxisMap ys = AxisMap::make(picture.height(), source.height());
    const bool reduced = picture.width() < source.width() || picture.height() < source.height();
    if (source.bitsPerPixel() == 1 && reduced)
        stretchBilevel(source, picture, xs, ys);
    else
        stretchSampled(source, picture, xs, ys);
}

} // namespace rasterkit
