// Serial numbers: generating the next one and writing the configuration
// block with it straight to the board.
#include "flash_form.h"

#include "text_functions.h"
#include "texts.h"
#include "zintra.h"

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
    if (serial.compare(0, kPrefixLength, prefix) != 0) {
        box.setText(prefix + "001");
        return;
    }
    // Only three decimal digits count a day's boards: a sign, a blank or a
    // fraction there is no counter.
    const std::string counter = serial.substr(kPrefixLength);
    const int value = ThreeDigits(counter) ? std::stoi(counter) : kLastOfADay;
    if (value >= kLastOfADay) {
        message(text::kSerialFormat);
        return;
    }
    char next[16];
    std::snprintf(next, sizeof next, "%03d", value + 1);
    box.setText(prefix + next);
}

void FlashForm::btnSerial_Click(const EventArgs&) {
    if (!boardReady() || !StoreEdits()) return;
    ShowCaption(text::kFlashStart);
    if (!PackMIBConf()) return;
    // The block is written or it is not; the caption says which.
    const bool written = zintra_.FlashSerial() != 0;
    ShowCaption(written ? text::kFlashComplete : text::kFlashError);
}

} // namespace plexmoor
