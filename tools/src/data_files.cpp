#include "data_files.h"

#include "exit_codes.h"
#include "platform/module.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "shell/data_folder.h"

#include <array>
#include <climits>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace lensporttool {
namespace {

std::string CommonAppDataFolder() {
    std::array<char, PATH_MAX + 1> buf{};
    if (!SHGetSpecialFolderPathA(nullptr, buf.data(), CSIDL_COMMON_APPDATA, TRUE)) return {};
    buf.back() = '\0';
    return buf.data();
}

// Copies the regular files of the default folder that the data folder lacks.
void SeedMissingFiles(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (from.empty() || !fs::is_directory(from, ec)) return;
    for (auto it = fs::recursive_directory_iterator(from, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const fs::path target = to / fs::relative(it->path(), from, ec);
        if (ec || fs::exists(target, ec)) continue;
        fs::create_directories(target.parent_path(), ec);
        fs::copy_file(it->path(), target, fs::copy_options::skip_existing, ec);
    }
}

// The driver only needs the path of the host ini; a new one records the one key of
// it the driver reads, with its default.
void EnsureHostIni(const std::string& path) {
    std::error_code ec;
    if (fs::exists(path, ec)) return;
    if (!platform::WriteProfileString(path, "Camera", "MonitoringInterval", "3000")) {
        throw ToolError(kExitNotWritable, "can't create " + path);
    }
}

} // namespace

std::string DefaultDataFolderFor(const std::string& dataFolder, const std::string& commonAppData,
                                 const std::string& programFolder) {
    if (commonAppData.empty() || programFolder.empty()) return {};
    std::string base = commonAppData;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    if (dataFolder.size() <= base.size() + 1 || dataFolder.compare(0, base.size(), base) != 0 ||
        dataFolder[base.size()] != '/') {
        return {};
    }
    const std::string subfolder = dataFolder.substr(base.size() + 1);
    return (fs::path(programFolder) / ".." / "share" / subfolder).lexically_normal().string();
}

DataFiles PrepareDataFolder() {
    DataFiles files;
    files.folder = GetDataFolder();
    std::error_code ec;
    fs::create_directories(files.folder, ec);
    if (ec || !fs::is_directory(files.folder)) {
        throw ToolError(kExitNotWritable, "can't create the data folder " + files.folder +
                                              (ec ? ": " + ec.message() : ""));
    }
    SeedMissingFiles(
        DefaultDataFolderFor(files.folder, CommonAppDataFolder(), platform::ProgramFolder()),
        files.folder);
    files.capdeckIni = files.folder + "/Capdeck.ini";
    files.lmdhostIni = files.folder + "/lmdhost.ini";
    files.optionsIni = files.folder + "/options.ini";
    EnsureHostIni(files.capdeckIni);
    return files;
}

} // namespace lensporttool
