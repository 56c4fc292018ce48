// A property's PTP DevicePropDesc dataset as PR_GetDevicePropDesc returns it, with the
// fields the driver reads. Every read is bounds-checked against the buffer.
#pragma once

#include "prsdk/prsdk.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace canon {

// Shape codes: what of a description is not what a parameter expects.
inline constexpr std::uint8_t kWrongCode = 0xFF;
inline constexpr std::uint8_t kWrongType = 0xFE;
inline constexpr std::uint8_t kWrongGetSet = 0xFD;
inline constexpr std::uint8_t kWrongForm = 0xFC;

// The shape a parameter expects; a field left empty is not checked.
struct Shape {
    std::uint16_t property;
    std::optional<std::uint16_t> type;
    std::optional<std::uint8_t> getSet;
    std::optional<std::uint8_t> form;
};

class PropertyDescription {
public:
    // Clears the buffer and asks the SDK; the SDK's code.
    PrError Read(PrCameraHandle camera, std::uint16_t property);

    std::uint16_t Code() const { return Word(0); }
    std::uint16_t DataType() const { return Word(2); }
    std::uint8_t GetSet() const { return Byte(4); }
    bool Wide() const { return DataType() == PR_PTP_TYPE_UINT16; }
    std::uint16_t Current() const { return Value(Wide() ? 7 : 6); }
    std::uint8_t Form() const { return Byte(Wide() ? 9 : 7); }

    // Range form: the fields after the form byte.
    std::uint16_t Minimum() const { return Value(FormData()); }
    std::uint16_t Maximum() const { return Value(FormData() + ValueSize()); }
    std::uint16_t Step() const { return Value(FormData() + 2 * ValueSize()); }

    // Enumeration form: the number of values that the dataset announces and that fit
    // the buffer, and value i of them.
    std::size_t EnumCount() const;
    std::uint16_t EnumValue(std::size_t i) const;

    // 0 when the description has the shape, else the shape code of the first field
    // that differs (code, data type, get/set, form).
    std::uint8_t Check(const Shape& shape) const;

    std::uint8_t Byte(std::size_t offset) const;
    std::uint16_t Word(std::size_t offset) const;

private:
    std::size_t ValueSize() const { return Wide() ? 2 : 1; }
    std::size_t FormData() const { return Wide() ? 10 : 8; }
    std::uint16_t Value(std::size_t offset) const { return Wide() ? Word(offset) : Byte(offset); }

    std::array<std::uint8_t, PR_PROP_DESC_MAX> bytes_{};
};

} // namespace canon
