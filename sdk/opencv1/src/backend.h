// The OpenCV work behind cxcore100 and cv100, in a library of its own.
//
// OpenCV 4 still exports some C functions with the very names these entry points carry
// (cvCreateMemStorage ...) and calls them internally. Were the entry-point libraries
// linked to OpenCV, OpenCV's internal calls could bind to our functions of the same
// name. So the entry points only load this backend (RTLD_LOCAL, next to themselves);
// the backend links OpenCV, and no library of ours with those names is in its scope.
#pragma once

#include "opencv1/cv100.h"

#define OPENCV1_BACKEND_FILE "libcapdeck-opencv1.so"
#define OPENCV1_BACKEND_SYMBOL "capdeck_opencv1_backend"

struct Opencv1Backend {
    cvCreateImage_fn createImage;
    cvReleaseImage_fn releaseImage;
    cvLoad_fn load;
    cvCreateMemStorage_fn createMemStorage;
    cvReleaseMemStorage_fn releaseMemStorage;
    cvClearMemStorage_fn clearMemStorage;
    cvGetSeqElem_fn getSeqElem;
    cvRectangle_fn rectangle;
    cvHaarDetectObjects_fn haarDetectObjects;
    cvReleaseHaarClassifierCascade_fn releaseHaarClassifierCascade;
};

typedef const Opencv1Backend* (*Opencv1BackendGetter)(void);

namespace opencv1 {
// The backend loaded from the folder of the calling library; null when it is missing.
const Opencv1Backend* Backend();
} // namespace opencv1
