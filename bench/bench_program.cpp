// Programs and verifies a 1 MiB image on the virtual board in virtual time
// through the library's exports, once per flash maker, and prints what it
// cost on the wall clock and on the board's clock.
#include "byte_pattern.h"
#include "virtual_board.h"
#include "wincalls.h"
#include "zintra.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kImageSize = 0x100000;
constexpr uint32_t kPageSize = 256;

std::vector<uint8_t> make_image() {
    std::vector<uint8_t> image = testing_support::byte_pattern(kImageSize, 7);
    image[0] = 0x00;
    return image;
}

// Each busy status reading is followed by one 5 ms poll sleep; counting them
// separates the erase wait from the commands' fixed delays.
uint64_t busy_readings = 0;
void count_busy(void*, const char* text) {
    unsigned status = 0;
    if (std::sscanf(text, "CD_SE status=%02x", &status) == 1 && (status & 1)) ++busy_readings;
}
constexpr uint64_t kPollSleepUs = 5000;

bool run(const char* label, const vboard::FlashPart& part, const std::filesystem::path& dir,
         const std::vector<uint8_t>& image, const std::string& image_path) {
    vboard::Options options;
    options.path = (dir / (std::string(label) + "-board.bin")).string();
    options.part = &part;
    options.virtual_time = true;
    vboard::Board* board = vboard::attach(options);
    if (!board) return false;
    ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    if (ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0) != 1) return false;
    SetupWriteParameter(0, image_path.c_str());

    busy_readings = 0;
    const vboard::Counters before = board->counters();
    const uint64_t board_start = board->now_us();
    const auto wall_start = std::chrono::steady_clock::now();
    int result = ZintraAction(ZINTRA_PROGRAM_FLASH, 0, 0, 0);
    const auto wall_end = std::chrono::steady_clock::now();
    const vboard::Counters& after = board->counters();
    const uint64_t board_us = board->now_us() - board_start;
    const bool same = board->read(0, kImageSize) == image;

    const double pages = kImageSize / kPageSize;
    const double wall_ms = std::chrono::duration<double, std::milli>(wall_end - wall_start).count();
    const uint64_t slept_us = after.slept_us - before.slept_us;
    const uint64_t poll_us = busy_readings * kPollSleepUs;
    std::printf("%s (manufacturer %02X): result %d, flash %s\n", label, part.jedec_id[0], result,
                same ? "matches the image" : "DIFFERS from the image");
    std::printf("  wall time             %10.1f ms\n", wall_ms);
    std::printf("  board time            %10.1f s\n", board_us / 1e6);
    std::printf("  USB writes per page   %10.2f\n", (after.usb_writes - before.usb_writes) / pages);
    std::printf("  USB reads per page    %10.2f\n", (after.usb_reads - before.usb_reads) / pages);
    std::printf("  erases, page programs %10llu %llu\n",
                static_cast<unsigned long long>(after.erases - before.erases),
                static_cast<unsigned long long>(after.page_programs - before.page_programs));
    std::printf("  sleeps                %10llu (%.1f s)\n",
                static_cast<unsigned long long>(after.sleeps - before.sleeps), slept_us / 1e6);
    auto share = [&](uint64_t us) {
        return board_us ? 100.0 * static_cast<double>(us) / static_cast<double>(board_us) : 0.0;
    };
    std::printf("  share in fixed delays %10.1f %%\n", share(slept_us - poll_us));
    std::printf("  share in erase polls  %10.1f %% (%llu busy readings)\n", share(poll_us),
                static_cast<unsigned long long>(busy_readings));
    std::printf("  share elsewhere       %10.1f %%\n", share(board_us - slept_us));
    ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    vboard::detach();
    return result == 1 && same;
}

} // namespace

int main() {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "plexmoor-bench-program";
    std::filesystem::create_directories(dir);
    const std::vector<uint8_t> image = make_image();
    const std::string image_path = (dir / "image.bin").string();
    {
        std::ofstream out(image_path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()),
                  static_cast<std::streamsize>(image.size()));
    }
    WinAttachDebugOutput(count_busy, nullptr);

    bool ok = run("default-part", vboard::default_part(), dir, image, image_path);
    ok = run("other-part", vboard::other_part(), dir, image, image_path) && ok;
    std::filesystem::remove_all(dir);
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
