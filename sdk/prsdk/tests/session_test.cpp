// Session order, camera events and viewfinder frames on the library's threads, and the
// end of every thread at viewfinder stop, object destruction and SDK finish.
#include "jpeg_check.h"
#include "prsdk_test_support.h"

#include <atomic>
#include <cstdlib>

namespace prsdk_test {
namespace {

using PrsdkSessionTest = PrsdkTest;
using Frames = Recorder<std::vector<std::uint8_t>>;

TEST_F(PrsdkSessionTest, StepsOutOfOrderAreRefused) {
    ASSERT_EQ(PR_StartSDK(), PR_OK);
    const std::vector<std::uint8_t> list = DeviceList();
    PrCameraHandle camera = 0;
    ASSERT_EQ(PR_CreateCameraObject(list.data() + 4, &camera), PR_OK);
    EXPECT_EQ(PR_InitiateReleaseControl(camera), PR_ERR_NOT_CONNECTED);
    EXPECT_EQ(PR_ConnectCamera(camera), PR_OK);
    EXPECT_EQ(PR_RC_Release(camera), PR_ERR_NOT_IN_RELEASE_CONTROL);
    EXPECT_EQ(PR_RC_StartViewFinder(camera, nullptr, RecordFrame), PR_ERR_NOT_IN_RELEASE_CONTROL);
    EXPECT_EQ(PR_RC_DoAeAfAwb(camera, 7), PR_ERR_NOT_IN_RELEASE_CONTROL);
    EXPECT_EQ(PR_InitiateReleaseControl(camera), PR_OK);
    EXPECT_EQ(PR_RC_DoAeAfAwb(camera, 0), PR_ERR_INVALID_PARAMETER);
    EXPECT_EQ(PR_RC_DoAeAfAwb(camera, 8), PR_ERR_INVALID_PARAMETER);
    EXPECT_EQ(PR_RC_DoAeAfAwb(camera, 7), PR_OK);
    EXPECT_EQ(PR_RC_FocusLock(camera), PR_OK);
    PrsimCameraState state{};
    ASSERT_EQ(PRSIM_GetCameraState(0, &state), 0);
    EXPECT_EQ(state.aeAfAwbCalls, 1u);
    EXPECT_EQ(state.focusLocked, 1);
    EXPECT_EQ(PR_RC_FocusUnlock(camera), PR_OK);
    EXPECT_EQ(PR_TerminateReleaseControl(camera), PR_OK);
    EXPECT_EQ(PR_DisconnectCamera(camera), PR_OK);
    EXPECT_EQ(PR_DestroyCameraObject(camera), PR_OK);
    EXPECT_EQ(PR_DestroyCameraObject(camera), PR_ERR_INVALID_HANDLE);
    EXPECT_EQ(PR_FinishSDK(), PR_OK);
    EXPECT_EQ(PR_ConnectCamera(camera), PR_ERR_NOT_INITIALIZED);
}

TEST_F(PrsdkSessionTest, CameraEventsArriveOnALibraryThreadWithCodeAndParameter) {
    const PrCameraHandle camera = Open();
    Recorder<Event> events;
    ASSERT_EQ(PR_SetEventCallBack(camera, &events, RecordEvent), PR_OK);
    ASSERT_EQ(PRSIM_PressShutterButton(0), 0);
    ASSERT_EQ(PRSIM_TurnCamera(0, 3), 0);
    ASSERT_EQ(PRSIM_ChangeSettingOnCamera(0, PR_PROP_AV, 0x0028), 0);
    ASSERT_EQ(PRSIM_SendEvent(0, PR_EVENT_SETTINGS_CHANGED, 0), 0);
    ASSERT_TRUE(events.WaitFor(4));
    const std::vector<Event> seen = events.Items();
    const std::uint16_t codes[] = {0xC00B, 0xC00D, 0x4006, 0xC00C};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(seen[i].code, codes[i]);
    EXPECT_EQ(seen[1].parameter, 3u);
    EXPECT_EQ(seen[2].parameter, PR_PROP_AV);
    for (const std::thread::id id : events.Threads())
        EXPECT_NE(id, std::this_thread::get_id());
    EXPECT_EQ(PRSIM_GetPropertyValue(0, PR_PROP_ANGLE), 3);
    EXPECT_EQ(PRSIM_GetPropertyValue(0, PR_PROP_AV), 0x0028);
    EXPECT_EQ(PRSIM_TurnCamera(0, 4), -1);
    EXPECT_EQ(PRSIM_PressShutterButton(5), -1);
}

// The event function may call into the library (it is never called under its lock).
PrError ProbeFromEvent(PrCameraHandle camera, PrContext context, void* record) {
    std::vector<std::uint8_t> buffer(PR_PROP_DESC_MAX);
    std::uint32_t size = PR_PROP_DESC_MAX;
    const PrError error = PR_GetDevicePropDesc(camera, PR_PROP_ZOOM_POS, &size, buffer.data());
    Event event{};
    std::memcpy(&event.code, static_cast<std::uint8_t*>(record) + 6, 2);
    event.parameter = error;
    static_cast<Recorder<Event>*>(context)->Add(event);
    return 0;
}

TEST_F(PrsdkSessionTest, EventFunctionMayCallBackIntoTheLibrary) {
    const PrCameraHandle camera = Open();
    Recorder<Event> events;
    ASSERT_EQ(PR_SetEventCallBack(camera, &events, ProbeFromEvent), PR_OK);
    ASSERT_EQ(PRSIM_PressShutterButton(0), 0);
    ASSERT_TRUE(events.WaitFor(1));
    EXPECT_EQ(events.Items()[0].parameter, PR_OK);
}

TEST_F(PrsdkSessionTest, NoEventsAfterTheObjectIsDestroyed) {
    const PrCameraHandle camera = Open();
    Recorder<Event> events;
    ASSERT_EQ(PR_SetEventCallBack(camera, &events, RecordEvent), PR_OK);
    EXPECT_EQ(PRSIM_ThreadCount(), 1u);
    ASSERT_EQ(PR_DestroyCameraObject(camera), PR_OK);
    EXPECT_EQ(PRSIM_ThreadCount(), 0u);
    EXPECT_EQ(PRSIM_PressShutterButton(0), 0);
    EXPECT_EQ(events.Count(), 0u);
}

TEST_F(PrsdkSessionTest, FramesAre320x240JpegsOnALibraryThreadUntilTermViewFinder) {
    PRSIM_SetFrameInterval(5);
    const PrCameraHandle camera = Open();
    Frames frames;
    ASSERT_EQ(PR_RC_StartViewFinder(camera, &frames, RecordFrame), PR_OK);
    EXPECT_EQ(PR_RC_StartViewFinder(camera, &frames, RecordFrame), PR_ERR_VIEWFINDER_RUNNING);
    ASSERT_TRUE(frames.WaitFor(3));
    ASSERT_EQ(PR_RC_TermViewFinder(camera), PR_OK);
    const std::size_t atStop = frames.Count();
    EXPECT_EQ(PRSIM_ThreadCount(), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(30)); // six intervals
    EXPECT_EQ(frames.Count(), atStop) << "no frame after PR_RC_TermViewFinder returned";
    const auto items = frames.Items();
    for (std::size_t i = 0; i < 3; ++i) {
        const auto decoded = DecodeJpeg(items[i]);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->width, 320);
        EXPECT_EQ(decoded->height, 240);
        EXPECT_EQ(decoded->components, 3);
        EXPECT_FALSE(decoded->warnings);
        EXPECT_LE(items[i].size(), 102400u);
    }
    EXPECT_NE(items[0], items[1]) << "consecutive frames differ (moving marker)";
    for (const std::thread::id id : frames.Threads())
        EXPECT_NE(id, std::this_thread::get_id());
    PrsimCameraState state{};
    ASSERT_EQ(PRSIM_GetCameraState(0, &state), 0);
    EXPECT_EQ(state.framesDelivered, atStop);
    EXPECT_EQ(state.viewFinderRunning, 0);
}

double MeanDifference(const Decoded& a, const Decoded& b, bool flip) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < 200; y += 3) // above the moving marker
        for (int x = 0; x < 320; x += 3) {
            const int sx = flip ? 319 - x : x;
            const int sy = flip ? 239 - y : y;
            for (int c = 0; c < 3; ++c, ++n)
                sum +=
                    std::abs(a.pixels[(y * 320 + x) * 3 + c] - b.pixels[(sy * 320 + sx) * 3 + c]);
        }
    return sum / n;
}

TEST_F(PrsdkSessionTest, AnUpsideDownCameraSeesTheSceneTurned) {
    PRSIM_SetFrameInterval(5);
    const PrCameraHandle camera = Open();
    Frames level;
    ASSERT_EQ(PR_RC_StartViewFinder(camera, &level, RecordFrame), PR_OK);
    ASSERT_TRUE(level.WaitFor(1));
    ASSERT_EQ(PR_RC_TermViewFinder(camera), PR_OK);
    ASSERT_EQ(PRSIM_TurnCamera(0, 2), 0);
    Frames turned;
    ASSERT_EQ(PR_RC_StartViewFinder(camera, &turned, RecordFrame), PR_OK);
    ASSERT_TRUE(turned.WaitFor(1));
    ASSERT_EQ(PR_RC_TermViewFinder(camera), PR_OK);
    const auto a = DecodeJpeg(level.Items()[0]);
    const auto b = DecodeJpeg(turned.Items()[0]);
    ASSERT_TRUE(a && b);
    EXPECT_LT(MeanDifference(*a, *b, true), 8.0);
    EXPECT_GT(MeanDifference(*a, *b, false), 20.0);
}

TEST_F(PrsdkSessionTest, BrokenFramesAreDeliveredAsAskedFor) {
    PRSIM_SetFrameInterval(5);
    const PrCameraHandle camera = Open();
    struct Case {
        PrsimFrameFault fault;
        bool decodes;
    };
    for (const Case c : {Case{PRSIM_FRAMES_TRUNCATED, true}, Case{PRSIM_FRAMES_GARBAGE, false},
                         Case{PRSIM_FRAMES_OVERSIZED, true}, Case{PRSIM_FRAMES_EMPTY, false}}) {
        PRSIM_BreakFrames(c.fault);
        Frames frames;
        ASSERT_EQ(PR_RC_StartViewFinder(camera, &frames, RecordFrame), PR_OK);
        ASSERT_TRUE(frames.WaitFor(1));
        ASSERT_EQ(PR_RC_TermViewFinder(camera), PR_OK);
        const std::vector<std::uint8_t> frame = frames.Items()[0];
        const auto decoded = DecodeJpeg(frame);
        EXPECT_EQ(decoded.has_value(), c.decodes) << c.fault;
        switch (c.fault) {
        case PRSIM_FRAMES_TRUNCATED:
            EXPECT_TRUE(decoded->warnings);
            break;
        case PRSIM_FRAMES_OVERSIZED:
            EXPECT_GT(frame.size(), 102400u);
            EXPECT_EQ(decoded->width, 640);
            break;
        case PRSIM_FRAMES_EMPTY:
            EXPECT_TRUE(frame.empty());
            break;
        default:
            EXPECT_NE(frame.at(0), 0xFF);
            break;
        }
    }
}

// Stopping the viewfinder from inside the frame function must not hang.
PrError StopFromFrame(PrCameraHandle camera, PrContext context, std::uint32_t, void*) {
    auto* count = static_cast<std::atomic<int>*>(context);
    if (++*count == 1) {
        EXPECT_EQ(PR_RC_TermViewFinder(camera), PR_OK);
    }
    return 0;
}

TEST_F(PrsdkSessionTest, FrameFunctionMayStopTheViewFinder) {
    PRSIM_SetFrameInterval(5);
    const PrCameraHandle camera = Open();
    std::atomic<int> count{0};
    ASSERT_EQ(PR_RC_StartViewFinder(camera, &count, StopFromFrame), PR_OK);
    for (int i = 0; i < 1000 && count.load() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(PR_FinishSDK(), PR_OK); // joins the thread that stopped itself
    EXPECT_EQ(count.load(), 1);
    EXPECT_EQ(PRSIM_ThreadCount(), 0u);
}

TEST_F(PrsdkSessionTest, FinishEndsEveryObjectAndThread) {
    PRSIM_SetFrameInterval(5);
    LoadScenario("[camera]\nmodel = A\n[camera]\nmodel = B\n");
    PRSIM_SetFrameInterval(5);
    const PrCameraHandle a = Open(0);
    const PrCameraHandle b = Open(1);
    Recorder<Event> events;
    Frames frames;
    ASSERT_EQ(PR_SetEventCallBack(a, &events, RecordEvent), PR_OK);
    ASSERT_EQ(PR_SetEventCallBack(b, &events, RecordEvent), PR_OK);
    ASSERT_EQ(PR_RC_StartViewFinder(a, &frames, RecordFrame), PR_OK);
    ASSERT_EQ(PR_RC_StartViewFinder(b, &frames, RecordFrame), PR_OK);
    EXPECT_EQ(PRSIM_ThreadCount(), 4u);
    ASSERT_TRUE(frames.WaitFor(2));
    ASSERT_EQ(PR_FinishSDK(), PR_OK);
    EXPECT_EQ(PRSIM_ThreadCount(), 0u);
    EXPECT_EQ(PR_RC_TermViewFinder(a), PR_ERR_NOT_INITIALIZED);
    EXPECT_EQ(PR_FinishSDK(), PR_ERR_NOT_INITIALIZED);
}

} // namespace
} // namespace prsdk_test
