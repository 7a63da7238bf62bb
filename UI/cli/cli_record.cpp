#include "cli_record.h"

#include "history_format.h"
#include "record_texts.h"
#include "texts.h"

#include <cstdio>
#include <filesystem>

namespace plexmoor::cli {
namespace {

void Tell(const std::string& why) {
    std::fprintf(stderr, "plexmoor-cli: %s\n", why.c_str());
}

// The location the settings give, "" for none.
std::string SettingsLocation(FlashForm&) {
    return {};
}

std::unique_ptr<record::Record> OpenRecord(FlashForm& form, const RecordOptions& options) {
    const record::Location where = record::Locate(options.url, options.none, SettingsLocation(form),
                                                  form.services().programFolder());
    if (where.none()) return nullptr;
    return record::Record::Open(where.url);
}

} // namespace

bool BoardRecord::open(const RecordOptions& options) {
    station_ = options.station.empty() ? record::HostName() : options.station;
    try {
        record_ = OpenRecord(form_, options);
        return true;
    } catch (const record::Error& e) {
        Tell(e.what());
        return false;
    }
}

bool BoardRecord::told(const record::Error& e) {
    char why[1024];
    std::snprintf(why, sizeof why, record::text::kCannotWrite, e.what());
    Tell(why);
    return false;
}

record::Entry BoardRecord::entry(record::Operation op) const {
    record::Entry e;
    e.station = station_;
    e.bridge = bridge_;
    e.operation = op;
    e.chip_id = form_.chipIdText();
    if (form_.chipSize() != 0) e.chip_size = static_cast<int64_t>(form_.chipSize());
    return e;
}

bool BoardRecord::begin(record::Operation op, const std::string& image,
                        std::optional<int32_t> address, bool fast) {
    if (!record_) return true;
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
        row_ = record_->begin(e);
        return true;
    } catch (const record::Error& err) {
        return told(err);
    }
}

std::optional<std::string> BoardRecord::reserveSerial() {
    const std::string prefix = form_.serialPrefix();
    try {
        const record::Reservation r =
            record_->reserveSerial(prefix.substr(text::kSerialLetters.size()),
                                   form_.todaysSerialCounter(), entry(record::Operation::Serial));
        row_ = r.id;
        return r.serial;
    } catch (const record::Error& e) {
        Tell(e.what());
        return std::nullopt;
    }
}

void BoardRecord::finish(record::Result result, const std::string& serial) {
    if (!record_ || row_ == 0) return;
    std::string message = services_.lastMessage();
    if (message.empty() || result == record::Result::Done)
        message = form_.control(C::Flash).caption();
    try {
        record_->finish(row_, result, message, serial, form_.chipIdText(),
                        form_.chipSize() != 0
                            ? std::optional<int64_t>(static_cast<int64_t>(form_.chipSize()))
                            : std::nullopt);
    } catch (const record::Error& e) {
        told(e);
        Tell("the board's outcome was: " + std::string(record::Name(result)) + ", " + message);
    }
    row_ = 0;
}

int History(FlashForm& form, const RecordOptions& where, const HistoryOptions& options) {
    try {
        auto record = OpenRecord(form, where);
        if (!record) {
            Tell("no production record: --no-record or the location \"none\"");
            return 1;
        }
        const auto rows = record->history(options.filter);
        const std::string out = options.csv    ? record::Csv(rows)
                                : options.json ? record::Json(rows)
                                               : record::Table(rows);
        std::fwrite(out.data(), 1, out.size(), stdout);
        return 0;
    } catch (const record::Error& e) {
        Tell(e.what());
        return 1;
    }
}

} // namespace plexmoor::cli
