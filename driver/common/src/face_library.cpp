#include "lensport/face_library.h"

#include "lensport/log.h"
#include "platform/dialogs.h"
#include "platform/module.h"
#include "platform/profile.h"

#include <atomic>

namespace lensport {
namespace {

OpenCvApi g_api;
std::atomic<bool> g_loaded{false};

constexpr const char* kWarningDefault = "Error initializing library";
constexpr std::size_t kWarningBuffer = 256;

template <class Fn> void Resolve(HMODULE module, const char* name, Fn* out) {
    *out = reinterpret_cast<Fn>(GetProcAddress(module, name));
}

void ResolveCore(HMODULE core) {
    Resolve(core, "cvCreateImage", &g_api.createImage);
    Resolve(core, "cvReleaseImage", &g_api.releaseImage);
    Resolve(core, "cvLoad", &g_api.load);
    Resolve(core, "cvRectangle", &g_api.rectangle);
    Resolve(core, "cvGetSeqElem", &g_api.getSeqElem);
    Resolve(core, "cvClearMemStorage", &g_api.clearMemStorage);
    Resolve(core, "cvCreateMemStorage", &g_api.createMemStorage);
    Resolve(core, "cvReleaseMemStorage", &g_api.releaseMemStorage);
}

void ResolveCv(HMODULE cv) {
    Resolve(cv, "cvHaarDetectObjects", &g_api.haarDetectObjects);
    Resolve(cv, "cvReleaseHaarClassifierCascade", &g_api.releaseCascade);
}

void ReportMissing(const std::string& iniPath, const char* library) {
    char text[kWarningBuffer] = {};
    GetPrivateProfileStringA("Exceptions", "LoadLibExceptionMesage", kWarningDefault, text,
                             sizeof text, LanguageFilePath(iniPath).c_str());
    const std::string message = std::string(text) + " " + library;
    MessageBoxA(nullptr, message.c_str(), "Capdeck", MB_OK | MB_ICONWARNING);
    LogErrorCode(1, kDetectorLibraryMissing, true);
}

void ReleaseCascade(FaceCascade& shared) {
    if (shared.cascade != nullptr && g_api.releaseCascade != nullptr) {
        g_api.releaseCascade(&shared.cascade);
    }
    if (shared.storage != nullptr && g_api.releaseMemStorage != nullptr) {
        g_api.releaseMemStorage(&shared.storage);
    }
    shared.cascade = nullptr;
    shared.storage = nullptr;
}

} // namespace

const OpenCvApi& OpenCv() {
    return g_api;
}
bool FaceDetectionLoaded() {
    return g_loaded.load();
}

std::string LanguageFilePath(const std::string& iniPath) {
    const std::size_t at = iniPath.find("Capdeck.ini");
    if (at != std::string::npos) return iniPath.substr(0, at) + "local.ini";
    const std::size_t slash = iniPath.find_last_of("/\\");
    return (slash == std::string::npos ? std::string() : iniPath.substr(0, slash + 1)) +
           "local.ini";
}

bool LoadFaceDetectionLibraries(const std::string& iniPath) {
    // Loaded once per process; a later object finds the entry points already resolved.
    if (g_loaded.load()) return true;
    HMODULE core = LoadLibraryA("cxcore100.dll");
    if (core == nullptr) {
        ReportMissing(iniPath, "cxcore100.dll");
        return false;
    }
    ResolveCore(core);
    HMODULE cv = LoadLibraryA("cv100.dll");
    if (cv == nullptr) {
        ReportMissing(iniPath, "cv100.dll");
        return false;
    }
    ResolveCv(cv);
    g_loaded = true;
    return true;
}

FaceCascade& SharedFaceCascade() {
    static FaceCascade shared;
    return shared;
}

void LoadCascadeFromFolder(const std::string& folder) {
    FaceCascade& shared = SharedFaceCascade();
    std::lock_guard lock(shared.lock);
    ReleaseCascade(shared);
    if (g_api.load != nullptr) {
        const std::string path = folder + "/FaceDetectData.xml";
        shared.cascade = static_cast<CvHaarClassifierCascade*>(
            g_api.load(path.c_str(), nullptr, nullptr, nullptr));
    }
    if (g_api.createMemStorage != nullptr) shared.storage = g_api.createMemStorage(0);
}

void DetectorImages::Create() {
    Release();
    if (!FaceDetectionLoaded() || g_api.createImage == nullptr) return;
    landscape_ = g_api.createImage(cvSize(320, 240), IPL_DEPTH_8U, 3);
    portrait_ = g_api.createImage(cvSize(180, 240), IPL_DEPTH_8U, 3);
}

void DetectorImages::Release() {
    if (g_api.releaseImage != nullptr) {
        if (landscape_ != nullptr) g_api.releaseImage(&landscape_);
        if (portrait_ != nullptr) g_api.releaseImage(&portrait_);
    }
    landscape_ = nullptr;
    portrait_ = nullptr;
}

} // namespace lensport
