// Backups of what a run will erase: which blocks, where they go and under
// which name (the bridge, the chip, when, the range), the read itself, and
// the names Restore takes back.
#pragma once

#include "board.h"
#include "run_view.h"
#include "session.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plexmoor::ops {

// The 64 KiB blocks a run of length bytes from address erases, kept to the
// chip where its size is known: [first, end).
struct BlockRange {
    uint32_t first = 0;
    uint64_t end = 0;
};
std::optional<BlockRange> ErasedBlocks(int32_t address, int64_t length, uint64_t chip_size);

// backup-<bridge>-<ID>-<YYYYMMDD>-<HHMMSS>-<FIRST>-<LAST>.bin in folder;
// the bridge is left out where none was listed.
std::string BackupPath(const std::string& folder, const std::string& bridge, const Chip& chip,
                       BlockRange range);

// How many backups of one bridge and chip a folder keeps by default: the
// boards of a shift, not a gigabyte per thousand boards.
inline constexpr int kKeptBackups = 20;

// Removes the oldest backups in folder of the bridge and chip that backup
// (a path BackupPath gave) names, until keep are left; keep 0 keeps all.
// The names removed.
std::vector<std::string> PruneBackups(const std::string& backup, int keep);

// The range a backup's name records, checked against its size; nothing for
// a file of another name or size.
std::optional<BlockRange> BackupRange(const std::string& path);

// Reads [first, first + length) of the flash into path, twice, and reads
// the file back; false when the library said why not.
bool BackUp(Session& session, const std::string& path, int32_t first, int64_t length,
            RunView& view);

} // namespace plexmoor::ops
