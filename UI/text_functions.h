// Text helpers shared by the window procedures.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plexmoor {

// Field n (from 1) of text split at delimiter; a field after the last
// delimiter runs to the end, one beyond that is empty, n <= 0 is empty.
// Field n > 1 starts one character after the start of the delimiter before
// it, which matters only for delimiters longer than one character.
std::string FieldOf(std::string_view text, std::string_view delimiter, int n);

// Surrounding blanks removed.
std::string Trim(std::string_view text);

// The leading whole number of a text: blanks, an optional sign and digits,
// stopping at the first other character; 0 when there is none. Saturates at
// the ends of the signed 32-bit range instead of overflowing.
int32_t WholeNumber(std::string_view text);

// A text that is exactly one whole decimal number (surrounding blanks and a
// sign allowed) inside the signed 32-bit range; nothing otherwise.
std::optional<int32_t> ParseDecimal32(std::string_view text);

// r as a percentage with at least two digits before the point and one after
// it: 0.4096 gives "41.0%", 0 gives "00.0%".
std::string FormatPercent(float r);

} // namespace plexmoor
