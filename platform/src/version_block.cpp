#include "version_block.h"

#include <cstring>
#include <string_view>

namespace platform::detail {
namespace {

constexpr std::string_view kSectionName = ".capdeck_version";
constexpr std::string_view kMagic("CDVERSION1\0", 11);
// Limits that no real module comes near; they keep a hostile file from making us
// allocate or loop without end.
constexpr std::uint64_t kMaxSectionCount = 1u << 16;
constexpr std::uint64_t kMaxNamesSize = 1u << 20;
constexpr std::uint64_t kMaxBlockSize = 1u << 16;

constexpr std::uint32_t kShtNobits = 8;
constexpr std::uint16_t kShnXindex = 0xFFFF;
constexpr std::size_t kElfHeaderSize = 64;
constexpr std::size_t kSectionHeaderSize = 64;

template <typename T> T Load(const unsigned char* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value); // the files are little-endian, like this host
    return value;
}

struct SectionHeader {
    std::uint32_t name = 0;
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t link = 0;
};

// True when [offset, offset + size) lies inside the file, without overflowing.
bool Inside(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

struct ElfLayout {
    std::uint64_t sectionOffset = 0;
    std::uint64_t entrySize = 0;
    std::uint64_t count = 0;
    std::uint64_t namesIndex = 0;
};

std::optional<SectionHeader> ReadSectionHeader(const ByteReader& read, const ElfLayout& layout,
                                               std::uint64_t index) {
    unsigned char raw[kSectionHeaderSize];
    if (!read(layout.sectionOffset + index * layout.entrySize, sizeof raw, raw))
        return std::nullopt;
    SectionHeader header;
    header.name = Load<std::uint32_t>(raw + 0);
    header.type = Load<std::uint32_t>(raw + 4);
    header.offset = Load<std::uint64_t>(raw + 24);
    header.size = Load<std::uint64_t>(raw + 32);
    header.link = Load<std::uint32_t>(raw + 40);
    return header;
}

std::optional<ElfLayout> ReadLayout(const ByteReader& read, std::uint64_t fileSize) {
    unsigned char ident[kElfHeaderSize];
    if (fileSize < sizeof ident || !read(0, sizeof ident, ident)) return std::nullopt;
    // ELF, 64-bit, little-endian, version 1.
    if (std::memcmp(ident,
                    "\x7F"
                    "ELF",
                    4) != 0 ||
        ident[4] != 2 || ident[5] != 1 || ident[6] != 1) {
        return std::nullopt;
    }
    ElfLayout layout;
    layout.sectionOffset = Load<std::uint64_t>(ident + 0x28);
    layout.entrySize = Load<std::uint16_t>(ident + 0x3A);
    layout.count = Load<std::uint16_t>(ident + 0x3C);
    layout.namesIndex = Load<std::uint16_t>(ident + 0x3E);
    if (layout.sectionOffset == 0 || layout.entrySize < kSectionHeaderSize) return std::nullopt;
    // Many sections: the real count and the names index live in section 0.
    if (layout.count == 0 || layout.namesIndex == kShnXindex) {
        const auto first = ReadSectionHeader(read, layout, 0);
        if (!first) return std::nullopt;
        if (layout.count == 0) layout.count = first->size;
        if (layout.namesIndex == kShnXindex) layout.namesIndex = first->link;
    }
    if (layout.count == 0 || layout.count > kMaxSectionCount || layout.namesIndex >= layout.count ||
        !Inside(layout.sectionOffset, layout.count * layout.entrySize, fileSize)) {
        return std::nullopt;
    }
    return layout;
}

std::optional<std::string> ReadSectionBytes(const ByteReader& read, const SectionHeader& header,
                                            std::uint64_t fileSize, std::uint64_t limit) {
    if (header.type == kShtNobits || header.size > limit ||
        !Inside(header.offset, header.size, fileSize)) {
        return std::nullopt;
    }
    std::string bytes(header.size, '\0');
    if (!read(header.offset, bytes.size(), bytes.data())) return std::nullopt;
    return bytes;
}

bool NameIs(const std::string& names, std::uint32_t offset) {
    if (offset >= names.size()) return false;
    const std::size_t end = names.find('\0', offset);
    if (end == std::string::npos) return false;
    return std::string_view(names).substr(offset, end - offset) == kSectionName;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::uint32_t> ParseHex8(std::string_view text) {
    if (text.size() != 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

// The non-empty parts of text between any of the separator characters.
std::vector<std::string_view> SplitAt(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> parts;
    while (!text.empty()) {
        const auto end = text.find_first_of(separators);
        if (end != 0) parts.push_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return parts;
}

// "040904E4" or several separated by blanks or commas.
void ParseTranslations(std::string_view text, VersionBlock& block) {
    for (const std::string_view part : SplitAt(text, " ,")) {
        if (const auto value = ParseHex8(part)) {
            block.translations.emplace_back(static_cast<std::uint16_t>(*value >> 16),
                                            static_cast<std::uint16_t>(*value & 0xFFFF));
        }
    }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The flat form: magic, total size, translation count, the WORD pairs, then the strings
// as "Name\0Value\0" pairs.
constexpr char kFlatMagic[4] = {'C', 'D', 'V', 'B'};
constexpr std::size_t kFlatHeader = 12;

struct FlatView {
    const char* data;
    std::uint32_t size;
    std::uint32_t translations;
};

std::optional<FlatView> ViewFlat(const void* data) {
    if (data == nullptr) return std::nullopt;
    const auto* bytes = static_cast<const char*>(data);
    if (std::memcmp(bytes, kFlatMagic, sizeof kFlatMagic) != 0) return std::nullopt;
    FlatView view{bytes, 0, 0};
    std::memcpy(&view.size, bytes + 4, 4);
    std::memcpy(&view.translations, bytes + 8, 4);
    if (view.size < kFlatHeader || view.translations > (view.size - kFlatHeader) / 4) {
        return std::nullopt;
    }
    return view;
}

} // namespace

std::optional<VersionBlock> ParseVersionSection(const char* data, std::size_t size) {
    std::string_view rest(data, size);
    if (rest.substr(0, kMagic.size()) != kMagic) return std::nullopt;
    rest.remove_prefix(kMagic.size());
    VersionBlock block;
    // Only zero-terminated entries count; an unterminated tail is dropped.
    for (auto end = rest.find('\0'); end != std::string_view::npos; end = rest.find('\0')) {
        const std::string_view entry = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        const auto equals = entry.find('=');
        if (entry.empty() || equals == std::string_view::npos || equals == 0) continue;
        const std::string_view name = entry.substr(0, equals);
        const std::string_view value = entry.substr(equals + 1);
        if (name == "Translation") {
            ParseTranslations(value, block);
        } else {
            block.strings.emplace_back(name, value);
        }
    }
    return block;
}

std::optional<VersionBlock> ReadVersionBlock(const ByteReader& read, std::uint64_t fileSize) {
    const auto layout = ReadLayout(read, fileSize);
    if (!layout) return std::nullopt;
    const auto namesHeader = ReadSectionHeader(read, *layout, layout->namesIndex);
    if (!namesHeader) return std::nullopt;
    const auto names = ReadSectionBytes(read, *namesHeader, fileSize, kMaxNamesSize);
    if (!names) return std::nullopt;
    for (std::uint64_t i = 0; i < layout->count; ++i) {
        const auto header = ReadSectionHeader(read, *layout, i);
        if (!header || !NameIs(*names, header->name)) continue;
        const auto bytes = ReadSectionBytes(read, *header, fileSize, kMaxBlockSize);
        if (!bytes) return std::nullopt;
        return ParseVersionSection(bytes->data(), bytes->size());
    }
    return std::nullopt;
}

std::vector<char> SerializeVersionBlock(const VersionBlock& block) {
    std::vector<char> out(kFlatHeader);
    std::memcpy(out.data(), kFlatMagic, sizeof kFlatMagic);
    for (const auto& [language, codePage] : block.translations) {
        const std::uint16_t words[2] = {language, codePage};
        const auto* raw = reinterpret_cast<const char*>(words);
        out.insert(out.end(), raw, raw + sizeof words);
    }
    for (const auto& [name, value] : block.strings) {
        out.insert(out.end(), name.begin(), name.end());
        out.push_back('\0');
        out.insert(out.end(), value.begin(), value.end());
        out.push_back('\0');
    }
    const auto size = static_cast<std::uint32_t>(out.size());
    const auto count = static_cast<std::uint32_t>(block.translations.size());
    std::memcpy(out.data() + 4, &size, 4);
    std::memcpy(out.data() + 8, &count, 4);
    return out;
}

bool QueryVersionBlock(const void* data, const std::string& query, void** value, unsigned* length) {
    const auto view = ViewFlat(data);
    if (!view || value == nullptr || length == nullptr) return false;
    // "\\A\\B\\C", either separator.
    const auto parts = SplitAt(query, "\\/");
    const char* words = view->data + kFlatHeader;
    if (parts.size() == 2 && EqualsNoCase(parts[0], "VarFileInfo") &&
        EqualsNoCase(parts[1], "Translation")) {
        if (view->translations == 0) return false;
        *value = const_cast<char*>(words);
        *length = view->translations * 4; // bytes, as Windows reports it
        return true;
    }
    if (parts.size() != 3 || !EqualsNoCase(parts[0], "StringFileInfo")) return false;
    const auto wanted = ParseHex8(parts[1]);
    if (!wanted) return false;
    bool known = false;
    for (std::uint32_t i = 0; i < view->translations; ++i) {
        std::uint16_t pair[2];
        std::memcpy(pair, words + i * 4, 4);
        known = known || ((std::uint32_t(pair[0]) << 16) | pair[1]) == *wanted;
    }
    if (!known) return false;
    const char* cursor = words + view->translations * 4;
    const char* end = view->data + view->size;
    while (cursor < end) {
        const char* nameEnd = static_cast<const char*>(std::memchr(cursor, '\0', end - cursor));
        if (nameEnd == nullptr || nameEnd + 1 >= end) return false;
        const char* valueStart = nameEnd + 1;
        const char* valueEnd =
            static_cast<const char*>(std::memchr(valueStart, '\0', end - valueStart));
        if (valueEnd == nullptr) return false;
        if (EqualsNoCase(std::string_view(cursor, nameEnd - cursor), parts[2])) {
            *value = const_cast<char*>(valueStart);
            *length = static_cast<unsigned>(valueEnd - valueStart + 1); // with the zero
            return true;
        }
        cursor = valueEnd + 1;
    }
    return false;
}

} // namespace platform::detail
