#include "device_list.h"

#include "lensport/value_list.h"

#include <algorithm>
#include <cstring>

namespace canon {

PrError DeviceList::Read(std::uint32_t room, bool retry) {
    count_ = 0;
    for (;;) {
        bytes_.assign(room, 0);
        std::uint32_t size = room;
        const PrError error = PR_GetDeviceList(&size, bytes_.data());
        if (error == PR_OK) {
            const std::uint32_t used = std::min(size, room);
            std::uint32_t claimed = 0;
            if (used >= 4) std::memcpy(&claimed, bytes_.data(), 4);
            const std::uint32_t fits = used >= 4 ? (used - 4) / PR_DEVICE_ENTRY_SIZE : 0;
            count_ = std::min(claimed, fits);
            return PR_OK;
        }
        const bool tooSmall = PR_ERROR_CODE(error) == 99;
        // A size that does not grow, or grows past the bound, would loop or exhaust memory.
        if (!retry || !tooSmall || size <= room || size > kMaxListSize) return error;
        room = size;
    }
}

const void* DeviceList::Entry(std::uint32_t i) const {
    return i < count_ ? bytes_.data() + 4 + static_cast<std::size_t>(i) * PR_DEVICE_ENTRY_SIZE
                      : nullptr;
}

std::string DeviceList::Model(std::uint32_t i, std::size_t maxBytes) const {
    const auto* entry = static_cast<const std::uint8_t*>(Entry(i));
    if (entry == nullptr) return {};
    return lensport::Utf16ToAnsi(entry + PR_DEVICE_MODEL_OFFSET, PR_DEVICE_MODEL_CHARS, maxBytes);
}

} // namespace canon
