// The driver's exported functions. They run on the host's GUI thread, forward to the one
// camera object, and answer with fixed values while there is none. Nothing thrown inside
// the driver crosses this boundary.
#include "lensport/exports.h"
#include "lensport/callback_gate.h"
#include "lensport/driver_backend.h"
#include "platform/profile.h"
#include "platform/window.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#define LENSPORT_EXPORT extern "C" __attribute__((visibility("default")))

namespace lensport {
namespace {

std::unique_ptr<CameraModuleBase> g_camera;
// Each subclassed module window keeps the procedure it had before.
std::map<HWND, WNDPROC> g_previousProcedures;

std::vector<CameraListEntry> g_entries;
CameraList g_list{};

// Ends the object: the state is forgotten first, so anything the teardown lets run
// (messages served while the workers end) finds no object.
void EndCamera(bool close) {
    std::unique_ptr<CameraModuleBase> camera = std::move(g_camera);
    if (!camera) return;
    if (close) camera->Close();
    camera.reset();
}

LRESULT ModuleWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto found = g_previousProcedures.find(window);
    const WNDPROC previous = found == g_previousProcedures.end() ? nullptr : found->second;
    // Only the current object's own window ends it: an older module window that its
    // panel destroys later must not take the new object with it.
    if (msg == WM_DESTROY && g_camera && g_camera->ModuleWindow() == window) EndCamera(true);
    if (msg == WM_NCDESTROY) g_previousProcedures.erase(window);
    return previous != nullptr ? CallWindowProcA(previous, window, msg, wParam, lParam)
                               : DefWindowProcA(window, msg, wParam, lParam);
}

std::string LmdhostIniPath(const std::string& iniPath) {
    const std::size_t slash = iniPath.find_last_of("/\\");
    return (slash == std::string::npos ? std::string() : iniPath.substr(0, slash + 1)) +
           "lmdhost.ini";
}

void CopyText(char* field, std::size_t size, const char* text) {
    std::strncpy(field, text, size - 1);
    field[size - 1] = '\0';
}

void RebuildCameraList() {
    g_entries.clear();
    g_entries.shrink_to_fit();
    for (const ListedCamera& camera : Backend().ListCameras()) {
        CameraListEntry entry{};
        CopyText(entry.name, sizeof entry.name, camera.name.c_str());
        entry.id = camera.id;
        g_entries.push_back(entry);
    }
    CameraListEntry* first = g_entries.empty() ? nullptr : g_entries.data();
    g_list.reserved = nullptr;
    g_list.first = first;
    g_list.last = first == nullptr ? nullptr : first + g_entries.size();
    g_list.end = first == nullptr ? nullptr : first + g_entries.capacity();
}

HWND BuildModuleWindow(HINSTANCE instance, HWND parent, const char* iniPath) {
    EndCamera(false);
    const std::string ini = iniPath != nullptr ? iniPath : "";
    const int loadCamera = static_cast<int>(
        GetPrivateProfileIntA("ActiveCamera", "LoadCamera", 0, LmdhostIniPath(ini).c_str()));
    g_camera = Backend().CreateCamera(loadCamera, ini.c_str());
    if (!g_camera) return nullptr;

    HWND window = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 160,
                                  120, parent, nullptr, instance, nullptr);
    if (window == nullptr) return nullptr;
    const auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ModuleWindowProc)));
    g_previousProcedures[window] = previous;
    ShowWindow(window, SW_SHOW);
    if (Backend().UsesMonitoringInterval()) {
        g_camera->SetMonitoringInterval(static_cast<int>(GetPrivateProfileIntA(
            "Camera", "MonitoringInterval", kDefaultMonitoringInterval, ini.c_str())));
    }
    g_camera->AttachWindow(window);
    g_camera->SetHostParent(parent);
    return window;
}

template <class Result, class Body> Result Guarded(Result fallback, Body&& body) {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

template <class Body> void GuardedVoid(Body&& body) {
    try {
        body();
    } catch (...) {
    }
}

// Module windows outlive an unloaded library: they get their own procedures back.
void RestoreWindowProcedures() {
    for (const auto& [window, previous] : g_previousProcedures) {
        if (IsWindow(window) && previous != nullptr) {
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        }
    }
    g_previousProcedures.clear();
}

// Library detach ends an object the host left behind. The callback gate is made first
// so it is still there when the guard ends the object.
struct DetachGuard {
    DetachGuard() { SdkCallbackGate(); }
    ~DetachGuard() {
        GuardedVoid([] {
            EndCamera(true);
            RestoreWindowProcedures();
        });
    }
} g_detachGuard;

} // namespace
} // namespace lensport

using namespace lensport;

LENSPORT_EXPORT std::int32_t GetLMDInfo(DriverInfo* info) {
    if (info == nullptr) return 0;
    const DriverIdentity identity = Backend().Identity();
    std::memset(info, 0, sizeof *info);
    CopyText(info->description, sizeof info->description, identity.description);
    info->kind = identity.kind;
    CopyText(info->shortName, sizeof info->shortName, identity.shortName);
    return static_cast<std::int32_t>(std::strlen(info->shortName));
}

LENSPORT_EXPORT CameraList* GenerateCameraList() {
    GuardedVoid([] { RebuildCameraList(); });
    return &g_list;
}

LENSPORT_EXPORT HWND CreateModuleWindow(HINSTANCE instance, HWND parent, const char* iniPath,
                                        const char* /*section*/) {
    return Guarded<HWND>(nullptr, [&] { return BuildModuleWindow(instance, parent, iniPath); });
}

LENSPORT_EXPORT void DestroyModuleWindow() {
    GuardedVoid([] { EndCamera(true); });
}

LENSPORT_EXPORT std::int32_t GetParameter(const char* name, std::int32_t defaultValue) {
    if (!g_camera) return defaultValue;
    return Guarded(defaultValue, [&] { return g_camera->GetParameter(name, defaultValue); });
}

LENSPORT_EXPORT void SetParameter(const char* name, std::intptr_t value) {
    if (g_camera) GuardedVoid([&] { g_camera->SetParameter(name, value); });
}

LENSPORT_EXPORT void SetParameterDirect(const char* name, const char* text) {
    if (g_camera) GuardedVoid([&] { g_camera->SetParameterDirect(name, text); });
}

LENSPORT_EXPORT std::uint8_t SetApplicationParameter(const char* name, std::intptr_t value) {
    if (!g_camera) return 0;
    return Guarded<std::uint8_t>(0, [&] { return g_camera->SetApplicationParameter(name, value); });
}

LENSPORT_EXPORT std::int32_t EnumParameterValues(const char* name, const char* iniPath,
                                                 const char* section) {
    if (!g_camera) return 0;
    return Guarded<std::int32_t>(
        0, [&] { return g_camera->EnumParameterValues(name, iniPath, section); });
}

LENSPORT_EXPORT std::int32_t CameraRelease(const char* prefix, HWND notify) {
    if (!g_camera) return -1;
    return Guarded<std::int32_t>(-1, [&] { return g_camera->Release(prefix, notify); });
}

LENSPORT_EXPORT void CameraUpdate() {
    if (g_camera) GuardedVoid([] { g_camera->Update(); });
}

LENSPORT_EXPORT void CameraStartPreview() {
    if (g_camera) GuardedVoid([] { g_camera->StartPreview(); });
}

LENSPORT_EXPORT void CameraStopPreview() {
    if (g_camera) GuardedVoid([] { g_camera->StopPreview(); });
}

LENSPORT_EXPORT std::uint8_t CameraIsOnline() {
    if (!g_camera) return 0;
    return Guarded<std::uint8_t>(0, [] { return Backend().IsOnline(*g_camera) ? 1 : 0; });
}
