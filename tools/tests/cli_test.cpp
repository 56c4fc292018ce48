// The built lensport as a user runs it: a temporary data folder, simulated cameras from
// a scenario file, no display. Exit codes and outputs are what scripts rely on.
#include "tool_runner.h"

#include "prsdk/prsdk_control.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using lensporttest::Lines;
using lensporttest::ReadFile;
using lensporttest::RunResult;
using lensporttest::ToolRunner;

namespace {

constexpr const char* kTwoCameras = R"(
[sdk]
frame_interval_ms = 20
[camera]
model = Studio Camera, Left
picture = 640x480
[camera]
model = "Booth 2 , Right"
picture = 320x240
)";

constexpr const char* kUnplugged = R"(
[camera]
model = Away
plugged = no
)";

// The full image the simulated camera makes for the scenario, taken in this process.
std::string ReferenceCapture(const char* scenario) {
    EXPECT_EQ(PRSIM_LoadScenarioText(scenario), 0) << PRSIM_LastError();
    EXPECT_EQ(PR_StartSDK(), PR_OK);
    std::uint32_t size = 0;
    PR_GetDeviceList(&size, nullptr);
    std::vector<std::uint8_t> list(size);
    EXPECT_EQ(PR_GetDeviceList(&size, list.data()), PR_OK);
    PrCameraHandle camera = 0;
    EXPECT_EQ(PR_CreateCameraObject(list.data() + 4, &camera), PR_OK);
    EXPECT_EQ(PR_ConnectCamera(camera), PR_OK);
    EXPECT_EQ(PR_InitiateReleaseControl(camera), PR_OK);
    EXPECT_EQ(PR_RC_Release(camera), PR_OK);
    std::string bytes(PRSIM_GetLastCapture(nullptr, 0), '\0');
    PRSIM_GetLastCapture(bytes.data(), bytes.size());
    PRSIM_Reset();
    return bytes;
}

void ExpectFailure(const RunResult& r, int code, const char* messagePart) {
    EXPECT_EQ(r.exitCode, code) << r.err;
    EXPECT_NE(r.err.find(messagePart), std::string::npos) << r.err;
}

TEST(LensportCli, HelpAndCommandLineErrors) {
    ToolRunner tool(kTwoCameras);
    const RunResult help = tool.Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: lensport"), std::string::npos);
    ExpectFailure(tool.Run({}), 2, "no command given");
    ExpectFailure(tool.Run({"shoot"}), 2, "unknown command 'shoot'");
    ExpectFailure(tool.Run({"capture", "--count", "0"}), 2, "--count");
}

TEST(LensportCli, ListsCamerasWithBlanksAndCommasAndMarksTheActiveOne) {
    ToolRunner tool(kTwoCameras);
    RunResult r = tool.Run({"cameras"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"* 25500\tStudio Camera, Left",
                                                      "  25501\tBooth 2 , Right"}));
    // The tool made the data folder the host uses, with its ini and the shipped files.
    EXPECT_TRUE(fs::exists(tool.DataFolder() + "/Capdeck.ini"));
    EXPECT_TRUE(fs::exists(tool.DataFolder() + "/FaceDetectData.xml"));

    std::ofstream(tool.DataFolder() + "/lmdhost.ini") << "[ActiveCamera]\nLoadCamera=1\n";
    r = tool.Run({"cameras"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"  25500\tStudio Camera, Left",
                                                      "* 25501\tBooth 2 , Right"}));
}

TEST(LensportCli, NoCameraFailsEveryCameraCommand) {
    ToolRunner tool(kUnplugged);
    const std::string out = tool.WorkFolder() + "/pics";
    for (const std::vector<std::string>& args : {std::vector<std::string>{"cameras"},
                                                 {"get", "AvValue"},
                                                 {"set", "AvValue", "#0"},
                                                 {"capture", "--folder", out},
                                                 {"liveview", "--output", "x.png"}}) {
        SCOPED_TRACE(args.front());
        ExpectFailure(tool.Run(args), 4, "no camera connected");
    }
}

TEST(LensportCli, ActiveCameraOutsideTheListIsReported) {
    ToolRunner tool(kTwoCameras);
    fs::create_directories(tool.DataFolder());
    std::ofstream(tool.DataFolder() + "/lmdhost.ini") << "[ActiveCamera]\nLoadCamera=5\n";
    const RunResult r = tool.Run({"cameras"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"  25500\tStudio Camera, Left",
                                                      "  25501\tBooth 2 , Right"}));
    EXPECT_NE(r.err.find("LoadCamera is 5, which names no connected camera"), std::string::npos)
        << r.err;
}

TEST(LensportCli, MissingDriverLibrary) {
    ToolRunner tool(kTwoCameras);
    const std::string bin = tool.Root() + "/bin";
    fs::create_directories(bin);
    fs::copy_file(CAPDECK_BIN_DIR "/lensport", bin + "/lensport");
    fs::copy_file(CAPDECK_BIN_DIR "/libcapdeck-platform.so", bin + "/libcapdeck-platform.so");
    const RunResult r = tool.RunProgram(bin + "/lensport", {"cameras"});
    ExpectFailure(r, 3, "lmdhost.dll");
}

TEST(LensportCli, CapturesFilesEqualToTheCamerasPicture) {
    const std::string reference = ReferenceCapture(kTwoCameras);
    ASSERT_GT(reference.size(), 1000u);
    ToolRunner tool(kTwoCameras);
    const std::string folder = tool.WorkFolder() + "/new/pictures";
    const RunResult r =
        tool.Run({"capture", "--count", "2", "--folder", "new/pictures", "--prefix", "A_"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string size = std::to_string(reference.size());
    EXPECT_EQ(Lines(r.out),
              (std::vector<std::string>{folder + "/A_000001.jpg\t" + size + " bytes",
                                        folder + "/A_000002.jpg\t" + size + " bytes"}));
    for (const char* name : {"/A_000001.jpg", "/A_000002.jpg"}) {
        const std::string bytes = ReadFile(folder + name);
        EXPECT_TRUE(bytes == reference) << name << ": " << bytes.size() << " bytes";
    }
    // Nothing but the pictures: no thumbnail, no probe file.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    EXPECT_NE(r.err.find("100% picture 2 of 2"), std::string::npos) << r.err;
}

TEST(LensportCli, CaptureKeepsEarlierPicturesUnlessAsked) {
    ToolRunner tool(kTwoCameras);
    std::ofstream(tool.WorkFolder() + "/IMG_000001.jpg") << "earlier";
    ExpectFailure(tool.Run({"capture"}), 7, "exists already");
    EXPECT_EQ(ReadFile(tool.WorkFolder() + "/IMG_000001.jpg"), "earlier");
    const RunResult r = tool.Run({"capture", "--overwrite"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(ReadFile(tool.WorkFolder() + "/IMG_000001.jpg"), "earlier");
}

TEST(LensportCli, CaptureIntoAnUnwritableFolderFailsBeforeTheCamera) {
    ToolRunner tool(kTwoCameras);
    std::ofstream(tool.WorkFolder() + "/plain-file") << "x";
    ExpectFailure(tool.Run({"capture", "--folder", "plain-file/sub"}), 7,
                  "can't create the folder");
    const std::string longPrefix(300, 'p');
    ExpectFailure(tool.Run({"capture", "--prefix", longPrefix}), 2, "longer than 259");
}

TEST(LensportCli, UnknownParameter) {
    ToolRunner tool(kTwoCameras);
    ExpectFailure(tool.Run({"get", "NoSuchThing"}), 5, "knows no parameter 'NoSuchThing'");
    ExpectFailure(tool.Run({"set", "NoSuchThing", "1"}), 5, "knows no parameter");
}

TEST(LensportCli, ReadOnlyValueThroughGetParameter) {
    ToolRunner tool(kTwoCameras);
    const RunResult r = tool.Run({"get", "Angle"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Angle = 0\n");
    ExpectFailure(tool.Run({"set", "Angle", "1"}), 6, "can only be read");
}

TEST(LensportCli, CameraListThroughGetShowsModelNamesAsDisplayTexts) {
    ToolRunner tool(kTwoCameras);
    const RunResult r = tool.Run({"get", "Camera"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[1], "    0  Studio_Camera__Left Studio Camera, Left");
    EXPECT_EQ(lines[2], "    1  Booth_2___Right Booth 2 , Right");
    ExpectFailure(tool.Run({"set", "Camera", "#1"}), 6, "LoadCamera");
    // The user's settings files got no list entries from the tool.
    EXPECT_EQ(ReadFile(tool.DataFolder() + "/lmdhost.ini").find("CommaText"), std::string::npos);
}

struct ListedValue {
    bool current;
    std::string listName;
    std::string displayText;
};

// The lines of "get NAME" after the heading: mark, position, list name, display text.
std::vector<ListedValue> Listed(const std::string& out) {
    std::vector<ListedValue> values;
    const auto lines = Lines(out);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::istringstream in(lines[i].substr(1));
        ListedValue v{lines[i][0] == '*', "", ""};
        std::size_t position = 0;
        in >> position >> v.listName;
        std::getline(in >> std::ws, v.displayText);
        EXPECT_EQ(position, i - 1) << lines[i];
        values.push_back(v);
    }
    return values;
}

// The number of a "NAME = number" line.
std::string NumberShown(const std::string& out, const std::string& name) {
    const std::string head = name + " = ";
    EXPECT_EQ(out.rfind(head, 0), 0u) << out;
    if (out.rfind(head, 0) != 0 || out.back() != '\n') return "0";
    return out.substr(head.size(), out.size() - head.size() - 1);
}

// Every run is a new process with a freshly plugged simulated camera, so a setting is
// checked by the tool itself, listing again after setting, within the run.
TEST(LensportCli, GetAndSetRoundTrip) {
    ToolRunner tool(kTwoCameras);
    RunResult r = tool.Run({"get", "AvValue"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto values = Listed(r.out);
    ASSERT_GE(values.size(), 3u) << r.out;
    EXPECT_EQ(std::count_if(values.begin(), values.end(), [](auto& v) { return v.current; }), 1);
    std::size_t other = 0;
    while (values[other].current)
        ++other;

    // By position, by camera code and by list name.
    r = tool.Run({"set", "AvValue", "#" + std::to_string(other)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "AvValue = " + values[other].listName + "\n");
    r = tool.Run({"set", "AvValue", "0x" + values.back().listName});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "AvValue = " + values.back().listName + "\n");

    // A display text kept beside the host's lists names the value and is listed.
    std::ofstream(tool.DataFolder() + "/lmdhost.ini", std::ios::app)
        << "[AvValue_items]\n"
        << values[other].listName << "=Wide open\n";
    r = tool.Run({"set", "AvValue", "Wide open"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "AvValue = " + values[other].listName + " (Wide open)\n");
    r = tool.Run({"get", "AvValue"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Listed(r.out)[other].displayText, "Wide open");

    // A camera code the camera does not offer is refused by the camera itself.
    ExpectFailure(tool.Run({"set", "AvValue", "0x7777"}), 6, "the camera refused AvValue");
    ExpectFailure(tool.Run({"set", "AvValue", "no such text"}), 6, "not among the offered");
    ExpectFailure(tool.Run({"set", "AvValue", "#99"}), 6, "no position 99");
}

TEST(LensportCli, SetsPairsNumbersAndSwitches) {
    ToolRunner tool(kTwoCameras);
    RunResult r = tool.Run({"get", "ImageFormatAttribute"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto pairs = Listed(r.out);
    ASSERT_GE(pairs.size(), 2u);
    EXPECT_NE(pairs.back().listName.find('_'), std::string::npos);
    r = tool.Run({"set", "ImageFormatAttribute", pairs.back().listName});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ImageFormatAttribute = " + pairs.back().listName + "\n");

    r = tool.Run({"get", "MaxZoomPos"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string maxZoom = NumberShown(r.out, "MaxZoomPos");
    r = tool.Run({"set", "ZoomPos", maxZoom});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ZoomPos = " + maxZoom + "\n");
    ExpectFailure(tool.Run({"set", "ZoomPos", std::to_string(std::stoi(maxZoom) + 1)}), 6,
                  "the camera refused ZoomPos");
    ExpectFailure(tool.Run({"set", "ZoomPos", "wide"}), 2, "takes a number");
    ExpectFailure(tool.Run({"set", "DigitalZoom", "2"}), 6, "refused");

    r = tool.Run({"set", "AFLock", "On"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("AFLock = On"), std::string::npos);
}

TEST(LensportCli, LiveViewSavesTheDrawnFrame) {
    ToolRunner tool(kTwoCameras);
    const RunResult r = tool.Run({"liveview", "--frames", "3", "--output", "view.png"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    QImage image(QString::fromStdString(tool.WorkFolder() + "/view.png"));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 320);
    EXPECT_EQ(image.height(), 240);
    ExpectFailure(tool.Run({"liveview", "--output", "missing/view.png"}), 7, "does not exist");
}

bool HasPixel(const QImage& image, QRgb colour) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) return true;
        }
    }
    return false;
}

TEST(LensportCli, LiveViewWithFaceGuideDrawsTheCropBox) {
    ToolRunner tool(kTwoCameras);
    const RunResult r = tool.Run({"liveview", "--frames", "4", "--face", "--output", "face.jpg"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("aspect 4:5, zoom 35"), std::string::npos) << r.err;
    // Lossless copy of the same run is not available from a JPEG; check the PNG path too.
    const RunResult png = tool.Run({"liveview", "--frames", "4", "--face", "--output", "face.png"});
    ASSERT_EQ(png.exitCode, 0) << png.err;
    QImage image(QString::fromStdString(tool.WorkFolder() + "/face.png"));
    ASSERT_FALSE(image.isNull());
    // A face was found: its yellow box and the green (or clamped: red) crop box.
    EXPECT_TRUE(HasPixel(image, qRgb(255, 255, 0)));
    EXPECT_TRUE(HasPixel(image, qRgb(0, 255, 0)) || HasPixel(image, qRgb(255, 0, 0)));
    EXPECT_TRUE(QImage(QString::fromStdString(tool.WorkFolder() + "/face.jpg")).width() == 320);
}

} // namespace
