#include "settings/language_document.h"

#include "language_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

namespace {

std::shared_ptr<const LanguageDocument> Parse(const std::string& bytes) {
    std::string error;
    auto doc = LanguageDocument::Parse(bytes, "test.xml", error);
    if (!doc) {
        EXPECT_FALSE(error.empty());
    }
    return doc;
}

const std::string kBody =
    "<local>"
    "<Strings>"
    "<P1 value=\"one\"/>"
    "<Quoted value=\"##Close on capture##, ##Hide to tray instead of close##\"/>"
    "<NoValue other=\"x\"/>"
    "<Twice value=\"first\"/><Twice value=\"second\"/>"
    "<Hashes value=\"a###b####c\"/>"
    "<Entities value=\"&lt;&amp;&gt;&#x41;&#1046;\"/>"
    "</Strings>"
    "<Strings><Late value=\"never\"/></Strings>"
    "</local>"
    "<capdeck><Layout1><TabName2 value=\"Live\"/></Layout1></capdeck>";

TEST(LanguageDocument, Lookups) {
    const auto doc = Parse(LanguageXml("1031", "Deutsch", kBody));
    ASSERT_TRUE(doc);
    struct Case {
        const char* tag;
        const char* section;
        const char* key;
        std::string expected;
    } const cases[] = {
        // A key beginning with a digit is stored as "P" + key.
        {"local", "Strings", "1", "one"},
        {"local", "Strings", "P1", "one"},
        {"local", "Strings", "Quoted", "\"Close on capture\", \"Hide to tray instead of close\""},
        // Present without "value": empty, not the default.
        {"local", "Strings", "NoValue", ""},
        {"local", "Strings", "Twice", "first"},
        {"local", "Strings", "Hashes", "a\"#b\"\"c"},
        {"local", "Strings", "Entities", "<&>A\xd0\x96"},
        // Only the first section element of a name counts.
        {"local", "Strings", "Late", "DEFAULT"},
        {"local", "Strings", "missing", "DEFAULT"},
        {"local", "strings", "P1", "DEFAULT"},
        {"LOCAL", "Strings", "P1", "DEFAULT"},
        {"local", "Other", "P1", "DEFAULT"},
        {"local", "Strings", "", "DEFAULT"},
        {"capdeck", "Layout1", "TabName2", "Live"},
        {"capdeck", "Layout1", "TabName1", "DEFAULT"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(doc->Lookup(c.tag, c.section, c.key, "DEFAULT"), c.expected)
            << c.tag << "/" << c.section << "/" << c.key;
    EXPECT_EQ(doc->Id(), 1031);
    EXPECT_EQ(doc->Name(), "Deutsch");
}

TEST(LanguageDocument, RootElementAndIds) {
    struct Case {
        std::string xml;
        int id;
        std::string name;
        std::string lookup;
    } const cases[] = {
        {LanguageXml("1049", "X", KeyXml("local", "S", "K", "v")), 1049, "X", "v"},
        {LanguageXml(" 12 ", "", ""), 12, "", "D"},
        {LanguageXml("-3", "Neg", ""), -3, "Neg", "D"},
        {LanguageXml("0", "Zero", ""), 0, "Zero", "D"},
        {LanguageXml("abc", "NaN", ""), 0, "NaN", "D"},
        {LanguageXml("12abc", "Tail", ""), 0, "Tail", "D"},
        {LanguageXml("99999999999", "Big", ""), 0, "Big", "D"},
        {"<language string=\"NoId\"/>", 0, "NoId", "D"},
        {"<Language id=\"5\" string=\"Case\"/>", 0, "", "D"},
        {"<other id=\"5\"><local><S><K value=\"v\"/></S></local></other>", 0, "", "D"},
        {"<l:language xmlns:l=\"urn:x\" id=\"5\"/>", 0, "", "D"},
        // A default namespace leaves the names unprefixed: they still match.
        {"<language xmlns=\"urn:x\" id=\"8\" string=\"NS\"><local><S><K value=\"v\"/></S>"
         "</local></language>",
         8, "NS", "v"},
    };
    for (const auto& c : cases) {
        const auto doc = Parse(c.xml);
        ASSERT_TRUE(doc) << c.xml;
        EXPECT_EQ(doc->Id(), c.id) << c.xml;
        EXPECT_EQ(doc->Name(), c.name) << c.xml;
        EXPECT_EQ(doc->Lookup("local", "S", "K", "D"), c.lookup) << c.xml;
    }
}

TEST(LanguageDocument, EmptyDocumentAnswersDefaults) {
    const auto doc = LanguageDocument::Empty();
    EXPECT_FALSE(doc->Loaded());
    EXPECT_EQ(doc->Lookup("local", "Strings", "1", "D"), "D");
    EXPECT_EQ(doc->Id(), 0);
    EXPECT_EQ(doc->Name(), "");
}

TEST(LanguageDocument, DeclaredEncodingsComeOutAsUtf8) {
    struct Case {
        std::string bytes;
        std::string expected;
    } const cases[] = {
        {"<?xml version=\"1.0\" encoding=\"windows-1251\"?><language id=\"1\">"
         "<local><S><K value=\"\xce\xf8\xe8\xe1\xea\xe0\"/></S></local></language>",
         "\xd0\x9e\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb0"},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><language id=\"1\">"
         "<local><S><K value=\"Gr\xf6\xdf\x65\"/></S></local></language>",
         "Gr\xc3\xb6\xc3\x9f"
         "e"},
        {"<?xml version=\"1.0\"?><language id=\"1\">"
         "<local><S><K value=\"\xc3\xbc\"/></S></local></language>",
         "\xc3\xbc"},
    };
    for (const auto& c : cases) {
        const auto doc = Parse(c.bytes);
        ASSERT_TRUE(doc);
        EXPECT_EQ(doc->Lookup("local", "S", "K", "D"), c.expected);
    }
}

TEST(LanguageDocument, Utf16WithByteOrderMark) {
    const std::string ascii = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><language id=\"4\">"
                              "<local><S><K value=\"x\"/></S></local></language>";
    std::string bytes = "\xff\xfe";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    const auto doc = Parse(bytes);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->Id(), 4);
    EXPECT_EQ(doc->Lookup("local", "S", "K", "D"), "x");
}

TEST(LanguageDocument, RefusedInputs) {
    const std::string refused[] = {
        "",
        "not xml at all",
        "<language id=\"1\">",
        "<language id=\"1\"><a></b></language>",
        "<language id=\"1\"/><second/>",
        // Bytes that are not valid in the declared encoding.
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><language id=\"1\" string=\"\xff\xfe\"/>",
        "<?xml version=\"1.0\" encoding=\"no-such-charset\"?><language id=\"1\"/>",
        // Entities need a document type declaration, which language files never have.
        "<!DOCTYPE language [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
        "<language id=\"1\"><local><S><K value=\"&d;&d;&d;&d;&d;&d;&d;&d;\"/></S></local>"
        "</language>",
        "<!DOCTYPE language SYSTEM \"http://example.invalid/x.dtd\"><language id=\"1\"/>",
        "<language id=\"1\"><local><S><K value=\"&undeclared;\"/></S></local></language>",
    };
    for (const auto& bytes : refused)
        EXPECT_FALSE(Parse(bytes)) << bytes;
}

TEST(LanguageDocument, ExternalEntitiesCannotReadOtherFiles) {
    TempDataFolder folder;
    const auto secret = folder.Root() / "secret.txt";
    std::ofstream(secret) << "SECRET";
    const std::string xml = "<!DOCTYPE language [<!ENTITY s SYSTEM \"file://" + secret.string() +
                            "\">]><language id=\"1\"><local><S><K value=\"x\">&s;</K></S>"
                            "</local></language>";
    std::string error;
    EXPECT_FALSE(LanguageDocument::Parse(xml, "x.xml", error));
    EXPECT_NE(error.find("document type"), std::string::npos) << error;
}

TEST(LanguageDocument, DeepNestingIsRefusedNotFollowed) {
    std::string xml = "<language id=\"1\">";
    for (int i = 0; i < 100000; ++i)
        xml += "<a>";
    EXPECT_FALSE(Parse(xml));
}

TEST(LanguageDocument, LoadRefusesOversizedAndSpecialFiles) {
    TempDataFolder folder;
    std::string error;
    const auto big = folder.WriteLocal(
        "big.xml",
        LanguageXml("1", "B", "<!--" + std::string(LanguageDocument::kMaxFileSize, 'x') + "-->"));
    EXPECT_FALSE(LanguageDocument::Load(big.string(), error));
    EXPECT_NE(error.find("larger"), std::string::npos) << error;

    const auto fifo = folder.Locals() / "pipe.xml";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(LanguageDocument::Load(fifo.string(), error));

    EXPECT_FALSE(LanguageDocument::Load(folder.Locals().string(), error));
    EXPECT_FALSE(LanguageDocument::Load((folder.Locals() / "missing.xml").string(), error));

    const auto good = folder.WriteLocal("good.xml", LanguageXml("3", "G", ""));
    const auto doc = LanguageDocument::Load(good.string(), error);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->Id(), 3);
}

} // namespace
