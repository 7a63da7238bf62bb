#include "fast_program.h"

#include "flash_chip.h"
#include "flash_io.h"
#include "host.h"
#include "spi_engine.h"
#include "texts.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zintra::flash {
namespace {

// Only an erase poll sleeps between readings: an erase takes tenths of a
// second, and a millisecond more at its end costs nothing.
constexpr uint32_t kErasePauseMs = 1;
// Transfers that fail one after another before a poll gives up.
constexpr int kPollFailures = 3;
// Status bytes clocked in one chip select behind a page program: a few at
// least, at most what covers a slow part's page at 30 MHz.
constexpr uint32_t kMaxStatusBytes = 8192;
constexpr uint32_t kMinStatusBytes = 4;
constexpr int32_t kFastClocksMhz[] = {0, 30, 15, 6, 3};
static_assert(kPagesPerChunk * kMaxStatusBytes + kChunkSize <= spi::kMaxBurstRead);

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

// The status readings behind each page of a chunk sent at once.
std::array<std::array<uint8_t, kMaxStatusBytes>, kPagesPerChunk> status_bytes;
// What the block holds, as far as known: a read that arrived, or an erase.
std::array<uint8_t, parts::kBlockSize> flash;

// Reads the status register `count` times over in one chip select, again
// and again, until its last reading is ready or the deadline has passed. A
// lost reply is read again; a few transfers failing in a row end the poll.
// Busy is only said of a part whose last reading arrived and was busy: a
// transfer that failed past the deadline knows nothing of the part.
Wait poll(const Deadline& deadline, uint32_t count, uint32_t pause_ms) {
    int failures = 0;
    uint8_t* reading = status_bytes[0].data();
    for (;;) {
        spi::Step step{spi::kReadStatus, 0, count, reading};
        if (spi::burst({&step, 1}) == spi::Result::kDone) {
            failures = 0;
            if (is_ready(reading[count - 1])) return Wait::kReady;
            if (deadline.passed()) return Wait::kBusy;
        } else if (++failures == kPollFailures || deadline.passed()) {
            return Wait::kNoAnswer;
        }
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
    // Pages a stop left waiting go out, as the pages before a stop always did.
    if (waiting_count_ > 0) send_pages(nullptr, 0, 0);
    if (clock_raised_) spi::restore_clock();
    clock_raised_ = false;
}

// Reads what the run decides of the block: its first chunk, then the rest
// in one read unless the first already shows that an erasable block is to
// be erased (it is neither blank nor the target).
FastProgram::Found FastProgram::survey(const Block& b) {
    known_.fill(false);
    const uint32_t to = b.erasable ? parts::kBlockSize : b.end;
    bool blank = true, same = true;
    for (uint32_t off = 0; off < to && (!b.erasable || blank || same);) {
        const uint32_t size = off == 0 ? kChunkSize : to - off;
        const bool arrived = read_burst(b.base + off, {flash.data() + off, size});
        for (uint32_t c = off; c < off + size; c += kChunkSize) {
            const uint8_t* at = flash.data() + c;
            known_[c / kChunkSize] = arrived;
            blank = blank && arrived && is_blank(at, kChunkSize);
            same = same && arrived && std::equal(at, at + kChunkSize, want(b, c));
        }
        off += size;
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

// The pages of a chunk wait and go out together, each as write enable,
// page program and a status read clocked on through the programming, with
// the chunk's verify read behind the last. The first page goes alone, to
// learn how many status bytes the part's programming takes.
Strategy::PageOutcome FastProgram::program_page(const Block& b, uint32_t off) {
    waiting_[waiting_count_] = b.base + off;
    waiting_data_[waiting_count_] = want(b, off);
    ++waiting_count_;
    const uint32_t chunk_off = off - off % kChunkSize;
    bool last = true;
    for (uint32_t p = off + kPageSize; p < chunk_off + kChunkSize && last; p += kPageSize)
        last = !needs_page(b, p);
    if (learned_ && !last) return {};
    const uint32_t verify_at = b.base + chunk_off;
    const Sent sent = last ? send_pages(flash.data() + chunk_off, verify_at, kChunkSize)
                           : send_pages(nullptr, 0, 0);
    if (last) {
        verified_at_ = verify_at;
        verified_ = sent == Sent::kDone;
    }
    if (sent == Sent::kFailed) return {true, std::nullopt};
    return {};
}

FastProgram::Sent FastProgram::send_pages(uint8_t* verify_to, uint32_t verify_at,
                                          uint32_t verify_size) {
    const uint32_t budget_ms = parts::current().page_program_ms;
    const uint32_t pages = std::exchange(waiting_count_, 0);
    for (uint32_t next = 0;;) {
        std::array<spi::Step, 3 * kPagesPerChunk + 1> steps;
        std::size_t n = 0;
        const uint32_t count = status_count_;
        for (uint32_t p = next; p < pages; ++p) {
            steps[n++] = {spi::kWriteEnable};
            steps[n++] = {spi::kPageProgram, waiting_[p], kPageSize,
                          const_cast<uint8_t*>(waiting_data_[p])};
            steps[n++] = {spi::kReadStatus, 0, count, status_bytes[p - next].data()};
        }
        if (verify_to) steps[n++] = {spi::kRead, verify_at, verify_size, verify_to};
        const spi::Result r = spi::burst({steps.data(), n});
        if (r == spi::Result::kReadFailed) {
            // Nothing is known of the pages; the part finishes before anything
            // else goes out, and the verify finds what did not arrive.
            poll(Deadline(budget_ms), 1, 0);
            return Sent::kLost;
        }
        if (r != spi::Result::kDone) return Sent::kLost;
        // A page still busy at its last status byte: what came behind it
        // found the part busy and was ignored.
        uint32_t p = next, slowest = 0;
        for (; p < pages; ++p) {
            const auto& reading = status_bytes[p - next];
            const auto ready = std::find_if(reading.begin(), reading.begin() + count, is_ready);
            if (ready == reading.begin() + count) break;
            slowest = std::max(slowest, static_cast<uint32_t>(ready - reading.begin()));
            host::debugf(text::kPageProgrammed, waiting_[p]);
        }
        if (p > next) {
            learned_ = true;
            status_count_ = clamp_status(slowest + slowest / 16 + kMinStatusBytes);
        }
        if (p == pages) return Sent::kDone;
        status_count_ = clamp_status(count * 2);
        switch (poll(Deadline(budget_ms), clamp_status(status_count_ / 4), 0)) {
        case Wait::kBusy:
            host::showf(text::kFastBusyAfter, budget_ms, text::kFastPageProgram, waiting_[p]);
            return Sent::kFailed;
        case Wait::kNoAnswer:
            return Sent::kLost;
        case Wait::kReady:
            break;
        }
        host::debugf(text::kPageProgrammed, waiting_[p]);
        next = p + 1;
        if (next == pages && !verify_to) return Sent::kDone;
    }
}

bool FastProgram::chunk_known_as_target(const Block& b, uint32_t off) const {
    const uint8_t* w = want(b, off);
    return known_[off / kChunkSize] && std::equal(w, w + kChunkSize, flash.data() + off);
}

// The chunk as the read behind its last page brought it, or read once now,
// unless a read that arrived has shown it to hold the bytes already (then no
// page of it was programmed). A chunk that did not arrive fails at its first
// byte: its zeros would pass for zero padding that was never written.
std::optional<uint32_t> FastProgram::verify_chunk(const Block& b, uint32_t off) {
    const uint32_t address = b.base + off;
    uint8_t* have = flash.data() + off;
    bool& known = known_[off / kChunkSize];
    if (std::exchange(verified_at_, kNothingVerified) == address) {
        known = verified_;
    } else {
        if (chunk_known_as_target(b, off)) return std::nullopt;
        known = read_chunk(address, have);
    }
    const uint8_t* w = want(b, off);
    auto [got, expected] = std::mismatch(have, have + kChunkSize, w);
    if (known && got == have + kChunkSize) return std::nullopt;
    return address + (known ? static_cast<uint32_t>(got - have) : 0);
}

} // namespace zintra::flash
