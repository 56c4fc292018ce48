// What a backend (one camera vendor's build) plugs into the common framework: its
// identity, the connected cameras, and the factory of its camera object.
#pragma once

#include "lensport/camera_module.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lensport {

struct DriverIdentity {
    const char* description;
    std::int32_t kind;
    const char* shortName;
};

struct ListedCamera {
    std::string name;
    std::int32_t id;
};

class DriverBackend {
public:
    virtual ~DriverBackend() = default;
    virtual DriverIdentity Identity() const = 0;
    // The connected cameras in the SDK's order; empty when the SDK can't tell.
    virtual std::vector<ListedCamera> ListCameras() const = 0;
    // Builds the camera object. Never null: a failure leaves an object without a camera.
    virtual std::unique_ptr<CameraModuleBase> CreateCamera(int loadCamera,
                                                           const char* iniPath) const = 0;
    // Whether CreateModuleWindow reads the USB monitoring interval for this build.
    virtual bool UsesMonitoringInterval() const = 0;
    // CameraIsOnline of an existing object.
    virtual bool IsOnline(CameraModuleBase& camera) const = 0;
};

// Defined once by each backend.
const DriverBackend& Backend();

} // namespace lensport
