// The driver's one diagnostic channel: a line in errors.log of the product's data
// folder and, on request, the text under a key of the host's LibError section.
#pragma once

#include <string>

namespace lensport {

// Appends "LMDE:<time>:<message>" to errors.log; with libError also writes
// Capdeck.ini [LibError] key=message. False when nothing could be written.
bool LogError(const std::string& message, bool libError = false, const char* key = "InitError");

// "ErrorCode<n>:0x%08X".
std::string ErrorCodeText(int n, unsigned code);
inline bool LogErrorCode(int n, unsigned code, bool libError = false) {
    return LogError(ErrorCodeText(n, code), libError);
}

// The data folder the log goes to (no trailing separator), or "" when the common
// application-data folder can't be obtained.
std::string DriverDataFolder();

} // namespace lensport
