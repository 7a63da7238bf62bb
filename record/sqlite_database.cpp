// The record in one SQLite file: the default for a single station, and for
// several processes of one station (WAL, a busy timeout, and BEGIN
// IMMEDIATE so a reservation holds the write lock from its first read).
#include "database.h"
#include "os.h"
#include "record.h"
#include "record_texts.h"

#include <sqlite3.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#ifdef _WIN32
// Exported by SQLite's Windows build, though sqlite3.h does not declare it.
extern "C" char* sqlite3_win32_mbcs_to_utf8_v2(const char* text, int use_ansi);
#endif

namespace plexmoor::record {
namespace {

// Long enough for seven other processes to reserve their serials first.
constexpr int kBusyTimeoutMs = 15000;
constexpr int kWalRetryMs = 10;

// "$3" becomes "?3": the record writes its parameters as PostgreSQL does.
std::string SqliteParameters(const std::string& sql) {
    std::string out = sql;
    for (std::size_t i = 0; i + 1 < out.size(); ++i)
        if (out[i] == '$' && std::isdigit(static_cast<unsigned char>(out[i + 1]))) out[i] = '?';
    return out;
}

// SQLite takes file names in UTF-8; a Windows program has its paths in the
// ANSI code page, as the system's A calls take them.
std::string FileName(const std::string& path) {
#ifdef _WIN32
    char* utf8 = sqlite3_win32_mbcs_to_utf8_v2(path.c_str(), 1);
    const std::string name = utf8 ? utf8 : path;
    sqlite3_free(utf8);
    return name;
#else
    return path;
#endif
}

class SqliteDatabase : public Database {
  public:
    SqliteDatabase(const std::string& path, bool create) : path_(path) {
        std::error_code ec;
        if (!create && !std::filesystem::exists(path, ec)) throw Error(text::kNoSuchRecordFile);
        const int opened = sqlite3_open_v2(FileName(path).c_str(), &db_,
                                           SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0),
                                           nullptr);
        if (opened != SQLITE_OK) {
            const std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(opened);
            sqlite3_close(db_);
            db_ = nullptr;
            throw Error(why);
        }
        opened_ = Identity();
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        // Switching a new file to WAL while other stations open it too can
        // answer "locked" at once, without waiting: asked again until the
        // busy timeout has passed.
        for (int waited = 0;; waited += kWalRetryMs) {
            try {
                query("PRAGMA journal_mode = WAL", {});
                break;
            } catch (const Error&) {
                if (sqlite3_errcode(db_) != SQLITE_BUSY || waited >= kBusyTimeoutMs) throw;
                std::this_thread::sleep_for(std::chrono::milliseconds(kWalRetryMs));
            }
        }
        // A committed row survives a crash of the program; WAL with NORMAL
        // can lose the last commits only to a power cut.
        query("PRAGMA synchronous = NORMAL", {});
        // A damaged file must not hand out serials: it may have lost the
        // rows that reserved them.
        const auto check = query("PRAGMA quick_check", {});
        if (check.empty() || !check[0][0] || *check[0][0] != "ok") {
            char why[512];
            std::snprintf(why, sizeof why, text::kDamaged,
                          check.empty() || !check[0][0] ? "no answer" : check[0][0]->c_str());
            throw Error(why);
        }
    }

    // The file the record was opened from, still under its name: deleting
    // it would leave rows going to a file no other station sees.
    void stillThere() override {
        if (Identity() != opened_) throw Error(text::kVanished);
    }
    ~SqliteDatabase() override { sqlite3_close(db_); }

    std::vector<Row> query(const std::string& sql, const std::vector<Value>& params) override {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, SqliteParameters(sql).c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            fail();
        struct Finalize {
            sqlite3_stmt* s;
            ~Finalize() { sqlite3_finalize(s); }
        } finalize{stmt};
        for (std::size_t i = 0; i < params.size(); ++i) {
            const int at = static_cast<int>(i) + 1;
            const int bound =
                params[i] ? sqlite3_bind_text(stmt, at, params[i]->c_str(), -1, SQLITE_TRANSIENT)
                          : sqlite3_bind_null(stmt, at);
            if (bound != SQLITE_OK) fail();
        }
        std::vector<Row> rows;
        for (;;) {
            const int step = sqlite3_step(stmt);
            if (step == SQLITE_DONE) break;
            if (step != SQLITE_ROW) fail();
            Row row(sqlite3_column_count(stmt));
            for (int c = 0; c < static_cast<int>(row.size()); ++c)
                if (const unsigned char* text = sqlite3_column_text(stmt, c))
                    row[c] = reinterpret_cast<const char*>(text);
            rows.push_back(std::move(row));
        }
        return rows;
    }
    void beginExclusive() override { query("BEGIN IMMEDIATE", {}); }
    void commit() override { query("COMMIT", {}); }
    void rollback() override { query("ROLLBACK", {}); }
    std::string autoIdColumn() const override { return "INTEGER PRIMARY KEY"; }

  private:
    // What names the file now; empty when nothing does.
    std::string Identity() const {
        os::FileId id;
        if (!os::file_id(path_, id)) return {};
        return std::to_string(id.volume) + ":" + std::to_string(id.index);
    }
    [[noreturn]] void fail() {
        if (sqlite3_errcode(db_) == SQLITE_BUSY) throw Error(text::kLockedTooLong);
        throw Error(sqlite3_errmsg(db_));
    }
    std::string path_;
    std::string opened_;
    sqlite3* db_ = nullptr;
};

} // namespace

std::unique_ptr<Database> OpenSqlite(const std::string& path, bool create) {
    return std::make_unique<SqliteDatabase>(path, create);
}

} // namespace plexmoor::record
