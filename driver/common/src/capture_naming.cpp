#include "lensport/capture_naming.h"

#include <atomic>
#include <cstdio>

namespace lensport {
namespace {
std::atomic<std::int32_t> g_captureCounter{0};
}

std::int32_t NextCaptureNumber() {
    return ++g_captureCounter;
}

std::string CaptureFileName(const std::string& prefix, std::int32_t n, bool thumbnail) {
    char number[32];
    std::snprintf(number, sizeof number, thumbnail ? "%06d_TUMB.%s" : "%06d.%s", n, "jpg");
    return prefix + number;
}

} // namespace lensport
