// The production record: one row for every operation that writes or reads
// a board, committed before the board is touched and closed after, and the
// serial numbers of every board, reserved in the record so that no two
// boards get the same one, whichever station or process asks.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace plexmoor::record {

class Database;

// What the record could not do, in words for the user.
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What was done to a board, whichever front end did it; the front end is a
// column of its own. A name this build does not know (a newer build wrote
// it) reads back as Unknown, never as another operation.
enum class Operation {
    Flash,         // an image programmed
    FlashSetting,  // the configuration block written with its serial
    LoadFromFlash, // the configuration block read back
    Restore,       // a backup programmed back
    Recover,       // a recovery copy written back
    Backup,        // the flash read into a file
    Verify,        // the flash compared with an image
    Erase,         // the whole chip erased
    Discard,       // a recovery copy removed on purpose
    Station,       // one board through the station: image, block, serial
    Unknown
};
enum class Result { Started, Done, Failed, Stopped, Interrupted, Unknown };
enum class FrontEnd { Window, Cli, Station, Unknown };

const char* Name(Operation op);
const char* Name(Result result);
const char* Name(FrontEnd front_end);

// One row. Empty texts and unset numbers are stored as NULL.
struct Entry {
    int64_t id = 0;
    std::string started; // UTC, "YYYY-MM-DDTHH:MM:SS.mmmZ"
    std::string ended;
    std::string station;
    FrontEnd front_end = FrontEnd::Unknown;
    std::string bridge;  // the bridge's serial number
    std::string chip_id; // JEDEC ID, "C2 20 15"
    std::optional<int64_t> chip_size;
    Operation operation = Operation::Unknown;
    std::string image; // file name
    std::optional<int64_t> image_size;
    std::string image_sha256;
    std::optional<int64_t> address;
    std::string mode;         // "exact" or "fast"; for a block: "new", "rework" or "forced"
    std::string serial;       // the serial meant for the board
    std::string board_serial; // the serial the board held when it was done
    Result result = Result::Started;
    std::string message;
};

// How a row ends.
struct Closing {
    Result result = Result::Done;
    std::string message;
    std::string serial; // where the row has none yet
    std::string board_serial;
    std::string chip_id;
    std::optional<int64_t> chip_size;
};

struct Filter {
    std::string serial;
    std::string board; // rows about the board of this serial: meant for it or read from it
    std::string since; // YYYY-MM-DD, UTC
    std::string station;
    bool failed_only = false; // failed or stopped
    int limit = 0;            // the latest rows only; 0 for all
};

// A serial already written to another board, refused: the row that wrote
// it, and the record's next free serial of the day asked for.
class SerialTaken : public Error {
  public:
    SerialTaken(const std::string& why, Entry owner, std::string next)
        : Error(why), owner(std::move(owner)), next(std::move(next)) {}
    Entry owner;
    std::string next;
};

struct Reservation {
    int64_t id = 0; // the row of the serial operation, started
    std::string serial;
    int counter = 0;
};

class Record {
  public:
    // Opens the record at a location (see Locate), made first where create
    // is true, and brings its schema up to date. Throws Error, e.g. for a
    // record that does not exist, one a newer build wrote, one damaged.
    static std::unique_ptr<Record> Open(const std::string& url, bool create = true);
    explicit Record(std::unique_ptr<Database> db);
    ~Record();

    // Commits a started row and returns its id.
    int64_t begin(const Entry& entry);
    // Closes the row started by begin or reserveSerial; a row that is closed
    // already is never rewritten. Serial and chip learnt during the run are
    // filled in where the row has none.
    void finish(int64_t id, const Closing& closing);

    // The next counter of the day (YYMMDD): one past the larger of the
    // configuration's counter and the highest the record holds for the day.
    int nextCounter(const std::string& day, int config_counter);
    // Reserves that counter in one transaction with the started row of the
    // serial operation (entry.operation), so it is never given out again.
    Reservation reserveSerial(const std::string& day, int config_counter, Entry entry);

    // The row that last wrote serial to a board, or is writing it now;
    // nothing when no board was given it.
    std::optional<Entry> serialOwner(const std::string& serial);
    // Reserves exactly serial with the started row of entry, in one
    // transaction. A serial another board holds (it has an owner and the
    // board on the bridge holds board_serial instead) throws SerialTaken;
    // a board that holds it already is rework. A well-formed serial of a
    // day takes its counter where no row has it, so the record's next
    // passes it by. today is the day whose next free serial a refusal names.
    Reservation reserveExact(const std::string& serial, const std::string& board_serial,
                             const std::string& today, Entry entry);

    // The serial of a row begun without one (a station's board, whose image
    // was programmed first), in one transaction: the next of the day, or
    // exactly serial with the rules of reserveExact.
    Reservation assignNext(int64_t id, const std::string& day, int config_counter);
    void assignExact(int64_t id, const std::string& serial, const std::string& board_serial,
                     const std::string& today);

    std::vector<Entry> history(const Filter& filter);

    // Rows of this host left started by a process that is no longer there
    // (killed, a power cut) closed as interrupted; how many.
    int closeInterrupted(bool (*alive)(int64_t process));

    // Whether this open made the record.
    bool fresh() const { return fresh_; }

    Database& database() { return *db_; }

  private:
    struct Exact {
        std::string mode; // new or rework
        std::optional<std::string> day, counter;
    };
    Exact exactSerial(const std::string& serial, const std::string& board_serial,
                      const std::string& today);
    void migrate();
    std::unique_ptr<Database> db_;
    bool fresh_ = false; // the schema was made by this open
};

// The serial text of a day and counter: "QV", YYMMDD, three digits.
std::string SerialText(const std::string& day, int counter);
inline constexpr int kLastCounter = 999;

// Now, as the record writes it.
std::string Timestamp();
// The host's name, the default station.
std::string HostName();
// This process, as its rows name it.
int64_t ProcessId();
// The SHA-256 of a file in hexadecimal, or empty when it cannot be read;
// of bytes in memory.
std::string FileSha256(const std::string& path);
std::string BytesSha256(std::string_view bytes);

// Where the record lives: the command line's --record, else the
// environment's PLEXMOOR_RECORD, else the settings key, else the SQLite
// file beside the settings file. An empty url means working without one.
struct Location {
    std::string url;
    // The file of the default name beside the settings: made at its first
    // use, where any other record is made only when asked to.
    bool default_place = false;
    bool none() const { return url.empty(); }
};
inline constexpr const char* kEnvironmentVariable = "PLEXMOOR_RECORD";
inline constexpr const char* kNoRecord = "none"; // as a location: no record
inline constexpr const char* kDefaultFile = "plexmoor-record.db";
// Beside it: the closes of rows a record did not take, for the next start.
inline constexpr const char* kJournalFile = "plexmoor-record-journal.txt";
Location Locate(const std::optional<std::string>& option, bool no_record,
                const std::string& setting, const std::string& settings_folder);
// A record's location as messages show it: a password in it masked.
std::string WithoutPassword(const std::string& url);
// A text of the record's with the location (%s) in it, masked.
std::string Shown(const char* format, const std::string& url);

} // namespace plexmoor::record
