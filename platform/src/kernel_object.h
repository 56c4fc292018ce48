// Internal: the common base of every HANDLE-based object (events, threads, named mutexes
// and semaphores) and the per-thread wake-up that lets waits serve sent messages.
#pragma once

#include "platform/types.h"

#include <chrono>

namespace platform::detail {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Takes the signalled state without blocking (consuming it for auto-reset events and
    // semaphores). True when the wait is satisfied.
    virtual bool TryAcquire() = 0;
    // Objects whose state changes in another process can't notify local waiters; they
    // return the polling period a waiter uses. Zero: state changes call WakeWaiters().
    virtual std::chrono::milliseconds PollPeriod() const { return std::chrono::milliseconds(0); }
    // Marks the object so the generic handle functions can check the type.
    virtual const char* Kind() const = 0;
};

inline HANDLE ToHandle(KernelObject* object) {
    return reinterpret_cast<HANDLE>(object);
}
// Null when the handle is not a live object of this layer.
KernelObject* FromHandle(HANDLE handle);
// Every created object is registered so stale or foreign handles are refused.
void RegisterObject(KernelObject* object);
void UnregisterObject(KernelObject* object);

// Wakes every thread blocked in a layer wait so it re-checks its object and its inbox.
// Called when an object becomes signalled and when a message is sent to a thread.
void WakeWaiters();

// The message side installs the function that runs the messages other threads have sent
// to the calling thread's windows (true when at least one ran). Until it does, waits have
// no messages to serve.
using SentMessageServer = bool (*)();
void SetSentMessageServer(SentMessageServer server);
bool ServeSentMessages();

// The generic wait: serves sent messages, tries the object, sleeps until woken, polled
// or timed out.
DWORD WaitOn(KernelObject* object, DWORD milliseconds);

} // namespace platform::detail
