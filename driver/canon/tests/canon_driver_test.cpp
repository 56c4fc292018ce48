// The built Canon driver, loaded and driven through its exports as the host does.
#include "driver_harness.h"

#include "platform/dialogs.h"
#include "platform/gdi.h"
#include "platform/profile.h"
#include "platform/usb.h"
#include "platform/window.h"
#include "prsdk/prsdk_control.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <regex>

namespace drivertest {
namespace {

const char* const kOneCamera = "[camera]\nmodel = PowerShot A80\n";
const char* const kTwoCameras =
    "[camera]\nmodel = PowerShot S 70, Black\n[camera]\nmodel = PowerShot G5\n";
const char* const kNoCamera = "[sdk]\nframe_interval_ms = 30\n";

std::string Profile(const std::string& file, const char* section, const char* key) {
    return platform::ProfileString(file, section, key, "<missing>");
}

PrsimCameraState CameraState(uint32_t camera) {
    PrsimCameraState state{};
    PRSIM_GetCameraState(camera, &state);
    return state;
}

// The names of the process's threads.
std::vector<std::string> Threads() {
    std::vector<std::string> names;
    DIR* dir = opendir("/proc/self/task");
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::string name = ReadFile(std::string("/proc/self/task/") + entry->d_name + "/comm");
        names.push_back(name.substr(0, name.find('\n')));
    }
    closedir(dir);
    return names;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += name + " ";
    return text;
}

// ---- Without a camera object -----------------------------------------------------------

TEST(CanonDriverExports, AnswersFixedValuesWithoutAnObject) {
    DriverHarness h(kOneCamera);
    ASSERT_TRUE(h.Loaded());
    const DriverExports& d = h.Driver();
    EXPECT_EQ(d.GetParameter("ZoomPos", 1234), 1234);
    EXPECT_EQ(d.EnumParameterValues("Camera", h.LmdhostIni().c_str(), "Camera_items"), 0);
    EXPECT_EQ(d.CameraRelease("/tmp/x_", h.HostWindow()), -1);
    EXPECT_EQ(d.SetApplicationParameter("FrameChecked", 1), 0);
    EXPECT_EQ(d.CameraIsOnline(), 0);
    d.SetParameter("AvValue", 1);
    d.SetParameterDirect("AvValue", "25");
    d.CameraUpdate();
    d.CameraStartPreview();
    d.CameraStopPreview();
    d.DestroyModuleWindow();
    EXPECT_EQ(Profile(h.LmdhostIni(), "Camera_items", "CommaText"), "<missing>");
}

TEST(CanonDriverExports, DriverInfoKeepsItsByteLayout) {
    DriverHarness h(kOneCamera);
    unsigned char record[164 + 16];
    std::memset(record, 0xCC, sizeof record);
    const int32_t length = h.Driver().GetLMDInfo(reinterpret_cast<lensport::DriverInfo*>(record));
    EXPECT_EQ(length, 15);
    EXPECT_STREQ(reinterpret_cast<char*>(record), "Driver for Canon Digital Cameras (PsReSDK)");
    for (int i = static_cast<int>(std::strlen(reinterpret_cast<char*>(record))); i < 100; ++i) {
        EXPECT_EQ(record[i], 0) << "description padding at " << i;
    }
    int32_t kind = 0;
    std::memcpy(&kind, record + 100, 4);
    EXPECT_EQ(kind, 100);
    for (int i = 104; i < 114; ++i)
        EXPECT_EQ(record[i], 0) << "reserved byte " << i;
    EXPECT_STREQ(reinterpret_cast<char*>(record + 114), " (Canon PR-SDK)");
    for (int i = 114 + 15; i < 164; ++i)
        EXPECT_EQ(record[i], 0) << "short name padding " << i;
    for (int i = 164; i < 180; ++i)
        EXPECT_EQ(record[i], 0xCC) << "written past the record";
}

TEST(CanonDriverExports, CameraListNumbersCamerasFrom25500AndKeepsTheirNames) {
    DriverHarness h(kTwoCameras);
    const lensport::CameraList* list = h.Driver().GenerateCameraList();
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->first, nullptr);
    ASSERT_EQ(list->last - list->first, 2);
    EXPECT_GE(list->end, list->last);
    EXPECT_STREQ(list->first[0].name, "PowerShot S 70, Black");
    EXPECT_EQ(list->first[0].id, 25500);
    EXPECT_STREQ(list->first[1].name, "PowerShot G5");
    EXPECT_EQ(list->first[1].id, 25501);
    // The name field is zero-padded to its end.
    for (std::size_t i = std::strlen(list->first[1].name); i < 100; ++i) {
        EXPECT_EQ(list->first[1].name[i], 0);
    }
    // A second call rebuilds the list in place of the first.
    const lensport::CameraList* again = h.Driver().GenerateCameraList();
    EXPECT_EQ(again->last - again->first, 2);
}

std::string Cameras(int count) {
    std::string scenario;
    for (int i = 0; i < count; ++i)
        scenario += "[camera]\nmodel = PowerShot " + std::to_string(i) + "\n";
    return scenario;
}

TEST(CanonDriverExports, CameraListGrowsPastTenCameras) {
    DriverHarness h(Cameras(12));
    const lensport::CameraList* list = h.Driver().GenerateCameraList();
    ASSERT_EQ(list->last - list->first, 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(list->first[i].id, 25500 + i);
        EXPECT_EQ(std::string(list->first[i].name), "PowerShot " + std::to_string(i));
    }
}

TEST(CanonDriverExports, RefusedStartOrListEmptiesTheEarlierList) {
    for (const char* function : {"PR_StartSDK", "PR_GetDeviceList"}) {
        DriverHarness h(kTwoCameras);
        // One call: each call rebuilds the list and invalidates the previous one.
        const lensport::CameraList* before = h.Driver().GenerateCameraList();
        ASSERT_EQ(before->last - before->first, 2);
        PRSIM_FailNextCall(function, 0x01000071u);
        const lensport::CameraList* list = h.Driver().GenerateCameraList();
        EXPECT_EQ(list->first, list->last) << function;
        EXPECT_EQ(h.ErrorsLog(), "") << function;
    }
}

// Opening asks once with room for 18 devices; more is a failure with the SDK's code.
TEST(CanonDriverBuild, OpeningDoesNotAskAgainForALargerDeviceList) {
    DriverHarness h(Cameras(19));
    ASSERT_NE(h.Create(), nullptr);
    EXPECT_EQ(Profile(h.HostIni(), "LibError", "InitError"), "ErrorCode1:0x01000063");
    EXPECT_EQ(h.Driver().CameraIsOnline(), 0);
}

TEST(CanonDriverExports, CameraListIsEmptyWithoutACamera) {
    DriverHarness h(kNoCamera);
    const lensport::CameraList* list = h.Driver().GenerateCameraList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->first, list->last);
}

// ---- Building the object ----------------------------------------------------------------

TEST(CanonDriverBuild, NoCameraIsLoggedAndRecordedForTheHost) {
    DriverHarness h(kNoCamera);
    HWND window = h.Create();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetParent(window), h.PanelWindow());
    const std::vector<std::string> lines = h.LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(
        lines[0], std::regex(R"(LMDE:\d\d/\d\d/\d\d \d\d:\d\d:\d\d:ErrorCode1:0x00000000)")))
        << lines[0];
    EXPECT_EQ(Profile(h.HostIni(), "LibError", "InitError"), "ErrorCode1:0x00000000");

    // An object without a camera: every call returns at once with the fixed answers.
    const DriverExports& d = h.Driver();
    EXPECT_EQ(d.GetParameter("ZoomPos", 77), 0);
    EXPECT_EQ(d.EnumParameterValues("Camera", h.LmdhostIni().c_str(), "Camera_items"), -1);
    EXPECT_EQ(d.SetApplicationParameter("FrameChecked", 1), 0);
    EXPECT_EQ(d.SetApplicationParameter("NoSuchName", 1), 0);
    EXPECT_EQ(d.CameraIsOnline(), 0);
    d.CameraUpdate();
    EXPECT_EQ(h.LogLines().size(), 1u);
}

TEST(CanonDriverBuild, AFailingSdkCallIsLoggedWithItsCode) {
    DriverHarness h(kOneCamera);
    PRSIM_FailNextCall("PR_ConnectCamera", 0x80000003u);
    ASSERT_NE(h.Create(), nullptr);
    EXPECT_EQ(Profile(h.HostIni(), "LibError", "InitError"), "ErrorCode1:0x80000003");
    ASSERT_EQ(h.LogLines().size(), 1u);
    EXPECT_NE(h.LogLines()[0].find(":ErrorCode1:0x80000003"), std::string::npos);
}

std::string CodeText(int n, PrError code) {
    char text[32];
    std::snprintf(text, sizeof text, "ErrorCode%d:0x%08X", n, static_cast<unsigned>(code));
    return text;
}

// Whether the SDK is started, asked the way the driver asks it.
bool SdkStarted() {
    std::vector<unsigned char> buffer(PR_DEVICE_LIST_SIZE(10));
    uint32_t size = static_cast<uint32_t>(buffer.size());
    return PR_GetDeviceList(&size, buffer.data()) == PR_OK;
}

TEST(CanonDriverBuild, EachOpeningStepLogsItsOwnCodeAndStopsTheRest) {
    struct Case {
        const char* function;
        PrError code;
        int connected; // camera objects connected after the failure
    };
    const Case cases[] = {
        {"PR_GetDeviceList", 0x01000051u, 0},    {"PR_CreateCameraObject", 0x01000052u, 0},
        {"PR_ConnectCamera", 0x01000053u, 0},    {"PR_InitiateReleaseControl", 0x01000054u, 1},
        {"PR_SetEventCallBack", 0x01000055u, 1},
    };
    for (const Case& c : cases) {
        DriverHarness h(kOneCamera);
        PRSIM_FailNextCall(c.function, c.code);
        ASSERT_NE(h.Create(), nullptr) << c.function;
        EXPECT_EQ(Profile(h.HostIni(), "LibError", "InitError"), CodeText(1, c.code)) << c.function;
        const std::vector<std::string> lines = h.LogLines();
        ASSERT_EQ(lines.size(), 1u) << c.function;
        EXPECT_NE(lines[0].find(":" + CodeText(1, c.code)), std::string::npos) << lines[0];
        EXPECT_EQ(CameraState(0).connectedObjects, c.connected) << c.function;
    }
}

TEST(CanonDriverBuild, RefusedSdkStartIsRetriedOnceAfterFinishing) {
    struct Case {
        const char* name;
        bool startedBefore; // a camera list was asked for first
        bool startAlwaysFails;
        PrError finishFault;
        std::string logged; // "" when the camera is opened
    };
    const PrError start = 0x01000061u;
    const PrError finish = 0x01000062u;
    const Case cases[] = {
        // The SDK was never started, so finishing it is refused.
        {"not started", false, false, 0, CodeText(1, PR_ERR_NOT_INITIALIZED)},
        {"finish refused", true, false, finish, CodeText(1, finish)},
        {"restart refused", true, true, 0, CodeText(1, start)},
        // A restart that works goes on to open the camera.
        {"restart works", true, false, 0, ""},
    };
    for (const Case& c : cases) {
        DriverHarness h(kOneCamera);
        if (c.startedBefore) {
            ASSERT_NE(h.Driver().GenerateCameraList(), nullptr);
        }
        if (c.startAlwaysFails) {
            PRSIM_FailAlways("PR_StartSDK", start);
        } else {
            PRSIM_FailNextCall("PR_StartSDK", start);
        }
        if (c.finishFault != 0) PRSIM_FailNextCall("PR_FinishSDK", c.finishFault);
        ASSERT_NE(h.Create(), nullptr) << c.name;
        PRSIM_ClearFailures();
        if (c.logged.empty()) {
            EXPECT_EQ(h.ErrorsLog(), "") << c.name;
            EXPECT_EQ(h.Driver().CameraIsOnline(), 1) << c.name;
        } else {
            EXPECT_EQ(Profile(h.HostIni(), "LibError", "InitError"), c.logged) << c.name;
            ASSERT_EQ(h.LogLines().size(), 1u) << c.name;
            EXPECT_EQ(h.Driver().CameraIsOnline(), 0) << c.name;
        }
        EXPECT_EQ(CameraState(0).connectedObjects, c.logged.empty() ? 1 : 0) << c.name;
    }
}

TEST(CanonDriverBuild, LoadCameraChoosesTheDeviceAndFallsBackToTheFirst) {
    struct Case {
        const char* loadCamera;
        uint32_t opened;
    };
    for (const Case& c : {Case{"1", 1}, Case{"2", 0}, Case{"0", 0}, Case{"-5", 0}}) {
        DriverHarness h(kTwoCameras);
        platform::WriteProfileString(h.LmdhostIni(), "ActiveCamera", "LoadCamera", c.loadCamera);
        ASSERT_NE(h.Create(), nullptr);
        EXPECT_EQ(CameraState(c.opened).connectedObjects, 1) << "LoadCamera " << c.loadCamera;
        EXPECT_EQ(CameraState(1 - c.opened).connectedObjects, 0) << "LoadCamera " << c.loadCamera;
        EXPECT_EQ(h.Driver().CameraIsOnline(), 1);
        EXPECT_EQ(h.ErrorsLog(), "");
    }
}

TEST(CanonDriverBuild, SecondCreateEndsTheFirstObjectButKeepsItsWindow) {
    DriverHarness h(kOneCamera);
    HWND first = h.Create();
    ASSERT_NE(first, nullptr);
    h.Driver().CameraStartPreview();
    EXPECT_EQ(CameraState(0).viewFinderRunning, 1);
    HWND second = h.Create();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_TRUE(IsWindow(first));
    EXPECT_EQ(CameraState(0).viewFinderRunning, 0);
    EXPECT_EQ(CameraState(0).connectedObjects, 1);
    EXPECT_EQ(h.Driver().CameraIsOnline(), 1);
    // The old window going away later leaves the new object alone.
    DestroyWindow(first);
    EXPECT_EQ(h.Driver().CameraIsOnline(), 1);
    EXPECT_EQ(CameraState(0).connectedObjects, 1);
    h.Driver().DestroyModuleWindow();
    EXPECT_EQ(CameraState(0).connectedObjects, 0);
    EXPECT_TRUE(IsWindow(second)) << "the module window belongs to its parent";
}

TEST(CanonDriverBuild, WindowDestroyedByItsParentEndsTheObject) {
    DriverHarness h(kOneCamera);
    HWND window = h.Create();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(CameraState(0).connectedObjects, 1);
    h.DestroyPanel();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(CameraState(0).connectedObjects, 0);
    EXPECT_EQ(h.Driver().CameraIsOnline(), 0);
    h.Driver().DestroyModuleWindow(); // finds no object
    EXPECT_EQ(h.Driver().GetParameter("ZoomPos", 5), 5);
}

TEST(CanonDriverBuild, DestroyEndsEveryThreadItStarted) {
    DriverHarness h(kOneCamera);
    h.Pump(50);
    const std::vector<std::string> before = Threads();
    ASSERT_NE(h.Create(), nullptr);
    h.Driver().CameraStartPreview();
    ASSERT_TRUE(h.WaitFor([] { return CameraState(0).framesDelivered >= 3; }));
    h.Driver().DestroyModuleWindow();
    EXPECT_EQ(PRSIM_ThreadCount(), 0u);
    // A thread that has finished its work may take a moment to leave the process; one
    // that still runs never does.
    EXPECT_TRUE(h.WaitFor([&] { return Threads().size() <= before.size(); }))
        << "before: " << Joined(before) << "after: " << Joined(Threads());
}

TEST(CanonDriverBuild, UnloadingKeepsTheModuleForItsWindow) {
    DriverHarness h(kOneCamera);
    HWND window = h.Create();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(h.Unload());
    // The window still runs the driver's procedure; its destruction ends the object.
    EXPECT_EQ(CameraState(0).connectedObjects, 1);
    h.DestroyPanel();
    EXPECT_EQ(CameraState(0).connectedObjects, 0);
}

TEST(CanonDriverBuild, WithoutTheDataFolderNothingIsLoggedAndBuildingGoesOn) {
    DriverHarness h(kNoCamera);
    std::filesystem::remove_all(h.DataFolder());
    ASSERT_NE(h.Create(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(h.DataFolder()));
    EXPECT_EQ(h.Driver().CameraIsOnline(), 0);
}

TEST(CanonDriverBuild, TeardownStopsAtTheFirstRefusalAndLogsIt) {
    struct Case {
        const char* function; // nullptr: nothing refused
        int connected;        // camera objects still connected afterwards
        bool sdkStarted;      // the SDK still runs afterwards
    };
    const Case cases[] = {
        {"PR_TerminateReleaseControl", 1, true},
        {"PR_DisconnectCamera", 1, true},
        {"PR_DestroyCameraObject", 0, true},
        {"PR_FinishSDK", 0, true},
        {nullptr, 0, false},
    };
    const PrError code = 0x01000042u;
    for (const Case& c : cases) {
        const char* name = c.function != nullptr ? c.function : "none";
        DriverHarness h(kOneCamera);
        ASSERT_NE(h.Create(), nullptr);
        if (c.function != nullptr) PRSIM_FailNextCall(c.function, code);
        h.Driver().DestroyModuleWindow();
        const std::vector<std::string> lines = h.LogLines();
        ASSERT_EQ(lines.size(), c.function != nullptr ? 1u : 0u) << name;
        if (c.function != nullptr) {
            EXPECT_NE(lines[0].find(":" + CodeText(3, code)), std::string::npos) << lines[0];
        }
        EXPECT_EQ(Profile(h.HostIni(), "LibError", "InitError"), "<missing>") << name;
        EXPECT_EQ(CameraState(0).connectedObjects, c.connected) << name;
        EXPECT_EQ(SdkStarted(), c.sdkStarted) << name;
    }
}

TEST(CanonDriverBuild, WithoutACameraTheSdkIsNotFinished) {
    DriverHarness h(kNoCamera);
    ASSERT_NE(h.Create(), nullptr);
    h.Driver().DestroyModuleWindow();
    EXPECT_TRUE(SdkStarted());
    ASSERT_EQ(h.LogLines().size(), 1u) << "only the missing camera";
}

// ---- Application parameters and the "Camera" list ---------------------------------------

TEST(CanonDriverSettings, ApplicationParameterNamesAreExact) {
    DriverHarness h(kOneCamera);
    ASSERT_NE(h.Create(), nullptr);
    const DriverExports& d = h.Driver();
    struct Case {
        const char* name;
        intptr_t value;
        uint8_t result;
    };
    static const std::string options = h.DataFolder() + "/options.ini";
    const Case cases[] = {
        {"PreviewOrienataion", 1, 0},
        {"PreviewOrientation", 1, 1},
        {"FrameChecked", 1, 0},
        {"FaceX", 10, 0},
        {"FaceY", 10, 0},
        {"FaceW", 10, 0},
        {"FaceH", 10, 0},
        {"Zoom", 35, 0},
        {"VO", 5, 0},
        {"HO", 5, 0},
        {"ARX", 0, 0},
        {"ARY", 0, 0},
        {"AutoFaceDetect", 1, 0},
        {"FaceDetect", 0, 0},
        {"idPhoto", 1, 0},
        {"Frames", 0, 0},
        {"ButtonsHandle", 0, 0},
        {"ConfigHandle", 0, 0},
        {"OptionsFile", reinterpret_cast<intptr_t>(options.c_str()), 0},
        {"AutoFaceFile", reinterpret_cast<intptr_t>(CAPDECK_BIN_DIR), 0},
        {"framechecked", 1, 1},
        {"", 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(d.SetApplicationParameter(c.name, c.value), c.result) << c.name;
    }
    EXPECT_EQ(d.SetApplicationParameter("PreviewType", 1), 1);
    EXPECT_EQ(PRSIM_GetPropertyValue(0, 0xD036), 1);
    EXPECT_EQ(d.SetApplicationParameter("PreviewType", 0), 1);
    EXPECT_EQ(PRSIM_GetPropertyValue(0, 0xD036), 3);
    PRSIM_FailNextCall("PR_SetDevicePropValue", 0x01000077u);
    EXPECT_EQ(d.SetApplicationParameter("PreviewType", 2), 0);
    EXPECT_NE(h.ErrorsLog().find(":ErrorCode6:0x01000077"), std::string::npos);
}

TEST(CanonDriverSettings, CameraListReplacesBlanksAndCommasAndKeepsDisplayTexts) {
    DriverHarness h(kTwoCameras);
    platform::WriteProfileString(h.LmdhostIni(), "ActiveCamera", "LoadCamera", "0");
    ASSERT_NE(h.Create(), nullptr);
    const DriverExports& d = h.Driver();
    const std::string list = h.LmdhostIni();
    ASSERT_EQ(d.EnumParameterValues("Camera", list.c_str(), "Camera_items"), 2);
    EXPECT_EQ(Profile(list, "Camera_items", "CommaText"), "PowerShot_S_70__Black,PowerShot_G5");
    EXPECT_EQ(Profile(list, "Camera_items", "PowerShot_S_70__Black"), "PowerShot S 70, Black");
    EXPECT_EQ(Profile(list, "Camera_items", "PowerShot_G5"), "PowerShot G5");
    EXPECT_EQ(Profile(list, "Camera_items", "Value"), "<missing>");
    EXPECT_EQ(Profile(list, "ActiveCamera", "LoadCameraName"), "PowerShot_S_70__Black");

    platform::WriteProfileString(list, "Camera_items", "PowerShot_G5", "Studio camera");
    ASSERT_EQ(d.EnumParameterValues("Camera", list.c_str(), "Camera_items"), 2);
    EXPECT_EQ(Profile(list, "Camera_items", "PowerShot_G5"), "Studio camera");
    EXPECT_EQ(Profile(list, "Camera_items", "PowerShot_S_70__Black"), "PowerShot S 70, Black");

    // A name the driver does not know writes nothing.
    const std::string before = ReadFile(list);
    EXPECT_EQ(d.EnumParameterValues("NoSuchParameter", list.c_str(), "X"), 0);
    EXPECT_EQ(ReadFile(list), before);
}

TEST(CanonDriverSettings, CameraListFailureWritesTheErrorEntries) {
    DriverHarness h(kOneCamera);
    ASSERT_NE(h.Create(), nullptr);
    const std::string list = h.LmdhostIni();
    PRSIM_FailNextCall("PR_GetDeviceList", 0x01000055u);
    EXPECT_EQ(h.Driver().EnumParameterValues("Camera", list.c_str(), "Camera_items"), 0);
    EXPECT_EQ(Profile(list, "Camera_items", "Error"), "0x01000055");
    EXPECT_EQ(Profile(list, "Camera_items", "Value"), "N/A");
    EXPECT_EQ(Profile(list, "SettingsValues", "Camera"), "N/A");
}

// ---- Camera events, USB monitor, viewfinder, Update --------------------------------------

TEST(CanonDriverSession, CameraEventsReachTheirPanels) {
    DriverHarness h(kOneCamera);
    ASSERT_NE(h.Create(), nullptr);
    const DriverExports& d = h.Driver();
    d.SetApplicationParameter("ButtonsHandle", reinterpret_cast<intptr_t>(h.ButtonsWindow()));
    d.SetApplicationParameter("ConfigHandle", reinterpret_cast<intptr_t>(h.HostWindow()));
    // Events the driver has no use for, and a settings event with a parameter that must
    // not leak into the message.
    PRSIM_SendEvent(0, 0xC00A, 7);
    PRSIM_SendEvent(0, 0x4008, 7);
    PRSIM_PressShutterButton(0);
    PRSIM_SendEvent(0, 0xC00C, 9);
    PRSIM_SendEvent(0, 0x4006, 0xD01D);
    PRSIM_TurnCamera(0, 2);
    ASSERT_TRUE(h.WaitFor([&] {
        return h.Received("Camera release button pressed").size() == 1 &&
               h.Received("Camera changed by UI").size() == 2 &&
               h.Received("AndleChanged").size() == 1;
    }));
    h.Pump(50);
    struct Expected {
        const char* message;
        std::size_t count;
        HWND window;
        WPARAM wParam;
    };
    const Expected expected[] = {
        {"Camera release button pressed", 1, h.ButtonsWindow(), 0},
        {"Camera changed by UI", 2, h.HostWindow(), 0},
        {"AndleChanged", 1, h.ButtonsWindow(), 2},
        {"Camera going to shutdown", 0, nullptr, 0},
    };
    for (const Expected& e : expected) {
        const std::vector<ReceivedMessage> got = h.Received(e.message);
        ASSERT_EQ(got.size(), e.count) << e.message;
        for (const ReceivedMessage& m : got) {
            EXPECT_EQ(m.window, e.window) << e.message;
            EXPECT_EQ(m.wParam, e.wParam) << e.message;
            EXPECT_EQ(m.lParam, 0) << e.message;
        }
    }
}

TEST(CanonDriverSession, AngleEventWithAutomaticOrientationTurnsThePreview) {
    DriverHarness h(kOneCamera);
    HWND window = h.Create();
    ASSERT_NE(window, nullptr);
    const DriverExports& d = h.Driver();
    MoveWindow(window, 0, 0, 330, 250, TRUE);
    d.SetApplicationParameter("ButtonsHandle", reinterpret_cast<intptr_t>(h.ButtonsWindow()));
    d.CameraStartPreview();
    ASSERT_TRUE(h.WaitFor([&] {
        return platform::BackingPixel(window, 160, 120) != 0xFFFFFFFF &&
               CameraState(0).framesDelivered >= 5;
    }));
    h.Pump(200);
    QImage landscape;
    ASSERT_TRUE(platform::CopyBackingImage(window, &landscape));
    landscape = landscape.copy(0, 0, 320, 240);

    EXPECT_EQ(d.SetApplicationParameter("PreviewOrienataion", 1), 0);
    PRSIM_TurnCamera(0, 3);
    ASSERT_TRUE(h.WaitFor([&] { return !h.Received("AndleChanged").empty(); }));
    EXPECT_EQ(h.Received("AndleChanged")[0].wParam, 3u);
    EXPECT_EQ(h.Received("AndleChanged")[0].window, h.ButtonsWindow());
    // Portrait frames have white bars beside them.
    ASSERT_TRUE(h.WaitFor([&] {
        return platform::BackingPixel(window, 10, 10) == RGB(255, 255, 255) &&
               platform::BackingPixel(window, 300, 200) == RGB(255, 255, 255);
    }));
    h.Pump(200);
    QImage portrait;
    ASSERT_TRUE(platform::CopyBackingImage(window, &portrait));
    // The camera held upright-left sends the scene turned; the preview turns it back, so
    // the portrait shows the scene upright (like the middle of the landscape frames), not
    // upside down as the opposite quarter turn would.
    auto difference = [&](auto source) {
        double sum = 0;
        for (int y = 0; y < 240; y += 4) {
            for (int x = 0; x < 180; x += 4) {
                sum += std::abs(qGray(portrait.pixel(70 + x, y)) -
                                qGray(landscape.pixel(source(x, y))));
            }
        }
        return sum;
    };
    const double upright = difference([](int x, int y) { return QPoint(70 + x, y); });
    const double upsideDown = difference([](int x, int y) { return QPoint(249 - x, 239 - y); });
    EXPECT_LT(upright * 2, upsideDown) << "upright: " << upright << " upside down: " << upsideDown;
    d.CameraStopPreview();
    EXPECT_EQ(CameraState(0).viewFinderRunning, 0);
}

TEST(CanonDriverSession, UnrelatedDeviceIsProbedAndUnplugIsReported) {
    DriverHarness h(kOneCamera);
    platform::WriteProfileString(h.HostIni(), "Camera", "MonitoringInterval", "20");
    ASSERT_NE(h.Create(), nullptr);
    platform::UsbSimulatedAttach(+1); // a scanner: the camera still answers
    h.Pump(400);
    EXPECT_TRUE(h.Received("Camera going to shutdown").empty());
    PRSIM_Unplug(0);
    ASSERT_TRUE(h.WaitFor([&] { return !h.Received("Camera going to shutdown").empty(); }));
    const ReceivedMessage m = h.Received("Camera going to shutdown")[0];
    EXPECT_EQ(m.window, h.HostWindow()) << "the top-level ancestor of the panel";
    EXPECT_EQ(m.wParam, 1u);
    EXPECT_EQ(m.lParam, 0);
    EXPECT_EQ(h.Driver().CameraIsOnline(), 0);
    platform::UsbSimulatedAttach(-1);
    h.Pump(100);
    EXPECT_EQ(h.Received("Camera going to shutdown").size(), 1u) << "the monitor has ended";
}

TEST(CanonDriverSession, UpdateRunsAutomaticsAndLogsARefusal) {
    DriverHarness h(kOneCamera);
    ASSERT_NE(h.Create(), nullptr);
    h.Driver().CameraUpdate();
    EXPECT_EQ(CameraState(0).aeAfAwbCalls, 1u);
    PRSIM_FailNextCall("PR_RC_DoAeAfAwb", 0x01000021u);
    h.Driver().CameraUpdate();
    EXPECT_EQ(CameraState(0).aeAfAwbCalls, 1u);
    EXPECT_NE(h.ErrorsLog().find(":ErrorCode9:0x01000021"), std::string::npos);
}

TEST(CanonDriverSession, BrokenFramesAreDroppedAndGoodOnesStillArrive) {
    DriverHarness h(kOneCamera);
    HWND window = h.Create();
    ASSERT_NE(window, nullptr);
    MoveWindow(window, 0, 0, 330, 250, TRUE);
    h.Pump(50);
    QImage untouched;
    ASSERT_TRUE(platform::CopyBackingImage(window, &untouched));
    for (PrsimFrameFault fault :
         {PRSIM_FRAMES_GARBAGE, PRSIM_FRAMES_OVERSIZED, PRSIM_FRAMES_EMPTY}) {
        PRSIM_BreakFrames(fault);
        h.Driver().CameraStartPreview();
        const uint32_t start = CameraState(0).framesDelivered;
        ASSERT_TRUE(h.WaitFor([&] { return CameraState(0).framesDelivered >= start + 5; }));
        h.Driver().CameraStopPreview();
        h.Pump(50);
        QImage now;
        ASSERT_TRUE(platform::CopyBackingImage(window, &now));
        EXPECT_EQ(now, untouched) << "fault " << fault << " painted something";
    }
    PRSIM_BreakFrames(PRSIM_FRAMES_GOOD);
    h.Driver().CameraStartPreview();
    ASSERT_TRUE(h.WaitFor([&] {
        QImage now;
        return platform::CopyBackingImage(window, &now) && now != untouched;
    }));
}

// ---- Capture -----------------------------------------------------------------------------

TEST(CanonDriverCapture, DestroyDuringASlowTransferServesItsProgressMessages) {
    DriverHarness h(kOneCamera);
    ASSERT_NE(h.Create(), nullptr);
    PRSIM_SetTransferDelay(20);
    const std::string prefix = h.DataFolder() + "/A_";
    ASSERT_EQ(h.Driver().CameraRelease(prefix.c_str(), h.ButtonsWindow()), 1);
    ASSERT_TRUE(h.WaitFor([&] { return !h.Received("Camera Event Progress Status").empty(); }));
    h.Driver().DestroyModuleWindow(); // waits for the transfer, serving its sends
    h.Pump(50);
    ASSERT_EQ(h.Received("Camera Event File Received").size(), 1u);
    EXPECT_EQ(h.Received("Camera Event File Received")[0].wParam, 32u);
    const LPARAM n = h.Received("Camera Event File Received")[0].lParam;
    char name[64];
    std::snprintf(name, sizeof name, "A_%06ld", static_cast<long>(n));
    const std::string picture = h.DataFolder() + "/" + name + ".jpg";
    std::vector<char> expected(PRSIM_GetLastCapture(nullptr, 0));
    PRSIM_GetLastCapture(expected.data(), expected.size());
    EXPECT_EQ(ReadFile(picture), std::string(expected.begin(), expected.end()));
    EXPECT_EQ(ReadFile(h.DataFolder() + "/" + name + "_TUMB.jpg"), "");
}

TEST(CanonDriverCapture, RefusedReleaseTellsTheHostAndLogs) {
    DriverHarness h(kOneCamera);
    ASSERT_NE(h.Create(), nullptr);
    PRSIM_FailNextCall("PR_RC_Release", 0x01000031u);
    ASSERT_EQ(h.Driver().CameraRelease("/nonexistent/B_", h.ButtonsWindow()), 1);
    ASSERT_TRUE(h.WaitFor([&] { return !h.Received("Camera going to shutdown").empty(); }));
    EXPECT_EQ(h.Received("Camera going to shutdown")[0].window, h.HostWindow());
    EXPECT_NE(h.ErrorsLog().find(":ErrorCode8:0x01000031"), std::string::npos);
    EXPECT_TRUE(h.Received("Camera Event File Received").empty());
}

} // namespace
} // namespace drivertest
