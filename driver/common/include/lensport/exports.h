// The driver's exported functions, as hosts and panels bind them by name. Every "value"
// that may carry an address or a window handle is pointer-sized.
#pragma once

#include "lensport/records.h"
#include "platform/types.h"

#include <cstdint>
#include <type_traits>

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

// The entry points as a host binds them; unresolved ones stay null.
struct DriverExports {
    GetLMDInfoFn GetLMDInfo = nullptr;
    GenerateCameraListFn GenerateCameraList = nullptr;
    CreateModuleWindowFn CreateModuleWindow = nullptr;
    DestroyModuleWindowFn DestroyModuleWindow = nullptr;
    GetParameterFn GetParameter = nullptr;
    SetParameterFn SetParameter = nullptr;
    SetParameterDirectFn SetParameterDirect = nullptr;
    SetApplicationParameterFn SetApplicationParameter = nullptr;
    EnumParameterValuesFn EnumParameterValues = nullptr;
    CameraReleaseFn CameraRelease = nullptr;
    CameraUpdateFn CameraUpdate = nullptr;
    CameraStartPreviewFn CameraStartPreview = nullptr;
    CameraStopPreviewFn CameraStopPreview = nullptr;
    CameraIsOnlineFn CameraIsOnline = nullptr;
};

// Binds every entry point by name: resolve(name) gives its address, null when missing
// (a caller that needs the entry point may throw from there). One list of names and
// members for every program that loads the driver.
template <class Resolve> DriverExports BindDriverExports(Resolve&& resolve) {
    DriverExports e;
    const auto bind = [&](const char* name, auto& slot) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(resolve(name));
    };
    bind("GetLMDInfo", e.GetLMDInfo);
    bind("GenerateCameraList", e.GenerateCameraList);
    bind("CreateModuleWindow", e.CreateModuleWindow);
    bind("DestroyModuleWindow", e.DestroyModuleWindow);
    bind("GetParameter", e.GetParameter);
    bind("SetParameter", e.SetParameter);
    bind("SetParameterDirect", e.SetParameterDirect);
    bind("SetApplicationParameter", e.SetApplicationParameter);
    bind("EnumParameterValues", e.EnumParameterValues);
    bind("CameraRelease", e.CameraRelease);
    bind("CameraUpdate", e.CameraUpdate);
    bind("CameraStartPreview", e.CameraStartPreview);
    bind("CameraStopPreview", e.CameraStopPreview);
    bind("CameraIsOnline", e.CameraIsOnline);
    return e;
}

// The names, in the order the driver exports them.
inline constexpr const char* kExportNames[] = {
    "GetLMDInfo",          "GenerateCameraList", "CreateModuleWindow", "DestroyModuleWindow",
    "GetParameter",        "SetParameter",       "SetParameterDirect", "SetApplicationParameter",
    "EnumParameterValues", "CameraRelease",      "CameraUpdate",       "CameraStartPreview",
    "CameraStopPreview",   "CameraIsOnline"};
} // namespace lensport
