// Taking a picture: the release thread releases the shutter, transfers the full image
// into the numbered file and the thumbnail into a file it deletes again, and tells the
// caller's window about the progress and the end.
//
// Every transfer goes through a temporary file that takes the picture's name only when
// the camera delivered all of it and all of it was written. The end message is posted
// for every capture whose shutter was released (callers wait for it), but its number
// then names either the complete picture or no file at all; a capture that could not be
// stored is logged as "ErrorCode10:0x%08X" with the SDK's transfer status or the file
// system's error.
#include "canon_camera.h"
#include "lensport/capture_naming.h"
#include "lensport/log.h"
#include "lensport/messages.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace canon {
namespace {

constexpr std::uint32_t kFullImageBlock = 0x100000;
constexpr std::uint32_t kThumbnailBlock = 0x10000;
constexpr WPARAM kFileReceivedWParam = 32;
constexpr int kTransferLogCode = 10;

// The file path buffer holds 260 characters; a prefix that fills it has no room for
// its terminating zero and is not used as a name.
constexpr std::size_t kPathBuffer = lensport::kMaxPrefix + 1;

} // namespace

std::int32_t CanonCamera::Release(const char* prefix, HWND notify) {
    // Captures don't overlap: the previous release thread has ended (or ends now).
    releaseThread_.Join();
    const std::size_t length = prefix != nullptr ? strnlen(prefix, kPathBuffer) : 0;
    prefixTooLong_ = length >= kPathBuffer;
    filePath_.assign(prefix != nullptr && !prefixTooLong_ ? prefix : "",
                     prefixTooLong_ ? 0 : length);
    notify_ = notify;
    return releaseThread_.Start([this] { RunRelease(); }) ? 1 : 0;
}

void CanonCamera::RunRelease() {
    const PrError error = PR_RC_Release(camera_.load());
    if (error != PR_OK) {
        HWND top = lensport::TopLevelAncestor(HostParent());
        lensport::LogErrorCode(8, error);
        lensport::PostDriverMessage(top, lensport::DriverMessage::GoingToShutdown, 1, 0);
        return;
    }
    const std::string prefix = filePath_;
    const std::int32_t n = lensport::NextCaptureNumber();
    const std::string picture = lensport::CaptureFileName(prefix, n, false);
    transferFailure_ = prefixTooLong_ ? ENAMETOOLONG : 0;
    bool stored = false;
    if (releaseFlags_ & 1) {
        filePath_ = picture;
        stored = TransferObject(fullImage_, PR_EVENT_FULL_IMAGE_READY, kFullImageBlock);
    }
    filePath_ = lensport::CaptureFileName(prefix, n, true);
    if (releaseFlags_ & 2) TransferObject(thumbnail_, PR_EVENT_THUMBNAIL_READY, kThumbnailBlock);
    if (!prefixTooLong_) unlink(filePath_.c_str());
    if (!stored) lensport::LogErrorCode(kTransferLogCode, transferFailure_);
    lensport::PostDriverMessage(notify_, lensport::DriverMessage::FileReceived, kFileReceivedWParam,
                                n);
}

// True when the object arrived whole and carries its name (the file path buffer).
bool CanonCamera::TransferObject(PrObjectHandle object, std::uint16_t eventCode,
                                 std::uint32_t blockSize) {
    transferStored_ = false;
    const PrError error = PR_RC_GetReleasedData(camera_.load(), object, eventCode, blockSize, this,
                                                &CanonCamera::OnData);
    // A transfer the SDK ended without its end message is incomplete.
    if (output_.IsOpen()) {
        output_.Finish(false);
        NoteTransferFailure(error != PR_OK ? error : static_cast<std::uint32_t>(EIO));
    }
    if (!transferStored_ && transferFailure_ == 0) NoteTransferFailure(error);
    return transferStored_;
}

void CanonCamera::NoteTransferFailure(std::uint32_t code) {
    if (transferFailure_ == 0) transferFailure_ = code;
}

PrError CanonCamera::OnData(PrCameraHandle, PrObjectHandle, PrContext context,
                            PrProgress* progress) {
    if (context != nullptr && progress != nullptr) {
        static_cast<CanonCamera*>(context)->HandleProgress(*progress);
    }
    return PR_OK;
}

void CanonCamera::HandleProgress(const PrProgress& progress) {
    switch (progress.message) {
    case PR_PROGRESS_START:
        if (prefixTooLong_) break;
        if (!output_.Begin(filePath_, progress.totalLength)) NoteTransferFailure(output_.Error());
        break;
    case PR_PROGRESS_DATA:
        // Without an open file the blocks are dropped and nobody is told of progress.
        if (!output_.IsOpen()) break;
        output_.Write(progress.offset, progress.data, progress.length);
        lensport::SendDriverMessage(notify_, lensport::DriverMessage::ProgressStatus,
                                    progress.percentComplete, 0);
        break;
    case PR_PROGRESS_END:
        if (!output_.IsOpen()) break;
        transferStored_ = output_.Finish(progress.status == PR_OK);
        if (!transferStored_) {
            NoteTransferFailure(progress.status != PR_OK
                                    ? progress.status
                                    : static_cast<std::uint32_t>(output_.Error()));
        }
        break;
    default:
        break;
    }
}

} // namespace canon
