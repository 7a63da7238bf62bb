// Programming an image into the board: the window's Flash, plexmoor-cli's
// program, Restore of a backup and the write-back of a recovery copy are
// the same run with their own record row.
#pragma once

#include "backups.h"
#include "outcome.h"
#include "run_view.h"
#include "session.h"

#include <cstdint>
#include <string>

namespace plexmoor::ops {

struct FlashRequest {
    record::Operation what = record::Operation::Flash; // Flash, Restore or Recover
    std::string image;
    int32_t address = 0;
    bool fast = false;
    int32_t clock_mhz = 0; // the fast mode's SPI clock; 0 for the library's choice
    // Back up every block the run erases into backup_folder first.
    bool back_up = false;
    std::string backup_folder;
    // The backups of this bridge and chip kept in that folder; 0 keeps all.
    int keep_backups = kKeptBackups;
    // Written although the checks said no (a recovery copy onto a board
    // not its own): the row says so.
    bool forced = false;
    // A row of its own in the record; false where the caller keeps the row
    // of a larger operation (the station's board).
    bool own_row = true;
    // The image as the caller read it already (the bytes its row's digest
    // was taken of); read here when null.
    const class ImageCopy* copy = nullptr;
};

// What the status register says when a write did not take: " (the chip is
// write-protected, status 9C)", or empty.
std::string ProtectionNote(Session& session);

// Whether an operation may touch the board now: no run holds it, Init has
// opened it (else told) and a chip answered (else told).
bool BoardReady(Session& session);

// A row for a board the operation never got to (it did not open, no chip
// answered), closed at once as failed with why; for a front end that
// records every board it is given, not every click.
void RecordRefused(Session& session, record::Operation what, const std::string& image,
                   const std::string& why);

// The image read once and programmed from request.address, after a backup
// of what it erases where asked; its record row begun before the board is
// touched.
Outcome Flash(Session& session, const FlashRequest& request, RunView& view);

// A backup this program wrote, programmed back at the address its name
// records, once the person said Yes (the chip named as the flash panel
// names it).
Outcome Restore(Session& session, const std::string& backup, bool fast, int32_t clock_mhz,
                RunView& view);

} // namespace plexmoor::ops
