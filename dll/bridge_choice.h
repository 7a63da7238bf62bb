// Which bridge the programmer opens: the first one listed, or the one the
// host chose by its serial number; and the list of bridges to choose from.
#pragma once

#include <cstdint>
#include <string>

namespace zintra::bridges {

// Remembers the serial number every later open uses; empty for the first
// bridge listed. False for a text no bridge's serial number can be.
bool choose(const char* serial);

struct Listed {
    std::string serial;
    std::string description;
};
// The number of bridges attached now; bridge `index` into `out` when there
// is one at that place.
uint32_t list(uint32_t index, Listed& out);

} // namespace zintra::bridges
