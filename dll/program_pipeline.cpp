#include "program_pipeline.h"

#include "file_handle.h"
#include "flash_chip.h"
#include "flash_io.h"
#include "host.h"
#include "library_state.h"
#include "spi_engine.h"
#include "texts.h"

#include <cstdio>
#include <cstring>

namespace zintra::flash {
namespace {

// True, with the message that says where, when ZintraStop asked the run to
// stop: at the page or erase at `address`, which is not done.
bool stopped_at(uint32_t address) {
    if (!state().stop_requested) return false;
    host::showf(text::kStopped, address, static_cast<unsigned>(state().start_address));
    return true;
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
    return static_cast<uint64_t>(start) + touched_bytes(data_bytes) <= parts::kAddressSpace;
}

// A run past the chip's end would wrap onto its first blocks and still end
// as a success; refused before anything is erased where the ID gives a size.
bool fits_chip(int32_t start, long data_bytes) {
    uint64_t size = chip_size();
    uint64_t end = static_cast<uint64_t>(start) + touched_bytes(data_bytes);
    if (size == 0 || end <= size) return true;
    // Where the last chunk would end, so the user sees by how much.
    host::showf(text::kFileLargerThanChip, static_cast<unsigned long long>(data_bytes),
                static_cast<unsigned>(start), static_cast<unsigned long long>(end - start),
                static_cast<unsigned long long>(end - 1), static_cast<unsigned long long>(size));
    return false;
}

std::array<uint8_t, parts::kBlockSize> target;

// Reads the file's chunks of the block at `address`: 4096 bytes each,
// cleared to zeros first, the last as short as the file.
Block load_block(std::FILE* file, uint32_t address) {
    Block b;
    b.base = address;
    b.erasable = address % parts::kBlockSize == 0;
    b.target = &target;
    target.fill(kBlank);
    for (uint32_t off = 0; off < parts::kBlockSize; off += kChunkSize) {
        if (off > 0 && (address + off) % parts::kBlockSize == 0) break;
        uint8_t* chunk = target.data() + off;
        std::memset(chunk, 0, kChunkSize);
        std::size_t n = std::fread(chunk, 1, kChunkSize, file);
        if (n == 0) {
            std::memset(chunk, kBlank, kChunkSize);
            b.last = true;
            break;
        }
        b.end = off + kChunkSize;
        if (n < kChunkSize) {
            b.last = true;
            break;
        }
    }
    return b;
}

Check program_chunk(Strategy& strategy, const Block& b, uint32_t off, int& rewrites) {
    for (uint32_t p = 0; p < kPagesPerChunk; ++p) {
        const uint32_t at = off + p * kPageSize;
        spi::pump_messages();
        if (stopped_at(b.base + at)) return Check::kFailed;
        if (!strategy.needs_page(b, at)) continue;
        Strategy::PageOutcome o = strategy.program_page(b, at);
        if (o.failed) return Check::kFailed;
        if (o.differs) return differs_at(rewrites, *o.differs);
    }
    if (std::optional<uint32_t> bad = strategy.verify_chunk(b, off))
        return differs_at(rewrites, *bad);
    return Check::kPassed;
}

// Erase where the block's first chunk asks for it, then program; a failed
// check starts the chunk over, erase included where it opens the block.
bool write_block(Strategy& strategy, const Block& b) {
    const bool erase_block_first = strategy.begin_block(b);
    for (uint32_t off = 0; off < b.end; off += kChunkSize) {
        int rewrites = 0;
        bool erase_first = off == 0 && erase_block_first;
        for (;;) {
            Check c = Check::kPassed;
            if (erase_first) {
                if (stopped_at(b.base)) return false;
                c = strategy.erase(b.base, rewrites);
            }
            if (c == Check::kPassed) c = program_chunk(strategy, b, off, rewrites);
            if (c == Check::kPassed) break;
            if (c == Check::kFailed) return false;
            erase_first = b.erasable && off == 0;
        }
        state().progress += static_cast<int32_t>(kChunkSize);
    }
    return true;
}

bool write_file(std::FILE* file, Strategy& strategy) {
    for (;;) {
        Block b = load_block(file, static_cast<uint32_t>(state().progress));
        if (b.end == 0) return true;
        if (!write_block(strategy, b)) return false;
        if (b.last) return true;
    }
}

} // namespace

Check retry_or_fail(int& rewrites) {
    if (rewrites >= kRewriteLimit) return Check::kFailed;
    ++rewrites;
    host::debugf(text::kRewriteCounter, rewrites);
    return Check::kRetry;
}

Check retry_or_show(int& rewrites, const char* format, uint32_t address) {
    Check c = retry_or_fail(rewrites);
    if (c == Check::kFailed) host::showf(format, static_cast<unsigned>(address));
    return c;
}

Check differs_at(int& rewrites, uint32_t address) {
    host::debugf(text::kCompareError, static_cast<unsigned>(address));
    return retry_or_show(rewrites, text::kCompareError, address);
}

int program_flash(int32_t first_byte_check, Strategy& strategy) {
    LibraryState& s = state();
    // Only a plain file has a length to check the start address against,
    // and only a plain file can be opened without waiting on a writer.
    File file = open_regular(s.write_path.data());
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
    if (!strategy.prepare()) return 0;
    read_flash_id();
    if (!fits_chip(s.start_address, data_bytes)) return 0;
    s.progress = s.start_address;
    if (!strategy.start()) return 0;
    bool written = write_file(file.get(), strategy);
    strategy.finish();
    if (!written) return 0;
    // A read error looks like the end of the file to fread; it must not end
    // the run as a success with the rest of the file missing.
    if (std::ferror(file.get())) {
        host::show(text::kFileError);
        return 0;
    }
    return 1;
}

} // namespace zintra::flash
