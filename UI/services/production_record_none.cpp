// The production record where its stores are not built (the Windows builds:
// SQLite, libpq and nettle have no MinGW packages here). Every operation
// works without a record; a record named by --record, the environment or
// the Record box is refused before the board is touched.
#include "production_record.h"

#include "flash_form.h"
#include "text_functions.h"
#include "texts.h"

#include <cstdlib>

namespace plexmoor {
struct ProductionRecord::Store {};

ProductionRecord::ProductionRecord(FlashForm& form, Tell tell)
    : form_(form), tell_(std::move(tell)), store_(std::make_unique<Store>()) {}

ProductionRecord::~ProductionRecord() = default;

bool ProductionRecord::open(const RecordOptions& options) {
    if (options.none) return true;
    std::string named;
    if (options.url)
        named = *options.url;
    else if (const char* env = std::getenv(record::kEnvironmentVariable); env && *env)
        named = env;
    else
        named = Trim(form_.control(C::txtRecord).text());
    if (named.empty() || named == record::kNoRecord) return true;
    tell_(std::string(text::kNoRecordHere));
    return false;
}

bool ProductionRecord::active() const {
    return false;
}

bool ProductionRecord::begin(record::Operation, const std::string&, std::optional<int32_t>, bool) {
    return true;
}

std::optional<std::string> ProductionRecord::reserveSerial(int, record::Operation) {
    return std::nullopt;
}

std::optional<std::string> ProductionRecord::nextSerial(int) {
    return std::nullopt;
}

void ProductionRecord::finish(record::Result, const std::string&) {}

std::optional<std::vector<record::Entry>> ProductionRecord::history(const record::Filter&) {
    tell_(std::string(text::kNoRecordHere));
    return std::nullopt;
}

std::optional<std::string> ProductionRecord::historyText(const record::Filter& filter,
                                                         HistoryFormat) {
    if (!history(filter)) return std::nullopt;
    return std::string();
}

} // namespace plexmoor
