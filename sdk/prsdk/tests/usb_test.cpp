// Unplugging and replugging a camera: the USB still-image count, failing calls, ended
// threads, a fresh session after replugging.
#include "platform/usb.h"
#include "prsdk_test_support.h"

namespace prsdk_test {
namespace {

using PrsdkUsbTest = PrsdkTest;

PrError ProbeZoom(PrCameraHandle camera) {
    std::vector<std::uint8_t> buffer(PR_PROP_DESC_MAX);
    std::uint32_t size = PR_PROP_DESC_MAX;
    return PR_GetDevicePropDesc(camera, PR_PROP_ZOOM_POS, &size, buffer.data());
}

TEST_F(PrsdkUsbTest, ScenarioCamerasCountAsStillImageDevices) {
    const DWORD one = platform::UsbStillImageCount();
    LoadScenario("[camera]\n[camera]\n[camera]\nplugged = no\n");
    EXPECT_EQ(platform::UsbStillImageCount(), one + 1);
    LoadScenario("[sdk]\n");
    EXPECT_EQ(platform::UsbStillImageCount(), one - 1);
}

TEST_F(PrsdkUsbTest, UnplugLowersTheCountAndEndsTheSession) {
    PRSIM_SetFrameInterval(5);
    const PrCameraHandle camera = Open();
    Recorder<Event> events;
    Recorder<std::vector<std::uint8_t>> frames;
    ASSERT_EQ(PR_SetEventCallBack(camera, &events, RecordEvent), PR_OK);
    ASSERT_EQ(PR_RC_StartViewFinder(camera, &frames, RecordFrame), PR_OK);
    ASSERT_TRUE(frames.WaitFor(1));
    const DWORD before = platform::UsbStillImageCount();

    ASSERT_EQ(PRSIM_Unplug(0), 0);
    EXPECT_EQ(platform::UsbStillImageCount(), before - 1);
    EXPECT_EQ(PRSIM_ThreadCount(), 0u) << "the camera's threads end with it";
    EXPECT_EQ(ProbeZoom(camera), PR_ERR_DEVICE_DISCONNECTED);
    EXPECT_EQ(PR_RC_Release(camera), PR_ERR_DEVICE_DISCONNECTED);
    EXPECT_EQ(PR_TerminateReleaseControl(camera), PR_ERR_DEVICE_DISCONNECTED);
    EXPECT_EQ(PRSIM_PressShutterButton(0), -1);
    EXPECT_EQ(events.Count(), 0u);
    EXPECT_EQ(PRSIM_Unplug(0), 0) << "a second unplug changes nothing";
    EXPECT_EQ(platform::UsbStillImageCount(), before - 1);

    ASSERT_EQ(PRSIM_Replug(0), 0);
    EXPECT_EQ(platform::UsbStillImageCount(), before);
    EXPECT_EQ(ProbeZoom(camera), PR_ERR_DEVICE_DISCONNECTED) << "the old session stays gone";
    EXPECT_EQ(PR_DestroyCameraObject(camera), PR_OK);
    const PrCameraHandle again = Open();
    EXPECT_NE(again, camera);
    EXPECT_EQ(ProbeZoom(again), PR_OK);
}

TEST_F(PrsdkUsbTest, UnplugOneOfTwoCamerasLeavesTheOtherWorking) {
    LoadScenario("[camera]\nmodel = A\n[camera]\nmodel = B\n");
    const PrCameraHandle a = Open(0);
    const PrCameraHandle b = Open(1);
    ASSERT_EQ(PRSIM_Unplug(0), 0);
    EXPECT_EQ(ProbeZoom(a), PR_ERR_DEVICE_DISCONNECTED);
    EXPECT_EQ(ProbeZoom(b), PR_OK);
    EXPECT_EQ(PRSIM_Unplug(7), -1);
}

} // namespace
} // namespace prsdk_test
