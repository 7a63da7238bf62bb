// The configuration tables: field encodings per system version, GetConf and
// the two loaders, and the places the block takes in an image and in flash.
#pragma once

#include "block_layout.h"
#include "library_state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zintra::config {

void header_reset();
// What open programmer clears (table 4 is kept).
void clear_on_open();
int set_system_version(int32_t version);
int set_port_field(int32_t index, int32_t value, int32_t width);
int set_header_field(int32_t index, int32_t value, int32_t width);
int set_group_field(int32_t index, int32_t value, int32_t width);
// Tables 3-7, system version 4 only.
int set_extra_field(int table, int32_t index, int32_t value, int32_t width);
int32_t get_conf(int32_t table, int32_t index, int32_t width);
int load_from_flash();
int load_from_file(const char* path, int32_t mode);

// Three-byte field k of a table; false (and nothing written) when it does
// not fit.
bool write_field3(std::span<uint8_t> table, int64_t k, uint32_t value);
// The value, or -1 when the field does not fit.
int64_t read_field3(std::span<const uint8_t> table, int64_t k);
// Sized big-endian field at byte i of width w (only the last four bytes of a
// wider field are touched); false when any byte of it falls outside.
bool write_sized(std::span<uint8_t> table, int64_t i, int64_t w, uint32_t value);

// Version-3 port block stride S of a header (table 0 unless given), and the
// bytes of table 2 its blocks take.
uint32_t v3_stride(std::span<const uint8_t> header = state().tables.header);
uint64_t v3_port_bytes(std::span<const uint8_t> header = state().tables.header);
// Whether 8 port blocks of stride S fit in table 2.
bool v3_ports_fit(std::span<const uint8_t> header = state().tables.header);
// Table 0 and the port blocks the header announces, where a version-3 image
// and flash keep them; meaningful only when v3_ports_fit().
std::array<Placement, 2> v3_layout();

// Copies each placement's table bytes into `out`, whose first byte stands
// for address `base`; placements must lie inside it.
void place(std::span<const Placement> layout, std::span<uint8_t> out, uint32_t base);
// The reverse: fills the tables from `in`.
void take(std::span<const Placement> layout, std::span<const uint8_t> in, uint32_t base);

} // namespace zintra::config
