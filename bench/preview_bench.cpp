// The live view's cost on 320 x 240 frames: decoding, rotation, crop guide, detection and
// the frames per second the preview worker sustains (detection every frame and every
// tenth frame), next to the same work done directly with OpenCV in the same run.
// Prints figures; asserts nothing.
#include "preview_camera.h"

#include "lensport/camera_module.h"
#include "lensport/crop_guide.h"
#include "lensport/face_detector.h"
#include "lensport/face_library.h"
#include "lensport/preview.h"
#include "platform/module.h"
#include "platform/window.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <QApplication>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

const std::string kFrameFile = CAPDECK_SOURCE_DIR "/tests/fixtures/face-320x240.jpg";
const std::string kCascadeFolder = CAPDECK_CASCADE_FOLDER;

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Mean microseconds per call over at least a quarter second, after a warm-up call.
double MicrosecondsPerCall(const std::function<void()>& work) {
    work();
    int calls = 0;
    const Clock::time_point start = Clock::now();
    Clock::duration elapsed{};
    do {
        work();
        ++calls;
        elapsed = Clock::now() - start;
    } while (elapsed < std::chrono::milliseconds(250));
    return std::chrono::duration<double, std::micro>(elapsed).count() / calls;
}

// Frames per second when each frame is handed over as soon as the previous one is painted.
double WorkerFramesPerSecond(previewtest::PreviewCamera& camera, const Bytes& frame, int frames) {
    lensport::PreviewPipeline& p = camera.Pipeline();
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        const std::uint64_t before = p.FramesPainted();
        p.DeliverFrame(frame.data(), frame.size());
        while (p.FramesPainted() == before)
            std::this_thread::yield();
    }
    return frames / std::chrono::duration<double>(Clock::now() - start).count();
}

struct Figures {
    double decode, rotate90, rotate180, guide, detect, fpsEvery1, fpsEvery10;
};

Figures MeasureLensport(const Bytes& frame, HWND window) {
    Figures f{};
    lensport::PreviewImage landscape, turned;
    f.decode = MicrosecondsPerCall(
        [&] { lensport::DecodePreviewFrame(frame.data(), frame.size(), &landscape); });
    f.rotate90 = MicrosecondsPerCall([&] { lensport::RotatePreview(landscape, 90, &turned); });
    f.rotate180 = MicrosecondsPerCall([&] { lensport::RotatePreview(landscape, 180, &turned); });

    lensport::DetectorImages images;
    images.Create();
    IplImage* work = images.Landscape();
    const lensport::BgrPicture picture{landscape.pixels.data(), 320, 240, 960};
    lensport::FaceCascade& shared = lensport::SharedFaceCascade();
    const lensport::OpenCvApi& api = lensport::OpenCv();
    lensport::CopyIntoImage(picture, work);
    f.detect = MicrosecondsPerCall([&] {
        api.clearMemStorage(shared.storage);
        api.haarDetectObjects(work, shared.cascade, shared.storage, lensport::kDetectScaleFactor,
                              lensport::kDetectMinNeighbours, lensport::kDetectFlags,
                              cvSize(lensport::kDetectMinFace, lensport::kDetectMinFace));
    });
    lensport::CropSettings crop;
    crop.zoom = 35;
    crop.aspectWidth = 4.0f;
    crop.aspectHeight = 5.0f;
    const CvRect face{110, 40, 62, 62};
    f.guide = MicrosecondsPerCall([&] {
        lensport::CopyIntoImage(picture, work);
        lensport::DrawCropGuide(work, &face, crop, true, 320, 240);
        lensport::CopyFromImage(work, picture);
    });

    previewtest::PreviewCamera camera(window);
    camera.Settings().aspectWidth = 4.0f;
    camera.Settings().aspectHeight = 5.0f;
    for (const char* name : {"idPhoto", "FaceDetect", "FrameChecked"})
        camera.SetApplicationParameter(name, 1);
    camera.SetApplicationParameter("Zoom", 35);
    camera.SetApplicationParameter("Frames", 1);
    f.fpsEvery1 = WorkerFramesPerSecond(camera, frame, 100);
    camera.SetApplicationParameter("Frames", 10);
    f.fpsEvery10 = WorkerFramesPerSecond(camera, frame, 300);
    return f;
}

// The obvious way: imdecode, rotate, CascadeClassifier, cvtColor for the graying and
// rectangle for the boxes.
void OpenCvGuide(cv::Mat& image, const cv::Rect& face, const cv::Rect& box) {
    cv::Mat gray, grayBgr;
    cv::cvtColor(image, gray, cv::COLOR_BGR2GRAY);
    cv::cvtColor(gray, grayBgr, cv::COLOR_GRAY2BGR);
    image(box).copyTo(grayBgr(box));
    image = grayBgr;
    cv::rectangle(image, face, cv::Scalar(0, 255, 255), 1, 8);
    cv::rectangle(image, box, cv::Scalar(0, 255, 0), 1, 8);
}

double OpenCvFramesPerSecond(const cv::Mat& encoded, cv::CascadeClassifier& cascade, int every,
                             int frames) {
    std::vector<cv::Rect> faces;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        cv::Mat image = cv::imdecode(encoded, cv::IMREAD_COLOR);
        if (i % every == 0)
            cascade.detectMultiScale(image, faces, 1.1, 2, cv::CASCADE_DO_CANNY_PRUNING,
                                     cv::Size(40, 40));
        if (!faces.empty()) {
            const cv::Rect& f = faces[0];
            const int w = f.width * 17 / 10, h = w * 5 / 4;
            const cv::Rect box =
                cv::Rect(f.x + f.width / 2 - w / 2, f.y + f.height / 2 - h / 2, w, h) &
                cv::Rect(0, 0, image.cols, image.rows);
            OpenCvGuide(image, f, box);
        }
    }
    return frames / std::chrono::duration<double>(Clock::now() - start).count();
}

Figures MeasureOpenCv(const Bytes& frame) {
    Figures f{};
    const cv::Mat encoded(1, static_cast<int>(frame.size()), CV_8UC1,
                          const_cast<std::uint8_t*>(frame.data()));
    cv::Mat image, turned;
    f.decode = MicrosecondsPerCall([&] { image = cv::imdecode(encoded, cv::IMREAD_COLOR); });
    f.rotate90 = MicrosecondsPerCall([&] { cv::rotate(image, turned, cv::ROTATE_90_CLOCKWISE); });
    f.rotate180 = MicrosecondsPerCall([&] { cv::rotate(image, turned, cv::ROTATE_180); });
    cv::CascadeClassifier cascade(kCascadeFolder + "/FaceDetectData.xml");
    std::vector<cv::Rect> faces;
    f.detect = MicrosecondsPerCall([&] {
        cascade.detectMultiScale(image, faces, 1.1, 2, cv::CASCADE_DO_CANNY_PRUNING,
                                 cv::Size(40, 40));
    });
    const cv::Rect face(110, 40, 62, 62), box(88, 0, 105, 131);
    f.guide = MicrosecondsPerCall([&] {
        cv::Mat copy = image.clone();
        OpenCvGuide(copy, face, box);
    });
    f.fpsEvery1 = OpenCvFramesPerSecond(encoded, cascade, 1, 100);
    f.fpsEvery10 = OpenCvFramesPerSecond(encoded, cascade, 10, 300);
    return f;
}

void PrintRow(const char* what, double ours, double theirs, const char* unit) {
    std::printf("%-34s %10.1f %10.1f %-6s %8.2f\n", what, ours, theirs, unit, ours / theirs);
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    platform::SetProgramFolderForTests(CAPDECK_BIN_DIR "/");
    if (!lensport::LoadFaceDetectionLibraries("/nowhere/Capdeck.ini")) {
        std::fprintf(stderr, "cxcore100.so / cv100.so not found in %s\n", CAPDECK_BIN_DIR);
        return 1;
    }
    lensport::LoadCascadeFromFolder(kCascadeFolder);
    if (lensport::SharedFaceCascade().cascade == nullptr) {
        std::fprintf(stderr, "no face cascade in %s\n", kCascadeFolder.c_str());
        return 1;
    }
    const Bytes frame = ReadBytes(kFrameFile);
    auto host = std::make_unique<QWidget>();
    host->resize(320, 240);
    HWND hostWindow = RegisterHostWindow(host.get());
    HWND window = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 320, 240,
                                  hostWindow, nullptr, nullptr, nullptr);

    const Figures ours = MeasureLensport(frame, window);
    const Figures cv = MeasureOpenCv(frame);
    std::printf("Live view, 320 x 240 frame (%zu bytes JPEG, one face). Ratio = lensport / "
                "OpenCV alone.\n",
                frame.size());
    std::printf("%-34s %10s %10s %-6s %8s\n", "", "lensport", "OpenCV", "", "ratio");
    PrintRow("decode per frame", ours.decode, cv.decode, "us");
    PrintRow("rotate 90 per frame", ours.rotate90, cv.rotate90, "us");
    PrintRow("rotate 180 per frame", ours.rotate180, cv.rotate180, "us");
    PrintRow("crop guide per frame", ours.guide, cv.guide, "us");
    PrintRow("face detection per run", ours.detect, cv.detect, "us");
    PrintRow("worker frames/s, detect every frame", ours.fpsEvery1, cv.fpsEvery1, "fps");
    PrintRow("worker frames/s, detect every 10th", ours.fpsEvery10, cv.fpsEvery10, "fps");
    std::printf("lensport rotate 90 reduces to 180 x 240 (OpenCV turns to 240 x 320); the "
                "lensport worker also\nhands the frame over and paints it into the window, "
                "OpenCV alone does neither.\n");
    DestroyWindow(window);
    return 0;
}
