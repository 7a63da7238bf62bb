// plexmoor-cli against a peer on the same road: flashrom (a generic SPI
// programmer) and `plexmoor-cli program --fast` program the same 1 MiB
// packed images, one after the other, on the emulated FT2232H
// (scripts/emulated-bridge.sh: libftdi1, libusb and umockdev in front of the
// board model, in real time that is the model's). Each part, at flashrom's
// 30 MHz and at plexmoor-cli's default 15 MHz, on an erased chip, one
// holding another image and one holding the image already. Prints each
// run's wall time, the board's time from open to close (its
// FTD2XX_VIRTUAL_STATS), their ratios, and whether every chip holds the
// image afterwards. flashrom comes with `scripts/setup.sh bench`.
// bench_peers [--repeat N]: each run's best of N.
#include "bench_images.h"

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

using namespace bench;

constexpr uint32_t kChipSize = 2u << 20;
constexpr double kGoal = 0.7;

struct Part {
    const char* name;     // FTD2XX_VIRTUAL_PART
    const char* flashrom; // the chip flashrom is told it has
};
constexpr Part kParts[] = {{"default", "MX25L1605"}, {"other", "W25Q16.V"}};

// flashrom's divisor of the 60 MHz clock for each SPI clock.
struct Clock {
    uint32_t mhz;
    uint32_t divisor;
};
constexpr Clock kClocks[] = {{30, 2}, {15, 4}};

struct Figures {
    double wall_s = 0;
    double board_s = 0;
    bool ok = false;
};

struct Road {
    fs::path dir, script, bin;
};

// The chip as a board file: `first` in its first MiB, erased behind.
Bytes chip(const Bytes& first) {
    Bytes c(kChipSize, 0xFF);
    std::copy(first.begin(), first.end(), c.begin());
    return c;
}

double board_seconds(const fs::path& stats) {
    const Bytes json = read_bytes(stats);
    const std::string text(json.begin(), json.end());
    const auto at = text.find("\"board_us\": ");
    return at == std::string::npos ? 0 : std::strtod(text.c_str() + at + 12, nullptr) / 1e6;
}

// One program's run on a chip that holds `before`.
Figures run(const Road& road, const Part& part, const Bytes& before, const Bytes& image,
            const std::string& command) {
    write_bytes(road.dir / "board.bin", chip(before));
    fs::remove(road.dir / "stats.json");
    const std::string line = "cd '" + road.dir.string() + "' && EMULATED_BRIDGE_BOARD=board.bin" +
                             " EMULATED_BRIDGE_BIN='" + road.bin.string() +
                             "' FTD2XX_VIRTUAL_PART=" + part.name +
                             " FTD2XX_VIRTUAL_STATS=stats.json '" + road.script.string() + "' " +
                             command + " >run.log 2>&1";
    const auto start = std::chrono::steady_clock::now();
    const int raw = std::system(line.c_str());
    Figures f;
    f.wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    f.board_s = board_seconds(road.dir / "stats.json");
    f.ok = WIFEXITED(raw) && WEXITSTATUS(raw) == 0 &&
           read_bytes(road.dir / "board.bin") == chip(image);
    return f;
}

Figures best(int repeat, const Road& road, const Part& part, const Bytes& before,
             const Bytes& image, const std::string& command) {
    Figures b;
    for (int i = 0; i < repeat; ++i) {
        const Figures f = run(road, part, before, image, command);
        if (i == 0 || f.wall_s < b.wall_s) b = f;
        b.ok = b.ok && f.ok;
    }
    return b;
}

} // namespace

int main(int argc, char** argv) {
    int repeat = 1;
    if (argc == 3 && std::strcmp(argv[1], "--repeat") == 0)
        repeat = std::max(1, std::atoi(argv[2]));
    if (std::system("command -v flashrom >/dev/null") != 0) {
        std::fprintf(stderr, "flashrom is missing: scripts/setup.sh bench\n");
        return EXIT_FAILURE;
    }
    Road road{fs::temp_directory_path() / ("bench-peers-" + std::to_string(getpid())),
              fs::path(PLEXMOOR_SOURCE_DIR) / "scripts" / "emulated-bridge.sh",
              PLEXMOOR_PRODUCT_BIN};
    fs::create_directories(road.dir);
    const Bytes image = pack(road.dir, 4, "image.b");
    const Bytes other = pack(road.dir, 14, "other.b");
    if (image.size() != kImageSize || other.size() != kImageSize) {
        std::fprintf(stderr, "packing the images failed\n");
        return EXIT_FAILURE;
    }
    write_bytes(road.dir / "chip.bin", chip(image));
    std::printf("1 MiB packed image, %u of its %u pages not all 0xFF, on a 2 MiB chip; emulated "
                "FT2232H, real time; best of %d\n\n",
                programmed_pages(image), kImageSize / kPage, repeat);
    std::printf("| part | SPI clock | chip holds | flashrom wall s | flashrom board s | "
                "plexmoor-cli wall s | plexmoor-cli board s | wall ratio | board ratio |\n"
                "|---|---|---|---|---|---|---|---|---|\n");
    const Bytes erased;
    struct Before {
        const char* name;
        const Bytes* bytes;
    };
    const Before befores[] = {
        {"erased", &erased}, {"another image", &other}, {"the image", &image}};
    bool all_ok = true;
    double worst = 0;
    for (const Part& part : kParts)
        for (const Clock& clock : kClocks)
            for (const Before& before : befores) {
                const Figures peer = best(repeat, road, part, *before.bytes, image,
                                          "flashrom -p ft2232_spi:type=2232H,port=A,divisor=" +
                                              std::to_string(clock.divisor) + " -c '" +
                                              part.flashrom + "' -w chip.bin");
                const Figures ours =
                    best(repeat, road, part, *before.bytes, image,
                         "plexmoor-cli program image.b --fast --no-record --clock " +
                             std::to_string(clock.mhz));
                const double wall = ours.wall_s / peer.wall_s;
                worst = std::max(worst, wall);
                all_ok = all_ok && peer.ok && ours.ok;
                std::printf("| %s | %u MHz | %s | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f |%s\n",
                            part.flashrom, clock.mhz, before.name, peer.wall_s, peer.board_s,
                            ours.wall_s, ours.board_s, wall, ours.board_s / peer.board_s,
                            peer.ok && ours.ok ? "" : " A CHIP DOES NOT HOLD THE IMAGE");
                std::fflush(stdout);
            }
    std::printf("\ngoal: plexmoor-cli at most %.1f x flashrom's wall time on every case; worst "
                "%.2f x: %s\n",
                kGoal, worst, worst <= kGoal ? "met" : "NOT met");
    fs::remove_all(road.dir);
    return all_ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
