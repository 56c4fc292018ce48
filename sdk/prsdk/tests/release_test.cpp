// Taking a picture: the two events before PR_RC_Release returns, the released data in
// blocks with progress records, and injected failures.
#include "jpeg_check.h"
#include "prsdk_test_support.h"

namespace prsdk_test {
namespace {

constexpr std::uint16_t kFullEvent = 0xC008;
constexpr std::uint16_t kThumbnailEvent = 0xC009;

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
    EXPECT_EQ(seen[before].code, kFullEvent);
    EXPECT_EQ(seen[before + 1].code, kThumbnailEvent);
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

std::vector<std::uint8_t> LastCapture() {
    std::vector<std::uint8_t> capture(PRSIM_GetLastCapture(nullptr, 0));
    EXPECT_EQ(PRSIM_GetLastCapture(capture.data(), capture.size()), capture.size());
    return capture;
}

// A camera opened with its events recorded; most tests take one picture and fetch it.
class PrsdkReleaseTest : public PrsdkTest {
protected:
    void OpenRecordingEvents(PrEventFunction function = RecordEvent) {
        camera_ = Open();
        ASSERT_EQ(PR_SetEventCallBack(camera_, &events_, function), PR_OK);
    }

    Released OpenAndRelease() {
        OpenRecordingEvents();
        return ReleaseAndCollect(camera_, events_);
    }

    PrError Fetch(PrObjectHandle object, std::uint16_t eventCode, std::uint32_t blockSize,
                  Recorder<Block>& blocks, PrReleasedDataFunction function = RecordBlock) {
        return PR_RC_GetReleasedData(camera_, object, eventCode, blockSize, &blocks, function);
    }

    // The object's bytes put back together from a transfer that must succeed.
    std::vector<std::uint8_t> Download(PrObjectHandle object, std::uint16_t eventCode,
                                       std::uint32_t blockSize) {
        Recorder<Block> blocks;
        EXPECT_EQ(Fetch(object, eventCode, blockSize, blocks), PR_OK);
        return Reassemble(blocks.Items(), blockSize);
    }

    PrCameraHandle camera_ = 0;
    Recorder<Event> events_;
};

// Picture size asked of the scenario, the file size it must reach (0: any) and how it
// is fetched.
struct PictureCase {
    const char* name;
    const char* scenario;
    int width;
    int height;
    std::size_t minimumBytes;
    std::uint32_t blockSize;
};

const PictureCase kPictureCases[] = {
    {"BuiltInCamera", nullptr, 2272, 1704, 2000000, 0x100000},
    {"ScenarioSize", "[camera]\npicture = 640x480\n", 640, 480, 0, 4096},
    {"FilledToScenarioBytes", "[camera]\npicture = 320x240\npicture_bytes = 300001\n", 320, 240,
     300001, 0x10000},
};

void PrintTo(const PictureCase& c, std::ostream* out) {
    *out << c.name;
}

class PrsdkPictureTest : public PrsdkReleaseTest,
                         public ::testing::WithParamInterface<PictureCase> {};

TEST_P(PrsdkPictureTest, ReleasedDataReassemblesToTheExactValidPicture) {
    const PictureCase& c = GetParam();
    if (c.scenario != nullptr) LoadScenario(c.scenario);
    const Released released = OpenAndRelease();
    const std::vector<std::uint8_t> picture = Download(released.full, kFullEvent, c.blockSize);
    EXPECT_EQ(picture, LastCapture());
    EXPECT_GE(picture.size(), c.minimumBytes);
    if (c.scenario != nullptr && c.minimumBytes > 0) {
        EXPECT_LE(picture.size(), c.minimumBytes + 3) << "at most a minimal segment's overshoot";
    }
    const auto decoded = DecodeJpeg(picture);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_FALSE(decoded->warnings);
    EXPECT_EQ(decoded->width, c.width);
    EXPECT_EQ(decoded->height, c.height);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, PrsdkPictureTest, ::testing::ValuesIn(kPictureCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrsdkReleaseTest, ThumbnailIsASmallJpeg) {
    const Released released = OpenAndRelease();
    const auto small = DecodeJpeg(Download(released.thumbnail, kThumbnailEvent, 0x10000));
    ASSERT_TRUE(small.has_value());
    EXPECT_EQ(small->width, 160);
    EXPECT_EQ(small->height, 120);
}

TEST_F(PrsdkReleaseTest, ObjectMustMatchItsEventCode) {
    const Released released = OpenAndRelease();
    Recorder<Block> blocks;
    EXPECT_EQ(Fetch(released.full, kThumbnailEvent, 0x10000, blocks), PR_ERR_INVALID_OBJECT);
    EXPECT_EQ(Fetch(12345, kFullEvent, 0x10000, blocks), PR_ERR_INVALID_OBJECT);
    EXPECT_EQ(Fetch(released.full, kFullEvent, 0, blocks), PR_ERR_INVALID_PARAMETER);
    EXPECT_EQ(blocks.Count(), 0u);
}

TEST_F(PrsdkReleaseTest, InjectedFailuresReturnTheChosenCodeWithoutEffect) {
    OpenRecordingEvents();
    constexpr PrError kCode = 0x02000123;
    ASSERT_EQ(PRSIM_FailNextCall("PR_RC_Release", kCode), 0);
    EXPECT_EQ(PR_RC_Release(camera_), kCode);
    EXPECT_EQ(events_.Count(), 0u);
    EXPECT_EQ(PRSIM_GetLastCapture(nullptr, 0), 0u);
    ReleaseAndCollect(camera_, events_); // only the next call failed

    ASSERT_EQ(PRSIM_FailAlways("PR_GetDevicePropDesc", kCode), 0);
    std::vector<std::uint8_t> buffer(PR_PROP_DESC_MAX);
    for (int i = 0; i < 2; ++i) {
        std::uint32_t size = PR_PROP_DESC_MAX;
        EXPECT_EQ(PR_GetDevicePropDesc(camera_, PR_PROP_ZOOM_POS, &size, buffer.data()), kCode);
    }
    ASSERT_EQ(PRSIM_FailAlways("PR_GetDevicePropDesc", 0), 0);
    std::uint32_t size = PR_PROP_DESC_MAX;
    EXPECT_EQ(PR_GetDevicePropDesc(camera_, PR_PROP_ZOOM_POS, &size, buffer.data()), PR_OK);

    ASSERT_EQ(PRSIM_FailNextCall("PR_StartSDK", kCode), 0);
    EXPECT_EQ(PR_StartSDK(), kCode);
    EXPECT_EQ(PRSIM_FailNextCall("NotAFunction", kCode), -1);
    EXPECT_EQ(PRSIM_FailNextCall(nullptr, kCode), -1);
}

TEST_F(PrsdkReleaseTest, SlowTransferStillDeliversEveryBlock) {
    LoadScenario("[camera]\npicture = 320x240\n");
    PRSIM_SetTransferDelay(2);
    const Released released = OpenAndRelease();
    EXPECT_EQ(Download(released.full, kFullEvent, 2048), LastCapture());
}

// Pulls the cable while the second block is being written.
PrError UnplugDuringTransfer(PrCameraHandle camera, PrObjectHandle object, PrContext context,
                             PrProgress* progress) {
    auto* recorder = static_cast<Recorder<Block>*>(context);
    if (recorder->Count() == 2) PRSIM_Unplug(0);
    return RecordBlock(camera, object, context, progress);
}

TEST_F(PrsdkReleaseTest, UnplugDuringTransferEndsItWithAnError) {
    const Released released = OpenAndRelease();
    Recorder<Block> blocks;
    EXPECT_EQ(Fetch(released.full, kFullEvent, 0x10000, blocks, UnplugDuringTransfer),
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
    OpenRecordingEvents(ReleaseFromEvent);
    ASSERT_EQ(PRSIM_PressShutterButton(0), 0);
    ASSERT_TRUE(events_.WaitFor(3));
    const std::vector<Event> seen = events_.Items();
    EXPECT_EQ(seen[0].code, 0xC00B);
    EXPECT_EQ(seen[1].code, kFullEvent);
    EXPECT_EQ(seen[2].code, kThumbnailEvent);
}

} // namespace
} // namespace prsdk_test
