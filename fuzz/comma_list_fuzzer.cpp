// Comma lists come from language files and local.ini; any text must parse, and the
// items must survive the way lists are written back: each item quoted, quotes doubled,
// joined by commas.
#include "settings/comma_list.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string QuotedList(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += ',';
        text += '"';
        for (char c : items[i])
            text += (c == '"') ? std::string("\"\"") : std::string(1, c);
        text += '"';
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto items = ParseCommaList(text);
    std::size_t chars = 0;
    for (const auto& item : items)
        chars += item.size();
    if (chars > size || items.size() > size + 1) std::abort();
    if (ParseCommaList(QuotedList(items)) != items) std::abort();
    return 0;
}
