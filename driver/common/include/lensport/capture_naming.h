// Capture numbering and the names of the files a capture writes.
#pragma once

#include <cstdint>
#include <string>

namespace lensport {

// Longest prefix kept from the caller (the file path buffer holds 260 characters).
inline constexpr std::size_t kMaxPrefix = 259;

// The process-wide capture counter: advanced by one for each capture, first is 1.
std::int32_t NextCaptureNumber();

// prefix + n with at least six digits + "." + extension; the thumbnail adds "_TUMB".
std::string CaptureFileName(const std::string& prefix, std::int32_t n, bool thumbnail);

} // namespace lensport
