// The driver's own ini reading and writing seen from outside: how long model names are
// cut for the two camera lists, which camera the "Camera" list marks as the one to load,
// where the log goes when the installation names another product folder, and the fixed
// preview rotation taken from the options file.
#include "driver_harness.h"

#include "platform/gdi.h"
#include "platform/module.h"
#include "platform/profile.h"
#include "platform/window.h"
#include "prsdk/prsdk_control.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace drivertest {
namespace {

// Forty characters, the longest model name a device entry holds.
const char* const kLongAndShort = "[camera]\nmodel = ABCDEFGHIJ KLMNOPQRST,UVWXYZabcd efghijk\n"
                                  "[camera]\nmodel = PowerShot G5\n";

std::string Profile(const std::string& file, const char* section, const char* key) {
    return platform::ProfileString(file, section, key, "<missing>");
}

TEST(CanonDriverLists, ModelNamesAreCutTo39BytesInTheListAnd38InTheCameraItems) {
    DriverHarness h(kLongAndShort);
    const lensport::CameraList* cameras = h.Driver().GenerateCameraList();
    ASSERT_EQ(cameras->last - cameras->first, 2);
    EXPECT_STREQ(cameras->first[0].name, "ABCDEFGHIJ KLMNOPQRST,UVWXYZabcd efghij");

    platform::WriteProfileString(h.LmdhostIni(), "ActiveCamera", "LoadCamera", "1");
    ASSERT_NE(h.Create(), nullptr);
    const std::string list = h.LmdhostIni();
    ASSERT_EQ(h.Driver().EnumParameterValues("Camera", list.c_str(), "Camera_items"), 2);
    const char* const cutName = "ABCDEFGHIJ_KLMNOPQRST_UVWXYZabcd_efghi";
    EXPECT_EQ(Profile(list, "Camera_items", "CommaText"), std::string(cutName) + ",PowerShot_G5");
    EXPECT_EQ(Profile(list, "Camera_items", cutName), "ABCDEFGHIJ KLMNOPQRST,UVWXYZabcd efghi");
    // The camera at position LoadCamera, not the first one.
    EXPECT_EQ(Profile(list, "ActiveCamera", "LoadCameraName"), "PowerShot_G5");
}

// Restores the program folder the harness set when the test ends.
struct ProgramFolderOverride {
    explicit ProgramFolderOverride(const std::string& folder) {
        platform::SetProgramFolderForTests(folder);
    }
    ~ProgramFolderOverride() { platform::SetProgramFolderForTests(LENSPORT_PROGRAM_FOLDER); }
};

TEST(CanonDriverLog, PathIniBesideTheProgramNamesTheProductFolder) {
    DriverHarness h("[camera]\nmodel = PowerShot A80\n");
    // The detector libraries are found in the real program folder first.
    ASSERT_NE(h.Create(), nullptr);
    h.Driver().DestroyModuleWindow();

    const std::string program = h.DataFolder() + "/program/";
    const std::string other = h.DataFolder() + "/../Other Product";
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(other);
    platform::WriteProfileString(program + "path.ini", "Path", "path1", "Quorvel\\Other Product");
    ProgramFolderOverride override(program);
    PRSIM_FailNextCall("PR_ConnectCamera", 0x80000003u);
    ASSERT_NE(h.Create(), nullptr);
    EXPECT_NE(ReadFile(other + "/errors.log").find(":ErrorCode1:0x80000003"), std::string::npos);
    EXPECT_EQ(Profile(other + "/Capdeck.ini", "LibError", "InitError"), "ErrorCode1:0x80000003");
    EXPECT_EQ(h.ErrorsLog(), "");
}

bool Portrait(HWND window) {
    return platform::BackingPixel(window, 10, 10) == RGB(255, 255, 255) &&
           platform::BackingPixel(window, 300, 200) == RGB(255, 255, 255);
}

TEST(CanonDriverLists, FixedRotationComesFromTheOptionsFile) {
    struct Case {
        const char* name;
        const char* main; // the [Main] section
        bool portrait;
    };
    const Case cases[] = {
        {"no keys: p90 defaults to on", "", true},
        {"180 wins", "180=1\nm90=1\n", false},
        {"m90", "m90=1\n", true},
        {"all off leaves the landscape view", "180=0\nm90=0\np90=0\n", false},
    };
    for (const Case& c : cases) {
        DriverHarness h("[sdk]\nframe_interval_ms = 20\n[camera]\nmodel = PowerShot A80\n");
        HWND window = h.Create();
        ASSERT_NE(window, nullptr);
        MoveWindow(window, 0, 0, 330, 250, TRUE);
        const std::string options = h.DataFolder() + "/options.ini";
        {
            std::FILE* file = std::fopen(options.c_str(), "w");
            ASSERT_NE(file, nullptr);
            std::fprintf(file, "[Main]\n%s", c.main);
            std::fclose(file);
        }
        const DriverExports& d = h.Driver();
        d.SetApplicationParameter("OptionsFile", reinterpret_cast<intptr_t>(options.c_str()));
        EXPECT_EQ(d.SetApplicationParameter("PreviewOrienataion", 2), 0) << c.name;
        d.CameraStartPreview();
        ASSERT_TRUE(h.WaitFor([&] {
            return platform::BackingPixel(window, 160, 120) != 0xFFFFFFFF &&
                   platform::BackingPixel(window, 160, 120) != 0;
        })) << c.name;
        h.Pump(150);
        EXPECT_EQ(Portrait(window), c.portrait) << c.name;
        d.CameraStopPreview();
    }
}

} // namespace
} // namespace drivertest
