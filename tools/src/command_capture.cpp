// lensport capture: pictures taken through CameraRelease, each waited for through the
// driver's messages to the notify window, whose thread (this one) keeps pumping so the
// sent progress messages never stall the transfer.
#include "capture_files.h"
#include "commands.h"
#include "exit_codes.h"
#include "progress_bar.h"
#include "session.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lensporttool {
namespace {

// A picture of many megabytes over a slow link still arrives well within this.
constexpr std::chrono::seconds kPictureBound(120);

// The driver numbers from 1 in every process, so a second run would write the names
// of the first one again: existing pictures are kept unless asked otherwise.
void RefuseOverwriting(const std::string& prefixPath, int count) {
    for (int n = 1; n <= count; ++n) {
        const std::string name = PictureName(prefixPath, n);
        std::error_code ec;
        if (fs::exists(name, ec)) {
            throw ToolError(kExitNotWritable,
                            name + " exists already; choose another --folder or --prefix, or "
                                   "give --overwrite");
        }
    }
}

// A picture of an earlier run must not pass for one the driver failed to write.
void RemoveEarlierPictures(const std::string& prefixPath, int count) {
    for (int n = 1; n <= count; ++n) {
        const std::string name = PictureName(prefixPath, n);
        std::error_code ec;
        if (!fs::remove(name, ec) && ec) {
            throw ToolError(kExitNotWritable, "can't replace " + name + ": " + ec.message());
        }
    }
}

struct CaptureState {
    std::optional<long> counter;
};

long TakeOne(const DriverBinding& driver, Session& session, const std::string& prefixPath,
             ProgressBar& bar, int index, int count) {
    CaptureState state;
    session.onFileReceived = [&state](long n) { state.counter = n; };
    session.onProgress = [&bar](int percent) { bar.Update(percent); };
    bar.Start("picture " + std::to_string(index) + " of " + std::to_string(count));
    const std::int32_t started = driver.CameraRelease(prefixPath.c_str(), session.NotifyWindow());
    if (started != 1) {
        bar.Finish();
        throw ToolError(kExitFailure, "the driver did not start the capture (CameraRelease gave " +
                                          std::to_string(started) + ")");
    }
    session.Wait([&state] { return state.counter.has_value(); }, kPictureBound);
    bar.Finish();
    session.onFileReceived = nullptr;
    session.onProgress = nullptr;
    if (session.CameraShutDown()) {
        throw ToolError(kExitFailure, "the camera refused to release the shutter or went away "
                                      "(see errors.log in the data folder)");
    }
    if (!state.counter) {
        throw ToolError(kExitFailure, "no picture arrived within " +
                                          std::to_string(kPictureBound.count()) + " seconds");
    }
    return *state.counter;
}

// The driver reports the end also when it could not write the file.
std::uintmax_t CheckWritten(const std::string& name) {
    std::error_code ec;
    const auto size = fs::file_size(name, ec);
    if (ec || size == 0) {
        throw ToolError(kExitNotWritable, "the picture could not be written to " + name +
                                              (ec ? ": " + ec.message() : ": the file is empty"));
    }
    return size;
}

} // namespace

int RunCapture(const Options& options, const DriverBinding& driver, const DataFiles& files) {
    const std::string folder = PrepareCaptureFolder(options.folder);
    const std::string prefixPath = folder + "/" + options.prefix;
    if (prefixPath.size() > kMaxPrefixPath) {
        throw ToolError(kExitUsage, "the picture path " + prefixPath + " is longer than " +
                                        std::to_string(kMaxPrefixPath) + " characters");
    }
    if (options.overwrite) {
        RemoveEarlierPictures(prefixPath, options.count);
    } else {
        RefuseOverwriting(prefixPath, options.count);
    }

    Session session(driver, files);
    session.OpenCamera();
    ProgressBar bar(stderr, isatty(fileno(stderr)) != 0);
    for (int i = 1; i <= options.count; ++i) {
        const long n = TakeOne(driver, session, prefixPath, bar, i, options.count);
        const std::string name = PictureName(prefixPath, n);
        const auto size = CheckWritten(name);
        std::printf("%s\t%ju bytes\n", name.c_str(), size);
        std::fflush(stdout);
    }
    return kExitOk;
}

} // namespace lensporttool
