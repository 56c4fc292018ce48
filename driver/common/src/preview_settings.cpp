#include "lensport/preview_settings.h"

#include "lensport/face_library.h"
#include "platform/profile.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

namespace lensport {
namespace {

int AsInt(std::intptr_t value) {
    return static_cast<int>(static_cast<std::int32_t>(value));
}
bool AsFlag(std::intptr_t value) {
    return value != 0;
}
HWND AsWindow(std::intptr_t value) {
    return reinterpret_cast<HWND>(value);
}

using Handler = std::function<void(PreviewSettings&, std::intptr_t)>;

struct ParameterEntry {
    std::string_view name;
    Handler apply;
};

float OptionsAspect(const PreviewSettings& s, const char* key, int defaultValue) {
    const std::string file = s.OptionsFile();
    return static_cast<float>(GetPrivateProfileIntA("idPhoto", key, defaultValue, file.c_str()));
}

void LoadFaceCascade(std::intptr_t value) {
    std::string folder;
    if (CopyBoundedText(value, kMaxFaceFolder, &folder)) LoadCascadeFromFolder(folder);
}

void SetOptionsPath(PreviewSettings& s, std::intptr_t value) {
    std::string path;
    if (CopyBoundedText(value, kMaxOptionsFile, &path)) s.SetOptionsFile(path);
}

const std::vector<ParameterEntry>& ParameterTable() {
    static const std::vector<ParameterEntry> table = {
        {"FrameChecked", [](PreviewSettings& s, std::intptr_t v) { s.frameChecked = AsFlag(v); }},
        {"FaceX", [](PreviewSettings& s, std::intptr_t v) { s.faceX = AsInt(v); }},
        {"FaceY", [](PreviewSettings& s, std::intptr_t v) { s.faceY = AsInt(v); }},
        {"FaceW", [](PreviewSettings& s, std::intptr_t v) { s.faceW = AsInt(v); }},
        {"FaceH", [](PreviewSettings& s, std::intptr_t v) { s.faceH = AsInt(v); }},
        {"Zoom", [](PreviewSettings& s, std::intptr_t v) { s.zoom = AsInt(v); }},
        {"VO", [](PreviewSettings& s, std::intptr_t v) { s.verticalOffset = AsInt(v); }},
        {"HO", [](PreviewSettings& s, std::intptr_t v) { s.horizontalOffset = AsInt(v); }},
        {"ARX",
         [](PreviewSettings& s, std::intptr_t) { s.aspectWidth = OptionsAspect(s, "ARWidth", 4); }},
        {"ARY", [](PreviewSettings& s,
                   std::intptr_t) { s.aspectHeight = OptionsAspect(s, "ARHeight", 5); }},
        {"AutoFaceDetect", [](PreviewSettings& s, std::intptr_t v) { s.faceDetect = AsFlag(v); }},
        {"FaceDetect", [](PreviewSettings& s, std::intptr_t v) { s.faceDetect = AsFlag(v); }},
        {"AutoFaceFile", [](PreviewSettings&, std::intptr_t v) { LoadFaceCascade(v); }},
        {"OptionsFile", SetOptionsPath},
        {"idPhoto", [](PreviewSettings& s, std::intptr_t v) { s.idPhoto = AsFlag(v); }},
        // The detection interval divides the frame count: below 1 means every frame.
        {"Frames", [](PreviewSettings& s, std::intptr_t v) { s.frames = std::max(1, AsInt(v)); }},
        {"ButtonsHandle",
         [](PreviewSettings& s, std::intptr_t v) { s.buttonsHandle = AsWindow(v); }},
        {"ConfigHandle", [](PreviewSettings& s, std::intptr_t v) { s.configHandle = AsWindow(v); }},
        {"PreviewOrienataion", [](PreviewSettings& s, std::intptr_t v) { s.ApplyOrientation(v); }},
    };
    return table;
}

} // namespace

bool RotationFromAngle(int angle, int* rotation) {
    static constexpr int kRotations[] = {0, 90, 180, -90};
    if (angle < 0 || angle > 3) return false;
    *rotation = kRotations[angle];
    return true;
}

bool CopyBoundedText(std::intptr_t address, std::size_t maxLength, std::string* out) {
    const char* text = reinterpret_cast<const char*>(address);
    if (text == nullptr) return false;
    const std::size_t length = strnlen(text, maxLength + 1);
    if (length > maxLength) return false;
    out->assign(text, length);
    return true;
}

std::string PreviewSettings::OptionsFile() const {
    std::lock_guard lock(optionsLock_);
    return optionsFile_;
}

void PreviewSettings::SetOptionsFile(const std::string& path) {
    std::lock_guard lock(optionsLock_);
    optionsFile_ = path;
}

void PreviewSettings::ApplyOrientation(std::intptr_t v) {
    int turned = 0;
    switch (v) {
    case 0:
        autoOrientation = false;
        rotation = 0;
        break;
    case 1:
        autoOrientation = true;
        if (RotationFromAngle(angleCode.load(), &turned)) rotation = turned;
        break;
    case 2: {
        autoOrientation = false;
        const std::string file = OptionsFile();
        if (GetPrivateProfileIntA("Main", "180", 0, file.c_str()) != 0) {
            rotation = 180;
        } else if (GetPrivateProfileIntA("Main", "m90", 0, file.c_str()) != 0) {
            rotation = -90;
        } else if (GetPrivateProfileIntA("Main", "p90", 1, file.c_str()) != 0) {
            rotation = 90;
        }
        break;
    }
    default:
        break;
    }
}

void PreviewSettings::CameraTurned(int angle) {
    angleCode = angle;
    if (autoOrientation) ApplyOrientation(1);
}

std::uint8_t PreviewSettings::Apply(const char* name, std::intptr_t value) {
    if (name == nullptr) return kParameterUnknown;
    for (const ParameterEntry& entry : ParameterTable()) {
        if (entry.name == name) {
            entry.apply(*this, value);
            return kParameterHandled;
        }
    }
    return kParameterUnknown;
}

} // namespace lensport
