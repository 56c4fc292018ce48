// The face detector's libraries, loaded at run time by file name while the camera object
// is built, their resolved entry points, the face cascade with its storage (process-wide)
// and the detector's working images (per object).
#pragma once

#include "opencv1/cv100.h"

#include <mutex>
#include <string>

namespace lensport {

// Error code logged when a detector library is missing.
inline constexpr unsigned kDetectorLibraryMissing = 788;

struct OpenCvApi {
    cvCreateImage_fn createImage = nullptr;
    cvReleaseImage_fn releaseImage = nullptr;
    cvLoad_fn load = nullptr;
    cvRectangle_fn rectangle = nullptr;
    cvGetSeqElem_fn getSeqElem = nullptr;
    cvClearMemStorage_fn clearMemStorage = nullptr;
    cvCreateMemStorage_fn createMemStorage = nullptr;
    cvReleaseMemStorage_fn releaseMemStorage = nullptr;
    cvHaarDetectObjects_fn haarDetectObjects = nullptr;
    cvReleaseHaarClassifierCascade_fn releaseCascade = nullptr;
};

// The resolved entry points (unset ones are null; the steps that need them are skipped).
const OpenCvApi& OpenCv();
// True once both libraries were loaded.
bool FaceDetectionLoaded();

// Loads cxcore100.dll and cv100.dll and resolves their entry points. When one is missing:
// the warning box (text from the language file beside the host ini), the log entry
// "ErrorCode1:0x00000314" with LibError InitError, and false.
bool LoadFaceDetectionLibraries(const std::string& iniPath);

// The language file of the host: the ini path before "Capdeck.ini" + "local.ini" (the
// ini path's folder when it doesn't name Capdeck.ini).
std::string LanguageFilePath(const std::string& iniPath);

// Loads folder + "/FaceDetectData.xml" as the face cascade and makes a new storage,
// releasing the previous ones.
void LoadCascadeFromFolder(const std::string& folder);

// The cascade and storage, used under the lock (a new "AutoFaceFile" may replace them
// while the preview worker detects).
struct FaceCascade {
    std::mutex lock;
    CvHaarClassifierCascade* cascade = nullptr;
    CvMemStorage* storage = nullptr;
};
FaceCascade& SharedFaceCascade();

// The two working images of the detector, 320 x 240 and 180 x 240, 8 bits, 3 channels.
class DetectorImages {
public:
    DetectorImages() = default;
    DetectorImages(const DetectorImages&) = delete;
    DetectorImages& operator=(const DetectorImages&) = delete;
    ~DetectorImages() { Release(); }
    // Creates both when the detector library is loaded.
    void Create();
    void Release();
    IplImage* Landscape() const { return landscape_; }
    IplImage* Portrait() const { return portrait_; }

private:
    IplImage* landscape_ = nullptr;
    IplImage* portrait_ = nullptr;
};

} // namespace lensport
