// The driver's entry points, bound by name from "lmdhost.dll" exactly as the host binds
// them. The library is never unloaded (the host doesn't either).
#pragma once

#include "lensport/exports.h"

#include <string>

namespace lensporttool {

using DriverBinding = lensport::DriverExports;

inline constexpr const char* kDriverLibrary = "lmdhost.dll";

// Loads the driver and binds every entry point the tool uses; throws ToolError
// (kExitDriverMissing) naming the library or the missing entry point.
DriverBinding LoadDriver();

} // namespace lensporttool
