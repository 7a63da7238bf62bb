// Serial numbers: "QV", the day as YYMMDD and the day's three-digit
// counter. Generate Serial turns the box's serial into the next one from
// the box and the date alone; the record reserves them.
#pragma once

#include "services.h"

#include <optional>
#include <string>
#include <string_view>

namespace plexmoor::ops {

// "QV" and the day, and the day alone.
std::string SerialPrefix(const Date& today);
std::string SerialDay(const Date& today);
// The counter of a serial of today, 0 when it is none.
int TodaysCounter(std::string_view serial, const Date& today);
// A serial of the form itself, of any day.
bool WellFormedSerial(std::string_view serial);
// The serial after `serial` (blanks around it ignored): today's 001 when it
// is of another day, the counter plus one when of today; nothing when it is
// not eleven characters or today's counter is not below 999.
std::optional<std::string> NextSerial(std::string_view serial, const Date& today);

} // namespace plexmoor::ops
