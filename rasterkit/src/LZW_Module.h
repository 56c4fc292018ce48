// TLZW: expands one LZW-compressed TIFF strip (codes of 9 to 12 bits, most significant
// bit first, the code width growing one code early).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace rasterkit {

class TLZW {
public:
    static constexpr uint32_t kClear = 256;
    static constexpr uint32_t kEndOfInformation = 257;
    static constexpr uint32_t kTableSize = 4096;

    TLZW();

    // Expands the strip into output and returns the number of bytes written. Expansion
    // stops at End of information, at the end of the input, when the output is full and
    // at a code beyond the next free one (damaged data); the output bytes after the
    // returned count are set to 0.
    size_t decode(std::span<const uint8_t> strip, std::span<uint8_t> output);

    // A string of the table. Single bytes point into a constant table of all byte
    // values; every longer string is a run of bytes already written to the output (the
    // previous code's string followed by the first byte of the code after it).
    struct Entry {
        const uint8_t* source = nullptr;
        size_t length = 0;
    };

private:
    // Entries 0 to 255 are set once; Clear and End of information hold no string. The
    // extra last entry takes the entry prepared while the table is full, so that no
    // code has to test for that.
    std::array<Entry, kTableSize + 1> table_{};
};

} // namespace rasterkit
