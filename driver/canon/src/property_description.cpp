#include "property_description.h"

#include <algorithm>

namespace canon {

PrError PropertyDescription::Read(PrCameraHandle camera, std::uint16_t property) {
    bytes_.fill(0);
    std::uint32_t size = static_cast<std::uint32_t>(bytes_.size());
    return PR_GetDevicePropDesc(camera, property, &size, bytes_.data());
}

std::size_t PropertyDescription::EnumCount() const {
    const std::size_t first = FormData() + 2;
    const std::size_t room = (bytes_.size() - first) / ValueSize();
    return std::min<std::size_t>(Word(FormData()), room);
}

std::uint16_t PropertyDescription::EnumValue(std::size_t i) const {
    return i < EnumCount() ? Value(FormData() + 2 + i * ValueSize()) : 0;
}

std::uint8_t PropertyDescription::Check(const Shape& shape) const {
    if (Code() != shape.property) return kWrongCode;
    if (shape.type && DataType() != *shape.type) return kWrongType;
    if (shape.getSet && GetSet() != *shape.getSet) return kWrongGetSet;
    if (shape.form && Form() != *shape.form) return kWrongForm;
    return 0;
}

std::uint8_t PropertyDescription::Byte(std::size_t offset) const {
    return offset < bytes_.size() ? bytes_[offset] : 0;
}

std::uint16_t PropertyDescription::Word(std::size_t offset) const {
    return static_cast<std::uint16_t>(Byte(offset) | (Byte(offset + 1) << 8));
}

} // namespace canon
