#include "opencv1_internal.h"

namespace opencv1 {

bool WrapImage(const CvArr* array, cv::Mat* out) {
    const auto* image = static_cast<const IplImage*>(array);
    if (image == nullptr || image->nSize != static_cast<int>(sizeof(IplImage)) ||
        image->depth != IPL_DEPTH_8U || image->nChannels < 1 || image->nChannels > 4 ||
        image->width <= 0 || image->height <= 0 || image->width > kMaxImageSide ||
        image->height > kMaxImageSide || image->imageData == nullptr ||
        image->widthStep < image->width * image->nChannels)
        return false;
    *out = cv::Mat(image->height, image->width, CV_8UC(image->nChannels), image->imageData,
                   static_cast<std::size_t>(image->widthStep));
    return true;
}

} // namespace opencv1
