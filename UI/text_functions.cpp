#include "text_functions.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace plexmoor {

std::string FieldOf(std::string_view text, std::string_view delimiter, int n) {
    if (n <= 0) return {};
    if (delimiter.empty()) return n == 1 ? std::string(text) : std::string();
    std::size_t start = 0;
    std::size_t search = 0;
    for (int field = 1;; ++field) {
        std::size_t hit = text.find(delimiter, search);
        if (field == n) {
            return std::string(text.substr(
                start, hit == std::string_view::npos ? std::string_view::npos : hit - start));
        }
        if (hit == std::string_view::npos) return {};
        start = hit + 1;
        search = hit + 1;
    }
}

std::string Trim(std::string_view text) {
    std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) return {};
    std::size_t end = text.find_last_not_of(' ');
    return std::string(text.substr(begin, end - begin + 1));
}

namespace {

struct Scanned {
    bool negative = false;
    bool any_digit = false;
    bool overflow = false;
    int64_t magnitude = 0;
    std::size_t end = 0; // first character not taken
};

Scanned ScanNumber(std::string_view text) {
    Scanned s;
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) {
        s.end = text.size();
        return s;
    }
    if (text[i] == '+' || text[i] == '-') s.negative = text[i++] == '-';
    constexpr int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
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

int32_t WholeNumber(std::string_view text) {
    Scanned s = ScanNumber(text);
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

std::optional<int32_t> ParseDecimal32(std::string_view text) {
    Scanned s = ScanNumber(text);
    if (!s.any_digit || s.overflow) return std::nullopt;
    if (text.find_first_not_of(' ', s.end) != std::string_view::npos) return std::nullopt;
    int64_t value = s.negative ? -s.magnitude : s.magnitude;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(value);
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

} // namespace plexmoor
