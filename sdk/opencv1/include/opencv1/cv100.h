/* The OpenCV 1.0 C entry points of cxcore100.so and cv100.so, with the minimal
 * structures a caller of those entry points needs. The libraries are built over the
 * installed OpenCV; callers usually resolve the functions by name (the *_fn types). */
#ifndef OPENCV1_CV100_H
#define OPENCV1_CV100_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define IPL_DEPTH_8U 8
#define CV_HAAR_DO_CANNY_PRUNING 1
#define CV_AA 16

typedef void CvArr;

typedef struct CvSize {
    int width;
    int height;
} CvSize;

typedef struct CvPoint {
    int x;
    int y;
} CvPoint;

typedef struct CvRect {
    int x;
    int y;
    int width;
    int height;
} CvRect;

typedef struct CvScalar {
    double val[4]; /* blue, green, red, alpha for 3- and 4-channel images */
} CvScalar;

/* An image: rows of widthStep bytes (a multiple of 4), pixels interleaved. */
typedef struct IplImage {
    int nSize; /* sizeof(IplImage) */
    int nChannels;
    int depth; /* IPL_DEPTH_8U */
    int width;
    int height;
    int imageSize; /* widthStep * height */
    char* imageData;
    int widthStep;
} IplImage;

/* A sequence of elements (the detector's result: CvRect elements). */
typedef struct CvSeq {
    int total;     /* number of elements */
    int elem_size; /* bytes per element */
    char* data;    /* contiguous elements; owned by the storage */
} CvSeq;

typedef struct CvMemStorage CvMemStorage;                       /* opaque */
typedef struct CvHaarClassifierCascade CvHaarClassifierCascade; /* opaque */

static inline CvSize cvSize(int width, int height) {
    CvSize s = {width, height};
    return s;
}
static inline CvPoint cvPoint(int x, int y) {
    CvPoint p = {x, y};
    return p;
}
static inline CvScalar cvScalar(double v0, double v1, double v2, double v3) {
    CvScalar s = {{v0, v1, v2, v3}};
    return s;
}

/* ---- cxcore100 ---- */
IplImage* cvCreateImage(CvSize size, int depth, int channels);
void cvReleaseImage(IplImage** image);
/* Loads a Haar face cascade file; storage, name and realName must be null. Returns a
 * CvHaarClassifierCascade*, or null when the file is missing or not a cascade. */
void* cvLoad(const char* filename, CvMemStorage* storage, const char* name, const char** realName);
CvMemStorage* cvCreateMemStorage(int blockSize);
void cvReleaseMemStorage(CvMemStorage** storage);
/* Frees every sequence made in the storage; the storage itself stays. */
void cvClearMemStorage(CvMemStorage* storage);
/* Element index of seq (negative counts from the end); null when out of range. */
char* cvGetSeqElem(const CvSeq* seq, int index);
void cvRectangle(CvArr* image, CvPoint pt1, CvPoint pt2, CvScalar color, int thickness,
                 int lineType, int shift);

/* ---- cv100 ---- */
/* Finds objects in an 8-bit image of 1 or 3 channels (blue, green, red). The result
 * sequence of CvRect lives in storage until it is cleared; null on bad arguments. */
CvSeq* cvHaarDetectObjects(const CvArr* image, CvHaarClassifierCascade* cascade,
                           CvMemStorage* storage, double scaleFactor, int minNeighbors, int flags,
                           CvSize minSize);
void cvReleaseHaarClassifierCascade(CvHaarClassifierCascade** cascade);

/* Function types for resolving the entry points by name. */
typedef IplImage* (*cvCreateImage_fn)(CvSize, int, int);
typedef void (*cvReleaseImage_fn)(IplImage**);
typedef void* (*cvLoad_fn)(const char*, CvMemStorage*, const char*, const char**);
typedef CvMemStorage* (*cvCreateMemStorage_fn)(int);
typedef void (*cvReleaseMemStorage_fn)(CvMemStorage**);
typedef void (*cvClearMemStorage_fn)(CvMemStorage*);
typedef char* (*cvGetSeqElem_fn)(const CvSeq*, int);
typedef void (*cvRectangle_fn)(CvArr*, CvPoint, CvPoint, CvScalar, int, int, int);
typedef CvSeq* (*cvHaarDetectObjects_fn)(const CvArr*, CvHaarClassifierCascade*, CvMemStorage*,
                                         double, int, int, CvSize);
typedef void (*cvReleaseHaarClassifierCascade_fn)(CvHaarClassifierCascade**);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* OPENCV1_CV100_H */
