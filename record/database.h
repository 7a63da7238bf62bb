// The two stores behind the production record, reduced to what the record
// needs of a database: statements with text parameters, rows of text, and a
// write transaction that excludes every other writer of the record, so the
// record's logic (schema, serial reservation, history) is written once.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plexmoor::record {

using Value = std::optional<std::string>; // NULL when empty
using Row = std::vector<Value>;

class Database {
  public:
    virtual ~Database() = default;
    // Parameters are written $1, $2, ... in every store.
    virtual std::vector<Row> query(const std::string& sql,
                                   const std::vector<Value>& params = {}) = 0;
    // Starts a transaction no other writer of the record runs beside; the
    // first statement of the transaction already holds that exclusion.
    virtual void beginExclusive() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // The type of an id column that numbers itself, as the store spells it.
    virtual std::string autoIdColumn() const = 0;
    // Whether a failed statement looks like a lost connection that a new
    // one may cure; the store then tries to connect again.
    virtual bool reconnect() { return false; }
    // Throws Error when the store is no longer the one opened: a record
    // file deleted or replaced under a run would take rows into nothing.
    virtual void stillThere() {}
};

// A path or "sqlite:PATH" opens SQLite, "postgresql://..." or
// "postgres://..." PostgreSQL. A file that does not exist is made only
// where create is true. Throws Error with the reason: an empty name, one
// SQLite would keep in memory, another scheme.
std::unique_ptr<Database> OpenDatabase(const std::string& url, bool create);

std::unique_ptr<Database> OpenSqlite(const std::string& path, bool create);
std::unique_ptr<Database> OpenPostgres(const std::string& uri);

// Statements keep the row of their transaction until it is over.
class Transaction {
  public:
    explicit Transaction(Database& db) : db_(db) { db_.beginExclusive(); }
    ~Transaction() {
        if (!done_) {
            try {
                db_.rollback();
            } catch (...) {
            }
        }
    }
    void commit() {
        db_.commit();
        done_ = true;
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

  private:
    Database& db_;
    bool done_ = false;
};

} // namespace plexmoor::record
