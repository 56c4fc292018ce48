#include "LZW_Module.h"

#include <algorithm>
#include <cstring>

namespace rasterkit {
namespace {

constexpr uint32_t kMaxCodeWidth = 12;
constexpr uint32_t kNoPrevious = TLZW::kClear;

} // namespace

void TLZW::resetTable() {
    lastAssigned_ = kEndOfInformation;
    codeWidth_ = 9;
}

bool TLZW::readCode(uint32_t& code) {
    if (bitsUnread_ < codeWidth_) {
        if (input_.size() - inputPosition_ >= 4) {
            uint32_t word;
            std::memcpy(&word, input_.data() + inputPosition_, 4);
            bitBuffer_ = (bitBuffer_ << 32) | __builtin_bswap32(word);
            inputPosition_ += 4;
            bitsUnread_ += 32;
        } else {
            while (bitsUnread_ < codeWidth_) {
                if (inputPosition_ >= input_.size()) return false;
                bitBuffer_ = (bitBuffer_ << 8) | input_[inputPosition_++];
                bitsUnread_ += 8;
            }
        }
    }
    bitsUnread_ -= codeWidth_;
    code = static_cast<uint32_t>(bitBuffer_ >> bitsUnread_) & ((1u << codeWidth_) - 1);
    return true;
}

// The width grows once the entry just made is 510, 1022 or 2046; a full table takes no
// more entries (codes keep their meaning until the next Clear).
void TLZW::addEntry(uint32_t offset, uint32_t length) {
    if (lastAssigned_ + 1 >= kTableSize) return;
    table_[++lastAssigned_] = Entry{offset, length};
    if (lastAssigned_ + 2 == (1u << codeWidth_) && codeWidth_ < kMaxCodeWidth) ++codeWidth_;
}

size_t TLZW::decode(std::span<const uint8_t> strip, std::span<uint8_t> output) {
    input_ = strip;
    inputPosition_ = 0;
    bitBuffer_ = 0;
    bitsUnread_ = 0;
    resetTable();
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
        } else if (code <= lastAssigned_) {
            const Entry& entry = table_[code];
            length = entry.length;
            const size_t n = std::min<size_t>(length, capacity - position);
            std::memcpy(out + position, out + entry.offset, n);
            if (n < length) return position + n;
        } else if (code == lastAssigned_ + 1) {
            // The string being defined: the previous string and its own first byte.
            length = previousLength + 1;
            const size_t n = std::min<size_t>(previousLength, capacity - position);
            std::memcpy(out + position, out + previousOffset, n);
            if (n < previousLength || position + previousLength >= capacity) return position + n;
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
    return position;
}

} // namespace rasterkit
