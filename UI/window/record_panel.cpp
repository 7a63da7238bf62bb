// The window's runs in the production record: Flash, Flash Setting,
// Restore and Load from Flash each leave a row, begun before the board is
// touched; History shows the latest rows.
#include "flash_form.h"

#include "texts.h"

namespace plexmoor {
namespace {

// Enough for a shift or two of boards; the command line reads the rest.
constexpr int kHistoryRows = 1000;

} // namespace

bool FlashForm::beginRecord(record::Operation op, const std::string& image,
                            std::optional<int32_t> address, bool fast) {
    if (!record_own_runs_) return true;
    return record_.open() && record_.begin(op, image, address, fast);
}

void FlashForm::finishRecord(record::Result result, const std::string& serial) {
    if (record_own_runs_) record_.finish(result, serial);
}

std::optional<ProductionRecord*> FlashForm::serialRecord() {
    if (!record_own_runs_) return nullptr;
    if (!record_.open()) return std::nullopt;
    return record_.active() ? &record_ : nullptr;
}

void FlashForm::btnHistory_Click(const EventArgs&) {
    if (!record_.open()) return;
    record::Filter latest;
    latest.limit = kHistoryRows;
    if (auto rows = record_.history(latest)) services_.showHistory(*rows);
}

} // namespace plexmoor
