#include "LZW_Module.h"

#include <algorithm>
#include <cstring>

namespace rasterkit {
namespace {

constexpr uint32_t kFirstWidth = 9;
constexpr uint32_t kMaxCodeWidth = 12;
// Strings are copied in blocks of this size, a whole block even for shorter strings.
constexpr size_t kBlock = 16;

// Every byte value, followed by a block of padding so that a single byte is copied like
// any other string.
constexpr std::array<uint8_t, 256 + kBlock> kByteValues = [] {
    std::array<uint8_t, 256 + kBlock> values{};
    for (size_t i = 0; i < 256; ++i)
        values[i] = static_cast<uint8_t>(i);
    return values;
}();

inline void copyBlock(uint8_t* target, const uint8_t* source) {
    uint8_t block[kBlock];
    std::memcpy(block, source, kBlock);
    std::memcpy(target, block, kBlock);
}

// Copies a string that ends at or before target (or, for a code being defined, one byte
// into it; see expandRun) in whole blocks. The caller leaves room for the rounded-up
// length: the bytes written past the string belong to the strings that follow, or are
// cleared at the end.
inline void copyBlocks(uint8_t* target, const uint8_t* source, size_t length) {
    copyBlock(target, source);
    for (size_t i = kBlock; i < length; i += kBlock)
        copyBlock(target + i, source + i);
}

// Codes most significant bit first, across byte boundaries, taken from a 64-bit
// accumulator filled eight bytes at a time while the strip has that many left.
class CodeReader {
public:
    static constexpr uint32_t kCodesPerWord = 56 / kMaxCodeWidth;

    explicit CodeReader(std::span<const uint8_t> strip)
        : next_(strip.data()), end_(strip.data() + strip.size()),
          wordLimit_(strip.size() >= 8 ? reinterpret_cast<uintptr_t>(end_) - 7 : 0) {}

    // Fills the accumulator and tells how many codes of up to 12 bits it surely holds
    // now: four after a whole word, otherwise one when width bits are left, or none.
    uint32_t refill(uint32_t width) {
        if (reinterpret_cast<uintptr_t>(next_) < wordLimit_) [[likely]] {
            // Whole bytes only; the bits of a partly taken byte are taken again, to the
            // same place, by the next refill.
            uint64_t word;
            std::memcpy(&word, next_, 8);
            bits_ |= __builtin_bswap64(word) >> count_;
            next_ += (63 - count_) >> 3;
            count_ |= 56;
            return kCodesPerWord;
        }
        while (count_ < width && next_ < end_) {
            bits_ |= uint64_t{*next_++} << (56 - count_);
            count_ += 8;
        }
        return count_ >= width ? 1 : 0;
    }

    // Takes a code the last refill made sure of.
    uint32_t take(uint32_t width) {
        const auto code = static_cast<uint32_t>(bits_ >> (64 - width));
        bits_ <<= width;
        count_ -= width;
        return code;
    }

    // False when the strip holds fewer than width bits more.
    bool read(uint32_t width, uint32_t& code) {
        if (refill(width) == 0) return false;
        code = take(width);
        return true;
    }

private:
    const uint8_t* next_;
    const uint8_t* const end_;
    const uintptr_t wordLimit_; // a whole 64-bit word can be read below this place
    uint64_t bits_ = 0;         // unread bits at the top, zeros below (or bits read again later)
    uint32_t count_ = 0;        // unread bits in bits_
};

// The width grows once the entry just made is 510, 1022 or 2046, that is when the next
// free code is one below a power of two; at 12 bits it stays until the next Clear.
constexpr uint32_t growthPoint(uint32_t width) {
    return width < kMaxCodeWidth ? (1u << width) - 1 : UINT32_MAX;
}

} // namespace

TLZW::TLZW() {
    for (uint32_t b = 0; b < 256; ++b)
        table_[b] = Entry{kByteValues.data() + b, 1};
}

// The state stays in locals so that it stays in registers.
size_t TLZW::decode(std::span<const uint8_t> strip, std::span<uint8_t> output) {
    CodeReader reader(strip);
    Entry* const table = table_.data();
    uint8_t* const out = output.data();
    uint8_t* const outEnd = out + output.size();
    // Strings that end below this leave room for a whole last block.
    const uintptr_t blockLimit =
        output.size() >= kBlock - 1 ? reinterpret_cast<uintptr_t>(outEnd) - (kBlock - 1) : 0;
    uint8_t* target = out;
    const uint8_t* previous = nullptr; // the previous code's string
    size_t previousLength = 0;
    uint32_t width = kFirstWidth;
    uint32_t growAt = growthPoint(width);
    uint32_t next = kEndOfInformation + 1; // the next free code
    // At the strip's start and after each Clear only a single byte is defined: it starts
    // a run of codes that each define an entry.
    const auto startRun = [&] {
        width = kFirstWidth;
        growAt = growthPoint(width);
        next = kEndOfInformation + 1;
        uint32_t code = 0;
        do {
            if (!reader.read(width, code)) return false;
        } while (code == kClear);
        if (code > 255 || target == outEnd) return false;
        *target = static_cast<uint8_t>(code);
        previous = target++;
        previousLength = 1;
        return true;
    };
    bool running = startRun();
    // The codes go in groups that one refill of the accumulator is enough for.
    for (uint32_t codes = 0; running && (codes = reader.refill(width)) > 0;) {
        do {
            const uint32_t code = reader.take(width);
            // The entry this code defines is known before the code: the previous string
            // and the byte written next. Prepared now, a code being defined needs no case
            // of its own. While the table is full it lands in the spare last entry.
            table[next] = Entry{previous, previousLength + 1};
            if ((code - kClear < 2) | (code > next)) [[unlikely]] {
                // End of information, or beyond the next free code: damaged data.
                running = code == kClear && startRun();
                break;
            }
            const Entry entry = table[code];
            if (reinterpret_cast<uintptr_t>(target) + entry.length <= blockLimit) [[likely]] {
                copyBlocks(target, entry.source, entry.length);
                // A code being defined ends with its own first byte, which the block copy
                // read before it was written.
                if (code == next) target[previousLength] = *previous;
            } else {
                const size_t n = std::min<size_t>(entry.length, outEnd - target);
                const size_t whole = code == next ? std::min(n, previousLength) : n;
                std::memcpy(target, entry.source, whole);
                if (whole < n) target[whole] = *previous;
                if (n < entry.length) {
                    target += n;
                    running = false; // the output is full
                    break;
                }
            }
            // A full table takes no more entries (codes keep their meaning until the next
            // Clear).
            next += next < kTableSize;
            if (next == growAt) [[unlikely]]
                growAt = growthPoint(++width);
            previous = target;
            previousLength = entry.length;
            target += entry.length;
        } while (--codes > 0);
    }
    // Block copies may have run ahead of the last string; what was not expanded is 0.
    std::memset(target, 0, outEnd - target);
    return target - out;
}

} // namespace rasterkit
