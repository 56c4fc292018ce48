#include "LZW_Module.h"

#include <algorithm>
#include <cstring>

namespace rasterkit {
namespace {

constexpr uint32_t kMaxCodeWidth = 12;
constexpr uint32_t kNoPrevious = TLZW::kClear;

} // namespace

namespace {

// Copies length bytes that end at or before target (source + length <= target) in
// 16-byte blocks when the output has room for the rounded-up length; the bytes written
// past target + length are overwritten by the strings that follow or cleared at the end.
inline void copyString(uint8_t* target, const uint8_t* source, size_t length, size_t room) {
    if (((length + 15) & ~size_t{15}) <= room) {
        for (size_t i = 0; i < length; i += 16) {
            uint8_t block[16];
            std::memcpy(block, source + i, 16);
            std::memcpy(target + i, block, 16);
        }
    } else {
        std::memcpy(target, source, length);
    }
}

} // namespace

size_t TLZW::decode(std::span<const uint8_t> strip, std::span<uint8_t> output) {
    // The decoding state lives in locals so that it stays in registers.
    const uint8_t* const input = strip.data();
    const size_t inputSize = strip.size();
    size_t inputPosition = 0;
    uint64_t bitBuffer = 0;
    uint32_t bitsUnread = 0;
    uint32_t codeWidth = 9;
    uint32_t lastAssigned = kEndOfInformation;
    const auto resetTable = [&] {
        lastAssigned = kEndOfInformation;
        codeWidth = 9;
    };
    // Codes are read most significant bit first, across byte boundaries.
    const auto readCode = [&](uint32_t& code) {
        if (bitsUnread < codeWidth) {
            if (inputSize - inputPosition >= 4) {
                uint32_t word;
                std::memcpy(&word, input + inputPosition, 4);
                bitBuffer = (bitBuffer << 32) | __builtin_bswap32(word);
                inputPosition += 4;
                bitsUnread += 32;
            } else {
                while (bitsUnread < codeWidth) {
                    if (inputPosition >= inputSize) return false;
                    bitBuffer = (bitBuffer << 8) | input[inputPosition++];
                    bitsUnread += 8;
                }
            }
        }
        bitsUnread -= codeWidth;
        code = static_cast<uint32_t>(bitBuffer >> bitsUnread) & ((1u << codeWidth) - 1);
        return true;
    };
    // The width grows once the entry just made is 510, 1022 or 2046; a full table takes
    // no more entries (codes keep their meaning until the next Clear).
    const auto addEntry = [&](uint32_t offset, uint32_t length) {
        if (lastAssigned + 1 >= kTableSize) return;
        table_[++lastAssigned] = Entry{offset, length};
        if (lastAssigned + 2 == (1u << codeWidth) && codeWidth < kMaxCodeWidth) ++codeWidth;
    };
    uint8_t* const out = output.data();
    const size_t capacity = output.size();
    size_t position = 0;
    uint32_t previous = kNoPrevious;
    size_t previousOffset = 0;
    uint32_t previousLength = 0;
    uint32_t code = 0;
    while (readCode(code)) {
        if (code == kEndOfInformation) break;
        if (code == kClear) {
            resetTable();
            previous = kNoPrevious;
            continue;
        }
        uint32_t length;
        if (code < 256) {
            if (position >= capacity) break;
            out[position] = static_cast<uint8_t>(code);
            length = 1;
        } else if (previous == kNoPrevious) {
            // Right after a Clear (or at a strip that lacks one) only single bytes are
            // defined.
            break;
        } else if (code <= lastAssigned) {
            const Entry& entry = table_[code];
            length = entry.length;
            if (length > capacity - position) {
                std::memcpy(out + position, out + entry.offset, capacity - position);
                position = capacity;
                break;
            }
            copyString(out + position, out + entry.offset, length, capacity - position);
        } else if (code == lastAssigned + 1) {
            // The string being defined: the previous string and its own first byte.
            length = previousLength + 1;
            if (length > capacity - position) {
                const size_t n = std::min<size_t>(previousLength, capacity - position);
                std::memcpy(out + position, out + previousOffset, n);
                position += n;
                break;
            }
            copyString(out + position, out + previousOffset, previousLength, capacity - position);
            out[position + previousLength] = out[previousOffset];
        } else {
            break; // beyond the next free code: damaged data
        }
        if (previous != kNoPrevious)
            addEntry(static_cast<uint32_t>(previousOffset), previousLength + 1);
        previous = code;
        previousOffset = position;
        previousLength = length;
        position += length;
    }
    // Block copies may have run ahead of the last string; what was not expanded is 0.
    std::memset(out + position, 0, capacity - position);
    return position;
}

} // namespace rasterkit
