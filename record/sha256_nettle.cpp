#include "sha256.h"

#include <nettle/sha2.h>

namespace plexmoor::record {

struct Sha256::State {
    sha256_ctx ctx;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    sha256_init(&state_->ctx);
}

Sha256::~Sha256() = default;

void Sha256::update(const void* bytes, std::size_t size) {
    sha256_update(&state_->ctx, size, static_cast<const uint8_t*>(bytes));
}

std::array<std::uint8_t, 32> Sha256::finish() {
    static_assert(SHA256_DIGEST_SIZE == 32);
    std::array<std::uint8_t, 32> digest{};
    sha256_digest(&state_->ctx, digest.size(), digest.data());
    return digest;
}

} // namespace plexmoor::record
