#include "profile_document.h"

#include <algorithm>

namespace platform::detail {
namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string_view StripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

ProfileLine ParseLine(std::string_view raw) {
    ProfileLine line;
    line.text = std::string(raw);
    const std::string_view text = Trim(raw);
    if (text.empty() || text.front() == ';') return line;
    if (text.front() == '[') {
        const auto close = text.find(']');
        line.kind = ProfileLine::Kind::Section;
        line.name = std::string(Trim(
            text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
        return line;
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) return line;
    const std::string_view key = Trim(text.substr(0, equals));
    if (key.empty()) return line;
    line.kind = ProfileLine::Kind::Entry;
    line.name = std::string(key);
    line.value = std::string(StripQuotes(Trim(text.substr(equals + 1))));
    return line;
}

ProfileLine MakeEntry(std::string_view key, std::string_view value) {
    std::string text;
    text.reserve(key.size() + value.size() + 1);
    text.append(Trim(key)).append("=").append(value);
    return ParseLine(text);
}

ProfileLine MakeSection(std::string_view section) {
    return ParseLine("[" + std::string(Trim(section)) + "]");
}

} // namespace

std::string FoldCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

ProfileDocument ProfileDocument::Parse(std::string_view bytes) {
    ProfileDocument doc;
    if (bytes.substr(0, kBom.size()) == kBom) {
        doc.bom_ = true;
        bytes.remove_prefix(kBom.size());
    }
    while (!bytes.empty()) {
        const auto end = bytes.find('\n');
        std::string_view raw = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!raw.empty() && raw.back() == '\r') {
            doc.crlf_ = doc.crlf_ || doc.lines_.empty();
            // Stray carriage returns before the line end belong to the line end: kept in
            // a value they would read differently once the file is written back.
            while (!raw.empty() && raw.back() == '\r')
                raw.remove_suffix(1);
        }
        doc.lines_.push_back(ParseLine(raw));
    }
    doc.Reindex();
    return doc;
}

std::string ProfileDocument::Serialize() const {
    const std::string_view newline = crlf_ ? "\r\n" : "\n";
    std::string out(bom_ ? kBom : "");
    for (const auto& line : lines_)
        out.append(line.text).append(newline);
    return out;
}

void ProfileDocument::Reindex() {
    sectionByName_.clear();
    sections_.clear();
    SectionIndex* current = nullptr;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const ProfileLine& line = lines_[i];
        if (line.kind == ProfileLine::Kind::Section) {
            const auto [it, fresh] =
                sectionByName_.try_emplace(FoldCase(line.name), sections_.size());
            // A repeated section is ignored by lookups: the first one wins.
            current = nullptr;
            if (fresh) {
                sections_.push_back(SectionIndex{i, {}, {}});
                current = &sections_.back();
            }
        } else if (line.kind == ProfileLine::Kind::Entry && current != nullptr) {
            if (current->keys.try_emplace(FoldCase(line.name), i).second) {
                current->keyOrder.push_back(i);
            }
        }
    }
}

const ProfileDocument::SectionIndex* ProfileDocument::IndexOf(std::string_view section) const {
    const auto it = sectionByName_.find(FoldCase(Trim(section)));
    return it == sectionByName_.end() ? nullptr : &sections_[it->second];
}

std::optional<std::string_view> ProfileDocument::Find(std::string_view section,
                                                      std::string_view key) const {
    const SectionIndex* index = IndexOf(section);
    if (index == nullptr) return std::nullopt;
    const auto it = index->keys.find(FoldCase(Trim(key)));
    if (it == index->keys.end()) return std::nullopt;
    return std::string_view(lines_[it->second].value);
}

std::vector<std::string> ProfileDocument::SectionNames() const {
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const auto& index : sections_)
        names.push_back(lines_[index.header].name);
    return names;
}

std::vector<std::string> ProfileDocument::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    if (const SectionIndex* index = IndexOf(section)) {
        for (std::size_t line : index->keyOrder)
            keys.push_back(lines_[line].name);
    }
    return keys;
}

bool ProfileDocument::HasSection(std::string_view section) const {
    return IndexOf(section) != nullptr;
}

std::optional<std::size_t> ProfileDocument::SectionHeader(std::string_view section) const {
    const SectionIndex* index = IndexOf(section);
    if (index == nullptr) return std::nullopt;
    return index->header;
}

std::size_t ProfileDocument::SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != ProfileLine::Kind::Section)
        ++i;
    return i;
}

std::optional<std::size_t> ProfileDocument::EntryLine(std::size_t header,
                                                      std::string_view key) const {
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind == ProfileLine::Kind::Entry && SameName(lines_[i].name, Trim(key))) {
            return i;
        }
    }
    return std::nullopt;
}

bool ProfileDocument::SetValue(std::string_view section, std::string_view key,
                               std::string_view value) {
    const auto header = SectionHeader(section);
    if (!header) {
        lines_.push_back(MakeSection(section));
        lines_.push_back(MakeEntry(key, value));
        Reindex();
        return true;
    }
    if (const auto line = EntryLine(*header, key)) {
        // Keep the key as it was spelt in the file.
        ProfileLine entry = MakeEntry(lines_[*line].name, value);
        if (entry.text == lines_[*line].text) return false;
        lines_[*line] = std::move(entry);
        Reindex();
        return true;
    }
    // New keys go after the section's last entry, before trailing blanks and comments.
    std::size_t insertAt = *header + 1;
    const std::size_t end = SectionEnd(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        if (lines_[i].kind == ProfileLine::Kind::Entry) insertAt = i + 1;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), MakeEntry(key, value));
    Reindex();
    return true;
}

bool ProfileDocument::DeleteKey(std::string_view section, std::string_view key) {
    const auto header = SectionHeader(section);
    if (!header) return false;
    // Every copy of the key in the section goes, so no older duplicate resurfaces.
    const std::size_t end = SectionEnd(*header);
    const auto first = lines_.begin() + static_cast<std::ptrdiff_t>(*header + 1);
    const auto last = lines_.begin() + static_cast<std::ptrdiff_t>(end);
    const auto kept = std::remove_if(first, last, [&](const ProfileLine& line) {
        return line.kind == ProfileLine::Kind::Entry && SameName(line.name, Trim(key));
    });
    if (kept == last) return false;
    lines_.erase(kept, last);
    Reindex();
    return true;
}

bool ProfileDocument::EraseSection(std::string_view section) {
    bool changed = false;
    // Every section of that name goes, so no later duplicate takes its place.
    while (const auto header = SectionHeader(section)) {
        const std::size_t end = SectionEnd(*header);
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*header),
                     lines_.begin() + static_cast<std::ptrdiff_t>(end));
        Reindex();
        changed = true;
    }
    return changed;
}

bool ProfileDocument::IsValidSection(std::string_view section) {
    return !Trim(section).empty() && section.find_first_of("\r\n]") == std::string_view::npos;
}

bool ProfileDocument::IsValidKey(std::string_view key) {
    const std::string_view name = Trim(key);
    return !name.empty() && name.front() != ';' && name.front() != '[' &&
           key.find_first_of("\r\n=") == std::string_view::npos;
}

bool ProfileDocument::IsValidValue(std::string_view value) {
    return value.find_first_of("\r\n") == std::string_view::npos;
}

} // namespace platform::detail
