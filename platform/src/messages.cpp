// Posted and sent messages. Every thread that owns windows has an inbox: a FIFO of posted
// messages and a queue of calls sent by other threads. The GUI thread's inbox is drained
// by Qt's event loop (a queued call wakes it); other threads drain theirs with
// PumpThreadMessages. Sent calls are also run by every wait of the layer (the
// SentMessageServer hook), so a thread blocked in a wait or in its own SendMessage still
// answers the calls made to it and two threads sending to each other can't deadlock.
#include "kernel_object.h"
#include "thread_messaging.h"
#include "window_internal.h"

#include "platform/sync.h"

#include <QApplication>
#include <QMetaObject>
#include <QThread>

#include <deque>
#include <map>
#include <string>

namespace platform::detail {

// A call made by another thread; the sender waits on it like on any kernel object.
class SentCall final : public KernelObject {
public:
    explicit SentCall(std::function<LRESULT()> work) : work_(std::move(work)) {}
    bool TryAcquire() override { return done_.load(std::memory_order_acquire); }
    const char* Kind() const override { return "sent call"; }
    void Run() {
        // Completes even when the procedure throws, so the sender never hangs.
        struct Completion {
            SentCall* call;
            LRESULT result = 0;
            ~Completion() { call->Complete(result); }
        } completion{this};
        completion.result = work_();
    }
    void Complete(LRESULT result) {
        result_ = result;
        done_.store(true, std::memory_order_release);
        WakeWaiters();
    }
    LRESULT Result() const { return result_; }

private:
    std::function<LRESULT()> work_;
    std::atomic<bool> done_{false};
    LRESULT result_ = 0;
};

struct PostedMessage {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

struct ThreadInbox {
    explicit ThreadInbox(bool qt) : qtServed(qt) {}
    const bool qtServed; // the GUI thread: Qt's event loop drains it
    std::atomic<DWORD> threadId{0};
    std::atomic<bool> ended{false};
    std::atomic<bool> hasSent{false};
    std::atomic<bool> drainScheduled{false};
    std::mutex mutex;
    std::deque<PostedMessage> posted;
    std::deque<std::shared_ptr<SentCall>> sent;

    // Messages to the windows of an ended thread go nowhere; its senders are released.
    void End() {
        std::deque<std::shared_ptr<SentCall>> pending;
        {
            std::lock_guard lock(mutex);
            ended = true;
            posted.clear();
            pending.swap(sent);
            hasSent = false;
        }
        for (auto& call : pending)
            call->Complete(0);
        ForgetWindowsOf(this);
    }
};

namespace {

std::shared_ptr<ThreadInbox> GuiInbox() {
    static auto inbox = std::make_shared<ThreadInbox>(true);
    return inbox;
}

struct InboxSlot {
    std::shared_ptr<ThreadInbox> inbox;
    ~InboxSlot() {
        if (inbox && !inbox->qtServed) inbox->End();
    }
};

InboxSlot& CurrentSlot() {
    thread_local InboxSlot slot;
    return slot;
}

bool RunOneSent(ThreadInbox& inbox) {
    std::shared_ptr<SentCall> call;
    {
        std::lock_guard lock(inbox.mutex);
        if (inbox.sent.empty()) {
            inbox.hasSent = false;
            return false;
        }
        call = std::move(inbox.sent.front());
        inbox.sent.pop_front();
    }
    call->Run();
    return true;
}

bool ServeSent(ThreadInbox& inbox) {
    bool any = false;
    while (inbox.hasSent.load(std::memory_order_acquire) && RunOneSent(inbox))
        any = true;
    return any;
}

bool RunOnePosted(ThreadInbox& inbox) {
    PostedMessage message{};
    {
        std::lock_guard lock(inbox.mutex);
        if (inbox.posted.empty()) return false;
        message = inbox.posted.front();
        inbox.posted.pop_front();
    }
    // A window destroyed after the post gets nothing.
    if (auto window = FindWindowRecord(message.hwnd)) {
        CallWindowChain(*window, message.msg, message.wParam, message.lParam);
    }
    return true;
}

// Handles what is queued now; messages posted meanwhile wait for the next drain so a
// window that keeps posting to itself can't starve the event loop.
void Drain(ThreadInbox& inbox) {
    ServeSent(inbox);
    std::size_t count;
    {
        std::lock_guard lock(inbox.mutex);
        count = inbox.posted.size();
    }
    for (std::size_t i = 0; i < count && RunOnePosted(inbox); ++i)
        ServeSent(inbox);
}

void ScheduleQtDrain(const std::shared_ptr<ThreadInbox>& inbox) {
    if (inbox->drainScheduled.exchange(true)) return;
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;
    QMetaObject::invokeMethod(
        app,
        [inbox] {
            inbox->drainScheduled = false;
            Drain(*inbox);
        },
        Qt::QueuedConnection);
}

void Notify(const std::shared_ptr<ThreadInbox>& inbox) {
    if (inbox->qtServed) ScheduleQtDrain(inbox);
    WakeWaiters();
}

bool EnqueueSent(const std::shared_ptr<ThreadInbox>& inbox, std::shared_ptr<SentCall> call) {
    {
        std::lock_guard lock(inbox->mutex);
        if (inbox->ended) return false;
        inbox->sent.push_back(std::move(call));
        inbox->hasSent = true;
    }
    Notify(inbox);
    return true;
}

// Sends work to another thread's inbox and waits for its result.
LRESULT CallOnThread(const std::shared_ptr<ThreadInbox>& inbox, std::function<LRESULT()> work) {
    auto call = std::make_shared<SentCall>(std::move(work));
    if (!EnqueueSent(inbox, call)) return 0;
    WaitOn(call.get(), INFINITE);
    return call->Result();
}

bool ServeCurrentThread() {
    if (!CurrentSlot().inbox && !platform::GuiAvailable()) return false;
    auto inbox = CurrentInbox();
    return inbox && ServeSent(*inbox);
}

// Installed when the library loads, so every wait serves sent messages from the start.
[[maybe_unused]] const bool serverInstalled = [] {
    SetSentMessageServer(&ServeCurrentThread);
    return true;
}();

struct MessageNames {
    std::mutex mutex;
    std::map<std::string, UINT> numbers; // keyed by the lower-case name
    std::map<UINT, std::string> names;   // as first registered
};

MessageNames& Names() {
    static MessageNames table;
    return table;
}

std::string LowerAscii(const char* text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

} // namespace

void EndThreadMessaging() {
    auto& slot = CurrentSlot();
    if (slot.inbox && !slot.inbox->qtServed) {
        slot.inbox->End();
        slot.inbox.reset();
    }
}

bool InboxEnded(const ThreadInbox& inbox) {
    return inbox.ended.load();
}
DWORD InboxThreadId(const ThreadInbox& inbox) {
    return inbox.threadId.load();
}

bool OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && app->thread() == QThread::currentThread();
}

std::shared_ptr<ThreadInbox> CurrentInbox() {
    auto& slot = CurrentSlot();
    if (!slot.inbox) {
        if (!platform::GuiAvailable()) return nullptr;
        slot.inbox = OnGuiThread() ? GuiInbox() : std::make_shared<ThreadInbox>(false);
        slot.inbox->threadId = GetCurrentThreadId();
    }
    return slot.inbox;
}

void RunOnGuiThreadAsync(std::function<void()> work) {
    if (!platform::GuiAvailable()) return;
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

LRESULT RunOnGuiThreadBlocking(std::function<LRESULT()> work) {
    if (!platform::GuiAvailable()) return 0;
    if (OnGuiThread()) return work();
    return CallOnThread(GuiInbox(), std::move(work));
}

} // namespace platform::detail

using namespace platform::detail;

bool platform::GuiAvailable() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

UINT RegisterWindowMessageA(const char* name) {
    if (name == nullptr || *name == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto& table = Names();
    std::lock_guard lock(table.mutex);
    auto [it, added] = table.numbers.try_emplace(LowerAscii(name), 0);
    if (added) {
        const UINT number = 0xC000 + static_cast<UINT>(table.names.size());
        if (number > 0xFFFF) {
            table.numbers.erase(it);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        it->second = number;
        table.names.emplace(number, name);
    }
    return it->second;
}

const char* platform::RegisteredMessageName(UINT msg) {
    auto& table = Names();
    std::lock_guard lock(table.mutex);
    auto it = table.names.find(msg);
    // Entries are never removed, so the string outlives the lock.
    return it != table.names.end() ? it->second.c_str() : "";
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto window = FindWindowRecord(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const auto& inbox = window->owner;
    {
        std::lock_guard lock(inbox->mutex);
        if (inbox->ended) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        inbox->posted.push_back({hwnd, msg, wParam, lParam});
    }
    if (inbox->qtServed) ScheduleQtDrain(inbox);
    return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto window = FindWindowRecord(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->owner == CurrentInbox()) return CallWindowChain(*window, msg, wParam, lParam);
    return CallOnThread(window->owner, [window, msg, wParam, lParam]() -> LRESULT {
        return window->alive ? CallWindowChain(*window, msg, wParam, lParam) : 0;
    });
}

void PumpThreadMessages() {
    if (auto inbox = CurrentInbox()) Drain(*inbox);
}
