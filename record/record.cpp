// The record's logic over either store: schema and migrations, rows,
// serial reservation and history.
#include "record.h"

#include "database.h"
#include "record_texts.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace plexmoor::record {
namespace {

// In the order of the enums; the last name of each is what an unknown
// stored name reads as.
constexpr std::array<const char*, 11> kOperationNames = {
    "flash",  "flash-setting", "load-from-flash", "restore", "recover", "backup",
    "verify", "erase",         "discard",         "station", "unknown"};
constexpr std::array<const char*, 6> kResultNames = {"started", "done",        "failed",
                                                     "stopped", "interrupted", "unknown"};
constexpr std::array<const char*, 4> kFrontEndNames = {"window", "cli", "station", "unknown"};

// Each step brings the schema from the version before it to its own; a
// step is added at the end, never changed once released. "{ID}" is the
// store's self-numbering id column.
struct Migration {
    int version;
    std::vector<const char*> statements;
};
const std::vector<Migration>& Migrations() {
    static const std::vector<Migration> migrations = {
        {1,
         {"CREATE TABLE operations (id {ID}, started TEXT NOT NULL, ended TEXT, station TEXT NOT "
          "NULL, bridge TEXT, chip_id TEXT, chip_size BIGINT, operation TEXT NOT NULL, image TEXT, "
          "image_size BIGINT, image_sha256 TEXT, address BIGINT, mode TEXT, serial TEXT, "
          "serial_day TEXT, serial_counter INTEGER, result TEXT NOT NULL, message TEXT)",
          // A reserved serial exists once, whatever happens to its board.
          "CREATE UNIQUE INDEX operations_reserved ON operations (serial_day, serial_counter)",
          "CREATE INDEX operations_serial ON operations (serial)",
          "CREATE INDEX operations_started ON operations (started)",
          "CREATE INDEX operations_station ON operations (station, id)"}},
        // The front end gets a column of its own: the first schema named one
        // run "recover" from the window and "program" from the command line.
        {2,
         {"ALTER TABLE operations ADD COLUMN front_end TEXT",
          "ALTER TABLE operations ADD COLUMN board_serial TEXT",
          "ALTER TABLE operations ADD COLUMN host TEXT",
          "ALTER TABLE operations ADD COLUMN process BIGINT",
          "UPDATE operations SET front_end = 'cli' WHERE operation IN ('program', 'serial', "
          "'read')",
          "UPDATE operations SET front_end = 'window' WHERE front_end IS NULL",
          "UPDATE operations SET operation = 'flash' WHERE operation = 'program'",
          "UPDATE operations SET operation = 'flash-setting' WHERE operation = 'serial'",
          "UPDATE operations SET operation = 'load-from-flash' WHERE operation = 'read'",
          "CREATE INDEX operations_board ON operations (board_serial)",
          "CREATE INDEX operations_open ON operations (result, host)"}},
    };
    return migrations;
}
int SchemaVersion() {
    return Migrations().back().version;
}

// The columns of a row as history reads them, in the order of Entry.
constexpr const char* kColumns =
    "id, started, ended, station, bridge, chip_id, chip_size, operation, image, image_size, "
    "image_sha256, address, mode, serial, result, message, front_end, board_serial";

std::string Format(const char* pattern, const std::string& a, const std::string& b = {}) {
    std::vector<char> out(512 + a.size() + b.size());
    std::snprintf(out.data(), out.size(), pattern, a.c_str(), b.c_str());
    return out.data();
}

// Every text is stored as UTF-8, so the JSON of a row is valid and
// PostgreSQL takes it: a byte that is no part of a UTF-8 character (a
// Windows-1252 name, a garbled read) is kept as \xNN.
std::string Utf8(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool whole = n > 0 && i + n <= s.size() && !(n == 2 && c < 0xC2);
        for (std::size_t k = 1; whole && k < n; ++k)
            whole = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
        if (whole) {
            out.append(s, i, n);
            i += n;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
        out += escaped;
        ++i;
    }
    return out;
}

Value Text(const std::string& s) {
    return s.empty() ? Value() : Value(Utf8(s));
}
Value Number(std::optional<int64_t> n) {
    return n ? Value(std::to_string(*n)) : Value();
}
std::string TextOf(const Value& v) {
    return v.value_or("");
}
std::optional<int64_t> NumberOf(const Value& v) {
    if (!v) return std::nullopt;
    return std::stoll(*v);
}

template <std::size_t N>
std::size_t IndexOf(const std::array<const char*, N>& names, const Value& v) {
    for (std::size_t i = 0; i + 1 < N; ++i)
        if (v && *v == names[i]) return i;
    return N - 1;
}

Entry EntryOf(const Row& r) {
    Entry e;
    e.id = NumberOf(r[0]).value_or(0);
    e.started = TextOf(r[1]);
    e.ended = TextOf(r[2]);
    e.station = TextOf(r[3]);
    e.bridge = TextOf(r[4]);
    e.chip_id = TextOf(r[5]);
    e.chip_size = NumberOf(r[6]);
    e.operation = static_cast<Operation>(IndexOf(kOperationNames, r[7]));
    e.image = TextOf(r[8]);
    e.image_size = NumberOf(r[9]);
    e.image_sha256 = TextOf(r[10]);
    e.address = NumberOf(r[11]);
    e.mode = TextOf(r[12]);
    e.serial = TextOf(r[13]);
    e.result = static_cast<Result>(IndexOf(kResultNames, r[14]));
    e.message = TextOf(r[15]);
    e.front_end = static_cast<FrontEnd>(IndexOf(kFrontEndNames, r[16]));
    e.board_serial = TextOf(r[17]);
    return e;
}

int64_t Insert(Database& db, const Entry& e, const Value& day, const Value& counter) {
    const auto rows = db.query(
        "INSERT INTO operations (started, station, bridge, chip_id, chip_size, operation, image, "
        "image_size, image_sha256, address, mode, serial, serial_day, serial_counter, result, "
        "message, front_end, board_serial, host, process) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, "
        "$9, $10, $11, $12, $13, $14, $15, $16, $17, $18, $19, $20) RETURNING id",
        {Timestamp(),
         e.station.empty() ? HostName() : e.station,
         Text(e.bridge),
         Text(e.chip_id),
         Number(e.chip_size),
         Name(e.operation),
         Text(e.image),
         Number(e.image_size),
         Text(e.image_sha256),
         Number(e.address),
         Text(e.mode),
         Text(e.serial),
         day,
         counter,
         Name(Result::Started),
         Text(e.message),
         Name(e.front_end),
         Text(e.board_serial),
         HostName(),
         std::to_string(ProcessId())});
    return std::stoll(*rows.at(0).at(0));
}

} // namespace

const char* Name(Operation op) {
    return kOperationNames[static_cast<std::size_t>(op)];
}
const char* Name(Result result) {
    return kResultNames[static_cast<std::size_t>(result)];
}
const char* Name(FrontEnd front_end) {
    return kFrontEndNames[static_cast<std::size_t>(front_end)];
}

std::string SerialText(const std::string& day, int counter) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03d", counter);
    return "QV" + day + digits;
}

std::unique_ptr<Record> Record::Open(const std::string& url, bool create) {
    try {
        auto record = std::make_unique<Record>(OpenDatabase(url, create));
        // A store that holds no record yet is one only when it is to be made.
        if (!create && record->fresh_) throw Error(text::kNoRecordYet);
        return record;
    } catch (const Error& e) {
        throw Error(Format(text::kCannotOpen, WithoutPassword(url), e.what()));
    }
}

Record::Record(std::unique_ptr<Database> db) : db_(std::move(db)) {
    migrate();
}
Record::~Record() = default;

void Record::migrate() {
    auto version = [&] {
        const auto rows = db_->query("SELECT MAX(version) FROM record_schema");
        return rows.empty() || !rows[0][0] ? 0 : std::stoi(*rows[0][0]);
    };
    auto refuseNewer = [&](int seen) {
        if (seen <= SchemaVersion()) return;
        char why[512];
        std::snprintf(why, sizeof why, text::kNewerSchema, seen, SchemaVersion());
        throw Error(why);
    };
    // The common case reads the version only; a record being created or
    // migrated is written by one process at a time.
    int found = 0;
    try {
        found = version();
    } catch (const Error&) {
        // No version table yet: a new record.
    }
    refuseNewer(found);
    if (found == SchemaVersion()) return;
    fresh_ = found == 0;
    Transaction t(*db_);
    db_->query("CREATE TABLE IF NOT EXISTS record_schema (version INTEGER NOT NULL)");
    found = version();
    refuseNewer(found);
    if (found == SchemaVersion()) { // another process made it meanwhile
        t.commit();
        return;
    }
    for (const Migration& m : Migrations()) {
        if (m.version <= found) continue;
        for (std::string statement : m.statements) {
            if (auto at = statement.find("{ID}"); at != std::string::npos)
                statement.replace(at, 4, db_->autoIdColumn());
            db_->query(statement);
        }
    }
    db_->query("DELETE FROM record_schema");
    db_->query("INSERT INTO record_schema (version) VALUES ($1)",
               {std::to_string(SchemaVersion())});
    t.commit();
}

int64_t Record::begin(const Entry& entry) {
    db_->stillThere();
    return Insert(*db_, entry, {}, {});
}

void Record::finish(int64_t id, const Closing& c) {
    const std::vector<Value> params = {std::to_string(id),  Timestamp(),         Name(c.result),
                                       Text(c.message),     Text(c.serial),      Text(c.chip_id),
                                       Number(c.chip_size), Text(c.board_serial)};
    const char* sql =
        "UPDATE operations SET ended = $2, result = $3, message = $4, serial = COALESCE(serial, "
        "$5), chip_id = COALESCE(chip_id, $6), chip_size = COALESCE(chip_size, $7), board_serial "
        "= $8 WHERE id = $1 AND result = 'started' RETURNING id";
    db_->stillThere();
    std::vector<Row> rows;
    // The board's outcome is worth a second try on a new connection.
    try {
        rows = db_->query(sql, params);
    } catch (const Error&) {
        if (!db_->reconnect()) throw;
        rows = db_->query(sql, params);
    }
    if (rows.empty()) {
        char why[128];
        std::snprintf(why, sizeof why, text::kRowClosed, static_cast<long long>(id));
        throw Error(why);
    }
}

int Record::nextCounter(const std::string& day, int config_counter) {
    const auto rows =
        db_->query("SELECT MAX(serial_counter) FROM operations WHERE serial_day = $1", {day});
    const int held = rows.empty() || !rows[0][0] ? 0 : std::stoi(*rows[0][0]);
    return std::max(config_counter, held) + 1;
}

Reservation Record::reserveSerial(const std::string& day, int config_counter, Entry entry) {
    db_->stillThere();
    Transaction t(*db_);
    Reservation r;
    r.counter = nextCounter(day, config_counter);
    if (r.counter > kLastCounter)
        throw Error(Format(text::kNoSerialLeft, SerialText(day, r.counter - 1)));
    r.serial = SerialText(day, r.counter);
    entry.serial = r.serial;
    r.id = Insert(*db_, entry, day, std::to_string(r.counter));
    t.commit();
    return r;
}

std::optional<Entry> Record::serialOwner(const std::string& serial) {
    const auto rows = db_->query(
        std::string("SELECT ") + kColumns +
            " FROM operations WHERE serial = $1 AND operation IN ('flash-setting', 'station') AND "
            "result IN ('done', 'started', 'interrupted') ORDER BY id DESC LIMIT 1",
        {serial});
    if (rows.empty()) return std::nullopt;
    return EntryOf(rows[0]);
}

// Inside a transaction: how exactly serial may be given to the board that
// holds board_serial now, refused (SerialTaken) where another board has it.
Record::Exact Record::exactSerial(const std::string& serial, const std::string& board_serial,
                                  const std::string& today) {
    const std::optional<Entry> owner = serialOwner(serial);
    if (owner && board_serial != serial) {
        const int next = nextCounter(today, 0);
        const std::string free =
            next > kLastCounter ? std::string("none today") : SerialText(today, next);
        char why[1024];
        std::snprintf(why, sizeof why, text::kSerialTaken, serial.c_str(), owner->station.c_str(),
                      owner->bridge.empty() ? "-" : owner->bridge.c_str(), owner->started.c_str(),
                      static_cast<long long>(owner->id), free.c_str());
        throw SerialTaken(why, *owner, free);
    }
    Exact e;
    e.mode = owner ? "rework" : "new";
    // QV, YYMMDD, three digits: the counter of that day, unless a row has it.
    const bool formed = serial.size() == 11 && serial.compare(0, 2, "QV") == 0 &&
                        serial.find_first_not_of("0123456789", 2) == std::string::npos;
    if (formed) {
        const std::string d = serial.substr(2, 6);
        const std::string c = std::to_string(std::stoi(serial.substr(8)));
        const auto held = db_->query(
            "SELECT id FROM operations WHERE serial_day = $1 AND serial_counter = $2", {d, c});
        if (held.empty() && c != "0") {
            e.day = d;
            e.counter = c;
        }
    }
    return e;
}

Reservation Record::reserveExact(const std::string& serial, const std::string& board_serial,
                                 const std::string& today, Entry entry) {
    db_->stillThere();
    Transaction t(*db_);
    const Exact e = exactSerial(serial, board_serial, today);
    Reservation r;
    r.serial = entry.serial = serial;
    entry.mode = e.mode;
    if (e.counter) r.counter = std::stoi(*e.counter);
    r.id = Insert(*db_, entry, e.day, e.counter);
    t.commit();
    return r;
}

void Record::assignExact(int64_t id, const std::string& serial, const std::string& board_serial,
                         const std::string& today) {
    db_->stillThere();
    Transaction t(*db_);
    const Exact e = exactSerial(serial, board_serial, today);
    db_->query("UPDATE operations SET serial = $2, serial_day = $3, serial_counter = $4, mode = $5 "
               "WHERE id = $1",
               {std::to_string(id), Text(serial), e.day, e.counter, Text(e.mode)});
    t.commit();
}

Reservation Record::assignNext(int64_t id, const std::string& day, int config_counter) {
    db_->stillThere();
    Transaction t(*db_);
    Reservation r;
    r.id = id;
    r.counter = nextCounter(day, config_counter);
    if (r.counter > kLastCounter)
        throw Error(Format(text::kNoSerialLeft, SerialText(day, r.counter - 1)));
    r.serial = SerialText(day, r.counter);
    db_->query("UPDATE operations SET serial = $2, serial_day = $3, serial_counter = $4, mode = "
               "'new' WHERE id = $1",
               {std::to_string(id), r.serial, day, std::to_string(r.counter)});
    t.commit();
    return r;
}

int Record::closeInterrupted(bool (*alive)(int64_t process)) {
    const auto rows = db_->query(
        "SELECT id, process FROM operations WHERE result = 'started' AND host = $1", {HostName()});
    int closed = 0;
    for (const Row& r : rows) {
        const std::optional<int64_t> process = NumberOf(r[1]);
        if (!process || *process == ProcessId() || alive(*process)) continue;
        closed += !db_->query("UPDATE operations SET result = 'interrupted', ended = $2, message = "
                              "COALESCE(message, $3) WHERE id = $1 AND result = 'started' "
                              "RETURNING id",
                              {TextOf(r[0]), Timestamp(), text::kInterruptedRow})
                       .empty();
    }
    return closed;
}

std::vector<Entry> Record::history(const Filter& filter) {
    std::string where;
    std::vector<Value> params;
    auto add = [&](const std::string& condition, const std::string& value) {
        if (value.empty()) return;
        params.push_back(value);
        where += (where.empty() ? " WHERE " : " AND ") + condition + std::to_string(params.size());
    };
    add("serial = $", filter.serial);
    if (!filter.board.empty()) {
        params.push_back(filter.board);
        const std::string n = std::to_string(params.size());
        where += std::string(where.empty() ? " WHERE " : " AND ") + "(serial = $" + n +
                 " OR board_serial = $" + n + ")";
    }
    add("started >= $", filter.since);
    add("station = $", filter.station);
    if (filter.failed_only)
        where +=
            std::string(where.empty() ? " WHERE " : " AND ") + "result IN ('failed', 'stopped')";
    std::string sql = std::string("SELECT ") + kColumns + " FROM operations" + where;
    // Ordered by start where the start is filtered, so the store walks that
    // index rather than every row in id order.
    const bool by_start = !filter.since.empty();
    if (filter.limit > 0)
        sql += std::string(by_start ? " ORDER BY started DESC, id DESC" : " ORDER BY id DESC") +
               " LIMIT " + std::to_string(filter.limit);
    else
        sql += by_start ? " ORDER BY started, id" : " ORDER BY id";
    std::vector<Entry> out;
    for (const Row& r : db_->query(sql, params))
        out.push_back(EntryOf(r));
    if (filter.limit > 0) std::reverse(out.begin(), out.end());
    return out;
}

} // namespace plexmoor::record
