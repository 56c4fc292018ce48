// The Canon build's part of the framework: its identity, the connected cameras and the
// factory of CanonCamera.
#include "canon_camera.h"
#include "device_list.h"
#include "lensport/driver_backend.h"

namespace canon {
namespace {

constexpr std::int32_t kFirstCameraId = 25500;
constexpr std::size_t kListModelBytes = 39;

class CanonBackend final : public lensport::DriverBackend {
public:
    lensport::DriverIdentity Identity() const override {
        return {"Driver for Canon Digital Cameras (PsReSDK)", 100, " (Canon PR-SDK)"};
    }

    // The SDK is started for the question and left running.
    std::vector<lensport::ListedCamera> ListCameras() const override {
        std::vector<lensport::ListedCamera> cameras;
        if (PR_StartSDK() != PR_OK) return cameras;
        DeviceList devices;
        if (devices.Read(kListRoomForTen, true) != PR_OK) return cameras;
        for (std::uint32_t i = 0; i < devices.Count(); ++i) {
            cameras.push_back(
                {devices.Model(i, kListModelBytes), kFirstCameraId + static_cast<std::int32_t>(i)});
        }
        return cameras;
    }

    std::unique_ptr<lensport::CameraModuleBase> CreateCamera(int loadCamera,
                                                             const char* iniPath) const override {
        return std::make_unique<CanonCamera>(loadCamera, iniPath);
    }

    bool UsesMonitoringInterval() const override { return true; }

    bool IsOnline(lensport::CameraModuleBase& camera) const override {
        return static_cast<CanonCamera&>(camera).Probe();
    }
};

} // namespace
} // namespace canon

const lensport::DriverBackend& lensport::Backend() {
    static const canon::CanonBackend backend;
    return backend;
}
