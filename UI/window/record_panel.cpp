// The production record of the window's runs: where it lives (the Record
// box, the environment, beside the settings file), and History with the
// latest rows. Each operation keeps its own row.
#include "flash_form.h"

#include "data_folder.h"
#include "text_functions.h"

#include <filesystem>
#include "texts.h"

namespace plexmoor {
namespace {

// Enough for a shift or two of boards; the command line reads the rest.
constexpr int kHistoryRows = 1000;

} // namespace

RecordPlace FlashForm::recordPlace() {
    return RecordPlace{Trim(control(C::txtRecord).text()), DataFolder(services_.programFolder())};
}

// The Record box names the record the user wants: one it names that does
// not exist yet is made, and said so on the result line.
bool FlashForm::openRecord() {
    std::string why;
    const bool opened = openRecordQuietly(why);
    if (!opened) message(why);
    return opened;
}

bool FlashForm::openRecordQuietly(std::string& why) {
    const RecordPlace place = recordPlace();
    ProductionRecord& record = session_.record();
    record.setJournal((std::filesystem::path(place.folder) / record::kJournalFile).string());
    RecordOptions options;
    options.create = true;
    if (!record.open(options, place, why)) return false;
    if (const std::string note = record.takeCreatedNote(); !note.empty()) showResult(note);
    return true;
}

// A read goes on where the record cannot be reached, which is said once
// for the window's life.
void FlashForm::openRecordForRead() {
    std::string why;
    if (openRecordQuietly(why)) return;
    if (record_unreachable_told_) return;
    record_unreachable_told_ = true;
    message(why + std::string(text::kReadsWithoutRecord));
}

void FlashForm::btnHistory_Click(const EventArgs&) {
    if (!openRecord()) return;
    record::Filter latest;
    latest.limit = kHistoryRows;
    if (auto rows = session_.record().history(latest)) services_.showHistory(*rows);
}

} // namespace plexmoor
