#include "lensport/camera_module.h"

#include <algorithm>
#include <cstring>

namespace lensport {

CameraModuleBase::CameraModuleBase(int loadCamera, const char* iniPath) : loadCamera_(loadCamera) {
    if (iniPath != nullptr) iniPath_.assign(iniPath, strnlen(iniPath, kMaxIniPath));
}

void CameraModuleBase::SetMonitoringInterval(int milliseconds) {
    monitoringInterval_.store(
        std::clamp(milliseconds, kMinMonitoringInterval, kMaxMonitoringInterval));
}

} // namespace lensport
