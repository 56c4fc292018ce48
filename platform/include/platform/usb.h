// The number of USB still-image interfaces: the real ones under sysfs plus the devices
// a simulated camera SDK has attached in this process.
#pragma once

#include "platform/types.h"

namespace platform {
DWORD UsbStillImageCount();
// Called by simulated SDKs when a simulated camera is plugged in (+1) or out (-1).
void UsbSimulatedAttach(int delta);
// Overrides the sysfs root (tests).
void SetUsbSysfsRootForTests(const char* root);
} // namespace platform
