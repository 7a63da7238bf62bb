#include "exact_program.h"

#include "flash_chip.h"
#include "flash_io.h"
#include "host.h"
#include "texts.h"

#include <algorithm>

namespace zintra::flash {
namespace {

// The first 4 KiB after each erase command: with two 32 KiB commands an
// erase that did not happen in the second half shows here, before any of
// the block is programmed over old bytes.
Check blank_check(uint32_t base, int& rewrites) {
    Page page;
    const uint32_t step = parts::current().exact_erase.size;
    for (uint32_t p = 0; p < kPagesPerChunk * (parts::kBlockSize / step); ++p) {
        uint32_t address = base + (p / kPagesPerChunk) * step + (p % kPagesPerChunk) * kPageSize;
        // A page that did not arrive reads as zeros and fails like any other.
        static_cast<void>(read_page(address, page));
        auto it = std::find_if(page.begin(), page.end(), [](uint8_t b) { return b != kBlank; });
        if (it == page.end()) continue;
        return retry_or_show(rewrites, text::kBlankError,
                             address + static_cast<uint32_t>(it - page.begin()));
    }
    return Check::kPassed;
}

} // namespace

// An erase command that did not go out fails the chunk's check like a
// byte that is not blank.
Check ExactProgram::erase(uint32_t base, int& rewrites) {
    switch (erase_block(base)) {
    case Erase::kDone:
        return blank_check(base, rewrites);
    case Erase::kFailed:
        return Check::kFailed;
    case Erase::kNotSent:
        break;
    }
    return retry_or_show(rewrites, text::kEraseFailed, base);
}

Strategy::PageOutcome ExactProgram::program_page(const Block& b, uint32_t off) {
    const uint32_t address = b.base + off;
    // The page program only sends these bytes; it never writes into them.
    auto* data = const_cast<uint8_t*>(b.target->data() + off);
    write_page(address, data);
    host::debugf(text::kPageProgrammed, static_cast<unsigned>(address));
    // A page that did not arrive fails the check at its first byte: its
    // zeros would pass for a chunk's zero padding that was never written.
    Page verify;
    bool arrived = read_page(address, verify) == spi::Result::kDone;
    auto [got, want] = std::mismatch(verify.begin(), verify.end(), data);
    if (arrived && got == verify.end()) return {};
    return {false, address + (arrived ? static_cast<uint32_t>(got - verify.begin()) : 0)};
}

} // namespace zintra::flash
