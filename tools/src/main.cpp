// lensport: tethered shooting from the command line, through the installed camera
// driver and the host's data folder.
#include "arguments.h"
#include "commands.h"
#include "data_files.h"
#include "driver_binding.h"
#include "exit_codes.h"
#include "platform/dialogs.h"
#include "platform/shell.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace lensporttool;

namespace {

// Without a display Qt would refuse to start; the tool never shows a window anyway.
void ChooseHeadlessPlatform() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool hasDisplay =
        (display != nullptr && *display != '\0') || (wayland != nullptr && *wayland != '\0');
    if (!hasDisplay) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
        const std::string runtime = platform::RuntimeFolder();
        if (!runtime.empty()) setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
}

// Nobody could answer a dialog of the driver: its text goes to stderr.
int ReportMessageBox(const platform::MessageBoxCall& call) {
    std::fprintf(stderr, "lensport: driver message [%s]: %s\n", call.caption.c_str(),
                 call.text.c_str());
    return IDOK;
}

int RunCommand(const Options& options) {
    const DataFiles files = PrepareDataFolder();
    const DriverBinding driver = LoadDriver();
    switch (options.command) {
    case Command::Cameras:
        return RunCameras(driver, files);
    case Command::Get:
        return RunGet(options, driver, files);
    case Command::Set:
        return RunSet(options, driver, files);
    case Command::Capture:
        return RunCapture(options, driver, files);
    case Command::LiveView:
        return RunLiveView(options, driver, files);
    case Command::Help:
        break;
    }
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = ParseArguments(args);
    if (!parsed.ok) {
        std::fprintf(stderr, "lensport: %s\nTry 'lensport --help'.\n", parsed.error.c_str());
        return kExitUsage;
    }
    if (parsed.options.command == Command::Help) {
        std::fputs(UsageText().c_str(), stdout);
        return kExitOk;
    }
    ChooseHeadlessPlatform();
    QApplication app(argc, argv);
    platform::SetMessageBoxAnswerer(&ReportMessageBox);
    try {
        return RunCommand(parsed.options);
    } catch (const ToolError& error) {
        std::fprintf(stderr, "lensport: %s\n", error.what());
        return error.Code();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lensport: %s\n", error.what());
        return kExitFailure;
    }
}
