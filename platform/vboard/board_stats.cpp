#include "board_stats.h"

#include <cstdio>

namespace vboard {

std::string stats_json(const BoardStats& s) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "{\"board_us\": %llu, \"usb_transfers\": %llu, \"bytes_out\": %llu, "
                  "\"bytes_in\": %llu, \"spi_hz\": %u, \"erases\": %llu, "
                  "\"pages_programmed\": %llu}\n",
                  static_cast<unsigned long long>(s.board_us),
                  static_cast<unsigned long long>(s.usb_transfers),
                  static_cast<unsigned long long>(s.bytes_out),
                  static_cast<unsigned long long>(s.bytes_in), s.spi_hz,
                  static_cast<unsigned long long>(s.erases),
                  static_cast<unsigned long long>(s.pages_programmed));
    return text;
}

bool write_stats(const std::string& path, const std::string& serial, const BoardStats& stats,
                 std::string& error) {
    std::string target = path;
    if (const auto at = target.find("%s"); at != std::string::npos) target.replace(at, 2, serial);
    std::FILE* f = std::fopen(target.c_str(), "w");
    const std::string json = stats_json(stats);
    const bool written = f && std::fputs(json.c_str(), f) >= 0;
    const bool closed = f && std::fclose(f) == 0;
    if (written && closed) return true;
    error = "cannot write the board's figures to " + target;
    return false;
}

} // namespace vboard
