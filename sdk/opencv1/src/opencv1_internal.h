// The structures behind the opaque OpenCV 1.0 handles, shared by cxcore100 and cv100.
#pragma once

#include "opencv1/cv100.h"

#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>

#include <cstdint>
#include <list>
#include <vector>

// Tags that let the entry points refuse a pointer of the wrong kind instead of crashing.
constexpr std::uint32_t kStorageTag = 0x53544F52; // "STOR"
constexpr std::uint32_t kCascadeTag = 0x48414152; // "HAAR"
constexpr int kMaxImageSide = 16384;

struct CvMemStorage {
    std::uint32_t tag = kStorageTag;
    // A sequence and its elements, freed together when the storage is cleared.
    struct Block {
        CvSeq seq{};
        std::vector<char> elements;
    };
    std::list<Block> blocks;
};

struct CvHaarClassifierCascade {
    std::uint32_t tag = kCascadeTag;
    cv::CascadeClassifier classifier;
};

namespace opencv1 {

// A matrix header over the image's pixels (no copy); false for anything but a valid
// 8-bit image made by cvCreateImage.
bool WrapImage(const CvArr* array, cv::Mat* out);

} // namespace opencv1
