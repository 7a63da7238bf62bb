// plexmoor-cli's side of the production record: every board command is a
// row, begun once the programmer is open and before the board is written,
// closed with what the user saw; serials come from the record.
#pragma once

#include "cli_services.h"
#include "flash_form.h"
#include "record.h"

#include <memory>
#include <optional>
#include <string>

namespace plexmoor::cli {

// --record URL, --station NAME, --no-record.
struct RecordOptions {
    std::optional<std::string> url;
    std::string station;
    bool none = false;
};

// history's filters and format.
struct HistoryOptions {
    record::Filter filter;
    bool csv = false;
    bool json = false;
};

class BoardRecord {
  public:
    BoardRecord(FlashForm& form, CliServices& services) : form_(form), services_(services) {}
    // Opens the record the options, the environment or the settings name;
    // false (told on standard error) when it cannot be opened, before the
    // board is touched. Working without a record opens nothing.
    bool open(const RecordOptions& options);
    bool active() const { return record_ != nullptr; }
    // The serial number of the bridge every later row names.
    void setBridge(std::string serial) { bridge_ = std::move(serial); }
    // A started row for the operation, committed before the board is
    // written; false (told) when the record cannot take it.
    bool begin(record::Operation op, const std::string& image = {},
               std::optional<int32_t> address = {}, bool fast = false);
    // The serial the board is to get, reserved with its started row; told
    // and nothing when the record cannot give one.
    std::optional<std::string> reserveSerial();
    // Closes the row with the outcome and what the user saw last.
    void finish(record::Result result, const std::string& serial = {});

  private:
    record::Entry entry(record::Operation op) const;
    bool told(const record::Error& e);
    FlashForm& form_;
    CliServices& services_;
    std::unique_ptr<record::Record> record_;
    std::string station_;
    std::string bridge_;
    int64_t row_ = 0;
};

// Prints the record's rows: a table, or CSV or JSON for other tools.
int History(FlashForm& form, const RecordOptions& where, const HistoryOptions& options);

} // namespace plexmoor::cli
