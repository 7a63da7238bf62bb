#include "bridge_choice.h"

#include "ftd2xx.h"
#include "library_state.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace zintra::bridges {
namespace {

// The listing writes at most this much, terminator included.
constexpr std::size_t kListedSize = FT_DESCRIPTION_SIZE;

// One text of bridge `index`, empty when the listing cannot give it.
std::string listed_text(uint32_t index, DWORD kind) {
    std::array<char, kListedSize> text{};
    if (FT_ListDevices(reinterpret_cast<PVOID>(std::uintptr_t{index}), text.data(),
                       FT_LIST_BY_INDEX | kind) != FT_OK)
        return {};
    text.back() = '\0';
    return text.data();
}

} // namespace

bool choose(const char* serial) {
    auto& chosen = state().bridge;
    const std::size_t length = serial ? strnlen(serial, chosen.size()) : 0;
    if (length == chosen.size()) return false;
    chosen.fill('\0');
    if (length) std::memcpy(chosen.data(), serial, length);
    return true;
}

uint32_t list(uint32_t index, Listed& out) {
    DWORD count = 0;
    if (FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK) return 0;
    if (index < count)
        out = {listed_text(index, FT_OPEN_BY_SERIAL_NUMBER),
               listed_text(index, FT_OPEN_BY_DESCRIPTION)};
    return count;
}

} // namespace zintra::bridges
