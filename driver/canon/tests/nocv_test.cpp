// A program folder whose cv100.so is missing: the driver warns, logs 788 and opens no
// camera.
#include "driver_harness.h"

#include "platform/dialogs.h"
#include "platform/profile.h"
#include "platform/usb.h"
#include "prsdk/prsdk_control.h"

#include <gtest/gtest.h>

namespace drivertest {
namespace {

TEST(CanonDriverNoDetector, MissingCv100StopsBuildingWithTheWarning) {
    DriverHarness h("[camera]\nmodel = PowerShot A80\n");
    std::vector<platform::MessageBoxCall> boxes;
    platform::SetMessageBoxAnswerer([&](const platform::MessageBoxCall& call) {
        boxes.push_back(call);
        return IDOK;
    });
    ASSERT_TRUE(h.Loaded());
    platform::WriteProfileString(h.DataFolder() + "/local.ini", "Exceptions",
                                 "LoadLibExceptionMesage", "Bibliothek fehlt:");
    platform::WriteProfileString(h.HostIni(), "Camera", "MonitoringInterval", "20");
    ASSERT_NE(h.Create(), nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Bibliothek fehlt: cv100.dll");
    EXPECT_EQ(boxes[0].caption, "Capdeck");
    EXPECT_EQ(boxes[0].type & MB_ICONMASK, MB_ICONWARNING);
    EXPECT_EQ(platform::ProfileString(h.HostIni(), "LibError", "InitError", ""),
              "ErrorCode1:0x00000314");
    const std::vector<std::string> lines = h.LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(":ErrorCode1:0x00000314"), std::string::npos);
    // No camera was opened.
    PrsimCameraState state{};
    PRSIM_GetCameraState(0, &state);
    EXPECT_EQ(state.connectedObjects, 0);
    EXPECT_EQ(h.Driver().CameraIsOnline(), 0);
    EXPECT_EQ(h.Driver().EnumParameterValues("Camera", h.LmdhostIni().c_str(), "Camera_items"), -1);
    // The messages were never registered: a device count change that the camera-less
    // monitor cannot explain reaches nobody.
    platform::UsbSimulatedAttach(+1);
    h.Pump(200);
    platform::UsbSimulatedAttach(-1);
    EXPECT_TRUE(h.Received("Camera going to shutdown").empty());
    h.Driver().DestroyModuleWindow();
}

// The warning text comes from the language file beside the host ini, within its bound,
// and falls back to the built-in text.
TEST(CanonDriverNoDetector, WarningTextFromTheLanguageFileOrItsDefault) {
    struct Case {
        const char* name;
        std::string configured; // "" leaves the key out
        std::string shown;
    };
    const std::string longText(300, 'w');
    const Case cases[] = {
        {"default", "", "Error initializing library cv100.dll"},
        {"bounded", longText, longText.substr(0, 255) + " cv100.dll"},
    };
    for (const Case& c : cases) {
        DriverHarness h("[camera]\nmodel = PowerShot A80\n");
        std::vector<platform::MessageBoxCall> boxes;
        platform::SetMessageBoxAnswerer([&](const platform::MessageBoxCall& call) {
            boxes.push_back(call);
            return IDOK;
        });
        if (!c.configured.empty()) {
            platform::WriteProfileString(h.DataFolder() + "/local.ini", "Exceptions",
                                         "LoadLibExceptionMesage", c.configured.c_str());
        }
        ASSERT_NE(h.Create(), nullptr) << c.name;
        ASSERT_EQ(boxes.size(), 1u) << c.name;
        EXPECT_EQ(boxes[0].text, c.shown) << c.name;
        EXPECT_EQ(boxes[0].caption, "Capdeck") << c.name;
    }
}

} // namespace
} // namespace drivertest
