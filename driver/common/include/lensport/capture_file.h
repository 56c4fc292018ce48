// A picture file written block by block while the camera delivers it. The blocks go into
// a temporary file in the picture's folder; only a transfer that delivered every byte and
// was written completely is renamed to the picture's name. A name therefore never holds
// a half-written picture, and after a failed transfer it holds no picture at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lensport {

class CaptureFile {
public:
    CaptureFile() = default;
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;
    // A file still open is discarded.
    ~CaptureFile() { Discard(); }

    // Opens a new temporary file for the picture that will be called finalName.
    // expectedSize is the size the sender announced (0: unknown). A file still open is
    // discarded first. False when the temporary file can't be created (Error() tells why).
    bool Begin(const std::string& finalName, std::uint64_t expectedSize);
    bool IsOpen() const { return fd_ >= 0; }

    // Writes a block at its offset from the start. A failed write marks the file as
    // failed; it stays open so the transfer can run to its end.
    void Write(std::uint64_t offset, const void* data, std::size_t length);

    // Ends the file. When transferOk and every write succeeded and the blocks reached the
    // announced size, the file takes its final name (replacing an older file) and the
    // result is true. Otherwise the temporary file is removed together with any older
    // file under the final name, and the result is false.
    bool Finish(bool transferOk);

    // Removes the temporary file of an unfinished transfer (nothing else).
    void Discard();

    // errno of the failure that spoilt the file (0: none, or the transfer was at fault).
    int Error() const { return error_; }

private:
    void Fail(int error);
    void CloseDescriptor();

    int fd_ = -1;
    std::string finalName_;
    std::string temporaryName_;
    std::uint64_t expectedSize_ = 0;
    std::uint64_t end_ = 0; // furthest byte written
    bool failed_ = false;
    int error_ = 0;
};

// The folder part of a path as the file system sees it (up to the last "/"), "." when
// the path names a file in the current directory.
std::string FolderOf(const std::string& path);

} // namespace lensport
