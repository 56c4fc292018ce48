// Internal: the window table, the per-thread message inboxes and the hops to the GUI
// thread, shared by the window, message, drawing and dialog parts of the layer.
#pragma once

#include "platform/window.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace platform::detail {

struct ThreadInbox;

// The picture GDI calls draw into. Guarded by its own lock: drawn from any thread,
// painted on the GUI thread.
struct BackingStore {
    std::mutex mutex;
    QImage image; // Format_RGB32
    QRgb background = qRgb(255, 255, 255);
    // Grows the image to at least width x height, keeping its content. Caller holds mutex.
    void GrowTo(int width, int height);
};

struct WindowRecord {
    HWND handle = nullptr;
    QPointer<QWidget> widget; // touched on the GUI thread only
    bool hasWidget = false;   // not message-only; readable from any thread
    bool ownsWidget = false;  // created by CreateWindowExA: destroying the window deletes it
    std::shared_ptr<ThreadInbox> owner;
    std::atomic<WNDPROC> proc{nullptr};
    std::atomic<LONG_PTR> userData{0};
    std::atomic<HWND> parent{nullptr}; // nearest ancestor with a handle, for other threads
    std::atomic<int> width{0};
    std::atomic<int> height{0};
    std::atomic<bool> visible{false};
    std::atomic<bool> alive{true};
    std::atomic<bool> repaintPending{false};
    BackingStore backing;
};

// The live record of a handle; null for null, unknown, destroyed handles and for windows
// whose owner thread has ended.
std::shared_ptr<WindowRecord> FindWindowRecord(HWND hwnd);
// Runs the window's procedure chain on the calling thread.
LRESULT CallWindowChain(const WindowRecord& window, UINT msg, WPARAM wParam, LPARAM lParam);
// Marks every window of an ended thread dead.
void ForgetWindowsOf(const ThreadInbox* owner);

bool InboxEnded(const ThreadInbox& inbox);
DWORD InboxThreadId(const ThreadInbox& inbox);

bool OnGuiThread();
// The inbox of the calling thread (null when there is no GUI in the process).
std::shared_ptr<ThreadInbox> CurrentInbox();
// Queues work to the GUI thread's event loop (dropped when there is no GUI).
void RunOnGuiThreadAsync(std::function<void()> work);
// Runs work on the GUI thread and returns its result; the caller keeps serving messages
// sent to its own windows while it waits. 0 when there is no GUI.
LRESULT RunOnGuiThreadBlocking(std::function<LRESULT()> work);
// Coalesced widget update, from any thread.
void ScheduleRepaint(const std::shared_ptr<WindowRecord>& window);

} // namespace platform::detail
