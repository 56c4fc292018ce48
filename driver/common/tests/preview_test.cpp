// The preview pipeline of a camera object: frame hand-over, decoding, rotations, the
// ID-photo step with the real face detector, and what ends up in the module window.
#include "preview_camera.h"
#include "preview_test_support.h"

#include "lensport/camera_module.h"
#include "lensport/face_detector.h"
#include "lensport/face_library.h"
#include "lensport/preview.h"
#include "platform/gdi.h"
#include "platform/module.h"
#include "platform/window.h"

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

extern "C" {
#include <jpeglib.h>
}

namespace {

using namespace previewtest;
using lensport::PreviewImage;

QApplication& App() {
    static QApplication* app = [] {
        static int argc = 1;
        static char name[] = "lensport_preview_test";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

class PreviewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        App();
        platform::SetProgramFolderForTests(CAPDECK_BIN_DIR "/");
        ASSERT_TRUE(lensport::LoadFaceDetectionLibraries("/nowhere/Capdeck.ini"));
    }
    void SetUp() override {
        host_ = std::make_unique<QWidget>();
        host_->resize(400, 300);
        HWND hostWindow = RegisterHostWindow(host_.get());
        window_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 300,
                                  hostWindow, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        camera_ = std::make_unique<PreviewCamera>(window_);
        LoadCascade(CascadeFolder());
    }
    void TearDown() override {
        camera_.reset();
        host_.reset();
    }

    void LoadCascade(const std::string& folder) {
        Apply("AutoFaceFile", reinterpret_cast<std::intptr_t>(folder.c_str()));
    }
    void Apply(const char* name, std::intptr_t value) {
        ASSERT_EQ(camera_->SetApplicationParameter(name, value), lensport::kParameterHandled)
            << name;
    }
    // ID-photo on with the crop guide of a 4 : 5 box with the given margin.
    void IdPhotoOn(int zoom, bool guide) {
        lensport::PreviewSettings& s = camera_->Settings();
        s.aspectWidth = 4.0f;
        s.aspectHeight = 5.0f;
        Apply("Zoom", zoom);
        Apply("idPhoto", 1);
        Apply("FaceDetect", 1);
        Apply("FrameChecked", guide ? 1 : 0);
    }

    // Hands a frame over and waits until the worker painted or dropped it.
    void Feed(const Bytes& frame) {
        lensport::PreviewPipeline& p = camera_->Pipeline();
        const std::uint64_t before = p.FramesPainted() + p.FramesDropped();
        p.DeliverFrame(frame.data(), frame.size());
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (p.FramesPainted() + p.FramesDropped() == before &&
               std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_GT(p.FramesPainted() + p.FramesDropped(), before) << "the worker did not finish";
    }
    void FeedPicture(const PreviewImage& picture) { Feed(EncodeJpeg(picture)); }
    void ExpectFace100Guide(double centreX, bool pushedLeft);

    COLORREF At(int x, int y) const { return platform::BackingPixel(window_, x, y); }
    // The window's pixels of the 320 x 240 (or 180 x 240 at x0) picture.
    PreviewImage Shown(int x0 = 0, int width = 320) const {
        QImage copy;
        EXPECT_TRUE(platform::CopyBackingImage(window_, &copy));
        PreviewImage shown;
        shown.Reset(width, 240);
        for (int y = 0; y < 240; ++y) {
            for (int x = 0; x < width; ++x) {
                const QRgb c = copy.pixel(x0 + x, y);
                std::uint8_t* p = shown.Pixel(x, y);
                p[0] = static_cast<std::uint8_t>(qBlue(c));
                p[1] = static_cast<std::uint8_t>(qGreen(c));
                p[2] = static_cast<std::uint8_t>(qRed(c));
            }
        }
        return shown;
    }

    std::unique_ptr<QWidget> host_;
    HWND window_ = nullptr;
    std::unique_ptr<PreviewCamera> camera_;
};

PreviewImage Decoded(const Bytes& frame) {
    PreviewImage picture;
    EXPECT_TRUE(lensport::DecodePreviewFrame(frame.data(), frame.size(), &picture));
    return picture;
}

bool SamePixels(const PreviewImage& a, const PreviewImage& b) {
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

// ---- Decoder ----

TEST(PreviewDecoder, PixelsComeOutBlueGreenRed) {
    const PreviewImage decoded = Decoded(EncodeJpeg(Quarters()));
    const std::uint8_t* red = decoded.Pixel(40, 40);
    EXPECT_LT(red[0], 30);
    EXPECT_LT(red[1], 30);
    EXPECT_GT(red[2], 225);
    const std::uint8_t* blue = decoded.Pixel(40, 200);
    EXPECT_GT(blue[0], 225);
    EXPECT_LT(blue[2], 30);
}

// The same pixels as libjpeg's own memory source gives, for a frame that needs many
// refills and skips a marker longer than a refill.
TEST(PreviewDecoder, RefillsAndSkipsGiveTheReferencePixels) {
    PreviewImage noise;
    noise.Reset(320, 240);
    std::uint32_t state = 12345;
    for (std::uint8_t& byte : noise.pixels) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    Bytes frame = EncodeJpeg(noise, 90);
    // A 20000-byte comment right after SOI: skipped across several 4096-byte refills.
    Bytes comment = {0xFF, 0xFE, 0x4E, 0x22};
    comment.resize(2 + 0x4E22, 'x');
    frame.insert(frame.begin() + 2, comment.begin(), comment.end());
    ASSERT_GT(frame.size(), 4u * 4096u);

    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, frame.data(), static_cast<unsigned long>(frame.size()));
    ASSERT_EQ(jpeg_read_header(&cinfo, TRUE), JPEG_HEADER_OK);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    PreviewImage reference;
    reference.Reset(320, 240);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = reference.Pixel(0, static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);

    EXPECT_TRUE(SamePixels(Decoded(frame), reference));
}

// Cut after half its bytes: the source ends it with an end-of-image marker and the
// decoder's warning, and the rows it had stay.
TEST(PreviewDecoder, ATruncatedFrameKeepsItsFirstRows) {
    Bytes frame = EncodeJpeg(Quarters());
    frame.resize(frame.size() / 2);
    PreviewImage decoded;
    ASSERT_TRUE(lensport::DecodePreviewFrame(frame.data(), frame.size(), &decoded));
    EXPECT_GT(decoded.Pixel(40, 10)[2], 225);
}

struct RejectedCase {
    std::string name;
    Bytes frame;
};

class RejectedFrame : public ::testing::TestWithParam<RejectedCase> {};

TEST_P(RejectedFrame, IsRefusedWithAZeroedImage) {
    const Bytes& frame = GetParam().frame;
    PreviewImage decoded;
    EXPECT_FALSE(lensport::DecodePreviewFrame(frame.data(), frame.size(), &decoded));
}

Bytes HugeDimensions() {
    Bytes frame = EncodeJpeg(Solid(16, 16, kRedBgr));
    // SOF0 holds the height and width right after its length and precision.
    for (std::size_t i = 0; i + 8 < frame.size(); ++i) {
        if (frame[i] == 0xFF && frame[i + 1] == 0xC0) {
            frame[i + 5] = frame[i + 6] = frame[i + 7] = frame[i + 8] = 0xFF;
            break;
        }
    }
    return frame;
}

INSTANTIATE_TEST_SUITE_P(Frames, RejectedFrame,
                         ::testing::Values(RejectedCase{"Empty", {}},
                                           RejectedCase{"NotAJpeg", Bytes(5000, 0x5A)},
                                           RejectedCase{"HeaderOnly", {0xFF, 0xD8}},
                                           RejectedCase{"HugeDimensions", HugeDimensions()}),
                         [](const ::testing::TestParamInfo<RejectedCase>& info) {
                             return info.param.name;
                         });

TEST(PreviewDecoder, OtherSizesFillOnlyTheLandscapeImage) {
    const PreviewImage large = Decoded(EncodeJpeg(Solid(640, 480, kGreenBgr)));
    EXPECT_EQ(large.width, 320);
    EXPECT_EQ(large.height, 240);
    EXPECT_GT(large.Pixel(319, 239)[1], 225);
    const PreviewImage small = Decoded(EncodeJpeg(Solid(160, 120, kGreenBgr)));
    EXPECT_GT(small.Pixel(159, 119)[1], 225);
    const std::uint8_t* outside = small.Pixel(200, 200);
    EXPECT_EQ(outside[0] + outside[1] + outside[2], 0);
}

// ---- Rotations ----

PreviewImage Numbered() {
    PreviewImage picture;
    picture.Reset(320, 240);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            std::uint8_t* p = picture.Pixel(x, y);
            p[0] = static_cast<std::uint8_t>(x & 0xFF);
            p[1] = static_cast<std::uint8_t>(x >> 8);
            p[2] = static_cast<std::uint8_t>(y);
        }
    }
    return picture;
}

struct RotationCase {
    int rotation;
    int outX, outY;
    int srcX, srcY;
};

class RotationTable : public ::testing::TestWithParam<RotationCase> {};

TEST_P(RotationTable, TakesTheTabledSourcePixel) {
    const RotationCase& c = GetParam();
    PreviewImage out;
    lensport::RotatePreview(Numbered(), c.rotation, &out);
    const bool portrait = c.rotation == 90 || c.rotation == -90;
    EXPECT_EQ(out.width, portrait ? 180 : 320);
    EXPECT_EQ(out.height, 240);
    const std::uint8_t* p = out.Pixel(c.outX, c.outY);
    EXPECT_EQ(p[0] | (p[1] << 8), c.srcX);
    EXPECT_EQ(p[2], c.srcY);
}

INSTANTIATE_TEST_SUITE_P(
    Corners, RotationTable,
    ::testing::Values(RotationCase{0, 0, 0, 0, 0}, RotationCase{0, 319, 239, 319, 239},
                      RotationCase{180, 0, 0, 319, 239}, RotationCase{180, 319, 0, 0, 239},
                      RotationCase{-90, 0, 0, 318, 0}, RotationCase{-90, 179, 239, 0, 238},
                      RotationCase{-90, 100, 50, 252, 133}, RotationCase{90, 0, 0, 0, 238},
                      RotationCase{90, 179, 239, 318, 0}, RotationCase{90, 100, 50, 66, 105}));

// ---- Painting ----

struct CornerCase {
    int rotation;
    int x, y;
    Bgr expected;
};

class RotationCorners : public PreviewTest, public ::testing::WithParamInterface<CornerCase> {};

TEST_P(RotationCorners, ShowTheTurnedQuarters) {
    const CornerCase& c = GetParam();
    camera_->Settings().rotation = c.rotation;
    FeedPicture(Quarters());
    EXPECT_TRUE(Near(At(c.x, c.y), c.expected)) << Describe(At(c.x, c.y));
}

// Quarters: red top left, green top right, blue bottom left, white bottom right. The
// portrait picture is drawn at x 70.
INSTANTIATE_TEST_SUITE_P(
    Window, RotationCorners,
    ::testing::Values(CornerCase{0, 0, 0, kRedBgr}, CornerCase{0, 319, 239, kWhiteBgr},
                      CornerCase{180, 0, 0, kWhiteBgr}, CornerCase{180, 319, 239, kRedBgr},
                      CornerCase{-90, 70, 0, kGreenBgr}, CornerCase{-90, 249, 239, kBlueBgr},
                      CornerCase{90, 70, 0, kBlueBgr}, CornerCase{90, 249, 239, kGreenBgr}));

TEST_F(PreviewTest, PortraitViewHasWhiteBarsWithBlackEdges) {
    camera_->Settings().rotation = 90;
    FeedPicture(Solid(320, 240, kBlueBgr));
    for (int y : {0, 120, 239}) {
        for (int x : {0, 35, 68, 251, 300, 319}) {
            EXPECT_EQ(At(x, y), RGB(255, 255, 255)) << x << "," << y;
        }
        EXPECT_EQ(At(69, y), RGB(0, 0, 0)) << y;
        EXPECT_EQ(At(250, y), RGB(0, 0, 0)) << y;
        EXPECT_TRUE(Near(At(70, y), kBlueBgr));
        EXPECT_TRUE(Near(At(249, y), kBlueBgr));
    }
    // No scaling: below and right of the bars the window is not drawn on.
    EXPECT_EQ(At(100, 260), At(390, 290));
}

TEST_F(PreviewTest, TheLandscapeViewIsThePictureUnchanged) {
    const Bytes frame = PortraitFrame();
    Feed(frame);
    EXPECT_TRUE(SamePixels(Shown(), Decoded(frame)));
}

// ---- Frames the decoder or the buffer cannot take ----

TEST_F(PreviewTest, BadFramesAreDroppedAndTheWorkerGoesOn) {
    lensport::PreviewPipeline& p = camera_->Pipeline();
    Bytes oversized(lensport::kFrameBufferSize + 1, 0);
    p.DeliverFrame(oversized.data(), oversized.size());
    EXPECT_EQ(p.FramesDropped(), 1u);
    Feed(Bytes(3000, 0x11));
    Bytes truncatedHeader = EncodeJpeg(Quarters());
    truncatedHeader.resize(40);
    Feed(truncatedHeader);
    EXPECT_EQ(p.FramesDropped(), 3u);
    EXPECT_EQ(p.FramesPainted(), 0u);
    const Bytes frame = PortraitFrame();
    Feed(frame);
    EXPECT_EQ(p.FramesPainted(), 1u);
    EXPECT_TRUE(SamePixels(Shown(), Decoded(frame)));
}

TEST_F(PreviewTest, LargerPicturesAreCutToTheLandscapeImage) {
    // 640 x 480 in fewer bytes than the buffer: only its top-left quarter is shown.
    const Bytes frame = EncodeJpeg(Solid(640, 480, kGreenBgr), 50);
    ASSERT_LE(frame.size(), lensport::kFrameBufferSize);
    IdPhotoOn(35, true);
    Feed(frame);
    EXPECT_EQ(camera_->Pipeline().FramesPainted(), 1u);
    EXPECT_TRUE(Gray(At(319, 239), 40) || Near(At(319, 239), kGreenBgr));
}

// ---- ID photo ----

TEST_F(PreviewTest, WithoutACascadeOnlyTheSmallYellowSquareIsDrawn) {
    LoadCascade("/nonexistent-cascade-folder");
    IdPhotoOn(35, true);
    for (int i = 0; i < 2; ++i) {
        FeedPicture(Solid(320, 240, kBlueBgr));
        EXPECT_EQ(At(5, 5), RGB(255, 255, 0));
        EXPECT_EQ(At(10, 10), RGB(255, 255, 0));
        EXPECT_EQ(At(10, 5), RGB(255, 255, 0));
        EXPECT_TRUE(Near(At(7, 7), kBlueBgr));
        EXPECT_TRUE(Near(At(200, 200), kBlueBgr)) << "nothing is grayed";
    }
    EXPECT_EQ(camera_->IdPhoto().DetectionRuns(), 0u);
}

TEST_F(PreviewTest, WithoutTheGuideSwitchAFoundFaceChangesNothing) {
    IdPhotoOn(35, false);
    const Bytes frame = PortraitFrame();
    Feed(frame);
    ASSERT_TRUE(camera_->IdPhoto().LastFace().has_value());
    EXPECT_TRUE(SamePixels(Shown(), Decoded(frame)));
}

TEST_F(PreviewTest, WithoutIdPhotoNothingIsDetected) {
    Apply("FaceDetect", 1);
    Apply("FrameChecked", 1);
    const Bytes frame = PortraitFrame();
    Feed(frame);
    EXPECT_EQ(camera_->IdPhoto().DetectionRuns(), 0u);
    EXPECT_EQ(camera_->IdPhoto().FrameCounter(), 0);
    EXPECT_TRUE(SamePixels(Shown(), Decoded(frame)));
}

// Checks the guide around the face found: gray outside the crop box, the face box in
// yellow, the crop box in the given colour; inside the box the picture is unchanged.
void ExpectGuide(const PreviewImage& shown, const PreviewImage& plain, const CvRect& face,
                 const lensport::CropBox& box, Bgr boxColour) {
    auto pixel = [&](int x, int y) {
        const std::uint8_t* p = shown.Pixel(x, y);
        return RGB(p[2], p[1], p[0]);
    };
    const int midY = (box.top + box.bottom) / 2;
    const int midX = (box.left + box.right) / 2;
    EXPECT_TRUE(Near(pixel(box.left, midY), boxColour, 0)) << Describe(pixel(box.left, midY));
    if (box.right < 320) {
        EXPECT_TRUE(Near(pixel(box.right, midY), boxColour, 0));
    }
    if (box.top > 0) {
        EXPECT_TRUE(Near(pixel(midX, box.top), boxColour, 0));
    }
    const int cx = face.x + face.width / 2, cy = face.y + face.height / 2;
    EXPECT_TRUE(Near(pixel(cx - face.width / 2, cy), kYellowBgr, 0));
    EXPECT_TRUE(Near(pixel(cx + face.width / 2, cy), kYellowBgr, 0));
    EXPECT_TRUE(Near(pixel(cx, cy - face.height / 2), kYellowBgr, 0));
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const bool outside = x <= box.left || x >= box.right || y <= box.top || y >= box.bottom;
            if (!outside) continue;
            const std::uint8_t* p = shown.Pixel(x, y);
            const std::uint8_t* q = plain.Pixel(x, y);
            const bool onLine = (p[0] != p[1] || p[1] != p[2]);
            if (onLine) continue; // the box lines
            ASSERT_EQ(p[0], (q[0] + q[1] + q[2]) / 3) << x << "," << y;
        }
    }
    // A pixel well inside both boxes keeps its colour.
    EXPECT_EQ(std::memcmp(shown.Pixel(cx, cy), plain.Pixel(cx, cy), 3), 0);
}

lensport::CropSettings Crop(int zoom) {
    lensport::CropSettings crop;
    crop.zoom = zoom;
    crop.aspectWidth = 4.0f;
    crop.aspectHeight = 5.0f;
    return crop;
}

TEST_F(PreviewTest, TheFixtureFaceIsFoundAndFramed) {
    IdPhotoOn(35, true);
    const Bytes frame = PortraitFrame();
    Feed(frame);
    const std::optional<CvRect> face = camera_->IdPhoto().LastFace();
    ASSERT_TRUE(face.has_value());
    // The fixture's face is near (110, 40), 62 x 62.
    EXPECT_NEAR(face->x, 110, 8);
    EXPECT_NEAR(face->y, 40, 8);
    EXPECT_NEAR(face->width, 62, 8);
    const lensport::CropBox box = lensport::ComputeCropBox(*face, Crop(35), 320, 240);
    ASSERT_FALSE(box.clamped);
    ExpectGuide(Shown(), Decoded(frame), *face, box, kGreenBgr);
    // The face replaces the face values of the host.
    const lensport::PreviewSettings& s = camera_->Settings();
    EXPECT_EQ(s.faceW.load(), face->width);
    EXPECT_EQ(s.faceH.load(), face->height);
    EXPECT_EQ(s.faceX.load(), face->x + face->width / 2);
    EXPECT_EQ(s.faceY.load(), face->y + face->height / 2);
}

TEST_F(PreviewTest, ABoxPastTheRightEdgeIsPushedLeftAndDrawnRed) {
    IdPhotoOn(35, true);
    const PreviewImage shifted = ShiftedRight(PortraitPicture(), 150);
    const Bytes frame = EncodeJpeg(shifted);
    Feed(frame);
    const std::optional<CvRect> face = camera_->IdPhoto().LastFace();
    ASSERT_TRUE(face.has_value());
    const lensport::CropBox box = lensport::ComputeCropBox(*face, Crop(35), 320, 240);
    EXPECT_TRUE(box.clamped);
    EXPECT_EQ(box.right, 320);
    ExpectGuide(Shown(), Decoded(frame), *face, box, kRedBgr);
}

// Enlargement of the fixture at which the detector finds its face 100 wide.
constexpr double kScaleFor100 = 1.63;

// The fixture enlarged until the detector finds its face exactly 100 wide, centred at
// (centreX, 120): its crop box is 169 x 211 truncated to halves (84 and 105 on each side),
// moved inside and drawn red when it would end past the picture's right edge.
void PreviewTest::ExpectFace100Guide(double centreX, bool pushedLeft) {
    IdPhotoOn(35, true);
    const Bytes frame =
        EncodeJpeg(ScaledPlaced(PortraitPicture(), kScaleFor100, 141, 71, centreX, 120));
    Feed(frame);
    const std::optional<CvRect> face = camera_->IdPhoto().LastFace();
    ASSERT_TRUE(face.has_value());
    ASSERT_EQ(face->width, 100) << "the detector's size changed; choose another scale";
    const lensport::CropBox box = lensport::ComputeCropBox(*face, Crop(35), 320, 240);
    EXPECT_EQ(box.right - box.left, 168);
    EXPECT_EQ(box.bottom - box.top, 210);
    EXPECT_EQ(box.clamped, pushedLeft);
    if (pushedLeft) {
        EXPECT_EQ(box.right, 320);
    }
    ExpectGuide(Shown(), Decoded(frame), *face, box, pushedLeft ? kRedBgr : kGreenBgr);
}

TEST_F(PreviewTest, AFace100WideGetsABox169By211) {
    ExpectFace100Guide(160, false);
}

// Centred near x 255 the box would end past 320.
TEST_F(PreviewTest, AFace100WideAtTheRightEdgeIsPushedLeft) {
    ExpectFace100Guide(256, true);
}

// Detection every third frame: runs on frames 1, 4 and 7; in between the boxes stay
// where the last run found the face even though the picture moved.
TEST_F(PreviewTest, EveryThirdFrameIsSearched) {
    IdPhotoOn(35, true);
    Apply("Frames", 3);
    const PreviewImage plain = PortraitPicture();
    const PreviewImage moved = ShiftedRight(plain, 60);
    std::vector<std::uint64_t> runs;
    std::vector<int> faceX;
    for (int frame = 1; frame <= 8; ++frame) {
        FeedPicture(frame <= 3 ? plain : moved);
        runs.push_back(camera_->IdPhoto().DetectionRuns());
        faceX.push_back(camera_->Settings().faceX.load());
    }
    EXPECT_EQ(runs, (std::vector<std::uint64_t>{1, 1, 1, 2, 2, 2, 3, 3}));
    // Frames 4 to 8 show the moved face; the box followed it at frame 4 only.
    EXPECT_NEAR(faceX[0], 141, 8);
    EXPECT_EQ(faceX[2], faceX[0]);
    EXPECT_NEAR(faceX[3], faceX[0] + 60, 8);
}

TEST_F(PreviewTest, TheCounterAdvancesOnlyWhileIdPhotoIsOn) {
    IdPhotoOn(35, true);
    Apply("Frames", 3);
    const Bytes frame = PortraitFrame();
    Feed(frame); // run 1, counter 1
    Apply("idPhoto", 0);
    Feed(frame);
    Feed(frame);
    EXPECT_EQ(camera_->IdPhoto().FrameCounter(), 1);
    Apply("idPhoto", 1);
    Feed(frame); // counter 2
    Feed(frame); // counter 0
    EXPECT_EQ(camera_->IdPhoto().DetectionRuns(), 1u);
    Feed(frame); // run 2
    EXPECT_EQ(camera_->IdPhoto().DetectionRuns(), 2u);
}

TEST_F(PreviewTest, FramesBelowOneMeansEveryFrame) {
    IdPhotoOn(35, true);
    Apply("Frames", 0);
    EXPECT_EQ(camera_->Settings().frames.load(), 1);
    const Bytes frame = PortraitFrame();
    Feed(frame);
    Feed(frame);
    EXPECT_EQ(camera_->IdPhoto().DetectionRuns(), 2u);
}

// Applying the cascade again replaces it (the old one is released: the sanitizer build
// reports a leak otherwise) and detection goes on with the new one.
TEST_F(PreviewTest, ACascadeAppliedAgainReplacesTheOldOne) {
    IdPhotoOn(35, true);
    LoadCascade(CascadeFolder());
    lensport::FaceCascade& shared = lensport::SharedFaceCascade();
    ASSERT_NE(shared.cascade, nullptr);
    ASSERT_NE(shared.storage, nullptr);
    LoadCascade(CascadeFolder());
    ASSERT_NE(shared.cascade, nullptr);
    Feed(PortraitFrame());
    EXPECT_TRUE(camera_->IdPhoto().LastFace().has_value());
}

TEST_F(PreviewTest, PortraitFramesUseThePortraitImageAndBounds) {
    IdPhotoOn(35, true);
    camera_->Settings().rotation = -90;
    LoadCascade("/nonexistent-cascade-folder");
    FeedPicture(Solid(320, 240, kBlueBgr));
    // The square is drawn into the 180-wide picture, which sits at x 70.
    EXPECT_EQ(At(75, 5), RGB(255, 255, 0));
    EXPECT_EQ(At(80, 10), RGB(255, 255, 0));
    EXPECT_EQ(At(69, 5), RGB(0, 0, 0));
}

} // namespace
