// The live view of the built Canon driver with a simulated camera whose viewfinder shows
// the fixture portrait: the face is found and framed in the module window.
#include "driver_harness.h"
#include "preview_test_support.h"

#include "platform/gdi.h"
#include "platform/window.h"
#include "prsdk/prsdk_control.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

namespace {

using drivertest::DriverHarness;
using namespace previewtest;

std::string PortraitScenario() {
    return "[sdk]\nframe_interval_ms = 20\n[camera]\nmodel = Studio Camera\nscene = " +
           std::string(CAPDECK_FIXTURES_DIR) + "/face-320x240.jpg\n";
}

// Bounds of the pixels of one exact colour in the window (left > right when none).
struct Found {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN, count = 0;
};

Found FindColour(HWND window, COLORREF colour) {
    QImage copy;
    Found found;
    if (!platform::CopyBackingImage(window, &copy)) return found;
    for (int y = 0; y < std::min(copy.height(), 240); ++y) {
        for (int x = 0; x < std::min(copy.width(), 320); ++x) {
            const QRgb c = copy.pixel(x, y);
            if (RGB(qRed(c), qGreen(c), qBlue(c)) != colour) continue;
            found.left = std::min(found.left, x);
            found.right = std::max(found.right, x);
            found.top = std::min(found.top, y);
            found.bottom = std::max(found.bottom, y);
            ++found.count;
        }
    }
    return found;
}

class PreviewDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        harness_ = std::make_unique<DriverHarness>(PortraitScenario());
        ASSERT_TRUE(harness_->Loaded());
        window_ = harness_->Create();
        ASSERT_NE(window_, nullptr);
        // The host sizes the module window to its panel.
        MoveWindow(window_, 0, 0, 330, 250, TRUE);
        options_ = harness_->DataFolder() + "/options.ini";
        cascade_ = CascadeFolder();
    }
    void TearDown() override { harness_.reset(); }

    void Set(const char* name, std::intptr_t value) {
        harness_->Driver().SetApplicationParameter(name, value);
    }
    void GuideOn() {
        Set("OptionsFile", reinterpret_cast<std::intptr_t>(options_.c_str()));
        Set("ARX", 0);
        Set("ARY", 0);
        Set("AutoFaceFile", reinterpret_cast<std::intptr_t>(cascade_.c_str()));
        Set("Zoom", 35);
        Set("idPhoto", 1);
        Set("FaceDetect", 1);
        Set("FrameChecked", 1);
    }

    std::unique_ptr<DriverHarness> harness_;
    HWND window_ = nullptr;
    std::string options_;
    std::string cascade_;
};

TEST_F(PreviewDriverTest, TheCameraFaceIsFramedInTheWindow) {
    GuideOn();
    harness_->Driver().CameraStartPreview();
    Found face, crop;
    ASSERT_TRUE(harness_->WaitFor([&] {
        face = FindColour(window_, RGB(255, 255, 0));
        crop = FindColour(window_, RGB(0, 255, 0));
        return face.count > 100 && crop.count > 200;
    })) << "no face box and crop box on the preview";
    // The fixture's face is near (110, 40), 62 x 62; the crop box (4 : 5, Zoom 35)
    // surrounds it and everything outside is gray.
    EXPECT_NEAR(face.left, 110, 10);
    EXPECT_NEAR(face.top, 40, 10);
    EXPECT_NEAR(face.right - face.left, 62, 10);
    EXPECT_LT(crop.left, face.left);
    EXPECT_GT(crop.right, face.right);
    EXPECT_NEAR(crop.right - crop.left, (face.right - face.left) * 17 / 10, 3);
    EXPECT_TRUE(Gray(platform::BackingPixel(window_, 2, 230), 0));
    EXPECT_TRUE(Gray(platform::BackingPixel(window_, 318, 2), 0));
    harness_->Driver().CameraStopPreview();
}

// The camera turned on its side with automatic orientation: the picture is turned back
// upright into the 180-wide portrait, the face is found there and the guide keeps within it.
TEST_F(PreviewDriverTest, ATurnedCameraIsFramedInThePortraitView) {
    GuideOn();
    Set("ButtonsHandle", reinterpret_cast<std::intptr_t>(harness_->ButtonsWindow()));
    PRSIM_TurnCamera(0, 1);
    ASSERT_TRUE(harness_->WaitFor([&] { return !harness_->Received("AndleChanged").empty(); }));
    Set("PreviewOrienataion", 1);
    harness_->Driver().CameraStartPreview();
    Found face, crop;
    ASSERT_TRUE(harness_->WaitFor([&] {
        face = FindColour(window_, RGB(255, 255, 0));
        crop = FindColour(window_, RGB(0, 255, 0));
        Found red = FindColour(window_, RGB(255, 0, 0));
        if (red.count > crop.count) crop = red;
        return face.count > 100 && crop.count > 200;
    })) << "no face box and crop box on the portrait preview";
    EXPECT_GE(crop.left, 70);
    EXPECT_LE(crop.right, 250);
    EXPECT_GT(face.left, 70);
    EXPECT_LT(face.right, 250);
    EXPECT_EQ(platform::BackingPixel(window_, 10, 120), RGB(255, 255, 255));
    EXPECT_EQ(platform::BackingPixel(window_, 300, 120), RGB(255, 255, 255));
    harness_->Driver().CameraStopPreview();
}

TEST_F(PreviewDriverTest, WithoutACascadeTheSmallSquareShows) {
    const std::string missing = harness_->DataFolder() + "/no-cascade-here";
    Set("AutoFaceFile", reinterpret_cast<std::intptr_t>(missing.c_str()));
    Set("idPhoto", 1);
    Set("FaceDetect", 1);
    Set("FrameChecked", 1);
    harness_->Driver().CameraStartPreview();
    ASSERT_TRUE(harness_->WaitFor([&] {
        return platform::BackingPixel(window_, 5, 5) == RGB(255, 255, 0) &&
               platform::BackingPixel(window_, 10, 10) == RGB(255, 255, 0);
    }));
    EXPECT_FALSE(Gray(platform::BackingPixel(window_, 160, 200), 0));
    harness_->Driver().CameraStopPreview();
}

} // namespace
