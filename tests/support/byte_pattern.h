// Repeatable, non-trivial bytes for test and benchmark data: a xorshift
// stream, so no two neighbouring pages look alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testing_support {

inline std::vector<uint8_t> byte_pattern(std::size_t n, uint32_t seed = 1) {
    std::vector<uint8_t> out(n);
    uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return out;
}

} // namespace testing_support
