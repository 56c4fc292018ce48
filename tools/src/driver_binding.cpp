#include "driver_binding.h"

#include "exit_codes.h"
#include "platform/module.h"

namespace lensporttool {
namespace {

template <class Fn> void Bind(HMODULE module, const char* name, Fn* out) {
    *out = reinterpret_cast<Fn>(GetProcAddress(module, name));
    if (*out == nullptr) {
        throw ToolError(kExitDriverMissing, std::string("the camera driver ") + kDriverLibrary +
                                                " has no entry point " + name);
    }
}

} // namespace

DriverBinding LoadDriver() {
    HMODULE module = LoadLibraryA(kDriverLibrary);
    if (module == nullptr) {
        throw ToolError(kExitDriverMissing, std::string("the camera driver ") + kDriverLibrary +
                                                " can't be loaded (looked for lmdhost.so in " +
                                                platform::ProgramFolder() +
                                                " and the library path)");
    }
    DriverBinding d;
    Bind(module, "GenerateCameraList", &d.GenerateCameraList);
    Bind(module, "CreateModuleWindow", &d.CreateModuleWindow);
    Bind(module, "DestroyModuleWindow", &d.DestroyModuleWindow);
    Bind(module, "GetParameter", &d.GetParameter);
    Bind(module, "SetParameter", &d.SetParameter);
    Bind(module, "SetParameterDirect", &d.SetParameterDirect);
    Bind(module, "SetApplicationParameter", &d.SetApplicationParameter);
    Bind(module, "EnumParameterValues", &d.EnumParameterValues);
    Bind(module, "CameraRelease", &d.CameraRelease);
    Bind(module, "CameraStartPreview", &d.CameraStartPreview);
    Bind(module, "CameraStopPreview", &d.CameraStopPreview);
    Bind(module, "CameraIsOnline", &d.CameraIsOnline);
    return d;
}

} // namespace lensporttool
