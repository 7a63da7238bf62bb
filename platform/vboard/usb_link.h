// The bridge's way back to the host. Bytes the MPSSE engine produces wait
// in the chip's reply buffer; 510 of them make a packet, SEND_IMMEDIATE
// (0x87) or a tick of the latency timer makes a short one of what waits.
// Packets leave the chip only while the host asks for them (an FT_Read, a
// bulk IN transfer: libftdi keeps no transfer waiting in between), cross the
// bus at high-speed bulk rate with two status bytes in front, and the room
// they leave lets the engine clock on. A host that stops reading stops the
// engine once the reply buffer is full.
#pragma once

#include "virtual_board.h"

#include <cstdint>
#include <deque>
#include <optional>

namespace vboard {

struct UsbTiming {
    uint64_t turnaround_ns = 125'000;
    uint64_t latency_ns = 16'000'000;
};

// What the chip holds, as its data sheet gives it, and how its packets
// cross the bus.
struct BridgeShape {
    std::size_t commands; // bytes from the host not yet executed
    std::size_t replies;  // bytes for the host not yet sent
    std::size_t packet;   // a bulk packet, the two status bytes in front included
    uint64_t frame_ns;    // the bus's (micro)frame...
    uint64_t frame_bytes; // ...and the most bulk carries in one
};

class UsbLink {
  public:
    // The modem and line status the chip puts in front of every packet.
    static constexpr std::size_t kStatusBytes = 2;

    UsbLink(UsbTiming timing, const BridgeShape& shape);

    // The data bytes of a full packet.
    std::size_t payload() const { return shape_.packet - kStatusBytes; }

    // The latency timer starts when the bridge is opened.
    void open(uint64_t now_ns);
    void set_latency_ms(uint32_t ms);
    uint64_t turnaround_ns() const { return timing_.turnaround_ns; }
    // Drops every byte the host has not taken.
    void purge();

    // Whether the reply buffer has room for `bytes` more.
    bool room(std::size_t bytes = 1) const { return chip_.size() + bytes <= shape_.replies; }
    // One reply byte the engine produced at `now_ns` (room() said yes).
    void queue(uint8_t byte, uint64_t now_ns);
    // SEND_IMMEDIATE: what waits goes into a packet now.
    void send_immediate(uint64_t now_ns);

    struct Sent {
        uint64_t left_ns;    // the packet left the chip: its room is free
        uint64_t arrived_ns; // the host has it
        std::size_t payload; // data bytes, the status bytes not counted
    };
    // The next packet while the host asks from `from_ns` on: one made
    // already, else what waits at the timer's next tick; with nothing in
    // the chip, a packet of the status bytes alone at that tick when
    // `status_only` allows it, otherwise none.
    std::optional<Sent> send(uint64_t from_ns, bool status_only);
    // Bytes that crossed and the host has not taken.
    std::size_t arrived() const { return host_.size(); }
    // Takes up to `size` of them (nullptr drops them); `last_ns` becomes the
    // arrival of the last one taken (unchanged when none).
    std::size_t take(uint8_t* out, std::size_t size, uint64_t& last_ns);

  private:
    struct Packet {
        std::size_t size;
        uint64_t at_ns; // made, or (on the host's side) arrived
    };
    void make_packet(uint64_t at_ns);
    uint64_t bus_ns(uint64_t bytes) const;
    // The next tick of the latency timer at or after `from_ns`.
    uint64_t next_tick(uint64_t from_ns) const;
    // Makes a packet of what waits if a tick came by `now_ns`.
    void expire(uint64_t now_ns);

    UsbTiming timing_;
    const BridgeShape shape_;

    std::deque<uint8_t> chip_; // in the chip: packets made, then bytes waiting
    std::deque<Packet> made_;  // packets made, not sent
    std::size_t waiting_ = 0;  // bytes at the end of chip_ in no packet yet
    std::deque<uint8_t> host_; // arrived, not taken
    std::deque<Packet> host_packets_;
    uint64_t first_waiting_ns_ = 0;
    uint64_t timer_start_ns_ = 0; // the last packet made, or the open
    uint64_t bus_free_ns_ = 0;
};

} // namespace vboard
