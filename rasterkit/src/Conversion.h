// The library's one converted picture and the conversion behind the exported calls.
#pragma once

#include <cstdint>
#include <span>

namespace rasterkit {

enum class FileFormat : uint8_t { Jpeg = 0, Tiff = 1 };

struct Conversion {
    uint8_t* pixels = nullptr; // bottom row of the converted picture, null on refusal
    int32_t size = 0;          // width x height x 3, 0 on refusal
};

// Replaces the converted picture with the file image drawn at width x height; the
// format byte and the sizes are taken as the caller passed them (only their low 8 and
// 16 bits count).
Conversion convertImage(std::span<const uint8_t> file, uint32_t format, uint32_t width,
                        uint32_t height);
// Frees the converted picture.
void clearPicture();
// Whether a converted picture is kept.
bool hasPicture();

} // namespace rasterkit
