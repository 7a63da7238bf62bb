// The production record as both front ends keep it: one row for every
// board operation, begun before the board is touched and closed with what
// the user saw, and serials given out by the record. The window's own runs
// and plexmoor-cli's commands go through here; where the record's stores
// are not built (Windows) a build works without a record.
#pragma once

#include "record.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plexmoor {

class FlashForm;

// --record URL, --station NAME and --no-record; the window has none of
// them and goes by the environment and its Record box.
struct RecordOptions {
    std::optional<std::string> url;
    std::string station;
    bool none = false;
};

enum class HistoryFormat { Table, Csv, Json };

class ProductionRecord {
  public:
    // Whatever the record cannot do is told through tell, before the board
    // is touched where it comes before.
    using Tell = std::function<void(const std::string&)>;
    ProductionRecord(FlashForm& form, Tell tell);
    ~ProductionRecord();
    ProductionRecord(const ProductionRecord&) = delete;
    ProductionRecord& operator=(const ProductionRecord&) = delete;
    // Added to the reason a record cannot be opened: how to go on without.
    void setUnreachableHint(std::string hint) { hint_ = std::move(hint); }

    // Opens the record the options, the environment or the settings' Record
    // box name; again only where that place changed. False (told) when it
    // cannot be opened. Working without a record opens nothing and is true.
    bool open(const RecordOptions& options = {});
    // A record is open; false when working without one.
    bool active() const;
    // A started row, committed before the board is written; false (told)
    // when the record cannot take it.
    bool begin(record::Operation op, const std::string& image = {},
               std::optional<int32_t> address = {}, bool fast = false);
    // The board's serial, reserved with the started row of op: one past the
    // larger of config_counter and today's highest in the record. Nothing
    // (told) when the record cannot give one.
    std::optional<std::string> reserveSerial(int config_counter,
                                             record::Operation op = record::Operation::Serial);
    // The serial reserveSerial would give now, reserving nothing.
    std::optional<std::string> nextSerial(int config_counter);
    // Closes the row begun last with the outcome and what the user was
    // told since it began (the window's caption when nothing was).
    void finish(record::Result result, const std::string& serial = {});
    // The rows a filter selects, or nothing (told).
    std::optional<std::vector<record::Entry>> history(const record::Filter& filter);
    // Those rows as text for a terminal or another tool.
    std::optional<std::string> historyText(const record::Filter& filter, HistoryFormat format);

  private:
    record::Entry entry(record::Operation op) const;
    void told(const char* format, const std::string& why);
    struct Store;
    FlashForm& form_;
    Tell tell_;
    std::string hint_;
    std::unique_ptr<Store> store_;
    std::string station_;
    int64_t row_ = 0;
    std::size_t told_mark_ = 0;
};

} // namespace plexmoor
