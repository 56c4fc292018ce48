// TLZW on its own: streams made by the test encoder, against the data they encode.
#include "LZW_Module.h"
#include "tiff_files.h"

#include <gtest/gtest.h>

using namespace rktest;
using rasterkit::TLZW;

namespace {

Bytes decode(const Bytes& strip, size_t capacity) {
    Bytes out(capacity, 0xAA);
    TLZW lzw;
    out.resize(lzw.decode(strip, out));
    return out;
}

// Long enough to fill the table several times over, with repeats (KwKwK codes).
Bytes sampleData(size_t size) {
    Bytes data(size);
    uint32_t state = 12345;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        data[i] = (i / 300) % 2 ? static_cast<uint8_t>(state >> 24) : static_cast<uint8_t>(i % 7);
    }
    return data;
}

struct StreamCase {
    const char* name;
    LzwOptions options;
};

TEST(RasterkitLzw, ExpandsStreamsOfEveryShape) {
    const StreamCase cases[] = {
        {"ClearAt4093", {true, true, 4093}}, // the Clear code at 12 bits
        {"ClearAt4094", {true, true, 4094}}, // the last moment for a Clear
        {"EarlyClear", {true, true, 600}},   // Clear at 10 bits
        {"NoEndOfInformation", {true, false, 4093}},
        {"NoLeadingClear", {false, true, 4093}}, // decoded as if it began with Clear
        {"TableRunsFull", {true, true, 0}},      // never cleared: no entries past 4095
    };
    const Bytes data = sampleData(60000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes strip = lzwEncode(data, c.options);
        EXPECT_EQ(decode(strip, data.size()), data);
    }
}

TEST(RasterkitLzw, RepeatedBytesUseCodesBeingDefined) {
    const Bytes data(5000, 'x');
    EXPECT_EQ(decode(lzwEncode(data), data.size()), data);
}

TEST(RasterkitLzw, StopsWhenTheOutputIsFull) {
    const Bytes data = sampleData(5000);
    const Bytes strip = lzwEncode(data);
    for (size_t capacity : std::vector<size_t>{0, 1, 17, 4999}) {
        Bytes out(capacity + 16, 0xAA);
        TLZW lzw;
        const size_t n = lzw.decode(strip, std::span<uint8_t>(out.data(), capacity));
        EXPECT_EQ(n, capacity);
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + capacity, data.begin()));
        EXPECT_TRUE(
            std::all_of(out.begin() + capacity, out.end(), [](uint8_t b) { return b == 0xAA; }));
    }
}

TEST(RasterkitLzw, StopsAtTheEndOfTheInput) {
    const Bytes data = sampleData(5000);
    const Bytes strip = lzwEncode(data);
    for (size_t cut : std::vector<size_t>{0, 1, 2, 100, strip.size() / 2}) {
        const Bytes out = decode(Bytes(strip.begin(), strip.begin() + cut), data.size());
        EXPECT_LT(out.size(), data.size());
        EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin())) << cut;
    }
}

TEST(RasterkitLzw, StopsAtACodeBeyondTheNextFree) {
    // Clear, 'A', then 300 while the next free code is 258 (after A there is none yet).
    const Bytes strip = {0x80, 0x10, 0x65, 0x80};
    const Bytes out = decode(strip, 16);
    EXPECT_EQ(out, Bytes{'A'});
    // A code above 255 right after a Clear has no meaning either.
    EXPECT_TRUE(decode({0x80, 0x40, 0x80, 0x00}, 16).empty());
}

} // namespace
