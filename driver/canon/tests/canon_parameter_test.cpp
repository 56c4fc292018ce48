// The Canon parameter table through the built driver's exports: value lists written into
// a list file, positions and code texts set on the simulated camera, numeric readings,
// and the failure entries.
#include "driver_harness.h"

#include "platform/profile.h"
#include "platform/shell.h"
#include "prsdk/prsdk_control.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace drivertest {
namespace {

const char* const kSection = "Values";

std::string Scenario(const std::string& properties) {
    return "[camera]\nmodel = PowerShot G5\n" + properties;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, ',');)
        parts.push_back(part);
    return parts;
}

std::int64_t Property(std::uint16_t code) {
    return PRSIM_GetPropertyValue(0, code);
}

class CanonParameterTest : public ::testing::Test {
protected:
    void Open(const std::string& scenario) {
        harness_.reset(); // its teardown resets the simulated cameras
        harness_ = std::make_unique<DriverHarness>(scenario);
        ASSERT_TRUE(harness_->Loaded());
        ASSERT_NE(harness_->Create(), nullptr);
        list_ = harness_->DataFolder() + "/lists.ini";
    }

    std::int32_t Enumerate(const char* name) {
        return d().EnumParameterValues(name, list_.c_str(), kSection);
    }
    std::string Entry(const char* key, const char* section = kSection) {
        return platform::ProfileString(list_, section, key, "<missing>");
    }
    bool Logged(const std::string& text) {
        return h().ErrorsLog().find(":" + text + "\n") != std::string::npos;
    }

    DriverHarness& h() { return *harness_; }
    const DriverExports& d() { return harness_->Driver(); }
    std::unique_ptr<DriverHarness> harness_;
    std::string list_;
};

// ---- Value lists -----------------------------------------------------------------------------

struct ListCase {
    const char* name;
    const char* properties; // scenario lines
    const char* commaText;
    const char* value;
};

const ListCase kListCases[] = {
    {"ShootingMode", "D00C = 0x01 {0x00, 0x01, 0x1A}\n", "0000,0001,001A", "0001"},
    {"MLMode", "D010 = 0x03 {0x00, 0x01, 0x03}\n", "00,01,03", "03"},
    {"AvValue", "D01D = 0x0025 {0x0020, 0x0025, 0x00C8}\n", "0020,0025,00C8", "0025"},
    {"TvValue", "D01E = 0x0060 {0x0018, 0x0060}\n", "0018,0060", "0060"},
    {"ISO", "D01C = 0x0048 {0x0000, 0x0048}\n", "0000,0048", "0048"},
    {"FocusPoint", "D012 = 0x3001 {0x3000, 0x3001}\n", "3000,3001", "3001"},
    {"PhotoEffect", "D040 = 0x0002 {0x0000, 0x0002}\n", "0000,0002", "0002"},
    {"AFDistance", "D011 = 0x02 {0x00, 0x02}\n", "0000,0002", "0002"},
    {"WBSetting", "D013 = 0x00 {0x00, 0x06}\n", "0000,0006", "0000"},
    {"FlashMode", "D00A = 0x05 {0x00, 0x05}\n", "0000,0005", "0005"},
    // A zero after the first entry ends these two lists.
    {"ExposureComp", "D01F = 0x08 {0x00, 0x08, 0x00, 0x10}\n", "0000,0008", "0008"},
    {"FlashComp", "D020 = 0xF8 {0x00, 0xF8, 0x00, 0x03}\n", "00,F8", "F8"},
    {"ImageFormatAttribute", "D008 = 0x01 {0x00, 0x01}\nD006 = 0x03 {0x02, 0x03}\n",
     "0000_0002,0000_0003,0001_0002,0001_0003", "0001_0003"},
};

TEST_F(CanonParameterTest, ListsNameEveryOfferedCodeInTheCamerasOrder) {
    for (const ListCase& c : kListCases) {
        SCOPED_TRACE(c.name);
        Open(Scenario(c.properties));
        const std::vector<std::string> names = Split(c.commaText);
        EXPECT_EQ(Enumerate(c.name), static_cast<std::int32_t>(names.size()));
        EXPECT_EQ(Entry("CommaText"), c.commaText);
        EXPECT_EQ(Entry("Value"), c.value);
        for (const std::string& name : names)
            EXPECT_EQ(Entry(name.c_str()), name) << "item key with its name as text";
        EXPECT_EQ(Entry("Error"), "<missing>");
        EXPECT_EQ(h().ErrorsLog(), "");
    }
}

TEST_F(CanonParameterTest, DisplayTextsOfItemKeysSurviveEnumeration) {
    Open(Scenario("D01D = 0x0025 {0x0020, 0x0025}\n"));
    ASSERT_EQ(Enumerate("AvValue"), 2);
    platform::WriteProfileString(list_, kSection, "0025", "f/3.5");
    ASSERT_EQ(Enumerate("AvValue"), 2);
    EXPECT_EQ(Entry("0025"), "f/3.5");
    EXPECT_EQ(Entry("0020"), "0020");
}

// The simulated camera's own lists: each position sets the code listed there.
TEST_F(CanonParameterTest, PositionSetsTheCodeListedThere) {
    const struct {
        const char* name;
        std::uint16_t property;
    } rows[] = {{"AvValue", 0xD01D},      {"TvValue", 0xD01E},     {"ISO", 0xD01C},
                {"FocusPoint", 0xD012},   {"PhotoEffect", 0xD040}, {"ShootingMode", 0xD00C},
                {"AFDistance", 0xD011},   {"WBSetting", 0xD013},   {"FlashMode", 0xD00A},
                {"ExposureComp", 0xD01F}, {"FlashComp", 0xD020},   {"MLMode", 0xD010}};
    Open(Scenario(""));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::int32_t count = Enumerate(row.name);
        ASSERT_GE(count, 2);
        const std::vector<std::string> names = Split(Entry("CommaText"));
        ASSERT_EQ(names.size(), static_cast<std::size_t>(count));
        for (std::int32_t position : {count - 1, 1}) {
            d().SetParameter(row.name, position);
            EXPECT_EQ(Property(row.property), std::stoll(names[position], nullptr, 16));
        }
        // The code itself, as hexadecimal text.
        d().SetParameterDirect(row.name, names[0].c_str());
        EXPECT_EQ(Property(row.property), std::stoll(names[0], nullptr, 16));
    }
    EXPECT_EQ(h().ErrorsLog(), "");
}

TEST_F(CanonParameterTest, ImageFormatPositionSetsBothCodes) {
    Open(Scenario("D008 = 0x00 {0x00, 0x01}\nD006 = 0x02 {0x02, 0x03}\n"));
    ASSERT_EQ(Enumerate("ImageFormatAttribute"), 4);
    d().SetParameter("ImageFormatAttribute", 2);
    EXPECT_EQ(Property(0xD008), 1);
    EXPECT_EQ(Property(0xD006), 2);
    d().SetParameterDirect("ImageFormatAttribute", "0_3");
    EXPECT_EQ(Property(0xD008), 0);
    EXPECT_EQ(Property(0xD006), 3);
    // A refused compression code sets nothing more.
    d().SetParameterDirect("ImageFormatAttribute", "7_2");
    EXPECT_EQ(Property(0xD006), 3);
    EXPECT_TRUE(Logged("ErrorCode6:0x0100000B")) << h().ErrorsLog();
}

TEST_F(CanonParameterTest, PositionOutsideTheLastListIsRefusedWithZero) {
    Open(Scenario("D01E = 0x0060 {0x0018, 0x0060}\nD01F = 0x00 {0x00, 0x08, 0x00, 0x10}\n"));
    d().SetParameter("TvValue", 0); // before any TvValue list
    EXPECT_EQ(Property(0xD01E), 0x60);
    EXPECT_TRUE(Logged("ErrorCode6:0x00000000"));
    ASSERT_EQ(Enumerate("ExposureComp"), 2);
    for (intptr_t position : {intptr_t{2}, intptr_t{-1}}) {
        d().SetParameter("ExposureComp", position);
        EXPECT_EQ(Property(0xD01F), 0) << position;
    }
    d().SetParameter("ImageFormatAttribute", 0);
    EXPECT_EQ(h().LogLines().size(), 4u);
}

TEST_F(CanonParameterTest, RefusedSettingIsLoggedWithTheSdkCode) {
    Open(Scenario(""));
    ASSERT_GT(Enumerate("AvValue"), 1);
    PRSIM_FailNextCall("PR_SetDevicePropValue", 0x01000066u);
    d().SetParameter("AvValue", 0);
    EXPECT_EQ(Property(0xD01D), 0x25);
    EXPECT_TRUE(Logged("ErrorCode6:0x01000066"));
}

struct DirectCase {
    const char* name;
    const char* text;
    std::uint16_t property;
    std::int64_t expected; // -1: refused, camera unchanged
};

const DirectCase kDirectCases[] = {
    {"AvValue", "28", 0xD01D, 0x28},
    {"AvValue", "0x2B", 0xD01D, 0x2B},
    {"AvValue", "  2d end", 0xD01D, 0x2D},
    {"AvValue", "10020", 0xD01D, 0x20},    // the low 16 bits
    {"ShootingMode", "103", 0xD00C, 0x03}, // the low 8 bits
    {"AvValue", "zz", 0xD01D, -1},
    {"AvValue", "", 0xD01D, -1},
    {"ZoomPos", "7", 0xD02A, 7},
    {"ZoomPos", " 3 ", 0xD02A, 3},
    {"ZoomPos", "65539", 0xD02A, -1}, // never another position
    {"ZoomPos", "0x5", 0xD02A, -1},
    {"ZoomPos", "-1", 0xD02A, -1},
    {"ImageFormatAttribute", "3", 0xD008, -1},
};

TEST_F(CanonParameterTest, CodeTextsAreReadAsTheTableSays) {
    for (const DirectCase& c : kDirectCases) {
        SCOPED_TRACE(std::string(c.name) + " '" + c.text + "'");
        Open(Scenario("D01D = 0x0025 {0x0020, 0x0025, 0x0028, 0x002B, 0x002D}\n"));
        const std::int64_t before = Property(c.property);
        d().SetParameterDirect(c.name, c.text);
        if (c.expected < 0) {
            EXPECT_EQ(Property(c.property), before);
            EXPECT_TRUE(Logged("ErrorCode6:0x00000000"));
        } else {
            EXPECT_EQ(Property(c.property), c.expected);
            EXPECT_EQ(h().ErrorsLog(), "");
        }
    }
}

// ---- Zoom, digital zoom, angle ---------------------------------------------------------------

TEST_F(CanonParameterTest, ZoomListsItsPositionsAndReadsTheCurrentOne) {
    Open(Scenario("D02A = 2 [0, 8, 1]\n"));
    EXPECT_EQ(Enumerate("ZoomPos"), 9);
    EXPECT_EQ(Entry("Value"), "2");
    EXPECT_EQ(Entry("CommaText"), "<missing>");
    EXPECT_EQ(Enumerate("MaxZoomPos"), 0);
    EXPECT_EQ(Entry("Value"), "8");
    EXPECT_EQ(d().GetParameter("ZoomPos", -1), 2);
    d().SetParameter("ZoomPos", 5);
    EXPECT_EQ(d().GetParameter("ZoomPos", -1), 5);
    // A value a 16-bit position can't hold is refused, not cut to position 1.
    d().SetParameter("ZoomPos", 0x10001);
    EXPECT_EQ(Property(0xD02A), 5);
    EXPECT_TRUE(Logged("ErrorCode6:0x00000000"));
}

TEST_F(CanonParameterTest, ZoomWithStepsCountsPositionsByTheStep) {
    Open(Scenario("D02A = 4 [0, 12, 4]\n"));
    EXPECT_EQ(Enumerate("ZoomPos"), 4);
    EXPECT_EQ(Enumerate("MaxZoomPos"), 0);
    EXPECT_EQ(Entry("Value"), "3");
}

TEST_F(CanonParameterTest, DigitalZoomIsTheFactorOverThreeThousandAndSeventyTwo) {
    const struct {
        const char* current;
        const char* value;
    } cases[] = {{"1024", "3.0"}, {"3072", "0.0"}, {"4000", "0.0"},  {"1536", "2.0"},
                 {"2000", "1.5"}, {"0", "0.0"},    {"0x8000", "0.0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.current);
        Open(Scenario(std::string("D039 = ") + c.current + "\n"));
        EXPECT_EQ(Enumerate("DigitalZoom"), 0);
        EXPECT_EQ(Entry("Value"), c.value);
        EXPECT_EQ(Entry("CommaText"), "<missing>");
    }
}

TEST_F(CanonParameterTest, AngleIsTheCamerasOrientationCode) {
    Open(Scenario(""));
    EXPECT_EQ(d().GetParameter("Angle", -1), 0);
    PRSIM_TurnCamera(0, 3);
    EXPECT_EQ(d().GetParameter("Angle", -1), 3);
    EXPECT_EQ(d().GetParameter("MaxZoomPos", 42), 42);
    EXPECT_EQ(d().GetParameter("AvValue", 42), 42);
    EXPECT_EQ(d().EnumParameterValues("Angle", list_.c_str(), kSection), 0);
    EXPECT_EQ(h().ErrorsLog(), "");
}

// ---- Focus lock ------------------------------------------------------------------------------

TEST_F(CanonParameterTest, FocusLockListIsOnAndOffAndLocksTheCamera) {
    Open(Scenario(""));
    EXPECT_EQ(Enumerate("AFLock"), 2);
    EXPECT_EQ(Entry("CommaText"), "On,Off");
    EXPECT_EQ(Entry("On"), "On");
    EXPECT_EQ(Entry("Off"), "Off");
    EXPECT_EQ(Entry("Value"), "<missing>");
    PrsimCameraState state{};
    d().SetParameter("AFLock", 1);
    PRSIM_GetCameraState(0, &state);
    EXPECT_EQ(state.focusLocked, 1);
    d().SetParameterDirect("AFLock", "0");
    PRSIM_GetCameraState(0, &state);
    EXPECT_EQ(state.focusLocked, 0);
    d().SetParameterDirect("AFLock", "a");
    PRSIM_GetCameraState(0, &state);
    EXPECT_EQ(state.focusLocked, 1);
    PRSIM_FailNextCall("PR_RC_FocusUnlock", 0x01000012u);
    d().SetParameter("AFLock", 0);
    EXPECT_TRUE(Logged("ErrorCode6:0x01000012"));
}

TEST_F(CanonParameterTest, ZoomingClearsTheStoredFocusLockOnce) {
    Open(Scenario(""));
    d().SetParameter("ZoomPos", 3);
    ASSERT_EQ(Enumerate("AFLock"), 2);
    EXPECT_EQ(Entry("Value"), "0");
    EXPECT_EQ(Entry("AFLock", "SettingsValues"), "0");
    platform::WriteProfileString(list_, kSection, "Value", "On");
    platform::WriteProfileString(list_, "SettingsValues", "AFLock", "On");
    ASSERT_EQ(Enumerate("AFLock"), 2);
    EXPECT_EQ(Entry("Value"), "On") << "written once";
    EXPECT_EQ(Entry("AFLock", "SettingsValues"), "On");
}

TEST_F(CanonParameterTest, FocusLockCallOrDirectZoomLeavesNothingToClear) {
    const struct {
        const char* what;
        void (*act)(const DriverExports&);
    } cases[] = {
        {"zoom, then a focus lock",
         [](const DriverExports& d) {
             d.SetParameter("ZoomPos", 3);
             d.SetParameter("AFLock", 1);
         }},
        {"zoom given as text",
         [](const DriverExports& d) { d.SetParameterDirect("ZoomPos", "3"); }},
        {"refused zoom",
         [](const DriverExports& d) {
             PRSIM_FailNextCall("PR_SetDevicePropValue", 0x01000013u);
             d.SetParameter("ZoomPos", 3);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Open(Scenario(""));
        c.act(d());
        ASSERT_EQ(Enumerate("AFLock"), 2);
        EXPECT_EQ(Entry("Value"), "<missing>");
        EXPECT_EQ(Entry("AFLock", "SettingsValues"), "<missing>");
    }
}

// ---- Failures --------------------------------------------------------------------------------

struct FailureCase {
    const char* name;
    const char* properties;
    const char* failCall; // injected refusal of PR_GetDevicePropDesc, or null
    const char* error;    // Error entry
    const char* logged;
};

const FailureCase kFailureCases[] = {
    {"AvValue", "D01D = absent\n", nullptr, "0x00000000", "ErrorCode7:0x01000009"},
    {"AvValue", "D01D = u8 5 {5, 6}\n", nullptr, "0x00000000", "ErrorCode7:0x000000FE"},
    {"ShootingMode", "D00C = ro 1 {0, 1}\n", nullptr, "0x00000000", "ErrorCode7:0x000000FD"},
    {"MLMode", "D010 = 1 [0, 3, 1]\n", nullptr, "0x00000000", "ErrorCode7:0x000000FC"},
    {"ImageFormatAttribute", "D006 = absent\n", nullptr, "0x01000009", "ErrorCode7:0x01000009"},
    {"ImageFormatAttribute", "D008 = u16 1 {1, 2}\n", nullptr, "0x00000000",
     "ErrorCode7:0x000000FE"},
    {"ZoomPos", "", "0x01000021", "0x01000021", "ErrorCode7:0x01000021"},
    {"ZoomPos", "D02A = ro 0 [0, 8, 1]\n", nullptr, "0x000000FD", "ErrorCode7:0x000000FD"},
    {"ZoomPos", "D02A = 0 {0, 1}\n", nullptr, "0x000000FC", "ErrorCode7:0x000000FC"},
    {"MaxZoomPos", "D02A = 0 [0, 8, 0]\n", nullptr, "0x000000FC", "ErrorCode7:0x000000FC"},
    {"MaxZoomPos", "D02A = u8 0 [0, 8, 1]\n", nullptr, "0x000000FE", "ErrorCode7:0x000000FE"},
    {"DigitalZoom", "D039 = rw 1024\n", nullptr, "0x000000FD", "ErrorCode7:0x000000FD"},
    {"DigitalZoom", "D039 = absent\n", nullptr, "0x01000009", "ErrorCode7:0x01000009"},
};

TEST_F(CanonParameterTest, UnreadableOrMisshapenDescriptionWritesTheFailureEntries) {
    for (const FailureCase& c : kFailureCases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.properties);
        Open(Scenario(c.properties));
        if (c.failCall != nullptr)
            PRSIM_FailNextCall("PR_GetDevicePropDesc", std::stoul(c.failCall, nullptr, 16));
        EXPECT_EQ(Enumerate(c.name), 0);
        EXPECT_EQ(Entry("Error"), c.error);
        EXPECT_EQ(Entry("Value"), "N/A");
        EXPECT_EQ(Entry(c.name, "SettingsValues"), "N/A");
        EXPECT_EQ(Entry("CommaText"), "<missing>");
        EXPECT_TRUE(Logged(c.logged)) << h().ErrorsLog();
    }
}

TEST_F(CanonParameterTest, ZoomReadingFailuresGiveTheDefault) {
    const struct {
        const char* properties;
        const char* failCall;
        const char* logged;
    } cases[] = {
        {"", "0x01000023", "ErrorCode7:0x01000023"},
        {"D02A = ro 0 [0, 8, 1]\n", nullptr, "ErrorCode7:0x000000FD"},
        {"D02A = u8 0 [0, 8, 1]\n", nullptr, "ErrorCode7:0x000000FE"},
        {"D02A = absent\n", nullptr, "ErrorCode7:0x01000009"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.properties);
        Open(Scenario(c.properties));
        if (c.failCall != nullptr)
            PRSIM_FailNextCall("PR_GetDevicePropDesc", std::stoul(c.failCall, nullptr, 16));
        EXPECT_EQ(d().GetParameter("ZoomPos", 77), 77);
        EXPECT_TRUE(Logged(c.logged)) << h().ErrorsLog();
    }
}

TEST_F(CanonParameterTest, AngleOfTheWrongTypeGivesTheDefault) {
    Open(Scenario("D043 = u8 2\n"));
    h().Pump(10);
    const std::size_t before = h().LogLines().size(); // building read the angle too
    EXPECT_EQ(d().GetParameter("Angle", 9), 9);
    ASSERT_EQ(h().LogLines().size(), before + 1);
    EXPECT_NE(h().LogLines().back().find(":ErrorCode7:0x00000000"), std::string::npos);
}

TEST_F(CanonParameterTest, UnknownNamesDoNothingAndSucceed) {
    Open(Scenario(""));
    const std::int64_t av = Property(0xD01D);
    for (const char* name :
         {"avvalue", "AvValue ", "NoSuchThing", "MaxZoomPos", "DigitalZoom", "Angle"}) {
        d().SetParameter(name, 1);
        d().SetParameterDirect(name, "20");
    }
    EXPECT_EQ(Property(0xD01D), av);
    EXPECT_EQ(Enumerate("avvalue"), 0);
    EXPECT_EQ(ReadFile(list_), "");
    EXPECT_EQ(d().GetParameter("NoSuchThing", 5), 5);
    EXPECT_EQ(h().ErrorsLog(), "");
}

TEST_F(CanonParameterTest, PhotoEffectIsListedFromWindowsXpOn) {
    const struct {
        DWORD major, minor, platform;
        std::int32_t result;
    } cases[] = {{5, 0, VER_PLATFORM_WIN32_NT, -1},
                 {4, 10, VER_PLATFORM_WIN32_WINDOWS, -1},
                 {5, 1, VER_PLATFORM_WIN32_NT, 6},
                 {6, 0, VER_PLATFORM_WIN32_NT, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        Open(Scenario(""));
        OSVERSIONINFOA version{};
        version.dwMajorVersion = c.major;
        version.dwMinorVersion = c.minor;
        version.dwPlatformId = c.platform;
        platform::InjectWindowsVersion(version);
        EXPECT_EQ(Enumerate("PhotoEffect"), c.result);
        platform::InjectWindowsVersion(std::nullopt);
        if (c.result < 0) {
            EXPECT_EQ(ReadFile(list_), "");
        }
    }
    Open(Scenario(""));
    EXPECT_EQ(Enumerate("PhotoEffect"), 6) << "this system";
}

TEST_F(CanonParameterTest, PreviewTypeChoosesTheViewfinderOutput) {
    Open(Scenario(""));
    const struct {
        intptr_t value;
        std::int64_t code;
    } cases[] = {{1, 1}, {0, 3}, {2, 2}, {7, 0}, {-1, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(d().SetApplicationParameter("PreviewType", c.value), 1) << c.value;
        EXPECT_EQ(Property(0xD036), c.code) << c.value;
    }
    PRSIM_FailNextCall("PR_SetDevicePropValue", 0x01000014u);
    EXPECT_EQ(d().SetApplicationParameter("PreviewType", 1), 0);
    EXPECT_EQ(Property(0xD036), 0);
    EXPECT_TRUE(Logged("ErrorCode6:0x01000014"));
}

TEST_F(CanonParameterTest, WithoutACameraNothingReachesTheSdk) {
    Open("[sdk]\nframe_interval_ms = 30\n");
    const std::size_t logged = h().LogLines().size();
    EXPECT_EQ(Enumerate("AvValue"), -1);
    EXPECT_EQ(d().GetParameter("ZoomPos", 5), 0);
    d().SetParameter("ZoomPos", 3);
    d().SetParameterDirect("AvValue", "25");
    EXPECT_EQ(d().SetApplicationParameter("PreviewType", 1), 0);
    EXPECT_EQ(ReadFile(list_), "");
    EXPECT_EQ(h().LogLines().size(), logged);
}

} // namespace
} // namespace drivertest
