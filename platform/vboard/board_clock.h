// The boards' sense of time, in nanoseconds so that the wire time of a few
// SPI bytes does not round away. The boards of one process share it, as
// they share the host's time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

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

    // In real time the world advances the clock; modelled delays are not added.
    void advance_ns(uint64_t ns) {
        if (virtual_) virtual_ns_ += ns;
    }

  private:
    bool virtual_;
    std::chrono::steady_clock::time_point start_;
    std::atomic<uint64_t> virtual_ns_ = 0;
};

} // namespace vboard
