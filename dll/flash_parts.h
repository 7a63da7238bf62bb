// What the library knows of the flash parts behind the bridge: one row per
// JEDEC ID or maker, read by the erase-command choice, the fast mode's time
// budgets, the capacity decoding and the window's chip line alike.
#pragma once

#include "spi_engine.h"

#include <array>
#include <cstdint>

namespace zintra::parts {

// Bit 0 of the status register: the part is still programming or erasing.
constexpr uint8_t kBusyBit = 0x01;
// Block protect (bits 2-5, as many as a part has) and status write disable
// (bit 7): a part with any of them set ignores program or erase somewhere.
constexpr uint8_t kProtectionBits = 0xBC;
// The erase block every part here has: program flash erases where a chunk
// opens one, and the configuration block is one.
constexpr uint32_t kBlockSize = 0x10000;
// Everything a 3-byte SPI address can reach; past it the address would wrap
// onto the start of the flash.
constexpr uint64_t kAddressSpace = 0x1000000;

constexpr bool is_busy(uint8_t status) {
    return (status & kBusyBit) != 0;
}

struct EraseCommand {
    uint8_t opcode;
    uint32_t size;
};
constexpr EraseCommand kErase4K{spi::kSectorErase, 0x1000};
constexpr EraseCommand kErase32K{spi::kBlockErase32, 0x8000};
constexpr EraseCommand kErase64K{spi::kBlockErase64, 0x10000};

// How a row is matched: the whole ID, or the maker byte alone.
enum class Match { kWholeId, kMaker, kAny };

struct Part {
    Match match;
    std::array<uint8_t, 3> id; // maker, type, capacity code (as far as matched)
    // The family name the window shows; empty where only the maker is known.
    const char* family;
    // 0 where the capacity byte says it (2^n bytes).
    uint32_t capacity_kib;
    // The erase commands the part takes, smallest first.
    std::array<EraseCommand, 3> erases;
    // The command program flash erases a 64 KiB block with, once per piece.
    EraseCommand exact_erase;
    // The longest a command may take: twice the datasheet maximum, so that
    // USB latency and a part at the edge of its limits never end a good run.
    uint32_t page_program_ms;
    uint32_t block_erase_ms;
};

// The row for a JEDEC ID: the whole ID, else its maker, else the row for
// any other part (today's behaviour for an unknown part).
const Part& lookup(const std::array<uint8_t, 3>& id);
// The row of the part whose ID the library read last.
const Part& current();
// The budgets of any part at all, for waits before the ID is known.
const Part& any_part();

// The part's size in bytes from its row or its capacity byte; 0 when the
// byte names no size a serial NOR part can have (64 KiB to 4 GiB), as the
// FF of a missing chip.
uint64_t capacity_bytes(const std::array<uint8_t, 3>& id);

} // namespace zintra::parts
