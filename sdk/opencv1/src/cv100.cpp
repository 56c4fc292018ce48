// cv100: the Haar-cascade object detector, handed over to the backend.
#include "backend.h"

#define OPENCV1_EXPORT extern "C" __attribute__((visibility("default")))

using opencv1::Backend;

OPENCV1_EXPORT CvSeq* cvHaarDetectObjects(const CvArr* image, CvHaarClassifierCascade* cascade,
                                          CvMemStorage* storage, double scaleFactor,
                                          int minNeighbors, int flags, CvSize minSize) {
    return Backend() ? Backend()->haarDetectObjects(image, cascade, storage, scaleFactor,
                                                    minNeighbors, flags, minSize)
                     : nullptr;
}

OPENCV1_EXPORT void cvReleaseHaarClassifierCascade(CvHaarClassifierCascade** cascade) {
    if (Backend()) Backend()->releaseHaarClassifierCascade(cascade);
}
