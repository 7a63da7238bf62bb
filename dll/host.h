// The library's only ways to talk to its host: the message box, the debug
// output and the sleep, all through the imported Windows calls so that a
// test double sees each of them.
#pragma once

#include <cstdint>

namespace zintra::host {

// A modal box with the caption "Zintra" and one OK button.
void show(const char* text);
[[gnu::format(printf, 1, 2)]] void showf(const char* format, ...);
void debug(const char* text);
[[gnu::format(printf, 1, 2)]] void debugf(const char* format, ...);
void sleep_ms(uint32_t milliseconds);
// A monotonic time in microseconds, from the performance counter (the
// board's clock when a virtual board keeps one).
uint64_t now_us();

} // namespace zintra::host
