#include "helpers/services_test_support.h"

#include "platform/module.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

using platform::testing::ReadFile;
using platform::testing::TempDir;
using platform::testing::WriteFile;

std::string FileOfModuleContaining(const void* address) {
    char path[4096];
    const DWORD n = GetModuleFileNameA(GetModuleHandleFromAddress(address), path, sizeof path);
    return std::string(path, n);
}

std::string PlatformLibrary() {
    return FileOfModuleContaining(reinterpret_cast<const void*>(&LoadLibraryA));
}

std::string MathLibrary() {
    double (*cosine)(double) = &std::cos;
    return FileOfModuleContaining(reinterpret_cast<const void*>(cosine));
}

class ModuleTest : public ::testing::Test {
protected:
    void TearDown() override { platform::SetProgramFolderForTests(""); }
    TempDir dir;
};

TEST_F(ModuleTest, DllNameLoadsTheSharedObjectFromTheProgramFolder) {
    std::filesystem::copy_file(MathLibrary(), dir.File("MathCopy.so"));
    platform::SetProgramFolderForTests(dir.Path());
    EXPECT_EQ(platform::ProgramFolder(), dir.Path() + "/");
    for (const char* name : {"MathCopy.dll", "MathCopy.DLL", "MathCopy.Dll"}) {
        HMODULE module = LoadLibraryA(name);
        ASSERT_NE(module, nullptr) << name;
        auto cosine = reinterpret_cast<double (*)(double)>(GetProcAddress(module, "cos"));
        ASSERT_NE(cosine, nullptr);
        EXPECT_EQ(cosine(0.0), 1.0);
        char path[4096];
        GetModuleFileNameA(module, path, sizeof path);
        EXPECT_EQ(std::string(path), dir.File("MathCopy.so"));
        EXPECT_TRUE(FreeLibrary(module));
    }
}

TEST_F(ModuleTest, PathsWithAFolderAreUsedAsTheyAre) {
    std::filesystem::copy_file(MathLibrary(), dir.File("Other.so"));
    // Either separator; the folder is not the program folder.
    std::string windowsPath = dir.Path() + "\\Other.dll";
    HMODULE module = LoadLibraryA(windowsPath.c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "sin"), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(LoadLibraryA((dir.Path() + "/Missing.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST_F(ModuleTest, FallsBackToTheNormalLibrarySearch) {
    platform::SetProgramFolderForTests(dir.Path()); // empty: nothing found there
    HMODULE module = LoadLibraryA("libcapdeck-platform.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module, GetModuleHandleFromAddress(reinterpret_cast<const void*>(&LoadLibraryA)));
    // The layer has C++ linkage: its names are mangled.
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(module, "_Z12LoadLibraryAPKc")),
              reinterpret_cast<void*>(&LoadLibraryA));
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(ModuleTest, RefusesMissingModulesSymbolsAndForeignHandles) {
    for (const char* name : {"certainly-not-here.dll", "", "no/such/dir/x.dll"}) {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryA(name), nullptr) << name;
        EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    }
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);

    HMODULE module = LoadLibraryA("libcapdeck-platform.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetProcAddress(module, "NoSuchFunction"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(GetProcAddress(module, reinterpret_cast<const char*>(12)), nullptr); // ordinal
    EXPECT_TRUE(FreeLibrary(module));

    int notAModule = 0;
    HMODULE bogus = reinterpret_cast<HMODULE>(&notAModule);
    EXPECT_EQ(GetProcAddress(bogus, "cos"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FreeLibrary(bogus));
    char path[64];
    EXPECT_EQ(GetModuleFileNameA(bogus, path, sizeof path), 0u);
}

TEST_F(ModuleTest, FreeLibraryBalancesLoads) {
    HMODULE first = LoadLibraryA("libcapdeck-platform.dll");
    HMODULE second = LoadLibraryA("libcapdeck-platform.dll");
    ASSERT_EQ(first, second);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_FALSE(FreeLibrary(first)); // no load left to balance
}

TEST_F(ModuleTest, ProgramFileAndFolder) {
    char path[4096];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    EXPECT_EQ(std::string(path, n), std::filesystem::read_symlink("/proc/self/exe").string());
    EXPECT_EQ(platform::ProgramFile(), path);
    EXPECT_EQ(platform::ProgramFolder(), std::filesystem::path(path).parent_path().string() + "/");

    char small[8];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, 5), 5u); // cut, like Windows
    EXPECT_EQ(std::string(small), std::string(path, 4));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small[5], '#');
}

TEST_F(ModuleTest, ModuleOfAnAddress) {
    EXPECT_EQ(PlatformLibrary(), CAPDECK_BIN_DIR "/libcapdeck-platform.so");
    static int inProgram = 0;
    EXPECT_EQ(FileOfModuleContaining(&inProgram), platform::ProgramFile());
    EXPECT_EQ(GetModuleHandleFromAddress(nullptr), nullptr);
}

TEST_F(ModuleTest, ReadsTheVersionBlockOfABuiltModule) {
    const std::string file = PlatformLibrary();
    DWORD handle = 99;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
    ASSERT_GT(size, 0u);
    EXPECT_EQ(handle, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, size, data.data()));

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_GE(length, 4u);
    const auto* words = static_cast<const WORD*>(value);
    EXPECT_EQ(words[0], 0x0409);
    EXPECT_EQ(words[1], 0x04E4);

    const struct {
        const char* query;
        const char* expected;
    } found[] = {
        {"\\StringFileInfo\\040904E4\\FileVersion", "1.0.0.0"},
        {"\\StringFileInfo\\040904e4\\ProductVersion", "1.0.0.0"},
        {"\\StringFileInfo\\040904E4\\ProductName", "Capdeck"},
        {"\\StringFileInfo\\040904E4\\FileDescription", "Capdeck platform layer"},
        {"\\StringFileInfo\\040904E4\\InternalName", "platform"},
    };
    for (const auto& c : found) {
        ASSERT_TRUE(VerQueryValueA(data.data(), c.query, &value, &length)) << c.query;
        EXPECT_STREQ(static_cast<const char*>(value), c.expected);
        EXPECT_EQ(length, std::strlen(c.expected) + 1);
    }
    for (const char* query :
         {"\\StringFileInfo\\040704E4\\FileVersion", "\\StringFileInfo\\040904E4\\Comments",
          "\\StringFileInfo\\xyz\\A", "\\", "\\VarFileInfo"}) {
        EXPECT_FALSE(VerQueryValueA(data.data(), query, &value, &length)) << query;
    }
    EXPECT_FALSE(GetFileVersionInfoA(file.c_str(), 0, size - 1, data.data()));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(platform::FileVersionString(file), "1.0.0.0");
    EXPECT_EQ(platform::FileVersionString(file, "ProductName"), "Capdeck");
}

TEST_F(ModuleTest, FilesWithoutABlockReadAsNone) {
    const std::string text = dir.File("notes.txt");
    WriteFile(text, "not a module at all");
    const std::string platformLib = PlatformLibrary();
    const std::string bytes = ReadFile(platformLib);
    // Cut before the section headers, and one whose header points past the end.
    WriteFile(dir.File("cut.so"), bytes.substr(0, 4096));
    std::string wild = bytes;
    const std::uint64_t far = ~0ull - 100;
    std::memcpy(wild.data() + 0x28, &far, sizeof far);
    WriteFile(dir.File("wild.so"), wild);
    const struct {
        std::string file;
        DWORD error;
    } cases[] = {{MathLibrary(), ERROR_RESOURCE_DATA_NOT_FOUND},
                 {text, ERROR_RESOURCE_DATA_NOT_FOUND},
                 {dir.File("cut.so"), ERROR_RESOURCE_DATA_NOT_FOUND},
                 {dir.File("wild.so"), ERROR_RESOURCE_DATA_NOT_FOUND},
                 {dir.Path(), ERROR_FILE_NOT_FOUND},
                 {dir.File("missing.so"), ERROR_FILE_NOT_FOUND}};
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(GetFileVersionInfoSizeA(c.file.c_str(), nullptr), 0u) << c.file;
        EXPECT_EQ(GetLastError(), c.error) << c.file;
        char data[64];
        EXPECT_FALSE(GetFileVersionInfoA(c.file.c_str(), 0, sizeof data, data));
        EXPECT_EQ(platform::FileVersionString(c.file), "");
    }
    EXPECT_EQ(GetFileVersionInfoSizeA(nullptr, nullptr), 0u);
}

} // namespace
