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
#include <vector>

namespace plexmoor::record {

class Database;

// What the record could not do, in words for the user.
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class Operation {
    Program,
    Serial,
    Read,
    Recover,
    Flash,
    FlashSetting,
    Restore,
    LoadFromFlash
};
enum class Result { Started, Done, Failed, Stopped };

const char* Name(Operation op);
const char* Name(Result result);

// One row. Empty texts and unset numbers are stored as NULL.
struct Entry {
    int64_t id = 0;
    std::string started; // UTC, "YYYY-MM-DDTHH:MM:SS.mmmZ"
    std::string ended;
    std::string station;
    std::string bridge;  // the bridge's serial number
    std::string chip_id; // JEDEC ID, "C2 20 15"
    std::optional<int64_t> chip_size;
    Operation operation = Operation::Program;
    std::string image; // file name
    std::optional<int64_t> image_size;
    std::string image_sha256;
    std::optional<int64_t> address;
    std::string mode; // "exact" or "fast"
    std::string serial;
    Result result = Result::Started;
    std::string message;
};

struct Filter {
    std::string serial;
    std::string since; // YYYY-MM-DD, UTC
    std::string station;
    bool failed_only = false; // failed or stopped
    int limit = 0;            // the latest rows only; 0 for all
};

struct Reservation {
    int64_t id = 0; // the row of the serial operation, started
    std::string serial;
    int counter = 0;
};

class Record {
  public:
    // Opens or creates the record at a location (see Locate) and brings its
    // schema up to date. Throws Error, e.g. for a record a newer build wrote.
    static std::unique_ptr<Record> Open(const std::string& url);
    explicit Record(std::unique_ptr<Database> db);
    ~Record();

    // Commits a started row and returns its id.
    int64_t begin(const Entry& entry);
    // Closes the row started by begin or reserveSerial; a row that is closed
    // already is never rewritten. Serial and chip learnt during the run are
    // filled in where the row has none.
    void finish(int64_t id, Result result, const std::string& message,
                const std::string& serial = {}, const std::string& chip_id = {},
                std::optional<int64_t> chip_size = {});

    // The next counter of the day (YYMMDD): one past the larger of the
    // configuration's counter and the highest the record holds for the day.
    int nextCounter(const std::string& day, int config_counter);
    // Reserves that counter in one transaction with the started row of the
    // serial operation (entry.operation), so it is never given out again.
    Reservation reserveSerial(const std::string& day, int config_counter, Entry entry);

    std::vector<Entry> history(const Filter& filter);

    Database& database() { return *db_; }

  private:
    void migrate();
    std::unique_ptr<Database> db_;
};

// The serial text of a day and counter: "QV", YYMMDD, three digits.
std::string SerialText(const std::string& day, int counter);
inline constexpr int kLastCounter = 999;

// Now, as the record writes it.
std::string Timestamp();
// The host's name, the default station.
std::string HostName();
// The SHA-256 of a file in hexadecimal, or empty when it cannot be read.
std::string FileSha256(const std::string& path);

// Where the record lives: the command line's --record, else the
// environment's PLEXMOOR_RECORD, else the settings key, else the SQLite
// file beside the settings file. An empty url means working without one.
struct Location {
    std::string url;
    bool none() const { return url.empty(); }
};
inline constexpr const char* kEnvironmentVariable = "PLEXMOOR_RECORD";
inline constexpr const char* kNoRecord = "none"; // as a location: no record
inline constexpr const char* kDefaultFile = "plexmoor-record.db";
Location Locate(const std::optional<std::string>& option, bool no_record,
                const std::string& setting, const std::string& settings_folder);

} // namespace plexmoor::record
