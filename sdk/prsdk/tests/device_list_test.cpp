// The device list: layout of the entries, model names, the "buffer too small" answer.
#include "prsdk_test_support.h"

namespace prsdk_test {
namespace {

constexpr const char* kTwoCameras = R"ini(
[camera]
model = Studio Camera, Left Side
[camera]
model = "  Booth 2, Upper Floor (Nr. 7)"
)ini";

std::u16string ModelAt(const std::vector<std::uint8_t>& list, std::size_t index) {
    std::u16string name;
    const std::size_t base = 4 + PR_DEVICE_ENTRY_SIZE * index + PR_DEVICE_MODEL_OFFSET;
    for (std::size_t i = 0; i < PR_DEVICE_MODEL_CHARS; ++i) {
        char16_t c = 0;
        std::memcpy(&c, list.data() + base + 2 * i, 2);
        if (c == 0) return name;
        name.push_back(c);
    }
    ADD_FAILURE() << "model name not terminated";
    return name;
}

std::uint32_t CountOf(const std::vector<std::uint8_t>& list) {
    std::uint32_t count = 0;
    std::memcpy(&count, list.data(), 4);
    return count;
}

using PrsdkDeviceListTest = PrsdkTest;

TEST_F(PrsdkDeviceListTest, EntriesHoldModelNamesWithBlanksAndCommas) {
    LoadScenario(kTwoCameras);
    ASSERT_EQ(PR_StartSDK(), PR_OK);
    const std::vector<std::uint8_t> list = DeviceList();
    ASSERT_EQ(list.size(), 4 + 2 * PR_DEVICE_ENTRY_SIZE);
    EXPECT_EQ(CountOf(list), 2u);
    EXPECT_EQ(ModelAt(list, 0), u"Studio Camera, Left Side");
    EXPECT_EQ(ModelAt(list, 1), u"  Booth 2, Upper Floor (Nr. 7)");
}

TEST_F(PrsdkDeviceListTest, TooSmallBufferGivesError99AndTheNeededSize) {
    LoadScenario(kTwoCameras);
    ASSERT_EQ(PR_StartSDK(), PR_OK);
    struct Case {
        std::uint32_t room;
        bool withBuffer;
    };
    for (const Case c : {Case{0, false}, Case{4, true}, Case{4 + PR_DEVICE_ENTRY_SIZE, true},
                         Case{4 + 2 * PR_DEVICE_ENTRY_SIZE - 1, true}}) {
        std::vector<std::uint8_t> buffer(c.room + 1, 0xAB);
        std::uint32_t size = c.room;
        const PrError error = PR_GetDeviceList(&size, c.withBuffer ? buffer.data() : nullptr);
        EXPECT_NE(error, PR_OK) << c.room;
        EXPECT_EQ(PR_ERROR_CODE(error), 99u) << c.room;
        EXPECT_EQ(size, 4 + 2 * PR_DEVICE_ENTRY_SIZE) << c.room;
        EXPECT_EQ(buffer[0], 0xAB) << "nothing written on a too-small answer";
    }
}

TEST_F(PrsdkDeviceListTest, LargerBufferReportsTheSizeUsed) {
    ASSERT_EQ(PR_StartSDK(), PR_OK);
    std::vector<std::uint8_t> buffer(20480);
    std::uint32_t size = 20480;
    ASSERT_EQ(PR_GetDeviceList(&size, buffer.data()), PR_OK);
    EXPECT_EQ(size, 4 + PR_DEVICE_ENTRY_SIZE);
    EXPECT_EQ(CountOf(buffer), 1u);
    EXPECT_EQ(ModelAt(buffer, 0), u"PowerShot Simulated Camera");
}

TEST_F(PrsdkDeviceListTest, NoCameraGivesAnEmptyList) {
    LoadScenario("[sdk]\nframe_interval_ms = 50\n");
    ASSERT_EQ(PR_StartSDK(), PR_OK);
    std::vector<std::uint8_t> buffer(11064);
    std::uint32_t size = 11064;
    ASSERT_EQ(PR_GetDeviceList(&size, buffer.data()), PR_OK);
    EXPECT_EQ(CountOf(buffer), 0u);
    EXPECT_EQ(size, 4u);
}

TEST_F(PrsdkDeviceListTest, UnpluggedCamerasAreNotListed) {
    LoadScenario("[camera]\nmodel = A\nplugged = no\n[camera]\nmodel = B\n");
    ASSERT_EQ(PR_StartSDK(), PR_OK);
    std::vector<std::uint8_t> list = DeviceList();
    ASSERT_EQ(CountOf(list), 1u);
    EXPECT_EQ(ModelAt(list, 0), u"B");
    ASSERT_EQ(PRSIM_Replug(0), 0);
    list = DeviceList();
    ASSERT_EQ(CountOf(list), 2u);
    EXPECT_EQ(ModelAt(list, 0), u"A");
}

TEST_F(PrsdkDeviceListTest, CallsBeforeStartAreRefused) {
    std::uint32_t size = 20480;
    std::vector<std::uint8_t> buffer(size);
    EXPECT_EQ(PR_GetDeviceList(&size, buffer.data()), PR_ERR_NOT_INITIALIZED);
    EXPECT_EQ(PR_FinishSDK(), PR_ERR_NOT_INITIALIZED);
    EXPECT_EQ(PR_StartSDK(), PR_OK);
    EXPECT_EQ(PR_StartSDK(), PR_OK) << "starting again is harmless";
}

TEST_F(PrsdkDeviceListTest, EntryOfAnotherScenarioOrGarbageOpensNothing) {
    ASSERT_EQ(PR_StartSDK(), PR_OK);
    const std::vector<std::uint8_t> old = DeviceList();
    LoadScenario("[camera]\nmodel = Other\n");
    ASSERT_EQ(PR_StartSDK(), PR_OK);
    PrCameraHandle camera = 0;
    EXPECT_EQ(PR_CreateCameraObject(old.data() + 4, &camera), PR_ERR_DEVICE_NOT_FOUND);
    std::vector<std::uint8_t> garbage(PR_DEVICE_ENTRY_SIZE, 0x41);
    EXPECT_EQ(PR_CreateCameraObject(garbage.data(), &camera), PR_ERR_DEVICE_NOT_FOUND);
    EXPECT_EQ(PR_CreateCameraObject(nullptr, &camera), PR_ERR_INVALID_PARAMETER);
}

} // namespace
} // namespace prsdk_test
