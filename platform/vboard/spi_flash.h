// The SPI NOR flash behind the bridge. It sees only what a real part sees:
// chip select edges and bytes clocked while it is selected, each at the
// moment the bridge clocks it, and it answers each clocked byte with the
// byte it drives on its data output. With no part in place (a board taken
// off the bridge) nothing drives the data line.
#pragma once

#include "virtual_board.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <utility>

namespace vboard {

class SpiFlash {
  public:
    // `memory` holds the part's whole array and outlives the flash, or is
    // empty: no part in place.
    SpiFlash(const FlashPart& part, std::span<uint8_t> memory, const Faults& faults,
             Counters& counters);

    // A part put in place, freshly powered: idle, latch clear, awake.
    void connect(const FlashPart& part, std::span<uint8_t> memory);
    void disconnect() { connect(*part_, {}); }
    bool connected() const { return !memory_.empty(); }
    // Asked when an ID read reaches an empty place; true when it has put a
    // part there, which then answers.
    void on_identify(std::function<bool()> put_on) { put_on_ = std::move(put_on); }

    void select();
    // One byte in each direction at `now_ns`; 0xFF when the part does not
    // drive its output.
    uint8_t exchange(uint8_t mosi, uint64_t now_ns);
    // Raising chip select ends the command; writing commands act only here.
    void deselect(uint64_t now_ns);

    void set_observer(CommandObserver observer) { observer_ = std::move(observer); }

    bool busy(uint64_t now_ns) const;
    uint8_t status(uint64_t now_ns) const;

  private:
    uint8_t read_byte(uint32_t address);
    bool write_allowed(uint32_t begin, uint32_t end) const;
    void finish_write_command(uint64_t now_ns);
    void start_busy(uint64_t now_ns, uint64_t microseconds);
    void erase(uint64_t now_ns, uint32_t address, uint32_t size, uint32_t microseconds);
    uint64_t page_program_us() const;

    const FlashPart* part_;
    std::span<uint8_t> memory_;
    std::function<bool()> put_on_;
    const Faults& faults_;
    uint32_t programs_since_connect_ = 0;
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
