// The production record where its stores are not built (the fuzz build):
// every operation works without a record; a record named by --record, the
// environment or the Record box is refused before the board is touched.
#include "production_record.h"

#include "record_texts.h"

#include <cstdlib>

namespace plexmoor {
struct ProductionRecord::Store {};

ProductionRecord::ProductionRecord(record::FrontEnd front_end, Tell tell)
    : front_end_(front_end), tell_(std::move(tell)), store_(std::make_unique<Store>()) {}

ProductionRecord::~ProductionRecord() = default;

bool ProductionRecord::open(const RecordOptions& options, const RecordPlace& place) {
    std::string why;
    if (open(options, place, why)) return true;
    tell_(why);
    return false;
}

bool ProductionRecord::open(const RecordOptions& options, const RecordPlace& place,
                            std::string& why) {
    if (options.none) return true;
    std::string named;
    if (options.url)
        named = *options.url;
    else if (const char* env = std::getenv(record::kEnvironmentVariable); env && *env)
        named = env;
    else
        named = place.setting;
    if (named.empty() || named == record::kNoRecord) return true;
    why = record::text::kNoRecordHere;
    return false;
}

bool ProductionRecord::active() const {
    return false;
}

record::Record* ProductionRecord::store() {
    return nullptr;
}

bool ProductionRecord::begin(record::Entry, const std::string&, const std::string*) {
    return true;
}

std::optional<std::string> ProductionRecord::reserveNext(const std::string&, int, record::Entry) {
    return std::nullopt;
}

bool ProductionRecord::reserveExact(const std::string&, const std::string&, const std::string&,
                                    record::Entry) {
    return true;
}

std::optional<std::string> ProductionRecord::assignNext(const std::string&, int) {
    return std::nullopt;
}

bool ProductionRecord::assignExact(const std::string&, const std::string&, const std::string&) {
    return true;
}

std::optional<bool> ProductionRecord::knows(const std::string&) {
    return false;
}

std::optional<std::string> ProductionRecord::nextSerial(const std::string&, int) {
    return std::nullopt;
}

void ProductionRecord::finish(record::Closing) {}

bool ProductionRecord::closePending() const {
    return false;
}

std::optional<std::vector<record::Entry>> ProductionRecord::history(const record::Filter&) {
    tell_(record::text::kNoRecordHere);
    return std::nullopt;
}

std::optional<std::string> ProductionRecord::historyText(const record::Filter& filter,
                                                         HistoryFormat) {
    if (!history(filter)) return std::nullopt;
    return std::string();
}

} // namespace plexmoor
