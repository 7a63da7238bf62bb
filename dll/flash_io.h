// Page reads and writes of the SPI flash, the same commands in the same
// order for programming, the configuration loader and the serial record.
#pragma once

#include "spi_engine.h"

#include <array>
#include <cstdint>
#include <span>

namespace zintra::flash {

// One read or program command moves at most one page.
constexpr uint32_t kPageSize = 256;
using Page = std::array<uint8_t, kPageSize>;

// Reads the page at `address` into `page`, cleared first so that a page that
// does not arrive reads as zeros, never as bytes of an earlier one.
[[nodiscard]] spi::Result read_page(uint32_t address, Page& page);

// What a read of several pages does at a page that did not arrive.
enum class OnFailedRead {
    kGoOn, // its zeros take its place and the next page is read
    kStop, // nothing more is read or copied
};

// Fills `out` from `address` on with whole-page reads (a short last page is
// read whole and cut). True when every page read arrived.
bool read_pages(uint32_t address, std::span<uint8_t> out, OnFailedRead policy);

// Write enable, then page program of the kPageSize bytes at `data`. Neither
// result is looked at: what went wrong shows when the page is read back.
void write_page(uint32_t address, uint8_t* data);

} // namespace zintra::flash
