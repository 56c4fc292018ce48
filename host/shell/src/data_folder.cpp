#include "shell/data_folder.h"

#include "platform/module.h"
#include "platform/profile.h"
#include "platform/shell.h"

#include <array>
#include <climits>

namespace {

// Kinds of the NT 5 family and every version the table does not know keep their
// settings in the common application-data folder.
bool UsesShellFolders(int kind) {
    return kind == 0 || (kind >= 6 && kind <= 8);
}

constexpr int kKindMe = 3;

// Folder names as path pieces; backslashes of Windows-style texts become "/", runs of
// separators collapse and no separator is left at either end.
std::string NormalizedPiece(const std::string& text) {
    std::string out;
    for (char c : text) {
        const char d = (c == '\\') ? '/' : c;
        if (d == '/' && (out.empty() || out.back() == '/')) continue;
        out += d;
    }
    while (!out.empty() && out.back() == '/')
        out.pop_back();
    return out;
}

std::string JoinPath(std::string base, const std::string& piece) {
    while (base.size() > 1 && (base.back() == '/' || base.back() == '\\'))
        base.pop_back();
    const std::string tail = NormalizedPiece(piece);
    if (tail.empty()) return base;
    if (base.empty() || base.back() == '/') return base + tail;
    return base + "/" + tail;
}

std::string ShellFolder(int csidl) {
    std::array<char, PATH_MAX + 1> buf{};
    if (!SHGetSpecialFolderPathA(nullptr, buf.data(), csidl, TRUE)) return {};
    buf.back() = '\0';
    return buf.data();
}

std::string WindowsFolder() {
    std::array<char, PATH_MAX + 1> buf{};
    const UINT n = GetWindowsDirectoryA(buf.data(), static_cast<UINT>(buf.size()));
    if (n == 0 || n >= buf.size()) return {};
    return std::string(buf.data(), n);
}

// The product subfolder from path.ini beside the program; the file is only read.
std::string ProductSubfolder() {
    const std::string pathIni = platform::ProgramFolder() + "path.ini";
    return platform::ProfileString(pathIni, "Path", "path1", kDefaultProductSubfolder);
}

std::string BaseFolder(int kind) {
    if (UsesShellFolders(kind)) return ShellFolder(CSIDL_COMMON_APPDATA);
    if (kind == kKindMe) return JoinPath(WindowsFolder(), "All Users/Application Data");
    return JoinPath(WindowsFolder(), "Application Data");
}

// Kind for major version 4 by minor version and platform.
int KindOfVersion4(DWORD minor, DWORD platformId) {
    switch (minor) {
    case 0:
        return platformId == VER_PLATFORM_WIN32_NT ? 5 : 1;
    case 10:
        return 2;
    case 90:
        return 3;
    default:
        return 0;
    }
}

int KindOfVersion5(DWORD minor) {
    switch (minor) {
    case 0:
        return 6;
    case 1:
        return 7;
    case 2:
        return 8;
    default:
        return 0;
    }
}

bool IsWindowsPlatform(DWORD platformId) {
    return platformId == VER_PLATFORM_WIN32s || platformId == VER_PLATFORM_WIN32_WINDOWS ||
           platformId == VER_PLATFORM_WIN32_NT;
}

} // namespace

int GetWindowsKind() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info)) return 0;
    // A kernel version of another system must not pass for a Windows release with
    // the same numbers.
    if (!IsWindowsPlatform(info.dwPlatformId)) return 0;
    switch (info.dwMajorVersion) {
    case 3:
        return 4;
    case 4:
        return KindOfVersion4(info.dwMinorVersion, info.dwPlatformId);
    case 5:
        return KindOfVersion5(info.dwMinorVersion);
    default:
        return 0;
    }
}

std::string GetDataFolder() {
    return JoinPath(BaseFolder(GetWindowsKind()), ProductSubfolder());
}

std::string GetDefaultPictureFolder() {
    if (UsesShellFolders(GetWindowsKind())) return JoinPath(ShellFolder(CSIDL_MYPICTURES), "");
    return GetDataFolder();
}
