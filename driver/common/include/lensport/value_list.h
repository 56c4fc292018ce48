// Publishing what a camera setting offers as a value list in an ini section:
// one key per list name (display texts kept), CommaText, Value, and the failure entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lensport {

// Longest display text read back from an item key.
inline constexpr std::size_t kItemTextBuffer = 1000;

class ValueListWriter {
public:
    ValueListWriter(std::string file, std::string section);

    // Writes the item key back with the text it already has, or defaultText when it has
    // none, and appends the name to CommaText.
    void AddItem(const std::string& listName, const std::string& defaultText);
    void AddItem(const std::string& listName) { AddItem(listName, listName); }
    void WriteCommaText() const;
    void WriteValue(const std::string& text) const;
    std::int32_t Count() const { return static_cast<std::int32_t>(names_.size()); }
    const std::vector<std::string>& Names() const { return names_; }

private:
    std::string file_;
    std::string section_;
    std::vector<std::string> names_;
};

// The failure entries: Error := "0x%08X" of code, Value := "N/A", and
// SettingsValues/<parameter> := "N/A".
void WriteListFailure(const std::string& file, const std::string& section,
                      const std::string& parameter, std::uint32_t code);

// The "Camera" list name of a model: blanks and commas become "_".
std::string CameraListName(const std::string& model);

// A zero-terminated UTF-16 (little-endian) text of at most maxUnits code units, as the
// ANSI text of this system (UTF-8), cut to at most maxBytes without splitting a character.
std::string Utf16ToAnsi(const std::uint8_t* text, std::size_t maxUnits, std::size_t maxBytes);

} // namespace lensport
