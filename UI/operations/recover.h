// The recovery copies an interrupted configuration write left: which board
// each belongs to, the write-back onto that board only, the copies told
// before another board is written, and a copy removed on purpose.
#pragma once

#include "outcome.h"
#include "recovery_copy.h"
#include "run_view.h"
#include "session.h"

#include <string>
#include <vector>

namespace plexmoor::ops {

// What the board on the bridge is to a copy.
enum class CopyFit {
    Own,   // its block is what the interrupted write leaves, or the copy itself
    Other, // another board: a copy written there would give it another's block
    Unread // the block could not be read
};
struct BoardFit {
    CopyFit fit = CopyFit::Unread;
    bool erased = false; // the block reads all 0xFF
    std::string serial;  // the serial the board holds, empty for none
    bool serial_read = false;
};
BoardFit FitOf(Session& session, const RecoveryCopy& copy);

// The serial a copy's board held, as the texts name it.
std::string CopyOwner(const RecoveryCopy& copy);

// Writes the copy back at its block in the exact mode (every page read
// back) when the board is its own, or anyway where forced; removes the
// copy once it is on the board. The outcome's summary is the text to show,
// a refusal's included (not told before).
Outcome Recover(Session& session, const RecoveryCopy& copy, bool force, RunView& view);

// Removes a copy on purpose, with a row of its own.
Outcome Discard(Session& session, const RecoveryCopy& copy);

// Before a board is written: false, told, when a copy waits for this very
// board (its block is partly the interrupted write's); the copies of other
// boards are noted in notes.
bool NoCopyWaitsFor(Session& session, std::vector<std::string>& notes);

} // namespace plexmoor::ops
