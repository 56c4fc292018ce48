// The commands of lensport. Each returns its exit code or throws ToolError.
#pragma once

#include "arguments.h"
#include "data_files.h"
#include "driver_binding.h"

namespace lensporttool {

int RunCameras(const DriverBinding& driver, const DataFiles& files);
int RunGet(const Options& options, const DriverBinding& driver, const DataFiles& files);
int RunSet(const Options& options, const DriverBinding& driver, const DataFiles& files);
int RunCapture(const Options& options, const DriverBinding& driver, const DataFiles& files);
int RunLiveView(const Options& options, const DriverBinding& driver, const DataFiles& files);

} // namespace lensporttool
