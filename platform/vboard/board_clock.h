// The boards' sense of time, in nanoseconds so that the wire time of a few
// SPI bytes does not round away. The boards of one process share it, as
// they share the host's time.
//
// Both kinds of time run on one model: a call into the board works out the
// moment its transfer ends on a real bridge and then reaches it. In virtual
// time the clock jumps there; in real time the caller is held until the
// wall clock gets there, so a real-time run takes what a real board takes.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace vboard {

class BoardClock {
  public:
    explicit BoardClock(bool virtual_time)
        : virtual_(virtual_time), start_(std::chrono::steady_clock::now()) {}

    bool is_virtual() const { return virtual_; }

    uint64_t now_ns() const {
        if (virtual_) return virtual_ns_.load();
        auto elapsed = std::chrono::steady_clock::now() - start_;
        return static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
    }

    // Time that passes outside the board: a Sleep, a test's wait. In real
    // time the world advances the clock.
    void advance_ns(uint64_t ns) {
        if (virtual_) virtual_ns_ += ns;
    }

    // The moment a modelled transfer ends: never earlier than now.
    void reach(uint64_t ns) {
        if (!virtual_) {
            std::this_thread::sleep_until(start_ + std::chrono::nanoseconds(ns));
            return;
        }
        uint64_t now = virtual_ns_.load();
        while (now < ns && !virtual_ns_.compare_exchange_weak(now, ns)) {
        }
    }

  private:
    bool virtual_;
    std::chrono::steady_clock::time_point start_;
    std::atomic<uint64_t> virtual_ns_ = 0;
};

} // namespace vboard
