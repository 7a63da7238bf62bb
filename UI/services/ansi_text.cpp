#include "ansi_text.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace plexmoor {
namespace {

// The characters of bytes 0x80-0x9F; the rest of the code page is Latin-1,
// byte and character alike. The unassigned five keep their own number.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
constexpr char32_t kFirstHigh = 0x80;
constexpr char32_t kLastByte = 0xFF;

char32_t CharacterOf(uint8_t byte) {
    if (byte >= kFirstHigh && byte < kFirstHigh + kHighControls.size())
        return kHighControls[byte - kFirstHigh];
    return byte;
}

std::optional<uint8_t> ByteOf(char32_t c) {
    if (c < kFirstHigh || (c >= kFirstHigh + kHighControls.size() && c <= kLastByte))
        return static_cast<uint8_t>(c);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == c) return static_cast<uint8_t>(kFirstHigh + i);
    return std::nullopt;
}

// The character that starts at `at` and moves `at` past it; nothing for a
// byte sequence that is no UTF-8 (overlong forms and surrogates included).
std::optional<char32_t> NextCharacter(std::string_view s, std::size_t& at) {
    // Per length of the sequence: the lead byte's mask and marker, the
    // bits it carries and the least character that needs that length.
    struct Form {
        uint8_t mask, marker, bits;
        char32_t least;
    };
    static constexpr std::array<Form, 4> kForms = {{
        {0x80, 0x00, 0x7F, 0},
        {0xE0, 0xC0, 0x1F, 0x80},
        {0xF0, 0xE0, 0x0F, 0x800},
        {0xF8, 0xF0, 0x07, 0x10000},
    }};
    const auto lead = static_cast<uint8_t>(s[at]);
    std::size_t extra = 0;
    while (extra < kForms.size() && (lead & kForms[extra].mask) != kForms[extra].marker)
        ++extra;
    if (extra == kForms.size()) return std::nullopt;
    char32_t c = lead & kForms[extra].bits;
    const char32_t least = kForms[extra].least;
    if (at + extra >= s.size()) return std::nullopt;
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<uint8_t>(s[at + k]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    at += extra + 1;
    return c;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Valid UTF-8 with at least one character beyond ASCII.
// Nearly every line of a settings file: the same bytes in either encoding.
bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
}

bool IsWideUtf8(std::string_view s) {
    bool wide = false;
    for (std::size_t at = 0; at < s.size();) {
        wide = wide || static_cast<uint8_t>(s[at]) >= 0x80;
        if (!NextCharacter(s, at)) return false;
    }
    return wide;
}

// Qt hands the window UTF-8; the Windows program's ANSI controls hand it
// the code page.
#ifdef _WIN32
constexpr bool kWindowTextIsUtf8 = false;
#else
constexpr bool kWindowTextIsUtf8 = true;
#endif

} // namespace

std::optional<std::string> Utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const std::optional<char32_t> c = NextCharacter(utf8, at);
        if (!c) return std::nullopt;
        const std::optional<uint8_t> byte = ByteOf(*c);
        if (!byte) return std::nullopt;
        out += static_cast<char>(*byte);
    }
    return out;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char b : bytes)
        AppendUtf8(out, CharacterOf(static_cast<uint8_t>(b)));
    return out;
}

std::optional<std::string> ToCodePage(std::string_view text) {
    if (!kWindowTextIsUtf8) return std::string(text);
    return Utf8ToWindows1252(text);
}

std::string FromCodePage(std::string_view bytes) {
    return kWindowTextIsUtf8 ? Windows1252ToUtf8(bytes) : std::string(bytes);
}

std::string FromFileText(std::string_view bytes) {
    if (IsAscii(bytes)) return std::string(bytes);
    if (!IsWideUtf8(bytes)) return FromCodePage(bytes);
    if (kWindowTextIsUtf8) return std::string(bytes);
    return Utf8ToWindows1252(bytes).value_or(std::string(bytes));
}

std::string ToFileText(std::string_view text) {
    if (IsAscii(text)) return std::string(text);
    return ToCodePage(text).value_or(std::string(text));
}

std::size_t CharacterCount(std::string_view text) {
    if (!kWindowTextIsUtf8) return text.size();
    std::size_t count = 0;
    for (char b : text)
        count += (static_cast<uint8_t>(b) & 0xC0) != 0x80;
    return count;
}

} // namespace plexmoor
