// The figures a board writes when its bridge closes, so that a user of the
// virtual board learns how long a real one would have taken.
#pragma once

#include <cstdint>
#include <string>

namespace vboard {

struct BoardStats {
    uint64_t board_us = 0; // board time from open to close
    uint64_t usb_transfers = 0;
    uint64_t bytes_out = 0;
    uint64_t bytes_in = 0;
    uint32_t spi_hz = 0; // the last SPI clock set
    uint64_t erases = 0;
    uint64_t pages_programmed = 0;
};

// One JSON object on one line.
std::string stats_json(const BoardStats& stats);
// Replaces the file at `path` ("%s" in it: the serial number) with the
// object; false with the reason in `error`.
bool write_stats(const std::string& path, const std::string& serial, const BoardStats& stats,
                 std::string& error);

} // namespace vboard
