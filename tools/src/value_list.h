// A value list as the driver publishes it in an ini section, read back with the
// profile functions, and how a user's VALUE picks an entry of it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lensporttool {

struct ValueEntry {
    std::string listName;    // the key: the camera code in the driver's notation
    std::string displayText; // the key's value
};

struct ValueList {
    int result = 0; // what EnumParameterValues returned
    std::vector<ValueEntry> entries;
    std::optional<std::string> current; // Value
    std::optional<std::string> error;   // Error
    // True when the driver wrote nothing at all (an unknown name).
    bool Empty() const { return entries.empty() && !current && !error; }
    // Position of the current value, or -1.
    int CurrentPosition() const;
};

// Lists longer than this are refused as damaged.
inline constexpr std::size_t kMaxEntries = 4096;

// CommaText split at commas; empty pieces are dropped.
std::vector<std::string> SplitCommaText(const std::string& text);
ValueList ReadValueList(const std::string& file, const std::string& section, int result);

// Camera codes of a list name or a code text: hexadecimal numbers joined by "_"
// ("0025", "0001_0002", "0x25"); nothing when the text isn't of that form.
std::optional<std::vector<unsigned long>> ParseCodes(const std::string& text);

struct Choice {
    enum class Kind { Position, Code } kind = Kind::Position;
    int position = -1;    // Position: index into the list
    std::string codeText; // Code: text for SetParameterDirect
};

// Picks the entry VALUE names: "#N" a position; "0x..." a camera code (offered or
// not, the camera decides); otherwise an exact display text, then a list name, then a
// display text ignoring case when that is unique, then a plain number as a position.
// Nothing (and why in *why) when no rule matches.
std::optional<Choice> ChooseValue(const ValueList& list, const std::string& value,
                                  std::string* why);

} // namespace lensporttool
