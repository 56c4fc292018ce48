// The connected cameras as the driver's GenerateCameraList reports them.
#pragma once

#include "driver_binding.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lensporttool {

struct CameraEntry {
    std::string name;
    std::int32_t id = 0;
};

// Lists longer than this are taken as a damaged record and cut.
inline constexpr std::size_t kMaxCameras = 1000;

// Copies the driver's list (it stays the driver's); a damaged record gives an empty list.
std::vector<CameraEntry> CopyCameraList(const lensport::CameraList* list);
std::vector<CameraEntry> ReadCameraList(const DriverBinding& driver);

} // namespace lensporttool
