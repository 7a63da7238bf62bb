// What plexmoor-cli itself says; the window's and the library's texts stay
// in their own tables.
#pragma once

#include <string_view>

namespace plexmoor::cli::text {

inline constexpr std::string_view kProgram = "plexmoor-cli";
inline constexpr std::string_view kDescription =
    "The window's operations without a window, for production lines. Exit status: 0 done, 1 a "
    "failure the program reported, 2 bad usage, 3 done but the production record did not take "
    "the row's end (kept for the next start), 130 ended by Ctrl+C. The virtual board is chosen "
    "with the same environment variables as Plexmoor.";

// Commands.
inline constexpr std::string_view kPackSummary =
    "packs an image from the configuration file, from its source images or from a released "
    "image whose configuration block is replaced";
inline constexpr std::string_view kProgramSummary =
    "opens the programmer and programs IMAGE into the board's flash from the start address";
inline constexpr std::string_view kSerialSummary =
    "writes the configuration block with the board's serial: a board the production record knows "
    "keeps its own, any other gets the next (the record's next, or without a record the one "
    "after the file's), saved into the file before the board is written";
inline constexpr std::string_view kReadSummary =
    "reads the configuration block from the board's flash into a configuration file";
inline constexpr std::string_view kVerifySummary =
    "compares the board's flash from the start address with IMAGE, byte for byte";
inline constexpr std::string_view kEraseSummary =
    "erases the whole chip (blocks that read erased already are left alone)";
inline constexpr std::string_view kChipImageHelp =
    "instead of the configuration: every byte of the chip into this new file, read twice alike";
inline constexpr std::string_view kParseSummary =
    "reads the configuration of a packed image into a configuration file";
inline constexpr std::string_view kRecoverSummary =
    "writes the recovery copy an interrupted configuration write left back into its own board "
    "(never onto another), verifies it and removes the copy";

inline constexpr std::string_view kListSummary =
    "prints the attached bridges: serial number and description (with --probe also the chip "
    "that answers)";

inline constexpr std::string_view kStationSummary =
    "the station of a production line: for every bridge, waits for a board, programs IMAGE, "
    "writes the configuration block with the record's next serial (a board the record knows "
    "keeps its own), verifies both, records the board, shows PASS or FAIL and waits for the "
    "board to be taken off; again, until Ctrl+C (after the boards under way) or --count";
inline constexpr std::string_view kHistorySummary =
    "prints the production record: every board operation with its image hash, chip, serial and "
    "result (a table; --csv or --json for other tools)";

// Options.
inline constexpr std::string_view kQuietHelp = "errors only: no progress, no notes";
inline constexpr std::string_view kVerboseHelp = "the library's debug lines on standard error too";
inline constexpr std::string_view kEventsJsonHelp =
    "with --all and for the station: a JSON object a line for each event, and a JSON summary";
inline constexpr std::string_view kStationConfigHelp =
    "the configuration file the boards get; without a record its serial is advanced and saved "
    "back for every board";
inline constexpr std::string_view kCountHelp = "end after N boards";
inline constexpr std::string_view kStationNewSerialHelp =
    "give every board the next serial, also a board put back on that holds its own";
inline constexpr std::string_view kRecordHelp =
    "the production record: a path, sqlite:PATH or postgresql://... (default: PLEXMOOR_RECORD, "
    "the settings, or plexmoor-record.db beside the settings file)";
inline constexpr std::string_view kStationHelp =
    "the station's name in the record (default: the host's name); for history, only its rows";
inline constexpr std::string_view kNoRecordHelp = "work without a production record";
inline constexpr std::string_view kRecordCreateHelp =
    "make the record named when it does not exist yet (the default one beside the settings is "
    "made at its first use)";
inline constexpr std::string_view kHistorySerialHelp = "only the rows of this board serial";
inline constexpr std::string_view kHistoryBoardHelp =
    "one board's whole life: the rows meant for this serial or that read it from the board";
inline constexpr std::string_view kNewSerialHelp =
    "give the board the next serial even where it holds one the record knows as its own";
inline constexpr std::string_view kCopyHelp =
    "the copy to write back (default: the copy of the board on the bridge)";
inline constexpr std::string_view kListCopiesHelp =
    "list every waiting copy: its board's serial, since when, where";
inline constexpr std::string_view kDiscardHelp = "remove this copy on purpose (recorded)";
inline constexpr std::string_view kForceHelp =
    "write the copy back although the board on the bridge is not its own (recorded as forced)";
inline constexpr std::string_view kSinceHelp = "only rows from this day on";
inline constexpr std::string_view kFailedHelp = "only operations that failed or were stopped";
inline constexpr std::string_view kCsvHelp = "comma-separated values";
inline constexpr std::string_view kJsonHelp = "JSON";
inline constexpr std::string_view kConfigHelp =
    "start from this configuration file (default: the window's defaults; plexmoor-cli never "
    "reads the window's own settings file)";
inline constexpr std::string_view kSerialConfigHelp =
    "the configuration file; its serial number is advanced and saved back";
inline constexpr std::string_view kOutHelp = "the file to write (replaced whole)";
inline constexpr std::string_view kReleasedHelp =
    "pack from this released image instead of the source images";
inline constexpr std::string_view kYesHelp = "taken and ignored: plexmoor-cli asks nothing";
inline constexpr std::string_view kNoHelp = "taken and ignored: plexmoor-cli asks nothing";
inline constexpr std::string_view kImageHelp = "the packed image";
inline constexpr std::string_view kAddressHelp =
    "the flash address to program from: decimal, or hexadecimal after 0x (default 0)";
inline constexpr std::string_view kFastHelp =
    "fast programming: poll the chip and skip what the board holds already";
inline constexpr std::string_view kClockHelp =
    "with --fast: the SPI clock, 30 (bridges with the 60 MHz clock), 15, 6 or 3 MHz";
inline constexpr std::string_view kBackupHelp =
    "first back up every block the run will erase into this folder (made when missing)";
inline constexpr std::string_view kKeepBackupsHelp =
    "with --backup: keep the last N backups of each bridge and chip there, 0 for all (default 20)";
inline constexpr std::string_view kRawHelp =
    "write the file as it is, although it is no packed image (a backup, a part's own image)";
inline constexpr std::string_view kKeepRecoveryHelp =
    "write the board although a recovery copy of an interrupted configuration write exists";

inline constexpr std::string_view kDeviceHelp =
    "the bridge to use, by its USB serial number (plexmoor-cli list; default: the first)";
inline constexpr std::string_view kAllHelp =
    "every attached bridge at once, one worker each: a line per bridge, a summary at the end";
inline constexpr std::string_view kProbeHelp = "open each bridge and name the chip that answers";

// Refusals of the command line (status 2).
inline constexpr std::string_view kEmptyPath = "an empty path names no file";
inline constexpr std::string_view kNoSuchFile = ": no such file";
inline constexpr std::string_view kNotPlainFile = ": not a plain file";
inline constexpr std::string_view kNoFolder = ": its folder does not exist";
inline constexpr std::string_view kNotFolder = ": not a folder";
inline constexpr std::string_view kNotAddress =
    "not an address (decimal, or hexadecimal after 0x, from 0 to 2147483647): ";
inline constexpr std::string_view kNotDate = "--since takes a date as YYYY-MM-DD: ";
inline constexpr std::string_view kUnknownCommand = "unknown command ";
inline constexpr std::string_view kMoreHelp = "Run with --help for more information.";

// What a run tells beside the window's and the library's messages.
inline constexpr std::string_view kEmptyImage = ": the image is empty; nothing was programmed";
inline constexpr std::string_view kNotPacked = ": not a packed image (it holds ";
inline constexpr std::string_view kNotPackedEnd =
    "); nothing was programmed. Give --raw to write it as it is";
inline constexpr std::string_view kRunGoesOn =
    "plexmoor-cli: interrupted; the run goes on to its end";
inline constexpr std::string_view kBackupKept = "backup of the erased blocks: ";
inline constexpr std::string_view kSerialNotReserved =
    "the new serial number could not be saved into the configuration file; nothing was written "
    "to the board";
inline constexpr std::string_view kInterruptedBeforeWrite =
    "interrupted; nothing was written to the board (the serial number saved stays used)";
inline constexpr std::string_view kBlockBeingWritten =
    "plexmoor-cli: interrupted; the configuration block is being written, the run ends after it";
inline constexpr std::string_view kNoRecovery =
    "this Zintra cannot tell recovery copies; nothing was written";
inline constexpr std::string_view kRecoveryWaiting =
    "a copy of the flash block at %08x that an interrupted configuration write left is waiting: "
    "%s\nWrite it back with \"plexmoor-cli recover\" first (or give --keep-recovery to write the "
    "board anyway); nothing was written";
inline constexpr std::string_view kRecoveryNote =
    "plexmoor-cli: a copy of the flash block at %08x that an interrupted configuration write left "
    "is waiting: %s\n(\"plexmoor-cli recover\" writes it back)";
inline constexpr std::string_view kNoRecoveryCopy = "no recovery copy is waiting; nothing to do";
inline constexpr std::string_view kRecoveryNameUnknown =
    ": the copy's name gives no block address; nothing was written";
inline constexpr std::string_view kRecovered = "written back and verified at %08x; removed %s";
inline constexpr std::string_view kRecoveryKept = "the copy stays for another try: ";
inline constexpr std::string_view kRecoveryNotRemoved =
    "written back and verified, but the copy could not be removed: ";

// Bridges.
inline constexpr std::string_view kNoBridgeChoice =
    "this Zintra cannot choose a bridge by its serial number; nothing was written: ";
inline constexpr std::string_view kBridgeNotChosen =
    "no attached bridge has this serial number (plexmoor-cli list); nothing was written: ";
inline constexpr std::string_view kNoBridges = "no bridge is attached";
inline constexpr std::string_view kWorkerKilled = "the worker was ended by signal ";
inline constexpr std::string_view kEmptyDevice =
    "--device names no bridge: give a serial number (plexmoor-cli list) or leave it out";
inline constexpr std::string_view kNoBridgeList = "this Zintra cannot list the bridges";
inline constexpr std::string_view kNotOpened = "(not opened)";
inline constexpr std::string_view kChipUnread = "(chip not read)";
inline constexpr std::string_view kNoChipShort = "none";
// The phases of a board in a run of every bridge, and its events.
inline constexpr std::string_view kPhaseWaiting = "waiting";
inline constexpr std::string_view kPhaseOpen = "open";
inline constexpr std::string_view kPhaseProgram = "program";
inline constexpr std::string_view kPhaseBackup = "backup";
inline constexpr std::string_view kProgrammed = "programmed";
inline constexpr std::string_view kBackedUp = "backed up";
inline constexpr std::string_view kPhaseSerial = "serial";
inline constexpr std::string_view kPhaseDone = "done";
inline constexpr std::string_view kPhaseFailed = "failed";
inline constexpr std::string_view kPhaseStopped = "stopped";
inline constexpr std::string_view kEventChip = "chip ";
inline constexpr std::string_view kEventSerial = "serial ";

} // namespace plexmoor::cli::text
