// Exit codes of lensport, so scripts can tell the failures apart.
#pragma once

#include <stdexcept>
#include <string>

namespace lensporttool {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,          // the camera or the driver failed while working
    kExitUsage = 2,            // unknown command, bad option or value
    kExitDriverMissing = 3,    // lmdhost.dll can't be loaded or lacks an entry point
    kExitNoCamera = 4,         // no camera connected or the chosen one doesn't answer
    kExitUnknownParameter = 5, // the driver doesn't know the parameter name
    kExitRefused = 6,          // the camera refused a setting or the value isn't offered
    kExitNotWritable = 7,      // a folder or file can't be created or written
};

// A failure a command reports to the user; main prints it and exits with its code.
class ToolError : public std::runtime_error {
public:
    ToolError(ExitCode code, const std::string& message)
        : std::runtime_error(message), code_(code) {}
    ExitCode Code() const { return code_; }

private:
    ExitCode code_;
};

} // namespace lensporttool
