#include "settings/language.h"

#include "settings/comma_list.h"
#include "settings/language_document.h"
#include "shell/data_folder.h"

#include "platform/profile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kLanguagesSection = "Languages";
constexpr const char* kChoiceSection = "LangID";

// The one process-wide document. Readers copy the pointer under the lock and look
// up without it; a replaced document lives on until its last reader lets go.
struct DocumentSlot {
    std::mutex mutex;
    std::shared_ptr<const LanguageDocument> document;
    std::string lastError;
};

DocumentSlot& Slot() {
    static DocumentSlot slot;
    return slot;
}

void Install(std::shared_ptr<const LanguageDocument> document, std::string error) {
    std::shared_ptr<const LanguageDocument> old;
    {
        std::lock_guard lock(Slot().mutex);
        old = std::exchange(Slot().document, std::move(document));
        Slot().lastError = std::move(error);
    }
    // old is released here, outside the lock.
}

void LogDroppedFile(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "Capdeck: language file %s not used: %s\n", path.c_str(), reason.c_str());
}

bool HasXmlExtension(const fs::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".xml";
}

bool NameLess(const std::string& a, const std::string& b) {
    const auto upper = [](unsigned char c) { return std::toupper(c); };
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [&](unsigned char x, unsigned char y) { return upper(x) < upper(y); });
}

// The *.xml files of the folder in name order, the order in which the Windows file
// systems the program came from deliver them; Linux directory order is arbitrary and
// would make the default language a matter of chance.
std::vector<fs::path> LanguageFiles(const std::string& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && HasXmlExtension(it->path()))
            files.push_back(it->path());
    }
    std::stable_sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return NameLess(a.filename().string(), b.filename().string());
    });
    return files;
}

// A file name goes into local.ini as a value; one that would not read back as
// itself (control characters, leading blanks or quotes) can't be listed.
bool IsStorableFileName(const std::string& name) {
    if (name.empty() || name.front() == ' ' || name.front() == '"' || name.front() == '\'')
        return false;
    return std::none_of(name.begin(), name.end(),
                        [](unsigned char c) { return c < 32 || c == 127; });
}

// Display names come from the files; a line break would start a new ini line.
std::string IniSafe(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
    return text;
}

using KeyList = std::vector<std::pair<std::string, std::string>>;

// Sets a key of the list; a repeated key keeps its place and takes the new value.
void SetKey(KeyList& keys, const std::string& key, const std::string& value) {
    const auto it = std::find_if(keys.begin(), keys.end(),
                                 [&](const auto& entry) { return entry.first == key; });
    if (it != keys.end())
        it->second = value;
    else
        keys.emplace_back(key, value);
}

bool IsLanguageIdText(const std::string& text) {
    std::size_t digits = (!text.empty() && text.front() == '-') ? 1 : 0;
    return text.size() > digits && text.size() <= digits + 10 &&
           std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digits), text.end(),
                       [](unsigned char c) { return std::isdigit(c); });
}

// The listed file name of a language id, or "" when the id is not listed or its
// entry is anything but a bare file name of the locals folder.
std::string ListedFile(const std::string& ini, const std::string& id) {
    if (!IsLanguageIdText(id)) return {};
    std::string entry = platform::ProfileString(ini, kLanguagesSection, id, "");
    if (entry == "." || entry == ".." || entry.find_first_of("/\\") != std::string::npos) return {};
    return entry;
}

struct ScanResult {
    KeyList keys;
    std::shared_ptr<const LanguageDocument> lastDocument;
    std::string lastError;
};

void ScanFile(const fs::path& file, std::string& idList, ScanResult& result) {
    const std::string name = file.filename().string();
    std::string error;
    auto doc = LanguageDocument::Load(file.string(), error);
    result.lastDocument = doc ? doc : LanguageDocument::Empty();
    result.lastError = error;
    if (!doc) return LogDroppedFile(file.string(), error);
    const int id = doc->Id();
    if (id == 0) return LogDroppedFile(file.string(), "no root element \"language\" with an id");
    if (!IsStorableFileName(name)) return LogDroppedFile(file.string(), "unusable file name");
    const std::string idText = std::to_string(id);
    if (!idList.empty()) idList += ',';
    idList += idText;
    SetKey(result.keys, idText, name);
    SetKey(result.keys, idText + "_id", IniSafe(doc->Name()));
}

} // namespace

std::string LocalIniPath() {
    return GetDataFolder() + "/local.ini";
}
std::string LocalsFolder() {
    return GetDataFolder() + "/locals";
}

std::shared_ptr<const LanguageDocument> CurrentLanguageDocument() {
    std::lock_guard lock(Slot().mutex);
    return Slot().document;
}

std::string LastLanguageLoadError() {
    std::lock_guard lock(Slot().mutex);
    return Slot().lastError;
}

std::string GetLocalString(std::string_view tag, std::string_view section, std::string_view key,
                           std::string_view def) {
    const auto doc = CurrentLanguageDocument();
    if (!doc) return std::string(def);
    return doc->Lookup(tag, section, key, def);
}

std::string GetLayoutString(std::string_view section, std::string_view key, std::string_view def) {
    return GetLocalString("capdeck", section, key, def);
}

void ScanLanguageFiles() {
    const std::string ini = LocalIniPath();
    const auto files = LanguageFiles(LocalsFolder());
    ScanResult result;
    std::string idList;
    for (const auto& file : files)
        ScanFile(file, idList, result);
    if (!files.empty()) SetKey(result.keys, "CommaText", idList);
    // The section is rebuilt in one replacement of the file, never left half-written.
    if (result.keys.empty())
        platform::EraseProfileSection(ini, kLanguagesSection);
    else
        platform::WriteProfileSection(ini, kLanguagesSection, result.keys, true);
    if (result.lastDocument) Install(result.lastDocument, result.lastError);
}

std::string GetLanguageFileName() {
    const std::string ini = LocalIniPath();
    const std::string chosen = platform::ProfileString(ini, kChoiceSection, "Value", "");
    if (!chosen.empty()) {
        const std::string entry = ListedFile(ini, chosen);
        if (!entry.empty()) return LocalsFolder() + "/" + entry;
    }
    const auto ids =
        ParseCommaList(platform::ProfileString(ini, kLanguagesSection, "CommaText", ""));
    for (const auto& id : ids) {
        const std::string entry = ListedFile(ini, id);
        if (entry.empty()) continue;
        platform::WriteProfileString(ini, kChoiceSection, "Value", id);
        return LocalsFolder() + "/" + entry;
    }
    return {};
}

bool LoadLanguageFile(const std::string& path) {
    std::string error;
    auto doc = LanguageDocument::Load(path, error);
    const bool loaded = doc != nullptr;
    if (!loaded) LogDroppedFile(path, error);
    Install(loaded ? std::move(doc) : LanguageDocument::Empty(), error);
    return loaded;
}

void FreeLanguageFile() {
    Install(nullptr, {});
}

int GetLanguageId() {
    const auto doc = CurrentLanguageDocument();
    return doc ? doc->Id() : 0;
}

std::string GetLanguageName() {
    const auto doc = CurrentLanguageDocument();
    return doc ? doc->Name() : std::string();
}

void PublishXMLPointer() {
    const auto doc = CurrentLanguageDocument();
    const auto address = reinterpret_cast<std::intptr_t>(doc.get());
    platform::WriteProfileString(GetDataFolder() + "/Capdeck.ini", "XML", "XMLPointer",
                                 std::to_string(address));
}

void StartLanguageManager(const std::function<void()>& noLanguageFiles) {
    ScanLanguageFiles();
    if (GetLanguageFileName().empty() && noLanguageFiles) noLanguageFiles();
    LoadLanguageFile(GetLanguageFileName());
    PublishXMLPointer();
}

void ReloadLanguageFile() {
    if (!GetLanguageFileName().empty()) LoadLanguageFile(GetLanguageFileName());
    PublishXMLPointer();
}
