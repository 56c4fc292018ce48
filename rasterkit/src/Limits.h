// Size limits that keep every allocation of the library bounded, whatever the input.
#pragma once

#include <cstdint>

namespace rasterkit {

// Largest picture, decoded or converted, in pixels (64 Mi = 8192 x 8192). The
// converted picture then needs at most 192 MiB, a decoded 32-bit TIFF 256 MiB.
inline constexpr uint64_t kMaxPixels = uint64_t{64} * 1024 * 1024;

// libjpeg's own working memory (coefficient buffers of progressive files and the like).
inline constexpr long kMaxJpegWorkingMemory = 512L * 1024 * 1024;

inline bool withinPixelLimit(uint64_t width, uint64_t height) {
    return width * height <= kMaxPixels;
}

} // namespace rasterkit
