// The serial-number field inside the port table.
#pragma once

#include <cstdint>

namespace zintra::serial {

int pack_serial(const char* text, int32_t length);
int get_serial(char* output);
int flash_serial();

} // namespace zintra::serial
