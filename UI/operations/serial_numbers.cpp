#include "serial_numbers.h"

#include "text_functions.h"

#include <cstdio>

namespace plexmoor::ops {
namespace {

constexpr std::string_view kLetters = "QV";
constexpr std::size_t kSerialLength = 11;
constexpr std::size_t kPrefixLength = 8; // "QV" and YYMMDD
constexpr int kLastOfADay = 999;

bool Digits(std::string_view s) {
    for (char ch : s)
        if (ch < '0' || ch > '9') return false;
    return !s.empty();
}

} // namespace

std::string SerialDay(const Date& d) {
    char date[16];
    std::snprintf(date, sizeof date, "%02d%02d%02d", ((d.year % 100) + 100) % 100, d.month % 100,
                  d.day % 100);
    return date;
}

std::string SerialPrefix(const Date& today) {
    return std::string(kLetters) + SerialDay(today);
}

int TodaysCounter(std::string_view serial, const Date& today) {
    const std::string s = Trim(serial);
    if (s.size() != kSerialLength || s.compare(0, kPrefixLength, SerialPrefix(today)) != 0)
        return 0;
    const std::string counter = s.substr(kPrefixLength);
    return Digits(counter) ? std::stoi(counter) : 0;
}

bool WellFormedSerial(std::string_view serial) {
    return serial.size() == kSerialLength && serial.substr(0, kLetters.size()) == kLetters &&
           Digits(serial.substr(kLetters.size()));
}

std::optional<std::string> NextSerial(std::string_view box, const Date& today) {
    const std::string serial = Trim(box);
    if (serial.size() != kSerialLength) return std::nullopt;
    const std::string prefix = SerialPrefix(today);
    if (serial.compare(0, kPrefixLength, prefix) != 0) return prefix + "001";
    // Only three decimal digits count a day's boards: a sign, a blank or a
    // fraction there is no counter.
    const std::string counter = serial.substr(kPrefixLength);
    const int value = Digits(counter) ? std::stoi(counter) : kLastOfADay;
    if (value >= kLastOfADay) return std::nullopt;
    char next[16];
    std::snprintf(next, sizeof next, "%03d", value + 1);
    return prefix + next;
}

} // namespace plexmoor::ops
