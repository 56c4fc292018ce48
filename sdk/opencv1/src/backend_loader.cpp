#include "backend.h"

#include <dlfcn.h>
#include <string>

namespace opencv1 {
namespace {

const Opencv1Backend* Load() {
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&Load), &self) == 0 || self.dli_fname == nullptr)
        return nullptr;
    std::string path = self.dli_fname;
    const std::size_t slash = path.find_last_of('/');
    path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
           OPENCV1_BACKEND_FILE;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    const auto getter =
        reinterpret_cast<Opencv1BackendGetter>(dlsym(library, OPENCV1_BACKEND_SYMBOL));
    return getter != nullptr ? getter() : nullptr;
}

} // namespace

// Loaded once and kept for the life of the process, like the entry points themselves.
const Opencv1Backend* Backend() {
    static const Opencv1Backend* const backend = Load();
    return backend;
}

} // namespace opencv1
