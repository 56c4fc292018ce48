// Every language file the program ships must answer every catalogue key, and every
// list entry must keep the item count of its default: callers pick items by position.
#include "settings/catalogue.h"
#include "settings/comma_list.h"
#include "settings/language_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

const fs::path kLocals = fs::path(CAPDECK_SOURCE_DIR) / "data" / "locals";
constexpr const char* kMissing = "\x01<missing>";

std::vector<fs::path> ShippedFiles() {
    std::vector<fs::path> files;
    for (const auto& item : fs::directory_iterator(kLocals))
        if (item.path().extension() == ".xml") files.push_back(item.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::shared_ptr<const LanguageDocument> LoadShipped(const fs::path& file) {
    std::string error;
    auto doc = LanguageDocument::Load(file.string(), error);
    EXPECT_TRUE(doc) << file << ": " << error;
    return doc;
}

std::string Lookup(const LanguageDocument& doc, const catalogue::Entry& entry) {
    return doc.Lookup(catalogue::kTag, entry.section, entry.key, kMissing);
}

void CheckEntries(const fs::path& file, const LanguageDocument& doc,
                  std::span<const catalogue::Entry> entries) {
    for (const auto& entry : entries) {
        const std::string text = Lookup(doc, entry);
        EXPECT_NE(text, kMissing) << file.filename() << ": no " << entry.section << "/"
                                  << entry.key;
        EXPECT_FALSE(text.empty()) << file.filename() << ": empty " << entry.key;
        if (entry.kind == catalogue::Kind::List) {
            EXPECT_EQ(ParseCommaList(text).size(), static_cast<std::size_t>(entry.items))
                << file.filename() << ": " << entry.key << " = " << text;
        }
    }
}

TEST(ShippedLanguages, EnglishGermanAndRussianAreShipped) {
    std::set<std::string> names;
    for (const auto& file : ShippedFiles())
        names.insert(file.filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"English.xml", "German.xml", "Russian.xml"}));
}

TEST(ShippedLanguages, EveryFileAnswersEveryKey) {
    std::set<int> ids;
    for (const auto& file : ShippedFiles()) {
        const auto doc = LoadShipped(file);
        ASSERT_TRUE(doc);
        EXPECT_NE(doc->Id(), 0) << file;
        EXPECT_TRUE(ids.insert(doc->Id()).second) << file << ": id used twice";
        EXPECT_FALSE(doc->Name().empty()) << file;
        CheckEntries(file, *doc, catalogue::StringEntries());
        CheckEntries(file, *doc, catalogue::MadExceptEntries());
    }
}

// Texts that callers join with further parts keep their trailing blank in every
// language, and placeholders of the crash reporter survive translation.
TEST(ShippedLanguages, JoinedTextsAndPlaceholdersSurvive) {
    for (const auto& file : ShippedFiles()) {
        const auto doc = LoadShipped(file);
        ASSERT_TRUE(doc);
        for (const char* key : {"AboutName", "IntiLibMessage"})
            EXPECT_EQ(doc->Lookup("local", "Strings", key, "").back(), ' ') << file << key;
        EXPECT_EQ(doc->Lookup("local", "LanguageMadExcept", "TitleBar", ""), "%appname%");
        EXPECT_NE(doc->Lookup("local", "LanguageMadExcept", "BitFaultMsg", "").find("%modname%"),
                  std::string::npos)
            << file;
    }
}

TEST(ShippedLanguages, EnglishFileHoldsExactlyTheDefaults) {
    const auto doc = LoadShipped(kLocals / "English.xml");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->Id(), 1033);
    for (const auto entries : {catalogue::StringEntries(), catalogue::MadExceptEntries()}) {
        for (const auto& entry : entries) {
            const std::string text = Lookup(*doc, entry);
            if (entry.kind == catalogue::Kind::List) {
                EXPECT_EQ(ParseCommaList(text), ParseCommaList(entry.english)) << entry.key;
            } else {
                EXPECT_EQ(text, entry.english) << entry.key;
            }
        }
    }
}

TEST(ShippedLanguages, RussianIsStoredInWindows1251AndReadAsUtf8) {
    std::ifstream in(kLocals / "Russian.xml", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"windows-1251\"?>", 0), 0u);
    // "Ошибка" in windows-1251 is in the file as single bytes.
    EXPECT_NE(bytes.find("\xce\xf8\xe8\xe1\xea\xe0"), std::string::npos);

    const auto doc = LoadShipped(kLocals / "Russian.xml");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->Id(), 1049);
    EXPECT_EQ(doc->Name(), "Русский");
    EXPECT_EQ(doc->Lookup("local", "Strings", "ErrorCaption", ""), "Ошибка");
    const auto menu = ParseCommaList(doc->Lookup("local", "Strings", "MenuString", ""));
    ASSERT_EQ(menu.size(), 13u);
    EXPECT_EQ(menu[0], "Файл");
    EXPECT_EQ(menu[12], "Интервальная съёмка");
    const auto orientation = ParseCommaList(doc->Lookup("local", "Strings", "PreviewOrString", ""));
    ASSERT_EQ(orientation.size(), 5u);
    EXPECT_EQ(orientation[3], "Перевёрнуто, 180°");
}

TEST(ShippedLanguages, GermanTexts) {
    const auto doc = LoadShipped(kLocals / "German.xml");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->Id(), 1031);
    EXPECT_EQ(doc->Name(), "Deutsch");
    EXPECT_EQ(doc->Lookup("local", "Strings", "ActivateString", ""), "Öffnen");
    EXPECT_TRUE(
        doc->Lookup("local", "Strings", "ErrorSimbString", "").ends_with(": / \\ * : < > ? \" |"));
}

} // namespace
