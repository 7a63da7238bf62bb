// Fast programming: the same bytes at the same addresses as program flash,
// with the busy bit polled instead of the fixed waits, one 64 KiB erase
// command per block, a block read first and left alone where it already
// holds the bytes or erased only where it is not blank, and a chunk
// verified with one read. The progress address, the message pump before
// every page, the restarts and the messages are program flash's.
#pragma once

#include <cstdio>

namespace zintra::flash {

// Waits, within a block erase's budget, for a part still busy with earlier
// work; false when it stays busy or does not answer, said to the user.
bool fast_wait_until_ready();

// Programs the rest of `file` from the progress address on; true when every
// chunk reads back as the file, false when the run failed (said why).
bool program_fast(std::FILE* file);

} // namespace zintra::flash
