// The fast mode of program flash: the same bytes at the same addresses as
// the exact mode, with the busy bit polled instead of the fixed waits, one
// 64 KiB erase command per block, a block read first and left alone where
// it already holds the bytes or erased only where it is not blank, and a
// chunk's pages, each with its write enable and status readings placed
// where the part finishes, sent in one USB write with the chunk's verify
// read behind them. Reached only through ZintraProgramFast.
#pragma once

#include "program_pipeline.h"

#include <array>
#include <cstdint>
#include <span>

namespace zintra::flash {

// The SPI clocks the fast mode runs at, in MHz; 0 picks the default.
bool valid_fast_clock(int32_t mhz);

// How long the part takes to program a page, in SPI byte times from the
// rise of the page program's chip select, as the status readings behind
// the pages have shown it: where the next pages' readings go. On a bridge
// that clocks without data the readings sit in a window around the part's
// time with a wait before them; on one that cannot, they run from the
// first byte on.
class PageTimer {
  public:
    struct Window {
        uint32_t wait = 0;  // byte times before the status read command
        uint32_t every = 1; // byte times from one reading to the next
        uint32_t samples = 1;
        // When reading `i` (from 0) samples the part.
        uint64_t at(uint32_t i) const { return uint64_t{wait} + 1 + uint64_t{i} * every; }
    };

    // Nothing known yet but that a page takes about a millisecond.
    void start(uint32_t bytes_per_ms, bool waits);
    // Whether the last pages finished inside their windows: pages then go
    // together; otherwise the next goes alone, to measure.
    bool settled() const { return settled_; }
    Window window(uint32_t samples) const;
    // The readings of the pages that met an idle part: for each, its first
    // ready reading, or -1 when it was still busy at its last.
    void learn(const Window& w, std::span<const int32_t> first_ready);

  private:
    uint32_t margin(uint64_t t) const;

    bool waits_ = false;
    bool settled_ = false;
    uint64_t lo_ = 0, hi_ = 0; // the part's time is believed to lie in (lo_, hi_]
    uint32_t share_ = 64;      // the margin around it, as a share of it
};

class FastProgram : public Strategy {
  public:
    explicit FastProgram(uint32_t clock_mhz) : clock_mhz_(clock_mhz) {}
    bool prepare() override;
    bool start() override;
    void finish() override;
    bool begin_block(const Block& b) override;
    Check erase(uint32_t base, int& rewrites) override;
    bool needs_page(const Block& b, uint32_t off) override;
    PageOutcome program_page(const Block& b, uint32_t off) override;
    std::optional<uint32_t> verify_chunk(const Block& b, uint32_t off) override;

  private:
    enum class Found { kSame, kBlank, kOther };
    Found survey(const Block& b);
    bool chunk_known_as_target(const Block& b, uint32_t chunk_off) const;
    // How the pages waiting to go out came off.
    enum class Sent { kDone, kFailed, kLost };
    // Sends the waiting pages, and behind them the chunk's verify read
    // when `verify` is set; only pages that met a busy part go again.
    Sent send_pages(bool verify);
    // How many of `pending` pages the next write carries, and whether the
    // verify read fits behind them.
    struct Write {
        uint32_t pages;
        bool verify;
        PageTimer::Window window;
    };
    Write plan(uint32_t pending, bool verify) const;

    uint32_t clock_mhz_;
    bool clock_raised_ = false;
    PageTimer timer_;
    // Pages programmed, not yet sent: a chunk's at most, as offsets in the
    // block at block_base_ whose bytes are in *target_.
    uint32_t block_base_ = 0;
    const std::array<uint8_t, parts::kBlockSize>* target_ = nullptr;
    uint32_t chunk_off_ = 0;
    std::array<uint32_t, kPagesPerChunk> waiting_{};
    uint32_t waiting_count_ = 0;
    // The chunk whose verify read went out behind its last page, and
    // whether that read arrived.
    static constexpr uint32_t kNothingVerified = UINT32_MAX;
    uint32_t verified_at_ = kNothingVerified;
    bool verified_ = false;
    // Per chunk of the block: whether `flash` holds what a read that
    // arrived saw there, or what an erase left.
    std::array<bool, parts::kBlockSize / kChunkSize> known_{};
};

} // namespace zintra::flash
