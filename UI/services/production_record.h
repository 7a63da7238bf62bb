// The production record as the front ends keep it: where it lives, one row
// for every board operation (begun before the board is touched, closed with
// the operation's outcome) and serials given out by the record. Where the
// record's stores are not built, every operation works without a record
// and a record asked for is refused.
#pragma once

#include "record.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace plexmoor {

// --record URL, --station NAME and --no-record; the window has none of
// them and goes by the environment and its Record box.
struct RecordOptions {
    std::optional<std::string> url;
    std::string station;
    bool none = false;
    // A record that does not exist is made (--record-create, the window's
    // Record box); the default file beside the settings is made at its first
    // use whatever this says, any other record only where it is told.
    bool create = false;
};

// Where the record is named when no option names it: the settings' Record
// box, and the folder a record of the default name lives in.
struct RecordPlace {
    std::string setting;
    std::string folder;
};

enum class HistoryFormat { Table, Csv, Json };

class ProductionRecord {
  public:
    // Whatever the record cannot do is told through tell, before the board
    // is touched where it comes before.
    using Tell = std::function<void(const std::string&)>;
    ProductionRecord(record::FrontEnd front_end, Tell tell);
    ~ProductionRecord();
    ProductionRecord(const ProductionRecord&) = delete;
    ProductionRecord& operator=(const ProductionRecord&) = delete;
    // Added to the reason a record cannot be opened: how to go on without.
    void setUnreachableHint(std::string hint) { hint_ = std::move(hint); }

    // Opens the record the options, the environment or the place name;
    // again only where that location changed. False (told) when it cannot
    // be opened. Working without a record opens nothing and is true.
    bool open(const RecordOptions& options, const RecordPlace& place);
    // As open, the reason it cannot be opened put into why instead of told.
    bool open(const RecordOptions& options, const RecordPlace& place, std::string& why);
    // Said once, after the open that made the record: where it was made.
    std::string takeCreatedNote() { return std::exchange(created_note_, {}); }
    // Where the closes of rows the record did not take wait to be written at
    // the next open (beside the settings file).
    void setJournal(std::string path) { journal_ = std::move(path); }
    // A row's close the record did not take is in the journal: the board's
    // outcome is not lost, but the record does not show it yet.
    bool closePending() const;
    // A record is open; false when working without one.
    bool active() const;

    // A started row, committed before the board is written; the image's
    // name, size and digest are taken from image_bytes where given. False
    // (told) when the record cannot take it.
    bool begin(record::Entry entry, const std::string& image_path = {},
               const std::string* image_bytes = nullptr);
    // The board's serial, reserved with the started row: one past the
    // larger of config_counter and the day's highest in the record. Nothing
    // (told) when the record cannot give one.
    std::optional<std::string> reserveNext(const std::string& day, int config_counter,
                                           record::Entry entry);
    // Exactly serial, reserved with the started row; refused (told, with the
    // board it was written to and the next free serial) when another board
    // holds it. The row's mode says "rework" for a board holding it already.
    bool reserveExact(const std::string& serial, const std::string& board_serial,
                      const std::string& today, record::Entry entry);
    // The serial of the row begun last (a row begun without one): the
    // next, or exactly serial; nothing or false (told) as above.
    std::optional<std::string> assignNext(const std::string& day, int config_counter);
    bool assignExact(const std::string& serial, const std::string& board_serial,
                     const std::string& today);
    // Whether the record knows serial as written to a board; nothing when
    // it cannot tell (told).
    std::optional<bool> knows(const std::string& serial);
    // The serial reserveNext would give now, reserving nothing.
    std::optional<std::string> nextSerial(const std::string& day, int config_counter);
    // Closes the row begun last; a close the record does not take is kept
    // and tried again before the next row.
    void finish(record::Closing closing);
    // The row begun last and not yet closed, 0 for none.
    int64_t row() const { return row_; }

    // The rows a filter selects, or nothing (told).
    std::optional<std::vector<record::Entry>> history(const record::Filter& filter);
    // Those rows as text for a terminal or another tool.
    std::optional<std::string> historyText(const record::Filter& filter, HistoryFormat format);

    // The record itself for what only it can tell (a serial's owner); null
    // when working without one.
    record::Record* store();

  private:
    void told(const char* format, const std::string& why);
    void stamp(record::Entry& entry) const;
    void keepInJournal(int64_t row, const record::Closing& closing);
    void replayJournal();
    struct Store;
    record::FrontEnd front_end_;
    Tell tell_;
    std::string hint_;
    std::unique_ptr<Store> store_;
    std::string station_;
    int64_t row_ = 0;
    std::string created_note_;
    std::string journal_;
};

} // namespace plexmoor
