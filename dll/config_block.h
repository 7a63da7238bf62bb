// The configuration tables: field encodings per system version, GetConf and
// the two loaders, and the places the block takes in an image and in flash.
#pragma once

#include "library_state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zintra::config {

// One table's leading bytes at one place of an image (or of flash).
struct Placement {
    int table;
    uint32_t offset;
    uint32_t length;
};

// Versions 2 and 3 keep the block in the second 64 KiB block of flash.
constexpr uint32_t kBlockAddress = 0x10000;
constexpr uint32_t kFlashBlockSize = 0x10000;

inline constexpr std::array<Placement, 3> kV2Layout = {{
    {0, 0x10000, 256},
    {1, 0x10100, 256},
    {2, 0x10200, 512},
}};
constexpr uint32_t kV2BlockEnd = 0x10400;

// Version 3: table 0 at the block address, then port blocks of S fields
// each, whose total length depends on the header.
constexpr uint32_t kV3HeaderOffset = 0x10000;
constexpr uint32_t kV3PortOffset = 0x10200;
constexpr uint32_t kV3FileLoadPortBytes = 2048;
constexpr uint32_t kV3FlashLoadPortBytes = 1280;
constexpr int kPortBlocks = 8;

// Version 4: the block at the front of the image and in the companion file.
inline constexpr std::array<Placement, 8> kV4Layout = {{
    {0, 0x0000, 128},
    {7, 0x0080, 512},
    {2, 0x0280, 3072},
    {1, 0x0E80, 64},
    {3, 0x0EC0, 512},
    {4, 0x10C0, 4608},
    {5, 0x22C0, 448},
    {6, 0x2480, 4544},
}};
constexpr uint32_t kV4BlockSize = 0x3640;

// Version-3 header fields the library itself reads or writes.
constexpr int kV3ImageCountField = 2;
constexpr int kV3StrideField = 4;
constexpr int kV3FirstOffsetField = 6;
constexpr int kV3MaxImageCountExponent = 3;

// Version-4 header bytes written by the packer.
constexpr int32_t kV4OtLengthByte = 14;
constexpr int32_t kV4RtLengthByte = 18;

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
