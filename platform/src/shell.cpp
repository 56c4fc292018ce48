// Shell folders from the XDG base and user directories, the Windows folder stand-in and
// the version report.
#include "platform/shell.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace platform::detail {
namespace {

std::mutex versionMutex;
std::optional<OSVERSIONINFOA> injectedVersion;

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (IsAbsolute(home)) return home;
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        IsAbsolute(found->pw_dir)) {
        return found->pw_dir;
    }
    return {};
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string XdgFolder(const char* variable, const char* fallbackBelowHome) {
    const char* value = std::getenv(variable);
    if (IsAbsolute(value)) return value;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/" + fallbackBelowHome;
}

// One value of user-dirs.dirs: "$HOME/relative" or "/absolute", with backslash escapes.
std::string UserDirValue(std::string_view raw, const std::string& home) {
    if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') return {};
    raw = raw.substr(1, raw.size() - 2);
    std::string value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
        value += raw[i];
    }
    if (value == "$HOME") return home;
    if (value.rfind("$HOME/", 0) == 0) return home + value.substr(5);
    return value.front() == '/' ? value : std::string();
}

std::string PicturesFolder() {
    const std::string home = HomeFolder();
    std::ifstream dirs(XdgFolder("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs");
    std::string line;
    constexpr std::string_view kKey = "XDG_PICTURES_DIR=";
    while (std::getline(dirs, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, kKey.size(), kKey) != 0) continue;
        std::string_view raw(line);
        raw.remove_prefix(start + kKey.size());
        while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\t' || raw.back() == '\r')) {
            raw.remove_suffix(1);
        }
        const std::string value = UserDirValue(raw, home);
        if (!value.empty()) return value;
    }
    return home.empty() ? std::string() : home + "/Pictures";
}

void FillLinuxVersion(OSVERSIONINFOA& info) {
    struct utsname names {};
    unsigned major = 0, minor = 0, patch = 0;
    if (uname(&names) == 0) {
        std::sscanf(names.release, "%u.%u.%u", &major, &minor, &patch);
        const std::string text = std::string(names.sysname) + " " + names.release;
        const std::size_t n = std::min(text.size(), sizeof info.szCSDVersion - 1);
        std::memcpy(info.szCSDVersion, text.data(), n);
        info.szCSDVersion[n] = '\0';
    }
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.dwBuildNumber = patch;
    info.dwPlatformId = VER_PLATFORM_LINUX;
}

} // namespace
} // namespace platform::detail

BOOL SHGetSpecialFolderPathA(HWND, char* path, int csidl, BOOL create) {
    if (path == nullptr) return FALSE;
    const std::string folder = platform::SpecialFolder(csidl);
    if (folder.empty() || folder.size() >= MAX_PATH) return FALSE;
    std::error_code error;
    if (create) std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) return FALSE;
    std::memcpy(path, folder.c_str(), folder.size() + 1);
    return TRUE;
}

UINT GetWindowsDirectoryA(char* buf, UINT size) {
    static constexpr std::string_view kFolder = "/etc";
    // Too small: nothing copied, the size needed returned (with the zero).
    if (buf == nullptr || size <= kFolder.size()) return static_cast<UINT>(kFolder.size() + 1);
    std::memcpy(buf, kFolder.data(), kFolder.size());
    buf[kFolder.size()] = '\0';
    return static_cast<UINT>(kFolder.size());
}

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    {
        std::lock_guard lock(platform::detail::versionMutex);
        if (platform::detail::injectedVersion) {
            *info = *platform::detail::injectedVersion;
            info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
            return TRUE;
        }
    }
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    platform::detail::FillLinuxVersion(*info);
    return TRUE;
}

namespace platform {

void InjectWindowsVersion(std::optional<OSVERSIONINFOA> version) {
    std::lock_guard lock(detail::versionMutex);
    detail::injectedVersion = version;
}

std::string SpecialFolder(int csidl) {
    switch (csidl) {
    case CSIDL_COMMON_APPDATA:
        return detail::WithoutTrailingSlash(detail::XdgFolder("XDG_DATA_HOME", ".local/share"));
    case CSIDL_MYPICTURES:
        return detail::WithoutTrailingSlash(detail::PicturesFolder());
    case CSIDL_PERSONAL:
        return detail::WithoutTrailingSlash(detail::HomeFolder());
    default:
        return {};
    }
}

} // namespace platform
