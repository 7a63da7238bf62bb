#include "host.h"

#include "texts.h"
#include "windows_calls.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace zintra::host {
namespace {

std::string vformat(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

} // namespace

void show(const char* text) {
    windows_calls().message_box(nullptr, text, text::kCaption, MB_OK);
}

void showf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = vformat(format, args);
    va_end(args);
    show(s.c_str());
}

void debug(const char* text) {
    windows_calls().debug_output(text);
}

void debugf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = vformat(format, args);
    va_end(args);
    debug(s.c_str());
}

void sleep_ms(uint32_t milliseconds) {
    windows_calls().sleep(milliseconds);
}

uint64_t now_us() {
    LARGE_INTEGER frequency{}, count{};
    const WindowsCalls& calls = windows_calls();
    if (!calls.performance_frequency(&frequency) || frequency.QuadPart <= 0 ||
        !calls.performance_counter(&count) || count.QuadPart < 0)
        return 0;
    // Split, so that a counter running for weeks does not overflow.
    const auto f = static_cast<uint64_t>(frequency.QuadPart);
    const auto c = static_cast<uint64_t>(count.QuadPart);
    return c / f * 1'000'000 + c % f * 1'000'000 / f;
}

} // namespace zintra::host
