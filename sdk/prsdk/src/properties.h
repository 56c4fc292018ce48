// The PTP device properties of a simulated camera and their DevicePropDesc datasets.
#pragma once

#include "jpeg_codec.h"

#include <cstdint>
#include <map>
#include <vector>

namespace prsim {

struct Property {
    std::uint16_t code = 0;
    std::uint16_t dataType = 0; // PR_PTP_TYPE_UINT8 or PR_PTP_TYPE_UINT16
    std::uint8_t getSet = 0;    // PR_PTP_READ_ONLY or PR_PTP_READ_WRITE
    std::uint8_t form = 0;      // PR_PTP_FORM_*
    std::uint16_t factoryDefault = 0;
    std::uint16_t current = 0;
    std::uint16_t minimum = 0; // range form
    std::uint16_t maximum = 0;
    std::uint16_t step = 0;
    std::vector<std::uint16_t> values; // enumeration form, in the camera's order
};

using PropertyTable = std::map<std::uint16_t, Property>;

// Enumerations longer than this are refused in scenarios (a description must fit the
// 20480-byte buffer callers use).
constexpr std::size_t kMaxEnumValues = 4096;

// The properties every simulated camera has unless its scenario says otherwise.
PropertyTable DefaultProperties();

// Size in bytes of one value of the property's data type (1 or 2).
std::uint32_t ValueSize(const Property& property);
// Largest value the data type holds.
std::uint32_t ValueLimit(std::uint16_t dataType);

// The PTP DevicePropDesc dataset, little-endian.
Bytes DescribeProperty(const Property& property);

enum class ValueCheck { Ok, ReadOnly, WrongSize, NotOffered };
// Whether value (size bytes) may be set on the property.
ValueCheck CheckNewValue(const Property& property, std::uint32_t size, std::uint32_t value);

} // namespace prsim
