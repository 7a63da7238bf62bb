// The fast mode of program flash: the same bytes at the same addresses as
// the exact mode, with the busy bit polled instead of the fixed waits, one
// 64 KiB erase command per block, a block read first and left alone where
// it already holds the bytes or erased only where it is not blank, and a
// chunk's pages, each with its write enable and the status read that waits
// out its programming, sent in one USB write with the chunk's verify read
// behind them. Reached only through ZintraProgramFast.
#pragma once

#include "program_pipeline.h"

#include <array>

namespace zintra::flash {

// The SPI clocks the fast mode runs at, in MHz; 0 picks the default.
bool valid_fast_clock(int32_t mhz);

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
    // Sends the waiting pages, and behind them the read of `verify_size`
    // bytes at `verify_at` into `verify_to` when one is given.
    Sent send_pages(uint8_t* verify_to, uint32_t verify_at, uint32_t verify_size);

    uint32_t clock_mhz_;
    bool clock_raised_ = false;
    // Status bytes behind each page program: as many as the last pages
    // took to read ready, and a few more.
    uint32_t status_count_ = 0;
    // Pages programmed, not yet sent: a chunk's at most.
    std::array<uint32_t, kPagesPerChunk> waiting_{};
    std::array<const uint8_t*, kPagesPerChunk> waiting_data_{};
    uint32_t waiting_count_ = 0;
    // Until one page has shown how long the part takes, each goes alone.
    bool learned_ = false;
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
