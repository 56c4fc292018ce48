// What the simulated cameras see and shoot: viewfinder frames and captured pictures.
#pragma once

#include "jpeg_codec.h"
#include "prsdk/prsdk_control.h"

#include <memory>
#include <string>

namespace prsim {

constexpr int kFrameWidth = 320;
constexpr int kFrameHeight = 240;
constexpr int kThumbnailWidth = 160;
constexpr int kThumbnailHeight = 120;

// The scene in front of the camera as 320 x 240 RGB; an empty path means the built-in
// portrait. Null (and error set) when the file cannot be read or decoded.
std::shared_ptr<const RgbImage> LoadScene(const std::string& path, std::string* error);

// One viewfinder frame: the scene as seen by a camera held at angleCode (0 level,
// 1 and 3 turned a quarter, 2 upside down), with a small marker that moves every frame.
Bytes MakeFrame(const RgbImage& scene, std::uint32_t angleCode, std::uint32_t frameNumber);
// A damaged frame of the given kind (never PRSIM_FRAMES_GOOD).
Bytes MakeBrokenFrame(PrsimFrameFault fault, const RgbImage& scene, std::uint32_t frameNumber);

struct Capture {
    std::shared_ptr<const Bytes> fullImage;
    std::shared_ptr<const Bytes> thumbnail;
};
// The picture a release produces at the given size, from the source photo (empty path:
// built-in), filled with JPEG comment segments up to at least minimumBytes (0: as
// encoded). Made once per source, size and fill, then shared. Null members on failure.
Capture MakeCapture(const std::string& sourcePath, int width, int height,
                    std::uint32_t minimumBytes, std::string* error);

} // namespace prsim
