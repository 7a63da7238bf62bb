// Streams a 1 MiB program-and-verify through the D2XX calls into a virtual
// board in virtual time, with the waits a host programmer makes after each
// command, and prints what it cost on the wall clock, on the board's clock
// and on the wire.
#include "byte_pattern.h"
#include "ftd2xx.h"
#include "virtual_board.h"
#include "wincalls.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using Stream = std::vector<uint8_t>;

constexpr uint32_t kImageSize = 1u << 20;
constexpr uint32_t kPage = 256;
constexpr uint32_t kBlock = 64u << 10;
// A host's fixed waits after each command, in milliseconds.
constexpr DWORD kAfterWriteEnable = 15;
constexpr DWORD kAfterProgram = 10;
constexpr DWORD kAfterRead = 1;
constexpr DWORD kPollInterval = 5;

void append(Stream& s, std::initializer_list<uint8_t> bytes) {
    s.insert(s.end(), bytes);
}

// One chip-select period: opcode, optional address, data out, `read` bytes in.
Stream spi(uint8_t opcode, const uint32_t* address, const uint8_t* data, uint32_t out,
           uint32_t read) {
    Stream s;
    append(s, {0x80, 0xF6, 0xFB, 0x11, 0x00, 0x00, opcode});
    if (address) {
        append(s, {0x11, 0x02, 0x00, static_cast<uint8_t>(*address >> 16),
                   static_cast<uint8_t>(*address >> 8), static_cast<uint8_t>(*address)});
    }
    if (out) {
        append(s, {0x11, static_cast<uint8_t>(out - 1), static_cast<uint8_t>((out - 1) >> 8)});
        s.insert(s.end(), data, data + out);
    }
    if (read)
        append(s, {0x24, static_cast<uint8_t>(read - 1), static_cast<uint8_t>((read - 1) >> 8)});
    append(s, {0x80, 0xFE, 0xFB});
    return s;
}

bool send(FT_HANDLE h, const Stream& s) {
    DWORD n = 0;
    return FT_Write(h, const_cast<uint8_t*>(s.data()), static_cast<DWORD>(s.size()), &n) == FT_OK;
}

bool receive(FT_HANDLE h, uint8_t* out, DWORD size) {
    DWORD n = 0;
    return FT_Read(h, out, size, &n) == FT_OK && n == size;
}

} // namespace

int main() {
    vboard::Options options; // no file: the bench measures the link, not the disk
    vboard::Board* board = vboard::attach(options);
    if (!board) return 1;

    char serial[64] = {};
    FT_HANDLE h = nullptr;
    FT_ListDevices(reinterpret_cast<PVOID>(0), serial, 0x40000001);
    if (FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &h) != FT_OK || FT_ResetDevice(h) != FT_OK ||
        FT_SetBitMode(h, 0x00, 0x00) != FT_OK || FT_SetBitMode(h, 0xFF, 0x02) != FT_OK) {
        std::fprintf(stderr, "cannot open the virtual bridge\n");
        return 1;
    }
    send(h, {0x86, 0x01, 0x00});
    send(h, {0x80, 0xFE, 0xFB});
    send(h, {0x82, 0xFF, 0xFF});

    const Stream image = testing_support::byte_pattern(kImageSize, 3);

    const Stream write_enable = spi(0x06, nullptr, nullptr, 0, 0);
    const Stream read_status = spi(0x05, nullptr, nullptr, 0, 1);
    const auto wall_start = std::chrono::steady_clock::now();
    const uint64_t board_start = board->now_us();
    uint32_t mismatches = 0, polls = 0;
    bool ok = true;
    for (uint32_t a = 0; a < kImageSize && ok; a += kPage) {
        if (a % kBlock == 0) {
            ok = send(h, write_enable);
            Sleep(kAfterWriteEnable);
            ok = ok && send(h, spi(0xD8, &a, nullptr, 0, 0));
            Sleep(3000);
            for (uint8_t status = 0x01; ok && (status & 0x01);) {
                ok = send(h, read_status) && receive(h, &status, 1);
                Sleep(kAfterRead);
                ++polls;
                if (status & 0x01) Sleep(kPollInterval);
            }
        }
        ok = ok && send(h, write_enable);
        Sleep(kAfterWriteEnable);
        ok = ok && send(h, spi(0x02, &a, image.data() + a, kPage, 0));
        Sleep(kAfterProgram);
        uint8_t back[kPage] = {};
        ok = ok && send(h, spi(0x03, &a, nullptr, 0, kPage)) && receive(h, back, kPage);
        Sleep(kAfterRead);
        for (uint32_t i = 0; i < kPage; ++i)
            mismatches += back[i] != image[a + i];
    }
    const double wall_s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
    const vboard::Counters& c = board->counters();
    const double board_s = static_cast<double>(board->now_us() - board_start) / 1e6;
    const double waits_s = static_cast<double>(c.slept_us) / 1e6;
    FT_Close(h);

    std::printf("1 MiB program and verify, %u pages, %u status polls\n", kImageSize / kPage, polls);
    std::printf("  result:        %s, %u bytes differ\n", ok ? "completed" : "transfer failed",
                mismatches);
    std::printf("  wall time:     %.3f s\n", wall_s);
    std::printf(
        "  board time:    %.1f s (%.1f s of it the host's fixed waits, %.2f s USB and SPI)\n",
        board_s, waits_s, board_s - waits_s);
    std::printf(
        "  on the wire:   %llu bytes out in %llu writes, %llu bytes in in %llu reads\n",
        static_cast<unsigned long long>(c.bytes_out), static_cast<unsigned long long>(c.usb_writes),
        static_cast<unsigned long long>(c.bytes_in), static_cast<unsigned long long>(c.usb_reads));
    vboard::detach();
    return ok && mismatches == 0 ? 0 : 1;
}
