// USB still-image interfaces (class 06) counted from sysfs, plus simulated cameras.
#include "platform/usb.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

namespace platform::detail {
namespace {

constexpr const char* kDefaultRoot = "/sys/bus/usb/devices";
constexpr const char* kStillImageClass = "06";

std::mutex rootMutex;
std::string sysfsRoot = kDefaultRoot;
std::atomic<int> simulated{0};

std::string Root() {
    std::lock_guard lock(rootMutex);
    return sysfsRoot;
}

bool IsStillImageInterface(const std::filesystem::path& device) {
    std::ifstream in(device / "bInterfaceClass");
    std::string value;
    return static_cast<bool>(in >> value) && value == kStillImageClass;
}

} // namespace
} // namespace platform::detail

namespace platform {

DWORD UsbStillImageCount() {
    DWORD count = 0;
    std::error_code error;
    // Devices come and go while we look; an entry that vanishes is simply not counted.
    for (std::filesystem::directory_iterator it(detail::Root(), error), end; !error && it != end;
         it.increment(error)) {
        if (detail::IsStillImageInterface(it->path())) ++count;
    }
    return count + static_cast<DWORD>(detail::simulated.load());
}

void UsbSimulatedAttach(int delta) {
    int current = detail::simulated.load();
    // Never below zero: an unbalanced detach must not wrap the count.
    while (!detail::simulated.compare_exchange_weak(current, std::max(0, current + delta))) {
    }
}

void SetUsbSysfsRootForTests(const char* root) {
    std::lock_guard lock(detail::rootMutex);
    detail::sysfsRoot = root != nullptr ? root : detail::kDefaultRoot;
}

} // namespace platform
