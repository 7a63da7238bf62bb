// A copy of part of the flash in a file, taken before the flash panel
// changes the board: read twice, written whole or not at all, read back.
#pragma once

#include <cstdint>

namespace zintra::backup {

// Writes flash [address, address + length) to `path`; 1 only when the file
// holds exactly what the flash read twice alike, 0 with a message naming
// the path otherwise. Erases and programs nothing. Pumps the host's
// messages and sets the progress address to the piece it reads, through
// the range once to write the file and once more to compare; a stop asked
// for meanwhile ends it with 0.
int backup_flash(const char* path, int32_t address, int32_t length);

} // namespace zintra::backup
