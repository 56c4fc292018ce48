// TIFD: the first image file directory of a little-endian TIFF file image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace rasterkit {

class TIFD {
public:
    // Reads the directory at once. Every value read is checked against the file image;
    // a directory that cannot be read leaves valid() false and problem() telling why.
    explicit TIFD(std::span<const uint8_t> stream);

    bool valid() const { return problem_.empty(); }
    std::string_view problem() const { return problem_; }

    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t bitsPerSample = 0;
    uint32_t bitsPerPixel = 0;
    uint16_t samplesPerPixel = 0;
    uint16_t compression = 0;
    uint16_t planarConfiguration = 0;
    uint16_t photometricInterpretation = 0;
    uint16_t fillOrder = 0;
    uint16_t orientation = 0;
    uint16_t rowsPerStrip = 0;
    bool horizontalDifferencing = false;
    // Some samples declared with a bit depth other than the first one's.
    bool mixedBitsPerSample = false;
    uint16_t stripCount = 0;
    std::vector<uint32_t> stripOffsets;
    std::vector<uint32_t> stripByteCounts;
    bool stripByteCountsRead = false;
    std::vector<uint16_t> colorMap;
    bool colorMapRead = false;
    uint32_t nextDirectoryOffset = 0;

private:
    struct Entry {
        uint16_t tag = 0;
        uint16_t type = 0;
        uint32_t count = 0;
        size_t dataPos = 0; // where the values are: inside the entry or at its offset
    };

    void read();
    bool readEntry(size_t pos, Entry& entry);
    uint32_t valueAt(const Entry& entry, uint32_t index) const;
    void readValues(const Entry& entry, std::vector<uint32_t>& values) const;
    void applyEntry(const Entry& entry);
    void applyDefaults();
    void fail(std::string_view why);

    std::span<const uint8_t> stream_;
    std::string_view problem_;
    bool sawStripOffsets_ = false;
    bool sawRowsPerStrip_ = false;
    bool sawSamplesPerPixel_ = false;
    bool sawBitsPerSample_ = false;
    bool sawCompression_ = false;
    bool sawPlanarConfiguration_ = false;
    uint32_t declaredRowsPerStrip_ = 0;
};

} // namespace rasterkit
