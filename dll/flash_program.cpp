#include "flash_program.h"

#include "fast_program.h"
#include "file_handle.h"
#include "flash_io.h"
#include "host.h"
#include "library_state.h"
#include "spi_engine.h"
#include "texts.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>

namespace zintra::flash {
namespace {

constexpr uint32_t kPagesPerChunk = kChunkSize / kPageSize;
// Everything a 3-byte SPI address can reach; past it the address would wrap
// onto the start of the flash.
constexpr uint32_t kAddressSpace = 0x1000000;
constexpr uint8_t kBusyBit = 0x01;
constexpr int kEraseBudgetMs = 1000;
constexpr uint32_t kEraseStepMs = 5;
constexpr uint8_t kSmallBlockMaker = 0xC2;
// Capacity bytes that name a size a serial NOR part can have (64 KiB to
// 4 GiB); anything else, such as the FF of a missing chip, names none.
constexpr uint8_t kSmallestCapacityCode = 16;
constexpr uint8_t kLargestCapacityCode = 32;
// The probe loop exists for watching the bus on a scope; a minute of reads at
// the command's 1 ms delay is plenty, and the caller gets its thread back.
constexpr int kProbeReads = 60000;

struct EraseCommand {
    uint8_t opcode;
    uint32_t block_size;
};
constexpr EraseCommand kSmallBlockErase{spi::kBlockErase32, 0x8000};
constexpr EraseCommand kLargeBlockErase{spi::kBlockErase64, 0x10000};

const EraseCommand& erase_command() {
    return state().manufacturer == kSmallBlockMaker ? kSmallBlockErase : kLargeBlockErase;
}

// How the busy poll treats a status read that did not arrive.
enum class LostReply {
    kNotBusy, // the erase poll: its zeros read as done, the blank check then judges
    kStop,    // before reads: nothing is known, so nothing is read
};

Ready poll_busy(LostReply lost, bool log) {
    int budget = kEraseBudgetMs;
    for (;;) {
        uint8_t status = 0;
        spi::Result r = spi::transaction(spi::kReadStatus, 0, 1, &status);
        if (log) host::debugf(text::kEraseStatus, status);
        if (r != spi::Result::kDone && lost == LostReply::kStop) return Ready::kNoAnswer;
        if (!(status & kBusyBit)) return Ready::kReady;
        host::sleep_ms(kEraseStepMs);
        budget -= static_cast<int>(kEraseStepMs);
        if (budget < 0) return Ready::kBusy;
    }
}

// Bytes left from the current position to the end of the file, or -1.
long remaining_bytes(std::FILE* f) {
    long here = std::ftell(f);
    if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
    long end = std::ftell(f);
    if (std::fseek(f, here, SEEK_SET) != 0 || end < here) return -1;
    return end - here;
}

// Chunks are always programmed whole, so what the run touches ends at the
// last chunk's end, not the file's.
uint64_t touched_bytes(long data_bytes) {
    uint64_t chunks = (static_cast<uint64_t>(data_bytes) + kChunkSize - 1) / kChunkSize;
    return chunks * kChunkSize;
}

bool start_address_fits(int32_t start, long data_bytes) {
    if (start < 0 || data_bytes < 0 || start % kPageSize != 0) return false;
    return static_cast<uint64_t>(start) + touched_bytes(data_bytes) <= kAddressSpace;
}

// A run past the chip's end would wrap onto its first blocks and still end
// as a success; refused before anything is erased where the ID gives a size.
bool fits_chip(int32_t start, long data_bytes) {
    uint64_t size = chip_size();
    uint64_t end = static_cast<uint64_t>(start) + touched_bytes(data_bytes);
    if (size == 0 || end <= size) return true;
    host::showf(text::kFileLargerThanChip, static_cast<unsigned long long>(data_bytes),
                static_cast<unsigned>(start), static_cast<unsigned long long>(end - start),
                static_cast<unsigned long long>(size));
    return false;
}

// The first 4 KiB after each erase command: with two 32 KiB commands an
// erase that did not happen in the second half shows here, before any of
// the block is programmed over old bytes.
Check blank_check(uint32_t base, int& rewrites) {
    Page page;
    const uint32_t step = erase_command().block_size;
    for (uint32_t p = 0; p < kPagesPerChunk * (kEraseBoundary / step); ++p) {
        uint32_t address = base + (p / kPagesPerChunk) * step + (p % kPagesPerChunk) * kPageSize;
        // A page that did not arrive reads as zeros and fails like any other.
        static_cast<void>(read_page(address, page));
        auto it = std::find_if(page.begin(), page.end(), [](uint8_t b) { return b != kBlank; });
        if (it == page.end()) continue;
        Check c = retry_or_fail(rewrites);
        if (c == Check::kFailed)
            host::showf(text::kBlankError,
                        static_cast<unsigned>(address + static_cast<uint32_t>(it - page.begin())));
        return c;
    }
    return Check::kPassed;
}

Check program_and_verify(uint32_t base, std::array<uint8_t, kChunkSize>& chunk, int& rewrites) {
    Page verify;
    for (uint32_t p = 0; p < kPagesPerChunk; ++p) {
        uint32_t address = base + p * kPageSize;
        uint8_t* data = chunk.data() + p * kPageSize;
        spi::pump_messages();
        if (stopped_at(address)) return Check::kFailed;
        write_page(address, data);
        host::debugf(text::kPageProgrammed, static_cast<unsigned>(address));
        // A page that did not arrive fails the check at its first byte: its
        // zeros would pass for a chunk's zero padding that was never written.
        bool arrived = read_page(address, verify) == spi::Result::kDone;
        auto [got, want] = std::mismatch(verify.begin(), verify.end(), data);
        if (arrived && got == verify.end()) continue;
        unsigned bad = address + (arrived ? static_cast<uint32_t>(got - verify.begin()) : 0);
        host::debugf(text::kCompareError, bad);
        Check c = retry_or_fail(rewrites);
        if (c == Check::kFailed) host::showf(text::kCompareError, bad);
        return c;
    }
    return Check::kPassed;
}

// An erase command that did not go out fails the chunk's check like a
// byte that is not blank.
Check erase_check(uint32_t base, int& rewrites) {
    Erase e = erase_block(base);
    if (e == Erase::kDone) return blank_check(base, rewrites);
    if (e == Erase::kFailed) return Check::kFailed;
    Check c = retry_or_fail(rewrites);
    if (c == Check::kFailed) host::showf(text::kEraseFailed, static_cast<unsigned>(base));
    return c;
}

// Erase where the chunk opens a block, then program; a failed check starts
// the chunk over, erase included.
bool write_chunk(uint32_t base, std::array<uint8_t, kChunkSize>& chunk) {
    int rewrites = 0;
    for (;;) {
        Check c = Check::kPassed;
        if (base % kEraseBoundary == 0) c = erase_check(base, rewrites);
        if (c == Check::kPassed) c = program_and_verify(base, chunk, rewrites);
        if (c == Check::kPassed) return true;
        if (c == Check::kFailed) return false;
    }
}

bool program_exact(std::FILE* file) {
    LibraryState& s = state();
    std::array<uint8_t, kChunkSize> chunk{};
    for (;;) {
        chunk.fill(0);
        std::size_t n = std::fread(chunk.data(), 1, chunk.size(), file);
        if (n == 0) break;
        if (!write_chunk(static_cast<uint32_t>(s.progress), chunk)) return false;
        s.progress += static_cast<int32_t>(kChunkSize);
        if (n < chunk.size()) break;
    }
    return true;
}

} // namespace

Check retry_or_fail(int& rewrites) {
    if (rewrites >= kRewriteLimit) return Check::kFailed;
    ++rewrites;
    host::debugf(text::kRewriteCounter, rewrites);
    return Check::kRetry;
}

bool stopped_at(uint32_t address) {
    if (!state().stop_requested) return false;
    host::showf(text::kStopped, address, static_cast<unsigned>(state().start_address));
    return true;
}

int chip_id(uint8_t* id) {
    std::array<uint8_t, 3>& read = state().jedec_id;
    read.fill(0);
    // A failed read has been shown; its zeros name no maker and no size.
    spi::Result r =
        spi::transaction(spi::kReadId, 0, static_cast<uint32_t>(read.size()), read.data());
    state().manufacturer = read[0];
    if (id) std::copy(read.begin(), read.end(), id);
    return r == spi::Result::kDone ? 1 : 0;
}

int read_flash_id() {
    chip_id(nullptr);
    return 1;
}

uint64_t chip_size() {
    uint8_t exponent = state().jedec_id[2];
    if (exponent < kSmallestCapacityCode || exponent > kLargestCapacityCode) return 0;
    return uint64_t{1} << exponent;
}

// A 32 KiB command is issued once per half so that the whole 64 KiB block is
// erased: programming assumes every byte of the block reads 0xFF afterwards.
Erase erase_block(uint32_t address) {
    const EraseCommand& erase = erase_command();
    for (uint32_t offset = 0; offset < kEraseBoundary; offset += erase.block_size) {
        if (!spi::sent(spi::transaction(spi::kWriteEnable, 0, 0, nullptr))) return Erase::kFailed;
        if (!spi::sent(spi::transaction(erase.opcode, address + offset, 0, nullptr)))
            return Erase::kNotSent;
        if (poll_busy(LostReply::kNotBusy, true) != Ready::kReady) return Erase::kFailed;
    }
    return Erase::kDone;
}

Ready wait_until_ready() {
    return poll_busy(LostReply::kStop, false);
}

int program_flash(int32_t first_byte_check, bool fast) {
    LibraryState& s = state();
    // Only a plain file has a length to check the start address against.
    std::error_code ec;
    bool plain = std::filesystem::is_regular_file(s.write_path.data(), ec);
    File file = plain ? open_read(s.write_path.data()) : File();
    if (!file) {
        host::show(text::kFileError);
        return 0;
    }
    if (first_byte_check == 1 && std::fgetc(file.get()) != 0x00) {
        host::show(text::kWrongFirmware);
        return 0;
    }
    long data_bytes = remaining_bytes(file.get());
    if (!start_address_fits(s.start_address, data_bytes)) {
        host::showf(text::kStartAddressInvalid, static_cast<unsigned>(s.start_address));
        return 0;
    }
    // A busy part answers the ID read with 0xFF, which names no size.
    if (fast && !fast_wait_until_ready()) return 0;
    read_flash_id();
    if (!fits_chip(s.start_address, data_bytes)) return 0;
    s.progress = s.start_address;

    if (!(fast ? program_fast(file.get()) : program_exact(file.get()))) return 0;
    // A read error looks like the end of the file to fread; it must not end
    // the run as a success with the rest of the file missing.
    if (std::ferror(file.get())) {
        host::show(text::kFileError);
        return 0;
    }
    return 1;
}

int probe_id_loop() {
    state().progress = 0;
    for (int i = 0; i < kProbeReads; ++i) {
        std::array<uint8_t, 3> id{};
        if (!spi::sent(
                spi::transaction(spi::kReadId, 0, static_cast<uint32_t>(id.size()), id.data())))
            return 0;
    }
    return 1;
}

} // namespace zintra::flash
