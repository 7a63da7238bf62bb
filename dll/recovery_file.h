// A copy of flash contents kept on disk while the flash holding them is
// erased and rewritten, so that an interrupted rewrite never loses them.
#pragma once

#include "recovery_identity.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zintra::recovery {

// A copy on disk, held locked by this process until it is discarded or let
// go: another station on the machine that looks for copies meanwhile
// passes it by, since a copy still in use is no crash's leftover.
class Copy {
  public:
    Copy() = default;
    ~Copy();
    Copy(const Copy&) = delete;
    Copy& operator=(const Copy&) = delete;

    const std::string& path() const { return path_; }
    // Removes the copy, which is no longer needed.
    void discard();

  private:
    friend bool save(uint32_t, std::span<const uint8_t>, const Identity&, Copy&);
    void release();

    std::string path_;
    int held_ = -1;
};

// Writes `bytes`, read from flash at `address`, to a new file in the
// library's own folder (beside the program that loaded it), or in the
// user's state folder ($XDG_STATE_HOME or ~/.local/state, then plexmoor)
// when the library's folder cannot take it, and holds it in `copy`. The
// name carries the address and the time, and an existing file is never
// replaced, so a second board's copy does not take the place of the first
// one's. The board's identity goes beside it (NAME.board). False, with the
// copy's path naming the file tried, when it could not be written whole.
bool save(uint32_t address, std::span<const uint8_t> bytes, const Identity& identity, Copy& copy);

// Every copy an interrupted rewrite left in either folder, oldest first;
// copies a live process holds are not among them.
std::vector<std::string> waiting();

} // namespace zintra::recovery
