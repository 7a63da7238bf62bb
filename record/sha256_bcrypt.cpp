// Through the system's CNG provider: every Windows since Vista has it, so
// Plexmoor.exe and plexmoor-cli.exe carry no digest code of their own.
#include "record.h"
#include "sha256.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace plexmoor::record {
namespace {

void Check(NTSTATUS status, const char* call) {
    if (BCRYPT_SUCCESS(status)) return;
    char why[96];
    std::snprintf(why, sizeof why, "SHA-256: %s failed (0x%08lx)", call,
                  static_cast<unsigned long>(status));
    throw Error(why);
}

} // namespace

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~State() {
        if (hash) BCryptDestroyHash(hash);
        if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    Check(BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0),
          "BCryptOpenAlgorithmProvider");
    // The hash object's memory is the provider's own (null, 0).
    Check(BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0),
          "BCryptCreateHash");
}

Sha256::~Sha256() = default;

void Sha256::update(const void* bytes, std::size_t size) {
    auto* at = static_cast<PUCHAR>(const_cast<void*>(bytes));
    while (size > 0) {
        const ULONG piece =
            static_cast<ULONG>(std::min<std::size_t>(size, std::numeric_limits<ULONG>::max()));
        Check(BCryptHashData(state_->hash, at, piece, 0), "BCryptHashData");
        at += piece;
        size -= piece;
    }
}

std::array<std::uint8_t, 32> Sha256::finish() {
    std::array<std::uint8_t, 32> digest{};
    Check(BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0),
          "BCryptFinishHash");
    return digest;
}

} // namespace plexmoor::record
