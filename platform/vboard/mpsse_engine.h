// The bridge's MPSSE engine: it parses the command stream of each USB write,
// drives the pins and clocks bytes through the flash, and queues the bytes
// the host is to read.
#pragma once

#include "board_clock.h"
#include "spi_flash.h"
#include "usb_link.h"

#include <cstdint>
#include <vector>

namespace vboard {

class MpsseEngine {
  public:
    // Without the 60 MHz master clock the engine is an FT2232D's: it answers
    // the commands only the later chips have as bad commands.
    MpsseEngine(SpiFlash& flash, BoardClock& clock, Counters& counters, UsbLink& link,
                bool master_clock_60mhz);

    // Mode 0x02 switches the engine on; any other mode switches it off and
    // lets the pins float, which deselects the flash.
    void set_mode(uint8_t mode);
    // Drops a half-received command and every unread reply.
    void purge();
    // One USB write. The board clock advances as the bytes go out on the wire;
    // the replies go to the USB link.
    void feed(const uint8_t* data, std::size_t size);
    uint32_t spi_clock_hz() const;

  private:
    std::size_t execute(const uint8_t* data, std::size_t size); // 0 when incomplete
    void shift(uint8_t opcode, const uint8_t* out, std::size_t length);
    void set_low_pins(uint8_t value, uint8_t direction);
    bool flash_selected() const;
    void reply(uint8_t byte);

    SpiFlash& flash_;
    BoardClock& clock_;
    Counters& counters_;
    UsbLink& link_;
    const bool master_clock_60mhz_;

    bool enabled_ = false;
    std::vector<uint8_t> partial_; // a command whose tail is still to come

    uint8_t low_value_ = 0;
    uint8_t low_direction_ = 0; // all inputs until the host sets them
    uint8_t high_value_ = 0;
    uint8_t high_direction_ = 0;
    uint16_t divisor_ = 0;    // assumed: hosts always set it before clocking
    bool divide_by_5_ = true; // the 12 MHz reference the chip powers up with
    bool loopback_ = false;
};

} // namespace vboard
