// A reference decode with libjpeg for checking the library's JPEG streams.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace prsdk_test {

struct Decoded {
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<std::uint8_t> pixels; // RGB rows
    bool warnings = false;            // libjpeg reported corrupt or premature data
};

std::optional<Decoded> DecodeJpeg(const std::vector<std::uint8_t>& data);

} // namespace prsdk_test
