// Calls into the built Rasterkit.so.
#pragma once

#include "Rasterkit.h"
#include "tiff_files.h"

namespace rktest {

enum Format : uint32_t { Jpeg = 0, Tiff = 1 };

struct Converted {
    uint8_t* pixels = nullptr;
    int32_t size = -1;
};

inline Converted convert(const Bytes& file, uint32_t format, int32_t width, int32_t height) {
    Converted out;
    out.pixels = GetConvertedImage(file.data(), static_cast<int32_t>(file.size()), &out.size,
                                   format, width, height);
    return out;
}

// Converts and reads the picture back, top-down; an empty picture on refusal.
inline Bgr convertToBgr(const Bytes& file, uint32_t format, uint32_t width, uint32_t height) {
    const Converted c =
        convert(file, format, static_cast<int32_t>(width), static_cast<int32_t>(height));
    if (c.pixels == nullptr) return {};
    return readConverted(c.pixels, width, height);
}

} // namespace rktest
