#include "lensport/worker_thread.h"

#include "platform/sync.h"

#include <utility>

namespace lensport {

bool WorkerThread::Start(std::function<void()> body) {
    if (handle_ != nullptr) return false;
    body_ = std::move(body);
    handle_ = CreateThread(nullptr, 0, &WorkerThread::Run, this, 0, &threadId_);
    return handle_ != nullptr;
}

DWORD WorkerThread::Run(void* self) {
    static_cast<WorkerThread*>(self)->body_();
    return 0;
}

void WorkerThread::Join() {
    if (handle_ == nullptr || threadId_ == GetCurrentThreadId()) return;
    WaitForSingleObject(handle_, INFINITE);
    CloseHandle(handle_);
    handle_ = nullptr;
}

AutoEvent::AutoEvent() : handle_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

AutoEvent::~AutoEvent() {
    if (handle_ != nullptr) CloseHandle(handle_);
}

void AutoEvent::Set() {
    if (handle_ != nullptr) SetEvent(handle_);
}

bool AutoEvent::Wait(DWORD milliseconds) {
    if (handle_ == nullptr) {
        Sleep(milliseconds == INFINITE ? 10 : milliseconds);
        return false;
    }
    return WaitForSingleObject(handle_, milliseconds) == WAIT_OBJECT_0;
}

} // namespace lensport
