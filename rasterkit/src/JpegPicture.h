// JPEG file images decoded with libjpeg at full size and drawn stretched onto the
// converted picture.
#pragma once

#include <cstdint>
#include <span>

namespace rasterkit {

class ConvertedPicture;

// False for a damaged or truncated file image, a picture above the pixel limit or one
// that libjpeg does not give as colour or grey at its default settings (CMYK).
bool drawJpeg(std::span<const uint8_t> stream, ConvertedPicture& picture);

} // namespace rasterkit
