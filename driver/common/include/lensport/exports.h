// The driver's exported functions, as hosts and panels bind them by name. Every "value"
// that may carry an address or a window handle is pointer-sized.
#pragma once

#include "lensport/records.h"
#include "platform/types.h"

#include <cstdint>

extern "C" {
using GetLMDInfoFn = std::int32_t (*)(lensport::DriverInfo* info);
using GenerateCameraListFn = lensport::CameraList* (*)();
using CreateModuleWindowFn = HWND (*)(HINSTANCE instance, HWND parent, const char* iniPath,
                                      const char* section);
using DestroyModuleWindowFn = void (*)();
using GetParameterFn = std::int32_t (*)(const char* name, std::int32_t defaultValue);
using SetParameterFn = void (*)(const char* name, std::intptr_t value);
using SetParameterDirectFn = void (*)(const char* name, const char* text);
using SetApplicationParameterFn = std::uint8_t (*)(const char* name, std::intptr_t value);
using EnumParameterValuesFn = std::int32_t (*)(const char* name, const char* iniPath,
                                               const char* section);
using CameraReleaseFn = std::int32_t (*)(const char* prefix, HWND notify);
using CameraUpdateFn = void (*)();
using CameraStartPreviewFn = void (*)();
using CameraStopPreviewFn = void (*)();
using CameraIsOnlineFn = std::uint8_t (*)();
}

namespace lensport {
// The names, in the order the driver exports them.
inline constexpr const char* kExportNames[] = {
    "GetLMDInfo",          "GenerateCameraList", "CreateModuleWindow", "DestroyModuleWindow",
    "GetParameter",        "SetParameter",       "SetParameterDirect", "SetApplicationParameter",
    "EnumParameterValues", "CameraRelease",      "CameraUpdate",       "CameraStartPreview",
    "CameraStopPreview",   "CameraIsOnline"};
} // namespace lensport
