// Writes a small demo flash image for the virtual board: generated boot
// code and two firmware images, packed by Zintra as the start-up system
// version (3, one DIP switch: two images, eight groups) would pack them.
// Usage: plexmoor-demo-image [--] OUTPUT
#include "os.h"
#include "zintra.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Boot code starts with the byte the packer drops; images hold a marker
// and a counting pattern, so a read-back shows where each one lies.
bool write_part(const fs::path& path, std::size_t size, uint8_t marker) {
    std::vector<char> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + marker) & 0xFF);
    bytes[0] = static_cast<char>(marker);
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

struct Field {
    int32_t index;
    int32_t value;
};

// Header of the start-up configuration: version, DIP count 1, the
// configuration addresses and stride, the first image at 0x20000, and the
// version, date and time of both images.
constexpr Field kHeader[] = {
    {1, 3},         {2, 1},         {3, 0x10200},   {4, 0x40},      {5, 0x7fc0},    {6, 0x20000},
    {14, 0x030001}, {15, 0x261207}, {16, 0x120000}, {17, 0x030001}, {18, 0x261207}, {19, 0x120000},
};

constexpr const char* kUsage =
    "usage: plexmoor-demo-image OUTPUT\n"
    "  writes a demo flash image (160 KiB, system version 3) to OUTPUT\n";

} // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--help" || first == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // An option is never taken for a file name: "--" before a name that
    // starts with "-".
    const bool after_dashes = first == "--";
    const int names = argc - 1 - (after_dashes ? 1 : 0);
    const std::string name = names == 1 ? argv[argc - 1] : "";
    if (names != 1 || name.empty() || (!after_dashes && first[0] == '-')) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::error_code ec;
    const fs::path output = fs::absolute(name, ec);
    if (ec) {
        std::fprintf(stderr, "plexmoor-demo-image: %s: %s\n", name.c_str(), ec.message().c_str());
        return 2;
    }
    const fs::path dir =
        fs::temp_directory_path() / ("plexmoor-demo-" + std::to_string(os::process_id()));
    fs::create_directories(dir, ec);
    const std::string boot = (dir / "bootcode.b").string();
    const std::string fw1 = (dir / "fw1.b").string();
    const std::string fw2 = (dir / "fw2.b").string();
    if (!write_part(boot, 0x4001, 0x00) || !write_part(fw1, 0x4000, 0x11) ||
        !write_part(fw2, 0x4000, 0x22)) {
        std::fprintf(stderr, "cannot write the demo parts in %s\n", dir.string().c_str());
        return 1;
    }

    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 3, 0, 0);
    for (const Field& f : kHeader)
        ZintraAction(ZINTRA_SET_HEADER_FIELD, f.index, f.value, 0);
    const std::string serial = "QV060904001";
    PackSerial(serial.c_str(), static_cast<int32_t>(serial.size()));
    ZintraActionStr(ZINTRA_STORE_PATH, 0, boot.c_str());
    ZintraActionStr(ZINTRA_STORE_PATH, 1, fw1.c_str());
    ZintraActionStr(ZINTRA_STORE_PATH, 2, fw2.c_str());
    int32_t packed =
        PackFlash(boot.c_str(), fw1.c_str(), 0, fw2.c_str(), 0, output.string().c_str(), 0);
    fs::remove_all(dir, ec);
    if (packed != 1) return 1;
    std::printf("demo image written: %s (%ju bytes)\n", output.string().c_str(),
                static_cast<std::uintmax_t>(fs::file_size(output, ec)));
    return 0;
}
