#include "lensport/face_detector.h"

#include "lensport/face_library.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace lensport {
namespace {

bool Fits(const BgrPicture& picture, const IplImage* image) {
    return picture.pixels != nullptr && IsGuideImage(image) && image->width == picture.width &&
           image->height == picture.height &&
           picture.stride >= static_cast<std::size_t>(picture.width) * 3;
}

std::uint8_t* ImageRow(const IplImage* image, int y) {
    return reinterpret_cast<std::uint8_t*>(image->imageData) +
           static_cast<std::ptrdiff_t>(y) * image->widthStep;
}

// Rectangle 0 of a detector result, when there is one and the entry point to read it.
std::optional<CvRect> FirstRectangle(const CvSeq* found) {
    const cvGetSeqElem_fn element = OpenCv().getSeqElem;
    if (found == nullptr || element == nullptr || found->total <= 0) return std::nullopt;
    if (found->elem_size < static_cast<int>(sizeof(CvRect))) return std::nullopt;
    const char* first = element(found, 0);
    if (first == nullptr) return std::nullopt;
    CvRect rect;
    std::memcpy(&rect, first, sizeof rect);
    return rect;
}

CropSettings CropFrom(const PreviewSettings& s) {
    CropSettings crop;
    crop.zoom = s.zoom.load();
    crop.verticalOffset = s.verticalOffset.load();
    crop.horizontalOffset = s.horizontalOffset.load();
    crop.aspectWidth = s.aspectWidth.load();
    crop.aspectHeight = s.aspectHeight.load();
    return crop;
}

} // namespace

bool CopyIntoImage(const BgrPicture& picture, IplImage* image) {
    if (!Fits(picture, image)) return false;
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(ImageRow(image, y), picture.pixels + y * picture.stride, rowBytes);
    return true;
}

bool CopyFromImage(const IplImage* image, const BgrPicture& picture) {
    if (!Fits(picture, image)) return false;
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(picture.pixels + y * picture.stride, ImageRow(image, y), rowBytes);
    return true;
}

bool IdPhotoProcessor::ProcessFrame(const BgrPicture& picture, IplImage* work, int boundWidth,
                                    int boundHeight, PreviewSettings& settings) {
    if (!settings.idPhoto.load()) return false;
    if (!CopyIntoImage(picture, work)) return false;
    if (settings.faceDetect.load()) {
        if (counter_.load() == 0) Detect(work);
        DrawGuide(work, boundWidth, boundHeight, settings);
    }
    CopyFromImage(work, picture);
    // The interval is at least 1 however it was set.
    const int interval = std::max(1, settings.frames.load());
    counter_ = (counter_.load() + 1) % interval;
    return true;
}

// Empties the storage and, with a cascade, looks for faces. Emptying the storage ends
// the previous result, so a run without a cascade leaves no face.
void IdPhotoProcessor::Detect(IplImage* work) {
    const OpenCvApi& api = OpenCv();
    FaceCascade& shared = SharedFaceCascade();
    std::lock_guard lock(shared.lock);
    if (shared.storage != nullptr && api.clearMemStorage != nullptr)
        api.clearMemStorage(shared.storage);
    SetLastFace(std::nullopt);
    if (shared.cascade == nullptr || api.haarDetectObjects == nullptr) return;
    const CvSeq* found = api.haarDetectObjects(
        work, shared.cascade, shared.storage, kDetectScaleFactor, kDetectMinNeighbours,
        kDetectFlags, cvSize(kDetectMinFace, kDetectMinFace));
    ++detectionRuns_;
    SetLastFace(FirstRectangle(found));
}

void IdPhotoProcessor::SetLastFace(std::optional<CvRect> face) {
    std::lock_guard lock(faceLock_);
    lastFace_ = face;
}

// A found face replaces the face values the host set; the guide uses it.
void IdPhotoProcessor::DrawGuide(IplImage* work, int boundWidth, int boundHeight,
                                 PreviewSettings& settings) {
    const std::optional<CvRect> found = LastFace();
    if (found) {
        const CvRect& face = *found;
        settings.faceW = face.width;
        settings.faceH = face.height;
        settings.faceX = face.x + face.width / 2;
        settings.faceY = face.y + face.height / 2;
    }
    DrawCropGuide(work, found ? &*found : nullptr, CropFrom(settings), settings.frameChecked.load(),
                  boundWidth, boundHeight);
}

std::optional<CvRect> IdPhotoProcessor::LastFace() const {
    std::lock_guard lock(faceLock_);
    return lastFace_;
}

} // namespace lensport
