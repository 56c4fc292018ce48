// Multimedia timers: one thread per timer, waking at absolute deadlines start + k * period
// so a slow callback delays a tick but never shifts the ones after it.
#include "platform/timer.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::detail {
namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
    UINT id = 0;
    LPTIMECALLBACK callback = nullptr;
    std::uintptr_t user = 0;
    Clock::duration delay{};
    bool periodic = false;

    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::thread::id threadId;
    std::atomic<bool> finished{false};
    std::thread thread; // guarded by the table's mutex
};

// Next deadline on the grid; ticks missed while a callback overran are skipped, not
// fired in a burst.
Clock::time_point NextDeadline(Clock::time_point deadline, Clock::duration period) {
    deadline += period;
    const auto now = Clock::now();
    if (deadline < now) deadline += ((now - deadline) / period + 1) * period;
    return deadline;
}

void Run(const std::shared_ptr<Timer>& timer, Clock::time_point start) {
    std::unique_lock lock(timer->mutex);
    timer->threadId = std::this_thread::get_id();
    for (auto deadline = start + timer->delay;; deadline = NextDeadline(deadline, timer->delay)) {
        if (timer->wake.wait_until(lock, deadline, [&] { return timer->stop; })) break;
        lock.unlock();
        timer->callback(timer->id, 0, timer->user, 0, 0);
        lock.lock();
        if (!timer->periodic) break;
    }
    timer->finished = true;
}

class TimerTable {
public:
    ~TimerTable() {
        std::map<UINT, std::shared_ptr<Timer>> timers;
        {
            std::lock_guard lock(mutex_);
            timers.swap(timers_);
        }
        for (auto& [id, timer] : timers)
            Stop(*timer);
        for (auto& [id, timer] : timers) {
            if (timer->thread.joinable()) timer->thread.join();
        }
        for (auto& zombie : zombies_) {
            if (zombie->thread.joinable()) zombie->thread.join();
        }
    }

    UINT Add(UINT delayMs, LPTIMECALLBACK callback, std::uintptr_t user, bool periodic) {
        auto timer = std::make_shared<Timer>();
        timer->callback = callback;
        timer->user = user;
        timer->delay = std::chrono::milliseconds(delayMs);
        timer->periodic = periodic;
        const auto start = Clock::now();
        std::lock_guard lock(mutex_);
        ReapFinished();
        timer->id = nextId_++;
        if (nextId_ == 0) nextId_ = 1;
        timer->thread = std::thread(Run, timer, start);
        timers_[timer->id] = timer;
        return timer->id;
    }

    bool Kill(UINT id) {
        std::shared_ptr<Timer> timer;
        std::thread thread;
        {
            std::lock_guard lock(mutex_);
            const auto it = timers_.find(id);
            if (it == timers_.end()) return false;
            timer = it->second;
            timers_.erase(it);
            Stop(*timer);
            if (IsTimerThread(*timer)) {
                // Killed from its own callback: the thread ends when the callback returns
                // and is joined later.
                zombies_.push_back(timer);
                return true;
            }
            thread = std::move(timer->thread);
        }
        if (thread.joinable()) thread.join();
        return true;
    }

private:
    static void Stop(Timer& timer) {
        {
            std::lock_guard lock(timer.mutex);
            timer.stop = true;
        }
        timer.wake.notify_all();
    }

    static bool IsTimerThread(Timer& timer) {
        std::lock_guard lock(timer.mutex);
        return timer.threadId == std::this_thread::get_id();
    }

    // One-shot timers that have fired, and timers killed from their own callback, whose
    // threads have ended. Caller holds mutex_.
    void ReapFinished() {
        for (auto it = timers_.begin(); it != timers_.end();) {
            if (!it->second->finished) {
                ++it;
                continue;
            }
            it->second->thread.join();
            it = timers_.erase(it);
        }
        std::erase_if(zombies_, [](const std::shared_ptr<Timer>& zombie) {
            if (!zombie->finished) return false;
            zombie->thread.join();
            return true;
        });
    }

    std::mutex mutex_;
    std::map<UINT, std::shared_ptr<Timer>> timers_;
    std::vector<std::shared_ptr<Timer>> zombies_;
    UINT nextId_ = 1;
};

TimerTable& Timers() {
    static TimerTable table;
    return table;
}

} // namespace
} // namespace platform::detail

UINT timeSetEvent(UINT delayMs, UINT, LPTIMECALLBACK callback, std::uintptr_t user, UINT flags) {
    if (callback == nullptr || delayMs == 0) return 0;
    return platform::detail::Timers().Add(delayMs, callback, user, (flags & TIME_PERIODIC) != 0);
}

UINT timeKillEvent(UINT timerId) {
    return platform::detail::Timers().Kill(timerId) ? TIMERR_NOERROR : MMSYSERR_INVALPARAM;
}
