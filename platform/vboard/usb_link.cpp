#include "usb_link.h"

#include <algorithm>

namespace vboard {
UsbLink::UsbLink(UsbTiming timing, const BridgeShape& shape) : timing_(timing), shape_(shape) {}

uint64_t UsbLink::bus_ns(uint64_t bytes) const {
    return bytes * shape_.frame_ns / shape_.frame_bytes;
}

void UsbLink::open(uint64_t now_ns) {
    purge();
    timer_start_ns_ = bus_free_ns_ = now_ns;
}

void UsbLink::set_latency_ms(uint32_t ms) {
    timing_.latency_ns = uint64_t{std::max<uint32_t>(ms, 1)} * 1'000'000;
}

void UsbLink::purge() {
    chip_.clear();
    made_.clear();
    waiting_ = 0;
    host_.clear();
    host_packets_.clear();
}

uint64_t UsbLink::next_tick(uint64_t from_ns) const {
    const uint64_t latency = timing_.latency_ns;
    const uint64_t periods =
        from_ns <= timer_start_ns_ ? 1 : (from_ns - timer_start_ns_ + latency - 1) / latency;
    return timer_start_ns_ + std::max<uint64_t>(periods, 1) * latency;
}

// Every packet the chip makes restarts its latency timer.
void UsbLink::make_packet(uint64_t at_ns) {
    timer_start_ns_ = at_ns;
    if (waiting_ == 0) return;
    made_.push_back({waiting_, at_ns});
    waiting_ = 0;
}

void UsbLink::expire(uint64_t now_ns) {
    if (waiting_ == 0) return;
    const uint64_t tick = next_tick(first_waiting_ns_);
    if (tick <= now_ns) make_packet(tick);
}

void UsbLink::queue(uint8_t byte, uint64_t now_ns) {
    expire(now_ns);
    if (waiting_ == 0) first_waiting_ns_ = now_ns;
    chip_.push_back(byte);
    if (++waiting_ == payload()) make_packet(now_ns);
}

void UsbLink::send_immediate(uint64_t now_ns) {
    expire(now_ns);
    if (waiting_) make_packet(now_ns);
}

std::optional<UsbLink::Sent> UsbLink::send(uint64_t from_ns, bool status_only) {
    expire(from_ns);
    if (made_.empty()) {
        if (waiting_) {
            make_packet(next_tick(std::max(first_waiting_ns_, from_ns)));
        } else if (status_only) {
            const uint64_t tick = next_tick(from_ns);
            timer_start_ns_ = tick;
            const uint64_t left = std::max(tick, bus_free_ns_);
            bus_free_ns_ = left + bus_ns(kStatusBytes);
            return Sent{left, bus_free_ns_, 0};
        } else {
            return std::nullopt;
        }
    }
    const Packet packet = made_.front();
    made_.pop_front();
    const uint64_t left = std::max({packet.at_ns, from_ns, bus_free_ns_});
    bus_free_ns_ = left + bus_ns(packet.size + kStatusBytes);
    const auto end = chip_.begin() + static_cast<std::ptrdiff_t>(packet.size);
    host_.insert(host_.end(), chip_.begin(), end);
    chip_.erase(chip_.begin(), end);
    host_packets_.push_back({packet.size, bus_free_ns_});
    return Sent{left, bus_free_ns_, packet.size};
}

std::size_t UsbLink::take(uint8_t* out, std::size_t size, uint64_t& last_ns) {
    const std::size_t n = std::min(size, host_.size());
    const auto end = host_.begin() + static_cast<std::ptrdiff_t>(n);
    if (out) std::copy(host_.begin(), end, out);
    host_.erase(host_.begin(), end);
    for (std::size_t left = n; left > 0;) {
        Packet& packet = host_packets_.front();
        last_ns = packet.at_ns;
        const std::size_t used = std::min(left, packet.size);
        left -= used;
        packet.size -= used;
        if (packet.size == 0) host_packets_.pop_front();
    }
    return n;
}

} // namespace vboard
