#include "runtime_dir.h"

#include "platform/shell.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::detail {
namespace {

constexpr std::size_t kMaxEncodedName = 200;

bool IsPrivateFolder(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 022) == 0;
}

bool IsUsableRuntimeDir(const char* path) {
    if (path == nullptr || path[0] != '/') return false;
    struct stat st {};
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode) && access(path, W_OK | X_OK) == 0;
}

std::string FallbackRuntimeDir() {
    const std::string path = "/tmp/capdeck-" + std::to_string(getuid());
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return {};
    // Someone else may have created it first to catch our lock files and sockets.
    if (!IsPrivateFolder(path)) {
        std::fprintf(stderr, "capdeck: refusing runtime folder %s (not private)\n", path.c_str());
        return {};
    }
    return path;
}

// FNV-1a: stable across processes and builds, unlike std::hash.
std::uint64_t StableHash(const std::string& text) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

bool IsPlainNameByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

} // namespace

std::string RuntimeDir() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (IsUsableRuntimeDir(xdg)) return xdg;
    return FallbackRuntimeDir();
}

std::string EncodeObjectName(const std::string& name) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        // A leading dot would hide the file and ".." would climb out of the folder.
        if (IsPlainNameByte(c) && !(out.empty() && c == '.')) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    if (out.size() > kMaxEncodedName) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "~%016llx",
                      static_cast<unsigned long long>(StableHash(name)));
        out = out.substr(0, kMaxEncodedName - 20) + suffix;
    }
    return out;
}

} // namespace platform::detail

namespace platform {
std::string RuntimeFolder() {
    return detail::RuntimeDir();
}
} // namespace platform
