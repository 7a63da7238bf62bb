// Program flash as one pipeline: the file's checks, the chunk loop with its
// progress address, message pump, stop and restarts, and the messages. How
// a block is erased and checked and how a chunk is programmed and verified
// is a strategy's: the exact mode (exact_program.h) or the fast mode
// (fast_program.h).
#pragma once

#include "flash_io.h"
#include "flash_parts.h"

#include <array>
#include <cstdint>
#include <optional>

namespace zintra::flash {

// Program flash reads, programs and verifies the file a chunk at a time and
// erases where a chunk opens a block.
constexpr uint32_t kChunkSize = 4096;
constexpr uint32_t kPagesPerChunk = kChunkSize / kPageSize;

// What a check of a chunk came to.
enum class Check { kPassed, kRetry, kFailed };
// One more restart of the chunk if the limit allows it (with its debug
// line), otherwise kFailed.
Check retry_or_fail(int& rewrites);
// retry_or_fail, and the message `format` with `address` when it failed.
Check retry_or_show(int& rewrites, const char* format, uint32_t address);
// A read-back that differs at `address`: its debug line, then as above.
Check differs_at(int& rewrites, uint32_t address);

// Up to 16 of the run's chunks from `base` on: a whole 64 KiB block when
// the run opens it at its start, otherwise the chunks up to the next one
// that does (none, for a start that is not a multiple of 4 KiB).
struct Block {
    uint32_t base = 0;
    uint32_t end = 0; // offset past the last chunk
    // The run erases the block: afterwards it holds the chunks and 0xFF
    // behind them.
    bool erasable = false;
    bool last = false; // the file ends in it
    // What the block must read when the run is done with it: the file's
    // chunks, the last padded with zeros, then 0xFF.
    const std::array<uint8_t, parts::kBlockSize>* target = nullptr;
};

class Strategy {
  public:
    virtual ~Strategy() = default;
    // Before the ID is read; false ends the run (said why).
    virtual bool prepare() { return true; }
    // After the file is known to fit, before the first chunk; false ends
    // the run (said why).
    virtual bool start() { return true; }
    // Once the run is over, however it ended.
    virtual void finish() {}
    // Before the block's first chunk; true when that chunk erases the
    // block first (a restart of it always does).
    virtual bool begin_block(const Block& b) { return b.erasable; }
    // Erases the block at `base` and checks it.
    virtual Check erase(uint32_t base, int& rewrites) = 0;
    // Before each page of a chunk: false leaves the page as it is.
    virtual bool needs_page(const Block&, uint32_t) { return true; }
    // Programs the page at offset `off` of the block; the address of its
    // first byte that reads back otherwise, or kFailed said.
    struct PageOutcome {
        bool failed = false;
        std::optional<uint32_t> differs;
    };
    virtual PageOutcome program_page(const Block& b, uint32_t off) = 0;
    // After every page of the chunk at `off`: the first byte that reads
    // back otherwise, if any.
    virtual std::optional<uint32_t> verify_chunk(const Block&, uint32_t) { return std::nullopt; }
};

// Runs program flash with `strategy`; 1 done, 0 failed (said why).
int program_flash(int32_t first_byte_check, Strategy& strategy);

} // namespace zintra::flash
