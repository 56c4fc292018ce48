#include "value_list.h"

#include "platform/profile.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace lensporttool {
namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool HasKey(const std::vector<std::string>& keys, const std::string& name) {
    return std::any_of(keys.begin(), keys.end(),
                       [&](const std::string& k) { return EqualNoCase(k, name); });
}

std::optional<int> ParsePosition(const std::string& text, std::size_t size) {
    int value = -1;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < 0 ||
        static_cast<std::size_t>(value) >= size) {
        return std::nullopt;
    }
    return value;
}

Choice AtPosition(int position) {
    return Choice{Choice::Kind::Position, position, {}};
}

template <class Pred> std::vector<int> Matching(const ValueList& list, Pred pred) {
    std::vector<int> found;
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        if (pred(list.entries[i])) found.push_back(static_cast<int>(i));
    }
    return found;
}

} // namespace

int ValueList::CurrentPosition() const {
    if (!current) return -1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].listName == *current) return static_cast<int>(i);
    }
    return -1;
}

std::vector<std::string> SplitCommaText(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto comma = std::min(text.find(',', start), text.size());
        if (comma > start) pieces.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return pieces;
}

ValueList ReadValueList(const std::string& file, const std::string& section, int result) {
    ValueList list;
    list.result = result;
    const auto keys = platform::ProfileSectionKeys(file, section);
    for (const std::string& name :
         SplitCommaText(platform::ProfileString(file, section, "CommaText", ""))) {
        if (list.entries.size() >= kMaxEntries) break;
        list.entries.push_back({name, platform::ProfileString(file, section, name, name)});
    }
    if (HasKey(keys, "Value")) list.current = platform::ProfileString(file, section, "Value", "");
    if (HasKey(keys, "Error")) list.error = platform::ProfileString(file, section, "Error", "");
    return list;
}

std::optional<std::vector<unsigned long>> ParseCodes(const std::string& text) {
    std::vector<unsigned long> codes;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto stop = std::min(text.find('_', start), text.size());
        std::string piece = text.substr(start, stop - start);
        if (piece.size() > 2 && piece[0] == '0' && (piece[1] == 'x' || piece[1] == 'X'))
            piece.erase(0, 2);
        unsigned long code = 0;
        const char* end = piece.data() + piece.size();
        auto [at, error] = std::from_chars(piece.data(), end, code, 16);
        if (piece.empty() || piece.size() > 8 || error != std::errc() || at != end)
            return std::nullopt;
        codes.push_back(code);
        start = stop + 1;
    }
    return codes;
}

std::optional<Choice> ChooseValue(const ValueList& list, const std::string& value,
                                  std::string* why) {
    const std::size_t size = list.entries.size();
    if (!value.empty() && value[0] == '#') {
        if (auto p = ParsePosition(value.substr(1), size)) return AtPosition(*p);
        *why = "there is no position " + value.substr(1) + " (the list has " +
               std::to_string(size) + " values, numbered from 0)";
        return std::nullopt;
    }
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        const auto codes = ParseCodes(value);
        if (!codes) {
            *why = "'" + value + "' is no camera code (hexadecimal, pairs joined by '_')";
            return std::nullopt;
        }
        // The driver reads the code text without the "0x".
        std::string text;
        for (const auto code : *codes) {
            char buf[16];
            auto [end, ec] = std::to_chars(buf, buf + sizeof buf, code, 16);
            (void)ec;
            text += (text.empty() ? "" : "_") + std::string(buf, end);
        }
        return Choice{Choice::Kind::Code, -1, text};
    }
    auto exact = Matching(list, [&](const ValueEntry& e) { return e.displayText == value; });
    if (!exact.empty()) return AtPosition(exact.front());
    auto byName =
        Matching(list, [&](const ValueEntry& e) { return EqualNoCase(e.listName, value); });
    if (!byName.empty())
        return Choice{Choice::Kind::Code, -1, list.entries[byName.front()].listName};
    auto loose =
        Matching(list, [&](const ValueEntry& e) { return EqualNoCase(e.displayText, value); });
    if (loose.size() == 1) return AtPosition(loose.front());
    if (auto p = ParsePosition(value, size)) return AtPosition(*p);
    *why = loose.size() > 1 ? "'" + value + "' matches several display texts; use #N"
                            : "'" + value + "' is not among the offered values";
    return std::nullopt;
}

} // namespace lensporttool
