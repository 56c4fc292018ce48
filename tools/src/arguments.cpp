#include "arguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <optional>

namespace lensporttool {
namespace {

struct CommandWord {
    const char* word;
    Command command;
    int operands; // positional arguments after the word
};

constexpr CommandWord kCommands[] = {
    {"cameras", Command::Cameras, 0},   {"get", Command::Get, 1},
    {"set", Command::Set, 2},           {"capture", Command::Capture, 0},
    {"liveview", Command::LiveView, 0}, {"help", Command::Help, 0},
};

using Apply = std::function<std::optional<std::string>(Options&, const std::string&)>;

// One option: its name, the command it belongs to, whether it takes a value.
struct OptionRule {
    const char* name;
    Command command;
    bool takesValue;
    Apply apply; // returns an error text, or nothing when the value was taken
};

std::optional<int> ParseCount(const std::string& text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || value < low || value > high) return std::nullopt;
    return value;
}

Apply CountInto(int Options::*field, int high) {
    return [field, high](Options& o, const std::string& v) -> std::optional<std::string> {
        const auto n = ParseCount(v, 1, high);
        if (!n)
            return "expects a whole number from 1 to " + std::to_string(high) + ", not '" + v + "'";
        o.*field = *n;
        return std::nullopt;
    };
}

std::optional<std::string> TakeFolder(Options& o, const std::string& v) {
    if (v.empty()) return std::string("expects a folder");
    o.folder = v;
    return std::nullopt;
}

std::optional<std::string> TakePrefix(Options& o, const std::string& v) {
    // The folder has its own option; a prefix is the start of a file name.
    if (v.find('/') != std::string::npos) return "is a file name start without '/' (use --folder)";
    o.prefix = v;
    return std::nullopt;
}

std::string LowerExtension(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::optional<std::string> TakeOutput(Options& o, const std::string& v) {
    const std::string ext = LowerExtension(v);
    if (ext != "png" && ext != "jpg" && ext != "jpeg")
        return "names a .png, .jpg or .jpeg file, not '" + v + "'";
    o.output = v;
    return std::nullopt;
}

Apply Flag(bool Options::*field) {
    return [field](Options& o, const std::string&) -> std::optional<std::string> {
        o.*field = true;
        return std::nullopt;
    };
}

const std::vector<OptionRule>& Rules() {
    static const std::vector<OptionRule> rules = {
        {"--count", Command::Capture, true, CountInto(&Options::count, kMaxCount)},
        {"--folder", Command::Capture, true, TakeFolder},
        {"--prefix", Command::Capture, true, TakePrefix},
        {"--overwrite", Command::Capture, false, Flag(&Options::overwrite)},
        {"--frames", Command::LiveView, true, CountInto(&Options::frames, kMaxFrames)},
        {"--face", Command::LiveView, false, Flag(&Options::face)},
        {"--output", Command::LiveView, true, TakeOutput},
    };
    return rules;
}

const OptionRule* FindRule(const std::string& name, Command command) {
    for (const OptionRule& rule : Rules()) {
        if (name == rule.name && rule.command == command) return &rule;
    }
    return nullptr;
}

ParseResult Fail(std::string error) {
    ParseResult r;
    r.error = std::move(error);
    return r;
}

bool IsHelpWord(const std::string& word) {
    return word == "--help" || word == "-h" || word == "help";
}

} // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
    if (args.empty()) return Fail("no command given");
    if (IsHelpWord(args[0])) {
        ParseResult r;
        r.ok = true;
        return r;
    }
    const CommandWord* word = nullptr;
    for (const CommandWord& c : kCommands) {
        if (args[0] == c.word) word = &c;
    }
    if (word == nullptr) return Fail("unknown command '" + args[0] + "'");

    Options options;
    options.command = word->command;
    std::vector<std::string> operands;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (IsHelpWord(arg) && arg != "help") return ParseResult{true, Options{}, ""};
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            operands.push_back(arg);
            continue;
        }
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionRule* rule = FindRule(name, options.command);
        if (rule == nullptr) return Fail("unknown option '" + name + "' for '" + word->word + "'");
        std::string value;
        if (rule->takesValue) {
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return Fail(name + " needs a value");
            }
        } else if (equals != std::string::npos) {
            return Fail(name + " takes no value");
        }
        if (auto error = rule->apply(options, value)) return Fail(name + " " + *error);
    }
    if (static_cast<int>(operands.size()) != word->operands) {
        const std::string expected = word->operands == 0   ? "no arguments"
                                     : word->operands == 1 ? "one argument (NAME)"
                                                           : "two arguments (NAME VALUE)";
        return Fail(std::string("'") + word->word + "' takes " + expected);
    }
    if (word->operands >= 1) options.name = operands[0];
    if (word->operands >= 2) options.value = operands[1];
    if (options.command == Command::Get || options.command == Command::Set) {
        if (options.name.empty()) return Fail("the parameter name is empty");
    }
    if (options.command == Command::LiveView && options.output.empty())
        return Fail("'liveview' needs --output FILE");
    ParseResult r;
    r.ok = true;
    r.options = std::move(options);
    return r;
}

std::string UsageText() {
    return R"(Usage: lensport COMMAND [OPTIONS]

Drives the installed camera driver (lmdhost.dll) the way the host program does,
with the same data folder and settings files.

Commands:
  cameras               list the connected cameras; '*' marks the one the driver
                        opens (lmdhost.ini [ActiveCamera] LoadCamera)
  get NAME              list the values of camera parameter NAME with their
                        display texts; '*' marks the current value
  set NAME VALUE        choose a value of NAME and check that the camera took it.
                        VALUE is a display text, a list position as #N (or a plain
                        number that is no display text), or a camera code as 0xCODE
                        (for pairs 0xAAAA_BBBB); numeric parameters take a number
  capture [--count N] [--folder DIR] [--prefix P] [--overwrite]
                        take N pictures (default 1) into DIR (default: the current
                        folder) named P + six-digit number + ".jpg" (default prefix
                        IMG_); existing pictures of those names are kept unless
                        --overwrite is given
  liveview [--frames N] [--face] --output FILE
                        run the live view for N frames (default 10) and save the
                        last one as drawn (FILE ending in .png, .jpg or .jpeg);
                        --face turns on face detection and the ID-photo crop guide
                        (aspect from options.ini, default 4:5, zoom 35)
  --help                this text

Display texts: keys stored in lmdhost.ini section [NAME_items] (list name = text)
are shown and accepted in place of the driver's list names.

Exit codes: 0 done, 1 camera or driver failure, 2 bad command line, 3 driver library
missing, 4 no camera, 5 unknown parameter, 6 setting refused or value not offered,
7 folder or file not writable.
)";
}

} // namespace lensporttool
