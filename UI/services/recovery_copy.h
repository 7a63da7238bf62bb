// The copy of a flash block that an interrupted configuration write left
// (zintra-flash-<block address>-<date>-<time>.bin): found through Zintra,
// told before the board is written again, and written back on request, by
// the window and by plexmoor-cli alike.
#pragma once

#include "zintra_link.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plexmoor {

struct RecoveryCopy {
    std::string path;
    int32_t address = -1; // the block it was read from, from its name; -1 unknown
};

// The oldest copy Zintra knows of that no live run holds; none where there
// is none or where the library cannot tell.
std::optional<RecoveryCopy> FindRecoveryCopy(ZintraLink& zintra);

// A text about the copy: `format` holds the block address (%08x or %08X)
// and then the copy's path (%s).
std::string RecoveryText(std::string_view format, const RecoveryCopy& copy);

// The block address in a copy's file name, or none for a name of another form.
std::optional<int32_t> RecoveryAddress(const std::string& path);

} // namespace plexmoor
