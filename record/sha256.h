// The SHA-256 of bytes given in pieces, for the image digest of a row:
// nettle's on Linux (sha256_nettle.cpp), the system's BCrypt on Windows
// (sha256_bcrypt.cpp), which has no nettle.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace plexmoor::record {

class Sha256 {
  public:
    // Throws Error where the system cannot digest.
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(const void* bytes, std::size_t size);
    // The digest of every byte given; nothing may be given after it.
    std::array<std::uint8_t, 32> finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace plexmoor::record
