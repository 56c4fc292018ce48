// Named mutexes and semaphores shared by the processes of one user. Each object is a
// file in the runtime folder; every open handle holds a shared flock on it, so the
// object exists exactly as long as some process holds a handle and vanishes with a
// crashed owner (the kernel drops the locks of a dead process). A second file, the
// guard, serialises the decisions "does it exist yet" and the semaphore's count.
#include "kernel_object.h"
#include "runtime_dir.h"
#include "unique_fd.h"

#include "platform/sync.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <thread>

namespace platform::detail {
namespace {

// Another process's release can't wake our waiters; they look again this often.
constexpr std::chrono::milliseconds kCrossProcessPoll(20);

bool BlockingFlock(int fd, int operation) {
    for (;;) {
        if (flock(fd, operation) == 0) return true;
        if (errno != EINTR) return false;
    }
}

bool TryFlock(int fd, int operation) {
    return BlockingFlock(fd, operation | LOCK_NB);
}

UniqueFd OpenObjectFile(const std::string& path) {
    return UniqueFd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
}

std::string ObjectPath(const char* kind, const char* name) {
    const std::string dir = RuntimeDir();
    if (dir.empty()) return {};
    return dir + "/" + kind + "-" + EncodeObjectName(name);
}

// Holds the guard of an object: an exclusive flock plus, since flock doesn't separate
// threads sharing one descriptor, a process-local mutex.
class GuardLock {
public:
    GuardLock(std::mutex& local, int guardFd) : local_(local), fd_(guardFd) {
        local_.lock();
        locked_ = BlockingFlock(fd_, LOCK_EX);
    }
    ~GuardLock() {
        if (locked_) flock(fd_, LOCK_UN);
        local_.unlock();
    }
    GuardLock(const GuardLock&) = delete;
    GuardLock& operator=(const GuardLock&) = delete;
    bool Locked() const { return locked_; }

private:
    std::mutex& local_;
    int fd_;
    bool locked_ = false;
};

enum class JoinResult { Created, Joined, Missing, Failed };

// The files of one named object as held by one handle.
struct SharedFiles {
    std::string path;
    UniqueFd presence; // shared flock while the handle lives
    UniqueFd guard;
    std::mutex guardMutex;

    // Opens the object, creating it when no process holds it and `create` is set.
    // `initialize` writes the state of a new object (under the guard).
    template <typename Init>
    JoinResult Join(const std::string& objectPath, bool create, Init initialize) {
        path = objectPath;
        guard = OpenObjectFile(path + ".guard");
        UniqueFd fd = OpenObjectFile(path);
        if (!guard || !fd) return JoinResult::Failed;
        GuardLock lock(guardMutex, guard.Get());
        if (!lock.Locked()) return JoinResult::Failed;
        // Nobody else holds a lock: the object does not exist (any more).
        const bool isNew = TryFlock(fd.Get(), LOCK_EX);
        if (isNew && !create) return JoinResult::Missing;
        if (isNew && !initialize(fd.Get())) return JoinResult::Failed;
        if (!TryFlock(fd.Get(), LOCK_SH)) return JoinResult::Failed;
        presence = std::move(fd);
        return isNew ? JoinResult::Created : JoinResult::Joined;
    }
};

// What the mutex and the semaphore share: the object files when named (none when
// unnamed) and, when named, looking again for changes made by other processes.
class NamedObject : public KernelObject {
public:
    std::chrono::milliseconds PollPeriod() const override {
        return files_ ? kCrossProcessPoll : std::chrono::milliseconds(0);
    }

protected:
    explicit NamedObject(std::unique_ptr<SharedFiles> files) : files_(std::move(files)) {}

    std::unique_ptr<SharedFiles> files_;
};

// ---------------------------------------------------------------------------------------
// Semaphore

struct SemaphoreState {
    std::int64_t count = 0;
    std::int64_t maximum = 0;
    bool Valid() const { return maximum > 0 && count >= 0 && count <= maximum; }
};

bool ReadState(int fd, SemaphoreState& state) {
    std::int64_t raw[2];
    if (pread(fd, raw, sizeof raw, 0) != static_cast<ssize_t>(sizeof raw)) return false;
    state.count = raw[0];
    state.maximum = raw[1];
    return state.Valid();
}

bool WriteState(int fd, const SemaphoreState& state) {
    const std::int64_t raw[2] = {state.count, state.maximum};
    return pwrite(fd, raw, sizeof raw, 0) == static_cast<ssize_t>(sizeof raw);
}

class Semaphore final : public NamedObject {
public:
    // Unnamed: the count lives in this process only.
    Semaphore(LONG initial, LONG maximum) : NamedObject(nullptr), local_{initial, maximum} {}
    // Named: the count lives in the object file.
    explicit Semaphore(std::unique_ptr<SharedFiles> files) : NamedObject(std::move(files)) {}

    bool TryAcquire() override {
        return Modify([](SemaphoreState& s) {
            if (s.count <= 0) return false;
            --s.count;
            return true;
        });
    }

    // FALSE (with the error) when the count would pass the maximum.
    bool Release(LONG count, LONG* previous) {
        std::int64_t before = 0;
        const bool ok = Modify([&](SemaphoreState& s) {
            before = s.count;
            if (count > s.maximum - s.count) return false;
            s.count += count;
            return true;
        });
        if (!ok) return false;
        if (previous != nullptr) *previous = static_cast<LONG>(before);
        WakeWaiters();
        return true;
    }

    const char* Kind() const override { return "semaphore"; }

private:
    template <typename F> bool Modify(F change) {
        if (!files_) {
            std::lock_guard lock(localMutex_);
            return change(local_);
        }
        GuardLock lock(files_->guardMutex, files_->guard.Get());
        SemaphoreState state;
        if (!lock.Locked() || !ReadState(files_->presence.Get(), state)) return false;
        if (!change(state)) return false;
        return WriteState(files_->presence.Get(), state);
    }

    std::mutex localMutex_;
    SemaphoreState local_;
};

// ---------------------------------------------------------------------------------------
// Mutex

class Mutex final : public NamedObject {
public:
    Mutex() : NamedObject(nullptr) {}
    Mutex(std::unique_ptr<SharedFiles> files, UniqueFd ownership)
        : NamedObject(std::move(files)), ownership_(std::move(ownership)) {}

    // Recursive for the owning thread; across processes the ownership is an exclusive
    // flock, dropped by the kernel if the owner dies.
    bool TryAcquire() override {
        std::lock_guard lock(mutex_);
        if (recursion_ > 0) {
            if (owner_ != std::this_thread::get_id()) return false;
            ++recursion_;
            return true;
        }
        if (ownership_ && !TryFlock(ownership_.Get(), LOCK_EX)) return false;
        owner_ = std::this_thread::get_id();
        recursion_ = 1;
        return true;
    }

    bool Release() {
        {
            std::lock_guard lock(mutex_);
            if (recursion_ == 0 || owner_ != std::this_thread::get_id()) return false;
            if (--recursion_ > 0) return true;
            owner_ = {};
            if (ownership_) flock(ownership_.Get(), LOCK_UN);
        }
        WakeWaiters();
        return true;
    }

    const char* Kind() const override { return "mutex"; }

private:
    UniqueFd ownership_;
    std::mutex mutex_;
    std::thread::id owner_;
    unsigned recursion_ = 0;
};

HANDLE Publish(KernelObject* object) {
    RegisterObject(object);
    return ToHandle(object);
}

// Joins (or creates) a named object; sets the last error the Windows way.
std::unique_ptr<SharedFiles> JoinNamed(const char* kind, const char* name, bool create,
                                       auto initialize, JoinResult& result) {
    const std::string path = ObjectPath(kind, name);
    auto files = std::make_unique<SharedFiles>();
    result = path.empty() ? JoinResult::Failed : files->Join(path, create, initialize);
    switch (result) {
    case JoinResult::Created:
        SetLastError(ERROR_SUCCESS);
        return files;
    case JoinResult::Joined:
        SetLastError(create ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
        return files;
    case JoinResult::Missing:
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    case JoinResult::Failed:
        break;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

HANDLE MakeNamedMutex(const char* name, bool create, bool initialOwner) {
    JoinResult result;
    auto files = JoinNamed(
        "mutex", name, create, [](int) { return true; }, result);
    if (!files) return nullptr;
    UniqueFd ownership = OpenObjectFile(files->path + ".own");
    if (!ownership) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const DWORD error = GetLastError();
    auto* mutex = new Mutex(std::move(files), std::move(ownership));
    if (initialOwner && result == JoinResult::Created) mutex->TryAcquire();
    SetLastError(error);
    return Publish(mutex);
}

HANDLE MakeNamedSemaphore(const char* name, bool create, LONG initial, LONG maximum) {
    JoinResult result;
    const SemaphoreState state{initial, maximum};
    auto files = JoinNamed(
        "semaphore", name, create, [&](int fd) { return WriteState(fd, state); }, result);
    if (!files) return nullptr;
    const DWORD error = GetLastError();
    HANDLE handle = Publish(new Semaphore(std::move(files)));
    SetLastError(error);
    return handle;
}

template <typename T> T* ObjectOf(HANDLE handle) {
    return dynamic_cast<T*>(FromHandle(handle));
}

} // namespace
} // namespace platform::detail

using platform::detail::Mutex;
using platform::detail::ObjectOf;
using platform::detail::Semaphore;

HANDLE CreateMutexA(void*, BOOL initialOwner, const char* name) {
    if (name == nullptr) {
        auto* mutex = new Mutex();
        if (initialOwner) mutex->TryAcquire();
        SetLastError(ERROR_SUCCESS);
        return platform::detail::Publish(mutex);
    }
    return platform::detail::MakeNamedMutex(name, true, initialOwner != FALSE);
}

HANDLE OpenMutexA(DWORD, BOOL, const char* name) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return platform::detail::MakeNamedMutex(name, false, false);
}

BOOL ReleaseMutex(HANDLE handle) {
    Mutex* mutex = ObjectOf<Mutex>(handle);
    if (mutex == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!mutex->Release()) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}

HANDLE CreateSemaphoreA(void*, LONG initial, LONG maximum, const char* name) {
    if (maximum <= 0 || initial < 0 || initial > maximum) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (name == nullptr) {
        SetLastError(ERROR_SUCCESS);
        return platform::detail::Publish(new Semaphore(initial, maximum));
    }
    return platform::detail::MakeNamedSemaphore(name, true, initial, maximum);
}

HANDLE OpenSemaphoreA(DWORD, BOOL, const char* name) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return platform::detail::MakeNamedSemaphore(name, false, 0, 1);
}

BOOL ReleaseSemaphore(HANDLE handle, LONG count, LONG* previous) {
    Semaphore* semaphore = ObjectOf<Semaphore>(handle);
    if (semaphore == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!semaphore->Release(count, previous)) {
        SetLastError(ERROR_TOO_MANY_POSTS);
        return FALSE;
    }
    return TRUE;
}
