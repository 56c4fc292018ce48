// The ID-photo step of a preview frame: the picture goes through the detector's working
// image, where a face is looked for on every N-th frame and the crop guide is drawn from
// the last face found. Both driver builds use it with their own picture sizes.
#pragma once

#include "lensport/crop_guide.h"
#include "lensport/preview_settings.h"
#include "opencv1/cv100.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

namespace lensport {

// A blue-green-red picture in the caller's memory: rows of stride bytes.
struct BgrPicture {
    std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
};

// The face detector's run parameters.
inline constexpr double kDetectScaleFactor = 1.1;
inline constexpr int kDetectMinNeighbours = 2;
inline constexpr int kDetectFlags = CV_HAAR_DO_CANNY_PRUNING;
inline constexpr int kDetectMinFace = 40;

// Copies the picture row by row into an image of the same size, or back.
bool CopyIntoImage(const BgrPicture& picture, IplImage* image);
bool CopyFromImage(const IplImage* image, const BgrPicture& picture);

class IdPhotoProcessor {
public:
    // One frame. With the ID-photo switch on: the picture is copied into work (which must
    // have its size), a face is looked for when the frame counter is 0 and the detection
    // switch is on, the guide is drawn within boundWidth x boundHeight, the image is
    // copied back and the counter advances modulo the detection interval. False when
    // the switch is off or work does not fit the picture (the picture is untouched).
    bool ProcessFrame(const BgrPicture& picture, IplImage* work, int boundWidth, int boundHeight,
                      PreviewSettings& settings);

    // Counter of the detection interval (0 for a new object).
    int FrameCounter() const { return counter_.load(); }
    // Detector runs so far.
    std::uint64_t DetectionRuns() const { return detectionRuns_.load(); }
    // Rectangle 0 of the last detector run, if it found one.
    std::optional<CvRect> LastFace() const;

private:
    void Detect(IplImage* work);
    void SetLastFace(std::optional<CvRect> face);
    void DrawGuide(IplImage* work, int boundWidth, int boundHeight, PreviewSettings& settings);

    std::atomic<int> counter_{0};
    std::atomic<std::uint64_t> detectionRuns_{0};
    mutable std::mutex faceLock_;
    std::optional<CvRect> lastFace_;
};

} // namespace lensport
