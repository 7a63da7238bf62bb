#include "production_record.h"

#include "flash_form.h"
#include "history_format.h"
#include "record_texts.h"
#include "text_functions.h"
#include "texts.h"

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
        record::Result result;
        std::string message;
        std::string serial;
    };
    std::optional<Unclosed> unclosed;
    std::string carried;

    void closeUnclosed() {
        if (!unclosed || !record) return;
        try {
            record->finish(unclosed->id, unclosed->result, unclosed->message, unclosed->serial);
        } catch (const record::Error&) {
            carried = "row " + std::to_string(unclosed->id) + " was left started, its board " +
                      record::Name(unclosed->result) + ": " + unclosed->message + "; ";
        }
        unclosed.reset();
    }
};

ProductionRecord::ProductionRecord(FlashForm& form, Tell tell)
    : form_(form), tell_(std::move(tell)), store_(std::make_unique<Store>()) {}

ProductionRecord::~ProductionRecord() = default;

bool ProductionRecord::open(const RecordOptions& options) {
    station_ = options.station.empty() ? record::HostName() : options.station;
    const record::Location where =
        record::Locate(options.url, options.none, Trim(form_.control(C::txtRecord).text()),
                       form_.services().programFolder());
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
        tell_(e.what() + hint_);
        return false;
    }
}

bool ProductionRecord::active() const {
    return store_->record != nullptr;
}

void ProductionRecord::told(const char* format, const std::string& why) {
    std::vector<char> text(std::string_view(format).size() + why.size() + 1);
    std::snprintf(text.data(), text.size(), format, why.c_str());
    tell_(text.data());
}

record::Entry ProductionRecord::entry(record::Operation op) const {
    record::Entry e;
    e.station = station_;
    e.bridge = form_.chosenBridge();
    e.operation = op;
    e.chip_id = form_.chipIdText();
    if (form_.chipSize() != 0) e.chip_size = static_cast<int64_t>(form_.chipSize());
    return e;
}

bool ProductionRecord::begin(record::Operation op, const std::string& image,
                             std::optional<int32_t> address, bool fast) {
    row_ = 0;
    told_mark_ = form_.toldCount();
    if (!active()) return true;
    // A row an earlier close could not reach is closed first, now that the
    // record answers again.
    store_->closeUnclosed();
    record::Entry e = entry(op);
    if (!image.empty()) {
        e.image = std::filesystem::path(image).filename().string();
        std::error_code ec;
        const auto size = std::filesystem::file_size(image, ec);
        if (!ec) e.image_size = static_cast<int64_t>(size);
        e.image_sha256 = record::FileSha256(image);
    }
    e.address = address;
    if (address) e.mode = fast ? "fast" : "exact";
    try {
        row_ = store_->record->begin(e);
        return true;
    } catch (const record::Error& err) {
        told(record::text::kCannotWrite, err.what());
        return false;
    }
}

std::optional<std::string> ProductionRecord::reserveSerial(int config_counter,
                                                           record::Operation op) {
    row_ = 0;
    told_mark_ = form_.toldCount();
    if (!active()) return std::nullopt;
    store_->closeUnclosed();
    const std::string day = form_.serialPrefix().substr(text::kSerialLetters.size());
    try {
        const record::Reservation r = store_->record->reserveSerial(day, config_counter, entry(op));
        row_ = r.id;
        return r.serial;
    } catch (const record::Error& e) {
        tell_(e.what());
        return std::nullopt;
    }
}

std::optional<std::string> ProductionRecord::nextSerial(int config_counter) {
    if (!active()) return std::nullopt;
    const std::string day = form_.serialPrefix().substr(text::kSerialLetters.size());
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

void ProductionRecord::finish(record::Result result, const std::string& serial) {
    if (!active() || row_ == 0) return;
    Store& s = *store_;
    std::string message = form_.toldCount() > told_mark_ ? form_.lastTold() : std::string();
    if (message.empty() || result == record::Result::Done)
        message = form_.control(C::Flash).caption();
    const std::string chip = form_.chipIdText();
    const auto size = form_.chipSize() != 0
                          ? std::optional<int64_t>(static_cast<int64_t>(form_.chipSize()))
                          : std::nullopt;
    try {
        s.record->finish(row_, result, s.carried + message, serial, chip, size);
        s.carried.clear();
    } catch (const record::Error& e) {
        told(record::text::kCannotWrite, e.what());
        tell_("the board's outcome was: " + std::string(record::Name(result)) + ", " + message);
        s.unclosed = Store::Unclosed{row_, result, message, serial};
    }
    row_ = 0;
}

std::optional<std::vector<record::Entry>> ProductionRecord::history(const record::Filter& filter) {
    if (!active()) {
        tell_(std::string(text::kWithoutRecord));
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
