// The record on a PostgreSQL server shared by every station of a line,
// through libpq. Reservations are serialised by a transaction-scoped
// advisory lock, so they never fail for a concurrent one and need no retry.
#include "database.h"
#include "record.h"

#include <libpq-fe.h>

#include <chrono>
#include <thread>

namespace plexmoor::record {
namespace {

// The one advisory lock of the record's writers ("PLXR").
constexpr const char* kWriterLock = "SELECT pg_advisory_xact_lock(1347180626)";
// A lost connection is tried again for a few seconds before the run is
// told.
constexpr int kReconnectTries = 5;
constexpr auto kReconnectPause = std::chrono::seconds(1);

void Quiet(void*, const char*) {}

class PostgresDatabase : public Database {
  public:
    explicit PostgresDatabase(const std::string& uri) : conn_(PQconnectdb(uri.c_str())) {
        if (!conn_) throw Error("out of memory");
        if (PQstatus(conn_) != CONNECTION_OK) {
            const std::string why = PQerrorMessage(conn_);
            PQfinish(conn_);
            throw Error(Trimmed(why));
        }
        // "already exists, skipping" and the like are not for the user.
        PQsetNoticeProcessor(conn_, Quiet, nullptr);
    }
    ~PostgresDatabase() override { PQfinish(conn_); }

    std::vector<Row> query(const std::string& sql, const std::vector<Value>& params) override {
        std::vector<const char*> values;
        for (const Value& v : params)
            values.push_back(v ? v->c_str() : nullptr);
        PGresult* result = PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()),
                                        nullptr, values.data(), nullptr, nullptr, 0);
        struct Clear {
            PGresult* r;
            ~Clear() { PQclear(r); }
        } clear{result};
        const ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw Error(Trimmed(PQerrorMessage(conn_)));
        std::vector<Row> rows(PQntuples(result));
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            rows[r].resize(PQnfields(result));
            for (int c = 0; c < static_cast<int>(rows[r].size()); ++c)
                if (!PQgetisnull(result, r, c)) rows[r][c] = PQgetvalue(result, r, c);
        }
        return rows;
    }
    void beginExclusive() override {
        query("BEGIN", {});
        query(kWriterLock, {});
    }
    void commit() override { query("COMMIT", {}); }
    void rollback() override { query("ROLLBACK", {}); }
    std::string autoIdColumn() const override { return "BIGSERIAL PRIMARY KEY"; }
    bool reconnect() override {
        for (int i = 0; i < kReconnectTries; ++i) {
            if (PQstatus(conn_) == CONNECTION_OK) return i > 0;
            std::this_thread::sleep_for(kReconnectPause);
            PQreset(conn_);
        }
        return PQstatus(conn_) == CONNECTION_OK;
    }

  private:
    static std::string Trimmed(std::string s) {
        while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
            s.pop_back();
        return s;
    }
    PGconn* conn_;
};

} // namespace

std::unique_ptr<Database> OpenPostgres(const std::string& uri) {
    return std::make_unique<PostgresDatabase>(uri);
}

} // namespace plexmoor::record
