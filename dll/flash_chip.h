// The flash chip's own commands as the library uses them everywhere: the
// JEDEC ID, the busy poll, the erase of one 64 KiB block, the probe loop.
#pragma once

#include <cstdint>
#include <span>

namespace zintra::flash {

// How often a failed check may start a piece of work over: a chunk of
// program flash, a page or the erase of the serial record.
constexpr int kRewriteLimit = 20;
constexpr uint8_t kBlank = 0xFF;

int read_flash_id();
// The same read into `id`; 1 when it arrived, 0 when a transfer failed (shown).
int chip_id(uint8_t* id);
// The chip's size as the parts table or the capacity byte of the last ID
// gives it, 0 when neither names a plausible size.
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
// Write enable and block erase at `address` (once per piece where the
// part's erase command clears less than the block), each followed by a
// poll of the busy bit within the erase budget. No message of its own.
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
int probe_id_loop();

// The flash from `address` into `out`, page by page once the part is
// ready; 1 read, 0 not (a busy part told).
int read_flash(uint32_t address, std::span<uint8_t> out);
// The status register into *status (when given): 1 when a block-protect or
// the status-write-disable bit is set, 0 when none is, -1 unread.
int write_protection(int32_t* status);

} // namespace zintra::flash
