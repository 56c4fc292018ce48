// Profile files are edited by users and other programs: any bytes must parse, survive a
// write-back unchanged in meaning, and take an edit without disturbing other entries.
#include "profile_document.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using platform::detail::ProfileDocument;

namespace {

using Snapshot =
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>;

// Every section with the value each of its keys reads as.
Snapshot Read(const ProfileDocument& document) {
    Snapshot snapshot;
    for (const auto& section : document.SectionNames()) {
        std::vector<std::pair<std::string, std::string>> values;
        for (const auto& key : document.Keys(section)) {
            const auto value = document.Find(section, key);
            if (!value) std::abort(); // a listed key must be found
            values.emplace_back(key, std::string(*value));
        }
        snapshot.emplace_back(section, std::move(values));
    }
    return snapshot;
}

void CheckEditKeepsTheRest(ProfileDocument document, const Snapshot& before) {
    const std::string section = "FuzzSection";
    const std::string key = "FuzzKey";
    const std::string value = "fuzz value";
    document.SetValue(section, key, value);
    const auto written = document.Find(section, key);
    if (!written || *written != value) std::abort();
    for (const auto& [name, values] : before) {
        for (const auto& [entry, expected] : values) {
            if (platform::detail::FoldCase(name) == platform::detail::FoldCase(section) &&
                platform::detail::FoldCase(entry) == platform::detail::FoldCase(key))
                continue;
            const auto now = document.Find(name, entry);
            if (!now || *now != expected) std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ProfileDocument document = ProfileDocument::Parse(bytes);
    const Snapshot before = Read(document);
    const ProfileDocument again = ProfileDocument::Parse(document.Serialize());
    if (Read(again) != before) std::abort();
    CheckEditKeepsTheRest(document, before);
    return 0;
}
