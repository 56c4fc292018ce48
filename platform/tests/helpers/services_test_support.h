// Shared by the services tests: a private temporary folder, environment variables set
// for one test, and child processes made with fork that report back through their exit
// status.
#pragma once

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace platform::testing {

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "capdeck-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Sets or clears environment variables and puts back what was there when it goes.
class ScopedEnv {
public:
    ScopedEnv() = default;
    ~ScopedEnv() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                unsetenv(it->first.c_str());
            }
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void Set(const char* name, const std::string& value) {
        Save(name);
        setenv(name, value.c_str(), 1);
    }
    void Unset(const char* name) {
        Save(name);
        unsetenv(name);
    }

private:
    void Save(const char* name) {
        for (const auto& [saved, value] : saved_)
            if (saved == name) return;
        const char* value = std::getenv(name);
        saved_.emplace_back(name,
                            value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs body in a child process; the child's exit code is body's result.
template <typename Body> pid_t StartChild(Body body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}

// The exit code of a finished child, or -1 when it was killed or failed to start.
inline int WaitChild(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A one-byte signal from a child to its parent ("I am ready").
class ReadySignal {
public:
    ReadySignal() {
        if (pipe(fds_) != 0) std::abort();
    }
    ~ReadySignal() {
        close(fds_[0]);
        close(fds_[1]);
    }
    ReadySignal(const ReadySignal&) = delete;
    ReadySignal& operator=(const ReadySignal&) = delete;
    void Send(char value = 'r') {
        if (write(fds_[1], &value, 1) != 1) _exit(99);
    }
    // The value sent, or 0 when the child ended without sending.
    char Wait() {
        close(fds_[1]);
        fds_[1] = open("/dev/null", O_WRONLY);
        char value = 0;
        return read(fds_[0], &value, 1) == 1 ? value : 0;
    }

private:
    int fds_[2];
};

inline void KillChild(pid_t pid) {
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
}

} // namespace platform::testing
