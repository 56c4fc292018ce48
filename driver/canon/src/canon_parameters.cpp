#include "canon_parameters.h"

#include "lensport/log.h"
#include "lensport/value_list.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "property_description.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>

namespace canon {
namespace {

constexpr int kSetLogCode = 6;
constexpr int kReadLogCode = 7;
// DigitalZoom: the factor is this over the camera's value.
constexpr double kDigitalZoomBase = 3072.0;

using Description = std::unique_ptr<PropertyDescription>;

Description ReadDescription(PrCameraHandle camera, std::uint16_t property, PrError* error) {
    auto description = std::make_unique<PropertyDescription>();
    *error = description->Read(camera, property);
    return description;
}

// 0 when the description was read and has the shape, else the SDK's or the shape code.
std::uint32_t Problem(PrError error, const PropertyDescription& description, const Shape& shape) {
    return error != PR_OK ? error : description.Check(shape);
}

std::uint32_t ValueSize(std::uint16_t type) {
    return type == PR_PTP_TYPE_UINT8 ? 1u : 2u;
}

// Sets a property to a code of size bytes (its low bytes); a refusal is logged.
bool SetProperty(PrCameraHandle camera, std::uint16_t property, std::uint32_t size,
                 std::uint32_t code) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(code & 0xFF),
                                   static_cast<std::uint8_t>((code >> 8) & 0xFF)};
    const PrError error = PR_SetDevicePropValue(camera, property, size, bytes);
    if (error != PR_OK) lensport::LogErrorCode(kSetLogCode, error);
    return error == PR_OK;
}

// A value that can't be set (no such list position, unreadable text): logged with 0.
bool Refuse() {
    lensport::LogErrorCode(kSetLogCode, 0);
    return false;
}

bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

unsigned HexDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0
               ? static_cast<unsigned>(c - '0')
               : static_cast<unsigned>(std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
}

// Reads a hexadecimal number the way "%x" does (leading blanks, a sign, an optional
// "0x", then digits up to the first other character), keeping its low 32 bits. Empty
// when there is no digit. *end points past the number.
std::optional<std::uint32_t> ParseHex(const char* text, const char** end) {
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p)) != 0)
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && IsHexDigit(p[2])) p += 2;
    if (!IsHexDigit(*p)) return std::nullopt;
    std::uint32_t value = 0;
    for (; IsHexDigit(*p); ++p)
        value = (value << 4) | HexDigit(*p);
    *end = p;
    return negative ? 0u - value : value;
}

std::optional<std::uint32_t> ParseHex(const char* text) {
    const char* end = nullptr;
    return text != nullptr ? ParseHex(text, &end) : std::nullopt;
}

// "%x_%x": two hexadecimal numbers joined by "_".
std::optional<std::pair<std::uint32_t, std::uint32_t>> ParseHexPair(const char* text) {
    if (text == nullptr) return std::nullopt;
    const char* end = nullptr;
    const std::optional<std::uint32_t> first = ParseHex(text, &end);
    if (!first || *end != '_') return std::nullopt;
    const std::optional<std::uint32_t> second = ParseHex(end + 1, &end);
    if (!second) return std::nullopt;
    return std::make_pair(*first, *second);
}

// A zoom position as decimal text: a whole number from 0 to 65535, blanks around it.
std::optional<std::uint16_t> ParseZoomText(const char* text) {
    if (text == nullptr) return std::nullopt;
    std::string_view s(text);
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || value > 0xFFFF)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::string PairName(std::uint16_t compression, std::uint16_t size) {
    return HexName(compression, 4) + "_" + HexName(size, 4);
}

// "%.1f" with a decimal point whatever the process's locale.
std::string OneDecimal(double value) {
    char text[64];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return ec == std::errc() ? std::string(text, end) : std::string("0.0");
}

// Effects that came with Windows XP are offered on XP (5.1) and later, and here.
bool WindowsXpOrLater() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info) || info.dwPlatformId == VER_PLATFORM_LINUX) return true;
    return info.dwMajorVersion > 5 || (info.dwMajorVersion == 5 && info.dwMinorVersion >= 1);
}

const ListParameter* FindList(std::string_view name, std::size_t* row) {
    for (std::size_t i = 0; i < kListParameters.size(); ++i) {
        if (kListParameters[i].name == name) {
            *row = i;
            return &kListParameters[i];
        }
    }
    return nullptr;
}

constexpr Shape EnumerationShape(std::uint16_t property, std::uint16_t type) {
    return {property, type, PR_PTP_READ_WRITE, PR_PTP_FORM_ENUM};
}

constexpr Shape kZoomShape{PR_PROP_ZOOM_POS, PR_PTP_TYPE_UINT16, PR_PTP_READ_WRITE,
                           PR_PTP_FORM_RANGE};
constexpr Shape kZoomReadShape{PR_PROP_ZOOM_POS, PR_PTP_TYPE_UINT16, PR_PTP_READ_WRITE,
                               std::nullopt};
constexpr Shape kDigitalZoomShape{PR_PROP_DIGITAL_ZOOM, PR_PTP_TYPE_UINT16, PR_PTP_READ_ONLY,
                                  std::nullopt};
constexpr Shape kAngleShape{PR_PROP_ANGLE, PR_PTP_TYPE_UINT16, std::nullopt, std::nullopt};

} // namespace

std::string HexName(std::uint16_t code, int digits) {
    char text[8];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(code));
    return text;
}

// ---- Reading -------------------------------------------------------------------------------

std::int32_t CanonParameters::Get(PrCameraHandle camera, std::string_view name,
                                  std::int32_t defaultValue) {
    if (name == "ZoomPos") return ReadZoomPosition(camera, defaultValue);
    if (name == "Angle") return ReadAngle(camera, defaultValue);
    return defaultValue;
}

std::int32_t CanonParameters::ReadAngle(PrCameraHandle camera, std::int32_t defaultValue) {
    PrError error = PR_OK;
    const Description description = ReadDescription(camera, PR_PROP_ANGLE, &error);
    if (description->Check(kAngleShape) != 0) {
        lensport::LogErrorCode(kReadLogCode, 0);
        return defaultValue;
    }
    return description->Current();
}

std::int32_t CanonParameters::ReadZoomPosition(PrCameraHandle camera, std::int32_t defaultValue) {
    PrError error = PR_OK;
    const Description description = ReadDescription(camera, PR_PROP_ZOOM_POS, &error);
    const std::uint32_t problem = Problem(error, *description, kZoomReadShape);
    if (problem != 0) {
        lensport::LogErrorCode(kReadLogCode, problem);
        return defaultValue;
    }
    return description->Current();
}

// ---- Value lists ---------------------------------------------------------------------------

std::int32_t CanonParameters::Enumerate(PrCameraHandle camera, std::string_view name,
                                        const char* listFile, const char* section) {
    const Target target{listFile, section, name};
    std::size_t row = 0;
    if (FindList(name, &row) != nullptr) return EnumerateList(camera, row, target);
    if (name == "ImageFormatAttribute") return EnumerateImageFormat(camera, target);
    if (name == "AFLock") return EnumerateFocusLock(target);
    if (name == "ZoomPos") return EnumerateZoom(camera, target, false);
    if (name == "MaxZoomPos") return EnumerateZoom(camera, target, true);
    if (name == "DigitalZoom") return EnumerateDigitalZoom(camera, target);
    return 0;
}

std::int32_t CanonParameters::EnumerateList(PrCameraHandle camera, std::size_t row,
                                            const Target& target) {
    const ListParameter& parameter = kListParameters[row];
    if (parameter.needsXp && !WindowsXpOrLater()) return -1;
    std::vector<std::uint16_t>& codes = lists_[row];
    codes.clear();
    PrError error = PR_OK;
    const Description description = ReadDescription(camera, parameter.property, &error);
    const std::uint32_t problem =
        Problem(error, *description, EnumerationShape(parameter.property, parameter.type));
    if (problem != 0) {
        // The list file gets 0; the log keeps the reason.
        lensport::WriteListFailure(target.file, target.section, std::string(target.name), 0);
        lensport::LogErrorCode(kReadLogCode, problem);
        return 0;
    }
    lensport::ValueListWriter list(target.file, target.section);
    for (std::size_t i = 0; i < description->EnumCount(); ++i) {
        const std::uint16_t code = description->EnumValue(i);
        if (parameter.zeroEndsList && i > 0 && code == 0) break;
        codes.push_back(code);
        list.AddItem(HexName(code, parameter.digits));
    }
    list.WriteCommaText();
    list.WriteValue(HexName(description->Current(), parameter.digits));
    return list.Count();
}

std::int32_t CanonParameters::EnumerateImageFormat(PrCameraHandle camera, const Target& target) {
    imageFormats_.clear();
    PrError sizeError = PR_OK;
    PrError compressionError = PR_OK;
    const Description size = ReadDescription(camera, PR_PROP_IMAGE_SIZE, &sizeError);
    const Description compression = ReadDescription(camera, PR_PROP_COMPRESSION, &compressionError);
    const PrError error = sizeError != PR_OK ? sizeError : compressionError;
    std::uint32_t shape = size->Check(EnumerationShape(PR_PROP_IMAGE_SIZE, PR_PTP_TYPE_UINT8));
    if (shape == 0)
        shape = compression->Check(EnumerationShape(PR_PROP_COMPRESSION, PR_PTP_TYPE_UINT8));
    if (error != PR_OK || shape != 0) {
        // SDK errors are written as they are; a description of the wrong shape as 0.
        lensport::WriteListFailure(target.file, target.section, std::string(target.name), error);
        lensport::LogErrorCode(kReadLogCode, error != PR_OK ? error : shape);
        return 0;
    }
    lensport::ValueListWriter list(target.file, target.section);
    for (std::size_t c = 0; c < compression->EnumCount(); ++c) {
        for (std::size_t s = 0; s < size->EnumCount(); ++s) {
            if (imageFormats_.size() == kMaxImageFormatPairs) break;
            const auto pair = std::make_pair(static_cast<std::uint8_t>(compression->EnumValue(c)),
                                             static_cast<std::uint8_t>(size->EnumValue(s)));
            imageFormats_.push_back(pair);
            list.AddItem(PairName(pair.first, pair.second));
        }
    }
    if (imageFormats_.size() == kMaxImageFormatPairs) {
        lensport::LogError("ImageFormatAttribute: list cut off after " +
                           std::to_string(kMaxImageFormatPairs) + " pairs");
    }
    list.WriteCommaText();
    list.WriteValue(PairName(compression->Current(), size->Current()));
    return list.Count();
}

std::int32_t CanonParameters::EnumerateFocusLock(const Target& target) {
    lensport::ValueListWriter list(target.file, target.section);
    list.AddItem("On");
    list.AddItem("Off");
    list.WriteCommaText();
    if (focusLockCleared_) {
        // Zooming released the focus lock: the stored choice and the list say "0" once.
        focusLockCleared_ = false;
        WritePrivateProfileStringA("SettingsValues", "AFLock", "0", target.file);
        list.WriteValue("0");
    }
    return list.Count();
}

std::int32_t CanonParameters::EnumerateZoom(PrCameraHandle camera, const Target& target,
                                            bool maximum) {
    PrError error = PR_OK;
    const Description description = ReadDescription(camera, PR_PROP_ZOOM_POS, &error);
    std::uint32_t problem = Problem(error, *description, kZoomShape);
    // A range without a step has no positions to count.
    if (problem == 0 && description->Step() == 0) problem = kWrongForm;
    if (problem != 0) {
        lensport::WriteListFailure(target.file, target.section, std::string(target.name), problem);
        lensport::LogErrorCode(kReadLogCode, problem);
        return 0;
    }
    const std::int32_t positions = description->Maximum() / description->Step();
    lensport::ValueListWriter list(target.file, target.section);
    if (maximum) {
        list.WriteValue(std::to_string(positions));
        return 0;
    }
    list.WriteValue(std::to_string(description->Current()));
    return positions + 1;
}

std::int32_t CanonParameters::EnumerateDigitalZoom(PrCameraHandle camera, const Target& target) {
    PrError error = PR_OK;
    const Description description = ReadDescription(camera, PR_PROP_DIGITAL_ZOOM, &error);
    const std::uint32_t problem = Problem(error, *description, kDigitalZoomShape);
    if (problem != 0) {
        lensport::WriteListFailure(target.file, target.section, std::string(target.name), problem);
        lensport::LogErrorCode(kReadLogCode, problem);
        return 0;
    }
    // The camera's value is signed; zero or less means no digital zoom (and no division).
    const auto current = static_cast<std::int16_t>(description->Current());
    const double factor = current > 0 ? kDigitalZoomBase / current : 0.0;
    lensport::ValueListWriter(target.file, target.section)
        .WriteValue(OneDecimal(factor > 1 ? factor : 0.0));
    return 0;
}

// ---- Setting -------------------------------------------------------------------------------

bool CanonParameters::Set(PrCameraHandle camera, std::string_view name, std::intptr_t value) {
    std::size_t row = 0;
    if (FindList(name, &row) != nullptr) return SetListPosition(camera, row, value);
    if (name == "ImageFormatAttribute") return SetImageFormatPosition(camera, value);
    if (name == "AFLock") return SetFocusLock(camera, value != 0);
    if (name == "ZoomPos") {
        if (!SetZoom(camera, value)) return false;
        focusLockCleared_ = true;
        return true;
    }
    return true;
}

bool CanonParameters::SetDirect(PrCameraHandle camera, std::string_view name, const char* text) {
    std::size_t row = 0;
    if (const ListParameter* parameter = FindList(name, &row)) {
        const std::optional<std::uint32_t> code = ParseHex(text);
        if (!code) return Refuse();
        return SetProperty(camera, parameter->property, ValueSize(parameter->type), *code);
    }
    if (name == "ImageFormatAttribute") {
        const auto codes = ParseHexPair(text);
        if (!codes) return Refuse();
        return SetImageFormat(camera, static_cast<std::uint8_t>(codes->first),
                              static_cast<std::uint8_t>(codes->second));
    }
    if (name == "AFLock") {
        const std::optional<std::uint32_t> code = ParseHex(text);
        if (!code) return Refuse();
        return SetFocusLock(camera, *code != 0);
    }
    if (name == "ZoomPos") {
        // Sets the zoom only; the focus-lock-cleared flag is left as it is.
        const std::optional<std::uint16_t> position = ParseZoomText(text);
        if (!position) return Refuse();
        return SetProperty(camera, PR_PROP_ZOOM_POS, 2, *position);
    }
    return true;
}

bool CanonParameters::SetListPosition(PrCameraHandle camera, std::size_t row,
                                      std::intptr_t position) {
    const std::vector<std::uint16_t>& codes = lists_[row];
    if (position < 0 || static_cast<std::size_t>(position) >= codes.size()) return Refuse();
    const ListParameter& parameter = kListParameters[row];
    return SetProperty(camera, parameter.property, ValueSize(parameter.type),
                       codes[static_cast<std::size_t>(position)]);
}

bool CanonParameters::SetImageFormatPosition(PrCameraHandle camera, std::intptr_t position) {
    if (position < 0 || static_cast<std::size_t>(position) >= imageFormats_.size()) return Refuse();
    const auto [compression, size] = imageFormats_[static_cast<std::size_t>(position)];
    return SetImageFormat(camera, compression, size);
}

// Compression first, then the image size; a refusal of the first sets nothing more.
bool CanonParameters::SetImageFormat(PrCameraHandle camera, std::uint8_t compression,
                                     std::uint8_t size) {
    return SetProperty(camera, PR_PROP_COMPRESSION, 1, compression) &&
           SetProperty(camera, PR_PROP_IMAGE_SIZE, 1, size);
}

bool CanonParameters::SetFocusLock(PrCameraHandle camera, bool locked) {
    const PrError error = locked ? PR_RC_FocusLock(camera) : PR_RC_FocusUnlock(camera);
    if (error != PR_OK) {
        lensport::LogErrorCode(kSetLogCode, error);
        return false;
    }
    focusLockCleared_ = false;
    return true;
}

// The position itself; one that a 16-bit property can't hold is refused, not cut down
// to another position.
bool CanonParameters::SetZoom(PrCameraHandle camera, std::intptr_t position) {
    if (position < 0 || position > 0xFFFF) return Refuse();
    return SetProperty(camera, PR_PROP_ZOOM_POS, 2, static_cast<std::uint32_t>(position));
}

} // namespace canon
