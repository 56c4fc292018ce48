#include "helpers/services_test_support.h"

#include "platform/usb.h"

#include <gtest/gtest.h>

namespace {

using platform::testing::TempDir;
using platform::testing::WriteFile;

class UsbTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetUsbSysfsRootForTests(root.Path().c_str()); }
    void TearDown() override {
        platform::SetUsbSysfsRootForTests(nullptr);
        platform::UsbSimulatedAttach(-1000);
    }
    void AddEntry(const std::string& name, const char* interfaceClass) {
        std::filesystem::create_directories(root.File(name));
        if (interfaceClass != nullptr)
            WriteFile(root.File(name + "/bInterfaceClass"), interfaceClass);
    }
    TempDir root;
};

TEST_F(UsbTest, CountsStillImageInterfacesOfAFakeSysfs) {
    EXPECT_EQ(platform::UsbStillImageCount(), 0u);
    AddEntry("1-1", nullptr);    // a device, not an interface
    AddEntry("1-1:1.0", "06\n"); // camera
    AddEntry("1-2:1.0", "08\n"); // mass storage
    AddEntry("2-1:1.0", "06");   // another camera
    AddEntry("2-1:1.1", "ff\n"); // vendor-specific
    AddEntry("usb1", nullptr);
    EXPECT_EQ(platform::UsbStillImageCount(), 2u);
}

TEST_F(UsbTest, SimulatedCamerasAddToTheCountAndNeverGoBelowZero) {
    AddEntry("1-1:1.0", "06\n");
    platform::UsbSimulatedAttach(+1);
    platform::UsbSimulatedAttach(+1);
    EXPECT_EQ(platform::UsbStillImageCount(), 3u);
    platform::UsbSimulatedAttach(-1);
    EXPECT_EQ(platform::UsbStillImageCount(), 2u);
    platform::UsbSimulatedAttach(-5);
    EXPECT_EQ(platform::UsbStillImageCount(), 1u);
}

TEST_F(UsbTest, MissingSysfsCountsOnlySimulated) {
    platform::SetUsbSysfsRootForTests(root.File("absent").c_str());
    EXPECT_EQ(platform::UsbStillImageCount(), 0u);
    platform::UsbSimulatedAttach(+1);
    EXPECT_EQ(platform::UsbStillImageCount(), 1u);
}

} // namespace
