// A program folder whose cv100.so is missing: the driver warns, logs 788 and opens no
// camera.
#include "driver_harness.h"

#include "platform/dialogs.h"
#include "platform/profile.h"
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
    h.Driver().DestroyModuleWindow();
}

} // namespace
} // namespace drivertest
