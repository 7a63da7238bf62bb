// The exact mode of program flash: every command with its fixed wait, the
// part's block erase over the whole 64 KiB block with a blank check of the
// first 4 KiB after each command, every page programmed and read back.
#pragma once

#include "program_pipeline.h"

namespace zintra::flash {

class ExactProgram : public Strategy {
  public:
    Check erase(uint32_t base, int& rewrites) override;
    PageOutcome program_page(const Block& b, uint32_t off) override;
};

} // namespace zintra::flash
