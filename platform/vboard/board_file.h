// The file that keeps the flash contents between runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vboard {

// Loads exactly `size` bytes. A missing file gives an erased part (0xFF) and
// `existed` false; a file of any other size, or one that cannot be read, is
// refused with the reason in `error`.
bool load_board_file(const std::string& path, uint32_t size, std::vector<uint8_t>& contents,
                     bool& existed, std::string& error);
// Writes through a temporary file in the same folder and renames it over the
// board file, so a crash mid-write never leaves a half-written board.
bool save_board_file(const std::string& path, const std::vector<uint8_t>& contents,
                     std::string& error);

} // namespace vboard
