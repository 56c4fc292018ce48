#include "settings/catalogue.h"
#include "settings/comma_list.h"
#include "settings/language.h"

#include "language_test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

using Items = std::vector<std::string>;

// The list defaults item by item, written out independently of the catalogue table.
const std::map<std::string, Items>& ExpectedListDefaults() {
    static const std::map<std::string, Items> lists = {
        {"MenuString",
         {"File", "Options", "Exit", "Camera", "Capture to TWAIN", "Settings", "Select...", "Help",
          "Help", "About...", "Reconnect", "Capture to File", "Time Lapse Capture"}},
        {"PreviewShotString", {"Preview Shot", "Show Preview", "Refresh"}},
        {"PreviewOrString",
         {"Auto, Use Camera Sensor", "Portrait Rotation, 90 CCW", "Portrait Rotation, 90 CW",
          "Inverted Rotation, 180", "Rotation Off"}},
        {"CameraPreviewString", {"Viewfinder Off", "Viewfinder to LCD", "Viewfinder to Video Out"}},
        {"OptTabsStrings", {"General", "Processing", "Save file", "Language"}},
        {"Options1",
         {"Close on capture", "Hide to tray instead of close", "Restore settings values on start"}},
        {"Options2",
         {"Show settings on start:", "Restore last state", "Always show", "Always hide"}},
        {"SaveFileString",
         {"Directory in which to save images:", "Filename prefix:", "Next image:",
          "Separate directory for:", "Flattern date ", "Year", "Month", "Day", "Reset counter"}},
        {"ProcessingString",
         {"Image processing", " Show processing window: ", "Never", "Always", "Show if necessary",
          "Auto face detection:", "Face tracking on preview ", "Tracking speed"}},
        {"TLCStrings",
         {"Number of shots:", "Delay in seconds:", "Shots done:", "Time to next shot:",
          "Shots remaining:", "Status:"}},
        {"TLCButtonsStrings", {"Start", "Pause", "Cancel", "Stop", "Continue"}},
        {"TLCStatusStrings",
         {"Shooting...", "Downloading...", "Processing...", "Waiting", "Paused", "Stopped",
          "Completed", "Initialization", "Stopping...", "Saving..."}},
    };
    return lists;
}

TEST(Catalogue, ListDefaultsParseToTheirItems) {
    std::set<std::string> seen;
    for (const auto& entry : catalogue::StringEntries()) {
        if (entry.kind != catalogue::Kind::List) continue;
        const auto expected = ExpectedListDefaults().find(entry.key);
        ASSERT_NE(expected, ExpectedListDefaults().end()) << entry.key;
        const Items items = ParseCommaList(entry.english);
        EXPECT_EQ(items, expected->second) << entry.key;
        EXPECT_EQ(static_cast<int>(items.size()), entry.items) << entry.key;
        seen.insert(entry.key);
    }
    EXPECT_EQ(seen.size(), ExpectedListDefaults().size());
}

TEST(Catalogue, EntriesAreUniqueAndComplete) {
    std::set<std::string> keys;
    for (const auto& entry : catalogue::StringEntries()) {
        EXPECT_TRUE(keys.insert(entry.key).second) << entry.key;
        EXPECT_STREQ(entry.section, "Strings");
    }
    EXPECT_EQ(keys.size(), 50u);
    EXPECT_EQ(catalogue::MadExceptEntries().size(), 27u);
}

TEST(Catalogue, TextDefaultsWithTheirExactSpelling) {
    FreeLanguageFile();
    const std::pair<std::string, std::string> cases[] = {
        {catalogue::AboutName(), "About "},
        {catalogue::IntiLibMessage(), "Loading "},
        {catalogue::LanguageChanged(),
         "The selected language will be set at next programm restart."},
        {catalogue::ErrorXMLString(), "Language files not found"},
        {catalogue::ErrorCaption(), "Error"},
        {catalogue::WriteFileMessage(), "Transfering file..."},
        {catalogue::ErrorSimbString(),
         "File name must not include next simbols: / \\ * : < > ? \" |"},
        {catalogue::CameraErrorName(), "N/A"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(text, expected);
    EXPECT_EQ(catalogue::ErrorNoXML().rfind("This application requires the MSXML version 4.0. "
                                            "Please install the MSXML 4.0 and run this "
                                            "application again. To download MSXML visit http",
                                            0),
              0u);
    // The About caption joins the name with one more space: two in all.
    EXPECT_EQ(catalogue::AboutName() + " " + "Capdeck", "About  Capdeck");
}

TEST(Catalogue, NamedListAccessors) {
    FreeLanguageFile();
    const Items menu = catalogue::MenuString();
    ASSERT_EQ(menu.size(), 13u);
    EXPECT_EQ(menu[7], "Help");
    EXPECT_EQ(menu[8], "Help");
    EXPECT_EQ(menu[6], "Select...");
    EXPECT_EQ(menu[9], "About...");
    const Items orientation = catalogue::PreviewOrString();
    ASSERT_EQ(orientation.size(), 5u);
    EXPECT_EQ(orientation[0], "Auto, Use Camera Sensor");
}

TEST(Catalogue, MadExceptTextsInOrder) {
    FreeLanguageFile();
    const auto texts = catalogue::MadExceptTexts();
    ASSERT_EQ(texts.size(), 27u);
    EXPECT_EQ(texts.front(), (std::pair<std::string, std::string>{"TitleBar", "%appname%"}));
    EXPECT_EQ(texts[6].second, "The file %modname% seems to be corrupt!");
    EXPECT_EQ(texts[11], (std::pair<std::string, std::string>{"OkBtnCaption", "&OK"}));
    EXPECT_EQ(texts.back().first, "SendFailureMsg");
}

class CatalogueTranslated : public ::testing::Test {
protected:
    TempDataFolder folder_;
};

TEST_F(CatalogueTranslated, QuotedItemsWithHashes) {
    const auto file = folder_.WriteLocal(
        "t.xml",
        LanguageXml("7", "T",
                    "<local><Strings>"
                    "<Options1 value=\"##Schliessen##, ##Ins Tray##,   ##Wiederherstellen##\"/>"
                    "<TLCButtonsStrings value=\"A,B,C,D,E,\"/>"
                    "</Strings><LanguageMadExcept><OkBtnCaption value=\"&amp;Gut\"/>"
                    "</LanguageMadExcept></local>"));
    ASSERT_TRUE(LoadLanguageFile(file));
    EXPECT_EQ(catalogue::Options1(), (Items{"Schliessen", "Ins Tray", "Wiederherstellen"}));
    // A value ending with a comma gives an extra, empty last item.
    EXPECT_EQ(catalogue::TLCButtonsStrings(), (Items{"A", "B", "C", "D", "E", ""}));
    EXPECT_EQ(catalogue::MadExceptTexts()[11].second, "&Gut");
    // Keys the file lacks keep their defaults.
    EXPECT_EQ(catalogue::OptionsName(), "Options");
}

TEST_F(CatalogueTranslated, NothingIsCachedAcrossReloads) {
    const auto first = folder_.WriteLocal(
        "a.xml", LanguageXml("1", "A", KeyXml("local", "Strings", "OptionsName", "Eins")));
    const auto second = folder_.WriteLocal(
        "b.xml", LanguageXml("2", "B", KeyXml("local", "Strings", "OptionsName", "Zwei")));
    ASSERT_TRUE(LoadLanguageFile(first));
    EXPECT_EQ(catalogue::OptionsName(), "Eins");
    ASSERT_TRUE(LoadLanguageFile(second));
    EXPECT_EQ(catalogue::OptionsName(), "Zwei");
    FreeLanguageFile();
    EXPECT_EQ(catalogue::OptionsName(), "Options");
}

} // namespace
