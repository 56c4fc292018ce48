// Internal: finding the version block in a module file. The file comes from outside,
// so every offset and size read from it is checked against the file's length before use.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform::detail {

// Reads `length` bytes at `offset` into `out`; false when they are not all there.
using ByteReader = std::function<bool(std::uint64_t offset, std::size_t length, void* out)>;

struct VersionBlock {
    std::vector<std::pair<std::uint16_t, std::uint16_t>> translations; // language, code page
    std::vector<std::pair<std::string, std::string>> strings;          // name, value
};

// The block of an ELF64 little-endian file of the given size, or nullopt when the file is
// not such a file or carries no (valid) block.
std::optional<VersionBlock> ReadVersionBlock(const ByteReader& read, std::uint64_t fileSize);

// The block parsed from the section's contents ("CDVERSION1\0" then "Key=Value\0"...).
std::optional<VersionBlock> ParseVersionSection(const char* data, std::size_t size);

// The flat form handed to GetFileVersionInfo callers and read back by VerQueryValue.
std::vector<char> SerializeVersionBlock(const VersionBlock& block);
// Finds a value in the flat form; false when it is not there or the data is not ours.
bool QueryVersionBlock(const void* data, const std::string& query, void** value, unsigned* length);

} // namespace platform::detail
