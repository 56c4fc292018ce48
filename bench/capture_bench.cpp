// Capture throughput: a 20 MB picture taken with the simulated camera through the built
// driver's CameraRelease, transferred in 1 MiB blocks, every "Camera Event Progress
// Status" answered by a window on this (pumping) GUI thread, until "Camera Event File
// Received". Next to it, in the same run, the same bytes written sequentially in 1 MiB
// blocks into the same folder. Prints figures; asserts nothing.
#include "driver_harness.h"

#include "platform/window.h"
#include "prsdk/prsdk_control.h"

#include <QEventLoop>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kPictureBytes = 20u << 20;
constexpr std::size_t kBlock = 1u << 20;
constexpr int kRuns = 7;

const std::string kScenario = "[camera]\nmodel = PowerShot A80\npicture = 1600x1200\n"
                              "picture_bytes = " +
                              std::to_string(kPictureBytes) + "\n";

// The notify window: counts progress messages and ends the wait at the end message.
struct Notify {
    UINT progress = RegisterWindowMessageA("Camera Event Progress Status");
    UINT received = RegisterWindowMessageA("Camera Event File Received");
    int progressMessages = 0;
    long number = 0;
    QEventLoop* loop = nullptr;
};
Notify* g_notify = nullptr;

LRESULT NotifyProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_notify != nullptr && msg == g_notify->progress) {
        ++g_notify->progressMessages;
        return 0;
    }
    if (g_notify != nullptr && msg == g_notify->received) {
        g_notify->number = static_cast<long>(lParam);
        if (g_notify->loop != nullptr) g_notify->loop->quit();
        return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

std::string PictureName(const std::string& prefix, long n) {
    char number[32];
    std::snprintf(number, sizeof number, "%06ld.jpg", n);
    return prefix + number;
}

double Megabytes(std::size_t bytes) {
    return static_cast<double>(bytes) / 1e6;
}

// One capture through the driver; seconds from CameraRelease to the end message.
double TimeCapture(drivertest::DriverHarness& h, HWND notify, const std::string& prefix) {
    QEventLoop loop;
    g_notify->loop = &loop;
    g_notify->progressMessages = 0;
    const Clock::time_point start = Clock::now();
    if (h.Driver().CameraRelease(prefix.c_str(), notify) != 1) return -1;
    loop.exec();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    g_notify->loop = nullptr;
    return seconds;
}

// The same bytes written in blocks into a new file, closed; seconds.
double TimePlainWrite(const std::vector<char>& bytes, const std::string& path) {
    const Clock::time_point start = Clock::now();
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    for (std::size_t offset = 0; offset < bytes.size(); offset += kBlock) {
        const std::size_t length = std::min(kBlock, bytes.size() - offset);
        if (write(fd, bytes.data() + offset, length) != static_cast<ssize_t>(length)) {
            close(fd);
            return -1;
        }
    }
    close(fd);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    drivertest::DriverHarness h(kScenario);
    if (!h.Loaded() || h.Create() == nullptr) {
        std::fprintf(stderr, "the driver or its camera is not available in %s\n", CAPDECK_BIN_DIR);
        return 1;
    }
    Notify notify;
    g_notify = &notify;
    auto notifyWidget = std::make_unique<QWidget>();
    HWND notifyWindow = RegisterHostWindow(notifyWidget.get(), &NotifyProc);
    const std::string prefix = h.DataFolder() + "/bench_";
    const std::string plain = h.DataFolder() + "/plain.jpg";

    // The first capture makes the simulated picture; it is not measured.
    if (TimeCapture(h, notifyWindow, prefix) < 0) return 1;
    std::vector<char> bytes(PRSIM_GetLastCapture(nullptr, 0));
    PRSIM_GetLastCapture(bytes.data(), bytes.size());
    unlink(PictureName(prefix, notify.number).c_str());

    std::vector<double> captures;
    std::vector<double> writes;
    int progressMessages = 0;
    for (int run = 0; run < kRuns; ++run) {
        const double capture = TimeCapture(h, notifyWindow, prefix);
        const std::string written = PictureName(prefix, notify.number);
        if (capture < 0 || access(written.c_str(), F_OK) != 0) {
            std::fprintf(stderr, "capture %d did not produce %s\n", run, written.c_str());
            return 1;
        }
        progressMessages = notify.progressMessages;
        unlink(written.c_str());
        const double write = TimePlainWrite(bytes, plain);
        unlink(plain.c_str());
        if (write < 0) return 1;
        captures.push_back(capture);
        writes.push_back(write);
    }

    const double size = Megabytes(bytes.size());
    std::printf("Capture of a %.1f MB picture in 1 MiB blocks, %d progress messages handled per "
                "capture (full image and thumbnail); median of %d runs.\n",
                size, progressMessages, kRuns);
    std::printf("%-44s %10s %10s\n", "", "MB/s", "ms");
    std::printf("%-44s %10.1f %10.2f\n", "CameraRelease to \"Camera Event File Received\"",
                size / Median(captures), 1000 * Median(captures));
    std::printf("%-44s %10.1f %10.2f\n", "plain sequential write of the same bytes",
                size / Median(writes), 1000 * Median(writes));
    std::printf("%-44s %10.2f\n", "ratio capture / plain write (throughput)",
                Median(writes) / Median(captures));
    std::fflush(stdout);
    h.Driver().DestroyModuleWindow();
    g_notify = nullptr;
    return 0;
}
