// GetConvertedImage on arbitrary file images of both formats. The first three bytes
// choose the format (low bit) and a small requested size; the rest is the file image.
#include "Rasterkit.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint32_t format = data[0] & 1;
    const int32_t width = 1 + data[1] % 97;
    const int32_t height = 1 + data[2] % 97;
    // An exact-size copy, so that a read past the file image is caught.
    const std::vector<uint8_t> file(data + 3, data + size);
    int32_t sizeOut = -1;
    const uint8_t* pixels = GetConvertedImage(file.data(), static_cast<int32_t>(file.size()),
                                              &sizeOut, format, width, height);
    if (pixels == nullptr) {
        if (sizeOut != 0) __builtin_trap();
        return 0;
    }
    if (sizeOut != width * height * 3) __builtin_trap();
    // Touch the whole pixel block, padding included.
    const size_t block = (static_cast<size_t>(width) * 3 + 3) / 4 * 4 * height;
    std::vector<uint8_t> copy(block);
    std::memcpy(copy.data(), pixels, block);
    ClearResources();
    return 0;
}
