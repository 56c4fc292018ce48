// The comma-list syntax of list-valued texts and of the language id list: items
// separated by commas, blanks (codes 1 to 32) between items skipped, double-quoted
// items with "" for a quote inside.
#pragma once

#include <string>
#include <string_view>
#include <vector>

std::vector<std::string> ParseCommaList(std::string_view text);
