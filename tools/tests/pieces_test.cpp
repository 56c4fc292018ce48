// The tool's pieces that need no driver: value lists read from an ini file and the
// choice of a value, the progress bar, the camera record copy, picture names and the
// default data folder.
#include "camera_list.h"
#include "capture_files.h"
#include "data_files.h"
#include "exit_codes.h"
#include "platform/profile.h"
#include "progress_bar.h"
#include "value_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace lensporttool {
namespace {

class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/lensport-pieces-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string Path() const { return path_; }

private:
    std::string path_;
};

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(ValueList, SplitsCommaTextDroppingEmptyPieces) {
    EXPECT_EQ(SplitCommaText("0001,0002,0025"), (std::vector<std::string>{"0001", "0002", "0025"}));
    EXPECT_EQ(SplitCommaText(",a,,b,"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(SplitCommaText("").empty());
}

TEST(ValueList, ReadsEntriesDisplayTextsValueAndError) {
    TempFolder dir;
    const std::string file = dir.Path() + "/list.ini";
    WriteText(file, "[Values]\n0020=0020\n0023=F2.8\n0025=0025\nCommaText=0020,0023,0025\n"
                    "value=0023\n");
    const ValueList list = ReadValueList(file, "Values", 3);
    ASSERT_EQ(list.entries.size(), 3u);
    EXPECT_EQ(list.entries[1].listName, "0023");
    EXPECT_EQ(list.entries[1].displayText, "F2.8");
    ASSERT_TRUE(list.current);
    EXPECT_EQ(*list.current, "0023");
    EXPECT_EQ(list.CurrentPosition(), 1);
    EXPECT_FALSE(list.error);
    EXPECT_FALSE(list.Empty());
}

TEST(ValueList, TellsAnUnwrittenSectionFromAFailedOne) {
    TempFolder dir;
    const std::string file = dir.Path() + "/list.ini";
    WriteText(file, "[Failed]\nError=0x00000000\nValue=N/A\n[Number]\nValue=3\n");
    EXPECT_TRUE(ReadValueList(file, "Values", 0).Empty());
    const ValueList failed = ReadValueList(file, "Failed", 0);
    EXPECT_FALSE(failed.Empty());
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(*failed.error, "0x00000000");
    const ValueList number = ReadValueList(file, "Number", 9);
    EXPECT_TRUE(number.entries.empty());
    EXPECT_EQ(number.current.value_or(""), "3");
    EXPECT_EQ(number.CurrentPosition(), -1);
}

TEST(ValueList, RefusesMoreEntriesThanItHolds) {
    TempFolder dir;
    const std::string file = dir.Path() + "/list.ini";
    std::string names;
    for (std::size_t i = 0; i < kMaxEntries + 10; ++i)
        names += (i ? "," : "") + std::to_string(i);
    WriteText(file, "[Values]\nCommaText=" + names + "\n");
    EXPECT_EQ(ReadValueList(file, "Values", 0).entries.size(), kMaxEntries);
}

TEST(ValueList, ParsesCameraCodes) {
    using Codes = std::vector<unsigned long>;
    EXPECT_EQ(ParseCodes("0025"), (Codes{0x25}));
    EXPECT_EQ(ParseCodes("0x25"), (Codes{0x25}));
    EXPECT_EQ(ParseCodes("0001_0002"), (Codes{1, 2}));
    EXPECT_EQ(ParseCodes("0x1_0x2"), (Codes{1, 2}));
    for (const char* bad : {"", "_", "0025_", "F2.8", "On", "123456789", "0x", "1__2"})
        EXPECT_FALSE(ParseCodes(bad)) << bad;
}

ValueList SampleList() {
    ValueList list;
    list.entries = {
        {"0020", "0020"}, {"0023", "F2.8"}, {"0025", "f4"}, {"0030", "F4"}, {"0040", "7"}};
    list.current = "0023";
    return list;
}

struct ChoiceCase {
    const char* value;
    bool found;
    Choice::Kind kind;
    int position;
    const char* code;
};

const ChoiceCase kChoices[] = {
    {"F2.8", true, Choice::Kind::Position, 1, ""},  // display text
    {"f4", true, Choice::Kind::Position, 2, ""},    // exact beats ignoring case
    {"f2.8", true, Choice::Kind::Position, 1, ""},  // unique ignoring case
    {"0020", true, Choice::Kind::Position, 0, ""},  // display text equal to its list name
    {"0023", true, Choice::Kind::Code, -1, "0023"}, // list name
    {"#3", true, Choice::Kind::Position, 3, ""},    // position
    {"7", true, Choice::Kind::Position, 4, ""},     // display text beats position
    {"2", true, Choice::Kind::Position, 2, ""},     // plain number as position
    {"0x25", true, Choice::Kind::Code, -1, "25"},   // camera code
    {"0x99", true, Choice::Kind::Code, -1, "99"},   // offered or not: the camera decides
    {"0x0001_0002", true, Choice::Kind::Code, -1, "1_2"},
    {"#5", false, Choice::Kind::Position, -1, ""},
    {"#-1", false, Choice::Kind::Position, -1, ""},
    {"F5.6", false, Choice::Kind::Position, -1, ""},
    {"9", false, Choice::Kind::Position, -1, ""},
    {"0xZZ", false, Choice::Kind::Code, -1, ""},
};

TEST(ValueList, ChoosesTheValueTheUserNames) {
    const ValueList list = SampleList();
    for (const ChoiceCase& c : kChoices) {
        SCOPED_TRACE(c.value);
        std::string why;
        const auto choice = ChooseValue(list, c.value, &why);
        ASSERT_EQ(choice.has_value(), c.found) << why;
        if (!c.found) {
            EXPECT_FALSE(why.empty());
            continue;
        }
        EXPECT_EQ(choice->kind, c.kind);
        EXPECT_EQ(choice->position, c.position);
        EXPECT_EQ(choice->codeText, c.code);
    }
}

TEST(ValueList, AmbiguousDisplayTextAsksForAPosition) {
    ValueList list;
    list.entries = {{"01", "Auto"}, {"02", "AUTO"}};
    std::string why;
    EXPECT_FALSE(ChooseValue(list, "auto", &why));
    EXPECT_NE(why.find("#N"), std::string::npos);
}

TEST(ProgressBar, RendersClampedPercent) {
    EXPECT_EQ(RenderProgressBar(0, 10), "[----------]   0%");
    EXPECT_EQ(RenderProgressBar(50, 10), "[#####-----]  50%");
    EXPECT_EQ(RenderProgressBar(100, 10), "[##########] 100%");
    EXPECT_EQ(RenderProgressBar(250, 4), "[####] 100%");
    EXPECT_EQ(RenderProgressBar(-3, 4), "[----]   0%");
}

std::string Captured(bool terminal, const std::vector<int>& percents) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    {
        ProgressBar bar(out, terminal);
        bar.Start("picture 1 of 1");
        for (int p : percents)
            bar.Update(p);
        bar.Finish();
    }
    std::fclose(out);
    std::string result(text, size);
    std::free(text);
    return result;
}

TEST(ProgressBar, TerminalRedrawsOneLine) {
    const std::string out = Captured(true, {10, 10, 60, 100});
    EXPECT_EQ(std::count(out.begin(), out.end(), '\r'), 4); // 0, 10, 60, 100
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    EXPECT_NE(out.find("100% picture 1 of 1"), std::string::npos);
}

TEST(ProgressBar, LogGetsALinePerQuarter) {
    std::vector<int> every;
    for (int p = 0; p <= 100; ++p)
        every.push_back(p);
    const std::string out = Captured(false, every);
    EXPECT_EQ(out.find('\r'), std::string::npos);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 5); // 0, 25, 50, 75, 100
}

TEST(CameraList, CopiesEntriesAndRefusesDamagedRecords) {
    lensport::CameraListEntry entries[2]{};
    std::strcpy(entries[0].name, "Studio Camera, Left");
    entries[0].id = 25500;
    std::memset(entries[1].name, 'A', sizeof entries[1].name); // no terminator
    entries[1].id = 25501;
    lensport::CameraList list{nullptr, entries, entries + 2, entries + 2};
    const auto cameras = CopyCameraList(&list);
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_EQ(cameras[0].name, "Studio Camera, Left");
    EXPECT_EQ(cameras[0].id, 25500);
    EXPECT_EQ(cameras[1].name, std::string(100, 'A'));

    lensport::CameraList backwards{nullptr, entries + 2, entries, entries + 2};
    EXPECT_TRUE(CopyCameraList(&backwards).empty());
    lensport::CameraList empty{nullptr, nullptr, nullptr, nullptr};
    EXPECT_TRUE(CopyCameraList(&empty).empty());
    EXPECT_TRUE(CopyCameraList(nullptr).empty());
}

TEST(CaptureFiles, NamesPicturesWithAtLeastSixDigits) {
    EXPECT_EQ(PictureName("/out/A_", 1), "/out/A_000001.jpg");
    EXPECT_EQ(PictureName("/out/A_", 999999), "/out/A_999999.jpg");
    EXPECT_EQ(PictureName("/out/A_", 1000000), "/out/A_1000000.jpg");
}

TEST(CaptureFiles, MakesTheFolderAndRefusesOneThatCantBe) {
    TempFolder dir;
    const std::string made = PrepareCaptureFolder(dir.Path() + "/a/b/");
    EXPECT_EQ(made, dir.Path() + "/a/b");
    EXPECT_TRUE(fs::is_directory(made));
    EXPECT_TRUE(fs::is_empty(made)); // the probe file is gone

    WriteText(dir.Path() + "/file", "x");
    try {
        PrepareCaptureFolder(dir.Path() + "/file/sub");
        FAIL() << "a folder below a file was accepted";
    } catch (const ToolError& e) {
        EXPECT_EQ(e.Code(), kExitNotWritable);
    }
}

TEST(DataFiles, DefaultDataFolderKeepsTheProductSubfolder) {
    EXPECT_EQ(DefaultDataFolderFor("/home/u/.local/share/Quorvel/Lumetta Capture",
                                   "/home/u/.local/share", "/opt/capdeck/bin/"),
              "/opt/capdeck/share/Quorvel/Lumetta Capture");
    EXPECT_EQ(DefaultDataFolderFor("/data/Other/Place", "/data/", "/b/bin"),
              "/b/share/Other/Place");
    EXPECT_EQ(DefaultDataFolderFor("/elsewhere/x", "/data", "/b/bin/"), "");
    EXPECT_EQ(DefaultDataFolderFor("/database/x", "/data", "/b/bin/"), "");
    EXPECT_EQ(DefaultDataFolderFor("/data", "/data", "/b/bin/"), "");
}

} // namespace
} // namespace lensporttool
