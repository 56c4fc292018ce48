#include "IFD_Module.h"

#include <algorithm>

namespace rasterkit {
namespace {

enum Tag : uint16_t {
    ImageWidth = 256,
    ImageLength = 257,
    BitsPerSample = 258,
    Compression = 259,
    PhotometricInterpretation = 262,
    FillOrder = 266,
    StripOffsets = 273,
    Orientation = 274,
    SamplesPerPixel = 277,
    RowsPerStrip = 278,
    StripByteCounts = 279,
    PlanarConfiguration = 284,
    Predictor = 317,
    ColorMap = 320,
};

constexpr size_t kEntrySize = 12;
constexpr uint16_t kPredictorHorizontal = 2;

uint16_t read16(std::span<const uint8_t> s, size_t pos) {
    return static_cast<uint16_t>(s[pos] | (s[pos + 1] << 8));
}

uint32_t read32(std::span<const uint8_t> s, size_t pos) {
    return static_cast<uint32_t>(s[pos]) | (static_cast<uint32_t>(s[pos + 1]) << 8) |
           (static_cast<uint32_t>(s[pos + 2]) << 16) | (static_cast<uint32_t>(s[pos + 3]) << 24);
}

// Bytes per value of a TIFF field type. BYTE-like types keep 8 bits, SHORT-like 16 and
// every other type is read as 32 bits (an 8-byte type gives its first 32-bit word).
size_t elementSize(uint16_t type) {
    switch (type) {
    case 1: // BYTE
    case 2: // ASCII
    case 6: // SBYTE
    case 7: // UNDEFINED
        return 1;
    case 3: // SHORT
    case 8: // SSHORT
        return 2;
    case 5:  // RATIONAL
    case 10: // SRATIONAL
    case 12: // DOUBLE
        return 8;
    default:
        return 4;
    }
}

uint16_t saturate16(uint32_t v) {
    return static_cast<uint16_t>(std::min<uint32_t>(v, 0xFFFF));
}

bool fits(std::span<const uint8_t> s, uint64_t pos, uint64_t length) {
    return pos <= s.size() && length <= s.size() - pos;
}

} // namespace

TIFD::TIFD(std::span<const uint8_t> stream) : stream_(stream) {
    read();
}

void TIFD::read() {
    const std::span<const uint8_t> stream = stream_;
    if (stream.size() < 8) return fail("file image shorter than a TIFF header");
    // Big-endian files would be read as garbage: refuse them instead.
    if (stream[0] == 'M' && stream[1] == 'M') return fail("big-endian TIFF");
    const uint32_t directory = read32(stream, 4);
    if (!fits(stream, directory, 2)) return fail("directory outside the file image");
    const uint16_t entries = read16(stream, directory);
    if (entries == 0) return fail("directory without entries");
    if (!fits(stream, uint64_t{directory} + 2, uint64_t{entries} * kEntrySize))
        return fail("directory entries outside the file image");
    for (uint32_t i = 0; i < entries && valid(); ++i) {
        Entry entry;
        if (readEntry(directory + 2 + i * kEntrySize, entry)) applyEntry(entry);
    }
    if (!valid()) return;
    const uint64_t next = uint64_t{directory} + 2 + uint64_t{entries} * kEntrySize;
    if (fits(stream, next, 4)) nextDirectoryOffset = read32(stream, next);
    applyDefaults();
}

void TIFD::fail(std::string_view why) {
    if (problem_.empty()) problem_ = why;
}

// False for an entry whose values lie outside the file image. Entries of tags the
// decoder ignores are not held against the file.
bool TIFD::readEntry(size_t pos, Entry& entry) {
    entry.tag = read16(stream_, pos);
    entry.type = read16(stream_, pos + 2);
    entry.count = read32(stream_, pos + 4);
    const uint64_t length = uint64_t{entry.count} * elementSize(entry.type);
    if (length <= 4) {
        entry.dataPos = pos + 8;
        return true;
    }
    const uint32_t offset = read32(stream_, pos + 8);
    if (!fits(stream_, offset, length)) {
        switch (entry.tag) {
        case ImageWidth:
        case ImageLength:
        case BitsPerSample:
        case Compression:
        case PhotometricInterpretation:
        case StripOffsets:
        case SamplesPerPixel:
        case RowsPerStrip:
        case StripByteCounts:
        case PlanarConfiguration:
        case Predictor:
        case ColorMap:
            fail("directory entry values outside the file image");
            break;
        default:
            break;
        }
        return false;
    }
    entry.dataPos = offset;
    return true;
}

uint32_t TIFD::valueAt(const Entry& entry, uint32_t index) const {
    const size_t size = elementSize(entry.type);
    const size_t pos = entry.dataPos + size_t{index} * size;
    switch (size) {
    case 1:
        return stream_[pos];
    case 2:
        return read16(stream_, pos);
    default:
        return read32(stream_, pos);
    }
}

void TIFD::readValues(const Entry& entry, std::vector<uint32_t>& values) const {
    values.resize(entry.count);
    for (uint32_t i = 0; i < entry.count; ++i)
        values[i] = valueAt(entry, i);
}

void TIFD::applyEntry(const Entry& entry) {
    if (entry.count == 0) return; // no value: as if absent
    const uint32_t value = valueAt(entry, 0);
    switch (entry.tag) {
    case ImageWidth:
    case ImageLength:
        if (value > 0xFFFF) return fail("picture dimension above 65535");
        (entry.tag == ImageWidth ? width : height) = static_cast<uint16_t>(value);
        break;
    case BitsPerSample:
        bitsPerSample = saturate16(value);
        sawBitsPerSample_ = true;
        mixedBitsPerSample = false;
        for (uint32_t i = 1; i < entry.count; ++i)
            if (valueAt(entry, i) != value) mixedBitsPerSample = true;
        break;
    case Compression:
        compression = saturate16(value);
        sawCompression_ = true;
        break;
    case PhotometricInterpretation:
        photometricInterpretation = saturate16(value);
        break;
    case FillOrder:
        fillOrder = saturate16(value);
        break;
    case StripOffsets:
        if (entry.count > 0xFFFF) return fail("more than 65535 strips");
        readValues(entry, stripOffsets);
        stripCount = static_cast<uint16_t>(entry.count);
        sawStripOffsets_ = true;
        break;
    case Orientation:
        orientation = saturate16(value);
        break;
    case SamplesPerPixel:
        samplesPerPixel = saturate16(value);
        sawSamplesPerPixel_ = true;
        break;
    case RowsPerStrip:
        declaredRowsPerStrip_ = value;
        sawRowsPerStrip_ = true;
        break;
    case StripByteCounts:
        readValues(entry, stripByteCounts);
        stripByteCountsRead = true;
        break;
    case PlanarConfiguration:
        planarConfiguration = saturate16(value);
        sawPlanarConfiguration_ = true;
        break;
    case Predictor:
        horizontalDifferencing = value == kPredictorHorizontal;
        break;
    case ColorMap:
        colorMap.resize(entry.count);
        for (uint32_t i = 0; i < entry.count; ++i)
            colorMap[i] = static_cast<uint16_t>(valueAt(entry, i));
        colorMapRead = true;
        break;
    default:
        break;
    }
}

// TIFF's own defaults for the tags a directory may omit. PhotometricInterpretation has
// none and stays 0 (WhiteIsZero).
void TIFD::applyDefaults() {
    if (!sawStripOffsets_) return fail("no StripOffsets");
    if (orientation == 0) orientation = 1;
    if (fillOrder == 0) fillOrder = 1;
    if (!sawSamplesPerPixel_) samplesPerPixel = 1;
    if (!sawBitsPerSample_) bitsPerSample = 1;
    if (!sawCompression_) compression = 1;
    if (!sawPlanarConfiguration_) planarConfiguration = 1;
    // Absent, 0 or beyond the picture: one strip holds the whole picture.
    if (!sawRowsPerStrip_ || declaredRowsPerStrip_ == 0 || declaredRowsPerStrip_ > height)
        rowsPerStrip = height;
    else
        rowsPerStrip = static_cast<uint16_t>(declaredRowsPerStrip_);
    bitsPerPixel = uint32_t{samplesPerPixel} * bitsPerSample;
}

} // namespace rasterkit
