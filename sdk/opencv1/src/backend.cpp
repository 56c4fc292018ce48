// The OpenCV work of the OpenCV 1.0 entry points (see backend.h). No exception may leave
// a function: the callers are C code.
#include "backend.h"
#include "opencv1_internal.h"

#include <opencv2/imgproc.hpp>

#include <new>

namespace {

constexpr int kMaxNeighbours = 1000;

CvSeq* StoreRects(CvMemStorage* storage, const std::vector<cv::Rect>& found) {
    CvMemStorage::Block& block = storage->blocks.emplace_back();
    block.elements.resize(std::max<std::size_t>(1, found.size()) * sizeof(CvRect));
    auto* rects = reinterpret_cast<CvRect*>(block.elements.data());
    for (std::size_t i = 0; i < found.size(); ++i)
        rects[i] = CvRect{found[i].x, found[i].y, found[i].width, found[i].height};
    block.seq.total = static_cast<int>(found.size());
    block.seq.elem_size = sizeof(CvRect);
    block.seq.data = block.elements.data();
    return &block.seq;
}

IplImage* CreateImage(CvSize size, int depth, int channels) {
    if (depth != IPL_DEPTH_8U || channels < 1 || channels > 4 || size.width <= 0 ||
        size.height <= 0 || size.width > kMaxImageSide || size.height > kMaxImageSide)
        return nullptr;
    const int step = (size.width * channels + 3) & ~3;
    auto* image = new (std::nothrow) IplImage{};
    if (image == nullptr) return nullptr;
    image->nSize = sizeof(IplImage);
    image->nChannels = channels;
    image->depth = depth;
    image->width = size.width;
    image->height = size.height;
    image->widthStep = step;
    image->imageSize = step * size.height;
    image->imageData = new (std::nothrow) char[static_cast<std::size_t>(image->imageSize)]();
    if (image->imageData == nullptr) {
        delete image;
        return nullptr;
    }
    return image;
}

void ReleaseImage(IplImage** image) {
    if (image == nullptr || *image == nullptr) return;
    delete[](*image)->imageData;
    delete *image;
    *image = nullptr;
}

void* Load(const char* filename, CvMemStorage* storage, const char* name, const char** realName) {
    if (realName != nullptr) *realName = nullptr;
    if (filename == nullptr || storage != nullptr || name != nullptr) return nullptr;
    auto* cascade = new (std::nothrow) CvHaarClassifierCascade;
    if (cascade == nullptr) return nullptr;
    try {
        if (cascade->classifier.load(filename) && !cascade->classifier.empty()) return cascade;
    } catch (const cv::Exception&) {
        // A damaged or foreign file is "not a cascade", the same as a missing one.
    } catch (const std::exception&) {
    }
    delete cascade;
    return nullptr;
}

CvMemStorage* CreateMemStorage(int blockSize) {
    if (blockSize < 0) return nullptr;
    return new (std::nothrow) CvMemStorage;
}

void ReleaseMemStorage(CvMemStorage** storage) {
    if (storage == nullptr || *storage == nullptr || (*storage)->tag != kStorageTag) return;
    (*storage)->tag = 0;
    delete *storage;
    *storage = nullptr;
}

void ClearMemStorage(CvMemStorage* storage) {
    if (storage == nullptr || storage->tag != kStorageTag) return;
    storage->blocks.clear();
}

char* GetSeqElem(const CvSeq* seq, int index) {
    if (seq == nullptr || seq->data == nullptr || seq->elem_size <= 0) return nullptr;
    if (index < 0) index += seq->total;
    if (index < 0 || index >= seq->total) return nullptr;
    return seq->data + static_cast<std::size_t>(index) * static_cast<std::size_t>(seq->elem_size);
}

void Rectangle(CvArr* image, CvPoint pt1, CvPoint pt2, CvScalar color, int thickness, int lineType,
               int shift) {
    cv::Mat mat;
    if (!opencv1::WrapImage(image, &mat)) return;
    try {
        cv::rectangle(mat, cv::Point(pt1.x, pt1.y), cv::Point(pt2.x, pt2.y),
                      cv::Scalar(color.val[0], color.val[1], color.val[2], color.val[3]), thickness,
                      lineType, shift);
    } catch (const cv::Exception&) {
        // Arguments OpenCV refuses (bad line type, thickness or shift) draw nothing.
    }
}

CvSeq* HaarDetectObjects(const CvArr* image, CvHaarClassifierCascade* cascade,
                         CvMemStorage* storage, double scaleFactor, int minNeighbors, int flags,
                         CvSize minSize) {
    cv::Mat mat;
    if (!opencv1::WrapImage(image, &mat) || cascade == nullptr || cascade->tag != kCascadeTag ||
        storage == nullptr || storage->tag != kStorageTag || !(scaleFactor > 1.0) ||
        minNeighbors < 0 || minNeighbors > kMaxNeighbours || minSize.width < 0 ||
        minSize.height < 0)
        return nullptr;
    try {
        cv::Mat gray;
        if (mat.channels() == 1)
            gray = mat;
        else
            cv::cvtColor(mat, gray, mat.channels() == 4 ? cv::COLOR_BGRA2GRAY : cv::COLOR_BGR2GRAY);
        std::vector<cv::Rect> found;
        cascade->classifier.detectMultiScale(gray, found, scaleFactor, minNeighbors, flags,
                                             cv::Size(minSize.width, minSize.height));
        return StoreRects(storage, found);
    } catch (const cv::Exception&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void ReleaseHaarClassifierCascade(CvHaarClassifierCascade** cascade) {
    if (cascade == nullptr || *cascade == nullptr || (*cascade)->tag != kCascadeTag) return;
    (*cascade)->tag = 0;
    delete *cascade;
    *cascade = nullptr;
}

const Opencv1Backend kBackend = {
    CreateImage,     ReleaseImage, Load,      CreateMemStorage,  ReleaseMemStorage,
    ClearMemStorage, GetSeqElem,   Rectangle, HaarDetectObjects, ReleaseHaarClassifierCascade,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const Opencv1Backend* capdeck_opencv1_backend() {
    return &kBackend;
}
