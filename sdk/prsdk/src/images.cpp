#include "images.h"

#include "embedded_data.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>
#include <tuple>

namespace prsim {
namespace {

constexpr int kFrameQuality = 80;
constexpr int kPictureQuality = 97;
constexpr int kThumbnailQuality = 85;
constexpr int kOversizedQuality = 100;
constexpr std::size_t kMaxSourceFileBytes = 64u << 20;
constexpr std::size_t kGarbageFrameBytes = 4096;
// Half the width of the portrait slice a camera turned a quarter sees (180 of 320).
constexpr int kPortraitOffset = (kFrameWidth - 180) / 2;

bool ReadFile(const std::string& path, Bytes* out) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<std::size_t>(size) > kMaxSourceFileBytes) return false;
    out->resize(static_cast<std::size_t>(size));
    in.seekg(0);
    return static_cast<bool>(in.read(reinterpret_cast<char*>(out->data()), size));
}

std::optional<RgbImage> DecodeSource(const std::string& path, EmbeddedFile builtIn,
                                     std::string* error) {
    if (path.empty()) return DecodeJpeg(builtIn.data, builtIn.size);
    Bytes file;
    if (!ReadFile(path, &file)) {
        *error = "cannot read '" + path + "'";
        return std::nullopt;
    }
    auto image = DecodeJpeg(file.data(), file.size());
    if (!image) *error = "'" + path + "' is not a readable JPEG picture";
    return image;
}

// Deterministic sensor-like noise; makes the pictures as large as real camera files.
void AddNoise(RgbImage& image, std::uint32_t seed, int amplitude) {
    std::uint32_t state = seed;
    for (std::uint8_t& v : image.pixels) {
        state = state * 1664525u + 1013904223u;
        const int delta = static_cast<int>((state >> 24) % (2 * amplitude + 1)) - amplitude;
        v = static_cast<std::uint8_t>(std::clamp(v + delta, 0, 255));
    }
}

// Where pixel (column, row) of a frame comes from in the 320 x 240 scene.
const std::uint8_t* SceneSample(const RgbImage& scene, std::uint32_t angle, int c, int r) {
    switch (angle) {
    case 1:
        return scene.at(kPortraitOffset + (kFrameHeight - 1 - r) * 3 / 4, c * 3 / 4);
    case 2:
        return scene.at(kFrameWidth - 1 - c, kFrameHeight - 1 - r);
    case 3:
        return scene.at(kPortraitOffset + r * 3 / 4, kFrameHeight - 1 - c * 3 / 4);
    default:
        return scene.at(c, r);
    }
}

void DrawMarker(RgbImage& frame, std::uint32_t frameNumber) {
    constexpr int kSide = 6;
    const int left = static_cast<int>((frameNumber * 4) % (kFrameWidth - kSide));
    const int top = kFrameHeight - kSide - 2;
    for (int y = top; y < top + kSide; ++y)
        for (int x = left; x < left + kSide; ++x) {
            const std::uint8_t shade = ((x + y) & 1) ? 255 : 0;
            std::uint8_t* p = frame.at(x, y);
            p[0] = p[1] = p[2] = shade;
        }
}

// Grows a JPEG to at least minimumBytes with comment segments right after its
// start-of-image marker, so it stays a valid picture of the same pixels.
void FillWithComments(Bytes& jpeg, std::uint32_t minimumBytes) {
    constexpr std::size_t kMaxSegmentPayload = 0xFFFF - 2;
    constexpr std::size_t kSegmentOverhead = 4; // marker and length
    if (jpeg.size() < 2 || jpeg.size() >= minimumBytes) return;
    Bytes fill;
    std::size_t missing = minimumBytes - jpeg.size();
    while (missing > 0) {
        // A segment is never smaller than its overhead; the last one may overshoot.
        const std::size_t payload = std::min(
            kMaxSegmentPayload, missing > kSegmentOverhead ? missing - kSegmentOverhead : 0);
        const std::size_t length = payload + 2;
        fill.push_back(0xFF);
        fill.push_back(0xFE);
        fill.push_back(static_cast<std::uint8_t>(length >> 8));
        fill.push_back(static_cast<std::uint8_t>(length & 0xFF));
        fill.insert(fill.end(), payload, static_cast<std::uint8_t>('.'));
        missing -= std::min(missing, payload + kSegmentOverhead);
    }
    jpeg.insert(jpeg.begin() + 2, fill.begin(), fill.end());
}

} // namespace

std::shared_ptr<const RgbImage> LoadScene(const std::string& path, std::string* error) {
    auto image = DecodeSource(path, BuiltInScene(), error);
    if (!image) {
        if (error->empty()) *error = "the built-in scene cannot be decoded";
        return nullptr;
    }
    if (image->width != kFrameWidth || image->height != kFrameHeight)
        *image = Resize(*image, kFrameWidth, kFrameHeight);
    return std::make_shared<const RgbImage>(std::move(*image));
}

Bytes MakeFrame(const RgbImage& scene, std::uint32_t angleCode, std::uint32_t frameNumber) {
    RgbImage frame;
    frame.width = kFrameWidth;
    frame.height = kFrameHeight;
    frame.pixels.resize(static_cast<std::size_t>(kFrameWidth) * kFrameHeight * 3);
    for (int r = 0; r < kFrameHeight; ++r)
        for (int c = 0; c < kFrameWidth; ++c) {
            const std::uint8_t* s = SceneSample(scene, angleCode, c, r);
            std::uint8_t* d = frame.at(c, r);
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    DrawMarker(frame, frameNumber);
    return EncodeJpeg(frame, kFrameQuality);
}

Bytes MakeBrokenFrame(PrsimFrameFault fault, const RgbImage& scene, std::uint32_t frameNumber) {
    switch (fault) {
    case PRSIM_FRAMES_TRUNCATED: {
        Bytes frame = MakeFrame(scene, 0, frameNumber);
        frame.resize(frame.size() / 2);
        return frame;
    }
    case PRSIM_FRAMES_GARBAGE: {
        Bytes frame(kGarbageFrameBytes);
        std::uint32_t state = frameNumber + 1;
        for (std::uint8_t& b : frame) {
            state = state * 1103515245u + 12345u;
            b = static_cast<std::uint8_t>(state >> 16);
        }
        frame[0] = 0x00; // never a JPEG start-of-image marker
        return frame;
    }
    case PRSIM_FRAMES_OVERSIZED: {
        RgbImage large = Resize(scene, 2 * kFrameWidth, 2 * kFrameHeight);
        AddNoise(large, frameNumber + 1, 24);
        return EncodeJpeg(large, kOversizedQuality);
    }
    default:
        return {};
    }
}

Capture MakeCapture(const std::string& sourcePath, int width, int height,
                    std::uint32_t minimumBytes, std::string* error) {
    using Key = std::tuple<std::string, int, int, std::uint32_t>;
    static std::mutex cacheMutex;
    static std::map<Key, Capture> cache;
    const Key key{sourcePath, width, height, minimumBytes};
    std::lock_guard lock(cacheMutex);
    if (const auto found = cache.find(key); found != cache.end()) return found->second;
    auto source = DecodeSource(sourcePath, BuiltInPicture(), error);
    if (!source) return {};
    RgbImage picture = Resize(*source, width, height);
    AddNoise(picture, 0x5eed, 12);
    Capture capture;
    Bytes full = EncodeJpeg(picture, kPictureQuality);
    FillWithComments(full, minimumBytes);
    capture.fullImage = std::make_shared<const Bytes>(std::move(full));
    capture.thumbnail = std::make_shared<const Bytes>(
        EncodeJpeg(Resize(*source, kThumbnailWidth, kThumbnailHeight), kThumbnailQuality));
    if (capture.fullImage->empty() || capture.thumbnail->empty()) {
        *error = "the picture cannot be encoded";
        return {};
    }
    cache.emplace(key, capture);
    return capture;
}

} // namespace prsim
