#include "settings/catalogue.h"
#include "settings/language.h"
#include "settings/language_document.h"
#include "shell/data_folder.h"

#include "language_test_support.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

class LanguageManager : public ::testing::Test {
protected:
    std::string Ini(const std::string& section, const std::string& key) const {
        return platform::ProfileString(folder_.LocalIni(), section, key, "<none>");
    }
    void WriteLanguage(const std::string& file, const std::string& id, const std::string& name,
                       const std::string& optionsName = "") {
        folder_.WriteLocal(
            file, LanguageXml(id, name,
                              optionsName.empty()
                                  ? ""
                                  : KeyXml("local", "Strings", "OptionsName", optionsName)));
    }
    bool HasLanguagesSection() const {
        const auto names = platform::ProfileSectionNames(folder_.LocalIni());
        return std::find(names.begin(), names.end(), "Languages") != names.end();
    }

    TempDataFolder folder_;
};

TEST_F(LanguageManager, PathsLieInTheDataFolder) {
    EXPECT_EQ(LocalIniPath(), GetDataFolder() + "/local.ini");
    EXPECT_EQ(LocalsFolder(), GetDataFolder() + "/locals");
}

TEST_F(LanguageManager, ScanListsUsableFilesInNameOrder) {
    WriteLanguage("Russian.xml", "1049", "Russkij");
    WriteLanguage("english.xml", "1033", "English");
    WriteLanguage("German.XML", "1031", "Deutsch");
    folder_.WriteLocal("broken.xml", "<language id=\"5\"");
    folder_.WriteLocal("other-root.xml", "<lang id=\"6\" string=\"x\"/>");
    WriteLanguage("zero.xml", "0", "Zero");
    WriteLanguage("nan.xml", "x1", "NaN");
    WriteLanguage("notes.txt", "7", "Text");
    fs::create_directories(folder_.Locals() / "dir.xml");

    ScanLanguageFiles();
    EXPECT_EQ(Ini("Languages", "CommaText"), "1033,1031,1049");
    EXPECT_EQ(Ini("Languages", "1033"), "english.xml");
    EXPECT_EQ(Ini("Languages", "1033_id"), "English");
    EXPECT_EQ(Ini("Languages", "1031"), "German.XML");
    EXPECT_EQ(Ini("Languages", "1031_id"), "Deutsch");
    EXPECT_EQ(Ini("Languages", "1049"), "Russian.xml");
    EXPECT_EQ(Ini("Languages", "7"), "<none>");
    // The document of the last file tried (zero.xml) stays loaded.
    EXPECT_EQ(GetLanguageName(), "Zero");
}

TEST_F(LanguageManager, ScanRebuildsOnlyItsOwnSection) {
    platform::WriteProfileString(folder_.LocalIni(), "Languages", "999", "stale.xml");
    platform::WriteProfileString(folder_.LocalIni(), "LangID", "Value", "1031");
    platform::WriteProfileString(folder_.LocalIni(), "Exceptions", "LoadLibExceptionMesage", "M");
    WriteLanguage("a.xml", "1031", "Deutsch");
    ScanLanguageFiles();
    EXPECT_EQ(Ini("Languages", "999"), "<none>");
    EXPECT_EQ(Ini("Languages", "CommaText"), "1031");
    EXPECT_EQ(Ini("LangID", "Value"), "1031");
    EXPECT_EQ(Ini("Exceptions", "LoadLibExceptionMesage"), "M");
}

TEST_F(LanguageManager, DuplicateIdsKeepBothInTheListAndTheLastNames) {
    WriteLanguage("a.xml", "1031", "Erste");
    WriteLanguage("b.xml", "1031", "Zweite");
    ScanLanguageFiles();
    EXPECT_EQ(Ini("Languages", "CommaText"), "1031,1031");
    EXPECT_EQ(Ini("Languages", "1031"), "b.xml");
    EXPECT_EQ(Ini("Languages", "1031_id"), "Zweite");
}

TEST_F(LanguageManager, DisplayNamesCannotBreakTheIniFile) {
    WriteLanguage("a.xml", "1031", "Line&#10;[LangID]&#10;Value=666");
    ScanLanguageFiles();
    EXPECT_EQ(Ini("LangID", "Value"), "<none>");
    EXPECT_EQ(Ini("Languages", "1031_id"), "Line [LangID] Value=666");
}

TEST_F(LanguageManager, FilesMatchedButNoneUsableWriteAnEmptyList) {
    folder_.WriteLocal("broken.xml", "<");
    ScanLanguageFiles();
    EXPECT_EQ(Ini("Languages", "CommaText"), "");
    EXPECT_EQ(GetLanguageFileName(), "");
    // The failed load of the last file leaves an empty document: defaults everywhere.
    ASSERT_TRUE(CurrentLanguageDocument());
    EXPECT_FALSE(CurrentLanguageDocument()->Loaded());
    EXPECT_EQ(catalogue::OptionsName(), "Options");
}

struct LanguageFile {
    const char* file;
    const char* id;
    const char* name;
};

// Two language files, the id stored in local.ini before the scan (none: nullptr), and
// the file and id chosen by it.
struct ChoiceCase {
    const char* testName;
    LanguageFile files[2];
    const char* storedId;
    const char* chosenFile;
    const char* chosenId;
};

const ChoiceCase kChoiceCases[] = {
    {"FirstChoiceIsTheFirstListedLanguage",
     {{"b.xml", "1031", "Deutsch"}, {"a.xml", "1033", "English"}},
     nullptr,
     "a.xml",
     "1033"},
    {"StoredChoiceIsKept",
     {{"a.xml", "1033", "English"}, {"b.xml", "1049", "Russkij"}},
     "1049",
     "b.xml",
     "1049"},
    {"RemovedChosenLanguageFallsBackToTheFirstId",
     {{"a.xml", "1033", "English"}, {"b.xml", "1031", "Deutsch"}},
     "1049",
     "a.xml",
     "1033"},
};

void PrintTo(const ChoiceCase& c, std::ostream* out) {
    *out << c.testName;
}

class LanguageChoice : public LanguageManager, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(LanguageChoice, ScanChoosesTheLanguage) {
    const ChoiceCase& c = GetParam();
    for (const LanguageFile& f : c.files)
        WriteLanguage(f.file, f.id, f.name);
    if (c.storedId != nullptr)
        platform::WriteProfileString(folder_.LocalIni(), "LangID", "Value", c.storedId);
    ScanLanguageFiles();
    EXPECT_EQ(GetLanguageFileName(), LocalsFolder() + "/" + c.chosenFile);
    EXPECT_EQ(Ini("LangID", "Value"), c.chosenId);
}

INSTANTIATE_TEST_SUITE_P(Cases, LanguageChoice, ::testing::ValuesIn(kChoiceCases),
                         [](const auto& info) { return std::string(info.param.testName); });

TEST_F(LanguageManager, ListedEntriesMustBeBareFileNames) {
    const std::string ini = folder_.LocalIni();
    platform::WriteProfileSection(ini, "Languages",
                                  {{"CommaText", "1,CommaText,2,3"},
                                   {"1", "../../outside.xml"},
                                   {"2", "sub\\x.xml"},
                                   {"3", "good.xml"}},
                                  true);
    platform::WriteProfileString(ini, "LangID", "Value", "1");
    EXPECT_EQ(GetLanguageFileName(), LocalsFolder() + "/good.xml");
    EXPECT_EQ(Ini("LangID", "Value"), "3");
}

TEST_F(LanguageManager, EmptyOrMissingLocalsFolder) {
    for (bool createFolder : {false, true}) {
        if (createFolder) fs::create_directories(folder_.Locals());
        FreeLanguageFile();
        int errorBoxes = 0;
        StartLanguageManager([&] { ++errorBoxes; });
        EXPECT_EQ(errorBoxes, 1);
        EXPECT_FALSE(HasLanguagesSection());
        EXPECT_EQ(GetLanguageFileName(), "");
        EXPECT_EQ(GetLanguageId(), 0);
        EXPECT_EQ(catalogue::ErrorXMLString(), "Language files not found");
        EXPECT_EQ(catalogue::MenuString().size(), 13u);
    }
}

TEST_F(LanguageManager, StartLoadsTheChoiceAndPublishesTheDocument) {
    WriteLanguage("a.xml", "1031", "Deutsch", "Optionen");
    WriteLanguage("b.xml", "1049", "Russkij", "Nastrojki");
    int errorBoxes = 0;
    StartLanguageManager([&] { ++errorBoxes; });
    EXPECT_EQ(errorBoxes, 0);
    EXPECT_EQ(GetLanguageId(), 1031);
    EXPECT_EQ(GetLanguageName(), "Deutsch");
    EXPECT_EQ(catalogue::OptionsName(), "Optionen");
    const auto address = reinterpret_cast<std::intptr_t>(CurrentLanguageDocument().get());
    EXPECT_EQ(platform::ProfileString(GetDataFolder() + "/Capdeck.ini", "XML", "XMLPointer", ""),
              std::to_string(address));

    // The Options dialog stores another choice; a reload picks it up without a scan.
    platform::WriteProfileString(folder_.LocalIni(), "LangID", "Value", "1049");
    WriteLanguage("c.xml", "1036", "Francais");
    ReloadLanguageFile();
    EXPECT_EQ(catalogue::OptionsName(), "Nastrojki");
    EXPECT_EQ(Ini("Languages", "1036"), "<none>");
}

TEST_F(LanguageManager, FileBrokenAfterTheScanGivesDefaults) {
    WriteLanguage("a.xml", "1031", "Deutsch", "Optionen");
    StartLanguageManager({});
    EXPECT_EQ(catalogue::OptionsName(), "Optionen");
    folder_.WriteLocal("a.xml", "<language id=\"1031\"><local>");
    ReloadLanguageFile();
    EXPECT_EQ(catalogue::OptionsName(), "Options");
    EXPECT_EQ(GetLanguageId(), 0);
    EXPECT_FALSE(LastLanguageLoadError().empty());
}

TEST_F(LanguageManager, DocumentStates) {
    WriteLanguage("a.xml", "1031", "Deutsch", "Optionen");
    EXPECT_FALSE(CurrentLanguageDocument());
    EXPECT_EQ(GetLocalString("local", "Strings", "OptionsName", "D"), "D");
    EXPECT_TRUE(LoadLanguageFile((folder_.Locals() / "a.xml").string()));
    EXPECT_EQ(GetLocalString("local", "Strings", "OptionsName", "D"), "Optionen");
    EXPECT_FALSE(LoadLanguageFile((folder_.Locals() / "missing.xml").string()));
    ASSERT_TRUE(CurrentLanguageDocument());
    EXPECT_EQ(GetLocalString("local", "Strings", "OptionsName", "D"), "D");
    EXPECT_EQ(GetLanguageName(), "");
    FreeLanguageFile();
    EXPECT_FALSE(CurrentLanguageDocument());
    EXPECT_EQ(GetLanguageId(), 0);
}

TEST_F(LanguageManager, LayoutStringsUseTheCapdeckTag) {
    folder_.WriteLocal("a.xml", LanguageXml("1", "L",
                                            KeyXml("capdeck", "Layout", "TabName2", "Live") +
                                                KeyXml("local", "Layout", "TabName1", "No")));
    ASSERT_TRUE(LoadLanguageFile((folder_.Locals() / "a.xml").string()));
    EXPECT_EQ(GetLayoutString("Layout", "TabName2", "Tab 2"), "Live");
    EXPECT_EQ(GetLayoutString("Layout", "TabName1", "Tab 1"), "Tab 1");
}

// A worker looks texts up while the GUI thread reloads, switches and frees the
// document; every answer must be one of the whole texts, never a torn one.
TEST_F(LanguageManager, LookupsFromAWorkerDuringReloads) {
    WriteLanguage("a.xml", "1", "A", "Eins");
    WriteLanguage("b.xml", "2", "B", "Zwei");
    const std::string a = (folder_.Locals() / "a.xml").string();
    const std::string b = (folder_.Locals() / "b.xml").string();
    std::atomic<bool> stop{false};
    std::atomic<int> lookups{0};
    std::atomic<int> bad{0};
    std::thread worker([&] {
        while (!stop.load()) {
            const std::string text = catalogue::OptionsName();
            if (text != "Eins" && text != "Zwei" && text != "Options") ++bad;
            ++lookups;
        }
    });
    for (int i = 0; i < 300; ++i) {
        LoadLanguageFile(i % 2 ? a : b);
        if (i % 7 == 0) FreeLanguageFile();
    }
    // Let the worker run at least a few lookups against the final state.
    const int before = lookups.load();
    while (lookups.load() < before + 10)
        std::this_thread::yield();
    stop = true;
    worker.join();
    EXPECT_EQ(bad.load(), 0);
}

} // namespace

namespace {

TEST_F(LanguageManager, ShippedLanguageFilesEndToEnd) {
    fs::create_directories(folder_.Locals());
    for (const char* name : {"English.xml", "German.xml", "Russian.xml"})
        fs::copy_file(fs::path(CAPDECK_SOURCE_DIR) / "data" / "locals" / name,
                      folder_.Locals() / name);
    StartLanguageManager({});
    EXPECT_EQ(Ini("Languages", "CommaText"), "1033,1031,1049");
    EXPECT_EQ(Ini("Languages", "1049_id"), "Русский");
    EXPECT_EQ(Ini("LangID", "Value"), "1033");
    EXPECT_EQ(catalogue::ErrorCaption(), "Error");

    platform::WriteProfileString(folder_.LocalIni(), "LangID", "Value", "1049");
    ReloadLanguageFile();
    EXPECT_EQ(GetLanguageName(), "Русский");
    EXPECT_EQ(catalogue::ErrorCaption(), "Ошибка");
    EXPECT_EQ(catalogue::TLCStatusStrings().size(), 10u);

    platform::WriteProfileString(folder_.LocalIni(), "LangID", "Value", "1031");
    ReloadLanguageFile();
    EXPECT_EQ(catalogue::MenuString()[9], "Über...");
}

} // namespace
