#include "lensport/capture_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace lensport {
namespace {

// Temporary names are unique within the process; O_EXCL keeps them from meeting a file
// of another process.
std::atomic<unsigned> g_temporarySequence{0};
constexpr int kNameAttempts = 100;

std::string TemporaryName(const std::string& folder) {
    char name[64];
    std::snprintf(name, sizeof name, "/.lensport-%ld-%u.part", static_cast<long>(getpid()),
                  g_temporarySequence.fetch_add(1));
    return folder + name;
}

// Writes all of a block, continuing after short writes and interruptions.
int WriteAt(int fd, const std::uint8_t* data, std::size_t length, std::uint64_t offset) {
    while (length > 0) {
        const ssize_t written = pwrite(fd, data, length, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        data += written;
        length -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return 0;
}

} // namespace

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool CaptureFile::Begin(const std::string& finalName, std::uint64_t expectedSize) {
    Discard();
    finalName_ = finalName;
    expectedSize_ = expectedSize;
    end_ = 0;
    failed_ = false;
    error_ = 0;
    const std::string folder = FolderOf(finalName);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temporaryName_ = TemporaryName(folder == "/" ? "" : folder);
        // Created with the usual permissions (0666 less the umask), as the picture will be.
        fd_ = open(temporaryName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) return true;
        if (errno != EEXIST) break;
    }
    error_ = errno;
    temporaryName_.clear();
    return false;
}

void CaptureFile::Fail(int error) {
    if (!failed_) error_ = error;
    failed_ = true;
}

void CaptureFile::Write(std::uint64_t offset, const void* data, std::size_t length) {
    if (fd_ < 0 || failed_) return;
    if (data == nullptr && length > 0) {
        Fail(EFAULT);
        return;
    }
    const int error = WriteAt(fd_, static_cast<const std::uint8_t*>(data), length, offset);
    if (error != 0) {
        Fail(error);
        return;
    }
    end_ = std::max(end_, offset + length);
}

void CaptureFile::CloseDescriptor() {
    if (fd_ < 0) return;
    // close reports write errors some file systems defer until then.
    if (close(fd_) != 0) Fail(errno);
    fd_ = -1;
}

bool CaptureFile::Finish(bool transferOk) {
    if (fd_ < 0) return false;
    CloseDescriptor();
    const bool complete = transferOk && !failed_ && (expectedSize_ == 0 || end_ == expectedSize_);
    if (complete && std::rename(temporaryName_.c_str(), finalName_.c_str()) == 0) {
        temporaryName_.clear();
        return true;
    }
    if (complete) Fail(errno);
    unlink(temporaryName_.c_str());
    temporaryName_.clear();
    // The transfer was to replace whatever carried this name; it must not pass for the
    // picture now.
    unlink(finalName_.c_str());
    return false;
}

void CaptureFile::Discard() {
    if (fd_ < 0) return;
    close(fd_);
    fd_ = -1;
    unlink(temporaryName_.c_str());
    temporaryName_.clear();
}

} // namespace lensport
