// The command line of plexmoor-cli: commands, options and the checks of
// every file named on it, before anything opens the programmer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace plexmoor::cli {

inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;
inline constexpr int kUsage = 2;
// The board's run ended as it did, but the record did not take its row's
// close: it waits in the journal for the next start.
inline constexpr int kRecordUnwritten = 3;
// Ended by Ctrl+C or a polite kill, as a shell reports SIGINT.
inline constexpr int kInterrupted = 130;

enum class Command {
    Pack,
    Program,
    Serial,
    Read,
    Parse,
    History,
    Recover,
    List,
    Station,
    Verify,
    Erase
};

// What the command line asked for; paths are absolute, files that are read
// are plain files that exist, folders that are written exist.
struct Options {
    Command command = Command::Program;
    std::string image;      // program, parse
    std::string config;     // empty: the settings file beside the program
    std::string out;        // pack, read, parse
    std::string chip_image; // read --image: the whole chip into this file
    std::string released;   // pack: from a released image
    std::string backup;     // program: the backup folder, empty for none
    // program: backups of one bridge and chip kept there (0: all); unset: the
    // operations' default.
    std::optional<int> keep_backups;
    int32_t address = 0;
    bool fast = false;
    bool raw = false;       // program: a file that is no packed image written anyway
    int32_t clock_mhz = 15; // program --fast: the SPI clock
    bool keep_recovery = false;
    bool new_serial = false; // serial: the next serial even for a board that has its own
    // recover: the copy to write back (empty: the one of the board on the
    // bridge), the copies listed, a copy removed, a copy written anyway.
    std::string copy, discard;
    bool list_copies = false, force = false;
    // The bridge by its serial number (board commands); empty for the first.
    std::string device;
    // program, serial: every attached bridge at once, a worker each.
    bool all = false;
    // A worker of --all: its progress as lines its parent reads.
    bool report = false;
    bool probe = false;                  // list: open each bridge and name its chip
    int count = 0;                       // station: end after this many boards; 0 for none
    bool quiet = false, verbose = false; // -q: errors only; -v: the library's debug lines too
    // Where the production record is (every command).
    std::optional<std::string> record_url;
    std::string station;
    bool no_record = false;
    bool record_create = false;
    // history's filters and format.
    std::string serial, board, since;
    bool failed = false, csv = false, json = false;
};

// The options, or the exit status when the command line has been answered
// (help, version) or refused (its message printed, status 2).
std::variant<Options, int> ParseCommandLine(int argc, const char* const* argv);

// A start address: decimal, or hexadecimal after 0x; a leading 0 is no
// octal prefix.
bool ParseAddress(const std::string& text, int32_t& address);

// Whether a --since date is YYYY-MM-DD, a day of the calendar.
bool IsDate(const std::string& text);
// The start of that day here, as the record's UTC times are written.
std::string DayStartUtc(const std::string& date);

// The text wrapped at width columns, the lines after the first joined by
// "\n" (the help's layout indents them under the first).
std::string Wrap(const std::string& text, std::size_t width);

} // namespace plexmoor::cli
