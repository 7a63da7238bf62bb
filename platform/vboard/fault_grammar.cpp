// FTD2XX_VIRTUAL_FAULTS: a comma-separated list of faults, each a word or a
// word with a value (see the README).
#include "fault_grammar.h"

#include "virtual_board.h"

namespace vboard {
namespace {

// flip=N@BEGIN-END or flip=N@BEGIN-END/MASK
bool parse_flip(const std::string& value, Faults& faults) {
    const auto at = value.find('@');
    const auto dash = value.find('-', at == std::string::npos ? 0 : at);
    if (at == std::string::npos || dash == std::string::npos) return false;
    const auto slash = value.find('/', dash);
    uint32_t count = 0, begin = 0, end = 0, mask = faults.flip_mask;
    if (!parse_number(value.substr(0, at), count) ||
        !parse_number(value.substr(at + 1, dash - at - 1), begin) ||
        !parse_number(value.substr(dash + 1, slash == std::string::npos ? slash : slash - dash - 1),
                      end) ||
        (slash != std::string::npos && !parse_number(value.substr(slash + 1), mask)))
        return false;
    if (begin >= end || mask == 0 || mask > 0xFF) return false;
    faults.flipped_reads = count;
    faults.flip_begin = begin;
    faults.flip_end = end;
    faults.flip_mask = static_cast<uint8_t>(mask);
    return true;
}

// slow=N or slow=N/PERCENT: from the Nth page program on (counted from the
// attach), each takes PERCENT % of the part's time (250 unless given).
bool parse_slow(const std::string& value, Faults& faults) {
    const auto slash = value.find('/');
    uint32_t from = 0, percent = faults.slow_percent;
    if (!parse_number(value.substr(0, slash), from) || from == 0 ||
        (slash != std::string::npos && !parse_number(value.substr(slash + 1), percent)) ||
        percent == 0 || percent > 10'000)
        return false;
    faults.slow_from_page = from;
    faults.slow_percent = percent;
    return true;
}

// The faults that are a word alone.
struct Switch {
    const char* word;
    bool Faults::*flag;
};
constexpr Switch kSwitches[] = {
    {"nodevice", &Faults::no_device}, {"open", &Faults::open_fails},
    {"reset", &Faults::reset_fails},  {"bitmode", &Faults::bitmode_fails},
    {"busy", &Faults::busy_stuck},    {"wp", &Faults::write_protected},
    {"nochip", &Faults::no_chip},
};

bool parse_item(const std::string& item, Faults& parsed) {
    const auto eq = item.find('=');
    const std::string key = item.substr(0, eq);
    if (eq == std::string::npos) {
        for (const Switch& s : kSwitches)
            if (key == s.word) return parsed.*s.flag = true;
        return false;
    }
    const std::string value = item.substr(eq + 1);
    if (key == "write")
        return parse_number(value, parsed.write_fails_on_call) && parsed.write_fails_on_call;
    if (key == "read")
        return parse_number(value, parsed.read_fails_on_call) && parsed.read_fails_on_call;
    if (key == "flip") return parse_flip(value, parsed);
    if (key == "slow") return parse_slow(value, parsed);
    if (key == "pull")
        return parse_number(value, parsed.pulled_after_programs) && parsed.pulled_after_programs;
    return false;
}

} // namespace

bool parse_number(const std::string& text, uint32_t& out) {
    if (text.empty()) return false;
    int base = 10;
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits = digits.substr(2);
    }
    uint64_t value = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0) return false;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (value > UINT32_MAX) return false;
    }
    out = static_cast<uint32_t>(value);
    return true;
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> list_items(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        std::string item = trim(text.substr(start, comma - start));
        start = comma + 1;
        if (!item.empty()) items.push_back(std::move(item));
    }
    return items;
}

bool parse_faults(const std::string& text, Faults& faults, std::string& error, const Faults& base) {
    Faults parsed = base;
    for (const std::string& item : list_items(text)) {
        if (!parse_item(item, parsed)) {
            error = "fault \"" + item + "\" not understood";
            return false;
        }
    }
    faults = parsed;
    return true;
}

} // namespace vboard
