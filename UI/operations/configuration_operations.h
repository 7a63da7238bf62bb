// The operations on the configuration block: Flash Setting writes it with
// its serial, Load from Flash reads it back from the board, Parse from a
// packed file, Pack writes a packed file.
#pragma once

#include "configuration.h"
#include "outcome.h"
#include "run_view.h"
#include "session.h"

#include <functional>
#include <string>

namespace plexmoor::ops {

// Where the serial written comes from.
enum class SerialSource {
    Typed, // the configuration's serial as it stands (the window's box)
    Next,  // the record's next, or without a record the one after the configuration's
    Kept   // the board's own where the record knows it as written to it; else Next
};

struct SettingRequest {
    SerialSource source = SerialSource::Typed;
    // With a record: ask before writing over a serial the record knows as
    // another board's (the window).
    bool ask_over_known = false;
    // Called with the serial chosen, before the board is written: false
    // stops the run (the caller told why). plexmoor-cli saves it here.
    std::function<bool(const std::string& serial)> chosen;
    record::Operation what = record::Operation::FlashSetting;
    // A row of its own in the record; false where the caller has begun the
    // row of a larger operation (the station's board), which takes the
    // serial and which the caller closes.
    bool own_row = true;
    // The serial the board held before the caller touched it (the station
    // reads it before the image overwrites the block); read here otherwise.
    std::optional<std::string> board_serial;
};

Outcome FlashSetting(Session& session, Configuration& config, const SettingRequest& request,
                     RunView& view);

// Reads the block from the board into the configuration. The record's row
// is written where the record can take it; a read never waits for it.
Outcome LoadFromFlash(Session& session, Configuration& config);

// Reads the configuration of a packed file.
Outcome Parse(Session& session, Configuration& config, const std::string& path);

// Packs a file from the configuration.
Outcome Pack(Session& session, Configuration& config, const std::string& out,
             const std::string& released, bool offer_flash_path);

} // namespace plexmoor::ops
