#include "lensport/messages.h"

#include "platform/window.h"

#include <array>
#include <atomic>

namespace lensport {
namespace {

struct MessageEntry {
    DriverMessage id;
    const char* name;
    bool required; // the session can't run when this one is missing
};

constexpr std::array<MessageEntry, static_cast<std::size_t>(DriverMessage::Count)> kMessages{{
    {DriverMessage::FileReceived, "Camera Event File Received", true},
    {DriverMessage::ProgressStatus, "Camera Event Progress Status", true},
    {DriverMessage::GoingToShutdown, "Camera going to shutdown", true},
    {DriverMessage::ReleaseButtonPressed, "Camera release button pressed", false},
    {DriverMessage::AngleChanged, "AndleChanged", false},
    {DriverMessage::ChangedByUi, "Camera changed by UI", false},
    {DriverMessage::ReleaseOn, "Camera Event ReleaseOn", true},
    {DriverMessage::ReleaseComplete, "Camera Event ReleaseComplete", true},
    {DriverMessage::AbortPcEvf, "Camera Event Abort PC EVF", true},
    {DriverMessage::ChangeByUi, "Camera Event Change By UI", true},
}};

std::array<std::atomic<UINT>, kMessages.size()> g_numbers{};

std::size_t IndexOf(DriverMessage message) {
    return static_cast<std::size_t>(message);
}

} // namespace

const char* DriverMessageName(DriverMessage message) {
    return IndexOf(message) < kMessages.size() ? kMessages[IndexOf(message)].name : "";
}

bool RegisterDriverMessages() {
    bool complete = true;
    for (const MessageEntry& entry : kMessages) {
        const UINT number = RegisterWindowMessageA(entry.name);
        g_numbers[IndexOf(entry.id)].store(number);
        if (number == 0 && entry.required) complete = false;
    }
    return complete;
}

UINT DriverMessageNumber(DriverMessage message) {
    return IndexOf(message) < g_numbers.size() ? g_numbers[IndexOf(message)].load() : 0;
}

bool PostDriverMessage(HWND target, DriverMessage message, WPARAM wParam, LPARAM lParam) {
    const UINT number = DriverMessageNumber(message);
    if (target == nullptr || number == 0) return false;
    return PostMessageA(target, number, wParam, lParam) != FALSE;
}

LRESULT SendDriverMessage(HWND target, DriverMessage message, WPARAM wParam, LPARAM lParam) {
    const UINT number = DriverMessageNumber(message);
    if (target == nullptr || number == 0) return 0;
    return SendMessageA(target, number, wParam, lParam);
}

HWND TopLevelAncestor(HWND window) {
    // Bounded walk: a window tree is never this deep, a cycle must not hang a worker.
    constexpr int kMaxDepth = 1000;
    for (int depth = 0; window != nullptr && depth < kMaxDepth; ++depth) {
        HWND parent = GetParent(window);
        if (parent == nullptr) return window;
        window = parent;
    }
    return window;
}

} // namespace lensport
