// Taking a picture: the release thread releases the shutter, transfers the full image
// into the numbered file and the thumbnail into a file it deletes again, and tells the
// caller's window about the progress and the end.
#include "canon_camera.h"
#include "lensport/capture_naming.h"
#include "lensport/log.h"
#include "lensport/messages.h"

#include <cstring>
#include <unistd.h>

namespace canon {
namespace {
constexpr std::uint32_t kFullImageBlock = 0x100000;
constexpr std::uint32_t kThumbnailBlock = 0x10000;
constexpr std::uint32_t kMessageFileReceivedWParam = 32;
} // namespace

std::int32_t CanonCamera::Release(const char* prefix, HWND notify) {
    // Captures don't overlap: the previous release thread has ended (or ends now).
    releaseThread_.Join();
    filePath_.assign(prefix != nullptr ? prefix : "",
                     prefix != nullptr ? strnlen(prefix, lensport::kMaxPrefix) : 0);
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
    if (releaseFlags_ & 1) {
        filePath_ = lensport::CaptureFileName(prefix, n, false);
        TransferObject(fullImage_, PR_EVENT_FULL_IMAGE_READY, kFullImageBlock);
    }
    filePath_ = lensport::CaptureFileName(prefix, n, true);
    if (releaseFlags_ & 2) TransferObject(thumbnail_, PR_EVENT_THUMBNAIL_READY, kThumbnailBlock);
    unlink(filePath_.c_str());
    lensport::PostDriverMessage(notify_, lensport::DriverMessage::FileReceived,
                                kMessageFileReceivedWParam, n);
}

void CanonCamera::TransferObject(PrObjectHandle object, std::uint16_t eventCode,
                                 std::uint32_t blockSize) {
    PR_RC_GetReleasedData(camera_.load(), object, eventCode, blockSize, this, &CanonCamera::OnData);
    // A transfer the SDK ended without its end message leaves no file open.
    if (output_ != nullptr) {
        std::fclose(output_);
        output_ = nullptr;
    }
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
        if (output_ != nullptr) std::fclose(output_);
        output_ = std::fopen(filePath_.c_str(), "wb");
        break;
    case PR_PROGRESS_DATA:
        if (output_ == nullptr) break;
        if (progress.data != nullptr && progress.length > 0 &&
            std::fseek(output_, static_cast<long>(progress.offset), SEEK_SET) == 0) {
            std::fwrite(progress.data, 1, progress.length, output_);
        }
        lensport::SendDriverMessage(notify_, lensport::DriverMessage::ProgressStatus,
                                    progress.percentComplete, 0);
        break;
    case PR_PROGRESS_END:
        if (output_ != nullptr) {
            std::fclose(output_);
            output_ = nullptr;
        }
        break;
    default:
        break;
    }
}

} // namespace canon
