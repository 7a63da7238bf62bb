// What the operations tell the person, whichever front end shows it: the
// window's boxes, plexmoor-cli's lines, the station's panel.
#pragma once

#include <string_view>

namespace plexmoor::text {

inline constexpr std::string_view kPressInitFirst = "Please press Init button first";
// The whole chip: read, compared with an image, erased.
inline constexpr std::string_view kChipSizeUnknown =
    "The chip's size is not known (ID %s); nothing was done";
inline constexpr std::string_view kFlashDiffers =
    "The flash differs from %s at %08X: the board holds %02X where the image has %02X";
inline constexpr std::string_view kFileDoesntExist = " file doesn't exist";
inline constexpr std::string_view kNoChip =
    "No flash chip answered: check the cable, the board's power and the chip select";
// Restore backup: what will be written where, asked before it is.
inline constexpr std::string_view kRestoreAsk = "Write the backup ";
inline constexpr std::string_view kRestoreToChip = " to the chip ";
inline constexpr std::string_view kRestoreAt = " at ";
inline constexpr std::string_view kRestoreEnd = "? What the chip holds there is replaced.";
inline constexpr std::string_view kUnknownChip = "(unknown)";
inline constexpr std::string_view kNotABackup =
    "Not a backup this program wrote (the name must end in -FIRST-LAST.bin, the size fit that "
    "range): ";
// Init with a recovery copy waiting: the block an interrupted Flash Setting
// erased, kept on disk, offered back before anything else is written.
inline constexpr std::string_view kRecoveryAsk =
    "A Flash Setting was interrupted after it erased the flash block at %08X. The block as it "
    "was is kept in %s.\nWrite it back into the board now? (No keeps the copy and asks again at "
    "the next Init.)";
inline constexpr std::string_view kRecoveryWritten =
    "The flash block at %08X was written back and verified; the copy %s was removed.";
inline constexpr std::string_view kRecoveryNotWritten =
    "The flash block at %08X could not be written back; the copy stays for the next Init: %s";
inline constexpr std::string_view kRecoveryNotRemoved =
    "The flash block at %08X was written back, but the copy could not be removed: %s";
// Which board a recovery copy belongs to, and what is found on the bridge.
inline constexpr std::string_view kBoardUnknown = "(board unknown)";
inline constexpr std::string_view kNoSerialHeld = "no serial";
inline constexpr std::string_view kBlockErased = "an erased block";
inline constexpr std::string_view kSerialUnread = "a block that could not be read";
inline constexpr std::string_view kCopyOfAnotherBoard =
    "This copy belongs to the board with serial %s; the board on the bridge holds %s; nothing was "
    "written (%s)";
inline constexpr std::string_view kCopyBoardUnread =
    "This copy belongs to the board with serial %s; the board on the bridge holds %s, so it "
    "cannot be told whose it is; nothing was written (%s)";
inline constexpr std::string_view kCopyNameUnknown =
    ": the copy's name gives no block address; nothing was written";
inline constexpr std::string_view kCopyWaitsForThisBoard =
    "The board on the bridge is the one an interrupted configuration write left (serial %s): "
    "write its copy back first; nothing was written: %s";
inline constexpr std::string_view kCopyWaitsForAnother =
    "A recovery copy waits for the board with serial %s (since %s): %s";
inline constexpr std::string_view kCopyDiscarded =
    "The copy of the flash block at %08X was removed on purpose: %s";
inline constexpr std::string_view kCopyNotDiscarded =
    "The copy of the flash block at %08X could not be removed: %s";

// Serial numbers.
inline constexpr std::string_view kSerialFormat = "Serial number format is not correct!";
inline constexpr std::string_view kOverKnownSerial =
    "The board on the bridge holds the serial %s, which the production record knows as written "
    "to it. Write %s over it?";
inline constexpr std::string_view kUnknownSerialReplaced =
    "The board held the serial %s, which the production record does not know; it is given %s";
inline constexpr std::string_view kSerialUnsaved =
    "the serial %s could not be kept for this board; nothing was written";

// What the status register says when a write did not take.
inline constexpr std::string_view kWriteProtected =
    " (the chip is write-protected, status %02X: its block protection or status-write-disable "
    "bit is set)";

// The station.
inline constexpr std::string_view kSerialNotOnBoard =
    "the configuration block was written, but the board does not read back its serial ";
inline constexpr std::string_view kStationPassed =
    "image and configuration block verified, serial ";
inline constexpr std::string_view kBridgeLost =
    "the bridge does not open: check its USB cable and the board's power; the other bridges go "
    "on, and this one again once it opens";

// How the operations ended, for the result line and the record's row.
inline constexpr std::string_view kBlockWritten = "configuration block written, serial %s";
inline constexpr std::string_view kBlockNotWritten = "the configuration block was not written";
inline constexpr std::string_view kBlockRead = "configuration block read, serial %s";
inline constexpr std::string_view kParsed = "configuration read from %s";
inline constexpr std::string_view kPacked = "packed into %s";
inline constexpr std::string_view kBridgeWithoutSerial =
    "a bridge without a serial number is attached: --all cannot tell its worker which bridge is "
    "its own; program it alone with --device, or give it a serial number";
inline constexpr std::string_view kBridgeSerialTwice =
    "two attached bridges have the same serial number, so --all cannot tell them apart: ";
inline constexpr std::string_view kNoBridgesAttached = "no bridge is attached";

} // namespace plexmoor::text
