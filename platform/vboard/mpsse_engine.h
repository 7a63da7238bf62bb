// The bridge's MPSSE engine: it takes the host's bytes into its command
// buffer, parses them, drives the pins and clocks bytes through the flash,
// each at its moment on the SPI clock, and puts the bytes the host is to
// read into the reply buffer. With no room there it stops clocking, as the
// chip does, and goes on once the host has taken a packet.
#pragma once

#include "spi_flash.h"
#include "usb_link.h"

#include <cstdint>
#include <vector>

namespace vboard {

class MpsseEngine {
  public:
    // Without the 60 MHz master clock the engine is an FT2232D's: it answers
    // the commands only the later chips have as bad commands.
    MpsseEngine(SpiFlash& flash, Counters& counters, UsbLink& link, bool master_clock_60mhz,
                std::size_t command_buffer);

    // Mode 0x02 switches the engine on; any other mode switches it off and
    // lets the pins float, which deselects the flash.
    void set_mode(uint8_t mode, uint64_t now_ns);
    // Drops the commands not yet run and every unread reply.
    void purge();
    // The bytes of one USB write, there at `now_ns`, taken into the command
    // buffer as it has room and run as they come. How many it took: fewer
    // than `size` when the engine stopped for reply room and the command
    // buffer filled behind it.
    std::size_t feed(const uint8_t* data, std::size_t size, uint64_t now_ns);
    // Goes on with the commands waiting, from `now_ns` on.
    void run(uint64_t now_ns);
    // The engine's own time: the end of the last thing it clocked.
    uint64_t now_ns() const { return now_; }
    uint32_t spi_clock_hz() const;

  private:
    // One command, or more of the shift under way; false when nothing more
    // can be done now (the buffer holds no whole command, or no reply room).
    bool step();
    bool start_command();
    bool continue_shift();
    void set_low_pins(uint8_t value, uint8_t direction);
    bool flash_selected() const;
    void reply(uint8_t byte);
    std::size_t buffered() const { return commands_.size() - head_; }

    SpiFlash& flash_;
    Counters& counters_;
    UsbLink& link_;
    const bool master_clock_60mhz_;
    const std::size_t capacity_;

    bool enabled_ = false;
    std::vector<uint8_t> commands_; // the command buffer, from head_ on
    std::size_t head_ = 0;
    uint64_t now_ = 0;

    // A byte shift (or 0x8F's clocks) under way, resumed where it stopped.
    struct Shift {
        bool active = false;
        uint8_t opcode = 0;
        std::size_t length = 0;
        std::size_t done = 0;
        uint32_t hz = 1;
        // Bytes go out on a steady clock from the segment's start; a stop
        // for reply room begins a new segment when the engine goes on.
        uint64_t segment_ns = 0;
        std::size_t segment_first = 0;
    } shift_;

    uint8_t low_value_ = 0;
    uint8_t low_direction_ = 0; // all inputs until the host sets them
    uint8_t high_value_ = 0;
    uint8_t high_direction_ = 0;
    uint16_t divisor_ = 0;    // assumed: hosts always set it before clocking
    bool divide_by_5_ = true; // the 12 MHz reference the chip powers up with
    bool loopback_ = false;
};

} // namespace vboard
