// Page reads and writes of the SPI flash, the same commands in the same
// order for programming, the configuration loader and the serial record.
#pragma once

#include "spi_engine.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace zintra::flash {

// One read or program command moves at most one page.
constexpr uint32_t kPageSize = 256;
using Page = std::array<uint8_t, kPageSize>;

// Reads the page at `address` into `page`, cleared first so that a page that
// does not arrive reads as zeros, never as bytes of an earlier one.
[[nodiscard]] spi::Result read_page(uint32_t address, Page& page);

// Fills `out` from `address` on with whole-page reads (a short last page is
// read whole and cut), stopping at a page that did not arrive. The address
// of that page, or nothing when every page arrived.
std::optional<uint32_t> read_pages(uint32_t address, std::span<uint8_t> out);

// Reads `out` and then reads it again, page by page, to compare: a reply
// that came back wrong once must not be taken for the flash's contents.
struct Reading {
    enum class Outcome { kSame, kFailed, kDiffer } outcome = Outcome::kSame;
    uint32_t at = 0; // the page that did not arrive, or the first byte that differed
};
Reading read_pages_twice(uint32_t address, std::span<uint8_t> out);

// Reads `out` (at most the read buffer) with one read command and no fixed
// delay behind it; false when it did not arrive.
bool read_burst(uint32_t address, std::span<uint8_t> out);

// Write enable, then page program of the kPageSize bytes at `data`. Neither
// result is looked at: what went wrong shows when the page is read back.
void write_page(uint32_t address, uint8_t* data);

} // namespace zintra::flash
