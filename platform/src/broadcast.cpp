// Broadcast to the other running instances: each instance binds a datagram socket named
// by its process id in a per-user folder; a broadcast sends the registered message's name
// (numbers differ between processes) to every socket there. Sockets left by dead
// processes refuse the datagram and are removed by the sender.
#include "runtime_dir.h"
#include "top_level_windows.h"
#include "unique_fd.h"

#include "platform/broadcast.h"
#include "platform/window.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>

namespace platform::detail {
namespace {

constexpr char kMagic[6] = {'C', 'D', 'B', 'C', '1', '\0'};
constexpr std::size_t kMaxName = 255;
constexpr const char* kDefaultKind = "Capdeck";

// One datagram: magic, message number (used only for unregistered messages), wParam,
// lParam, then the message name (may be empty).
struct Packet {
    UINT number = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::string name;
};

constexpr std::size_t kHeaderSize = sizeof kMagic + 4 + 8 + 8;

std::string Encode(const Packet& packet) {
    std::string bytes(kMagic, sizeof kMagic);
    const std::uint32_t number = packet.number;
    const std::uint64_t wParam = packet.wParam;
    const std::int64_t lParam = packet.lParam;
    bytes.append(reinterpret_cast<const char*>(&number), 4);
    bytes.append(reinterpret_cast<const char*>(&wParam), 8);
    bytes.append(reinterpret_cast<const char*>(&lParam), 8);
    bytes.append(packet.name);
    return bytes;
}

std::optional<Packet> Decode(const char* data, std::size_t size) {
    if (size < kHeaderSize || size > kHeaderSize + kMaxName ||
        std::memcmp(data, kMagic, sizeof kMagic) != 0) {
        return std::nullopt;
    }
    Packet packet;
    std::uint32_t number;
    std::uint64_t wParam;
    std::int64_t lParam;
    std::memcpy(&number, data + 6, 4);
    std::memcpy(&wParam, data + 10, 8);
    std::memcpy(&lParam, data + 18, 8);
    packet.number = number;
    packet.wParam = static_cast<WPARAM>(wParam);
    packet.lParam = static_cast<LPARAM>(lParam);
    packet.name.assign(data + kHeaderSize, size - kHeaderSize);
    if (packet.name.find('\0') != std::string::npos) return std::nullopt;
    // Registered numbers mean nothing in another process: they must come by name.
    if (packet.name.empty() && packet.number >= 0xC000) return std::nullopt;
    return packet;
}

std::string Folder(const std::string& kind) {
    const std::string dir = RuntimeDir();
    if (dir.empty()) return {};
    const std::string folder = dir + "/broadcast-" + EncodeObjectName(kind);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return folder;
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool IsProcessId(const char* name) {
    if (*name == '\0') return false;
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
    }
    return true;
}

std::mutex deliveryMutex;
platform::BroadcastHandler handler;
std::atomic<TopLevelWindowLister> lister{nullptr};

void Deliver(const Packet& packet) {
    const UINT msg =
        packet.name.empty() ? packet.number : RegisterWindowMessageA(packet.name.c_str());
    if (msg == 0) return;
    platform::BroadcastHandler current;
    {
        std::lock_guard lock(deliveryMutex);
        current = handler;
    }
    if (current) {
        current(msg, packet.wParam, packet.lParam);
        return;
    }
    if (const TopLevelWindowLister list = lister.load()) {
        for (HWND window : list())
            PostMessageA(window, msg, packet.wParam, packet.lParam);
    }
}

class Listener {
public:
    ~Listener() { Stop(); }

    bool Start(const std::string& kind) {
        std::lock_guard lock(mutex_);
        if (thread_.joinable()) return true;
        const std::string folder = Folder(kind);
        sockaddr_un address;
        if (folder.empty() || !FillAddress(folder + "/" + std::to_string(getpid()), address)) {
            return false;
        }
        UniqueFd socketFd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        int stop[2];
        if (!socketFd || pipe2(stop, O_CLOEXEC) != 0) return false;
        UniqueFd stopRead(stop[0]);
        stopWrite_.Reset(stop[1]);
        // A socket with our process id can only be a dead process's.
        unlink(address.sun_path);
        if (bind(socketFd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            stopWrite_.Reset();
            return false;
        }
        path_ = address.sun_path;
        kind_ = kind;
        thread_ = std::thread(&Listener::Run, std::move(socketFd), std::move(stopRead));
        return true;
    }

    void Stop() {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) return;
        const char wake = 1;
        if (write(stopWrite_.Get(), &wake, 1) != 1) {
            // The pipe can't be full or closed here; the thread ends on the close below.
        }
        thread_.join();
        stopWrite_.Reset();
        unlink(path_.c_str());
        path_.clear();
        kind_.clear();
    }

    std::string Kind() {
        std::lock_guard lock(mutex_);
        return kind_.empty() ? kDefaultKind : kind_;
    }

private:
    static void Run(UniqueFd socketFd, UniqueFd stopRead) {
        pollfd fds[2] = {{socketFd.Get(), POLLIN, 0}, {stopRead.Get(), POLLIN, 0}};
        char buffer[kHeaderSize + kMaxName + 1];
        for (;;) {
            if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
            if (fds[1].revents != 0) return;
            if ((fds[0].revents & POLLIN) == 0) continue;
            const ssize_t n = recv(socketFd.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0) continue;
            const auto packet = Decode(buffer, static_cast<std::size_t>(n));
            if (!packet) {
                std::fprintf(stderr, "broadcast: dropped a malformed datagram\n");
                continue;
            }
            Deliver(*packet);
        }
    }

    std::mutex mutex_;
    std::thread thread_;
    UniqueFd stopWrite_;
    std::string path_;
    std::string kind_;
};

Listener& TheListener() {
    static Listener listener;
    return listener;
}

// Sends to one instance; a refused socket belongs to a dead process and is removed.
bool SendTo(int sender, const std::string& path, const std::string& bytes) {
    sockaddr_un address;
    if (!FillAddress(path, address)) return false;
    if (sendto(sender, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
               reinterpret_cast<sockaddr*>(&address), sizeof address) >= 0) {
        return true;
    }
    if (errno == ECONNREFUSED) unlink(path.c_str());
    return false;
}

} // namespace

void SetTopLevelWindowLister(TopLevelWindowLister list) {
    lister.store(list);
}

} // namespace platform::detail

using namespace platform::detail;

long BroadcastSystemMessageA(DWORD flags, DWORD*, UINT msg, WPARAM wParam, LPARAM lParam) {
    Packet packet{msg, wParam, lParam, platform::RegisteredMessageName(msg)};
    if ((packet.name.empty() && msg >= 0xC000) || packet.name.size() > kMaxName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    const std::string folder = Folder(TheListener().Kind());
    UniqueFd sender(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
    if (!sender || dir == nullptr) {
        if (dir != nullptr) closedir(dir);
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    const std::string self = std::to_string(getpid());
    const std::string bytes = Encode(packet);
    long reached = 0;
    while (const dirent* entry = readdir(dir)) {
        if (!IsProcessId(entry->d_name)) continue;
        if ((flags & BSF_IGNORECURRENTTASK) != 0 && self == entry->d_name) continue;
        if (SendTo(sender.Get(), folder + "/" + entry->d_name, bytes)) ++reached;
    }
    closedir(dir);
    return reached;
}

namespace platform {

bool StartBroadcastListener(const std::string& instanceKind) {
    return TheListener().Start(instanceKind);
}

void StopBroadcastListener() {
    TheListener().Stop();
}

void SetBroadcastHandler(BroadcastHandler newHandler) {
    std::lock_guard lock(deliveryMutex);
    handler = std::move(newHandler);
}

} // namespace platform
