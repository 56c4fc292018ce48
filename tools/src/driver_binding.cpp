#include "driver_binding.h"

#include "exit_codes.h"
#include "platform/module.h"

#include <string>
#include <string_view>

namespace lensporttool {
namespace {

// The driver's entry points the tool never calls; a driver without them still serves.
bool Optional(std::string_view name) {
    return name == "GetLMDInfo" || name == "CameraUpdate";
}

FARPROC Resolve(HMODULE module, const char* name) {
    const FARPROC address = GetProcAddress(module, name);
    if (address == nullptr && !Optional(name)) {
        throw ToolError(kExitDriverMissing, std::string("the camera driver ") + kDriverLibrary +
                                                " has no entry point " + name);
    }
    return address;
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
    return lensport::BindDriverExports(
        [module](const char* name) { return Resolve(module, name); });
}

} // namespace lensporttool
