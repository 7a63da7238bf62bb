// What a recovery copy says of the board it came from, kept beside the copy
// (NAME.board for the copy NAME): the serial and header the old block held,
// the bridge and the chip, and the block the interrupted write was putting
// there, so that the copy is written back onto its own board only. The
// library writes it; the front ends read it. Header-only, for both sides.
// A copy without one is of a board unknown (an earlier build's).
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zintra::recovery {

inline constexpr const char* kIdentitySuffix = ".board";

struct Identity {
    std::string serial;          // the old block's serial, empty when it held none
    std::string header;          // the old block's first 32 bytes, hexadecimal
    std::string bridge;          // the bridge's serial number, empty for the first listed
    std::string chip;            // the JEDEC ID, "C2 20 15"
    std::string target_serial;   // the serial the interrupted write was putting there
    std::string target_digest;   // FNV-1a 64 of the block it was writing
    std::string written;         // YYYYMMDD-HHMMSS
    std::vector<uint8_t> target; // that block itself
};

inline std::string Digest(std::span<const uint8_t> bytes) {
    uint64_t h = 14695981039346656037ull;
    for (uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    char out[32];
    std::snprintf(out, sizeof out, "fnv1a64:%016llx", static_cast<unsigned long long>(h));
    return out;
}

inline std::string Hex(std::span<const uint8_t> bytes) {
    std::string out;
    for (uint8_t b : bytes) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", b);
        out += two;
    }
    return out;
}

// key=value lines, then "target" on a line of its own and the block's bytes.
struct IdentityKey {
    const char* key;
    std::string Identity::*field;
};
inline constexpr IdentityKey kIdentityKeys[] = {
    {"serial", &Identity::serial},
    {"header", &Identity::header},
    {"bridge", &Identity::bridge},
    {"chip", &Identity::chip},
    {"target-serial", &Identity::target_serial},
    {"target-digest", &Identity::target_digest},
    {"written", &Identity::written},
};
inline constexpr const char* kTargetLine = "target";

inline std::string IdentityText(const Identity& id) {
    std::string out;
    for (const IdentityKey& k : kIdentityKeys)
        out += std::string(k.key) + "=" + id.*k.field + "\n";
    out += std::string(kTargetLine) + "\n";
    out.append(id.target.begin(), id.target.end());
    return out;
}

// Nothing for a copy without one, or one that cannot be read whole.
inline std::optional<Identity> ReadIdentity(const std::string& copy_path, std::size_t block_size) {
    std::ifstream in(copy_path + kIdentitySuffix, std::ios::binary);
    if (!in) return std::nullopt;
    Identity id;
    std::string line;
    while (std::getline(in, line) && line != kTargetLine) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) return std::nullopt;
        for (const IdentityKey& k : kIdentityKeys)
            if (line.compare(0, eq, k.key) == 0 && std::string(k.key).size() == eq)
                id.*k.field = line.substr(eq + 1);
    }
    if (line != kTargetLine) return std::nullopt;
    id.target.resize(block_size);
    in.read(reinterpret_cast<char*>(id.target.data()), static_cast<std::streamsize>(block_size));
    if (static_cast<std::size_t>(in.gcount()) != block_size) return std::nullopt;
    return id;
}

} // namespace zintra::recovery
