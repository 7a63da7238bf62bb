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

// What is wrong with a table of parts (the first fault found), or null: as
// flashrom walks its chip table, every row is checked before it is used,
// here at compile time. Each erase command erases a power of two that
// divides a block, smallest first; the exact mode's erase is one of them; a
// row of a whole ID names its family and a capacity its capacity byte
// agrees with; no two rows match alike; every budget is set.
template <std::size_t N> constexpr const char* check(const Part (&table)[N], const Part& any) {
    auto row = [](const Part& p) -> const char* {
        bool exact_listed = false;
        for (std::size_t i = 0; i < p.erases.size(); ++i) {
            const uint32_t size = p.erases[i].size;
            if (size == 0 || (size & (size - 1)) != 0 || kBlockSize % size != 0)
                return "an erase size is no power of two that divides a block";
            if (i > 0 && p.erases[i - 1].size >= size) return "the erases are not smallest first";
            exact_listed = exact_listed || (p.erases[i].opcode == p.exact_erase.opcode &&
                                            size == p.exact_erase.size);
        }
        if (!exact_listed) return "the exact mode's erase is not among the part's erases";
        if (p.page_program_ms == 0 || p.block_erase_ms == 0) return "a time budget is not set";
        if (p.match == Match::kWholeId) {
            if (p.family[0] == '\0') return "a part of a whole ID has no family name";
            if (p.id[2] > 40 || uint64_t{p.capacity_kib} * 1024 != uint64_t{1} << p.id[2])
                return "a capacity disagrees with the capacity byte";
        } else if (p.capacity_kib != 0) {
            return "a row of a maker alone names a capacity";
        }
        return nullptr;
    };
    for (std::size_t i = 0; i < N; ++i) {
        if (const char* fault = row(table[i])) return fault;
        if (table[i].match == Match::kAny) return "a row of the table matches any part";
        for (std::size_t j = 0; j < i; ++j) {
            const bool same_maker = table[i].id[0] == table[j].id[0];
            if (table[i].match == table[j].match &&
                (table[i].match == Match::kMaker ? same_maker : table[i].id == table[j].id))
                return "two rows match the same parts";
        }
    }
    if (any.match != Match::kAny) return "the row for any other part is not one";
    return row(any);
}
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
