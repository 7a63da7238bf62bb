// The window's numbers: the numeric test of its input checks, the
// conversions of its boxes to signed 32-bit integers, and the forms in which
// it shows numbers. Every area uses these and no other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plexmoor {

// "A number" as the input checks take it. Accepted, with blanks (spaces and
// tabs) around it:
//   - "&H" and 1-8 hexadecimal digits, "&O" and octal digits up to 32 bits
//     (letters in either case);
//   - an optional sign, decimal digits with an optional decimal point and
//     fraction, digit groups separated by "," (a thousands separator), and
//     an optional exponent: "E" or "D" (either case), an optional sign and
//     digits. At least one digit stands before the exponent.
// Anything else, the empty text included, is not a number.
bool IsNumber(std::string_view text);

// A decimal box's value: exactly one whole decimal number (blanks around
// an optional sign and digits) inside the signed 32-bit range; nothing
// otherwise. Fractions, exponents, separators, "&H" and "&O" literals and
// out-of-range values are refused rather than rounded, cut or wrapped.
std::optional<int32_t> ParseDecimal32(std::string_view text);
// A hexadecimal box: 1-8 hexadecimal digits, blanks after them allowed,
// taken as 32-bit two's complement, so "7fc0" gives 32704 and "FFFFFFFF"
// gives -1.
std::optional<int32_t> HexToInt32(std::string_view text);

// The leading whole number of a text: blanks, an optional sign and digits,
// stopping at the first other character; 0 when there is none. Saturates at
// the ends of the signed 32-bit range instead of overflowing. For list
// entries and labels the program wrote itself ("2-998 bandplan").
int32_t WholeNumber(std::string_view text);

// r as a percentage with at least two digits before the point and one after
// it: 0.4096 gives "41.0%", 0 gives "00.0%".
std::string FormatPercent(float r);

// A duration as a person reads it: "0.4 s", "42 s", "3 min 05 s", "1 h 02 min".
std::string FormatSeconds(double seconds);
// Bytes per second in the largest unit that keeps a number above 1:
// "812 B/s", "51.2 KiB/s", "1.4 MiB/s".
std::string FormatRate(double bytes_per_second);
// How long a run of bytes took, with its rate when the time is long enough
// to give one: "took 3.1 s, 1.4 MiB/s"; "took 0.0 s" under 0.1 s.
std::string FormatTook(double seconds, int64_t bytes);
// A flash size given as a power of two: "64 KiB", "2 MiB".
std::string FormatSize(uint64_t bytes);

} // namespace plexmoor
