// The two entry points of Rasterkit.so; nothing else leaves the library.
#include "Rasterkit.h"

#include "Conversion.h"

#define RASTERKIT_EXPORT __attribute__((visibility("default")))

extern "C" RASTERKIT_EXPORT uint8_t* GetConvertedImage(const uint8_t* data, int32_t count,
                                                       int32_t* size_out, uint32_t format,
                                                       int32_t width, int32_t height) {
    if (data == nullptr || size_out == nullptr || count < 0) {
        rasterkit::clearPicture();
        if (size_out != nullptr) *size_out = 0;
        return nullptr;
    }
    const rasterkit::Conversion result =
        rasterkit::convertImage({data, static_cast<size_t>(count)}, format,
                                static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    *size_out = result.size;
    return result.pixels;
}

extern "C" RASTERKIT_EXPORT void ClearResources(void) {
    rasterkit::clearPicture();
}
