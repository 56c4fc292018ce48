#include "driver_harness.h"

#include "platform/dialogs.h"
#include "platform/module.h"
#include "platform/window.h"
#include "prsdk/prsdk_control.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace drivertest {
namespace {

std::vector<ReceivedMessage>& Inbox() {
    static std::vector<ReceivedMessage> inbox;
    return inbox;
}

LRESULT RecordingProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= 0xC000) Inbox().push_back({window, msg, wParam, lParam});
    return DefWindowProcA(window, msg, wParam, lParam);
}

std::vector<std::string>& BoxTexts() {
    static std::vector<std::string> texts;
    return texts;
}

} // namespace

QApplication& Application() {
    static int argc = 1;
    static char name[] = "lensport-test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt must not be torn down by the exit handlers after the test.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

DriverHarness::DriverHarness(const std::string& scenario, const std::string& module) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/lensport-test-XXXXXX";
    root_ = mkdtemp(pattern);
    setenv("XDG_DATA_HOME", root_.c_str(), 1);
    dataFolder_ = root_ + "/Quorvel/Lumetta Capture";
    fs::create_directories(dataFolder_);
    platform::SetProgramFolderForTests(LENSPORT_PROGRAM_FOLDER);
    Application();
    // A dialog would stop the test: boxes are recorded and answered.
    platform::SetMessageBoxAnswerer([](const platform::MessageBoxCall& call) {
        BoxTexts().push_back(call.text);
        return IDOK;
    });

    hostWidget_ = std::make_unique<QWidget>();
    hostWidget_->resize(640, 480);
    panelWidget_ = new QWidget(hostWidget_.get());
    panelWidget_->setGeometry(0, 0, 400, 300);
    buttonsWidget_ = new QWidget(hostWidget_.get());
    host_ = RegisterHostWindow(hostWidget_.get(), &RecordingProc);
    panel_ = RegisterHostWindow(panelWidget_, &RecordingProc);
    buttons_ = RegisterHostWindow(buttonsWidget_, &RecordingProc);
    hostWidget_->show();

    // A scenario the simulator refuses would leave the previous cameras in place.
    if (PRSIM_LoadScenarioText(scenario.c_str()) != 0) {
        ADD_FAILURE() << "scenario refused: " << PRSIM_LastError();
    }
    module_ = LoadLibraryA(module.c_str());
    if (module_ == nullptr) return;
    exports_ = lensport::BindDriverExports(
        [this](const char* name) { return GetProcAddress(module_, name); });
}

DriverHarness::~DriverHarness() {
    if (exports_.DestroyModuleWindow != nullptr) exports_.DestroyModuleWindow();
    hostWidget_.reset();
    Inbox().clear();
    BoxTexts().clear();
    platform::SetMessageBoxAnswerer({});
    PRSIM_Reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

const std::vector<std::string>& DriverHarness::Boxes() const {
    return BoxTexts();
}

bool DriverHarness::Unload() {
    const bool freed = FreeLibrary(module_) != FALSE;
    module_ = nullptr;
    exports_ = DriverExports{};
    return freed;
}

std::string DriverHarness::ErrorsLog() const {
    return ReadFile(dataFolder_ + "/errors.log");
}

std::vector<std::string> DriverHarness::LogLines() const {
    std::vector<std::string> lines;
    std::istringstream in(ErrorsLog());
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void DriverHarness::DestroyPanel() {
    delete panelWidget_;
    panelWidget_ = nullptr;
}

HWND DriverHarness::Create() {
    return exports_.CreateModuleWindow(nullptr, panel_, HostIni().c_str(), "Driver");
}

std::vector<ReceivedMessage> DriverHarness::Received(const char* name) const {
    const UINT number = RegisterWindowMessageA(name);
    std::vector<ReceivedMessage> found;
    for (const ReceivedMessage& m : Inbox()) {
        if (m.msg == number) found.push_back(m);
    }
    return found;
}

bool DriverHarness::WaitFor(const std::function<bool()>& pred, int boundMs) {
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > boundMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void DriverHarness::Pump(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

} // namespace drivertest
