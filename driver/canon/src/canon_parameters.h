// The camera's shooting settings as named parameters: which property stands behind each
// name, how its values are listed in a value-list file, and how list positions or code
// texts are set. The value maps remember, per list, which camera code each listed
// position stands for. Used on the host's GUI thread only.
#pragma once

#include "prsdk/prsdk.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace canon {

class PropertyDescription;

// A parameter whose property offers an enumeration of codes.
struct ListParameter {
    std::string_view name;
    std::uint16_t property;
    std::uint16_t type; // PR_PTP_TYPE_UINT8 or PR_PTP_TYPE_UINT16
    int digits;         // hexadecimal digits of a list name (2 or 4)
    bool zeroEndsList;  // a code 0 after the first entry ends the list
    bool needsXp;       // listed only from Windows XP (5.1) on
};

inline constexpr std::array<ListParameter, 12> kListParameters{{
    {"AvValue", PR_PROP_AV, PR_PTP_TYPE_UINT16, 4, false, false},
    {"TvValue", PR_PROP_TV, PR_PTP_TYPE_UINT16, 4, false, false},
    {"ISO", PR_PROP_ISO, PR_PTP_TYPE_UINT16, 4, false, false},
    {"FocusPoint", PR_PROP_FOCUS_POINT, PR_PTP_TYPE_UINT16, 4, false, false},
    {"PhotoEffect", PR_PROP_PHOTO_EFFECT, PR_PTP_TYPE_UINT16, 4, false, true},
    {"ShootingMode", PR_PROP_SHOOTING_MODE, PR_PTP_TYPE_UINT8, 4, false, false},
    {"AFDistance", PR_PROP_AF_DISTANCE, PR_PTP_TYPE_UINT8, 4, false, false},
    {"WBSetting", PR_PROP_WB_SETTING, PR_PTP_TYPE_UINT8, 4, false, false},
    {"FlashMode", PR_PROP_FLASH_MODE, PR_PTP_TYPE_UINT8, 4, false, false},
    {"ExposureComp", PR_PROP_EXPOSURE_COMP, PR_PTP_TYPE_UINT8, 4, true, false},
    {"FlashComp", PR_PROP_FLASH_COMP, PR_PTP_TYPE_UINT8, 2, true, false},
    {"MLMode", PR_PROP_ML_MODE, PR_PTP_TYPE_UINT8, 2, false, false},
}};

// Most pairs "ImageFormatAttribute" lists; a camera offering more is cut off there.
inline constexpr std::size_t kMaxImageFormatPairs = 4096;

// Upper-case hexadecimal with leading zeros.
std::string HexName(std::uint16_t code, int digits);

class CanonParameters {
public:
    bool Set(PrCameraHandle camera, std::string_view name, std::intptr_t value);
    bool SetDirect(PrCameraHandle camera, std::string_view name, const char* text);
    std::int32_t Get(PrCameraHandle camera, std::string_view name, std::int32_t defaultValue);
    // Writes the parameter's value list; 0 for a name without one.
    std::int32_t Enumerate(PrCameraHandle camera, std::string_view name, const char* listFile,
                           const char* section);

    std::int32_t ReadAngle(PrCameraHandle camera, std::int32_t defaultValue);

private:
    struct Target {
        const char* file;
        const char* section;
        std::string_view name;
    };

    std::int32_t EnumerateList(PrCameraHandle camera, std::size_t row, const Target& target);
    std::int32_t EnumerateImageFormat(PrCameraHandle camera, const Target& target);
    std::int32_t EnumerateFocusLock(const Target& target);
    std::int32_t EnumerateZoom(PrCameraHandle camera, const Target& target, bool maximum);
    std::int32_t EnumerateDigitalZoom(PrCameraHandle camera, const Target& target);

    bool SetListPosition(PrCameraHandle camera, std::size_t row, std::intptr_t position);
    bool SetImageFormatPosition(PrCameraHandle camera, std::intptr_t position);
    bool SetImageFormat(PrCameraHandle camera, std::uint8_t compression, std::uint8_t size);
    bool SetFocusLock(PrCameraHandle camera, bool locked);
    bool SetZoom(PrCameraHandle camera, std::intptr_t position);

    std::int32_t ReadZoomPosition(PrCameraHandle camera, std::int32_t defaultValue);

    std::array<std::vector<std::uint16_t>, kListParameters.size()> lists_;
    // Per listed pair: the 0xD008 (compression) code and the 0xD006 (image size) code.
    std::vector<std::pair<std::uint8_t, std::uint8_t>> imageFormats_;
    bool focusLockCleared_ = false;
};

} // namespace canon
