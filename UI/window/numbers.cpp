#include "numbers.h"

#include "texts.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace plexmoor {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int DigitValue(char c, int base) {
    int d = -1;
    if (IsDigit(c)) {
        d = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        d = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        d = c - 'A' + 10;
    }
    return d >= 0 && d < base ? d : -1;
}

// "&H..." or "&O..." as 32 bits; nothing when the text is not one.
std::optional<uint32_t> Literal(std::string_view t) {
    if (t.size() < 3 || t[0] != '&') return std::nullopt;
    int base = 0;
    if (t[1] == 'H' || t[1] == 'h') base = 16;
    if (t[1] == 'O' || t[1] == 'o') base = 8;
    if (base == 0) return std::nullopt;
    uint64_t value = 0;
    for (char c : t.substr(2)) {
        int d = DigitValue(c, base);
        if (d < 0) return std::nullopt;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (value > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

// Digits, possibly grouped with ",", starting at i; the count of digits.
std::size_t Digits(std::string_view t, std::size_t& i, bool grouped) {
    std::size_t n = 0;
    while (i < t.size()) {
        if (IsDigit(t[i])) {
            ++n;
            ++i;
        } else if (grouped && t[i] == ',' && n > 0 && i + 1 < t.size() && IsDigit(t[i + 1])) {
            ++i;
        } else {
            break;
        }
    }
    return n;
}

struct Scanned {
    bool negative = false;
    bool any_digit = false;
    bool overflow = false;
    int64_t magnitude = 0;
    std::size_t end = 0; // first character not taken
};

// Blanks, a sign and decimal digits from the start of the text.
Scanned ScanWhole(std::string_view text) {
    Scanned s;
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) s.negative = text[i++] == '-';
    constexpr int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        s.any_digit = true;
        if (!s.overflow) {
            s.magnitude = s.magnitude * 10 + (text[i] - '0');
            if (s.magnitude > limit) s.overflow = true;
        }
    }
    s.end = i;
    return s;
}

} // namespace

bool IsNumber(std::string_view text) {
    std::string_view t = TrimBlanks(text);
    if (Literal(t)) return true;
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t mantissa = Digits(t, i, true);
    if (i < t.size() && t[i] == '.') {
        ++i;
        mantissa += Digits(t, i, false);
    }
    if (mantissa == 0) return false;
    if (i < t.size() && (t[i] == 'E' || t[i] == 'e' || t[i] == 'D' || t[i] == 'd')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (Digits(t, i, false) == 0) return false;
    }
    return i == t.size();
}

std::optional<int32_t> ParseDecimal32(std::string_view text) {
    Scanned s = ScanWhole(text);
    if (!s.any_digit || s.overflow) return std::nullopt;
    for (std::size_t i = s.end; i < text.size(); ++i)
        if (!IsBlank(text[i])) return std::nullopt;
    int64_t value = s.negative ? -s.magnitude : s.magnitude;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::optional<int32_t> HexToInt32(std::string_view text) {
    std::string literal = "&H";
    literal += TrimBlanks(text);
    // Blanks between "&H" and the digits are no number; only those around
    // the whole text are.
    if (!text.empty() && IsBlank(text.front())) return std::nullopt;
    std::optional<uint32_t> value = Literal(literal);
    if (!value) return std::nullopt;
    return static_cast<int32_t>(*value);
}

int32_t WholeNumber(std::string_view text) {
    Scanned s = ScanWhole(text);
    if (!s.any_digit) return 0;
    if (s.negative) {
        return s.overflow ? std::numeric_limits<int32_t>::min()
                          : static_cast<int32_t>(-s.magnitude);
    }
    if (s.overflow || s.magnitude > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(s.magnitude);
}

std::string FormatPercent(float r) {
    // Tenths of a percent, halves rounded away from zero; snprintf cuts an
    // absurdly large value rather than overrun the buffer.
    double tenths = std::round(static_cast<double>(r) * 1000.0);
    if (!std::isfinite(tenths)) return "00.0%";
    bool negative = tenths < 0;
    double magnitude = std::fabs(tenths);
    double whole = std::floor(magnitude / 10.0);
    int digit = static_cast<int>(magnitude - whole * 10.0);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s%02.0f.%d%%", negative ? "-" : "", whole, digit);
    return buffer;
}

std::string FormatSeconds(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
    const long s = std::lround(seconds);
    char buffer[32];
    if (seconds < 9.95) {
        std::snprintf(buffer, sizeof buffer, "%.1f s", seconds);
    } else if (s < 60) {
        std::snprintf(buffer, sizeof buffer, "%ld s", s);
    } else if (s < 3600) {
        std::snprintf(buffer, sizeof buffer, "%ld min %02ld s", s / 60, s % 60);
    } else {
        std::snprintf(buffer, sizeof buffer, "%ld h %02ld min", s / 3600, s / 60 % 60);
    }
    return buffer;
}

std::string FormatRate(double rate) {
    if (!std::isfinite(rate) || rate < 0) rate = 0;
    char buffer[32];
    if (rate < 1024) {
        std::snprintf(buffer, sizeof buffer, "%.0f B/s", rate);
    } else if (rate < 1024.0 * 1024) {
        std::snprintf(buffer, sizeof buffer, "%.1f KiB/s", rate / 1024);
    } else {
        std::snprintf(buffer, sizeof buffer, "%.1f MiB/s", rate / 1024 / 1024);
    }
    return buffer;
}

std::string FormatTook(double seconds, int64_t bytes) {
    constexpr double kShortestRated = 0.1;
    std::string out = std::string(text::kTook) + FormatSeconds(seconds);
    if (seconds >= kShortestRated) out += ", " + FormatRate(static_cast<double>(bytes) / seconds);
    return out;
}

std::string FormatSize(uint64_t bytes) {
    if (bytes >= (uint64_t{1} << 20)) return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes >> 10) + " KiB";
}

} // namespace plexmoor
