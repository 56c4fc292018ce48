// The thread keyboard hook: an application event filter on the GUI thread that calls the
// newest hook once per key press and once per key release, with Windows virtual-key
// codes. Hooks chain through CallNextHookEx; a non-zero answer swallows the key.
#include "window_internal.h"

#include "platform/hook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace platform::detail {
namespace {

struct Hook {
    HOOKPROC proc;
};

struct KeyMapping {
    int qtFirst;
    int qtLast;
    int vkFirst;
};

// Ranges map one to one.
constexpr KeyMapping kKeyMap[] = {
    {Qt::Key_A, Qt::Key_Z, 'A'},
    {Qt::Key_0, Qt::Key_9, '0'},
    {Qt::Key_F1, Qt::Key_F24, 0x70},
    {Qt::Key_Escape, Qt::Key_Escape, 0x1B},
    {Qt::Key_Return, Qt::Key_Return, 0x0D},
    {Qt::Key_Enter, Qt::Key_Enter, 0x0D},
    {Qt::Key_Space, Qt::Key_Space, 0x20},
    {Qt::Key_Tab, Qt::Key_Tab, 0x09},
    {Qt::Key_Backspace, Qt::Key_Backspace, 0x08},
    {Qt::Key_Insert, Qt::Key_Insert, 0x2D},
    {Qt::Key_Delete, Qt::Key_Delete, 0x2E},
    {Qt::Key_Home, Qt::Key_Home, 0x24},
    {Qt::Key_End, Qt::Key_End, 0x23},
    {Qt::Key_PageUp, Qt::Key_PageUp, 0x21},
    {Qt::Key_PageDown, Qt::Key_PageDown, 0x22},
    {Qt::Key_Left, Qt::Key_Left, 0x25},
    {Qt::Key_Up, Qt::Key_Up, 0x26},
    {Qt::Key_Right, Qt::Key_Right, 0x27},
    {Qt::Key_Down, Qt::Key_Down, 0x28},
    {Qt::Key_Shift, Qt::Key_Shift, 0x10},
    {Qt::Key_Control, Qt::Key_Control, 0x11},
    {Qt::Key_Alt, Qt::Key_Alt, 0x12},
    {Qt::Key_Pause, Qt::Key_Pause, 0x13},
};

int VirtualKey(int qtKey) {
    for (const auto& range : kKeyMap) {
        if (qtKey >= range.qtFirst && qtKey <= range.qtLast) {
            return range.vkFirst + (qtKey - range.qtFirst);
        }
    }
    return 0;
}

// Repeat count in bits 0-15, alt in 29, previous state in 30, release in 31.
LPARAM KeyFlags(const QKeyEvent& key) {
    const bool release = key.type() == QEvent::KeyRelease;
    std::uint32_t flags = std::max(key.count(), 1) & 0xFFFF;
    if ((key.modifiers() & Qt::AltModifier) != 0) flags |= 1u << 29;
    if (release || key.isAutoRepeat()) flags |= 1u << 30;
    if (release) flags |= 1u << 31;
    return static_cast<LPARAM>(flags);
}

class KeyFilter;

struct HookState {
    std::vector<Hook*> hooks; // newest first; GUI thread only
    KeyFilter* filter = nullptr;
};

HookState& State() {
    static HookState state;
    return state;
}

LRESULT CallHook(std::size_t index, int code, WPARAM wParam, LPARAM lParam) {
    const auto& hooks = State().hooks;
    return index < hooks.size() ? hooks[index]->proc(code, wParam, lParam) : 0;
}

// Qt delivers one key event to the window, then to the focus widget and on to its
// parents while they ignore it; the hook must see it once.
class KeyFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) {
            return false;
        }
        if (IsSameDelivery(receiver, event)) return lastAnswer_;
        last_ = event;
        lastReceiver_ = receiver;
        const auto* key = static_cast<QKeyEvent*>(event);
        const int vk = VirtualKey(key->key());
        lastAnswer_ = vk != 0 && CallHook(0, 0, static_cast<WPARAM>(vk), KeyFlags(*key)) != 0;
        return lastAnswer_;
    }

private:
    bool IsSameDelivery(QObject* receiver, QEvent* event) const {
        if (event != last_ || lastReceiver_ == nullptr) return false;
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (widget == nullptr) return false;
        if (auto* window = qobject_cast<QWindow*>(lastReceiver_.data())) {
            return widget->window()->windowHandle() == window;
        }
        auto* previous = qobject_cast<QWidget*>(lastReceiver_.data());
        return previous != nullptr && widget != previous && widget->isAncestorOf(previous);
    }

    const QEvent* last_ = nullptr;
    QPointer<QObject> lastReceiver_;
    bool lastAnswer_ = false;
};

} // namespace
} // namespace platform::detail

using namespace platform::detail;

HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE, DWORD) {
    if (idHook != WH_KEYBOARD || proc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!platform::GuiAvailable() || !OnGuiThread()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto& state = State();
    auto* hook = new Hook{proc};
    state.hooks.insert(state.hooks.begin(), hook);
    if (state.filter == nullptr) {
        state.filter = new KeyFilter(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(state.filter);
    }
    return reinterpret_cast<HHOOK>(hook);
}

BOOL UnhookWindowsHookEx(HHOOK handle) {
    if (!OnGuiThread()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    auto& state = State();
    auto* hook = reinterpret_cast<Hook*>(handle);
    auto it = std::find(state.hooks.begin(), state.hooks.end(), hook);
    if (it == state.hooks.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    state.hooks.erase(it);
    delete hook;
    if (state.hooks.empty() && state.filter != nullptr) {
        delete state.filter;
        state.filter = nullptr;
    }
    return TRUE;
}

LRESULT CallNextHookEx(HHOOK handle, int code, WPARAM wParam, LPARAM lParam) {
    if (!OnGuiThread()) return 0;
    const auto& hooks = State().hooks;
    auto it = std::find(hooks.begin(), hooks.end(), reinterpret_cast<Hook*>(handle));
    if (it == hooks.end()) return 0;
    return CallHook(static_cast<std::size_t>(it - hooks.begin()) + 1, code, wParam, lParam);
}
