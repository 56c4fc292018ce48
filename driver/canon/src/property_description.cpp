#include "property_description.h"

namespace canon {

PrError PropertyDescription::Read(PrCameraHandle camera, std::uint16_t property) {
    bytes_.fill(0);
    std::uint32_t size = static_cast<std::uint32_t>(bytes_.size());
    return PR_GetDevicePropDesc(camera, property, &size, bytes_.data());
}

std::uint8_t PropertyDescription::Check(std::uint16_t property, std::uint16_t type,
                                        std::uint8_t getSet) const {
    if (Code() != property) return kWrongCode;
    if (DataType() != type) return kWrongType;
    if (GetSet() != getSet) return kWrongGetSet;
    return 0;
}

std::uint8_t PropertyDescription::Byte(std::size_t offset) const {
    return offset < bytes_.size() ? bytes_[offset] : 0;
}

std::uint16_t PropertyDescription::Word(std::size_t offset) const {
    return static_cast<std::uint16_t>(Byte(offset) | (Byte(offset + 1) << 8));
}

} // namespace canon
