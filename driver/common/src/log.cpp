#include "lensport/log.h"

#include "platform/module.h"
#include "platform/profile.h"
#include "platform/shell.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <locale.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace lensport {
namespace {

constexpr const char* kDefaultProductFolder = "Quorvel\\Lumetta Capture";
constexpr std::size_t kMaxProductFolder = 259;

// Paths in ini files use either separator; the ones we build use "/".
std::string WithForwardSlashes(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

std::string ProductFolder() {
    const std::string pathIni = platform::ProgramFolder() + "path.ini";
    char buffer[kMaxProductFolder + 1] = {};
    GetPrivateProfileStringA("Path", "path1", kDefaultProductFolder, buffer, sizeof buffer,
                             pathIni.c_str());
    return WithForwardSlashes(buffer);
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Month/day/two-digit year and 24-hour time, independent of the process's locale.
std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64] = {};
    locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (c == static_cast<locale_t>(nullptr)) return {};
    strftime_l(text, sizeof text, "%m/%d/%y %H:%M:%S", &local, c);
    freelocale(c);
    return text;
}

// One write per line, so lines of concurrent callers never mix.
bool AppendLine(const std::string& file, const std::string& line) {
    const int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const ssize_t written = write(fd, line.data(), line.size());
    close(fd);
    return written == static_cast<ssize_t>(line.size());
}

} // namespace

std::string ErrorCodeText(int n, unsigned code) {
    char text[32];
    std::snprintf(text, sizeof text, "ErrorCode%d:0x%08X", n, code);
    return text;
}

std::string DriverDataFolder() {
    char base[4096] = {};
    if (!SHGetSpecialFolderPathA(nullptr, base, CSIDL_COMMON_APPDATA, FALSE)) return {};
    std::string folder = WithForwardSlashes(base);
    if (folder.empty()) return {};
    if (folder.back() != '/') folder += '/';
    return folder + ProductFolder();
}

bool LogError(const std::string& message, bool libError, const char* key) {
    const std::string folder = DriverDataFolder();
    // The driver creates no folders: without the data folder nothing is recorded.
    if (folder.empty() || !IsDirectory(folder)) return false;
    if (libError && key != nullptr) {
        WritePrivateProfileStringA("LibError", key, message.c_str(),
                                   (folder + "/Capdeck.ini").c_str());
    }
    return AppendLine(folder + "/errors.log", "LMDE:" + LocalTimeText() + ":" + message + "\n");
}

} // namespace lensport
