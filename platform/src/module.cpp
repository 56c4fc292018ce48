// Modules over dlopen. Handles given out are remembered, so a stale or foreign handle is
// refused instead of reaching dlsym/dlclose (which would crash on it).
#include "unique_fd.h"
#include "version_block.h"

#include "platform/module.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <mutex>
#include <sys/stat.h>
#include <unordered_map>

namespace platform::detail {
namespace {

struct ModuleTable {
    std::mutex mutex;
    std::unordered_map<void*, int> loaded; // LoadLibrary handle -> our reference count
    std::unordered_map<void*, bool> known; // also handles found by address
    std::string programFolderOverride;
};

ModuleTable& Modules() {
    static ModuleTable table;
    return table;
}

bool EndsWithDll(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), ::tolower);
    return tail == ".dll";
}

// Windows paths use '\'; ".dll" names the ".so" of the same base name.
std::string LinuxModuleName(const char* name) {
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (EndsWithDll(path)) path.replace(path.size() - 4, 4, ".so");
    return path;
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void* Open(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        std::fprintf(stderr, "LoadLibrary: %s\n", why != nullptr ? why : path.c_str());
    }
    return handle;
}

void Remember(void* handle, bool counted) {
    auto& table = Modules();
    std::lock_guard lock(table.mutex);
    table.known[handle] = true;
    if (counted) ++table.loaded[handle];
}

bool IsKnown(void* handle) {
    auto& table = Modules();
    std::lock_guard lock(table.mutex);
    return handle != nullptr && table.known.count(handle) > 0;
}

DWORD CopyPath(const std::string& path, char* buf, DWORD size) {
    if (buf == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Windows: a cut path fills the buffer and returns its size.
    if (path.size() >= size) {
        std::memcpy(buf, path.data(), size - 1);
        buf[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buf, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

std::optional<VersionBlock> VersionBlockOf(const char* file) {
    if (file == nullptr) return std::nullopt;
    UniqueFd fd(open(file, O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    const int raw = fd.Get();
    const ByteReader read = [raw](std::uint64_t offset, std::size_t length, void* out) {
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n = pread(raw, static_cast<char*>(out) + done, length - done,
                                    static_cast<off_t>(offset + done));
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    };
    return ReadVersionBlock(read, static_cast<std::uint64_t>(st.st_size));
}

// Sets the last error for a file without a readable block.
std::optional<std::vector<char>> FlatVersionBlockOf(const char* file) {
    const auto block = VersionBlockOf(file);
    if (!block) {
        SetLastError(file != nullptr && IsFile(file) ? ERROR_RESOURCE_DATA_NOT_FOUND
                                                     : ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    return SerializeVersionBlock(*block);
}

} // namespace
} // namespace platform::detail

using namespace platform::detail;

HMODULE LoadLibraryA(const char* name) {
    if (name == nullptr || name[0] == '\0') {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const std::string path = LinuxModuleName(name);
    void* handle = nullptr;
    if (path.find('/') != std::string::npos) {
        handle = Open(path);
    } else {
        const std::string local = platform::ProgramFolder() + path;
        handle = Open(IsFile(local) ? local : path);
    }
    if (handle == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    Remember(handle, true);
    return reinterpret_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    void* handle = reinterpret_cast<void*>(module);
    // Names below 64K are ordinals on Windows; no module of ours exports by ordinal.
    if (!IsKnown(handle) || reinterpret_cast<std::uintptr_t>(name) < 0x10000) {
        SetLastError(IsKnown(handle) ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    dlerror();
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
    void* handle = reinterpret_cast<void*>(module);
    auto& table = Modules();
    {
        std::lock_guard lock(table.mutex);
        const auto it = table.loaded.find(handle);
        if (it == table.loaded.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--it->second == 0) {
            table.loaded.erase(it);
            table.known.erase(handle);
        }
    }
    return dlclose(handle) == 0 ? TRUE : FALSE;
}

DWORD GetModuleFileNameA(HMODULE module, char* buf, DWORD size) {
    if (module == nullptr) return CopyPath(platform::ProgramFile(), buf, size);
    void* handle = reinterpret_cast<void*>(module);
    link_map* map = nullptr;
    if (!IsKnown(handle) || dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    // The main program's entry has an empty name.
    const std::string path = map->l_name[0] != '\0' ? map->l_name : platform::ProgramFile();
    return CopyPath(path, buf, size);
}

HMODULE GetModuleHandleFromAddress(const void* address) {
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // RTLD_NOLOAD only finds the loaded module; the extra reference is dropped at once,
    // the module stays loaded by whoever loaded it.
    void* handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) handle = dlopen(nullptr, RTLD_NOW); // the program itself
    if (handle == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    dlclose(handle);
    Remember(handle, false);
    return reinterpret_cast<HMODULE>(handle);
}

DWORD GetFileVersionInfoSizeA(const char* file, DWORD* handle) {
    if (handle != nullptr) *handle = 0;
    const auto flat = FlatVersionBlockOf(file);
    return flat ? static_cast<DWORD>(flat->size()) : 0;
}

BOOL GetFileVersionInfoA(const char* file, DWORD, DWORD size, void* data) {
    const auto flat = FlatVersionBlockOf(file);
    if (!flat) return FALSE;
    if (data == nullptr || size < flat->size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(data, flat->data(), flat->size());
    return TRUE;
}

BOOL VerQueryValueA(const void* block, const char* subBlock, void** value, UINT* length) {
    unsigned found = 0;
    if (subBlock == nullptr || !QueryVersionBlock(block, subBlock, value, &found)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }
    if (length != nullptr) *length = found;
    return TRUE;
}

namespace platform {

std::string ProgramFile() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    return std::string(path, static_cast<std::size_t>(n));
}

std::string ProgramFolder() {
    {
        auto& table = Modules();
        std::lock_guard lock(table.mutex);
        if (!table.programFolderOverride.empty()) return table.programFolderOverride;
    }
    const std::string file = ProgramFile();
    const auto slash = file.rfind('/');
    return slash == std::string::npos ? std::string("./") : file.substr(0, slash + 1);
}

void SetProgramFolderForTests(const std::string& folder) {
    auto& table = Modules();
    std::lock_guard lock(table.mutex);
    table.programFolderOverride = folder;
    if (!folder.empty() && folder.back() != '/') table.programFolderOverride += '/';
}

std::string FileVersionString(const std::string& file, const std::string& name) {
    const auto block = VersionBlockOf(file.c_str());
    if (!block || block->translations.empty()) return {};
    const auto flat = SerializeVersionBlock(*block);
    char key[16];
    std::snprintf(key, sizeof key, "%04X%04X", block->translations[0].first,
                  block->translations[0].second);
    void* value = nullptr;
    unsigned length = 0;
    if (!QueryVersionBlock(flat.data(), std::string("\\StringFileInfo\\") + key + "\\" + name,
                           &value, &length)) {
        return {};
    }
    return static_cast<const char*>(value);
}

} // namespace platform
