#include "fast_program.h"

#include "flash_io.h"
#include "flash_program.h"
#include "host.h"
#include "library_state.h"
#include "spi_engine.h"
#include "texts.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zintra::flash {
namespace {

constexpr uint32_t kBlockSize = kEraseBoundary;
constexpr uint32_t kChunksPerBlock = kBlockSize / kChunkSize;
constexpr uint32_t kPagesPerChunk = kChunkSize / kPageSize;
constexpr uint8_t kBusyBit = 0x01;

// The longest a command may take: twice the datasheet maximum of the
// maker's parts, so that USB latency and a part at the edge of its
// datasheet limits never end a good run.
struct Budget {
    uint8_t maker;
    uint32_t page_program_ms;
    uint32_t block_erase_ms;
};
constexpr Budget kBudgets[] = {
    {0xC2, 10, 4000}, // at most 5 ms and 2 s
    {0xEF, 6, 4000},  // at most 3 ms and 2 s
};
// Any other maker, and a part whose ID is not read yet: the longest known.
constexpr Budget kAnyMaker{0x00, 10, 4000};

const Budget& budget() {
    for (const Budget& b : kBudgets)
        if (b.maker == state().manufacturer) return b;
    return kAnyMaker;
}

// Only an erase poll sleeps between readings: an erase takes tenths of a
// second, and a millisecond more at its end costs nothing.
constexpr uint32_t kErasePauseMs = 1;
// Transfers that fail one after another before a poll gives up.
constexpr int kPollFailures = 3;
// Status bytes clocked in one chip select: no more than the read buffer
// takes beside nothing else, no fewer than a few.
constexpr uint32_t kMaxStatusBytes = 4096;
constexpr uint32_t kMinStatusBytes = 4;

uint32_t clamp_status(uint32_t n) {
    return std::clamp(n, kMinStatusBytes, kMaxStatusBytes);
}

bool is_ready(uint8_t status) {
    return !(status & kBusyBit);
}

bool is_blank(const uint8_t* bytes, std::size_t n) {
    return std::all_of(bytes, bytes + n, [](uint8_t b) { return b == kBlank; });
}

enum class Wait { kReady, kBusy, kNoAnswer };

class Deadline {
  public:
    explicit Deadline(uint32_t ms) : end_us_(host::now_us() + uint64_t{ms} * 1000) {}
    bool passed() const { return host::now_us() > end_us_; }

  private:
    uint64_t end_us_;
};

std::array<uint8_t, kMaxStatusBytes> status_bytes;

// Reads the status register `count` times over in one chip select, again
// and again, until its last reading is ready or the deadline has passed. A
// lost reply is read again; a few transfers failing in a row end the poll.
Wait poll(const Deadline& deadline, uint32_t count, uint32_t pause_ms) {
    int failures = 0;
    for (;;) {
        spi::Step step{spi::kReadStatus, 0, count, status_bytes.data()};
        if (spi::burst({&step, 1}) == spi::Result::kDone) {
            failures = 0;
            if (is_ready(status_bytes[count - 1])) return Wait::kReady;
        } else if (++failures == kPollFailures) {
            return Wait::kNoAnswer;
        }
        if (deadline.passed()) return Wait::kBusy;
        if (pause_ms) host::sleep_ms(pause_ms);
    }
}

bool read_chunk(uint32_t address, uint8_t* out) {
    return read_burst(address, {out, kChunkSize});
}

// The SPI clock raised for the run and put back on every way out of it.
class RaisedClock {
  public:
    RaisedClock() : hz_(spi::raise_clock()) {}
    ~RaisedClock() { spi::restore_clock(); }
    RaisedClock(const RaisedClock&) = delete;
    RaisedClock& operator=(const RaisedClock&) = delete;
    uint32_t hz() const { return hz_; }

  private:
    uint32_t hz_;
};

// Up to 16 of the run's chunks from `base` on: a whole 64 KiB block when
// the run opens it at its start, otherwise the chunks up to the next one
// that does (none, for a start that is not a multiple of 4 KiB).
struct Block {
    uint32_t base = 0;
    uint32_t end = 0; // offset past the last chunk
    // Program flash erases the block: afterwards it holds the chunks and
    // 0xFF behind them.
    bool erasable = false;
    bool last = false; // the file ends in it
};

// What the block must read when the run is done with it.
std::array<uint8_t, kBlockSize> target;
// What it holds, as far as known: a read that arrived, or an erase.
std::array<uint8_t, kBlockSize> flash;

// Reads the file's chunks of the block at `address` as program flash reads
// them: 4096 bytes each, cleared to zeros first, the last as short as the
// file.
Block load_block(std::FILE* file, uint32_t address) {
    Block b;
    b.base = address;
    b.erasable = address % kBlockSize == 0;
    target.fill(kBlank);
    for (uint32_t off = 0; off < kBlockSize; off += kChunkSize) {
        if (off > 0 && (address + off) % kBlockSize == 0) break;
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

enum class Found { kSame, kBlank, kOther };

class FastRun {
  public:
    // Enough status bytes behind the first page program to cover 1 ms.
    explicit FastRun(uint32_t spi_hz) : status_count_(clamp_status(spi_hz / 8 / 1000)) {}

    bool write_block(const Block& b) {
        Found found = survey(b);
        if (b.erasable && found != Found::kOther)
            host::debugf(text::kFastBlock, b.base,
                         found == Found::kSame ? text::kFastBlockSame : text::kFastBlockBlank);
        for (uint32_t off = 0; off < b.end; off += kChunkSize) {
            int rewrites = 0;
            bool erase_first = b.erasable && off == 0 && found == Found::kOther;
            for (;;) {
                Check c = erase_first ? erase_check(b.base, rewrites) : Check::kPassed;
                if (c == Check::kPassed) c = program_chunk(b.base, off, rewrites);
                if (c == Check::kPassed) break;
                if (c == Check::kFailed) return false;
                // Restarted as program flash restarts it: from the erase
                // where the chunk opens an erased block.
                erase_first = b.erasable && off == 0;
            }
            state().progress += static_cast<int32_t>(kChunkSize);
        }
        return true;
    }

  private:
    // Reads what the run decides of the block, a chunk at a time. An
    // erasable block is read whole, but only until its bytes can be
    // neither blank nor the target: it is erased then anyway.
    Found survey(const Block& b) {
        known_.fill(false);
        const uint32_t to = b.erasable ? kBlockSize : b.end;
        bool blank = true, same = true;
        for (uint32_t off = 0; off < to && (!b.erasable || blank || same); off += kChunkSize) {
            uint8_t* at = flash.data() + off;
            bool& known = known_[off / kChunkSize];
            known = read_chunk(b.base + off, at);
            blank = blank && known && is_blank(at, kChunkSize);
            same = same && known && std::equal(at, at + kChunkSize, target.data() + off);
        }
        return same ? Found::kSame : blank ? Found::kBlank : Found::kOther;
    }

    // Write enable and the 64 KiB erase in one write, then the busy poll;
    // an erase that may not have gone out fails the chunk's check.
    Check erase_check(uint32_t base, int& rewrites) {
        spi::Step steps[] = {{spi::kWriteEnable}, {spi::kBlockErase64, base}};
        Wait w = Wait::kNoAnswer;
        if (spi::burst(steps) != spi::Result::kWriteFailed)
            w = poll(Deadline(budget().block_erase_ms), 1, kErasePauseMs);
        if (w == Wait::kBusy) {
            host::showf(text::kFastBusyAfter, budget().block_erase_ms, text::kFastBlockErase, base);
            return Check::kFailed;
        }
        if (w == Wait::kNoAnswer) {
            Check c = retry_or_fail(rewrites);
            if (c == Check::kFailed) host::showf(text::kEraseFailed, base);
            return c;
        }
        host::debugf(text::kFastBlock, base, text::kFastBlockErased);
        flash.fill(kBlank);
        known_.fill(false);
        // The first 4 KiB, as program flash checks them after an erase, with
        // its message; a chunk that did not arrive fails at its first byte.
        // The rest of what the erase left is taken on trust: every chunk is
        // verified after it.
        bool arrived = read_chunk(base, flash.data());
        auto* end = flash.data() + kChunkSize;
        auto* bad = arrived ? std::find_if(flash.data(), end, [](uint8_t v) { return v != kBlank; })
                            : flash.data();
        known_[0] = arrived;
        if (bad == end) return Check::kPassed;
        Check c = retry_or_fail(rewrites);
        if (c == Check::kFailed)
            host::showf(text::kBlankError, base + static_cast<uint32_t>(bad - flash.data()));
        return c;
    }

    // Write enable, the page program and a status read clocked on through
    // the programming, in one write; the status bytes it took to read
    // ready, and a few more, are clocked behind the next page.
    Wait program_page(uint32_t address, const uint8_t* data) {
        Deadline deadline(budget().page_program_ms);
        spi::Step steps[] = {
            {spi::kWriteEnable},
            {spi::kPageProgram, address, kPageSize, const_cast<uint8_t*>(data)},
            {spi::kReadStatus, 0, status_count_, status_bytes.data()},
        };
        spi::Result r = spi::burst(steps);
        if (r == spi::Result::kWriteFailed) return Wait::kNoAnswer; // the verify finds it
        if (r == spi::Result::kDone) {
            auto end = status_bytes.begin() + status_count_;
            auto at = std::find_if(status_bytes.begin(), end, is_ready);
            if (at != end) {
                auto busy = static_cast<uint32_t>(at - status_bytes.begin());
                status_count_ = clamp_status(busy + busy / 16 + kMinStatusBytes);
                return Wait::kReady;
            }
        }
        status_count_ = clamp_status(status_count_ * 2);
        return poll(deadline, clamp_status(status_count_ / 4), 0);
    }

    // Programs the pages of a chunk the flash does not hold yet (0xFF needs
    // no programming: it changes no bit) and reads the chunk back once,
    // unless a read that arrived has shown it to hold the bytes already.
    Check program_chunk(uint32_t base, uint32_t off, int& rewrites) {
        const uint32_t address = base + off;
        bool& known = known_[off / kChunkSize];
        const uint8_t* want = target.data() + off;
        uint8_t* have = flash.data() + off;
        const bool proven = known && std::equal(want, want + kChunkSize, have);
        for (uint32_t p = 0; p < kPagesPerChunk; ++p) {
            spi::pump_messages();
            const uint32_t at = p * kPageSize;
            if (stopped_at(address + at)) return Check::kFailed;
            if (is_blank(want + at, kPageSize) ||
                (known && std::equal(want + at, want + at + kPageSize, have + at)))
                continue;
            Wait w = program_page(address + at, want + at);
            host::debugf(text::kPageProgrammed, address + at);
            if (w == Wait::kBusy) {
                host::showf(text::kFastBusyAfter, budget().page_program_ms, text::kFastPageProgram,
                            address + at);
                return Check::kFailed;
            }
        }
        if (proven) return Check::kPassed;
        // A chunk that did not arrive fails at its first byte: its zeros
        // would pass for zero padding that was never written.
        known = read_chunk(address, have);
        auto [got, expected] = std::mismatch(have, have + kChunkSize, want);
        if (known && got == have + kChunkSize) return Check::kPassed;
        unsigned bad = address + (known ? static_cast<uint32_t>(got - have) : 0);
        host::debugf(text::kCompareError, bad);
        Check c = retry_or_fail(rewrites);
        if (c == Check::kFailed) host::showf(text::kCompareError, bad);
        return c;
    }

    uint32_t status_count_;
    // Per chunk of the block: `flash` holds what a read that arrived saw.
    std::array<bool, kChunksPerBlock> known_{};
};

} // namespace

bool fast_wait_until_ready() {
    switch (poll(Deadline(kAnyMaker.block_erase_ms), 1, kErasePauseMs)) {
    case Wait::kReady:
        return true;
    case Wait::kBusy:
        host::show(text::kFastBusyBefore);
        return false;
    case Wait::kNoAnswer:
        host::show(text::kFastNoStatus);
        return false;
    }
    return false;
}

bool program_fast(std::FILE* file) {
    RaisedClock clock;
    FastRun run(clock.hz());
    for (;;) {
        Block b = load_block(file, static_cast<uint32_t>(state().progress));
        if (b.end == 0) return true;
        if (!run.write_block(b)) return false;
        if (b.last) return true;
    }
}

} // namespace zintra::flash
