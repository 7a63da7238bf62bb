// The library's whole state: static, process-wide, zero at load.
#pragma once

#include "ftd2xx.h"

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zintra {

constexpr int kSlotCount = 9;
// Path slots and the write path have room for the platform's longest path,
// so no path a caller can name is ever cut; longer texts are refused.
constexpr std::size_t kPathSize = PATH_MAX;
constexpr std::size_t kImageSize = 0x100000;
constexpr int kTableCount = 8;
constexpr std::array<std::size_t, kTableCount> kTableSizes = {256,  256, 65024, 512,
                                                              4608, 448, 4544,  512};

struct Tables {
    std::array<uint8_t, kTableSizes[0]> header{};
    std::array<uint8_t, kTableSizes[1]> group{};
    std::array<uint8_t, kTableSizes[2]> port{};
    std::array<uint8_t, kTableSizes[3]> t3{};
    std::array<uint8_t, kTableSizes[4]> t4{};
    std::array<uint8_t, kTableSizes[5]> t5{};
    std::array<uint8_t, kTableSizes[6]> t6{};
    std::array<uint8_t, kTableSizes[7]> t7{};

    // Table n (0-7) as a span; an empty span for any other n.
    std::span<uint8_t> table(int n);
};

using Path = std::array<char, kPathSize>;

struct LibraryState {
    bool opened = false;
    FT_HANDLE device = nullptr;
    // The bridge went from the bus under the open handle: told once, and
    // every later transfer fails without a word until the next open.
    bool device_lost = false;
    // The serial number of the bridge every open uses; empty for the first
    // bridge listed.
    std::array<char, FT_SERIAL_NUMBER_SIZE> bridge{};
    int32_t system_version = 0;
    int32_t fields_per_port = 0;
    int32_t group_index = 0;
    // The whole JEDEC ID read last: maker, type, capacity (2^n bytes).
    std::array<uint8_t, 3> jedec_id{};
    std::array<Path, kSlotCount> slots{};
    Path write_path{};
    int32_t start_address = 0;
    int32_t progress = 0;
    Tables tables;
    std::array<uint8_t, kImageSize> image{};
    int32_t image_length = 0;
    // Set while program flash or a backup runs; the exports refuse every
    // call but GetFlashProgress and ZintraStop then, since handlers run
    // inside its message pump.
    bool programming = false;
    // Asked for by ZintraStop during a run; the run stops at the next page,
    // erase or piece of a backup.
    bool stop_requested = false;
};

LibraryState& state();

} // namespace zintra
