// Property descriptions read at the offsets a driver uses, and setting values.
#include "prsdk_test_support.h"

namespace prsdk_test {
namespace {

// A DevicePropDesc read field by field from its byte offsets.
struct Description {
    std::uint16_t code = 0;
    std::uint16_t type = 0;
    std::uint8_t getSet = 0;
    std::uint32_t current = 0;
    std::uint8_t form = 0;
    std::uint32_t minimum = 0, maximum = 0, step = 0;
    std::vector<std::uint32_t> values;
};

std::uint32_t Read(const std::vector<std::uint8_t>& b, std::size_t offset, std::size_t size) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < size; ++i)
        v |= static_cast<std::uint32_t>(b.at(offset + i)) << (8 * i);
    return v;
}

Description Parse(const std::vector<std::uint8_t>& b) {
    Description d;
    d.code = static_cast<std::uint16_t>(Read(b, 0, 2));
    d.type = static_cast<std::uint16_t>(Read(b, 2, 2));
    d.getSet = static_cast<std::uint8_t>(Read(b, 4, 1));
    const std::size_t size = d.type == PR_PTP_TYPE_UINT8 ? 1 : 2;
    d.current = Read(b, 5 + size, size);
    const std::size_t formAt = 5 + 2 * size;
    d.form = static_cast<std::uint8_t>(Read(b, formAt, 1));
    if (d.form == PR_PTP_FORM_RANGE) {
        d.minimum = Read(b, formAt + 1, size);
        d.maximum = Read(b, formAt + 1 + size, size);
        d.step = Read(b, formAt + 1 + 2 * size, size);
    } else if (d.form == PR_PTP_FORM_ENUM) {
        const std::uint32_t count = Read(b, formAt + 1, 2);
        for (std::uint32_t i = 0; i < count; ++i)
            d.values.push_back(Read(b, formAt + 3 + size * i, size));
    }
    return d;
}

std::vector<std::uint8_t> Describe(PrCameraHandle camera, std::uint16_t code, PrError* error) {
    std::vector<std::uint8_t> buffer(PR_PROP_DESC_MAX, 0);
    std::uint32_t size = PR_PROP_DESC_MAX;
    *error = PR_GetDevicePropDesc(camera, code, &size, buffer.data());
    if (*error == PR_OK) buffer.resize(size);
    return buffer;
}

struct Shape {
    std::uint16_t code;
    std::uint16_t type;
    std::uint8_t getSet;
    std::uint8_t form;
};

// Every property a driver reads, with the shape it checks.
constexpr Shape kShapes[] = {
    {PR_PROP_AV, PR_PTP_TYPE_UINT16, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_TV, PR_PTP_TYPE_UINT16, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_ISO, PR_PTP_TYPE_UINT16, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_FOCUS_POINT, PR_PTP_TYPE_UINT16, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_PHOTO_EFFECT, PR_PTP_TYPE_UINT16, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_SHOOTING_MODE, PR_PTP_TYPE_UINT8, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_AF_DISTANCE, PR_PTP_TYPE_UINT8, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_WB_SETTING, PR_PTP_TYPE_UINT8, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_FLASH_MODE, PR_PTP_TYPE_UINT8, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_EXPOSURE_COMP, PR_PTP_TYPE_UINT8, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_FLASH_COMP, PR_PTP_TYPE_UINT8, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_ML_MODE, PR_PTP_TYPE_UINT8, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_COMPRESSION, PR_PTP_TYPE_UINT8, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_IMAGE_SIZE, PR_PTP_TYPE_UINT8, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_PREVIEW_TYPE, PR_PTP_TYPE_UINT8, 1, PR_PTP_FORM_ENUM},
    {PR_PROP_ZOOM_POS, PR_PTP_TYPE_UINT16, 1, PR_PTP_FORM_RANGE},
    {PR_PROP_DIGITAL_ZOOM, PR_PTP_TYPE_UINT16, 0, PR_PTP_FORM_NONE},
    {PR_PROP_ANGLE, PR_PTP_TYPE_UINT16, 0, PR_PTP_FORM_NONE},
};

using PrsdkPropertyTest = PrsdkTest;

TEST_F(PrsdkPropertyTest, EveryPropertyHasTheShapeADriverChecks) {
    const PrCameraHandle camera = Open();
    for (const Shape& s : kShapes) {
        PrError error = 0;
        const Description d = Parse(Describe(camera, s.code, &error));
        ASSERT_EQ(error, PR_OK) << std::hex << s.code;
        EXPECT_EQ(d.code, s.code);
        EXPECT_EQ(d.type, s.type) << std::hex << s.code;
        EXPECT_EQ(d.getSet, s.getSet) << std::hex << s.code;
        EXPECT_EQ(d.form, s.form) << std::hex << s.code;
        if (d.form == PR_PTP_FORM_ENUM) {
            EXPECT_FALSE(d.values.empty()) << std::hex << s.code;
            EXPECT_NE(std::find(d.values.begin(), d.values.end(), d.current), d.values.end())
                << "current value offered, " << std::hex << s.code;
        }
    }
}

TEST_F(PrsdkPropertyTest, ScenarioValuesAppearAtTheDriversOffsets) {
    LoadScenario(R"([camera]
D008 = 0 {0, 1}
D006 = 3 {2, 3}
D01F = 0x08 {0x00, 0x08, 0x00, 0x10}
D02A = 5 [0, 8, 1]
D01D = 0x0025 {0x0020, 0x0025, 0x0028}
D039 = 1024
D043 = 3
)");
    const PrCameraHandle camera = Open();
    PrError error = 0;
    std::vector<std::uint8_t> raw = Describe(camera, PR_PROP_ZOOM_POS, &error);
    ASSERT_EQ(error, PR_OK);
    EXPECT_EQ(Read(raw, 7, 2), 5u);  // current value of a 16-bit property
    EXPECT_EQ(raw[9], 1u);           // range form
    EXPECT_EQ(Read(raw, 12, 2), 8u); // maximum
    EXPECT_EQ(Read(raw, 14, 2), 1u); // step
    raw = Describe(camera, PR_PROP_EXPOSURE_COMP, &error);
    ASSERT_EQ(error, PR_OK);
    EXPECT_EQ(raw[6], 0x08);        // current value of an 8-bit property
    EXPECT_EQ(raw[7], 2u);          // enumeration form
    EXPECT_EQ(Read(raw, 8, 2), 4u); // count
    EXPECT_EQ(raw[10 + 2], 0x00);   // the second zero a driver stops at
    EXPECT_EQ(raw[10 + 3], 0x10);
    raw = Describe(camera, PR_PROP_AV, &error);
    ASSERT_EQ(error, PR_OK);
    EXPECT_EQ(Read(raw, 10, 2), 3u);
    EXPECT_EQ(Read(raw, 12 + 2 * 1, 2), 0x25u);
    EXPECT_EQ(Parse(Describe(camera, PR_PROP_COMPRESSION, &error)).values,
              (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(Parse(Describe(camera, PR_PROP_IMAGE_SIZE, &error)).values,
              (std::vector<std::uint32_t>{2, 3}));
    EXPECT_EQ(Parse(Describe(camera, PR_PROP_DIGITAL_ZOOM, &error)).current, 1024u);
    EXPECT_EQ(Parse(Describe(camera, PR_PROP_ANGLE, &error)).current, 3u);
}

TEST_F(PrsdkPropertyTest, ScenarioCanGiveAWrongShapeOrRemoveAProperty) {
    LoadScenario("[camera]\nD01E = u8 ro 5 {5, 6}\nD040 = absent\n");
    const PrCameraHandle camera = Open();
    PrError error = 0;
    const Description d = Parse(Describe(camera, PR_PROP_TV, &error));
    ASSERT_EQ(error, PR_OK);
    EXPECT_EQ(d.type, PR_PTP_TYPE_UINT8);
    EXPECT_EQ(d.getSet, 0u);
    EXPECT_EQ(d.values, (std::vector<std::uint32_t>{5, 6}));
    Describe(camera, PR_PROP_PHOTO_EFFECT, &error);
    EXPECT_EQ(error, PR_ERR_PROPERTY_NOT_SUPPORTED);
}

TEST_F(PrsdkPropertyTest, TooSmallDescriptionBufferGivesError99AndTheSize) {
    const PrCameraHandle camera = Open();
    std::uint8_t small[4] = {};
    std::uint32_t size = sizeof small;
    const PrError error = PR_GetDevicePropDesc(camera, PR_PROP_TV, &size, small);
    EXPECT_EQ(PR_ERROR_CODE(error), 99u);
    EXPECT_EQ(size, 12u + 2u * 17u);
}

TEST_F(PrsdkPropertyTest, SettingValuesChecksWhatThePropertyOffers) {
    const PrCameraHandle camera = Open();
    struct Case {
        std::uint16_t code;
        std::uint32_t size;
        std::uint16_t value;
        PrError expected;
    };
    const Case cases[] = {
        {PR_PROP_AV, 2, 0x0028, PR_OK},
        {PR_PROP_AV, 2, 0x0029, PR_ERR_INVALID_VALUE},
        {PR_PROP_AV, 1, 0x0028, PR_ERR_INVALID_PARAMETER},
        {PR_PROP_SHOOTING_MODE, 1, 0x03, PR_OK},
        {PR_PROP_SHOOTING_MODE, 2, 0x03, PR_ERR_INVALID_PARAMETER},
        {PR_PROP_ZOOM_POS, 2, 8, PR_OK},
        {PR_PROP_ZOOM_POS, 2, 9, PR_ERR_INVALID_VALUE},
        {PR_PROP_DIGITAL_ZOOM, 2, 1024, PR_ERR_PROPERTY_READ_ONLY},
        {PR_PROP_ANGLE, 2, 1, PR_ERR_PROPERTY_READ_ONLY},
        {0xD0FF, 2, 1, PR_ERR_PROPERTY_NOT_SUPPORTED},
        {PR_PROP_PREVIEW_TYPE, 1, 3, PR_OK},
    };
    for (const Case& c : cases) {
        const std::uint16_t before = static_cast<std::uint16_t>(PRSIM_GetPropertyValue(0, c.code));
        EXPECT_EQ(PR_SetDevicePropValue(camera, c.code, c.size, &c.value), c.expected)
            << std::hex << c.code << " " << c.value;
        const std::int64_t after = PRSIM_GetPropertyValue(0, c.code);
        if (c.expected == PR_OK) {
            EXPECT_EQ(after, c.value);
            PrError error = 0;
            EXPECT_EQ(Parse(Describe(camera, c.code, &error)).current, c.value);
        } else if (after != -1) {
            EXPECT_EQ(after, before) << "a refused value changes nothing";
        }
    }
    EXPECT_EQ(PR_SetDevicePropValue(camera, PR_PROP_AV, 2, nullptr), PR_ERR_INVALID_PARAMETER);
}

TEST_F(PrsdkPropertyTest, PropertiesNeedAConnectedCamera) {
    ASSERT_EQ(PR_StartSDK(), PR_OK);
    const std::vector<std::uint8_t> list = DeviceList();
    PrCameraHandle camera = 0;
    ASSERT_EQ(PR_CreateCameraObject(list.data() + 4, &camera), PR_OK);
    PrError error = 0;
    Describe(camera, PR_PROP_ZOOM_POS, &error);
    EXPECT_EQ(error, PR_ERR_NOT_CONNECTED);
    Describe(camera + 1000, PR_PROP_ZOOM_POS, &error);
    EXPECT_EQ(error, PR_ERR_INVALID_HANDLE);
    Describe(0, PR_PROP_ZOOM_POS, &error);
    EXPECT_EQ(error, PR_ERR_INVALID_HANDLE);
}

} // namespace
} // namespace prsdk_test
