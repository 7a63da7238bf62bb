// What a front end shows while an operation holds the board: the window
// its caption, locked buttons, timer and bar; plexmoor-cli its progress on
// standard error; the station its panel. The progress itself is read by
// the front end (GetFlashProgress) while the library pumps its events.
#pragma once

#include <cstdint>

namespace plexmoor::ops {

enum class Phase {
    Programming, // an image is about to be programmed (the window: "Running, ...")
    Setting      // the configuration block is about to be written ("Flash Start")
};

class RunView {
  public:
    virtual ~RunView() = default;
    // Before the first library call of the phase.
    virtual void starting(Phase) {}
    // The run holds the board from here (locked) until it ends (unlocked);
    // start and length are the bytes it programs.
    virtual void locked(int32_t start, int64_t length) {
        static_cast<void>(start);
        static_cast<void>(length);
    }
    virtual void unlocked() {}
    // The backup of the blocks the run will erase begins: its range, read twice.
    virtual void backingUp(int32_t first, int64_t length) {
        static_cast<void>(first);
        static_cast<void>(length);
    }
    // The programming itself begins (after the backup, where there is one).
    virtual void programming() {}
};

} // namespace plexmoor::ops
