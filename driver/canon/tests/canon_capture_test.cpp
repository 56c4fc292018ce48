// Taking pictures through the built Canon driver: numbering, file names, the bytes
// written, progress and end messages, and what is left on disk when a capture fails.
#include "driver_harness.h"

#include "platform/window.h"
#include "prsdk/prsdk_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace drivertest {
namespace {

namespace fs = std::filesystem;

const char* const kCamera = "[camera]\nmodel = PowerShot A80\npicture = 1024x768\n";
// A picture of several transfer blocks (1 MiB each).
const char* const kLargePicture =
    "[camera]\nmodel = PowerShot A80\npicture = 640x480\npicture_bytes = 2621440\n";

const char* const kFileReceived = "Camera Event File Received";
const char* const kProgress = "Camera Event Progress Status";
const char* const kShutdown = "Camera going to shutdown";

// Captures whose shutter was released in this process: the driver's counter lives as
// long as the library, which stays loaded across the tests of one run.
int g_released = 0;

int NextExpectedNumber() {
    return ++g_released;
}

std::string Numbered(const std::string& prefix, long n, const char* tail = ".jpg") {
    char number[32];
    std::snprintf(number, sizeof number, "%06ld", n);
    return prefix + number + tail;
}

std::string LastCapture() {
    std::string bytes(PRSIM_GetLastCapture(nullptr, 0), '\0');
    PRSIM_GetLastCapture(bytes.data(), bytes.size());
    return bytes;
}

std::set<std::string> FolderEntries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class CanonCaptureTest : public ::testing::Test {
protected:
    void Open(const char* scenario) {
        harness_.reset(); // its teardown resets the simulated cameras
        harness_ = std::make_unique<DriverHarness>(scenario);
        ASSERT_TRUE(harness_->Loaded());
        ASSERT_NE(harness_->Create(), nullptr);
        pictures_ = harness_->DataFolder() + "/Out";
        fs::create_directories(pictures_);
    }

    // Starts a capture and waits for its end message; the message, or none.
    std::optional<ReceivedMessage> Capture(const std::string& prefix, HWND notify) {
        const std::size_t before = h().Received(kFileReceived).size();
        EXPECT_EQ(h().Driver().CameraRelease(prefix.c_str(), notify), 1);
        if (!h().WaitFor([&] { return h().Received(kFileReceived).size() > before; }))
            return std::nullopt;
        return h().Received(kFileReceived).back();
    }

    DriverHarness& h() { return *harness_; }
    std::unique_ptr<DriverHarness> harness_;
    std::string pictures_;
};

// ---- Names, numbers and bytes ----------------------------------------------------------

TEST_F(CanonCaptureTest, PictureIsNumberedWrittenWholeAndItsThumbnailRemoved) {
    Open(kCamera);
    const std::string prefix = pictures_ + "/A_";
    const int n = NextExpectedNumber();
    // The thumbnail's name is cleared even when something else had it.
    std::ofstream(Numbered(prefix, n, "_TUMB.jpg")) << "stale";
    const auto end = Capture(prefix, h().ButtonsWindow());
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(end->window, h().ButtonsWindow());
    EXPECT_EQ(end->wParam, 32u);
    EXPECT_EQ(end->lParam, n);
    if (n == 1) {
        EXPECT_TRUE(fs::exists(pictures_ + "/A_000001.jpg")) << "first capture";
    }
    EXPECT_EQ(ReadFile(Numbered(prefix, n)), LastCapture());
    EXPECT_GT(LastCapture().size(), 100000u);
    EXPECT_EQ(FolderEntries(pictures_), std::set<std::string>{Numbered("A_", n)})
        << "no thumbnail and no temporary file left behind";
    EXPECT_EQ(h().ErrorsLog(), "");
}

TEST_F(CanonCaptureTest, EveryBlockIsReportedBeforeTheEnd) {
    Open(kLargePicture);
    const std::string prefix = pictures_ + "/P_";
    const int n = NextExpectedNumber();
    const auto end = Capture(prefix, h().ButtonsWindow());
    ASSERT_TRUE(end.has_value());
    const std::string picture = LastCapture();
    EXPECT_EQ(ReadFile(Numbered(prefix, n)), picture);
    const std::vector<ReceivedMessage> progress = h().Received(kProgress);
    // Full image in 1 MiB blocks, then the thumbnail in 64 KiB blocks.
    const std::size_t fullBlocks = (picture.size() + 0xFFFFF) / 0x100000;
    ASSERT_GT(progress.size(), fullBlocks);
    WPARAM last = 0;
    for (std::size_t i = 0; i < fullBlocks; ++i) {
        EXPECT_EQ(progress[i].window, h().ButtonsWindow());
        EXPECT_EQ(progress[i].lParam, 0);
        EXPECT_GE(progress[i].wParam, last);
        last = progress[i].wParam;
    }
    EXPECT_EQ(last, 100u);
    EXPECT_EQ(progress.back().wParam, 100u) << "the thumbnail's last block";
}

TEST_F(CanonCaptureTest, NumberingGoesOnWithANewCameraObject) {
    Open(kCamera);
    const std::string prefix = pictures_ + "/N_";
    const int first = NextExpectedNumber();
    ASSERT_EQ(Capture(prefix, h().ButtonsWindow())->lParam, first);
    ASSERT_NE(h().Create(), nullptr); // replaces the object
    const int second = NextExpectedNumber();
    ASSERT_EQ(second, first + 1);
    const auto end = Capture(prefix, h().ButtonsWindow());
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(end->lParam, second);
    EXPECT_TRUE(fs::exists(Numbered(prefix, first)));
    EXPECT_EQ(ReadFile(Numbered(prefix, second)), LastCapture());
}

TEST_F(CanonCaptureTest, WithoutANotifyWindowThePictureIsStillWritten) {
    Open(kCamera);
    const std::string prefix = pictures_ + "/Q_";
    const int n = NextExpectedNumber();
    ASSERT_EQ(h().Driver().CameraRelease(prefix.c_str(), nullptr), 1);
    // The picture appears under its name only once complete.
    ASSERT_TRUE(h().WaitFor([&] { return fs::exists(Numbered(prefix, n)); }));
    h().Driver().DestroyModuleWindow(); // the release thread has ended afterwards
    EXPECT_EQ(ReadFile(Numbered(prefix, n)), LastCapture());
    EXPECT_TRUE(h().Received(kFileReceived).empty());
    EXPECT_TRUE(h().Received(kProgress).empty());
    EXPECT_EQ(FolderEntries(pictures_), std::set<std::string>{Numbered("Q_", n)});
}

TEST_F(CanonCaptureTest, PrefixWithoutAFolderWritesIntoTheCurrentDirectory) {
    Open(kCamera);
    const fs::path previous = fs::current_path();
    fs::current_path(pictures_);
    const int n = NextExpectedNumber();
    const auto end = Capture("R_", h().ButtonsWindow());
    fs::current_path(previous);
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(end->lParam, n);
    EXPECT_EQ(ReadFile(Numbered(pictures_ + "/R_", n)), LastCapture());
    EXPECT_EQ(FolderEntries(pictures_), std::set<std::string>{Numbered("R_", n)});
}

TEST_F(CanonCaptureTest, LongestPrefixIsUsedWhole) {
    Open(kCamera);
    // 259 characters: the longest prefix a caller may pass.
    std::string prefix = pictures_ + "/";
    prefix += std::string(259 - prefix.size(), 'L');
    ASSERT_EQ(prefix.size(), 259u);
    const int n = NextExpectedNumber();
    ASSERT_TRUE(Capture(prefix, h().ButtonsWindow()).has_value());
    EXPECT_EQ(ReadFile(Numbered(prefix, n)), LastCapture());
}

// ---- Failures ----------------------------------------------------------------------------

TEST_F(CanonCaptureTest, RefusedReleaseWritesNothingAndKeepsTheNumber) {
    Open(kCamera);
    const std::string prefix = pictures_ + "/S_";
    PRSIM_FailNextCall("PR_RC_Release", 0x01000031u);
    ASSERT_EQ(h().Driver().CameraRelease(prefix.c_str(), h().ButtonsWindow()), 1);
    ASSERT_TRUE(h().WaitFor([&] { return !h().Received(kShutdown).empty(); }));
    const ReceivedMessage shutdown = h().Received(kShutdown)[0];
    EXPECT_EQ(shutdown.window, h().HostWindow());
    EXPECT_EQ(shutdown.wParam, 1u);
    EXPECT_EQ(shutdown.lParam, 0);
    EXPECT_NE(h().ErrorsLog().find(":ErrorCode8:0x01000031"), std::string::npos);
    h().Pump(50);
    EXPECT_TRUE(h().Received(kFileReceived).empty());
    EXPECT_TRUE(FolderEntries(pictures_).empty());
    // The refused capture used no number.
    const int n = NextExpectedNumber();
    EXPECT_EQ(Capture(prefix, h().ButtonsWindow())->lParam, n);
}

// Every way a picture can fail to be stored ends the capture the same way: the end
// message with the capture's number, no file under that number, nothing temporary left
// beside it, and a log line with the reason.
struct StoreFailure {
    const char* what;
    std::string (*prefix)(const std::string& folder, int n);
    void (*arrange)();
    unsigned logged;
};

const StoreFailure kStoreFailures[] = {
    {"folder missing", [](const std::string& folder, int) { return folder + "/missing/B_"; }, [] {},
     ENOENT},
    {"picture name taken by a folder",
     [](const std::string& folder, int n) {
         fs::create_directory(Numbered(folder + "/D_", n));
         return folder + "/D_";
     },
     [] {}, EISDIR},
    {"transfer refused", [](const std::string& folder, int) { return folder + "/E_"; },
     [] { PRSIM_FailNextCall("PR_RC_GetReleasedData", 0x01000044u); }, 0x01000044u},
    {"prefix of 260 characters",
     [](const std::string& folder, int) {
         std::string prefix = folder + "/";
         return prefix + std::string(260 - prefix.size(), 'T');
     },
     [] {}, ENAMETOOLONG},
};

TEST_F(CanonCaptureTest, PictureThatCannotBeStoredLeavesNoFileAndIsLogged) {
    for (const StoreFailure& c : kStoreFailures) {
        SCOPED_TRACE(c.what);
        Open(kCamera);
        const int n = NextExpectedNumber();
        const std::string prefix = c.prefix(pictures_, n);
        const std::set<std::string> before = FolderEntries(pictures_);
        c.arrange();
        const auto end = Capture(prefix, h().ButtonsWindow());
        ASSERT_TRUE(end.has_value());
        EXPECT_EQ(end->wParam, 32u);
        EXPECT_EQ(end->lParam, n);
        if (c.logged != EISDIR) {
            EXPECT_FALSE(fs::exists(Numbered(prefix, n)));
        }
        if (prefix.size() >= 260) {
            EXPECT_FALSE(fs::exists(Numbered(prefix.substr(0, 259), n))) << "nor a shortened one";
        }
        EXPECT_EQ(FolderEntries(pictures_), before);
        char line[32];
        std::snprintf(line, sizeof line, ":ErrorCode10:0x%08X\n", c.logged);
        EXPECT_NE(h().ErrorsLog().find(line), std::string::npos) << h().ErrorsLog();
        if (c.logged == ENOENT) {
            EXPECT_TRUE(h().Received(kProgress).empty());
        }
        harness_.reset();
    }
}

// The second block of the full image waits for the first progress message, which the
// test answers by pulling the cable.
TEST_F(CanonCaptureTest, BrokenOffTransferLeavesNoPictureUnderItsName) {
    Open(kLargePicture);
    PRSIM_SetTransferDelay(30);
    const std::string prefix = pictures_ + "/F_";
    const int n = NextExpectedNumber();
    // An older picture under the same name is not passed off as this one.
    std::ofstream(Numbered(prefix, n)) << "an older picture";
    ASSERT_EQ(h().Driver().CameraRelease(prefix.c_str(), h().ButtonsWindow()), 1);
    ASSERT_TRUE(h().WaitFor([&] { return !h().Received(kProgress).empty(); }));
    PRSIM_Unplug(0);
    ASSERT_TRUE(h().WaitFor([&] { return !h().Received(kFileReceived).empty(); }));
    EXPECT_EQ(h().Received(kFileReceived)[0].lParam, n);
    EXPECT_LT(h().Received(kProgress).size(), 3u);
    EXPECT_FALSE(fs::exists(Numbered(prefix, n)));
    EXPECT_TRUE(FolderEntries(pictures_).empty()) << "nothing temporary left";
    char line[32];
    std::snprintf(line, sizeof line, ":ErrorCode10:0x%08X\n", PR_ERR_DEVICE_DISCONNECTED);
    EXPECT_NE(h().ErrorsLog().find(line), std::string::npos) << h().ErrorsLog();
}

TEST_F(CanonCaptureTest, ObjectWithoutACameraReportsTheRefusedRelease) {
    harness_ = std::make_unique<DriverHarness>("[sdk]\nframe_interval_ms = 30\n");
    ASSERT_NE(h().Create(), nullptr);
    ASSERT_EQ(h().Driver().CameraRelease("/tmp/none_", h().ButtonsWindow()), 1);
    ASSERT_TRUE(h().WaitFor([&] { return !h().Received(kShutdown).empty(); }));
    EXPECT_EQ(h().Received(kShutdown)[0].window, h().HostWindow());
    EXPECT_NE(h().ErrorsLog().find(":ErrorCode8:"), std::string::npos);
}

} // namespace
} // namespace drivertest
