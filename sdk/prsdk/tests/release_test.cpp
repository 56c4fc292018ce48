// Taking a picture: the two events before PR_RC_Release returns, the released data in
// blocks with progress records, and injected failures.
#include "jpeg_check.h"
#include "prsdk_test_support.h"

namespace prsdk_test {
namespace {

struct Block {
    std::uint32_t message = 0;
    PrError status = 0;
    std::uint32_t percent = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::vector<std::uint8_t> data;
};

// Reads the record at its byte offsets, the way a driver does.
PrError RecordBlock(PrCameraHandle, PrObjectHandle, PrContext context, PrProgress* progress) {
    const auto* raw = reinterpret_cast<const std::uint8_t*>(progress);
    Block block;
    std::memcpy(&block.message, raw + 0, 4);
    std::memcpy(&block.status, raw + 4, 4);
    std::memcpy(&block.percent, raw + 8, 4);
    std::memcpy(&block.offset, raw + 12, 4);
    std::memcpy(&block.length, raw + 16, 4);
    const std::uint8_t* data = nullptr;
    std::memcpy(&data, raw + 28, sizeof data);
    if (block.message == PR_PROGRESS_DATA) block.data.assign(data, data + block.length);
    static_cast<Recorder<Block>*>(context)->Add(std::move(block));
    return 0;
}

struct Released {
    PrObjectHandle full = 0;
    PrObjectHandle thumbnail = 0;
};

Released ReleaseAndCollect(PrCameraHandle camera, Recorder<Event>& events) {
    const std::size_t before = events.Count();
    EXPECT_EQ(PR_RC_Release(camera), PR_OK);
    // Both events have been delivered when the call returns.
    const std::vector<Event> seen = events.Items();
    EXPECT_EQ(seen.size(), before + 2);
    Released r;
    if (seen.size() < before + 2) return r;
    EXPECT_EQ(seen[before].code, 0xC008);
    EXPECT_EQ(seen[before + 1].code, 0xC009);
    r.full = seen[before].parameter;
    r.thumbnail = seen[before + 1].parameter;
    EXPECT_NE(r.full, r.thumbnail);
    return r;
}

std::vector<std::uint8_t> Reassemble(const std::vector<Block>& blocks, std::uint32_t blockSize) {
    std::vector<std::uint8_t> file;
    EXPECT_GE(blocks.size(), 3u);
    EXPECT_EQ(blocks.front().message, PR_PROGRESS_START);
    EXPECT_EQ(blocks.back().message, PR_PROGRESS_END);
    EXPECT_EQ(blocks.back().status, PR_OK);
    std::uint32_t lastPercent = 0;
    for (std::size_t i = 1; i + 1 < blocks.size(); ++i) {
        const Block& b = blocks[i];
        EXPECT_EQ(b.message, PR_PROGRESS_DATA);
        EXPECT_EQ(b.offset, file.size()) << "blocks are contiguous";
        EXPECT_LE(b.length, blockSize);
        EXPECT_GE(b.percent, lastPercent);
        lastPercent = b.percent;
        file.insert(file.end(), b.data.begin(), b.data.end());
    }
    EXPECT_EQ(lastPercent, 100u);
    return file;
}

using PrsdkReleaseTest = PrsdkTest;

TEST_F(PrsdkReleaseTest, ReleasedDataReassemblesToTheExactPicture) {
    const PrCameraHandle camera = Open();
    Recorder<Event> events;
    ASSERT_EQ(PR_SetEventCallBack(camera, &events, RecordEvent), PR_OK);
    const Released released = ReleaseAndCollect(camera, events);

    Recorder<Block> full;
    EXPECT_EQ(PR_RC_GetReleasedData(camera, released.full, 0xC008, 0x100000, &full, RecordBlock),
              PR_OK);
    const std::vector<std::uint8_t> picture = Reassemble(full.Items(), 0x100000);
    std::vector<std::uint8_t> expected(PRSIM_GetLastCapture(nullptr, 0));
    ASSERT_EQ(PRSIM_GetLastCapture(expected.data(), expected.size()), expected.size());
    EXPECT_EQ(picture, expected);
    EXPECT_GT(picture.size(), 2000000u) << "a multi-megabyte camera file";
    const auto decoded = DecodeJpeg(picture);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->width, 2272);
    EXPECT_EQ(decoded->height, 1704);

    Recorder<Block> thumbnail;
    EXPECT_EQ(
        PR_RC_GetReleasedData(camera, released.thumbnail, 0xC009, 0x10000, &thumbnail, RecordBlock),
        PR_OK);
    const auto small = DecodeJpeg(Reassemble(thumbnail.Items(), 0x10000));
    ASSERT_TRUE(small.has_value());
    EXPECT_EQ(small->width, 160);
    EXPECT_EQ(small->height, 120);
}

TEST_F(PrsdkReleaseTest, PictureSizeComesFromTheScenario) {
    LoadScenario("[camera]\npicture = 640x480\n");
    const PrCameraHandle camera = Open();
    Recorder<Event> events;
    ASSERT_EQ(PR_SetEventCallBack(camera, &events, RecordEvent), PR_OK);
    const Released released = ReleaseAndCollect(camera, events);
    Recorder<Block> blocks;
    ASSERT_EQ(PR_RC_GetReleasedData(camera, released.full, 0xC008, 4096, &blocks, RecordBlock),
              PR_OK);
    const auto decoded = DecodeJpeg(Reassemble(blocks.Items(), 4096));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->width, 640);
    EXPECT_EQ(decoded->height, 480);
}

TEST_F(PrsdkReleaseTest, PictureIsFilledUpToTheScenarioSizeAndStaysAValidJpeg) {
    LoadScenario("[camera]\npicture = 320x240\npicture_bytes = 300001\n");
    const PrCameraHandle camera = Open();
    Recorder<Event> events;
    ASSERT_EQ(PR_SetEventCallBack(camera, &events, RecordEvent), PR_OK);
    const Released released = ReleaseAndCollect(camera, events);
    Recorder<Block> blocks;
    ASSERT_EQ(PR_RC_GetReleasedData(camera, released.full, 0xC008, 0x10000, &blocks, RecordBlock),
              PR_OK);
    const std::vector<std::uint8_t> picture = Reassemble(blocks.Items(), 0x10000);
    EXPECT_GE(picture.size(), 300001u);
    EXPECT_LE(picture.size(), 300001u + 3) << "at most a minimal segment's overshoot";
    const auto decoded = DecodeJpeg(picture);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_FALSE(decoded->warnings);
    EXPECT_EQ(decoded->width, 320);
    EXPECT_EQ(decoded->height, 240);
}

TEST_F(PrsdkReleaseTest, ObjectMustMatchItsEventCode) {
    const PrCameraHandle camera = Open();
    Recorder<Event> events;
    ASSERT_EQ(PR_SetEventCallBack(camera, &events, RecordEvent), PR_OK);
    const Released released = ReleaseAndCollect(camera, events);
    Recorder<Block> blocks;
    EXPECT_EQ(PR_RC_GetReleasedData(camera, released.full, 0xC009, 0x10000, &blocks, RecordBlock),
              PR_ERR_INVALID_OBJECT);
    EXPECT_EQ(PR_RC_GetReleasedData(camera, 12345, 0xC008, 0x10000, &blocks, RecordBlock),
              PR_ERR_INVALID_OBJECT);
    EXPECT_EQ(PR_RC_GetReleasedData(camera, released.full, 0xC008, 0, &blocks, RecordBlock),
              PR_ERR_INVALID_PARAMETER);
    EXPECT_EQ(blocks.Count(), 0u);
}

TEST_F(PrsdkReleaseTest, InjectedFailuresReturnTheChosenCodeWithoutEffect) {
    const PrCameraHandle camera = Open();
    Recorder<Event> events;
    ASSERT_EQ(PR_SetEventCallBack(camera, &events, RecordEvent), PR_OK);
    constexpr PrError kCode = 0x02000123;
    ASSERT_EQ(PRSIM_FailNextCall("PR_RC_Release", kCode), 0);
    EXPECT_EQ(PR_RC_Release(camera), kCode);
    EXPECT_EQ(events.Count(), 0u);
    EXPECT_EQ(PRSIM_GetLastCapture(nullptr, 0), 0u);
    ReleaseAndCollect(camera, events); // only the next call failed

    ASSERT_EQ(PRSIM_FailAlways("PR_GetDevicePropDesc", kCode), 0);
    std::vector<std::uint8_t> buffer(PR_PROP_DESC_MAX);
    for (int i = 0; i < 2; ++i) {
        std::uint32_t size = PR_PROP_DESC_MAX;
        EXPECT_EQ(PR_GetDevicePropDesc(camera, PR_PROP_ZOOM_POS, &size, buffer.data()), kCode);
    }
    ASSERT_EQ(PRSIM_FailAlways("PR_GetDevicePropDesc", 0), 0);
    std::uint32_t size = PR_PROP_DESC_MAX;
    EXPECT_EQ(PR_GetDevicePropDesc(camera, PR_PROP_ZOOM_POS, &size, buffer.data()), PR_OK);

    ASSERT_EQ(PRSIM_FailNextCall("PR_StartSDK", kCode), 0);
    EXPECT_EQ(PR_StartSDK(), kCode);
    EXPECT_EQ(PRSIM_FailNextCall("NotAFunction", kCode), -1);
    EXPECT_EQ(PRSIM_FailNextCall(nullptr, kCode), -1);
}

TEST_F(PrsdkReleaseTest, SlowTransferStillDeliversEveryBlock) {
    LoadScenario("[camera]\npicture = 320x240\n");
    PRSIM_SetTransferDelay(2);
    const PrCameraHandle camera = Open();
    Recorder<Event> events;
    ASSERT_EQ(PR_SetEventCallBack(camera, &events, RecordEvent), PR_OK);
    const Released released = ReleaseAndCollect(camera, events);
    Recorder<Block> blocks;
    ASSERT_EQ(PR_RC_GetReleasedData(camera, released.full, 0xC008, 2048, &blocks, RecordBlock),
              PR_OK);
    std::vector<std::uint8_t> expected(PRSIM_GetLastCapture(nullptr, 0));
    PRSIM_GetLastCapture(expected.data(), expected.size());
    EXPECT_EQ(Reassemble(blocks.Items(), 2048), expected);
}

// Pulls the cable while the second block is being written.
PrError UnplugDuringTransfer(PrCameraHandle camera, PrObjectHandle object, PrContext context,
                             PrProgress* progress) {
    auto* recorder = static_cast<Recorder<Block>*>(context);
    if (recorder->Count() == 2) PRSIM_Unplug(0);
    return RecordBlock(camera, object, context, progress);
}

TEST_F(PrsdkReleaseTest, UnplugDuringTransferEndsItWithAnError) {
    const PrCameraHandle camera = Open();
    Recorder<Event> events;
    ASSERT_EQ(PR_SetEventCallBack(camera, &events, RecordEvent), PR_OK);
    const Released released = ReleaseAndCollect(camera, events);
    Recorder<Block> blocks;
    EXPECT_EQ(PR_RC_GetReleasedData(camera, released.full, 0xC008, 0x10000, &blocks,
                                    UnplugDuringTransfer),
              PR_ERR_DEVICE_DISCONNECTED);
    const std::vector<Block> seen = blocks.Items();
    ASSERT_EQ(seen.size(), 4u); // start, two blocks, end
    EXPECT_EQ(seen.back().message, PR_PROGRESS_END);
    EXPECT_EQ(seen.back().status, PR_ERR_DEVICE_DISCONNECTED);
}

TEST_F(PrsdkReleaseTest, ReleaseWithoutEventFunctionStillTakesThePicture) {
    const PrCameraHandle camera = Open();
    EXPECT_EQ(PR_RC_Release(camera), PR_OK);
    PrsimCameraState state{};
    ASSERT_EQ(PRSIM_GetCameraState(0, &state), 0);
    EXPECT_EQ(state.releases, 1u);
    EXPECT_GT(PRSIM_GetLastCapture(nullptr, 0), 0u);
}

// A release asked for from inside the event function must not wait for itself.
PrError ReleaseFromEvent(PrCameraHandle camera, PrContext context, void* record) {
    std::uint16_t code = 0;
    std::memcpy(&code, static_cast<std::uint8_t*>(record) + 6, 2);
    if (code == PR_EVENT_SHUTTER_BUTTON) {
        EXPECT_EQ(PR_RC_Release(camera), PR_OK);
    }
    return RecordEvent(camera, context, record);
}

TEST_F(PrsdkReleaseTest, ShutterButtonHandlerMayReleaseFromTheEventThread) {
    const PrCameraHandle camera = Open();
    Recorder<Event> events;
    ASSERT_EQ(PR_SetEventCallBack(camera, &events, ReleaseFromEvent), PR_OK);
    ASSERT_EQ(PRSIM_PressShutterButton(0), 0);
    ASSERT_TRUE(events.WaitFor(3));
    const std::vector<Event> seen = events.Items();
    EXPECT_EQ(seen[0].code, 0xC00B);
    EXPECT_EQ(seen[1].code, 0xC008);
    EXPECT_EQ(seen[2].code, 0xC009);
}

} // namespace
} // namespace prsdk_test
