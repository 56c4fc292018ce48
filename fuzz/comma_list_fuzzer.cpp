// Comma lists come from language files and local.ini; any text must parse, and the
// items must be consistent with the text they came from.
#include "settings/comma_list.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto items = ParseCommaList(text);
    std::size_t chars = 0;
    for (const auto& item : items)
        chars += item.size();
    // Items never hold more characters than the text had, and there is at most one
    // item per comma plus one.
    if (chars > size) std::abort();
    std::size_t commas = 0;
    for (char c : text.substr(0, text.find('\0')))
        commas += c == ',';
    if (items.size() > commas + 1) std::abort();
    return 0;
}
