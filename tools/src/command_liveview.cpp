// lensport liveview: the viewfinder runs until N new frames were drawn into the module
// window; the last one is saved as drawn.
//
// Frames are counted by watching the window's backing image, not its repaints: the host
// window is never shown, so Qt paints nothing, and repaint requests are merged anyway.
// The image is copied on a short timer and every change of its content is a frame (the
// preview worker draws a whole frame in one transfer, and no two frames of a running
// camera are identical). The wait is bounded, so a stalled viewfinder ends in an error.
#include "commands.h"
#include "exit_codes.h"
#include "platform/gdi.h"
#include "platform/profile.h"
#include "session.h"

#include <QImage>
#include <QString>

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace lensporttool {
namespace {

constexpr std::chrono::milliseconds kPoll(5);
constexpr std::chrono::seconds kStartBound(10);
constexpr std::chrono::seconds kPerFrameBound(2);
constexpr const char* kFaceCascade = "FaceDetectData.xml";
constexpr std::intptr_t kCropZoom = 35;

void CheckOutputFolder(const std::string& output) {
    const fs::path parent = fs::absolute(output).parent_path();
    std::error_code ec;
    if (!fs::is_directory(parent, ec)) {
        throw ToolError(kExitNotWritable, "the folder of " + output + " does not exist");
    }
}

void SetApplicationParameter(const DriverBinding& driver, const char* name, std::intptr_t value) {
    if (driver.SetApplicationParameter(name, value) != 0) {
        throw ToolError(kExitFailure, std::string("the driver does not know the setting ") + name);
    }
}

// ID-photo processing with face detection and the crop guide, as the host sets it up.
// The driver reads the aspect from the options file ("ARX"/"ARY" values are ignored).
void TurnOnFaceGuide(const DriverBinding& driver, const DataFiles& files) {
    const std::string cascade = files.folder + "/" + kFaceCascade;
    std::error_code ec;
    if (!fs::is_regular_file(cascade, ec)) {
        throw ToolError(kExitFailure, "the face cascade " + cascade + " is missing");
    }
    const auto address = [](const std::string& text) {
        return reinterpret_cast<std::intptr_t>(text.c_str());
    };
    SetApplicationParameter(driver, "OptionsFile", address(files.optionsIni));
    SetApplicationParameter(driver, "AutoFaceFile", address(files.folder));
    SetApplicationParameter(driver, "ARX", 4);
    SetApplicationParameter(driver, "ARY", 5);
    SetApplicationParameter(driver, "Zoom", kCropZoom);
    SetApplicationParameter(driver, "FaceDetect", 1);
    SetApplicationParameter(driver, "FrameChecked", 1);
    SetApplicationParameter(driver, "idPhoto", 1);
    std::fprintf(stderr, "lensport: face guide on, aspect %d:%d, zoom %d\n",
                 platform::ProfileInt(files.optionsIni, "idPhoto", "ARWidth", 4),
                 platform::ProfileInt(files.optionsIni, "idPhoto", "ARHeight", 5),
                 static_cast<int>(kCropZoom));
}

// Counts content changes of the module window's backing image.
class FrameCounter {
public:
    explicit FrameCounter(HWND window) : window_(window) {
        platform::CopyBackingImage(window_, &last_);
    }
    void Check() {
        QImage now;
        if (!platform::CopyBackingImage(window_, &now) || now == last_) return;
        last_ = std::move(now);
        ++frames_;
    }
    int Frames() const { return frames_; }
    const QImage& Last() const { return last_; }

private:
    HWND window_;
    QImage last_;
    int frames_ = 0;
};

} // namespace

int RunLiveView(const Options& options, const DriverBinding& driver, const DataFiles& files) {
    CheckOutputFolder(options.output);
    Session session(driver, files);
    session.OpenCamera();
    if (options.face) TurnOnFaceGuide(driver, files);

    FrameCounter counter(session.ModuleWindow());
    const auto framesDrawn = [&counter](int wanted) {
        return [&counter, wanted] {
            counter.Check();
            return counter.Frames() >= wanted;
        };
    };
    driver.CameraStartPreview();
    // A viewfinder that never starts is told apart quickly from a slow one.
    if (session.Wait(framesDrawn(1), kStartBound, kPoll)) {
        session.Wait(framesDrawn(options.frames), kPerFrameBound * options.frames, kPoll);
    }
    driver.CameraStopPreview();
    if (session.CameraShutDown()) throw ToolError(kExitFailure, "the camera went away");
    if (counter.Frames() < options.frames) {
        throw ToolError(kExitFailure, "the live view drew " + std::to_string(counter.Frames()) +
                                          " of " + std::to_string(options.frames) + " frames");
    }
    if (!counter.Last().save(QString::fromStdString(options.output))) {
        throw ToolError(kExitNotWritable, "can't write " + options.output);
    }
    std::printf("%s\t%dx%d, frame %d\n", options.output.c_str(), counter.Last().width(),
                counter.Last().height(), counter.Frames());
    return kExitOk;
}

} // namespace lensporttool
