#include "fast_program.h"

#include "flash_chip.h"
#include "flash_io.h"
#include "host.h"
#include "spi_engine.h"
#include "texts.h"

#include <algorithm>
#include <array>

namespace zintra::flash {
namespace {

// Only an erase poll sleeps between readings: an erase takes tenths of a
// second, and a millisecond more at its end costs nothing.
constexpr uint32_t kErasePauseMs = 1;
// Transfers that fail one after another before a poll gives up.
constexpr int kPollFailures = 3;
// Status bytes clocked in one chip select: no more than the read buffer
// takes beside nothing else, no fewer than a few.
constexpr uint32_t kMaxStatusBytes = 4096;
constexpr uint32_t kMinStatusBytes = 4;
constexpr int32_t kFastClocksMhz[] = {0, 30, 15, 6, 3};

uint32_t clamp_status(uint32_t n) {
    return std::clamp(n, kMinStatusBytes, kMaxStatusBytes);
}

bool is_ready(uint8_t status) {
    return !parts::is_busy(status);
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
// What the block holds, as far as known: a read that arrived, or an erase.
std::array<uint8_t, parts::kBlockSize> flash;

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

const uint8_t* want(const Block& b, uint32_t off) {
    return b.target->data() + off;
}

} // namespace

bool valid_fast_clock(int32_t mhz) {
    return std::find(std::begin(kFastClocksMhz), std::end(kFastClocksMhz), mhz) !=
           std::end(kFastClocksMhz);
}

// A part still busy with earlier work would answer the ID read with 0xFF,
// which names no size.
bool FastProgram::prepare() {
    switch (poll(Deadline(parts::any_part().block_erase_ms), 1, kErasePauseMs)) {
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

bool FastProgram::start() {
    uint32_t hz = spi::raise_clock(clock_mhz_);
    if (hz == 0) {
        host::showf(text::kFastClockUnavailable, clock_mhz_);
        return false;
    }
    clock_raised_ = true;
    // Enough status bytes behind the first page program to cover 1 ms.
    status_count_ = clamp_status(hz / 8 / 1000);
    return true;
}

void FastProgram::finish() {
    if (clock_raised_) spi::restore_clock();
    clock_raised_ = false;
}

// Reads what the run decides of the block, a chunk at a time. An erasable
// block is read whole, but only until its bytes can be neither blank nor
// the target: it is erased then anyway.
FastProgram::Found FastProgram::survey(const Block& b) {
    known_.fill(false);
    const uint32_t to = b.erasable ? parts::kBlockSize : b.end;
    bool blank = true, same = true;
    for (uint32_t off = 0; off < to && (!b.erasable || blank || same); off += kChunkSize) {
        uint8_t* at = flash.data() + off;
        bool& known = known_[off / kChunkSize];
        known = read_chunk(b.base + off, at);
        blank = blank && known && is_blank(at, kChunkSize);
        same = same && known && std::equal(at, at + kChunkSize, want(b, off));
    }
    return same ? Found::kSame : blank ? Found::kBlank : Found::kOther;
}

bool FastProgram::begin_block(const Block& b) {
    Found found = survey(b);
    if (b.erasable && found != Found::kOther)
        host::debugf(text::kFastBlock, b.base,
                     found == Found::kSame ? text::kFastBlockSame : text::kFastBlockBlank);
    return b.erasable && found == Found::kOther;
}

// Write enable and the 64 KiB erase in one write, then the busy poll; an
// erase that may not have gone out fails the chunk's check.
Check FastProgram::erase(uint32_t base, int& rewrites) {
    const uint32_t budget_ms = parts::current().block_erase_ms;
    spi::Step steps[] = {{spi::kWriteEnable}, {spi::kBlockErase64, base}};
    Wait w = Wait::kNoAnswer;
    if (spi::burst(steps) != spi::Result::kWriteFailed)
        w = poll(Deadline(budget_ms), 1, kErasePauseMs);
    if (w == Wait::kBusy) {
        host::showf(text::kFastBusyAfter, budget_ms, text::kFastBlockErase, base);
        return Check::kFailed;
    }
    if (w == Wait::kNoAnswer) return retry_or_show(rewrites, text::kEraseFailed, base);
    host::debugf(text::kFastBlock, base, text::kFastBlockErased);
    flash.fill(kBlank);
    known_.fill(false);
    // The first 4 KiB, as the exact mode checks them after an erase, with
    // its message; a chunk that did not arrive fails at its first byte. The
    // rest of what the erase left is taken on trust: every chunk is
    // verified after it.
    bool arrived = read_chunk(base, flash.data());
    auto* end = flash.data() + kChunkSize;
    auto* bad = arrived ? std::find_if(flash.data(), end, [](uint8_t v) { return v != kBlank; })
                        : flash.data();
    known_[0] = arrived;
    if (bad == end) return Check::kPassed;
    return retry_or_show(rewrites, text::kBlankError,
                         base + static_cast<uint32_t>(bad - flash.data()));
}

// 0xFF needs no programming: it changes no bit. Nor does a page a read
// that arrived has shown to hold the bytes already.
bool FastProgram::needs_page(const Block& b, uint32_t off) {
    const uint8_t* w = want(b, off);
    if (is_blank(w, kPageSize)) return false;
    return !(known_[off / kChunkSize] && std::equal(w, w + kPageSize, flash.data() + off));
}

// Write enable, the page program and a status read clocked on through the
// programming, in one write; the status bytes it took to read ready, and a
// few more, are clocked behind the next page.
Strategy::PageOutcome FastProgram::program_page(const Block& b, uint32_t off) {
    const uint32_t address = b.base + off;
    const uint32_t budget_ms = parts::current().page_program_ms;
    Deadline deadline(budget_ms);
    spi::Step steps[] = {
        {spi::kWriteEnable},
        {spi::kPageProgram, address, kPageSize, const_cast<uint8_t*>(want(b, off))},
        {spi::kReadStatus, 0, status_count_, status_bytes.data()},
    };
    spi::Result r = spi::burst(steps);
    Wait w = Wait::kNoAnswer; // a write that failed: the verify finds it
    if (r != spi::Result::kWriteFailed) {
        auto end = status_bytes.begin() + status_count_;
        auto at = r == spi::Result::kDone ? std::find_if(status_bytes.begin(), end, is_ready) : end;
        if (at != end) {
            auto busy = static_cast<uint32_t>(at - status_bytes.begin());
            status_count_ = clamp_status(busy + busy / 16 + kMinStatusBytes);
            w = Wait::kReady;
        } else {
            status_count_ = clamp_status(status_count_ * 2);
            w = poll(deadline, clamp_status(status_count_ / 4), 0);
        }
    }
    host::debugf(text::kPageProgrammed, address);
    if (w != Wait::kBusy) return {};
    host::showf(text::kFastBusyAfter, budget_ms, text::kFastPageProgram, address);
    return {true, std::nullopt};
}

bool FastProgram::chunk_known_as_target(const Block& b, uint32_t off) const {
    const uint8_t* w = want(b, off);
    return known_[off / kChunkSize] && std::equal(w, w + kChunkSize, flash.data() + off);
}

// Reads the chunk back once, unless a read that arrived has shown it to hold
// the bytes already (then no page of it was programmed). A chunk that did
// not arrive fails at its first byte: its zeros would pass for zero padding
// that was never written.
std::optional<uint32_t> FastProgram::verify_chunk(const Block& b, uint32_t off) {
    if (chunk_known_as_target(b, off)) return std::nullopt;
    const uint32_t address = b.base + off;
    uint8_t* have = flash.data() + off;
    bool& known = known_[off / kChunkSize];
    known = read_chunk(address, have);
    const uint8_t* w = want(b, off);
    auto [got, expected] = std::mismatch(have, have + kChunkSize, w);
    if (known && got == have + kChunkSize) return std::nullopt;
    return address + (known ? static_cast<uint32_t>(got - have) : 0);
}

} // namespace zintra::flash
