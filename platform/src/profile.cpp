// Profile files on disk. Reads go through a per-process cache of parsed files that is
// checked against the file's identity and a write counter on every read, so an unchanged
// large file is not parsed again while any change (from this or another process) is seen
// by the next read. Writers serialise on an flock of a lock file next to the profile,
// re-read the file, edit it and replace it by rename, so nobody's key is lost and a
// killed writer leaves the old or the new file.
#include "profile_document.h"
#include "unique_fd.h"

#include "platform/profile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unordered_map>

namespace platform::detail {
namespace {

// A profile is a settings file; anything larger is not one we will load.
constexpr off_t kMaxProfileSize = 64 << 20;
constexpr std::size_t kMaxCachedFiles = 64;

// Bumped by every write of this process, so a cached parse can't outlive a local write
// even when the file's identity looks unchanged.
std::atomic<std::uint64_t> localGeneration{0};

struct ProfilePaths {
    std::string file; // the real file (symbolic links followed)
    std::string lock;
    std::string temp;
    std::string folder;
};

ProfilePaths PathsFor(const std::string& given) {
    ProfilePaths paths;
    paths.file = given;
    struct stat st {};
    if (lstat(given.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(given.c_str(), nullptr)) {
            paths.file = real;
            std::free(real);
        }
    }
    const auto slash = paths.file.rfind('/');
    paths.folder = slash == std::string::npos ? "." : paths.file.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? paths.file : paths.file.substr(slash + 1);
    const std::string prefix = slash == std::string::npos ? "" : paths.folder;
    paths.lock = prefix + "." + base + ".lock";
    paths.temp = prefix + "." + base + ".tmp";
    return paths;
}

// What identifies one version of a file: a rename gives a new inode, a write bumps the
// counter kept in the lock file, a local write bumps the generation.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
    std::uint64_t writeCounter = 0;
    std::uint64_t generation = 0;
    bool operator==(const FileStamp&) const = default;
};

void FillStamp(const struct stat& st, FileStamp& stamp) {
    stamp.exists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.ctimeNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
}

std::uint64_t ReadCounter(int fd) {
    std::uint64_t counter = 0;
    if (pread(fd, &counter, sizeof counter, 0) != static_cast<ssize_t>(sizeof counter)) return 0;
    return counter;
}

std::uint64_t ReadCounter(const std::string& lockPath) {
    UniqueFd fd(open(lockPath.c_str(), O_RDONLY | O_CLOEXEC));
    return fd ? ReadCounter(fd.Get()) : 0;
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadWhole(int fd, std::string& bytes) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxProfileSize) {
        return ReadResult::Failed;
    }
    bytes.clear();
    char chunk[65536];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ReadResult::Failed;
        if (n == 0) return ReadResult::Ok;
        bytes.append(chunk, static_cast<std::size_t>(n));
        if (bytes.size() > static_cast<std::size_t>(kMaxProfileSize)) return ReadResult::Failed;
    }
}

ReadResult ReadFile(const std::string& path, std::string& bytes, FileStamp* stamp) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    if (stamp != nullptr) {
        struct stat st {};
        if (fstat(fd.Get(), &st) != 0) return ReadResult::Failed;
        FillStamp(st, *stamp);
    }
    return ReadWhole(fd.Get(), bytes);
}

// ---------------------------------------------------------------------------------------
// Reading through the cache

struct CacheEntry {
    FileStamp stamp;
    std::shared_ptr<const ProfileDocument> document;
};

std::mutex cacheMutex;
std::unordered_map<std::string, CacheEntry>& Cache() {
    static std::unordered_map<std::string, CacheEntry> cache;
    return cache;
}

// The stamp is taken before the file is read: a write finishing in between bumps the
// counter after its rename, so at worst the next read parses again.
FileStamp CurrentStamp(const ProfilePaths& paths) {
    FileStamp stamp;
    stamp.generation = localGeneration.load();
    stamp.writeCounter = ReadCounter(paths.lock);
    struct stat st {};
    if (stat(paths.file.c_str(), &st) == 0) FillStamp(st, stamp);
    return stamp;
}

std::shared_ptr<const ProfileDocument> LoadDocument(const std::string& given) {
    static const auto empty = std::make_shared<const ProfileDocument>();
    const ProfilePaths paths = PathsFor(given);
    FileStamp stamp = CurrentStamp(paths);
    {
        std::lock_guard lock(cacheMutex);
        const auto it = Cache().find(given);
        if (it != Cache().end() && it->second.stamp == stamp) return it->second.document;
    }
    std::string bytes;
    // The identity of what was actually read replaces the one from stat().
    const FileStamp before = stamp;
    stamp.exists = false;
    if (ReadFile(paths.file, bytes, &stamp) != ReadResult::Ok) return empty;
    stamp.writeCounter = before.writeCounter;
    stamp.generation = before.generation;
    auto document = std::make_shared<const ProfileDocument>(ProfileDocument::Parse(bytes));
    std::lock_guard lock(cacheMutex);
    if (Cache().size() >= kMaxCachedFiles) Cache().clear();
    Cache()[given] = CacheEntry{stamp, document};
    return document;
}

// ---------------------------------------------------------------------------------------
// Writing

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool SyncFolder(const std::string& folder) {
    UniqueFd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd && fsync(fd.Get()) == 0;
}

// Writes the new contents beside the file and renames it into place.
bool ReplaceFile(const ProfilePaths& paths, const std::string& bytes, const struct stat* old) {
    UniqueFd fd(open(paths.temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd) return false;
    if (old != nullptr) fchmod(fd.Get(), old->st_mode & 07777);
    if (!WriteAll(fd.Get(), bytes) || fsync(fd.Get()) != 0) {
        unlink(paths.temp.c_str());
        return false;
    }
    fd.Reset();
    if (rename(paths.temp.c_str(), paths.file.c_str()) != 0) {
        unlink(paths.temp.c_str());
        return false;
    }
    SyncFolder(paths.folder);
    return true;
}

bool LockExclusive(int fd) {
    for (;;) {
        if (flock(fd, LOCK_EX) == 0) return true;
        if (errno != EINTR) return false;
    }
}

using Edit = std::function<bool(ProfileDocument&)>;

// Read-modify-write under the lock. The edit returns whether it changed the document;
// an unchanged document is not written (and a missing file not created).
bool ModifyProfile(const std::string& given, const Edit& edit) {
    const ProfilePaths paths = PathsFor(given);
    UniqueFd lock(open(paths.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!lock || !LockExclusive(lock.Get())) return false;
    std::string bytes;
    struct stat old {};
    const ReadResult read = ReadFile(paths.file, bytes, nullptr);
    // A file we can't read is never replaced: that would drop its keys.
    if (read == ReadResult::Failed) return false;
    const bool existed = read == ReadResult::Ok && stat(paths.file.c_str(), &old) == 0;
    ProfileDocument document = ProfileDocument::Parse(bytes);
    if (!edit(document)) return true;
    if (!ReplaceFile(paths, document.Serialize(), existed ? &old : nullptr)) return false;
    const std::uint64_t counter = ReadCounter(lock.Get()) + 1;
    const bool counted =
        pwrite(lock.Get(), &counter, sizeof counter, 0) == static_cast<ssize_t>(sizeof counter);
    ++localGeneration;
    return counted;
}

// ---------------------------------------------------------------------------------------
// Results into caller buffers

DWORD CopyString(std::string_view text, char* buf, DWORD size) {
    const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    if (n > 0) std::memcpy(buf, text.data(), n); // an empty view may have no data at all
    buf[n] = '\0';
    return static_cast<DWORD>(n);
}

// Names each followed by a zero and the list by a second zero; a list that doesn't fit
// is cut and still ends with two zeros (the result is then size - 2).
DWORD CopyList(const std::vector<std::string>& names, char* buf, DWORD size) {
    std::string joined;
    for (const auto& name : names)
        joined.append(name).push_back('\0');
    if (joined.size() + 1 <= size) {
        std::memcpy(buf, joined.data(), joined.size());
        buf[joined.size()] = '\0';
        return static_cast<DWORD>(joined.size());
    }
    if (size < 2) {
        buf[0] = '\0';
        return 0;
    }
    std::memcpy(buf, joined.data(), size - 2);
    buf[size - 2] = '\0';
    buf[size - 1] = '\0';
    return size - 2;
}

std::string_view DefaultValue(const char* def) {
    if (def == nullptr) return {};
    std::string_view text(def);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Leading optional sign and digits; clamped to int; nullopt when there is no number.
std::optional<int> LeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL << 32);
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

bool ValidEntry(std::string_view section, std::string_view key, std::string_view value) {
    return ProfileDocument::IsValidSection(section) && ProfileDocument::IsValidKey(key) &&
           ProfileDocument::IsValidValue(value);
}

bool Refuse() {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

} // namespace
} // namespace platform::detail

using platform::detail::LoadDocument;
using platform::detail::ModifyProfile;
using platform::detail::ProfileDocument;

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* def, char* buf,
                               DWORD size, const char* file) {
    if (buf == nullptr || size == 0) return 0;
    const auto document = LoadDocument(file != nullptr ? file : "");
    if (section == nullptr) return platform::detail::CopyList(document->SectionNames(), buf, size);
    if (key == nullptr) return platform::detail::CopyList(document->Keys(section), buf, size);
    const auto value = document->Find(section, key);
    return platform::detail::CopyString(value ? *value : platform::detail::DefaultValue(def), buf,
                                        size);
}

UINT GetPrivateProfileIntA(const char* section, const char* key, int def, const char* file) {
    if (section == nullptr || key == nullptr || file == nullptr) return static_cast<UINT>(def);
    return static_cast<UINT>(platform::ProfileInt(file, section, key, def));
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* file) {
    // All null asks Windows to flush its cache; ours never holds unwritten data.
    if (section == nullptr && key == nullptr && value == nullptr) return TRUE;
    if (section == nullptr || file == nullptr) return platform::detail::Refuse();
    if (key == nullptr) return platform::EraseProfileSection(file, section);
    if (value == nullptr) return platform::DeleteProfileKey(file, section, key);
    return platform::WriteProfileString(file, section, key, value);
}

namespace platform {

std::string ProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& def) {
    // The document must outlive the view Find returns into it.
    const auto document = LoadDocument(file);
    const auto value = document->Find(section, key);
    return value ? std::string(*value) : def;
}

int ProfileInt(const std::string& file, const std::string& section, const std::string& key,
               int def) {
    const auto document = LoadDocument(file);
    const auto value = document->Find(section, key);
    if (!value) return def;
    return detail::LeadingInt(*value).value_or(def);
}

bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    if (!detail::ValidEntry(section, key, value)) return detail::Refuse();
    return ModifyProfile(file,
                         [&](ProfileDocument& doc) { return doc.SetValue(section, key, value); });
}

bool DeleteProfileKey(const std::string& file, const std::string& section, const std::string& key) {
    return ModifyProfile(file, [&](ProfileDocument& doc) { return doc.DeleteKey(section, key); });
}

bool EraseProfileSection(const std::string& file, const std::string& section) {
    return ModifyProfile(file, [&](ProfileDocument& doc) { return doc.EraseSection(section); });
}

std::vector<std::string> ProfileSectionNames(const std::string& file) {
    return LoadDocument(file)->SectionNames();
}

std::vector<std::string> ProfileSectionKeys(const std::string& file, const std::string& section) {
    return LoadDocument(file)->Keys(section);
}

bool WriteProfileSection(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& keys,
                         bool eraseFirst) {
    if (!ProfileDocument::IsValidSection(section)) return detail::Refuse();
    for (const auto& [key, value] : keys) {
        if (!detail::ValidEntry(section, key, value)) return detail::Refuse();
    }
    return ModifyProfile(file, [&](ProfileDocument& doc) {
        bool changed = eraseFirst && doc.EraseSection(section);
        for (const auto& [key, value] : keys)
            changed = doc.SetValue(section, key, value) || changed;
        return changed;
    });
}

} // namespace platform
