// Where the configuration block and its tables stand in a packed image and
// in flash, per system version: the library's layout, which a caller may
// read without the library's state.
#pragma once

#include <array>
#include <cstdint>

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

} // namespace zintra::config
