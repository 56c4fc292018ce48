// The run-time switches the host and the panels set with SetApplicationParameter. The
// GUI thread and the SDK's event thread write them; the preview worker reads them once
// per frame. Each is a single atomic word; the options file path has its own lock.
#pragma once

#include "platform/types.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace lensport {

// Result of SetApplicationParameter: 0 handled, 1 a name the driver does not know.
inline constexpr std::uint8_t kParameterHandled = 0;
inline constexpr std::uint8_t kParameterUnknown = 1;

// Longest paths accepted through "AutoFaceFile" and "OptionsFile".
inline constexpr std::size_t kMaxFaceFolder = 235;
inline constexpr std::size_t kMaxOptionsFile = 254;

class PreviewSettings {
public:
    std::atomic<int> rotation{0}; // 0, 90, 180 or -90
    std::atomic<bool> autoOrientation{false};
    std::atomic<int> angleCode{0};
    std::atomic<bool> idPhoto{false};
    std::atomic<bool> faceDetect{false};
    std::atomic<bool> frameChecked{false};
    std::atomic<int> frames{1};
    std::atomic<int> faceX{0}, faceY{0}, faceW{0}, faceH{0};
    std::atomic<int> zoom{0}, verticalOffset{0}, horizontalOffset{0};
    std::atomic<float> aspectWidth{0.0f}, aspectHeight{0.0f};
    std::atomic<HWND> buttonsHandle{nullptr};
    std::atomic<HWND> configHandle{nullptr};

    std::string OptionsFile() const;
    void SetOptionsFile(const std::string& path);

    // "PreviewOrienataion" value v: 0 fixed upright, 1 follow the camera, 2 the fixed
    // rotation of the options file; other values change nothing.
    void ApplyOrientation(std::intptr_t v);
    // The camera reported a new angle: remember it and, with automatic orientation on,
    // let the preview follow.
    void CameraTurned(int angle);

    // Handles the application parameters common to every build; kParameterUnknown for
    // names this table does not hold.
    std::uint8_t Apply(const char* name, std::intptr_t value);

private:
    mutable std::mutex optionsLock_;
    std::string optionsFile_;
};

// The rotation in degrees for a camera angle code, or false for an unknown code.
bool RotationFromAngle(int angle, int* rotation);

// A zero-terminated text at a caller's address, at most maxLength characters; false for
// a null address or a longer text.
bool CopyBoundedText(std::intptr_t address, std::size_t maxLength, std::string* out);

} // namespace lensport
