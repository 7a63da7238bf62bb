// Serial numbers: generating the next one from the box and the date, and
// writing the configuration block with the box's serial straight to the
// board. With a production record the record reserves that serial, and
// refuses one another board holds.
#include "flash_form.h"

#include "configuration_operations.h"
#include "operation_texts.h"
#include "program_image.h"
#include "serial_numbers.h"
#include "texts.h"

namespace plexmoor {

void FlashForm::btnGenerate_Click(const EventArgs&) {
    Control& box = control(C::txtSerial);
    const std::optional<std::string> next = ops::NextSerial(box.text(), services_.today());
    if (!next) {
        message(text::kSerialFormat);
        return;
    }
    box.setText(*next);
}

void FlashForm::btnSerial_Click(const EventArgs&) {
    if (!boardReadyFor(text::kOperationSetting) || !openRecord()) return;
    ops::SettingRequest r;
    r.ask_over_known = true;
    const ops::Outcome outcome = ops::FlashSetting(session_, *this, r, runPanel());
    // The block is written or it is not; the caption says which. A refusal
    // before the write leaves the caption as it was.
    if (outcome.result == ops::Result::Done || outcome.result == ops::Result::Failed)
        ShowCaption(outcome.ok() ? text::kFlashComplete : text::kFlashError);
    showOutcome(text::kOperationSetting, outcome);
}

std::string FlashForm::serial() {
    return control(C::txtSerial).text();
}

void FlashForm::setSerial(const std::string& serial) {
    control(C::txtSerial).setText(serial);
}

} // namespace plexmoor
