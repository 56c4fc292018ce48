// Where captured pictures go: the folder checked before the camera is touched, and the
// names the driver gives them (prefix, counter of at least six digits, ".jpg").
#pragma once

#include <string>

namespace lensporttool {

// The driver takes a prefix of at most this many characters.
inline constexpr std::size_t kMaxPrefixPath = 259;

// The picture the driver writes for capture counter n.
std::string PictureName(const std::string& prefixPath, long n);

// Makes the folder (with its parents) and checks that a file can be created in it;
// returns its absolute path. Throws ToolError (kExitNotWritable).
std::string PrepareCaptureFolder(const std::string& folder);

} // namespace lensporttool
