// A camera object reduced to its preview: the module window, the detector images and
// the pipeline, running from construction to destruction. Shared by the preview tests and
// the live-view benchmark.
#pragma once

#include "lensport/camera_module.h"
#include "lensport/face_library.h"
#include "lensport/preview.h"
#include "platform/types.h"

#include <cstdint>

namespace previewtest {

class PreviewCamera final : public lensport::CameraModuleBase {
public:
    explicit PreviewCamera(HWND window) : CameraModuleBase(0, "") {
        SetModuleWindow(window);
        images_.Create();
        SetRunning(true);
        pipeline_.Start();
    }
    ~PreviewCamera() override {
        SetRunning(false);
        pipeline_.Stop();
    }
    bool AttachWindow(HWND) override { return true; }
    bool Close() override { return true; }
    bool SetParameter(const char*, std::intptr_t) override { return false; }
    std::uint8_t SetApplicationParameter(const char* name, std::intptr_t value) override {
        return Settings().Apply(name, value);
    }
    bool SetParameterDirect(const char*, const char*) override { return false; }
    std::int32_t GetParameter(const char*, std::int32_t d) override { return d; }
    std::int32_t EnumParameterValues(const char*, const char*, const char*) override { return 0; }
    std::int32_t Release(const char*, HWND) override { return -1; }
    bool Update() override { return false; }
    bool StopPreview() override { return true; }
    bool StartPreview() override { return true; }

    lensport::PreviewPipeline& Pipeline() { return pipeline_; }
    const lensport::IdPhotoProcessor& IdPhoto() const { return pipeline_.IdPhoto(); }

private:
    lensport::DetectorImages images_;
    lensport::PreviewPipeline pipeline_{*this, images_};
};

} // namespace previewtest
