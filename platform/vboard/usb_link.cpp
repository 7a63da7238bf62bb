#include "usb_link.h"

#include <algorithm>

namespace vboard {
namespace {

// A high-speed bulk packet: 512 bytes, the first two the modem and line
// status the chip puts in front of every packet it sends.
constexpr uint64_t kPacketBytes = 512;
constexpr uint64_t kStatusBytes = 2;
constexpr uint64_t kPacketPayload = kPacketBytes - kStatusBytes;
// The most high-speed bulk carries: 13 packets in a 125 us microframe.
constexpr uint64_t kMicroframeNs = 125'000;
constexpr uint64_t kBytesPerMicroframe = 13 * kPacketBytes;
// Unread replies beyond this are dropped: a host that never reads must not
// make the board grow without end (the real driver's buffer is finite too).
constexpr std::size_t kReplyLimit = 4u << 20;

uint64_t bus_ns(uint64_t bytes) {
    return bytes * kMicroframeNs / kBytesPerMicroframe;
}

} // namespace

UsbLink::UsbLink(BoardClock& clock, Counters& counters, UsbTiming timing)
    : clock_(clock), counters_(counters), timing_(timing) {}

void UsbLink::open() {
    purge();
    timer_start_ns_ = bus_free_ns_ = clock_.now_ns();
}

void UsbLink::set_latency_ms(uint32_t ms) {
    timing_.latency_ns = uint64_t{std::max<uint32_t>(ms, 1)} * 1'000'000;
}

void UsbLink::purge() {
    bytes_.clear();
    packets_.clear();
    taken_ = released_ = produced_;
}

void UsbLink::turnaround() {
    clock_.advance_ns(timing_.turnaround_ns);
}

void UsbLink::wait_until(uint64_t ns) {
    const uint64_t now = clock_.now_ns();
    if (ns > now) clock_.advance_ns(ns - now);
}

uint64_t UsbLink::next_tick(uint64_t from_ns) const {
    const uint64_t latency = timing_.latency_ns;
    const uint64_t periods =
        from_ns <= timer_start_ns_ ? 1 : (from_ns - timer_start_ns_ + latency - 1) / latency;
    return timer_start_ns_ + std::max<uint64_t>(periods, 1) * latency;
}

void UsbLink::release(uint64_t at_ns) {
    const uint64_t waiting = produced_ - released_;
    timer_start_ns_ = at_ns;
    if (waiting == 0) return;
    bus_free_ns_ = std::max(at_ns, bus_free_ns_) + bus_ns(waiting + kStatusBytes);
    released_ = produced_;
    packets_.push_back({released_, bus_free_ns_});
}

void UsbLink::expire(uint64_t now_ns) {
    if (produced_ == released_) return;
    const uint64_t tick = next_tick(first_waiting_ns_);
    if (tick <= now_ns) release(tick);
}

void UsbLink::queue(uint8_t byte) {
    const uint64_t now = clock_.now_ns();
    expire(now);
    if (bytes_.size() >= kReplyLimit) {
        ++counters_.dropped_bytes;
        return;
    }
    if (produced_ == released_) first_waiting_ns_ = now;
    bytes_.push_back(byte);
    ++produced_;
    if (produced_ - released_ == kPacketPayload) release(now);
}

void UsbLink::send_immediate() {
    const uint64_t now = clock_.now_ns();
    expire(now);
    if (produced_ != released_) release(now);
}

std::size_t UsbLink::take(uint8_t* out, std::size_t size) {
    expire(clock_.now_ns());
    // Bytes still in the bridge reach the host when the timer next runs
    // out: a host that asks for more than has arrived waits for them.
    if (released_ - taken_ < size && produced_ != released_) {
        const uint64_t tick = next_tick(std::max(first_waiting_ns_, clock_.now_ns()));
        wait_until(tick);
        release(tick);
    }
    const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(size, released_ - taken_));
    if (out) std::copy_n(bytes_.begin(), n, out);
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(n));
    taken_ += n;
    // The packet that carries the last byte taken has to have arrived.
    while (!packets_.empty() && packets_.front().end < taken_)
        packets_.pop_front();
    uint64_t arrival = 0;
    if (n > 0 && !packets_.empty()) arrival = packets_.front().arrival_ns;
    if (!packets_.empty() && packets_.front().end == taken_) packets_.pop_front();
    wait_until(arrival);
    return n;
}

} // namespace vboard
