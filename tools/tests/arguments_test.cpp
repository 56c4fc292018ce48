// The command line: every command, option form and refusal, as a table.
#include "arguments.h"

#include <gtest/gtest.h>

#include <sstream>

namespace lensporttool {
namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

struct Accepted {
    const char* line;
    Command command;
    std::string name;
    std::string value;
    int count;
    std::string folder;
    std::string prefix;
    bool overwrite;
    int frames;
    bool face;
    std::string output;
};

const Accepted kAccepted[] = {
    {"--help", Command::Help, "", "", 1, ".", "IMG_", false, 10, false, ""},
    {"-h", Command::Help, "", "", 1, ".", "IMG_", false, 10, false, ""},
    {"help", Command::Help, "", "", 1, ".", "IMG_", false, 10, false, ""},
    {"capture --help", Command::Help, "", "", 1, ".", "IMG_", false, 10, false, ""},
    {"cameras", Command::Cameras, "", "", 1, ".", "IMG_", false, 10, false, ""},
    {"get AvValue", Command::Get, "AvValue", "", 1, ".", "IMG_", false, 10, false, ""},
    {"set TvValue #2", Command::Set, "TvValue", "#2", 1, ".", "IMG_", false, 10, false, ""},
    {"set ExposureComp -1", Command::Set, "ExposureComp", "-1", 1, ".", "IMG_", false, 10, false,
     ""},
    {"capture", Command::Capture, "", "", 1, ".", "IMG_", false, 10, false, ""},
    {"capture --count 3 --folder out/pics --prefix A_", Command::Capture, "", "", 3, "out/pics",
     "A_", false, 10, false, ""},
    {"capture --count=9999 --folder=/tmp --prefix= --overwrite", Command::Capture, "", "", 9999,
     "/tmp", "", true, 10, false, ""},
    {"liveview --output a.png", Command::LiveView, "", "", 1, ".", "IMG_", false, 10, false,
     "a.png"},
    {"liveview --frames 30 --face --output out/x.JPEG", Command::LiveView, "", "", 1, ".", "IMG_",
     false, 30, true, "out/x.JPEG"},
    {"liveview --output=f.jpg --frames=1", Command::LiveView, "", "", 1, ".", "IMG_", false, 1,
     false, "f.jpg"},
};

TEST(Arguments, AcceptedCommandLines) {
    for (const Accepted& a : kAccepted) {
        SCOPED_TRACE(a.line);
        const ParseResult r = ParseArguments(Words(a.line));
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.options.command, a.command);
        EXPECT_EQ(r.options.name, a.name);
        EXPECT_EQ(r.options.value, a.value);
        EXPECT_EQ(r.options.count, a.count);
        EXPECT_EQ(r.options.folder, a.folder);
        EXPECT_EQ(r.options.prefix, a.prefix);
        EXPECT_EQ(r.options.overwrite, a.overwrite);
        EXPECT_EQ(r.options.frames, a.frames);
        EXPECT_EQ(r.options.face, a.face);
        EXPECT_EQ(r.options.output, a.output);
    }
}

struct Refused {
    const char* line;
    const char* errorPart; // a piece of the message the user sees
};

const Refused kRefused[] = {
    {"", "no command"},
    {"shoot", "unknown command 'shoot'"},
    {"cameras extra", "takes no arguments"},
    {"get", "one argument"},
    {"get A B", "one argument"},
    {"set AvValue", "two arguments"},
    {"capture --count", "--count needs a value"},
    {"capture --count 0", "1 to 9999"},
    {"capture --count 10000", "1 to 9999"},
    {"capture --count 3x", "not '3x'"},
    {"capture --count -2", "not '-2'"},
    {"capture --prefix a/b", "without '/'"},
    {"capture --folder=", "expects a folder"},
    {"capture --face", "unknown option '--face' for 'capture'"},
    {"capture --overwrite=yes", "takes no value"},
    {"liveview", "needs --output"},
    {"liveview --output picture.bmp", ".png, .jpg or .jpeg"},
    {"liveview --output noext", ".png, .jpg or .jpeg"},
    {"liveview --output dir.png/file", ".png, .jpg or .jpeg"},
    {"liveview --frames 0 --output a.png", "1 to 100000"},
    {"liveview --count 2 --output a.png", "unknown option '--count'"},
    {"get AvValue --frames 3", "unknown option"},
};

TEST(Arguments, RefusedCommandLinesSayWhy) {
    for (const Refused& r : kRefused) {
        SCOPED_TRACE(r.line);
        const ParseResult result = ParseArguments(Words(r.line));
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(r.errorPart), std::string::npos) << result.error;
    }
}

TEST(Arguments, EmptyParameterNameIsRefused) {
    const ParseResult r = ParseArguments({"get", ""});
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("empty"), std::string::npos);
}

TEST(Arguments, ValuesWithBlanksStayOneOperand) {
    const ParseResult r = ParseArguments({"set", "WBSetting", "Day light"});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.options.value, "Day light");
}

TEST(Arguments, UsageNamesEveryCommandAndExitCode) {
    const std::string usage = UsageText();
    for (const char* word : {"cameras", "get NAME", "set NAME VALUE", "capture", "liveview",
                             "--count", "--folder", "--prefix", "--frames", "--face", "--output",
                             "4 no camera", "7 folder or file not writable"}) {
        EXPECT_NE(usage.find(word), std::string::npos) << word;
    }
}

} // namespace
} // namespace lensporttool
