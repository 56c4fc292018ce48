// Events, threads, the generic handle functions (wait, close) and time.
//
// Handles are KernelObjects in the registry of kernel_object.cpp. A wait pins its object
// so that a CloseHandle from another thread during the wait can't free it under the
// waiter: the object is deleted when it is closed and no wait holds it any more.
// A thread's state is shared between its handle and the running thread, so closing the
// handle of a running thread frees only the handle.
#include "kernel_object.h"
#include "thread_messaging.h"

#include "platform/sync.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace platform::detail {
namespace {

// ---- pins: waits keep their object alive across a concurrent CloseHandle ----

struct PinTable {
    std::mutex mutex;
    std::unordered_map<KernelObject*, int> pins; // live waits per object
    std::unordered_map<KernelObject*, bool> closed;
};

PinTable& Pins() {
    static PinTable table;
    return table;
}

KernelObject* PinHandle(HANDLE handle) {
    auto& table = Pins();
    std::lock_guard lock(table.mutex);
    KernelObject* object = FromHandle(handle);
    if (object != nullptr) ++table.pins[object];
    return object;
}

void Unpin(KernelObject* object) {
    auto& table = Pins();
    bool destroy = false;
    {
        std::lock_guard lock(table.mutex);
        auto it = table.pins.find(object);
        if (--it->second == 0) {
            table.pins.erase(it);
            destroy = table.closed.erase(object) > 0;
        }
    }
    if (destroy) delete object;
}

struct PinGuard {
    KernelObject* object;
    ~PinGuard() {
        if (object != nullptr) Unpin(object);
    }
};

// ---- events ----

class Event final : public KernelObject {
public:
    Event(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}
    bool TryAcquire() override {
        std::lock_guard lock(mutex_);
        if (!signalled_) return false;
        if (!manualReset_) signalled_ = false;
        return true;
    }
    const char* Kind() const override { return "event"; }
    void Set(bool signalled) {
        {
            std::lock_guard lock(mutex_);
            signalled_ = signalled;
        }
        if (signalled) WakeWaiters();
    }

private:
    std::mutex mutex_;
    const bool manualReset_;
    bool signalled_;
};

Event* EventFromHandle(HANDLE handle) {
    return dynamic_cast<Event*>(FromHandle(handle));
}

// ---- threads ----

DWORD KernelThreadId() {
    return static_cast<DWORD>(::syscall(SYS_gettid));
}

// Shared by the handle(s) and the running thread.
struct ThreadState {
    std::mutex mutex;
    std::condition_variable changed;
    DWORD id = 0;
    bool started = false; // id is known
    DWORD suspendCount = 0;
    bool finished = false;
    DWORD exitCode = STILL_ACTIVE;
    int priority = THREAD_PRIORITY_NORMAL;
};

class ThreadHandle final : public KernelObject {
public:
    explicit ThreadHandle(std::shared_ptr<ThreadState> state) : state_(std::move(state)) {}
    bool TryAcquire() override {
        std::lock_guard lock(state_->mutex);
        return state_->finished;
    }
    const char* Kind() const override { return "thread"; }
    const std::shared_ptr<ThreadState>& State() const { return state_; }

private:
    std::shared_ptr<ThreadState> state_;
};

// The state of the calling thread: the one CreateThread made, or one made on first use
// for threads started elsewhere (the main thread, Qt's threads).
std::shared_ptr<ThreadState>& CurrentStateSlot() {
    thread_local std::shared_ptr<ThreadState> state;
    return state;
}

std::shared_ptr<ThreadState> CurrentState() {
    auto& slot = CurrentStateSlot();
    if (!slot) {
        slot = std::make_shared<ThreadState>();
        slot->id = KernelThreadId();
        slot->started = true;
    }
    return slot;
}

// Windows' pseudo-handle of the calling thread: valid only in the thread that uses it.
HANDLE CurrentThreadPseudoHandle() {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));
}
HANDLE CurrentProcessPseudoHandle() {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

std::shared_ptr<ThreadState> ThreadStateFromHandle(HANDLE handle) {
    if (handle == CurrentThreadPseudoHandle()) return CurrentState();
    auto* thread = dynamic_cast<ThreadHandle*>(FromHandle(handle));
    return thread != nullptr ? thread->State() : nullptr;
}

void RunThread(const std::shared_ptr<ThreadState>& state, LPTHREAD_START_ROUTINE start,
               void* param) {
    CurrentStateSlot() = state;
    {
        std::unique_lock lock(state->mutex);
        state->id = KernelThreadId();
        state->started = true;
        state->changed.notify_all();
        state->changed.wait(lock, [&] { return state->suspendCount == 0; });
    }
    DWORD code = 0;
    try {
        code = start(param);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "platform: thread %u ended by exception: %s\n", state->id, e.what());
        code = 0xFFFFFFFF;
    } catch (...) {
        std::fprintf(stderr, "platform: thread %u ended by an unknown exception\n", state->id);
        code = 0xFFFFFFFF;
    }
    EndThreadMessaging();
    {
        std::lock_guard lock(state->mutex);
        state->finished = true;
        state->exitCode = code;
    }
    WakeWaiters();
}

// Linux has no per-thread priority levels for normal threads; idle maps to SCHED_IDLE
// (runs only when the CPU has nothing else), with the highest nice value as a fallback.
bool ApplyPriority(DWORD tid, int priority) {
    sched_param param{};
    if (priority <= THREAD_PRIORITY_IDLE) {
        if (::sched_setscheduler(static_cast<pid_t>(tid), SCHED_IDLE, &param) == 0) return true;
        return ::setpriority(PRIO_PROCESS, tid, 19) == 0;
    }
    if (::sched_getscheduler(static_cast<pid_t>(tid)) == SCHED_IDLE &&
        ::sched_setscheduler(static_cast<pid_t>(tid), SCHED_OTHER, &param) != 0) {
        return false;
    }
    return true;
}

} // namespace
} // namespace platform::detail

using namespace platform::detail;

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char*) {
    auto* event = new Event(manualReset != FALSE, initialState != FALSE);
    RegisterObject(event);
    SetLastError(ERROR_SUCCESS);
    return ToHandle(event);
}

static BOOL SetEventState(HANDLE handle, bool signalled) {
    Event* event = EventFromHandle(handle);
    if (event == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->Set(signalled);
    return TRUE;
}

BOOL SetEvent(HANDLE event) {
    return SetEventState(event, true);
}
BOOL ResetEvent(HANDLE event) {
    return SetEventState(event, false);
}

HANDLE CreateThread(void*, std::size_t, LPTHREAD_START_ROUTINE start, void* param, DWORD flags,
                    DWORD* threadId) {
    if (start == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto state = std::make_shared<ThreadState>();
    state->suspendCount = (flags & CREATE_SUSPENDED) != 0 ? 1 : 0;
    try {
        std::thread(RunThread, state, start, param).detach();
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // The id must be known before the caller can set the priority or wait.
    {
        std::unique_lock lock(state->mutex);
        state->changed.wait(lock, [&] { return state->started; });
    }
    if (threadId != nullptr) *threadId = state->id;
    auto* handle = new ThreadHandle(state);
    RegisterObject(handle);
    return ToHandle(handle);
}

DWORD ResumeThread(HANDLE thread) {
    auto state = ThreadStateFromHandle(thread);
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(-1);
    }
    std::lock_guard lock(state->mutex);
    const DWORD previous = state->suspendCount;
    if (previous > 0 && --state->suspendCount == 0) state->changed.notify_all();
    return previous;
}

DWORD SuspendThread(HANDLE thread) {
    auto state = ThreadStateFromHandle(thread);
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(-1);
    }
    if (state != CurrentState()) {
        // Stopping another thread at an arbitrary point can't be done safely here.
        SetLastError(ERROR_NOT_SUPPORTED);
        return static_cast<DWORD>(-1);
    }
    std::unique_lock lock(state->mutex);
    const DWORD previous = state->suspendCount++;
    state->changed.wait(lock, [&] { return state->suspendCount == 0; });
    return previous;
}

HANDLE GetCurrentThread() {
    return CurrentThreadPseudoHandle();
}
DWORD GetCurrentThreadId() {
    return KernelThreadId();
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
    auto state = ThreadStateFromHandle(thread);
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard lock(state->mutex);
    if (!state->finished && !ApplyPriority(state->id, priority)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    state->priority = priority;
    return TRUE;
}

int GetThreadPriority(HANDLE thread) {
    auto state = ThreadStateFromHandle(thread);
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0x7FFFFFFF; // THREAD_PRIORITY_ERROR_RETURN
    }
    std::lock_guard lock(state->mutex);
    return state->priority;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* code) {
    auto state = ThreadStateFromHandle(thread);
    if (!state || code == nullptr) {
        SetLastError(state ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard lock(state->mutex);
    *code = state->finished ? state->exitCode : STILL_ACTIVE;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    // Waiting for oneself would never end; refuse it instead of hanging.
    if (object == CurrentThreadPseudoHandle()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    PinGuard pin{PinHandle(object)};
    if (pin.object == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return WaitOn(pin.object, milliseconds);
}

BOOL CloseHandle(HANDLE handle) {
    if (handle == CurrentThreadPseudoHandle() || handle == CurrentProcessPseudoHandle()) {
        return TRUE;
    }
    auto& table = Pins();
    KernelObject* object = nullptr;
    {
        std::lock_guard lock(table.mutex);
        object = FromHandle(handle);
        if (object == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        UnregisterObject(object);
        if (table.pins.count(object) != 0) {
            table.closed[object] = true; // the last wait deletes it
            object = nullptr;
        }
    }
    delete object;
    return TRUE;
}

void Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD GetTickCount() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void TerminateProcess(HANDLE, UINT code) {
    ::_exit(static_cast<int>(code));
}

HANDLE GetCurrentProcess() {
    return CurrentProcessPseudoHandle();
}
