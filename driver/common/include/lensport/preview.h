// The viewfinder path: the SDK's frame function hands each JPEG frame over into the
// frame buffer, and the preview worker decodes it, turns it as the preview rotation
// says, runs the ID-photo step (face detection and crop guide) and paints it into the
// module window at a fixed size.
#pragma once

#include "lensport/face_detector.h"
#include "lensport/worker_thread.h"
#include "platform/types.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace lensport {

class CameraModuleBase;
class DetectorImages;

inline constexpr std::size_t kFrameBufferSize = 102400;
inline constexpr int kLandscapeWidth = 320;
inline constexpr int kLandscapeHeight = 240;
inline constexpr int kPortraitWidth = 180;
inline constexpr int kPreviewHeight = 240;
inline constexpr int kLandscapeStride = kLandscapeWidth * 3;
inline constexpr int kPortraitStride = kPortraitWidth * 3;

// A blue-green-red picture with tightly packed rows (both widths are multiples of 4).
struct PreviewImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    void Reset(int w, int h);
    std::uint8_t* Pixel(int x, int y) {
        return &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
    }
    const std::uint8_t* Pixel(int x, int y) const {
        return &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
    }
};

// Decodes a JPEG frame into the zeroed 320 x 240 landscape image (rows beyond it are
// read and dropped). False when the decoder rejects the frame; the image is then unusable.
bool DecodePreviewFrame(const std::uint8_t* data, std::size_t size, PreviewImage* landscape);

// Turns the landscape image by 0, 90, 180 or -90 degrees (90 and -90 reduce to the
// 180 x 240 portrait image). Another rotation copies the landscape image.
void RotatePreview(const PreviewImage& landscape, int rotation, PreviewImage* out);

class PreviewPipeline {
public:
    // images: the detector's working images of the owner (created while the worker is
    // stopped).
    PreviewPipeline(CameraModuleBase& owner, const DetectorImages& images);
    PreviewPipeline(const PreviewPipeline&) = delete;
    PreviewPipeline& operator=(const PreviewPipeline&) = delete;
    ~PreviewPipeline();

    // Starts the worker; it sleeps until a frame wakes it.
    bool Start();
    // Wakes the worker so it sees the cleared running flag, and waits for its end.
    void Stop();

    // The frame function's work (any thread). Frames larger than the buffer are dropped.
    void DeliverFrame(const void* data, std::size_t size);

    // Frames handed over, frames dropped at hand-over or by the decoder, frames painted.
    std::uint64_t FramesReceived() const { return received_.load(); }
    std::uint64_t FramesDropped() const { return dropped_.load(); }
    std::uint64_t FramesPainted() const { return painted_.load(); }
    // The ID-photo step (frame counter, detector runs, last face).
    const IdPhotoProcessor& IdPhoto() const { return idPhoto_; }

private:
    void WorkerLoop();
    bool DecodeCurrentFrame();
    void ApplyIdPhoto(int rotation);
    void Paint(const PreviewImage& image, int rotation);

    CameraModuleBase& owner_;
    const DetectorImages& images_;
    IdPhotoProcessor idPhoto_;
    std::mutex frameLock_;
    std::array<std::uint8_t, kFrameBufferSize> frame_{};
    std::size_t frameLength_ = 0;
    PreviewImage landscape_;
    PreviewImage turned_;
    AutoEvent frameReady_;
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint64_t> received_{0}, dropped_{0}, painted_{0};
    WorkerThread worker_;
};

} // namespace lensport
