// The scenario format: accepted files and clear errors for bad ones.
#include "prsdk/prsdk.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace prsim {
namespace {

TEST(PrsdkScenarioTest, ReadsCamerasPropertiesAndSdkKeys) {
    const ParseResult r = ParseScenario(R"(# two cameras
[SDK]
frame_interval_ms = 40
[camera]
Model = Studio, Left
picture = 800x600
scene = pictures/scene.jpg
source = /abs/picture.jpg
plugged = no
D01D = 0x0025 {0x0020, 0x0025}
0xD02A = 2 [0, 4, 2]
D043 = 1
D040 = absent
D0F0 = u8 ro 7
[camera]
model = "  Padded "
)",
                                        "/base");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.scenario.frameIntervalMs, 40u);
    ASSERT_EQ(r.scenario.cameras.size(), 2u);
    const CameraSpec& a = r.scenario.cameras[0];
    EXPECT_EQ(a.model, u"Studio, Left");
    EXPECT_EQ(a.pictureWidth, 800);
    EXPECT_EQ(a.pictureHeight, 600);
    EXPECT_EQ(a.scenePath, "/base/pictures/scene.jpg");
    EXPECT_EQ(a.picturePath, "/abs/picture.jpg");
    EXPECT_FALSE(a.plugged);
    EXPECT_EQ(a.properties.at(PR_PROP_AV).values, (std::vector<std::uint16_t>{0x20, 0x25}));
    EXPECT_EQ(a.properties.at(PR_PROP_AV).current, 0x25);
    const Property& zoom = a.properties.at(PR_PROP_ZOOM_POS);
    EXPECT_EQ(zoom.form, PR_PTP_FORM_RANGE);
    EXPECT_EQ(zoom.maximum, 4);
    EXPECT_EQ(zoom.step, 2);
    EXPECT_EQ(a.properties.at(PR_PROP_ANGLE).current, 1);
    EXPECT_EQ(a.properties.count(PR_PROP_PHOTO_EFFECT), 0u);
    const Property& extra = a.properties.at(0xD0F0);
    EXPECT_EQ(extra.dataType, PR_PTP_TYPE_UINT8);
    EXPECT_EQ(extra.getSet, PR_PTP_READ_ONLY);
    EXPECT_EQ(r.scenario.cameras[1].model, u"  Padded ");
    EXPECT_TRUE(r.scenario.cameras[1].plugged);
}

TEST(PrsdkScenarioTest, ModelNamesAreUtf8) {
    const ParseResult r = ParseScenario("[camera]\nmodel = Kamera \xC3\xBC \xF0\x9F\x93\xB7\n", "");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.scenario.cameras[0].model, u"Kamera \u00FC \U0001F4F7");
}

TEST(PrsdkScenarioTest, BadInputGivesTheLineAndReason) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"model = x\n", "line 1: key outside a section"},
        {"[camera]\nmodel\n", "line 2: expected key = value"},
        {"[cameras]\n", "line 1: unknown section"},
        {"[camera\n", "line 1: section header without ']'"},
        {"[camera]\ncolour = red\n", "line 2: unknown camera key 'colour'"},
        {"[camera]\nmodel = 12345678901234567890123456789012345678901\n", "longer than 40"},
        {"[camera]\nmodel = \xC3\x28\n", "not UTF-8"},
        {"[camera]\nmodel = \xE0\x80\xAF\n", "not UTF-8"},
        {"[camera]\npicture = 10x10\n", "picture must be"},
        {"[camera]\npicture = 9000x100\n", "picture must be"},
        {"[camera]\npicture = 100\n", "picture must be"},
        {"[camera]\npicture_bytes = 268435457\n", "picture_bytes must be"},
        {"[camera]\npicture_bytes = lots\n", "picture_bytes must be"},
        {"[camera]\nplugged = maybe\n", "plugged must be"},
        {"[camera]\nD00C = 0x100\n", "does not fit"},
        {"[camera]\nD00C = 1 {1, 256}\n", "bad value list"},
        {"[camera]\nD01D = 1 {1, 2\n", "missing '}'"},
        {"[camera]\nD02A = 1 [0, 8]\n", "range needs"},
        {"[camera]\nD02A = 1 [8, 0, 1]\n", "range needs"},
        {"[camera]\nD02A = rw\n", "property value missing"},
        {"[camera]\nD02A = 1 2\n", "unexpected '2'"},
        {"[camera]\nD02A = one\n", "bad property value"},
        {"[camera]\nD012 = u8 5\n", "values do not fit"},
        {"[sdk]\nframe_interval_ms = 0\n", "frame_interval_ms must be"},
        {"[sdk]\nspeed = 3\n", "unknown sdk key"},
    };
    for (const Case& c : cases) {
        const ParseResult r = ParseScenario(c.text, "");
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_NE(r.error.find(c.error), std::string::npos) << c.text << " -> " << r.error;
    }
}

TEST(PrsdkScenarioTest, TooManyCamerasOrValuesAreRefused) {
    std::string many;
    for (std::size_t i = 0; i <= kMaxCameras; ++i)
        many += "[camera]\n";
    EXPECT_FALSE(ParseScenario(many, "").ok);
    std::string values = "[camera]\nD01D = 0 {0";
    for (std::size_t i = 1; i <= kMaxEnumValues; ++i)
        values += "," + std::to_string(i);
    EXPECT_FALSE(ParseScenario(values + "}\n", "").ok);
}

TEST(PrsdkScenarioTest, FilesAreReadWithRelativePathsFromTheirFolder) {
    const std::string path = ::testing::TempDir() + "prsdk_scenario_test.ini";
    std::ofstream(path) << "[camera]\nscene = scene.jpg\n";
    const ParseResult r = LoadScenarioFile(path);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.scenario.cameras[0].scenePath, ::testing::TempDir() + "scene.jpg");
    std::remove(path.c_str());
    EXPECT_FALSE(LoadScenarioFile(path).ok);
}

TEST(PrsdkScenarioTest, BuiltInScenarioHasOneCamera) {
    const Scenario s = BuiltInScenario();
    ASSERT_EQ(s.cameras.size(), 1u);
    EXPECT_TRUE(s.cameras[0].plugged);
    EXPECT_EQ(s.cameras[0].properties.size(), 18u);
}

} // namespace
} // namespace prsim
