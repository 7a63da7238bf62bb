// Packs a 1 MiB image in each system version through the library's exports,
// from part files and as a repack of a loaded image, and prints the mean
// wall time of one pack.
#include "byte_pattern.h"
#include "zintra.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
constexpr int kRounds = 20;

void write(const fs::path& path, std::size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes = testing_support::byte_pattern(size, seed);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(size));
}

bool measure(const char* label, const fs::path& output, const std::function<int()>& pack) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i)
        if (pack() != 1) {
            std::printf("%-28s failed\n", label);
            return false;
        }
    std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    std::printf("%-28s %8.2f ms per pack, %7zu bytes written\n", label, spent.count() / kRounds,
                static_cast<std::size_t>(fs::file_size(output)));
    return true;
}

} // namespace

int main() {
    fs::path dir = fs::temp_directory_path() / ("bench-pack-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto path = [&](const char* name) { return (dir / name).string(); };
    const std::string out = path("packed.bin");
    bool ok = true;

    write(path("boot"), 0x101, 1);
    write(path("ot2"), 0x60000, 2);
    write(path("rt2"), 0x80000, 3);
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0);
    ok &= measure("version 2, from parts", out, [&] {
        return PackFlash(path("boot").c_str(), path("ot2").c_str(), 0x20000, path("rt2").c_str(),
                         0x80000, out.c_str(), 0);
    });

    write(path("fw1"), 0x70000, 4);
    write(path("fw2"), 0x70000, 5);
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 3, 0, 0);
    ZintraAction(ZINTRA_SET_HEADER_FIELD, 2, 1, 0);
    ZintraAction(ZINTRA_SET_HEADER_FIELD, 4, 64, 0);
    ZintraAction(ZINTRA_SET_HEADER_FIELD, 6, 0x20000, 0);
    ZintraActionStr(ZINTRA_STORE_PATH, 0, path("boot").c_str());
    ZintraActionStr(ZINTRA_STORE_PATH, 1, path("fw1").c_str());
    ZintraActionStr(ZINTRA_STORE_PATH, 2, path("fw2").c_str());
    auto pack = [&] { return PackFlash("", "", 0, "", 0, out.c_str(), 0); };
    auto repack = [&] { return PackFlash("", "", 0, "", 0, out.c_str(), 1); };
    ok &= measure("version 3, from parts", out, pack);
    fs::copy_file(out, path("released3"), fs::copy_options::overwrite_existing);
    ok &= LoadConfFromFileToBuffer(path("released3").c_str(), 1) == 1;
    ok &= measure("version 3, repack", out, repack);

    write(path("ot4"), 0x78000, 6);
    write(path("rt4"), 0x78000, 7);
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 4, 0, 0);
    ZintraActionStr(ZINTRA_STORE_PATH, 1, path("ot4").c_str());
    ZintraActionStr(ZINTRA_STORE_PATH, 2, path("rt4").c_str());
    ok &= measure("version 4, from parts", out, pack);
    // Each version-4 pack leaves the block alone in the buffer, so every
    // round loads the released image again; the load is timed with it.
    fs::copy_file(out, path("released4"), fs::copy_options::overwrite_existing);
    ok &= measure("version 4, load and repack", out, [&] {
        return LoadConfFromFileToBuffer(path("released4").c_str(), 2) == 1 ? repack() : 0;
    });

    fs::remove_all(dir);
    return ok ? 0 : 1;
}
