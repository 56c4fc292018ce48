// CanonCamera: the camera object of the Canon build, over PRSDK. It opens the chosen
// camera while it is built, turns camera events into the driver's messages, watches the
// USB still-image count for a camera that went away, and runs the viewfinder.
#pragma once

#include "canon_parameters.h"
#include "lensport/camera_module.h"
#include "lensport/capture_file.h"
#include "lensport/face_library.h"
#include "lensport/preview.h"
#include "lensport/worker_thread.h"
#include "prsdk/prsdk.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace canon {

// Property description buffer size; the description of any property fits.
inline constexpr std::uint32_t kPropertyBufferSize = 20480;

class CanonCamera final : public lensport::CameraModuleBase {
public:
    CanonCamera(int loadCamera, const char* iniPath);
    ~CanonCamera() override;

    bool AttachWindow(HWND window) override;
    bool Close() override;
    bool SetParameter(const char* name, std::intptr_t value) override;
    std::uint8_t SetApplicationParameter(const char* name, std::intptr_t value) override;
    bool SetParameterDirect(const char* name, const char* text) override;
    std::int32_t GetParameter(const char* name, std::int32_t defaultValue) override;
    std::int32_t EnumParameterValues(const char* name, const char* listFile,
                                     const char* section) override;
    std::int32_t Release(const char* prefix, HWND notify) override;
    bool Update() override;
    bool StopPreview() override;
    bool StartPreview() override;

    PrCameraHandle CameraHandle() const { return camera_.load(); }
    // The zoom-position description answers: the camera is there.
    bool Probe() const;

    // Viewfinder statistics (tests and diagnostics).
    const lensport::PreviewPipeline& Preview() const { return preview_; }

private:
    void Build();
    bool StartSdk(PrError* failure);
    bool OpenCamera(PrError* failure);
    void FailBuilding(PrError code);
    void Teardown();

    void HandleEvent(const void* record);
    void MonitorUsb();
    void StopWorkers();

    std::int32_t EnumerateCameras(const char* listFile, const char* section);
    std::uint8_t ApplyPreviewType(std::intptr_t value);

    void RunRelease();
    bool TransferObject(PrObjectHandle object, std::uint16_t eventCode, std::uint32_t blockSize);
    void HandleProgress(const PrProgress& progress);
    void NoteTransferFailure(std::uint32_t code);

    static PrError OnEvent(PrCameraHandle camera, PrContext context, void* record);
    static PrError OnFrame(PrCameraHandle camera, PrContext context, std::uint32_t size,
                           void* data);
    static PrError OnData(PrCameraHandle camera, PrObjectHandle object, PrContext context,
                          PrProgress* progress);

    std::atomic<PrCameraHandle> camera_{0};
    std::atomic<std::uint8_t> releaseFlags_{0};
    std::atomic<PrObjectHandle> fullImage_{0};
    std::atomic<PrObjectHandle> thumbnail_{0};
    bool windowAttached_ = false;
    lensport::DetectorImages detectorImages_;
    lensport::PreviewPipeline preview_{*this, detectorImages_};
    lensport::AutoEvent monitorWake_;
    lensport::WorkerThread monitor_;
    // The shooting settings: value maps and the focus-lock-cleared flag (GUI thread).
    CanonParameters parameters_;
    // The capture in progress: the caller's prefix, then the name of the file being
    // written; the window told about progress and the end; the output file; whether the
    // prefix was too long to name a file; the first reason the picture was not stored.
    std::string filePath_;
    std::atomic<HWND> notify_{nullptr};
    lensport::CaptureFile output_;
    bool prefixTooLong_ = false;
    bool transferStored_ = false;
    std::uint32_t transferFailure_ = 0;
    lensport::WorkerThread releaseThread_;
};

} // namespace canon
