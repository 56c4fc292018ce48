// The command line of lensport, parsed into one command with its options. Parsing
// touches nothing outside; main decides what to run.
#pragma once

#include <string>
#include <vector>

namespace lensporttool {

enum class Command { Help, Cameras, Get, Set, Capture, LiveView };

struct Options {
    Command command = Command::Help;
    std::string name;  // get, set: the parameter name
    std::string value; // set: display text, #position or 0x camera code
    int count = 1;     // capture: pictures to take
    std::string folder = ".";
    std::string prefix = "IMG_";
    bool overwrite = false;
    int frames = 10; // liveview: frames to wait for
    bool face = false;
    std::string output;
};

struct ParseResult {
    bool ok = false;
    Options options;
    std::string error; // why parsing failed, for the user
};

inline constexpr int kMaxCount = 9999;
inline constexpr int kMaxFrames = 100000;

// args without the program name.
ParseResult ParseArguments(const std::vector<std::string>& args);

// The text of "lensport --help".
std::string UsageText();

} // namespace lensporttool
