// JPEG decoding and encoding with libjpeg for the simulated cameras' pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace prsim {

using Bytes = std::vector<std::uint8_t>;

// Interleaved 8-bit RGB, rows top to bottom without padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    Bytes pixels;

    std::uint8_t* at(int x, int y) {
        return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }
    const std::uint8_t* at(int x, int y) const {
        return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }
};

// Largest picture side accepted from a file (keeps a hostile header from allocating
// gigabytes).
constexpr int kMaxImageSide = 8192;

// Decodes a baseline or progressive JPEG to RGB; nullopt when the data is no JPEG,
// is damaged or too large.
std::optional<RgbImage> DecodeJpeg(const std::uint8_t* data, std::size_t size);
// Encodes RGB pixels; empty on failure.
Bytes EncodeJpeg(const RgbImage& image, int quality);
// Bilinear resampling to the given size.
RgbImage Resize(const RgbImage& source, int width, int height);

} // namespace prsim
