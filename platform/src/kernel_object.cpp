#include "kernel_object.h"

#include "platform/sync.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <unordered_set>

namespace platform::detail {
namespace {

std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}

std::unordered_set<KernelObject*>& Registry() {
    static std::unordered_set<KernelObject*> objects;
    return objects;
}

// One process-wide wake-up: waits are few and short-lived, so a broadcast that makes
// every waiter re-check is simpler than per-object waiter lists and can't miss a wake.
struct WakeState {
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t generation = 0;
};

WakeState& Wake() {
    static WakeState state;
    return state;
}

std::atomic<SentMessageServer> sentMessageServer{nullptr};

} // namespace

KernelObject* FromHandle(HANDLE handle) {
    auto* object = reinterpret_cast<KernelObject*>(handle);
    std::lock_guard lock(RegistryMutex());
    return Registry().count(object) ? object : nullptr;
}

void RegisterObject(KernelObject* object) {
    std::lock_guard lock(RegistryMutex());
    Registry().insert(object);
}

void UnregisterObject(KernelObject* object) {
    std::lock_guard lock(RegistryMutex());
    Registry().erase(object);
}

void WakeWaiters() {
    auto& wake = Wake();
    {
        std::lock_guard lock(wake.mutex);
        ++wake.generation;
    }
    wake.changed.notify_all();
}

void SetSentMessageServer(SentMessageServer server) {
    sentMessageServer.store(server);
}

bool ServeSentMessages() {
    SentMessageServer server = sentMessageServer.load();
    return server != nullptr && server();
}

DWORD WaitOn(KernelObject* object, DWORD milliseconds) {
    using Clock = std::chrono::steady_clock;
    const bool forever = milliseconds == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
    const auto poll = object->PollPeriod();
    auto& wake = Wake();
    for (;;) {
        std::uint64_t seen;
        {
            std::lock_guard lock(wake.mutex);
            seen = wake.generation;
        }
        while (ServeSentMessages()) {
        }
        if (object->TryAcquire()) return WAIT_OBJECT_0;
        const auto now = Clock::now();
        if (!forever && now >= deadline) return WAIT_TIMEOUT;
        auto until = forever ? now + std::chrono::hours(24) : deadline;
        if (poll.count() > 0) until = std::min(until, now + poll);
        std::unique_lock lock(wake.mutex);
        wake.changed.wait_until(lock, until, [&] { return wake.generation != seen; });
    }
}

} // namespace platform::detail
