// The serial-number field inside the port table.
#pragma once

#include <cstdint>

namespace zintra::serial {

int pack_serial(const char* text, int32_t length);
int get_serial(char* output);
int flash_serial();
// The serial the block in the flash holds, in the layout of the system
// version set, into out (size bytes with the terminator; empty for an
// erased field); 0 when it could not be read or the version keeps none in
// the flash.
int board_serial(char* out, int32_t size);

} // namespace zintra::serial
