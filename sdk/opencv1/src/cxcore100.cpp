// cxcore100: images, memory storage, sequences, drawing and file loading. Each entry
// point hands over to the backend; without it they give no result.
#include "backend.h"

#define OPENCV1_EXPORT extern "C" __attribute__((visibility("default")))

using opencv1::Backend;

OPENCV1_EXPORT IplImage* cvCreateImage(CvSize size, int depth, int channels) {
    return Backend() ? Backend()->createImage(size, depth, channels) : nullptr;
}

OPENCV1_EXPORT void cvReleaseImage(IplImage** image) {
    if (Backend()) Backend()->releaseImage(image);
}

OPENCV1_EXPORT void* cvLoad(const char* filename, CvMemStorage* storage, const char* name,
                            const char** realName) {
    return Backend() ? Backend()->load(filename, storage, name, realName) : nullptr;
}

OPENCV1_EXPORT CvMemStorage* cvCreateMemStorage(int blockSize) {
    return Backend() ? Backend()->createMemStorage(blockSize) : nullptr;
}

OPENCV1_EXPORT void cvReleaseMemStorage(CvMemStorage** storage) {
    if (Backend()) Backend()->releaseMemStorage(storage);
}

OPENCV1_EXPORT void cvClearMemStorage(CvMemStorage* storage) {
    if (Backend()) Backend()->clearMemStorage(storage);
}

OPENCV1_EXPORT char* cvGetSeqElem(const CvSeq* seq, int index) {
    return Backend() ? Backend()->getSeqElem(seq, index) : nullptr;
}

OPENCV1_EXPORT void cvRectangle(CvArr* image, CvPoint pt1, CvPoint pt2, CvScalar color,
                                int thickness, int lineType, int shift) {
    if (Backend()) Backend()->rectangle(image, pt1, pt2, color, thickness, lineType, shift);
}
