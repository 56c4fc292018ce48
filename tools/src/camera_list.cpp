#include "camera_list.h"

#include <cstring>

namespace lensporttool {

std::vector<CameraEntry> CopyCameraList(const lensport::CameraList* list) {
    std::vector<CameraEntry> cameras;
    if (list == nullptr || list->first == nullptr || list->last == nullptr ||
        list->last < list->first) {
        return cameras;
    }
    const auto count = static_cast<std::size_t>(list->last - list->first);
    for (std::size_t i = 0; i < count && i < kMaxCameras; ++i) {
        const lensport::CameraListEntry& entry = list->first[i];
        // The name field is zero-padded, but a full field has no terminator.
        cameras.push_back(
            {std::string(entry.name, strnlen(entry.name, sizeof entry.name)), entry.id});
    }
    return cameras;
}

std::vector<CameraEntry> ReadCameraList(const DriverBinding& driver) {
    return CopyCameraList(driver.GenerateCameraList());
}

} // namespace lensporttool
