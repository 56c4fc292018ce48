#include "settings/catalogue.h"

#include "settings/comma_list.h"
#include "settings/language.h"

namespace catalogue {
namespace {

#define CAPDECK_STRINGS_TEXT_ROW(key, english) {kStringsSection, #key, english, Kind::Text, 0},
#define CAPDECK_STRINGS_LIST_ROW(key, items, english)                                              \
    {kStringsSection, #key, english, Kind::List, items},
constexpr Entry kStrings[] = {
    CAPDECK_CATALOGUE_STRINGS(CAPDECK_STRINGS_TEXT_ROW, CAPDECK_STRINGS_LIST_ROW)};
#undef CAPDECK_STRINGS_TEXT_ROW
#undef CAPDECK_STRINGS_LIST_ROW

#define CAPDECK_MADEXCEPT_ROW(key, english) {kMadExceptSection, #key, english, Kind::Text, 0},
constexpr Entry kMadExcept[] = {CAPDECK_CATALOGUE_MADEXCEPT(CAPDECK_MADEXCEPT_ROW)};
#undef CAPDECK_MADEXCEPT_ROW

enum class StringIndex {
#define CAPDECK_INDEX_TEXT(key, english) key,
#define CAPDECK_INDEX_LIST(key, items, english) key,
    CAPDECK_CATALOGUE_STRINGS(CAPDECK_INDEX_TEXT, CAPDECK_INDEX_LIST)
#undef CAPDECK_INDEX_TEXT
#undef CAPDECK_INDEX_LIST
};

const Entry& StringEntry(StringIndex index) {
    return kStrings[static_cast<int>(index)];
}

} // namespace

std::span<const Entry> StringEntries() {
    return kStrings;
}
std::span<const Entry> MadExceptEntries() {
    return kMadExcept;
}

std::string Text(const Entry& entry) {
    return GetLocalString(kTag, entry.section, entry.key, entry.english);
}

std::vector<std::string> List(const Entry& entry) {
    return ParseCommaList(Text(entry));
}

std::vector<std::pair<std::string, std::string>> MadExceptTexts() {
    std::vector<std::pair<std::string, std::string>> texts;
    for (const Entry& entry : kMadExcept)
        texts.emplace_back(entry.key, Text(entry));
    return texts;
}

#define CAPDECK_DEFINE_TEXT(key, english)                                                          \
    std::string key() {                                                                            \
        return Text(StringEntry(StringIndex::key));                                                \
    }
#define CAPDECK_DEFINE_LIST(key, items, english)                                                   \
    std::vector<std::string> key() {                                                               \
        return List(StringEntry(StringIndex::key));                                                \
    }
CAPDECK_CATALOGUE_STRINGS(CAPDECK_DEFINE_TEXT, CAPDECK_DEFINE_LIST)
#undef CAPDECK_DEFINE_TEXT
#undef CAPDECK_DEFINE_LIST

} // namespace catalogue
