#include "platform/timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Ticks {
    std::mutex mutex;
    std::vector<Clock::time_point> at;
    std::atomic<int> count{0};
    std::atomic<bool> inside{false};
    std::chrono::milliseconds work{0};
    UINT selfKill = 0; // the tick on which the callback kills its own timer
    UINT id = 0;
};

void Record(UINT id, UINT, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
    auto* ticks = reinterpret_cast<Ticks*>(user);
    ticks->inside = true;
    {
        std::lock_guard lock(ticks->mutex);
        ticks->at.push_back(Clock::now());
    }
    std::this_thread::sleep_for(ticks->work);
    const int n = ++ticks->count;
    if (ticks->selfKill != 0 && static_cast<UINT>(n) == ticks->selfKill) {
        EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    }
    ticks->inside = false;
}

void WaitForTicks(const Ticks& ticks, int n) {
    while (ticks.count < n)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Ticks sit on the grid start + k * period: never early, and a callback that takes most
// of a period does not push the later ticks back.
TEST(TimerTest, PeriodicTicksFollowAbsoluteDeadlines) {
    constexpr auto kPeriod = std::chrono::milliseconds(10);
    Ticks ticks;
    ticks.work = std::chrono::milliseconds(6);
    const auto before = Clock::now();
    const UINT id =
        timeSetEvent(10, 1, Record, reinterpret_cast<std::uintptr_t>(&ticks), TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    WaitForTicks(ticks, 15);
    ASSERT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    std::lock_guard lock(ticks.mutex);
    ASSERT_GE(ticks.at.size(), 15u);
    // A drifting timer would put tick k at >= k * (period + work); the grid keeps each
    // tick within a period of its slot unless a slot was skipped (then later, never
    // earlier). Each tick k is at or after its own slot.
    for (std::size_t k = 0; k < ticks.at.size(); ++k) {
        EXPECT_GE(ticks.at[k], before + (k + 1) * kPeriod) << "tick " << k << " early";
    }
}

TEST(TimerTest, KillGuaranteesTheCallbackIsNotRunning) {
    Ticks ticks;
    ticks.work = std::chrono::milliseconds(5);
    const UINT id =
        timeSetEvent(1, 1, Record, reinterpret_cast<std::uintptr_t>(&ticks), TIME_PERIODIC);
    WaitForTicks(ticks, 3);
    while (!ticks.inside)
        std::this_thread::yield(); // kill while a callback runs
    ASSERT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    EXPECT_FALSE(ticks.inside);
    const int after = ticks.count;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ticks.count, after);
    EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM); // already gone
}

TEST(TimerTest, KillFromWithinTheCallbackDoesNotDeadlock) {
    Ticks ticks;
    ticks.selfKill = 3;
    ticks.id = timeSetEvent(2, 1, Record, reinterpret_cast<std::uintptr_t>(&ticks), TIME_PERIODIC);
    ASSERT_NE(ticks.id, 0u);
    WaitForTicks(ticks, 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ticks.count, 3);
    EXPECT_EQ(timeKillEvent(ticks.id), MMSYSERR_INVALPARAM);
    // The killed timer's thread is reaped by later calls.
    Ticks other;
    const UINT id =
        timeSetEvent(1, 1, Record, reinterpret_cast<std::uintptr_t>(&other), TIME_ONESHOT);
    WaitForTicks(other, 1);
    timeKillEvent(id);
}

TEST(TimerTest, OneShotFiresOnce) {
    Ticks ticks;
    const UINT id =
        timeSetEvent(5, 1, Record, reinterpret_cast<std::uintptr_t>(&ticks), TIME_ONESHOT);
    ASSERT_NE(id, 0u);
    WaitForTicks(ticks, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(ticks.count, 1);
    timeKillEvent(id);
}

TEST(TimerTest, RefusesBadArguments) {
    Ticks ticks;
    EXPECT_EQ(timeSetEvent(10, 1, nullptr, 0, TIME_PERIODIC), 0u);
    EXPECT_EQ(timeSetEvent(0, 1, Record, reinterpret_cast<std::uintptr_t>(&ticks), TIME_PERIODIC),
              0u);
    EXPECT_EQ(timeKillEvent(0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(timeKillEvent(987654), MMSYSERR_INVALPARAM);
}

TEST(TimerTest, KillingAKilledTimerFromAnotherThreadIsSafe) {
    Ticks ticks;
    const UINT id =
        timeSetEvent(1, 1, Record, reinterpret_cast<std::uintptr_t>(&ticks), TIME_PERIODIC);
    WaitForTicks(ticks, 2);
    std::atomic<int> succeeded{0};
    std::vector<std::thread> killers;
    for (int i = 0; i < 4; ++i) {
        killers.emplace_back([&] { succeeded += timeKillEvent(id) == TIMERR_NOERROR; });
    }
    for (auto& k : killers)
        k.join();
    EXPECT_EQ(succeeded, 1);
    EXPECT_FALSE(ticks.inside);
}

} // namespace
