// A property's PTP DevicePropDesc dataset as PR_GetDevicePropDesc returns it, with the
// fields the driver reads. Every read is bounds-checked against the buffer.
#pragma once

#include "prsdk/prsdk.h"

#include <array>
#include <cstdint>

namespace canon {

inline constexpr std::uint8_t kWrongCode = 0xFF;
inline constexpr std::uint8_t kWrongType = 0xFE;
inline constexpr std::uint8_t kWrongGetSet = 0xFD;
inline constexpr std::uint8_t kWrongForm = 0xFC;

class PropertyDescription {
public:
    // Clears the buffer and asks the SDK; the SDK's code.
    PrError Read(PrCameraHandle camera, std::uint16_t property);

    std::uint16_t Code() const { return Word(0); }
    std::uint16_t DataType() const { return Word(2); }
    std::uint8_t GetSet() const { return Byte(4); }
    bool Wide() const { return DataType() == PR_PTP_TYPE_UINT16; }
    std::uint16_t Current() const { return Wide() ? Word(7) : Byte(6); }

    // 0 when code, data type and get/set are the expected ones, else the shape code.
    std::uint8_t Check(std::uint16_t property, std::uint16_t type, std::uint8_t getSet) const;

    std::uint8_t Byte(std::size_t offset) const;
    std::uint16_t Word(std::size_t offset) const;

private:
    std::array<std::uint8_t, PR_PROP_DESC_MAX> bytes_{};
};

} // namespace canon
