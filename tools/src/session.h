// A host for the driver inside the tool: a hidden top-level window with a panel for
// the driver's module window and a notify window for captures, all on the GUI thread,
// whose event loop delivers the driver's messages while a command waits.
#pragma once

#include "data_files.h"
#include "driver_binding.h"
#include "platform/types.h"

#include <chrono>
#include <functional>
#include <memory>

class QEventLoop;
class QWidget;

namespace lensporttool {

class Session {
public:
    // Preview frames are drawn at this size from the module window's corner.
    static constexpr int kFrameWidth = 320;
    static constexpr int kFrameHeight = 240;

    Session(const DriverBinding& driver, const DataFiles& files);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Builds the driver's camera object on the panel, as the host does, and checks that
    // the camera answers; throws ToolError (kExitNoCamera) otherwise.
    void OpenCamera();
    HWND ModuleWindow() const { return module_; }
    HWND NotifyWindow() const { return notify_; }

    // What the driver reports; each runs on the GUI thread inside Wait.
    std::function<void(int percent)> onProgress;
    std::function<void(long counter)> onFileReceived;
    bool CameraShutDown() const { return shutdown_; }

    // Runs the event loop until done() holds or the bound passes; done() is checked
    // after every driver message and, with a poll interval, on that timer too.
    // Returns done().
    bool Wait(const std::function<bool()>& done, std::chrono::milliseconds bound,
              std::chrono::milliseconds poll = std::chrono::milliseconds(0));

private:
    static LRESULT HostProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT NotifyProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    void WakeWaiter();
    std::string TakeInitError() const;

    const DriverBinding& driver_;
    const DataFiles& files_;
    std::unique_ptr<QWidget> host_;
    HWND hostWindow_ = nullptr;
    HWND panel_ = nullptr;
    HWND notify_ = nullptr;
    HWND module_ = nullptr;
    UINT fileReceived_ = 0;
    UINT progress_ = 0;
    UINT goingToShutdown_ = 0;
    bool shutdown_ = false;
    QEventLoop* waiting_ = nullptr;
};

} // namespace lensporttool
