// Internal: a profile (ini) file held in memory. The lines are kept as written (comments,
// blank lines, odd lines), so an edit changes only the lines it means to; an index gives
// the first match of a section or key without scanning.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::detail {

struct ProfileLine {
    enum class Kind { Other, Section, Entry };
    Kind kind = Kind::Other;
    std::string text;  // the line as written, without its line end
    std::string name;  // section name or key, blanks stripped
    std::string value; // entry value, blanks and one pair of quotes stripped
};

class ProfileDocument {
public:
    // Any bytes give a document; lines that are neither a section nor "key=value" are
    // kept as they are and ignored by lookups.
    static ProfileDocument Parse(std::string_view bytes);
    std::string Serialize() const;

    // First matching section, first matching key within it (names compare without case).
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
    std::vector<std::string> SectionNames() const;
    std::vector<std::string> Keys(std::string_view section) const;
    bool HasSection(std::string_view section) const;

    // Edits; each returns true when the document changed. Names and values must have
    // passed IsValidSection/IsValidKey/IsValidValue.
    bool SetValue(std::string_view section, std::string_view key, std::string_view value);
    bool DeleteKey(std::string_view section, std::string_view key);
    bool EraseSection(std::string_view section);

    // A name or value that would change the structure of the file (a line break, a
    // bracket or '=' in the wrong place) is refused rather than written.
    static bool IsValidSection(std::string_view section);
    static bool IsValidKey(std::string_view key);
    static bool IsValidValue(std::string_view value);

private:
    struct SectionIndex {
        std::size_t header = 0;
        std::unordered_map<std::string, std::size_t> keys; // folded key -> first line
        std::vector<std::size_t> keyOrder;                 // first line of each key
    };

    void Reindex();
    const SectionIndex* IndexOf(std::string_view section) const;
    std::optional<std::size_t> SectionHeader(std::string_view section) const;
    std::size_t SectionEnd(std::size_t header) const;
    std::optional<std::size_t> EntryLine(std::size_t header, std::string_view key) const;

    std::vector<ProfileLine> lines_;
    bool crlf_ = false;
    bool bom_ = false;
    std::unordered_map<std::string, std::size_t> sectionByName_; // folded -> sections_ slot
    std::vector<SectionIndex> sections_;                         // first occurrence of each
};

std::string FoldCase(std::string_view text);

} // namespace platform::detail
