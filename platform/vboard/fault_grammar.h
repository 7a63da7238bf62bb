// The words and numbers of the board's environment variables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vboard {

// A decimal or 0x-hexadecimal number that fits in 32 bits.
bool parse_number(const std::string& text, uint32_t& out);
// The text without leading and trailing blanks and tabs.
std::string trim(const std::string& text);
// The items of a comma-separated list, trimmed, empty ones left out.
std::vector<std::string> list_items(const std::string& text);

} // namespace vboard
