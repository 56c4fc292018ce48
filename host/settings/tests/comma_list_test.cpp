#include "settings/comma_list.h"

#include <gtest/gtest.h>

namespace {

using Items = std::vector<std::string>;

struct Case {
    std::string text;
    Items items;
};

TEST(CommaList, Syntax) {
    const Case cases[] = {
        {"", {}},
        {"   \t\r\n", {}},
        {"a", {"a"}},
        {"a,b,c", {"a", "b", "c"}},
        {"  a ,  b", {"a", "b"}},
        // An unquoted item ends at a blank, so two words give two items.
        {"Show Settings", {"Show", "Settings"}},
        {"\"Show Settings\"", {"Show Settings"}},
        {"\"a, b\",c", {"a, b", "c"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"\"\"", {""}},
        {"\"unterminated, runs on", {"unterminated, runs on"}},
        {"\"ends with pair\"\"", {"ends with pair\""}},
        {"a,,b", {"a", "", "b"}},
        {",a", {"", "a"}},
        // Only a comma that is the very last character adds an empty item.
        {"a,", {"a", ""}},
        {"a, ", {"a"}},
        {"a,\t", {"a"}},
        {"\"x\"y", {"x", "y"}},
        {"\"x\" , \"y\"", {"x", "y"}},
        {"a\"b", {"a\"b"}},
        {"1033,1031,1049", {"1033", "1031", "1049"}},
        {"Select...,About...", {"Select...", "About..."}},
        {"\x01"
         "a\x1f"
         "b",
         {"a", "b"}},
        {"\xd0\x9f\xd1\x80\xd0\xb8,\xc3\xbc", {"\xd0\x9f\xd1\x80\xd0\xb8", "\xc3\xbc"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseCommaList(c.text), c.items) << "text: [" << c.text << "]";
}

TEST(CommaList, TextEndsAtANulCharacter) {
    const std::string text("a,b\0,c", 6);
    EXPECT_EQ(ParseCommaList(text), (Items{"a", "b"}));
}

TEST(CommaList, CharactersAbove127AreNotBlanks) {
    // Bytes of UTF-8 sequences are item characters, never separators.
    EXPECT_EQ(ParseCommaList("\xa0x \xc2\xa0"), (Items{"\xa0x", "\xc2\xa0"}));
}

} // namespace
