#include "session.h"

#include "camera_list.h"
#include "exit_codes.h"
#include "platform/profile.h"
#include "platform/window.h"

#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace lensporttool {
namespace {

// The host hands the driver its panel section; the driver ignores it.
constexpr const char* kDriverSection = "lmdhost";

Session* SessionOf(HWND window) {
    return reinterpret_cast<Session*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

} // namespace

Session::Session(const DriverBinding& driver, const DataFiles& files)
    : driver_(driver), files_(files) {
    fileReceived_ = RegisterWindowMessageA("Camera Event File Received");
    progress_ = RegisterWindowMessageA("Camera Event Progress Status");
    goingToShutdown_ = RegisterWindowMessageA("Camera going to shutdown");

    // Never shown: the driver draws into backing images, which need no screen.
    host_ = std::make_unique<QWidget>();
    host_->resize(kFrameWidth, kFrameHeight);
    auto* panel = new QWidget(host_.get());
    panel->setGeometry(0, 0, kFrameWidth, kFrameHeight);
    auto* notify = new QWidget(host_.get());
    hostWindow_ = RegisterHostWindow(host_.get(), &Session::HostProc);
    panel_ = RegisterHostWindow(panel);
    notify_ = RegisterHostWindow(notify, &Session::NotifyProc);
    if (hostWindow_ == nullptr || panel_ == nullptr || notify_ == nullptr) {
        throw ToolError(kExitFailure, "can't create the host windows for the driver");
    }
    SetWindowLongPtrA(hostWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(notify_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Session::~Session() {
    // The driver ends its camera object (workers, SDK session) before its window goes.
    if (module_ != nullptr) driver_.DestroyModuleWindow();
    SetWindowLongPtrA(hostWindow_, GWLP_USERDATA, 0);
    SetWindowLongPtrA(notify_, GWLP_USERDATA, 0);
    host_.reset();
}

// Like the host: a failed initialisation leaves its reason in Capdeck.ini, which is
// read and cleared after the driver was created.
std::string Session::TakeInitError() const {
    const std::string error =
        platform::ProfileString(files_.capdeckIni, "LibError", "InitError", "");
    if (!error.empty())
        platform::WriteProfileString(files_.capdeckIni, "LibError", "InitError", "");
    return error;
}

void Session::OpenCamera() {
    const std::size_t connected = ReadCameraList(driver_).size();
    if (connected == 0) throw ToolError(kExitNoCamera, "no camera connected");
    TakeInitError();
    module_ =
        driver_.CreateModuleWindow(nullptr, panel_, files_.capdeckIni.c_str(), kDriverSection);
    const std::string initError = TakeInitError();
    if (module_ == nullptr) {
        throw ToolError(kExitFailure, "the camera driver could not create its window" +
                                          (initError.empty() ? "" : " (" + initError + ")"));
    }
    // The host makes the module window fill its panel; frames are drawn at 320 x 240.
    MoveWindow(module_, 0, 0, kFrameWidth, kFrameHeight, TRUE);
    if (driver_.CameraIsOnline() == 0) {
        const int active = platform::ProfileInt(files_.lmdhostIni, "ActiveCamera", "LoadCamera", 0);
        throw ToolError(kExitNoCamera,
                        "the camera at position " + std::to_string(active) +
                            " (lmdhost.ini [ActiveCamera] LoadCamera) does not answer; " +
                            std::to_string(connected) + " camera(s) connected" +
                            (initError.empty() ? "" : "; driver reported " + initError));
    }
}

LRESULT Session::HostProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    Session* self = SessionOf(window);
    if (self != nullptr && msg == self->goingToShutdown_) {
        self->shutdown_ = true;
        self->WakeWaiter();
        return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

LRESULT Session::NotifyProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    Session* self = SessionOf(window);
    if (self == nullptr) return DefWindowProcA(window, msg, wParam, lParam);
    if (msg == self->progress_) {
        // Sent from the transfer: answered at once, the transfer waits for it.
        const int percent = static_cast<int>(std::min<WPARAM>(wParam, 100));
        if (self->onProgress) self->onProgress(percent);
        self->WakeWaiter();
        return 0;
    }
    if (msg == self->fileReceived_) {
        if (self->onFileReceived) self->onFileReceived(static_cast<long>(lParam));
        self->WakeWaiter();
        return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

void Session::WakeWaiter() {
    if (waiting_ != nullptr) waiting_->quit();
}

bool Session::Wait(const std::function<bool()>& done, std::chrono::milliseconds bound,
                   std::chrono::milliseconds poll) {
    QEventLoop loop;
    bool expired = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        expired = true;
        loop.quit();
    });
    QTimer poller;
    QObject::connect(&poller, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    deadline.start(bound);
    if (poll.count() > 0) poller.start(poll);
    QEventLoop* outer = waiting_;
    waiting_ = &loop;
    while (!done() && !expired && !shutdown_)
        loop.exec();
    waiting_ = outer;
    return done();
}

} // namespace lensporttool
