// The fast mode of program flash: the same bytes at the same addresses as
// the exact mode, with the busy bit polled instead of the fixed waits, one
// 64 KiB erase command per block, a block read first and left alone where
// it already holds the bytes or erased only where it is not blank, and a
// chunk verified with one read. Reached only through ZintraProgramFast.
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

    uint32_t clock_mhz_;
    bool clock_raised_ = false;
    uint32_t status_count_ = 0;
    // Per chunk of the block: whether `flash` holds what a read that
    // arrived saw there, or what an erase left.
    std::array<bool, parts::kBlockSize / kChunkSize> known_{};
};

} // namespace zintra::flash
