#include "production_record.h"

#include "history_format.h"
#include "record_texts.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace plexmoor {
struct ProductionRecord::Store {
    std::unique_ptr<record::Record> record;
    std::string url; // where the open record lives
    // A row whose close the record did not take: closed again when it is
    // back, or its outcome carried into the next row's message.
    struct Unclosed {
        int64_t id;
        record::Closing closing;
    };
    std::optional<Unclosed> unclosed;
    std::string carried;

    void closeUnclosed() {
        if (!unclosed || !record) return;
        try {
            record->finish(unclosed->id, unclosed->closing);
        } catch (const record::Error&) {
            carried = "row " + std::to_string(unclosed->id) + " was left started, its board " +
                      record::Name(unclosed->closing.result) + ": " + unclosed->closing.message +
                      "; ";
        }
        unclosed.reset();
    }
};

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
    station_ = options.station.empty() ? record::HostName() : options.station;
    const record::Location where =
        record::Locate(options.url, options.none, place.setting, place.folder);
    if (where.none()) {
        store_->record.reset();
        store_->url.clear();
        return true;
    }
    if (store_->record && store_->url == where.url) return true;
    store_->record.reset();
    store_->url.clear();
    try {
        store_->record = record::Record::Open(where.url);
        store_->url = where.url;
        return true;
    } catch (const record::Error& e) {
        why = e.what() + hint_;
        return false;
    }
}

bool ProductionRecord::active() const {
    return store_->record != nullptr;
}

record::Record* ProductionRecord::store() {
    return store_->record.get();
}

void ProductionRecord::told(const char* format, const std::string& why) {
    std::vector<char> text(std::string_view(format).size() + why.size() + 1);
    std::snprintf(text.data(), text.size(), format, why.c_str());
    tell_(text.data());
}

void ProductionRecord::stamp(record::Entry& entry) const {
    entry.station = station_;
    entry.front_end = front_end_;
}

bool ProductionRecord::begin(record::Entry e, const std::string& image_path,
                             const std::string* image_bytes) {
    row_ = 0;
    if (!active()) return true;
    // A row an earlier close could not reach is closed first, now that the
    // record answers again.
    store_->closeUnclosed();
    stamp(e);
    if (!image_path.empty()) {
        e.image = std::filesystem::path(image_path).filename().string();
        if (image_bytes) {
            e.image_size = static_cast<int64_t>(image_bytes->size());
            e.image_sha256 = record::BytesSha256(*image_bytes);
        } else {
            std::error_code ec;
            const auto size = std::filesystem::file_size(image_path, ec);
            if (!ec) e.image_size = static_cast<int64_t>(size);
            e.image_sha256 = record::FileSha256(image_path);
        }
    }
    try {
        row_ = store_->record->begin(e);
        return true;
    } catch (const record::Error& err) {
        told(record::text::kCannotWrite, err.what());
        return false;
    }
}

std::optional<std::string> ProductionRecord::reserveNext(const std::string& day, int config_counter,
                                                         record::Entry entry) {
    row_ = 0;
    if (!active()) return std::nullopt;
    store_->closeUnclosed();
    stamp(entry);
    try {
        const record::Reservation r = store_->record->reserveSerial(day, config_counter, entry);
        row_ = r.id;
        return r.serial;
    } catch (const record::Error& e) {
        tell_(e.what());
        return std::nullopt;
    }
}

bool ProductionRecord::reserveExact(const std::string& serial, const std::string& board_serial,
                                    const std::string& today, record::Entry entry) {
    row_ = 0;
    if (!active()) return true;
    store_->closeUnclosed();
    stamp(entry);
    try {
        row_ = store_->record->reserveExact(serial, board_serial, today, entry).id;
        return true;
    } catch (const record::Error& e) {
        tell_(e.what());
        return false;
    }
}

std::optional<bool> ProductionRecord::knows(const std::string& serial) {
    if (!active()) return false;
    try {
        return store_->record->serialOwner(serial).has_value();
    } catch (const record::Error& e) {
        told(record::text::kCannotWrite, e.what());
        return std::nullopt;
    }
}

std::optional<std::string> ProductionRecord::nextSerial(const std::string& day,
                                                        int config_counter) {
    if (!active()) return std::nullopt;
    try {
        const int counter = store_->record->nextCounter(day, config_counter);
        if (counter > record::kLastCounter) {
            told(record::text::kNoSerialLeft, record::SerialText(day, counter - 1));
            return std::nullopt;
        }
        return record::SerialText(day, counter);
    } catch (const record::Error& e) {
        told(record::text::kCannotWrite, e.what());
        return std::nullopt;
    }
}

void ProductionRecord::finish(record::Closing closing) {
    if (!active() || row_ == 0) return;
    Store& s = *store_;
    try {
        record::Closing carried = closing;
        carried.message = s.carried + closing.message;
        s.record->finish(row_, carried);
        s.carried.clear();
    } catch (const record::Error& e) {
        told(record::text::kCannotWrite, e.what());
        tell_("the board's outcome was: " + std::string(record::Name(closing.result)) + ", " +
              closing.message);
        s.unclosed = Store::Unclosed{row_, closing};
    }
    row_ = 0;
}

std::optional<std::vector<record::Entry>> ProductionRecord::history(const record::Filter& filter) {
    if (!active()) {
        tell_(std::string(record::text::kWithoutRecord));
        return std::nullopt;
    }
    try {
        return store_->record->history(filter);
    } catch (const record::Error& e) {
        tell_(e.what());
        return std::nullopt;
    }
}

std::optional<std::string> ProductionRecord::historyText(const record::Filter& filter,
                                                         HistoryFormat format) {
    const auto rows = history(filter);
    if (!rows) return std::nullopt;
    switch (format) {
    case HistoryFormat::Csv:
        return record::Csv(*rows);
    case HistoryFormat::Json:
        return record::Json(*rows);
    case HistoryFormat::Table:
        break;
    }
    return record::Table(*rows);
}

} // namespace plexmoor
