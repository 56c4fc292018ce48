// The version block reader takes any file as input: the ELF layout and the block itself
// must be read with every offset checked. The input is the whole file.
#include "../platform/src/version_block.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace platform::detail;
    const ByteReader read = [&](std::uint64_t offset, std::size_t length, void* out) {
        if (offset > size || length > size - offset) return false;
        std::memcpy(out, data + offset, length);
        return true;
    };
    if (const auto block = ReadVersionBlock(read, size)) {
        const auto flat = SerializeVersionBlock(*block);
        void* value = nullptr;
        unsigned length = 0;
        QueryVersionBlock(flat.data(), "\\VarFileInfo\\Translation", &value, &length);
        QueryVersionBlock(flat.data(), "\\StringFileInfo\\040904E4\\FileVersion", &value, &length);
    }
    // The section contents alone, as if a valid ELF file had carried them.
    if (const auto block = ParseVersionSection(reinterpret_cast<const char*>(data), size)) {
        const auto flat = SerializeVersionBlock(*block);
        void* value = nullptr;
        unsigned length = 0;
        QueryVersionBlock(flat.data(), "\\StringFileInfo\\040904e4\\ProductVersion", &value,
                          &length);
    }
    return 0;
}
