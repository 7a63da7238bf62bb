#include "production_record.h"

#include "history_format.h"
#include "file_replacement.h"
#include "os.h"
#include "record_texts.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace plexmoor {
namespace {

// A close the record did not take, one line of the journal: the record's
// location, then the row and how it ended, fields apart by tabs, a tab or a
// line break inside one written \t, \n.
constexpr char kJournalSeparator = '\t';

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string Unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == kJournalSeparator)
            out.emplace_back();
        else
            out.back() += c;
    }
    for (std::string& f : out)
        f = Unescaped(f);
    return out;
}

} // namespace

struct ProductionRecord::Store {
    std::unique_ptr<record::Record> record;
    std::string url; // where the open record lives
    bool pending = false; // a close waits in the journal
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
        store_->record = record::Record::Open(where.url, options.create || where.default_place);
        store_->url = where.url;
        if (store_->record->fresh())
            created_note_ = record::Shown(record::text::kNewRecord, where.url);
        // What runs killed or cut off left: their rows closed as
        // interrupted, the closes the record could not take written now.
        store_->record->closeInterrupted(
            [](int64_t process) { return os::process_alive(process); });
        replayJournal();
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

std::optional<std::string> ProductionRecord::assignNext(const std::string& day,
                                                        int config_counter) {
    if (!active() || row_ == 0) return std::nullopt;
    try {
        return store_->record->assignNext(row_, day, config_counter).serial;
    } catch (const record::Error& e) {
        tell_(e.what());
        return std::nullopt;
    }
}

bool ProductionRecord::assignExact(const std::string& serial, const std::string& board_serial,
                                   const std::string& today) {
    if (!active() || row_ == 0) return true;
    try {
        store_->record->assignExact(row_, serial, board_serial, today);
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
        keepInJournal(row_, closing);
    }
    row_ = 0;
}

bool ProductionRecord::closePending() const {
    return store_->pending;
}

// Beside the settings file, whatever happens to the record: appended and
// synced before the board's outcome is given up on.
void ProductionRecord::keepInJournal(int64_t row, const record::Closing& c) {
    store_->pending = true;
    if (journal_.empty()) return;
    const std::string fields[] = {store_->url,
                                  std::to_string(row),
                                  record::Name(c.result),
                                  c.message,
                                  c.serial,
                                  c.board_serial,
                                  c.chip_id,
                                  c.chip_size ? std::to_string(*c.chip_size) : std::string()};
    std::string line;
    for (const std::string& f : fields)
        line += (line.empty() ? "" : std::string(1, kJournalSeparator)) + Escaped(f);
    std::FILE* out = std::fopen(journal_.c_str(), "ab");
    if (!out) return;
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
    os::flush_to_disk(out);
    std::fclose(out);
}

// The closes this record did not take before, written now; the lines of
// other records stay for theirs.
void ProductionRecord::replayJournal() {
    if (journal_.empty()) return;
    std::ifstream in(journal_, std::ios::binary);
    if (!in) return;
    std::string kept;
    bool changed = false;
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> f = Fields(line);
        if (f.size() != 8 || f[0] != store_->url) {
            kept += line + "\n";
            continue;
        }
        record::Closing c;
        c.result = f[2] == "done" ? record::Result::Done
                   : f[2] == "stopped" ? record::Result::Stopped
                                       : record::Result::Failed;
        c.message = f[3];
        c.serial = f[4];
        c.board_serial = f[5];
        c.chip_id = f[6];
        if (!f[7].empty()) c.chip_size = std::stoll(f[7]);
        try {
            store_->record->finish(std::stoll(f[1]), c);
        } catch (const record::Error&) {
            // Closed meanwhile (another station's next start), or never to be:
            // either way the line has done what it can.
        }
        changed = true;
    }
    in.close();
    if (changed) ReplaceFile(journal_, kept);
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
