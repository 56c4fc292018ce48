// The window table: handles for host widgets, "STATIC" child windows (a widget that paints
// its backing image) and message-only windows (HWND_MESSAGE, no widget, any thread),
// their procedure chains and properties.
//
// Destruction follows Windows: WM_DESTROY goes to the window, then to the windows below it
// (parents before children), then WM_NCDESTROY in the reverse order (children before
// parents); after its WM_NCDESTROY a handle is dead for good (handles are never reused).
// Deleting a widget and DestroyWindow take the same path.
#include "kernel_object.h"
#include "top_level_windows.h"
#include "window_internal.h"

#include "platform/sync.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <strings.h>
#include <unordered_map>
#include <vector>

namespace platform::detail {
namespace {

struct WindowTable {
    std::mutex mutex;
    std::unordered_map<HWND, std::shared_ptr<WindowRecord>> windows;
    std::unordered_map<const QWidget*, HWND> byWidget;
    std::uintptr_t next = 0x10000;
};

WindowTable& Table() {
    static WindowTable table;
    return table;
}

HWND HandleOfWidget(const QWidget* widget) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.byWidget.find(widget);
    return it != table.byWidget.end() ? it->second : nullptr;
}

// The nearest ancestor widget with a handle, not crossing a top-level window.
HWND LiveParent(const QWidget* widget) {
    if (widget == nullptr || widget->isWindow()) return nullptr;
    for (const QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget()) {
        if (HWND parent = HandleOfWidget(up)) return parent;
        if (up->isWindow()) break;
    }
    return nullptr;
}

void RefreshParent(WindowRecord& window) {
    if (window.widget) window.parent = LiveParent(window.widget);
}

void Forget(const std::shared_ptr<WindowRecord>& window) {
    window->alive = false;
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    table.windows.erase(window->handle);
    for (auto it = table.byWidget.begin(); it != table.byWidget.end(); ++it) {
        if (it->second == window->handle) {
            table.byWidget.erase(it);
            break;
        }
    }
}

// WM_DESTROY to the window and then to every window below it (parents first), then
// WM_NCDESTROY the other way round, as Windows does. Qt announces a widget's deletion
// before it deletes the child widgets, so the whole subtree is still there to walk.
void DestroyTree(const std::shared_ptr<WindowRecord>& root, const QObject* rootWidget) {
    std::vector<std::shared_ptr<WindowRecord>> tree{root};
    if (rootWidget != nullptr) {
        for (const QWidget* below : rootWidget->findChildren<QWidget*>()) {
            if (auto window = FindWindowRecord(HandleOfWidget(below))) tree.push_back(window);
        }
    }
    for (const auto& window : tree) {
        if (window->alive) CallWindowChain(*window, WM_DESTROY, 0, 0);
    }
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
        if (!(*it)->alive) continue;
        CallWindowChain(**it, WM_NCDESTROY, 0, 0);
        Forget(*it);
    }
}

// Records the widget's new size, grows the backing image and tells the procedure. Qt holds
// back resize events of hidden widgets, so MoveWindow calls this too.
void UpdateSize(const std::shared_ptr<WindowRecord>& window, QSize size) {
    if (window->width == size.width() && window->height == size.height()) return;
    window->width = size.width();
    window->height = size.height();
    {
        std::lock_guard lock(window->backing.mutex);
        if (!window->backing.image.isNull()) window->backing.GrowTo(size.width(), size.height());
    }
    const auto packed = (static_cast<LPARAM>(size.height() & 0xFFFF) << 16) |
                        static_cast<LPARAM>(size.width() & 0xFFFF);
    CallWindowChain(*window, WM_SIZE, 0, packed);
}

// Keeps the record in step with its widget; lives as a child of the widget.
class WindowWatcher final : public QObject {
public:
    WindowWatcher(QWidget* widget, HWND handle) : QObject(widget), handle_(handle) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto window = FindWindowRecord(handle_);
        if (!window || object != window->widget) return false;
        switch (event->type()) {
        case QEvent::Resize:
            UpdateSize(window, static_cast<QResizeEvent*>(event)->size());
            break;
        case QEvent::Show:
            window->visible = true;
            break;
        case QEvent::Hide:
            window->visible = false;
            break;
        case QEvent::ParentChange:
            RefreshParent(*window);
            break;
        default:
            break;
        }
        return false;
    }

private:
    HWND handle_;
};

// The widget of a "STATIC" window: shows the backing image that GDI calls draw into.
class StaticWindow final : public QWidget {
public:
    explicit StaticWindow(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    HWND handle = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override {
        auto window = FindWindowRecord(handle);
        if (!window) return;
        QPainter painter(this);
        std::lock_guard lock(window->backing.mutex);
        if (!window->backing.image.isNull()) {
            painter.drawImage(event->rect(), window->backing.image, event->rect());
        }
    }
};

void OnWidgetDestroyed(HWND hwnd, const QObject* widget) {
    if (auto window = FindWindowRecord(hwnd)) DestroyTree(window, widget);
}

std::shared_ptr<WindowRecord> AddRecord(QWidget* widget, WNDPROC proc, bool ownsWidget) {
    auto window = std::make_shared<WindowRecord>();
    window->owner = CurrentInbox();
    window->proc = proc;
    window->ownsWidget = ownsWidget;
    window->widget = widget;
    window->hasWidget = widget != nullptr;
    auto& table = Table();
    {
        std::lock_guard lock(table.mutex);
        window->handle = reinterpret_cast<HWND>(table.next);
        table.next += 4;
        table.windows.emplace(window->handle, window);
        if (widget != nullptr) table.byWidget.emplace(widget, window->handle);
    }
    if (widget != nullptr) {
        window->width = widget->width();
        window->height = widget->height();
        window->visible = widget->isVisible();
        window->backing.background = widget->palette().color(QPalette::Window).rgb();
        RefreshParent(*window);
        new WindowWatcher(widget, window->handle);
        const HWND handle = window->handle;
        QObject::connect(widget, &QObject::destroyed,
                         [handle](QObject* gone) { OnWidgetDestroyed(handle, gone); });
    }
    return window;
}

bool FailNoGui() {
    if (platform::GuiAvailable()) return false;
    SetLastError(ERROR_NOT_SUPPORTED);
    return true;
}

std::shared_ptr<WindowRecord> LiveWindow(HWND hwnd) {
    auto window = FindWindowRecord(hwnd);
    if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

HWND CreateStaticWidget(const char* text, DWORD style, int x, int y, int width, int height,
                        HWND parent) {
    QWidget* parentWidget = nullptr;
    if (parent != nullptr) {
        auto parentWindow = LiveWindow(parent);
        if (!parentWindow) return nullptr;
        parentWidget = parentWindow->widget;
        if (parentWidget == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
    } else if ((style & WS_CHILD) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* widget = new StaticWindow(parentWidget);
    if (text != nullptr) widget->setAccessibleName(QString::fromUtf8(text));
    widget->setGeometry(x, y, std::max(width, 0), std::max(height, 0));
    auto window = AddRecord(widget, nullptr, true);
    widget->handle = window->handle;
    {
        std::lock_guard lock(window->backing.mutex);
        window->backing.GrowTo(widget->width(), widget->height());
    }
    if ((style & WS_VISIBLE) != 0) widget->show();
    return window->handle;
}

// Received broadcasts go to every live top-level window of the process.
std::vector<HWND> ListTopLevelWindows() {
    std::vector<HWND> result;
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    for (const auto& [handle, window] : table.windows) {
        if (window->hasWidget && window->alive && window->parent.load() == nullptr)
            result.push_back(handle);
    }
    return result;
}

const bool topLevelListerInstalled = [] {
    SetTopLevelWindowLister(ListTopLevelWindows);
    return true;
}();

} // namespace

void BackingStore::GrowTo(int width, int height) {
    const int newWidth = std::max(width, image.isNull() ? 0 : image.width());
    const int newHeight = std::max(height, image.isNull() ? 0 : image.height());
    if (!image.isNull() && newWidth == image.width() && newHeight == image.height()) return;
    QImage grown(std::max(newWidth, 1), std::max(newHeight, 1), QImage::Format_RGB32);
    grown.fill(background);
    if (!image.isNull()) {
        QPainter painter(&grown);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, image);
    }
    image = std::move(grown);
}

std::shared_ptr<WindowRecord> FindWindowRecord(HWND hwnd) {
    if (hwnd == nullptr) return nullptr;
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.windows.find(hwnd);
    if (it == table.windows.end()) return nullptr;
    const auto& window = it->second;
    if (!window->alive || InboxEnded(*window->owner)) return nullptr;
    return window;
}

LRESULT CallWindowChain(const WindowRecord& window, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = window.proc.load();
    return proc != nullptr ? proc(window.handle, msg, wParam, lParam)
                           : DefWindowProcA(window.handle, msg, wParam, lParam);
}

void ForgetWindowsOf(const ThreadInbox* owner) {
    std::vector<std::shared_ptr<WindowRecord>> gone;
    {
        auto& table = Table();
        std::lock_guard lock(table.mutex);
        for (auto& [handle, window] : table.windows) {
            if (window->owner.get() == owner) gone.push_back(window);
        }
    }
    for (auto& window : gone)
        Forget(window);
}

void ScheduleRepaint(const std::shared_ptr<WindowRecord>& window) {
    if (window->repaintPending.exchange(true)) return;
    const HWND handle = window->handle;
    RunOnGuiThreadAsync([handle] {
        if (auto live = FindWindowRecord(handle)) {
            live->repaintPending = false;
            if (live->widget) live->widget->update();
        }
    });
}

} // namespace platform::detail

using namespace platform::detail;

HWND RegisterHostWindow(QWidget* widget, WNDPROC proc) {
    if (FailNoGui()) return nullptr;
    if (widget == nullptr || !OnGuiThread()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (HWND existing = HandleOfWidget(widget)) return existing;
    return AddRecord(widget, proc, false)->handle;
}

QWidget* WidgetFromHandle(HWND hwnd) {
    auto window = FindWindowRecord(hwnd);
    return window ? window->widget.data() : nullptr;
}

HWND CreateWindowExA(DWORD, const char* className, const char* text, DWORD style, int x, int y,
                     int width, int height, HWND parent, void*, HINSTANCE, void*) {
    if (FailNoGui()) return nullptr;
    if (className == nullptr || ::strcasecmp(className, "STATIC") != 0) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (parent == HWND_MESSAGE) {
        auto window = AddRecord(nullptr, nullptr, false);
        return window->handle;
    }
    if (!OnGuiThread()) {
        // Widgets live on the GUI thread; other threads may own message-only windows.
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return CreateStaticWidget(text, style, x, y, width, height, parent);
}

BOOL DestroyWindow(HWND hwnd) {
    auto window = LiveWindow(hwnd);
    if (!window) return FALSE;
    if (window->owner != CurrentInbox()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (window->ownsWidget && window->widget) {
        delete window->widget.data(); // its destroyed signal destroys the windows
        return TRUE;
    }
    // A host widget stays with the host; its handle and the windows below it go.
    DestroyTree(window, window->widget.data());
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    return FindWindowRecord(hwnd) ? TRUE : FALSE;
}

HWND GetParent(HWND hwnd) {
    auto window = LiveWindow(hwnd);
    if (!window) return nullptr;
    if (OnGuiThread()) RefreshParent(*window);
    HWND parent = window->parent.load();
    return IsWindow(parent) ? parent : nullptr;
}

HWND GetAncestorRoot(HWND hwnd) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND parent = GetParent(hwnd); parent != nullptr; parent = GetParent(hwnd)) {
        hwnd = parent;
    }
    return hwnd;
}

BOOL ShowWindow(HWND hwnd, int command) {
    auto window = LiveWindow(hwnd);
    if (!window) return FALSE;
    const BOOL wasVisible = window->visible ? TRUE : FALSE;
    auto apply = [hwnd, command] {
        if (QWidget* widget = WidgetFromHandle(hwnd)) widget->setVisible(command != SW_HIDE);
    };
    if (OnGuiThread()) {
        apply();
    } else {
        RunOnGuiThreadAsync(apply);
    }
    return wasVisible;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    auto window = LiveWindow(hwnd);
    if (!window) return FALSE;
    if (!window->hasWidget) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    auto apply = [hwnd, x, y, width, height, repaint] {
        QWidget* widget = WidgetFromHandle(hwnd);
        if (widget == nullptr) return;
        widget->setGeometry(x, y, std::max(width, 0), std::max(height, 0));
        if (auto window = FindWindowRecord(hwnd)) UpdateSize(window, widget->size());
        if (repaint) widget->update();
    };
    if (OnGuiThread()) {
        apply();
    } else {
        RunOnGuiThreadAsync(apply);
    }
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    auto window = LiveWindow(hwnd);
    if (!window) return FALSE;
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *rect = RECT{0, 0, window->width.load(), window->height.load()};
    return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT*, BOOL) {
    auto window = LiveWindow(hwnd);
    if (!window) return FALSE;
    ScheduleRepaint(window);
    return TRUE;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    auto window = LiveWindow(hwnd);
    if (!window) return 0;
    if (processId != nullptr) *processId = static_cast<DWORD>(::getpid());
    return InboxThreadId(*window->owner);
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
    auto window = LiveWindow(hwnd);
    if (!window) return 0;
    switch (index) {
    case GWLP_WNDPROC: {
        WNDPROC proc = window->proc.load();
        return reinterpret_cast<LONG_PTR>(proc != nullptr ? proc : &DefWindowProcA);
    }
    case GWLP_USERDATA:
        return window->userData;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    auto window = LiveWindow(hwnd);
    if (!window) return 0;
    SetLastError(ERROR_SUCCESS); // a previous value of 0 is not an error
    switch (index) {
    case GWLP_WNDPROC: {
        WNDPROC previous = window->proc.exchange(reinterpret_cast<WNDPROC>(value));
        // The default procedure is a real function, so a caller can chain to it.
        return reinterpret_cast<LONG_PTR>(previous != nullptr ? previous : &DefWindowProcA);
    }
    case GWLP_USERDATA:
        return window->userData.exchange(value);
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

LRESULT CallWindowProcA(WNDPROC previous, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (previous == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return previous(hwnd, msg, wParam, lParam);
}

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM, LPARAM) {
    if (msg != WM_CLOSE) return 0;
    auto window = FindWindowRecord(hwnd);
    if (!window) return 0;
    if (!window->ownsWidget && window->widget) {
        window->widget->close(); // the host decides what closing its form means
    } else {
        DestroyWindow(hwnd);
    }
    return 0;
}
