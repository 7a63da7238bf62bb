// The copies of a flash block that an interrupted configuration write left
// (zintra-flash-<block address>-<date>-<time>.bin, and beside each the
// board it came from): found through Zintra, with the texts about them.
#pragma once

#include "recovery_identity.h"
#include "zintra_link.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plexmoor {

struct RecoveryCopy {
    std::string path;
    int32_t address = -1; // the block it was read from, from its name; -1 unknown
    // The board it came from; nothing for a copy of an earlier build.
    std::optional<zintra::recovery::Identity> identity;
};

// A copy is of one erase block.
inline constexpr std::size_t kRecoveryBlockSize = 0x10000;

// The oldest copy Zintra knows of that no live run holds, and all of them
// (oldest first); none where there is none or where the library cannot tell.
std::optional<RecoveryCopy> FindRecoveryCopy(ZintraLink& zintra);
std::vector<RecoveryCopy> WaitingRecoveryCopies(ZintraLink& zintra);
// The copy of a file, as the finder reads it.
RecoveryCopy ReadRecoveryCopy(const std::string& path);

// A text about the copy: `format` holds the block address (%08x or %08X)
// and then the copy's path (%s).
std::string RecoveryText(std::string_view format, const RecoveryCopy& copy);

// The block address in a copy's file name, or none for a name of another form.
std::optional<int32_t> RecoveryAddress(const std::string& path);

} // namespace plexmoor
