#include "helpers/services_test_support.h"

#include "platform/shell.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

using platform::testing::ScopedEnv;
using platform::testing::TempDir;
using platform::testing::WriteFile;

// Points HOME and the XDG variables into a temporary folder for one test.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        env_.Set("HOME", home.Path());
        env_.Unset("XDG_DATA_HOME");
        env_.Unset("XDG_CONFIG_HOME");
    }
    void TearDown() override { platform::InjectWindowsVersion(std::nullopt); }

    TempDir home;

private:
    ScopedEnv env_;
};

TEST_F(ShellTest, FoldersFollowTheXdgDefaults) {
    const struct {
        int csidl;
        std::string expected;
    } cases[] = {{CSIDL_COMMON_APPDATA, home.File(".local/share")},
                 {CSIDL_MYPICTURES, home.File("Pictures")},
                 {CSIDL_PERSONAL, home.Path()}};
    for (const auto& c : cases) {
        EXPECT_EQ(platform::SpecialFolder(c.csidl), c.expected);
        char path[MAX_PATH];
        EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, c.csidl, FALSE) &&
                     !std::filesystem::exists(c.expected));
        ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, path, c.csidl, TRUE)) << c.csidl;
        EXPECT_EQ(std::string(path), c.expected);
        EXPECT_TRUE(std::filesystem::is_directory(c.expected));
        EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, c.csidl, FALSE));
    }
}

TEST_F(ShellTest, MissingFolderWithoutCreateFails) {
    char path[MAX_PATH] = "untouched";
    EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, FALSE));
    EXPECT_FALSE(std::filesystem::exists(home.File(".local/share")));
    EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, 0x1234, TRUE)); // unknown id
    EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, nullptr, CSIDL_PERSONAL, TRUE));
    EXPECT_EQ(platform::SpecialFolder(0x1234), "");
}

TEST_F(ShellTest, XdgVariablesAndUserDirsAreHonoured) {
    setenv("XDG_DATA_HOME", home.File("data/").c_str(), 1);
    EXPECT_EQ(platform::SpecialFolder(CSIDL_COMMON_APPDATA), home.File("data"));
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    EXPECT_EQ(platform::SpecialFolder(CSIDL_COMMON_APPDATA), home.File(".local/share"));

    std::filesystem::create_directories(home.File(".config"));
    const struct {
        std::string line;
        std::string expected;
    } cases[] = {
        {"XDG_PICTURES_DIR=\"$HOME/Bilder\"", home.File("Bilder")},
        {"  XDG_PICTURES_DIR=\"/srv/photos\"\r", "/srv/photos"},
        {"XDG_PICTURES_DIR=\"$HOME/My \\\"Shots\\\"\"", home.File("My \"Shots\"")},
        {"# XDG_PICTURES_DIR=\"/commented\"", home.File("Pictures")},
        {"XDG_PICTURES_DIR=relative", home.File("Pictures")},
    };
    for (const auto& c : cases) {
        WriteFile(home.File(".config/user-dirs.dirs"),
                  "XDG_MUSIC_DIR=\"$HOME/Music\"\n" + c.line + "\n");
        EXPECT_EQ(platform::SpecialFolder(CSIDL_MYPICTURES), c.expected) << c.line;
    }
    setenv("XDG_CONFIG_HOME", home.File("cfg").c_str(), 1); // no user-dirs.dirs there
    EXPECT_EQ(platform::SpecialFolder(CSIDL_MYPICTURES), home.File("Pictures"));
}

TEST_F(ShellTest, WindowsFolder) {
    char buf[16];
    EXPECT_EQ(GetWindowsDirectoryA(buf, sizeof buf), 4u);
    EXPECT_STREQ(buf, "/etc");
    EXPECT_EQ(GetWindowsDirectoryA(buf, 4), 5u); // too small: the size needed
}

TEST_F(ShellTest, VersionIsLinuxUnlessInjected) {
    OSVERSIONINFOA info{};
    EXPECT_FALSE(GetVersionExA(&info)); // size not set
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_LINUX);
    struct utsname names {};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion),
              std::string(names.release)
                  .substr(0, std::strcspn(names.release, ".") + 1 +
                                 std::strcspn(std::strchr(names.release, '.') + 1, ".-")));

    OSVERSIONINFOA xp{};
    xp.dwMajorVersion = 5;
    xp.dwMinorVersion = 1;
    xp.dwBuildNumber = 2600;
    xp.dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::strcpy(xp.szCSDVersion, "Service Pack 2");
    platform::InjectWindowsVersion(xp);
    OSVERSIONINFOA read{};
    read.dwOSVersionInfoSize = sizeof read;
    ASSERT_TRUE(GetVersionExA(&read));
    EXPECT_EQ(read.dwMajorVersion, 5u);
    EXPECT_EQ(read.dwMinorVersion, 1u);
    EXPECT_EQ(read.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_STREQ(read.szCSDVersion, "Service Pack 2");
    platform::InjectWindowsVersion(std::nullopt);
    ASSERT_TRUE(GetVersionExA(&read));
    EXPECT_EQ(read.dwPlatformId, VER_PLATFORM_LINUX);
}

} // namespace

// Without a login session there is no $XDG_RUNTIME_DIR; the fallback must still be a
// folder only this user can enter, since Qt and the named objects rely on that.
TEST(RuntimeFolderTest, UsesXdgRuntimeDirOrAPrivateFallback) {
    TempDir runtime;
    ASSERT_EQ(chmod(runtime.Path().c_str(), 0700), 0);
    ScopedEnv env;
    env.Set("XDG_RUNTIME_DIR", runtime.Path());
    EXPECT_EQ(platform::RuntimeFolder(), runtime.Path());

    env.Unset("XDG_RUNTIME_DIR");
    const std::string fallback = platform::RuntimeFolder();
    ASSERT_FALSE(fallback.empty());
    EXPECT_NE(fallback, runtime.Path());
    struct stat info {};
    ASSERT_EQ(stat(fallback.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_uid, getuid());
    EXPECT_EQ(info.st_mode & 0077, 0u) << "others may not enter the runtime folder";
}
