// Internal: the per-user folder that holds the lock files of named objects and the
// broadcast sockets. Everything in it belongs to one user and lives as long as the
// processes that hold it.
#pragma once

#include <string>

namespace platform::detail {

// $XDG_RUNTIME_DIR when it is a usable folder, else /tmp/capdeck-<uid> (created 0700 and
// refused when another user owns it or others may write to it). "" when none is usable.
std::string RuntimeDir();

// A file-name-safe form of an object name: letters, digits, '.', '_' and '-' are kept,
// every other byte is written as %XX; long names are shortened with a hash so the
// result always fits a file name.
std::string EncodeObjectName(const std::string& name);

} // namespace platform::detail
