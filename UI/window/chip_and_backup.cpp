// What a production engineer needs beside the flash panel: which chip
// answered Init (and that none did), where the backups of a Flash go, and
// the restore of such a backup. Each goes without its feature where the
// library lacks the export for it.
#include "flash_form.h"

#include "data_folder.h"
#include "operation_texts.h"
#include "program_image.h"
#include "texts.h"

namespace plexmoor {

void FlashForm::showChip() {
    const ops::Chip& chip = session_.board().chip();
    Control& label = control(C::lblChip);
    switch (chip.state) {
    case ops::Chip::State::Unknown:
        label.setCaption("");
        return;
    case ops::Chip::State::Unread:
        label.setCaption(std::string(text::kChipIdUnread));
        return;
    case ops::Chip::State::None:
        label.setCaption(std::string(text::kNoChip));
        return;
    case ops::Chip::State::Answered:
        label.setCaption(chip.shown());
        return;
    }
}

std::string FlashForm::backupFolder() {
    return DataFolder(services_.programFolder());
}

void FlashForm::btnRestore_Click(const EventArgs&) {
    if (!boardReadyFor(text::kOperationRestore)) return;
    const std::string path =
        services_.openFileDialogIn(std::string(text::kBackupFilter), backupFolder());
    if (path.empty() || !openRecord()) return;
    const ops::Outcome outcome = ops::Restore(session_, path, control(C::chkFast).value() == 1,
                                              fastClockMhz(), runPanel());
    showRunOutcome(outcome);
    showOutcome(text::kOperationRestore, outcome);
}

} // namespace plexmoor
