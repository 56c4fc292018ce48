// Events, threads, waits and handles of the platform layer (no GUI involved).
#include "platform/sync.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>

#include <atomic>

namespace {

struct EventCase {
    const char* name;
    BOOL manualReset;
    DWORD secondWait; // after one SetEvent and one satisfied wait
};

class EventResetTest : public ::testing::TestWithParam<EventCase> {};

TEST_P(EventResetTest, SetSatisfiesWaitsAsItsResetModeSays) {
    const EventCase& c = GetParam();
    HANDLE event = CreateEventA(nullptr, c.manualReset, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), c.secondWait);
    ASSERT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
}

INSTANTIATE_TEST_SUITE_P(Modes, EventResetTest,
                         ::testing::Values(EventCase{"manual", TRUE, WAIT_OBJECT_0},
                                           EventCase{"auto", FALSE, WAIT_TIMEOUT}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Events, InitialStateIsSignalled) {
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST(Events, BadHandlesFail) {
    int notAHandle = 0;
    auto* bogus = reinterpret_cast<HANDLE>(&notAHandle);
    EXPECT_FALSE(SetEvent(bogus));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ResetEvent(nullptr));
    EXPECT_EQ(WaitForSingleObject(bogus, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(bogus));
    // Waiting for oneself would never end.
    EXPECT_EQ(WaitForSingleObject(GetCurrentThread(), 0), WAIT_FAILED);
}

struct Shared {
    HANDLE go = nullptr;
    std::atomic<int> counter{0};
    std::atomic<DWORD> seenId{0};
};

DWORD WaitThenCount(void* param) {
    auto* shared = static_cast<Shared*>(param);
    shared->seenId = GetCurrentThreadId();
    WaitForSingleObject(shared->go, INFINITE);
    ++shared->counter;
    return 42;
}

TEST(Threads, EventWakesAnotherThreadAndThreadHandleSignalsAtItsEnd) {
    Shared shared;
    shared.go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitThenCount, &shared, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    SetEvent(shared.go);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(shared.counter, 1);
    EXPECT_EQ(shared.seenId.load(), id);
    EXPECT_NE(id, GetCurrentThreadId());
    CloseHandle(thread);
    CloseHandle(shared.go);
}

DWORD Count(void* param) {
    ++static_cast<Shared*>(param)->counter;
    return 7;
}

TEST(Threads, SuspendedThreadRunsOnlyAfterResume) {
    Shared shared;
    HANDLE thread = CreateThread(nullptr, 0, Count, &shared, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 30), WAIT_TIMEOUT);
    EXPECT_EQ(shared.counter, 0);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(shared.counter, 1);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(ResumeThread(thread), 0u); // not suspended any more
    CloseHandle(thread);
}

DWORD ParkThreeTimes(void* param) {
    auto* shared = static_cast<Shared*>(param);
    for (int i = 0; i < 3; ++i) {
        ++shared->counter;
        if (SuspendThread(GetCurrentThread()) != 0) return 1;
    }
    return 0;
}

// Resumes the thread once it has parked itself (ResumeThread reports the count it found).
void ResumeWhenParked(HANDLE thread) {
    while (ResumeThread(thread) == 0)
        Sleep(1);
}

TEST(Threads, ThreadParksItselfAndEachResumeLetsItGoOnce) {
    Shared shared;
    HANDLE thread = CreateThread(nullptr, 0, ParkThreeTimes, &shared, 0, nullptr);
    for (int round = 1; round <= 3; ++round) {
        ResumeWhenParked(thread);
    }
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(shared.counter, 3);
    DWORD code = 1;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(thread);
}

TEST(Threads, SuspendingAnotherThreadIsRefused) {
    Shared shared;
    shared.go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WaitThenCount, &shared, 0, nullptr);
    EXPECT_EQ(SuspendThread(thread), static_cast<DWORD>(-1));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    SetEvent(shared.go);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(shared.go);
}

DWORD ReportIdle(void*) {
    const bool idle = sched_getscheduler(0) == SCHED_IDLE || getpriority(PRIO_PROCESS, 0) >= 19;
    return idle ? 1 : 0;
}

TEST(Threads, IdlePriorityMakesTheThreadRunOnlyWhenNothingElseDoes) {
    HANDLE thread = CreateThread(nullptr, 0, ReportIdle, nullptr, CREATE_SUSPENDED, nullptr);
    ASSERT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_IDLE));
    EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_IDLE);
    ResumeThread(thread);
    WaitForSingleObject(thread, INFINITE);
    DWORD idle = 0;
    GetExitCodeThread(thread, &idle);
    EXPECT_EQ(idle, 1u);
    CloseHandle(thread);
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
}

TEST(Threads, ClosingTheHandleOfARunningThreadLeavesTheThreadRunning) {
    Shared shared;
    shared.go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    struct Args {
        Shared* shared;
        HANDLE done;
    } args{&shared, done};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* a = static_cast<Args*>(p);
            WaitThenCount(a->shared);
            SetEvent(a->done);
            return 0;
        },
        &args, 0, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(CloseHandle(thread)); // already gone
    EXPECT_EQ(GetExitCodeThread(thread, nullptr), FALSE);
    SetEvent(shared.go);
    EXPECT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(shared.counter, 1);
    CloseHandle(done);
    CloseHandle(shared.go);
}

TEST(Threads, ClosingAnObjectWhileAnotherThreadWaitsOnItIsSafe) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<DWORD> result{0};
    struct Args {
        HANDLE event;
        std::atomic<DWORD>* result;
    } args{event, &result};
    HANDLE waiter = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* a = static_cast<Args*>(p);
            *a->result = WaitForSingleObject(a->event, 100);
            return 0;
        },
        &args, 0, nullptr);
    Sleep(10);
    EXPECT_TRUE(CloseHandle(event));
    WaitForSingleObject(waiter, INFINITE);
    // Closed before or during the wait: refused or timed out, never a crash.
    EXPECT_TRUE(result == WAIT_TIMEOUT || result == WAIT_FAILED) << result;
    CloseHandle(waiter);
}

TEST(Threads, NullStartRoutineIsRefused) {
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Time, SleepLastsAtLeastItsTimeOnTheTickCount) {
    const DWORD before = GetTickCount();
    Sleep(25);
    EXPECT_GE(GetTickCount() - before, 24u); // tick counts are whole milliseconds
}

TEST(Process, TerminateProcessEndsAtOnceWithTheCode) {
    EXPECT_EXIT(TerminateProcess(GetCurrentProcess(), 42), ::testing::ExitedWithCode(42), "");
}

} // namespace
