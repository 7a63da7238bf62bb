// Flash programming: read the ID, erase with status polling, program and
// verify a file chunk by chunk.
#pragma once

#include <cstdint>

namespace zintra::flash {

// How often a failed check may start a piece of work over: a chunk of
// program flash, a page or the erase of the serial record.
constexpr int kRewriteLimit = 20;
// Program flash reads, programs and verifies the file a chunk at a time and
// erases where a chunk opens a block.
constexpr uint32_t kChunkSize = 4096;
constexpr uint32_t kEraseBoundary = 0x10000;
constexpr uint8_t kBlank = 0xFF;

// What a check of a chunk came to.
enum class Check { kPassed, kRetry, kFailed };
// One more restart of the chunk if the limit allows it (with its debug
// line), otherwise kFailed.
Check retry_or_fail(int& rewrites);
// True, with the message that says where, when ZintraStop asked the run to
// stop: at the page at `address`, which is not programmed.
bool stopped_at(uint32_t address);

int read_flash_id();
// The same read into `id`; 1 when it arrived, 0 when a transfer failed (shown).
int chip_id(uint8_t* id);
// The chip's size as the capacity byte of the last ID gives it, 0 when the
// byte names no plausible size.
uint64_t chip_size();
// What erasing one 64 KiB block came to.
enum class Erase {
    kDone,
    // An erase command did not go out, so part of the block may still hold
    // its old bytes; another attempt may well succeed.
    kNotSent,
    // Write enable did not go out, or the part stayed busy past the budget.
    kFailed,
};
// Write enable and block erase at `address` (once per half where the
// maker's erase command clears 32 KiB), each followed by a poll of the busy
// bit within the erase budget. No message of its own.
Erase erase_block(uint32_t address);

// Whether the part can be read: a busy part ignores reads and answers 0xFF,
// which would pass for data.
enum class Ready {
    kReady,
    kBusy,     // still busy when the erase budget ran out
    kNoAnswer, // a status read did not arrive (already shown)
};
// Polls the busy bit, in the erase poll's steps and budget, without debug
// lines; a run without faults sees one status read.
Ready wait_until_ready();
// `fast` chooses fast programming (fast_program.h) for the same file.
int program_flash(int32_t first_byte_check, bool fast);
int probe_id_loop();

} // namespace zintra::flash
