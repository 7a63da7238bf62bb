// The images the benchmarks program: 1 MiB packed images of system version
// 4 (the configuration block, then OT and RT firmware, each ending in 0xFF
// padding), packed through Zintra from firmware made of a seed.
#pragma once

#include "byte_pattern.h"
#include "zintra.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace bench {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kImageSize = 0x100000;
constexpr uint32_t kFirmwareSize = 0x78000;
constexpr uint32_t kPadding = 0x6000; // 0xFF at the end of each firmware
constexpr uint32_t kPage = 256;

inline Bytes read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void write_bytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

inline void write_firmware(const fs::path& path, uint32_t seed) {
    Bytes bytes = testing_support::byte_pattern(kFirmwareSize, seed);
    std::fill(bytes.end() - kPadding, bytes.end(), 0xFF);
    write_bytes(path, bytes);
}

// A packed image in `dir` named `name`, of firmware made from two seeds;
// empty when packing failed.
inline Bytes pack(const fs::path& dir, uint32_t seed, const std::string& name) {
    const std::string ot = (dir / (name + "-ot")).string();
    const std::string rt = (dir / (name + "-rt")).string();
    const std::string out = (dir / name).string();
    write_firmware(ot, seed);
    write_firmware(rt, seed + 1);
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 4, 0, 0);
    ZintraActionStr(ZINTRA_STORE_PATH, 1, ot.c_str());
    ZintraActionStr(ZINTRA_STORE_PATH, 2, rt.c_str());
    if (PackFlash("", "", 0, "", 0, out.c_str(), 0) != 1) return {};
    return read_bytes(out);
}

inline bool blank(const uint8_t* p, std::size_t n) {
    return std::all_of(p, p + n, [](uint8_t b) { return b == 0xFF; });
}

// The pages of an image a run has to program: those not all 0xFF.
inline uint32_t programmed_pages(const Bytes& image) {
    uint32_t pages = 0;
    for (std::size_t p = 0; p + kPage <= image.size(); p += kPage)
        pages += blank(image.data() + p, kPage) ? 0 : 1;
    return pages;
}

} // namespace bench
