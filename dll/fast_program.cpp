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
// The readings of a short poll, each a round trip with SEND_IMMEDIATE.
constexpr uint32_t kShortPoll = 4;
// Readings behind a page that goes with others, and behind one that goes
// alone to measure the part; on a bridge that cannot wait in its stream a
// page's readings run from its first byte on, at most as many as cover a
// slow part's page at 6 MHz.
constexpr uint32_t kGroupReadings = 32;
constexpr uint32_t kMeasureReadings = 64;
constexpr uint32_t kMaxReadings = 8192;
// Around the part's time the readings leave this, and a share of it.
constexpr uint32_t kMinMargin = 4;
constexpr uint32_t kSteadyShare = 64;
constexpr uint32_t kWidestShare = 8;
constexpr int32_t kFastClocksMhz[] = {0, 30, 15, 6, 3};
static_assert(kPagesPerChunk * kMaxReadings + kChunkSize <= spi::kMaxBurstRead);

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

// The status readings behind each page of a write.
std::array<std::array<uint8_t, kMaxReadings>, kPagesPerChunk> readings;
// What the block holds, as far as known: a read that arrived, or an erase.
std::array<uint8_t, parts::kBlockSize> flash;
// A chunk before its pages went out, and a chunk read to see which took.
std::array<uint8_t, kChunkSize> before;
std::array<uint8_t, kChunkSize> now;

// Reads the status register `count` times over in one chip select, again
// and again, until its last reading is ready or the deadline has passed. A
// lost reply is read again; a few transfers failing in a row end the poll.
// Busy is only said of a part whose last reading arrived and was busy: a
// transfer that failed past the deadline knows nothing of the part.
Wait poll(const Deadline& deadline, uint32_t count, uint32_t pause_ms) {
    int failures = 0;
    uint8_t* reading = readings[0].data();
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

// The first ready reading of a page, or -1.
int32_t first_ready(const uint8_t* r, uint32_t n) {
    const uint8_t* ready = std::find_if(r, r + n, is_ready);
    return ready == r + n ? -1 : static_cast<int32_t>(ready - r);
}

} // namespace

void PageTimer::start(uint32_t bytes_per_ms, bool waits) {
    waits_ = waits;
    settled_ = false;
    share_ = kSteadyShare;
    lo_ = 0;
    hi_ = std::max<uint32_t>(bytes_per_ms, kMeasureReadings);
}

uint32_t PageTimer::margin(uint64_t t) const {
    return kMinMargin + static_cast<uint32_t>(t / share_);
}

PageTimer::Window PageTimer::window(uint32_t samples) const {
    if (!waits_)
        return {.samples = static_cast<uint32_t>(std::clamp<uint64_t>(hi_, 1, kMaxReadings))};
    const uint64_t span = hi_ > lo_ + 1 ? hi_ - lo_ - 1 : 0;
    const uint64_t every = std::max<uint64_t>(1, (span + samples - 2) / (samples - 1));
    return {.wait = static_cast<uint32_t>(lo_),
            .every = static_cast<uint32_t>(every),
            .samples = samples};
}

// A page ready at its reading i finished between readings i - 1 and i; the
// next window spans what the pages showed with a margin either side. One
// ready at its first reading may have finished long before: the window
// moves back by its width and the next page measures. One still busy at its
// last: the part is slower than learnt, the window moves past it and
// doubles, and a miss after settling widens the margin for good.
void PageTimer::learn(const Window& w, std::span<const int32_t> first_ready) {
    if (first_ready.empty()) return;
    const uint64_t width = hi_ - lo_;
    uint64_t lo = UINT64_MAX, hi = 0;
    bool early = false;
    for (int32_t i : first_ready) {
        if (i < 0) {
            const uint64_t end = w.at(w.samples - 1);
            if (settled_) share_ = std::max(share_ / 2, kWidestShare);
            lo_ = end;
            hi_ = 2 * end + margin(end);
            settled_ = false;
            return;
        }
        const auto at = static_cast<uint32_t>(i);
        early = early || at == 0;
        hi = std::max(hi, w.at(at));
        lo = std::min(lo, at > 0 ? w.at(at - 1) : (w.wait > width ? w.wait - width : 0));
    }
    const uint32_t m = margin(hi);
    lo_ = lo > m ? lo - m : 0;
    hi_ = hi + m;
    settled_ = !early;
}

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
    timer_.start(hz / 8 / 1000, spi::bridge().clocks_without_data);
    return true;
}

void FastProgram::finish() {
    // Pages a stop left waiting go out, as the pages before a stop always did.
    if (waiting_count_ > 0) send_pages(false);
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
// page program and its status readings, with the chunk's verify read behind
// the last. Until the readings have shown the part's time, each page goes
// alone, as soon as it is programmed, to measure it.
Strategy::PageOutcome FastProgram::program_page(const Block& b, uint32_t off) {
    block_base_ = b.base;
    target_ = b.target;
    chunk_off_ = off - off % kChunkSize;
    waiting_[waiting_count_++] = off;
    bool last = true;
    for (uint32_t p = off + kPageSize; p < chunk_off_ + kChunkSize && last; p += kPageSize)
        last = !needs_page(b, p);
    if (timer_.settled() && !last) return {};
    if (send_pages(last) == Sent::kFailed) return {true, std::nullopt};
    return {};
}

FastProgram::Write FastProgram::plan(uint32_t pending, bool verify) const {
    const uint32_t room = spi::bridge().reply_room;
    if (!timer_.settled()) {
        const PageTimer::Window w = timer_.window(kMeasureReadings);
        return {1, verify && pending == 1 && w.samples <= room, w};
    }
    const PageTimer::Window w = timer_.window(kGroupReadings);
    // The readings of every page but the last sit in the bridge until the
    // host reads; the verify read behind them makes the last one's sit too.
    const uint32_t pages = std::min(pending, room / w.samples + 1);
    return {pages, verify && pages == pending && pages * w.samples <= room, w};
}

// A page whose write enable came while the part was still busy with the
// page before was ignored, and so may the rest of its write have been
// until a reading showed the part idle: the flash tells which of them took
// their bytes, and only those that did not go again. Every page the part
// met idle teaches the timer; a write that ends with the part busy waits
// for it with short polls before anything else goes out.
FastProgram::Sent FastProgram::send_pages(bool verify) {
    const uint32_t budget_ms = parts::current().page_program_ms;
    const uint32_t chunk_address = block_base_ + chunk_off_;
    uint8_t* verify_to = flash.data() + chunk_off_;
    const bool before_known = known_[chunk_off_ / kChunkSize];
    std::copy_n(verify_to, kChunkSize, before.begin());
    std::array<uint32_t, kPagesPerChunk> pending = waiting_;
    uint32_t count = std::exchange(waiting_count_, 0);
    bool verified = false;
    auto done = [&](Sent sent) {
        if (verify) {
            verified_at_ = chunk_address;
            verified_ = sent == Sent::kDone && verified;
        }
        return sent;
    };
    while (count > 0) {
        const Write w = plan(count, verify);
        std::array<spi::Step, 3 * kPagesPerChunk + 1> steps;
        std::size_t n = 0;
        for (uint32_t k = 0; k < w.pages; ++k) {
            const uint32_t off = pending[k];
            steps[n++] = {spi::kWriteEnable};
            steps[n++] = {spi::kPageProgram, block_base_ + off, kPageSize,
                          const_cast<uint8_t*>(target_->data() + off)};
            steps[n++] = {.opcode = spi::kReadStatus,
                          .length = w.window.samples,
                          .buffer = readings[k].data(),
                          .gap = w.window.wait,
                          .every = w.window.every};
        }
        if (w.verify) steps[n++] = {spi::kRead, chunk_address, kChunkSize, verify_to};
        const spi::Result r = spi::burst({steps.data(), n});
        if (r == spi::Result::kReadFailed) {
            // Nothing is known of the pages; the part finishes before anything
            // else goes out, and the verify finds what did not arrive.
            poll(Deadline(budget_ms), kShortPoll, 0);
            return done(Sent::kLost);
        }
        if (r != spi::Result::kDone) return done(Sent::kLost);
        std::array<int32_t, kPagesPerChunk> ready{}, taught{};
        std::size_t learnt = 0;
        bool certain_all = true;
        for (uint32_t k = 0; k < w.pages; ++k) {
            ready[k] = first_ready(readings[k].data(), w.window.samples);
            const bool certain = k == 0 || ready[k - 1] >= 0;
            certain_all = certain_all && certain;
            if (certain) taught[learnt++] = ready[k];
        }
        timer_.learn(w.window, {taught.data(), learnt});
        const bool idle = ready[w.pages - 1] >= 0;
        if (!idle) {
            uint32_t slow = 0;
            while (ready[slow] >= 0)
                ++slow;
            switch (poll(Deadline(budget_ms), kShortPoll, 0)) {
            case Wait::kBusy:
                host::showf(text::kFastBusyAfter, budget_ms, text::kFastPageProgram,
                            block_base_ + pending[slow]);
                return done(Sent::kFailed);
            case Wait::kNoAnswer:
                return done(Sent::kLost);
            case Wait::kReady:
                break;
            }
        }
        // The flash as it is now, where a page may have met a busy part.
        const uint8_t* holds = nullptr;
        if (!certain_all) {
            if (w.verify && idle) {
                holds = verify_to;
            } else if (read_chunk(chunk_address, now.data())) {
                holds = now.data();
            } else {
                return done(Sent::kLost);
            }
        }
        uint32_t again = 0;
        for (uint32_t k = 0; k < w.pages; ++k) {
            const uint32_t off = pending[k];
            const uint32_t at = off - chunk_off_;
            const bool certain = k == 0 || ready[k - 1] >= 0;
            const bool took =
                certain || std::equal(holds + at, holds + at + kPageSize, target_->data() + off);
            const bool untouched =
                !took && (!before_known ||
                          std::equal(holds + at, holds + at + kPageSize, before.begin() + at));
            if (!untouched) {
                host::debugf(text::kPageProgrammed, block_base_ + off);
            } else {
                pending[again++] = off;
            }
        }
        verified = verified || (w.verify && idle && again == 0);
        if (holds == now.data() && again == 0 && count == w.pages && verify) {
            std::copy(now.begin(), now.end(), verify_to);
            verified = true;
        }
        std::copy(pending.begin() + w.pages, pending.begin() + count, pending.begin() + again);
        count = again + (count - w.pages);
    }
    // A verify read that met the part still busy read nothing: once more.
    if (verify && !verified) verified = read_chunk(chunk_address, verify_to);
    return done(Sent::kDone);
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
