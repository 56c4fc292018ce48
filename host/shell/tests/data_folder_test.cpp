#include "shell/data_folder.h"

#include "platform/module.h"
#include "platform/shell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace fs = std::filesystem;

namespace {

OSVERSIONINFOA Version(DWORD major, DWORD minor, DWORD platformId) {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof(v);
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    v.dwPlatformId = platformId;
    return v;
}

const OSVERSIONINFOA kWindows98 = Version(4, 10, VER_PLATFORM_WIN32_WINDOWS);
const OSVERSIONINFOA kWindowsMe = Version(4, 90, VER_PLATFORM_WIN32_WINDOWS);
const OSVERSIONINFOA kWindowsXP = Version(5, 1, VER_PLATFORM_WIN32_NT);

std::string WindowsFolder() {
    char buf[4096] = {};
    GetWindowsDirectoryA(buf, sizeof(buf));
    return buf;
}

std::string ShellFolder(int csidl) {
    char buf[4096] = {};
    EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, buf, csidl, TRUE));
    return buf;
}

class DataFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/capdeck-datafolder-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "bin");
        ASSERT_EQ(setenv("XDG_DATA_HOME", (root_ / "xdg").c_str(), 1), 0);
        platform::SetProgramFolderForTests((root_ / "bin").string() + "/");
    }
    void TearDown() override {
        platform::InjectWindowsVersion(std::nullopt);
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    void WritePathIni(const std::string& text) {
        std::ofstream(root_ / "bin" / "path.ini") << text;
    }
    std::string Xdg() const { return (root_ / "xdg").string(); }

    fs::path root_;
};

struct KindCase {
    DWORD major;
    DWORD minor;
    DWORD platformId;
    int kind;
};

TEST_F(DataFolder, WindowsKindTable) {
    const KindCase cases[] = {
        {3, 51, VER_PLATFORM_WIN32_NT, 4},      {3, 10, VER_PLATFORM_WIN32s, 4},
        {4, 0, VER_PLATFORM_WIN32_NT, 5},       {4, 0, VER_PLATFORM_WIN32_WINDOWS, 1},
        {4, 10, VER_PLATFORM_WIN32_WINDOWS, 2}, {4, 90, VER_PLATFORM_WIN32_WINDOWS, 3},
        {4, 3, VER_PLATFORM_WIN32_WINDOWS, 0},  {5, 0, VER_PLATFORM_WIN32_NT, 6},
        {5, 1, VER_PLATFORM_WIN32_NT, 7},       {5, 2, VER_PLATFORM_WIN32_NT, 8},
        {5, 3, VER_PLATFORM_WIN32_NT, 0},       {6, 0, VER_PLATFORM_WIN32_NT, 0},
        {10, 0, VER_PLATFORM_WIN32_NT, 0},      {2, 0, VER_PLATFORM_WIN32_NT, 0},
        {5, 1, VER_PLATFORM_LINUX, 0},          {4, 10, VER_PLATFORM_LINUX, 0},
        {3, 0, VER_PLATFORM_LINUX, 0},
    };
    for (const auto& c : cases) {
        platform::InjectWindowsVersion(Version(c.major, c.minor, c.platformId));
        EXPECT_EQ(GetWindowsKind(), c.kind)
            << c.major << "." << c.minor << " platform " << c.platformId;
    }
}

TEST_F(DataFolder, TheRunningSystemIsKindZero) {
    platform::InjectWindowsVersion(std::nullopt);
    EXPECT_EQ(GetWindowsKind(), 0);
    EXPECT_EQ(GetDataFolder(), Xdg() + "/Quorvel/Lumetta Capture");
}

TEST_F(DataFolder, XpUsesCommonAppDataAndDefaultSubfolder) {
    platform::InjectWindowsVersion(kWindowsXP);
    EXPECT_EQ(GetDataFolder(), Xdg() + "/Quorvel/Lumetta Capture");
    // The shell creates the common application-data folder when it is missing.
    EXPECT_TRUE(fs::is_directory(Xdg()));
}

TEST_F(DataFolder, PathIniNamesTheSubfolder) {
    platform::InjectWindowsVersion(kWindowsXP);
    WritePathIni("[Path]\npath1=Other\\Place\n");
    EXPECT_EQ(GetDataFolder(), Xdg() + "/Other/Place");
}

TEST_F(DataFolder, PathIniWithoutTheKeyGivesTheDefault) {
    platform::InjectWindowsVersion(kWindowsXP);
    const std::string text = "[Path]\nother=x\n[Else]\npath1=Wrong\n";
    WritePathIni(text);
    EXPECT_EQ(GetDataFolder(), Xdg() + "/Quorvel/Lumetta Capture");
    std::ifstream in(root_ / "bin" / "path.ini");
    const std::string after((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(after, text) << "path.ini is only read";
}

TEST_F(DataFolder, SubfolderSeparatorsAreNormalized) {
    platform::InjectWindowsVersion(kWindowsXP);
    const std::pair<const char*, std::string> cases[] = {
        {"A\\B\\", "/A/B"},
        {"\\\\A//B", "/A/B"},
        {"Single", "/Single"},
    };
    for (const auto& [value, tail] : cases) {
        WritePathIni(std::string("[Path]\npath1=") + value + "\n");
        EXPECT_EQ(GetDataFolder(), Xdg() + tail) << value;
    }
}

TEST_F(DataFolder, EmptySubfolderLeavesNoTrailingSeparator) {
    platform::InjectWindowsVersion(kWindowsXP);
    WritePathIni("[Path]\npath1=\n");
    EXPECT_EQ(GetDataFolder(), Xdg());
}

TEST_F(DataFolder, OlderWindowsUseTheWindowsFolder) {
    platform::InjectWindowsVersion(kWindows98);
    EXPECT_EQ(GetDataFolder(), WindowsFolder() + "/Application Data/Quorvel/Lumetta Capture");
    platform::InjectWindowsVersion(kWindowsMe);
    EXPECT_EQ(GetDataFolder(),
              WindowsFolder() + "/All Users/Application Data/Quorvel/Lumetta Capture");
}

TEST_F(DataFolder, DefaultPictureFolder) {
    platform::InjectWindowsVersion(kWindowsXP);
    EXPECT_EQ(GetDefaultPictureFolder(), ShellFolder(CSIDL_MYPICTURES));
    platform::InjectWindowsVersion(std::nullopt);
    EXPECT_EQ(GetDefaultPictureFolder(), ShellFolder(CSIDL_MYPICTURES));
    platform::InjectWindowsVersion(kWindows98);
    EXPECT_EQ(GetDefaultPictureFolder(), GetDataFolder());
}

} // namespace
