#include "packed_image_check.h"

#include "block_layout.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace plexmoor::ops {
namespace {

namespace config = zintra::config;

// The block's first bytes as the library resets them; the window never
// writes over them (versions 2 and 3).
constexpr std::array<uint8_t, 3> kHeaderMark = {0xA5, 0x5A, 0xA5};
constexpr std::size_t kVersionByte = 5;
constexpr uint8_t kV4FirstByte = 0xFF; // also what erased flash reads
constexpr std::size_t kSniffed = 4096;

uint8_t At(std::string_view bytes, std::size_t i) {
    return static_cast<uint8_t>(bytes[i]);
}

uint64_t BigEndian32(std::string_view bytes, std::size_t at) {
    uint64_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = v << 8 | At(bytes, at + i);
    return v;
}

bool IsVersion2Or3(std::string_view bytes) {
    const std::size_t header = config::kBlockAddress;
    if (bytes.size() <= header + kVersionByte) return false;
    for (std::size_t i = 0; i < kHeaderMark.size(); ++i)
        if (At(bytes, header + i) != kHeaderMark[i]) return false;
    const uint8_t version = At(bytes, header + kVersionByte);
    return version == 2 || version == 3;
}

// The OT image starts at the second flash block and the RT image behind it.
bool IsVersion4(std::string_view bytes) {
    if (bytes.size() <= config::kV4BlockSize || At(bytes, 0) != kV4FirstByte) return false;
    const uint64_t ot = BigEndian32(bytes, config::kV4OtLengthByte);
    const uint64_t rt = BigEndian32(bytes, config::kV4RtLengthByte);
    return ot > 0 && config::kFlashBlockSize + ot + rt <= bytes.size();
}

bool IsText(std::string_view bytes) {
    const std::string_view head = bytes.substr(0, kSniffed);
    return std::all_of(head.begin(), head.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 || u == '\t' || u == '\n' || u == '\r';
    });
}

} // namespace

std::string WhatIsNotPacked(std::string_view bytes) {
    if (IsVersion2Or3(bytes) || IsVersion4(bytes)) return {};
    if (bytes.empty()) return "an empty file";
    if (std::all_of(bytes.begin(), bytes.end(),
                    [](char c) { return static_cast<uint8_t>(c) == kV4FirstByte; }))
        return "erased flash (every byte FF)";
    if (IsText(bytes)) return "text";
    if (bytes.size() <= config::kBlockAddress)
        return std::to_string(bytes.size()) +
               " bytes, too short for a configuration header at 00010000";
    return "no configuration header at 00010000 and no version-4 block at 00000000";
}

} // namespace plexmoor::ops
