// The SPI NOR flash behind the bridge. It sees only what a real part sees:
// chip select edges and bytes clocked while it is selected, and it answers
// each clocked byte with the byte it drives on its data output.
#pragma once

#include "board_clock.h"
#include "virtual_board.h"

#include <array>
#include <cstdint>
#include <span>
#include <utility>

namespace vboard {

class SpiFlash {
  public:
    // `memory` holds the part's whole array and outlives the flash.
    SpiFlash(const FlashPart& part, std::span<uint8_t> memory, const BoardClock& clock,
             const Faults& faults, Counters& counters);

    void select();
    // One byte in each direction; 0xFF when the part does not drive its output.
    uint8_t exchange(uint8_t mosi);
    // Raising chip select ends the command; writing commands act only here.
    void deselect();

    void set_observer(CommandObserver observer) { observer_ = std::move(observer); }

    bool busy() const;
    uint8_t status() const;

  private:
    uint8_t read_byte(uint32_t address);
    bool write_allowed(uint32_t begin, uint32_t end) const;
    void finish_write_command();
    void start_busy(uint32_t microseconds);
    void erase(uint32_t address, uint32_t size, uint32_t microseconds);

    const FlashPart& part_;
    std::span<uint8_t> memory_;
    const BoardClock& clock_;
    const Faults& faults_;
    Counters& counters_;
    CommandObserver observer_;
    uint32_t address_mask_;

    uint8_t status_ = 0; // bit 1 the write-enable latch; bit 0 is computed
    uint64_t busy_until_ns_ = 0;
    bool powered_down_ = false;

    // The command of the current chip-select period.
    bool selected_ = false;
    bool ignored_ = false;
    uint8_t opcode_ = 0;
    uint32_t count_ = 0; // bytes clocked, the opcode included
    uint32_t address_ = 0;
    std::array<uint8_t, 256> page_latch_{};
    std::array<uint8_t, 2> status_in_{};
    enum class Flip { undecided, yes, no } flip_ = Flip::undecided;
};

} // namespace vboard
