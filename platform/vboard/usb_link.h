// The bridge's USB side as the host's clock sees it. A transfer costs one
// turnaround. Bytes the MPSSE engine produces wait in the bridge until 510
// of them fill a packet, until SEND_IMMEDIATE (0x87) arrives or until the
// latency timer runs out; each packet carries two status bytes that the
// D2XX layer strips, and crosses the bus at high-speed bulk rate while the
// engine goes on shifting.
#pragma once

#include "board_clock.h"
#include "virtual_board.h"

#include <cstdint>
#include <deque>

namespace vboard {

struct UsbTiming {
    uint64_t turnaround_ns = 125'000;
    uint64_t latency_ns = 16'000'000;
};

class UsbLink {
  public:
    UsbLink(BoardClock& clock, Counters& counters, UsbTiming timing);

    // The latency timer starts when the bridge is opened.
    void open();
    void set_latency_ms(uint32_t ms);
    // Drops every byte the host has not read.
    void purge();
    // One reply byte the engine produced at the board's time now.
    void queue(uint8_t byte);
    // SEND_IMMEDIATE: what waits goes out now.
    void send_immediate();
    // The turnaround of one transfer.
    void turnaround();
    // The host's read of up to `size` bytes (nullptr drops them): it waits
    // for bytes still held in the bridge and for the packets that carry
    // what it takes to arrive. Returns how many it took.
    std::size_t take(uint8_t* out, std::size_t size);

  private:
    struct Packet {
        uint64_t end;        // stream position past its last byte
        uint64_t arrival_ns; // when the host has it
    };
    void release(uint64_t at_ns);
    // The next tick of the latency timer at or after `from_ns`.
    uint64_t next_tick(uint64_t from_ns) const;
    // Releases what waits if a tick came by `now_ns`.
    void expire(uint64_t now_ns);
    void wait_until(uint64_t ns);

    BoardClock& clock_;
    Counters& counters_;
    UsbTiming timing_;

    std::deque<uint8_t> bytes_; // not yet taken: released first, then waiting
    std::deque<Packet> packets_;
    uint64_t taken_ = 0;    // stream position of the first byte in bytes_
    uint64_t released_ = 0; // stream position past the last released byte
    uint64_t produced_ = 0; // stream position past the last queued byte
    uint64_t first_waiting_ns_ = 0;
    uint64_t timer_start_ns_ = 0; // the last packet sent, or the open
    uint64_t bus_free_ns_ = 0;
};

} // namespace vboard
