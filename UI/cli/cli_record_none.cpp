// plexmoor-cli where the production record's stores are not built (the
// Windows builds: SQLite, libpq and nettle have no MinGW packages here).
// Every command works without a record, as with --no-record; a record
// asked for by --record is refused before the board is touched.
#include "cli_record.h"
#include "database.h"

#include <cstdio>

namespace plexmoor::record {
// Never made here; its destructor is all BoardRecord's member needs.
Record::~Record() = default;
} // namespace plexmoor::record

namespace plexmoor::cli {
namespace {

constexpr const char* kNoRecordHere =
    "plexmoor-cli: this build has no production record; run without --record";

} // namespace

bool BoardRecord::open(const RecordOptions& options) {
    if (options.none || !options.url || *options.url == record::kNoRecord) return true;
    std::fprintf(stderr, "%s\n", kNoRecordHere);
    return false;
}

bool BoardRecord::begin(record::Operation, const std::string&, std::optional<int32_t>, bool) {
    return true;
}

std::optional<std::string> BoardRecord::reserveSerial() {
    return std::nullopt;
}

void BoardRecord::finish(record::Result, const std::string&) {}

int History(FlashForm&, const RecordOptions&, const HistoryOptions&) {
    std::fprintf(stderr, "%s\n", kNoRecordHere);
    return 1;
}

} // namespace plexmoor::cli
