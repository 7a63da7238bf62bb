// Serial numbers: generating the next one and writing the configuration
// block with it straight to the board. With a production record the record
// gives them: the serial box is the one the user wants next, given unless
// the record holds it or a later one already.
#include "flash_form.h"

#include "text_functions.h"
#include "texts.h"
#include "zintra.h"

#include <algorithm>
#include <cstdio>

namespace plexmoor {
namespace {

constexpr std::size_t kSerialLength = 11;
constexpr std::size_t kPrefixLength = 8; // "QV" and YYMMDD
constexpr int kLastOfADay = 999;

bool ThreeDigits(std::string_view s) {
    if (s.size() != 3) return false;
    for (char ch : s)
        if (ch < '0' || ch > '9') return false;
    return true;
}

} // namespace

std::string FlashForm::serialPrefix() {
    const Date d = services_.today();
    char date[16];
    std::snprintf(date, sizeof date, "%02d%02d%02d", ((d.year % 100) + 100) % 100, d.month % 100,
                  d.day % 100);
    return std::string(text::kSerialLetters) + date;
}

int FlashForm::todaysSerialCounter() {
    const std::string serial = Trim(control(C::txtSerial).text());
    if (serial.size() != kSerialLength || serial.compare(0, kPrefixLength, serialPrefix()) != 0)
        return 0;
    const std::string counter = serial.substr(kPrefixLength);
    return ThreeDigits(counter) ? std::stoi(counter) : 0;
}

void FlashForm::btnGenerate_Click(const EventArgs&) {
    Control& box = control(C::txtSerial);
    const std::string serial = Trim(box.text());
    if (serial.size() != kSerialLength) {
        message(text::kSerialFormat);
        return;
    }
    const std::string prefix = serialPrefix();
    const bool today = serial.compare(0, kPrefixLength, prefix) == 0;
    // Only three decimal digits count a day's boards: a sign, a blank or a
    // fraction there is no counter.
    const std::string counter = serial.substr(kPrefixLength);
    const int value = !today ? 0 : ThreeDigits(counter) ? std::stoi(counter) : kLastOfADay;
    if (value >= kLastOfADay) {
        message(text::kSerialFormat);
        return;
    }
    // What the record would give after the box, without reserving it.
    const std::optional<ProductionRecord*> giver = serialRecord();
    if (!giver) return;
    if (*giver) {
        if (const auto next = (*giver)->nextSerial(value)) box.setText(*next);
        return;
    }
    if (!today) {
        box.setText(prefix + "001");
        return;
    }
    char next[16];
    std::snprintf(next, sizeof next, "%03d", value + 1);
    box.setText(prefix + next);
}

void FlashForm::btnSerial_Click(const EventArgs&) {
    if (!boardReady() || !StoreEdits()) return;
    // The serial is the record's, reserved with its row before the board is
    // written; the box's own if nothing in the record holds it or a later one.
    const std::optional<ProductionRecord*> giver = serialRecord();
    if (!giver) return;
    if (*giver) {
        const auto serial = (*giver)->reserveSerial(std::max(todaysSerialCounter() - 1, 0),
                                                    record::Operation::FlashSetting);
        if (!serial) return;
        control(C::txtSerial).setText(*serial);
    }
    ShowCaption(text::kFlashStart);
    if (!PackMIBConf()) {
        finishRecord(record::Result::Failed);
        return;
    }
    // The block is written or it is not; the caption says which.
    const bool written = zintra_.FlashSerial() != 0;
    ShowCaption(written ? text::kFlashComplete : text::kFlashError);
    finishRecord(written ? record::Result::Done : record::Result::Failed);
}

} // namespace plexmoor
