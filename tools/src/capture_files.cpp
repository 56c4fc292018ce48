#include "capture_files.h"

#include "exit_codes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lensporttool {

std::string PictureName(const std::string& prefixPath, long n) {
    char number[32];
    std::snprintf(number, sizeof number, "%06ld", n);
    return prefixPath + number + ".jpg";
}

std::string PrepareCaptureFolder(const std::string& folder) {
    std::error_code ec;
    const fs::path path = fs::absolute(folder, ec).lexically_normal();
    if (ec) throw ToolError(kExitNotWritable, "bad folder '" + folder + "': " + ec.message());
    fs::create_directories(path, ec);
    if (ec || !fs::is_directory(path)) {
        throw ToolError(kExitNotWritable, "can't create the folder " + path.string() +
                                              (ec ? ": " + ec.message() : ": not a folder"));
    }
    // Permission bits alone don't tell (read-only mounts, other users): try a file.
    std::string probe = (path / ".lensport-probe-XXXXXX").string();
    const int fd = mkstemp(probe.data());
    if (fd < 0) {
        throw ToolError(kExitNotWritable, "can't write into the folder " + path.string() + ": " +
                                              std::strerror(errno));
    }
    close(fd);
    unlink(probe.c_str());
    std::string result = path.string();
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

} // namespace lensporttool
