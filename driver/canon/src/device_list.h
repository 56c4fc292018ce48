// The SDK's device list: a 32-bit count and 1106-byte entries, the model name as UTF-16
// at byte 1024 of each entry.
#pragma once

#include "prsdk/prsdk.h"

#include <cstdint>
#include <string>
#include <vector>

namespace canon {

// Room the driver offers first: ten devices.
inline constexpr std::uint32_t kListRoomForTen = 11064;
// The one-shot buffer used when the camera object opens its camera.
inline constexpr std::uint32_t kOpenListSize = 20480;
// The most the driver allocates when the SDK asks for a larger buffer.
inline constexpr std::uint32_t kMaxListSize = PR_DEVICE_LIST_SIZE(1024);

class DeviceList {
public:
    // Reads the list into a buffer of the given room. With retry, an answer "buffer too
    // small" (low 16 bits 99) is asked again with the size the SDK wrote back.
    PrError Read(std::uint32_t room, bool retry);
    // Devices in the list (never more than the bytes received hold).
    std::uint32_t Count() const { return count_; }
    const void* Entry(std::uint32_t i) const;
    // The model name of device i as ANSI text of at most maxBytes.
    std::string Model(std::uint32_t i, std::size_t maxBytes) const;

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t count_ = 0;
};

} // namespace canon
