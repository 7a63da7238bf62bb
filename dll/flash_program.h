// Flash programming: read the ID, erase with status polling, program and
// verify a file chunk by chunk.
#pragma once

#include <cstdint>

namespace zintra::flash {

int read_flash_id();
// The chip's size as the capacity byte of the last ID gives it, 0 when the
// byte names no plausible size.
uint64_t chip_size();
// Write enable, block erase at `address`, then poll the busy bit within the
// erase budget. 1 when the erase finished, 0 otherwise (no message).
int erase_block_and_wait(uint32_t address);
int program_flash(int32_t first_byte_check);
int probe_id_loop();

} // namespace zintra::flash
