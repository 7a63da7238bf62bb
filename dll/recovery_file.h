// A copy of flash contents kept on disk while the flash holding them is
// erased and rewritten, so that an interrupted rewrite never loses them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace zintra::recovery {

// Writes `bytes`, read from flash at `address`, to a new file in the
// library's own folder (beside the program that loaded it), or in the
// user's state folder ($XDG_STATE_HOME or ~/.local/state, then plexmoor)
// when the library's folder cannot take it, and names it in `path`. The
// name carries the address and the time, and an existing file is never
// replaced, so a second board's copy does not take the place of the first
// one's. False, with `path` naming the file tried, when it could not be
// written whole.
bool save(uint32_t address, std::span<const uint8_t> bytes, std::string& path);

// Removes a copy that is no longer needed.
void discard(const std::string& path);

// The oldest copy an interrupted rewrite left in either folder.
std::optional<std::string> oldest();

} // namespace zintra::recovery
