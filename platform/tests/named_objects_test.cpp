#include "helpers/services_test_support.h"

#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using platform::testing::KillChild;
using platform::testing::ReadySignal;
using platform::testing::ScopedEnv;
using platform::testing::StartChild;
using platform::testing::TempDir;
using platform::testing::WaitChild;

// Each test gets its own runtime folder, inherited by the children it forks.
class NamedObjectsTest : public ::testing::Test {
protected:
    void SetUp() override { env_.Set("XDG_RUNTIME_DIR", runtime.Path()); }

    // A child that holds a handle (and optionally ownership) until it is killed.
    template <typename Hold> pid_t ChildHolding(Hold hold) {
        ReadySignal ready;
        const pid_t pid = StartChild([&] {
            if (!hold()) return 1;
            ready.Send();
            for (;;)
                pause();
        });
        EXPECT_EQ(ready.Wait(), 'r');
        return pid;
    }

    TempDir runtime;

private:
    ScopedEnv env_;
};

constexpr const char* kStart = "LumettaCanonApplicationStart";

TEST_F(NamedObjectsTest, SecondMutexInTheSameProcessReportsExisting) {
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kStart), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    HANDLE first = CreateMutexA(nullptr, FALSE, kStart);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE second = CreateMutexA(nullptr, FALSE, kStart);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    HANDLE opened = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kStart);
    EXPECT_NE(opened, nullptr);
    // The mutex lives while any handle does.
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(opened));
    HANDLE third = CreateMutexA(nullptr, FALSE, kStart);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(CloseHandle(third));
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kStart), nullptr);
}

TEST_F(NamedObjectsTest, SecondStartIsDetectedAndNotBlockedAfterTheFirstIsKilled) {
    const pid_t first =
        ChildHolding([] { return CreateMutexA(nullptr, FALSE, kStart) != nullptr; });
    HANDLE probe = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kStart);
    EXPECT_NE(probe, nullptr);
    CloseHandle(probe);
    const pid_t second = StartChild([] {
        HANDLE mine = CreateMutexA(nullptr, FALSE, kStart);
        return mine != nullptr && GetLastError() == ERROR_ALREADY_EXISTS ? 0 : 1;
    });
    EXPECT_EQ(WaitChild(second), 0);

    KillChild(first);
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kStart), nullptr);
    const pid_t restart = StartChild([] {
        HANDLE mine = CreateMutexA(nullptr, FALSE, kStart);
        return mine != nullptr && GetLastError() == ERROR_SUCCESS ? 0 : 1;
    });
    EXPECT_EQ(WaitChild(restart), 0);
}

TEST_F(NamedObjectsTest, MutexOwnershipIsExclusiveAndRecursive) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "Owned");
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); // recursive: count 2
    std::atomic<DWORD> other{WAIT_FAILED};
    std::thread([&] { other = WaitForSingleObject(mutex, 0); }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT);
    std::thread([&] {
        EXPECT_FALSE(ReleaseMutex(mutex));
        EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    }).join();
    EXPECT_TRUE(ReleaseMutex(mutex));
    std::thread([&] { other = WaitForSingleObject(mutex, 0); }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT); // still owned once
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    std::thread waiter([&] {
        other = WaitForSingleObject(mutex, 5000);
        ReleaseMutex(mutex);
    });
    waiter.join();
    EXPECT_EQ(other, WAIT_OBJECT_0);
    CloseHandle(mutex);
}

TEST_F(NamedObjectsTest, MutexOwnedByAKilledProcessCanBeTaken) {
    const pid_t owner = ChildHolding([] {
        HANDLE mine = CreateMutexA(nullptr, FALSE, "Shared");
        return mine != nullptr && WaitForSingleObject(mine, 0) == WAIT_OBJECT_0;
    });
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "Shared");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT);
    KillChild(owner);
    EXPECT_EQ(WaitForSingleObject(mutex, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

TEST_F(NamedObjectsTest, SemaphoreReleaseIsSeenByAnotherProcess) {
    constexpr const char* kName = "CloseLumettaDS";
    EXPECT_EQ(OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, kName), nullptr);
    HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 1, kName);
    ASSERT_NE(semaphore, nullptr);
    // The host side: open, release once, close.
    const pid_t host = StartChild([&] {
        HANDLE opened = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, kName);
        const bool ok = opened != nullptr && ReleaseSemaphore(opened, 1, nullptr);
        CloseHandle(opened);
        return ok ? 0 : 1;
    });
    EXPECT_EQ(WaitForSingleObject(semaphore, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitChild(host), 0);
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT); // one release, one wait

    // And the other way round: a waiting process sees this process's release.
    ReadySignal ready;
    const pid_t waiter = StartChild([&] {
        HANDLE opened = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, kName);
        if (opened == nullptr) return 1;
        ready.Send();
        return WaitForSingleObject(opened, 10000) == WAIT_OBJECT_0 ? 0 : 2;
    });
    ASSERT_EQ(ready.Wait(), 'r');
    EXPECT_TRUE(ReleaseSemaphore(semaphore, 1, nullptr));
    EXPECT_EQ(WaitChild(waiter), 0);
    CloseHandle(semaphore);
    EXPECT_EQ(OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, kName), nullptr);
}

TEST_F(NamedObjectsTest, SemaphoreGoesWithAKilledOwner) {
    const pid_t owner =
        ChildHolding([] { return CreateSemaphoreA(nullptr, 1, 5, "Gone") != nullptr; });
    HANDLE opened = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, "Gone");
    ASSERT_NE(opened, nullptr);
    LONG previous = -1;
    EXPECT_TRUE(ReleaseSemaphore(opened, 2, &previous));
    EXPECT_EQ(previous, 1);
    CloseHandle(opened);
    KillChild(owner);
    EXPECT_EQ(OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, "Gone"), nullptr);
    // A new one starts from its own initial count, not the dead one's.
    HANDLE fresh = CreateSemaphoreA(nullptr, 0, 5, "Gone");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(fresh, 0), WAIT_TIMEOUT);
    CloseHandle(fresh);
}

TEST_F(NamedObjectsTest, SemaphoreCountsUpToItsMaximum) {
    for (const char* name : {static_cast<const char*>(nullptr), "Counted"}) {
        HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 2, name);
        ASSERT_NE(semaphore, nullptr);
        LONG previous = -1;
        EXPECT_TRUE(ReleaseSemaphore(semaphore, 1, &previous));
        EXPECT_EQ(previous, 1);
        EXPECT_FALSE(ReleaseSemaphore(semaphore, 1, &previous));
        EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_POSTS);
        EXPECT_FALSE(ReleaseSemaphore(semaphore, 0, nullptr));
        EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);
        std::thread releaser([&] { ReleaseSemaphore(semaphore, 1, nullptr); });
        EXPECT_EQ(WaitForSingleObject(semaphore, 10000), WAIT_OBJECT_0);
        releaser.join();
        CloseHandle(semaphore);
    }
}

TEST_F(NamedObjectsTest, RefusesBadArgumentsAndForeignHandles) {
    const struct {
        LONG initial;
        LONG maximum;
    } bad[] = {{0, 0}, {-1, 1}, {3, 2}};
    for (const auto& c : bad) {
        EXPECT_EQ(CreateSemaphoreA(nullptr, c.initial, c.maximum, "Bad"), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, nullptr), nullptr);
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, nullptr), nullptr);
    int notAHandle = 0;
    EXPECT_FALSE(ReleaseSemaphore(reinterpret_cast<HANDLE>(&notAHandle), 1, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    EXPECT_FALSE(ReleaseMutex(semaphore)); // not a mutex
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    CloseHandle(semaphore);
}

TEST_F(NamedObjectsTest, NamesAreKeptApartAndStayInTheRuntimeFolder) {
    HANDLE a = CreateMutexA(nullptr, FALSE, "Global\\a/b");
    HANDLE b = CreateMutexA(nullptr, FALSE, "Global_a_b");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS); // a different name
    HANDLE up = CreateMutexA(nullptr, FALSE, "../../escape");
    const std::string longName(1000, 'n');
    HANDLE longer = CreateMutexA(nullptr, FALSE, longName.c_str());
    ASSERT_NE(longer, nullptr);
    HANDLE again = CreateMutexA(nullptr, FALSE, longName.c_str());
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(runtime.Path())) {
        EXPECT_EQ(entry.path().parent_path().string(), runtime.Path()) << entry.path();
    }
    EXPECT_FALSE(std::filesystem::exists(runtime.Path() + "/../../escape"));
    for (HANDLE h : {a, b, up, longer, again})
        CloseHandle(h);
}

} // namespace
