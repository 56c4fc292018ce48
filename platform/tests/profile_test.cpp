#include "helpers/services_test_support.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <random>
#include <set>
#include <thread>

namespace {

using platform::testing::KillChild;
using platform::testing::ReadFile;
using platform::testing::StartChild;
using platform::testing::TempDir;
using platform::testing::WaitChild;
using platform::testing::WriteFile;

constexpr const char* kSample = "; settings of the sample\n"
                                "[General]\n"
                                "Name =  \"Quoted Value\"  \n"
                                "name=second\n"
                                "Blank=   \n"
                                "Single='x'\n"
                                "Mixed=\"abc'\n"
                                "Number= 42abc\n"
                                "Neg=-17\n"
                                "Big=99999999999\n"
                                "Text=hello\n"
                                "Inner = a = b \n"
                                "[general]\n"
                                "Other=from the repeated section\n"
                                "  [ Empty ]  \n";

class ProfileTest : public ::testing::Test {
protected:
    std::string Get(const char* section, const char* key, const char* def = "dflt") {
        char buf[256];
        GetPrivateProfileStringA(section, key, def, buf, sizeof buf, file.c_str());
        return buf;
    }
    std::string List(const char* section, DWORD size, DWORD* result) {
        std::string buf(size, '#');
        *result = GetPrivateProfileStringA(section, nullptr, "", buf.data(), size, file.c_str());
        return buf;
    }

    TempDir dir;
    std::string file = dir.File("sample.ini");
};

struct ReadCase {
    const char* section;
    const char* key;
    const char* def;
    const char* expected;
};

TEST_F(ProfileTest, ReadsWithWindowsSemanticsInBothLineEndings) {
    const ReadCase cases[] = {
        {"general", "NAME", "d", "Quoted Value"}, // case-insensitive, first match, quotes
        {"GENERAL", "Blank", "d", ""},            // present but empty is not the default
        {"General", "Single", "d", "x"},          // single quotes too
        {"General", "Mixed", "d", "\"abc'"},      // unmatched quotes stay
        {"General", "Inner", "d", "a = b"},       // only the first '=' splits
        {"General", "Other", "d", "d"},           // a repeated section is not read
        {"Empty", "Anything", "fallback", "fallback"},
        {"Missing", "Name", "fallback", "fallback"},
        {"General", "Missing", "trailing  \t", "trailing"},
        {"General", "Missing", nullptr, ""},
    };
    for (const char* newline : {"\n", "\r\n"}) {
        std::string text = kSample;
        if (std::string(newline) == "\r\n") {
            std::string crlf;
            for (char c : text)
                crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
            text = crlf;
        }
        WriteFile(file, text);
        for (const auto& c : cases) {
            char buf[64];
            const DWORD n =
                GetPrivateProfileStringA(c.section, c.key, c.def, buf, sizeof buf, file.c_str());
            EXPECT_STREQ(buf, c.expected)
                << c.section << "/" << c.key << " newline " << int(newline[0]);
            EXPECT_EQ(n, std::strlen(c.expected));
        }
    }
}

TEST_F(ProfileTest, MissingFileGivesDefaults) {
    EXPECT_EQ(Get("General", "Name"), "dflt");
    EXPECT_EQ(GetPrivateProfileIntA("General", "Name", 5, file.c_str()), 5u);
    EXPECT_TRUE(platform::ProfileSectionNames(file).empty());
}

TEST_F(ProfileTest, TruncatesToTheBuffer) {
    WriteFile(file, "[S]\nKey=abcdef\n");
    struct {
        DWORD size;
        const char* text;
        DWORD result;
    } cases[] = {{4, "abc", 3}, {6, "abcde", 5}, {7, "abcdef", 6}, {1, "", 0}};
    for (const auto& c : cases) {
        char buf[16];
        std::memset(buf, '#', sizeof buf);
        EXPECT_EQ(GetPrivateProfileStringA("S", "Key", "", buf, c.size, file.c_str()), c.result);
        EXPECT_STREQ(buf, c.text);
        EXPECT_EQ(buf[c.size], '#') << "wrote past the buffer of " << c.size;
    }
    char untouched = '#';
    EXPECT_EQ(GetPrivateProfileStringA("S", "Key", "", &untouched, 0, file.c_str()), 0u);
    EXPECT_EQ(untouched, '#');
}

TEST_F(ProfileTest, ListsSectionsAndKeysDoubleZeroTerminated) {
    WriteFile(file, kSample);
    DWORD n = 0;
    std::string buf = List(nullptr, 64, &n);
    EXPECT_EQ(n, 14u);
    EXPECT_EQ(buf.substr(0, 15), std::string("General\0Empty\0\0", 15));

    buf = List(nullptr, 6, &n); // cut, still two zeros at the end
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(buf, std::string("Gene\0\0", 6));

    char keys[128];
    n = GetPrivateProfileStringA("GENERAL", nullptr, "", keys, sizeof keys, file.c_str());
    const std::string expected("Name\0Blank\0Single\0Mixed\0Number\0Neg\0Big\0Text\0Inner\0\0", 51);
    EXPECT_EQ(n, 50u);
    EXPECT_EQ(std::string(keys, 51), expected);
    EXPECT_EQ(platform::ProfileSectionKeys(file, "general").size(), 9u);
}

TEST_F(ProfileTest, ReadsLeadingIntegers) {
    WriteFile(file, kSample);
    const struct {
        const char* key;
        int expected;
    } cases[] = {{"Number", 42}, {"Neg", -17},   {"Big", INT_MAX},
                 {"Text", 7},    {"Missing", 7}, {"Blank", 7}};
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA("General", c.key, 7, file.c_str())),
                  c.expected)
            << c.key;
        EXPECT_EQ(platform::ProfileInt(file, "general", c.key, 7), c.expected) << c.key;
    }
}

TEST_F(ProfileTest, WriteCreatesFileAndSectionAndKeepsComments) {
    ASSERT_TRUE(WritePrivateProfileStringA("Main", "Key", "one", file.c_str()));
    EXPECT_EQ(ReadFile(file), "[Main]\nKey=one\n");
    WriteFile(file, "; head\n[Main]\nKey=one\n; tail comment\n\n[Next]\nA=1\n");
    ASSERT_TRUE(WritePrivateProfileStringA("main", "KEY", "two", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Main", "New", " spaced ", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Third", "B", "2", file.c_str()));
    EXPECT_EQ(
        ReadFile(file),
        "; head\n[Main]\nKey=two\nNew= spaced \n; tail comment\n\n[Next]\nA=1\n[Third]\nB=2\n");
    EXPECT_EQ(platform::ProfileString(file, "MAIN", "new", ""), "spaced");
}

TEST_F(ProfileTest, KeepsCrLfAndByteOrderMark) {
    WriteFile(file, "\xEF\xBB\xBF[A]\r\nX=1\r\n");
    ASSERT_TRUE(platform::WriteProfileString(file, "A", "Y", "2"));
    EXPECT_EQ(ReadFile(file), "\xEF\xBB\xBF[A]\r\nX=1\r\nY=2\r\n");
    EXPECT_EQ(platform::ProfileString(file, "a", "x", ""), "1");
}

// A file with mixed line ends (edited on two systems) must read the same before and
// after another key is written into it.
TEST_F(ProfileTest, StrayCarriageReturnsReadTheSameAfterAWrite) {
    WriteFile(file, "[A]\nX=1\r\r\nZ=3\n");
    EXPECT_EQ(platform::ProfileString(file, "A", "X", ""), "1");
    ASSERT_TRUE(platform::WriteProfileString(file, "A", "Y", "2"));
    EXPECT_EQ(platform::ProfileString(file, "A", "X", ""), "1");
    EXPECT_EQ(platform::ProfileString(file, "A", "Y", ""), "2");
    EXPECT_EQ(platform::ProfileString(file, "A", "Z", ""), "3");
}

TEST_F(ProfileTest, DeletesKeysAndSections) {
    WriteFile(file, "[A]\nX=1\nY=2\nx=3\n[B]\nZ=1\n[a]\nX=4\n");
    ASSERT_TRUE(WritePrivateProfileStringA("a", "x", nullptr, file.c_str()));
    EXPECT_EQ(Get("A", "X"), "dflt"); // no older duplicate resurfaces
    EXPECT_EQ(Get("A", "Y"), "2");
    ASSERT_TRUE(WritePrivateProfileStringA("A", nullptr, nullptr, file.c_str()));
    EXPECT_EQ(ReadFile(file), "[B]\nZ=1\n"); // the repeated section went too
    EXPECT_TRUE(platform::DeleteProfileKey(file, "B", "Missing"));
    EXPECT_TRUE(platform::EraseProfileSection(file, "Missing"));
    EXPECT_EQ(ReadFile(file), "[B]\nZ=1\n");

    const std::string absent = dir.File("absent.ini");
    EXPECT_TRUE(platform::DeleteProfileKey(absent, "B", "Z"));
    EXPECT_FALSE(std::filesystem::exists(absent)); // deleting creates nothing
}

TEST_F(ProfileTest, RefusesNamesAndValuesThatWouldBreakTheFile) {
    WriteFile(file, "[A]\nX=1\n");
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } cases[] = {{"A", "X", "1\n[Evil]\nY=2"},
                 {"A", "X\nY", "1"},
                 {"A]", "X", "1"},
                 {"A", "X=Y", "1"},
                 {"A", ";X", "1"},
                 {"A", "", "1"},
                 {"", "X", "1"},
                 {"A", "[X", "1"}};
    for (const auto& c : cases) {
        EXPECT_FALSE(WritePrivateProfileStringA(c.section, c.key, c.value, file.c_str()))
            << c.section << "/" << c.key;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(ReadFile(file), "[A]\nX=1\n");
}

TEST_F(ProfileTest, UnreadableFileIsNeverReplaced) {
    const std::string folderAsFile = dir.File("folder.ini");
    std::filesystem::create_directory(folderAsFile);
    EXPECT_FALSE(platform::WriteProfileString(folderAsFile, "A", "X", "1"));
    EXPECT_EQ(platform::ProfileString(folderAsFile, "A", "X", "d"), "d");
    EXPECT_FALSE(platform::WriteProfileString(dir.File("no/such/folder.ini"), "A", "X", "1"));
}

TEST_F(ProfileTest, WritesThroughASymbolicLink) {
    const std::string target = dir.File("target.ini");
    WriteFile(target, "[A]\nX=1\n");
    std::filesystem::create_symlink(target, file);
    ASSERT_TRUE(platform::WriteProfileString(file, "A", "X", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(file));
    EXPECT_EQ(ReadFile(target), "[A]\nX=2\n");
}

TEST_F(ProfileTest, WriteSectionReplacesInOneStep) {
    WriteFile(file, "[A]\nOld=1\n[B]\nKeep=1\n");
    ASSERT_TRUE(platform::WriteProfileSection(file, "A", {{"P", "1"}, {"Q", "2"}}, true));
    EXPECT_EQ(ReadFile(file), "[B]\nKeep=1\n[A]\nP=1\nQ=2\n");
    ASSERT_TRUE(platform::WriteProfileSection(file, "B", {{"More", "3"}}, false));
    EXPECT_EQ(platform::ProfileSectionKeys(file, "B"), (std::vector<std::string>{"Keep", "More"}));
}

TEST_F(ProfileTest, AWriteIsSeenByTheNextReadEvenWithTheSameSize) {
    WriteFile(file, "[A]\nX=0\n");
    for (int i = 1; i <= 200; ++i) {
        EXPECT_EQ(platform::ProfileString(file, "A", "X", ""), std::to_string((i - 1) % 10));
        ASSERT_TRUE(platform::WriteProfileString(file, "A", "X", std::to_string(i % 10)));
    }
}

TEST_F(ProfileTest, CachedReadSeesAnotherProcessWrite) {
    WriteFile(file, "[A]\nX=0\n");
    for (int i = 1; i <= 40; ++i) {
        ASSERT_EQ(platform::ProfileString(file, "A", "X", ""), std::to_string((i - 1) % 10));
        const std::string next = std::to_string(i % 10);
        const pid_t child =
            StartChild([&] { return platform::WriteProfileString(file, "A", "X", next) ? 0 : 1; });
        ASSERT_EQ(WaitChild(child), 0);
    }
    // An editor that saves by rename, without our lock or counter.
    WriteFile(dir.File("edited"), "[A]\nX=E\n");
    std::filesystem::rename(dir.File("edited"), file);
    EXPECT_EQ(platform::ProfileString(file, "A", "X", ""), "E");
}

TEST_F(ProfileTest, ConcurrentThreadsLoseNoKey) {
    constexpr int kThreads = 6;
    constexpr int kKeys = 40;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int k = 0; k < kKeys; ++k) {
                const std::string key = "T" + std::to_string(t) + "K" + std::to_string(k);
                platform::WriteProfileString(file, "Shared", key, std::to_string(k));
                platform::ProfileString(file, "Shared", key, ""); // readers meanwhile
            }
        });
    }
    for (auto& w : writers)
        w.join();
    EXPECT_EQ(platform::ProfileSectionKeys(file, "Shared").size(), size_t(kThreads * kKeys));
}

TEST_F(ProfileTest, ConcurrentProcessesLoseNoKey) {
    constexpr int kProcesses = 4;
    constexpr int kKeys = 40;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        children.push_back(StartChild([&, p] {
            for (int k = 0; k < kKeys; ++k) {
                const std::string key = "P" + std::to_string(p) + "K" + std::to_string(k);
                if (!platform::WriteProfileString(file, "Shared", key, "v")) return 1;
            }
            return 0;
        }));
    }
    for (int k = 0; k < kKeys; ++k) {
        ASSERT_TRUE(
            platform::WriteProfileString(file, "Shared", "Parent" + std::to_string(k), "v"));
    }
    for (pid_t child : children)
        EXPECT_EQ(WaitChild(child), 0);
    EXPECT_EQ(platform::ProfileSectionKeys(file, "Shared").size(),
              size_t((kProcesses + 1) * kKeys));
}

// Every complete version of the file has all keys with one value; a torn write would
// show a mix, a missing tail or an empty file.
TEST_F(ProfileTest, WriterKilledMidWriteLeavesOldOrNewFile) {
    constexpr int kKeys = 300;
    auto version = [](int generation) {
        std::vector<std::pair<std::string, std::string>> keys;
        for (int k = 0; k < kKeys; ++k) {
            keys.emplace_back("Key" + std::to_string(k),
                              std::string(k % 50 + 1, 'a' + generation % 26));
        }
        return keys;
    };
    ASSERT_TRUE(platform::WriteProfileSection(file, "Data", version(0), true));
    std::mt19937 random(12345);
    for (int round = 0; round < 15; ++round) {
        const pid_t child = StartChild([&] {
            for (int g = 1;; ++g)
                platform::WriteProfileSection(file, "Data", version(g), true);
            return 0;
        });
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        KillChild(child);
        const auto keys = platform::ProfileSectionKeys(file, "Data");
        ASSERT_EQ(keys.size(), size_t(kKeys)) << "round " << round;
        const std::string first = platform::ProfileString(file, "Data", "Key0", "");
        ASSERT_EQ(first.size(), 1u);
        for (int k = 0; k < kKeys; ++k) {
            ASSERT_EQ(platform::ProfileString(file, "Data", "Key" + std::to_string(k), ""),
                      std::string(k % 50 + 1, first[0]))
                << "round " << round << " key " << k;
        }
        // The next writer is not blocked by the killed one's lock.
        ASSERT_TRUE(platform::WriteProfileString(file, "Other", "Round", std::to_string(round)));
    }
}

} // namespace
