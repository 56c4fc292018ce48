// lensport cameras: the connected cameras, the one the driver opens marked.
#include "camera_list.h"
#include "commands.h"
#include "exit_codes.h"
#include "platform/profile.h"

#include <cstdio>

namespace lensporttool {

int RunCameras(const DriverBinding& driver, const DataFiles& files) {
    const auto cameras = ReadCameraList(driver);
    if (cameras.empty()) throw ToolError(kExitNoCamera, "no camera connected");
    const int active = platform::ProfileInt(files.lmdhostIni, "ActiveCamera", "LoadCamera", 0);
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        const char mark = static_cast<int>(i) == active ? '*' : ' ';
        std::printf("%c %d\t%s\n", mark, cameras[i].id, cameras[i].name.c_str());
    }
    if (active < 0 || static_cast<std::size_t>(active) >= cameras.size()) {
        std::fprintf(stderr,
                     "lensport: lmdhost.ini [ActiveCamera] LoadCamera is %d, which names no "
                     "connected camera\n",
                     active);
    }
    return kExitOk;
}

} // namespace lensporttool
