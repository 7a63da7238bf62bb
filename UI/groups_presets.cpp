// Configuration groups: showing and storing a group, the highlighted field,
// quick settings and profile sets.
#include "flash_form.h"

#include "field_table.h"
#include "numbers.h"
#include "texts.h"

namespace plexmoor {

std::optional<std::size_t> FlashForm::confIndex(int32_t group, int32_t field) const {
    if (group < 0 || field < 0) return std::nullopt;
    int64_t at = int64_t{group} * st_.lFieldCount + field;
    if (at >= kConfEntries) return std::nullopt;
    return static_cast<std::size_t>(at);
}

bool FlashForm::versionKnown() const {
    return st_.lSysVer >= 1 && st_.lSysVer <= 4;
}

bool FlashForm::versionHasMemos() const {
    return st_.lSysVer == 3 || st_.lSysVer == 4;
}

void FlashForm::showGroupBoxes(int32_t s) {
    for (int32_t p = 0; p < st_.lFieldCount && p < kFieldBoxes; ++p)
        if (std::optional<std::size_t> at = confIndex(s - 1, p))
            control("txtMIBConf", p).setText(std::to_string(st_.lConf[*at]));
}

// A box that holds no whole number in range keeps the group's stored value
// for that field, and the user is told which position it was.
void FlashForm::storeGroupBoxes(int32_t s) {
    for (int32_t p = 0; p < st_.lFieldCount && p < kFieldBoxes; ++p) {
        std::optional<std::size_t> at = confIndex(s - 1, p);
        if (!at) continue;
        std::optional<int32_t> value = DecimalToInt32(control("txtMIBConf", p).text());
        if (value) {
            st_.lConf[*at] = *value;
        } else {
            message(std::string(text::kPosition) + std::to_string(p + 1) +
                    std::string(text::kMustBeNumeric));
        }
    }
}

void FlashForm::cmbGroup_Click(const EventArgs&) {
    if (!versionKnown()) return;
    if (st_.iGroupIndex > 0) {
        storeGroupBoxes(st_.iGroupIndex);
        if (versionHasMemos() && st_.iGroupIndex <= kMemos)
            st_.strMemo[static_cast<std::size_t>(st_.iGroupIndex - 1)] = control("txtMemo").text();
    }
    const int32_t s = WholeNumber(control("cmbGroup").text());
    if (s < 1 || s > kMemos) return;
    showGroupBoxes(s);
    if (versionHasMemos()) control("txtMemo").setText(st_.strMemo[static_cast<std::size_t>(s - 1)]);
    st_.iGroupIndex = s;
}

void FlashForm::txtMIBConf_GotFocus(const EventArgs& args) {
    const int k = args.index;
    if (k < 0 || k >= kFieldBoxes) return;
    if (st_.lFocusField >= 0 && st_.lFocusField < kFieldBoxes)
        control("lblMIBConf", st_.lFocusField).setBackColor(kButtonFace);
    control("lblMIBConf", k).setBackColor(kYellow);
    st_.lFocusField = k;
}

} // namespace plexmoor
