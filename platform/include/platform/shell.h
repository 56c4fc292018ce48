// Shell folders and the Windows version, as the host's data-folder logic reads them.
#pragma once

#include "platform/types.h"

#include <optional>
#include <string>

constexpr int CSIDL_COMMON_APPDATA = 0x0023;
constexpr int CSIDL_MYPICTURES = 0x0027;
constexpr int CSIDL_PERSONAL = 0x0005;
constexpr unsigned MAX_PATH = 260;

// Common application data = $XDG_DATA_HOME (default ~/.local/share); pictures = the
// XDG pictures folder (default ~/Pictures); personal = $HOME. No trailing separator.
// `path` holds MAX_PATH characters. With `create` a missing folder is made; FALSE for an
// unknown folder id, a path too long, or a folder that doesn't exist (and isn't created).
BOOL SHGetSpecialFolderPathA(HWND owner, char* path, int csidl, BOOL create);
// The Windows folder stand-in: the system configuration folder. Returns the length
// copied, or the size needed (with the zero) when buf is too small.
UINT GetWindowsDirectoryA(char* buf, UINT size);

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
// Linux reports its own kernel version with platform id 3, which no Windows kind
// matches. Tests inject a Windows version.
constexpr DWORD VER_PLATFORM_LINUX = 3;
// FALSE (ERROR_INVALID_PARAMETER) unless dwOSVersionInfoSize is set, like Windows.
BOOL GetVersionExA(OSVERSIONINFOA* info);

namespace platform {
void InjectWindowsVersion(std::optional<OSVERSIONINFOA> version);
std::string SpecialFolder(int csidl);
// The per-user runtime folder ($XDG_RUNTIME_DIR when usable, else a private folder
// made for this user); "" when none can be used. Sessions without a login manager
// have no $XDG_RUNTIME_DIR, and Qt complains at start without one.
std::string RuntimeFolder();
} // namespace platform
