// Loads the built driver through the platform layer and drives it as the host does:
// a Qt application, a host window with a panel, a temporary data folder, and the
// simulated cameras of PRSDK.
#pragma once

#include "lensport/exports.h"
#include "platform/types.h"

#include <QApplication>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace drivertest {

struct ReceivedMessage {
    HWND window;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

using DriverExports = lensport::DriverExports;

class DriverHarness {
public:
    // Creates the data folder, the Qt application (once per process) and the host
    // windows, loads the scenario and binds the driver module named (in the program
    // folder).
    explicit DriverHarness(const std::string& scenario,
                           const std::string& module = "lmdhost-canon.dll");
    ~DriverHarness();

    const DriverExports& Driver() const { return exports_; }
    bool Loaded() const { return module_ != nullptr; }
    // Unloads the driver module (its exports are gone afterwards).
    bool Unload();

    std::string DataFolder() const { return dataFolder_; }
    std::string HostIni() const { return dataFolder_ + "/Capdeck.ini"; }
    std::string LmdhostIni() const { return dataFolder_ + "/lmdhost.ini"; }
    std::string ErrorsLog() const;
    std::vector<std::string> LogLines() const;

    HWND HostWindow() const { return host_; }
    HWND PanelWindow() const { return panel_; }
    HWND ButtonsWindow() const { return buttons_; }
    QWidget* Panel() const { return panelWidget_; }
    void DestroyPanel();

    // Builds the driver's object on the panel.
    HWND Create();

    // Messages received by the host, panel and buttons windows (GUI thread).
    std::vector<ReceivedMessage> Received(const char* name) const;
    // Runs the event loop until pred holds or the generous bound passes.
    // Message boxes the driver showed (recorded, answered with OK).
    const std::vector<std::string>& Boxes() const;
    bool WaitFor(const std::function<bool()>& pred, int boundMs = 20000);
    void Pump(int ms);

private:
    std::string root_;
    std::string dataFolder_;
    HMODULE module_ = nullptr;
    DriverExports exports_;
    std::unique_ptr<QWidget> hostWidget_;
    QWidget* panelWidget_ = nullptr;
    QWidget* buttonsWidget_ = nullptr;
    HWND host_ = nullptr;
    HWND panel_ = nullptr;
    HWND buttons_ = nullptr;
};

// The whole process shares one QApplication.
QApplication& Application();
std::string ReadFile(const std::string& path);

} // namespace drivertest
