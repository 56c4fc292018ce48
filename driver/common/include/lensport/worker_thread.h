// A thread of the camera object, started and joined through the platform layer. Joining
// waits with the layer's wait, so a GUI thread that ends the object keeps serving the
// messages the worker sends it meanwhile.
#pragma once

#include "platform/types.h"

#include <functional>

namespace lensport {

class WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    ~WorkerThread() { Join(); }

    bool Start(std::function<void()> body);
    // Waits until the thread has ended (no-op when it never started or is the caller).
    void Join();
    bool Started() const { return handle_ != nullptr; }

private:
    static DWORD Run(void* self);
    std::function<void()> body_;
    HANDLE handle_ = nullptr;
    DWORD threadId_ = 0;
};

// An auto-reset event of the platform layer, owned.
class AutoEvent {
public:
    AutoEvent();
    AutoEvent(const AutoEvent&) = delete;
    AutoEvent& operator=(const AutoEvent&) = delete;
    ~AutoEvent();
    void Set();
    // True when signalled within the time (served messages meanwhile).
    bool Wait(DWORD milliseconds);

private:
    HANDLE handle_;
};

} // namespace lensport
