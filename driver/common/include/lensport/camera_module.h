// The one camera object behind the exports. The virtual operations keep a fixed slot
// order shared by every backend; CameraModuleBase holds the state the exports and the
// common services rely on.
#pragma once

#include "lensport/preview_settings.h"
#include "platform/types.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace lensport {

class CameraModule {
public:
    // Slot 0 (Destroy): the deleting destructor.
    virtual ~CameraModule() = default;
    virtual bool AttachWindow(HWND window) = 0;
    virtual bool Close() = 0;
    virtual bool SetParameter(const char* name, std::intptr_t value) = 0;
    virtual std::uint8_t SetApplicationParameter(const char* name, std::intptr_t value) = 0;
    virtual bool SetParameterDirect(const char* name, const char* text) = 0;
    virtual std::int32_t GetParameter(const char* name, std::int32_t defaultValue) = 0;
    virtual std::int32_t EnumParameterValues(const char* name, const char* listFile,
                                             const char* section) = 0;
    virtual std::int32_t Release(const char* prefix, HWND notify) = 0;
    virtual bool Update() = 0;
    virtual bool StopPreview() = 0;
    virtual bool StartPreview() = 0;
};

// Longest ini path the object keeps.
inline constexpr std::size_t kMaxIniPath = 254;
// USB monitoring period when the host ini has none, and the bounds applied to the
// configured value (a zero or huge period would spin or never look).
inline constexpr int kDefaultMonitoringInterval = 3000;
inline constexpr int kMinMonitoringInterval = 10;
inline constexpr int kMaxMonitoringInterval = 3600 * 1000;

class CameraModuleBase : public CameraModule {
public:
    CameraModuleBase(int loadCamera, const char* iniPath);

    HWND ModuleWindow() const { return window_.load(); }
    HWND HostParent() const { return hostParent_.load(); }
    void SetHostParent(HWND parent) { hostParent_.store(parent); }
    int LoadCameraIndex() const { return loadCamera_; }
    int MonitoringInterval() const { return monitoringInterval_.load(); }
    void SetMonitoringInterval(int milliseconds);
    bool Running() const { return running_.load(); }
    const std::string& IniPath() const { return iniPath_; }
    PreviewSettings& Settings() { return settings_; }

protected:
    void SetModuleWindow(HWND window) { window_.store(window); }
    void SetRunning(bool running) { running_.store(running); }

private:
    std::atomic<HWND> window_{nullptr};
    std::atomic<HWND> hostParent_{nullptr};
    int loadCamera_;
    std::atomic<int> monitoringInterval_{kDefaultMonitoringInterval};
    std::atomic<bool> running_{false};
    std::string iniPath_;
    PreviewSettings settings_;
};

} // namespace lensport
