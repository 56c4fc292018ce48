// Language files are outside input: any bytes must either parse or be refused, and a
// parsed document must answer lookups without reading past anything.
#include "settings/language_document.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto doc = LanguageDocument::Parse(
        std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.xml", error);
    if (!doc) return 0;
    static const char* const kKeys[][3] = {{"local", "Strings", "MenuString"},
                                           {"local", "Strings", "1"},
                                           {"local", "LanguageMadExcept", "TitleBar"},
                                           {"capdeck", "Layout", "TabName1"},
                                           {"local", "S", "K"},
                                           {"", "", ""}};
    for (const auto& key : kKeys)
        (void)doc->Lookup(key[0], key[1], key[2], "default");
    (void)doc->Id();
    (void)doc->Name();
    return 0;
}
