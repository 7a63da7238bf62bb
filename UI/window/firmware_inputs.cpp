// The firmware inputs: the FW DIP count, which fixes the numbers of
// firmware entries and configuration groups, the firmware entry selectors,
// the date and time stamp, the file choosers and StoreEdits.
#include "flash_form.h"

#include "field_table.h"
#include "numbers.h"
#include "text_functions.h"
#include "texts.h"

#include <array>

namespace plexmoor {
namespace {

constexpr int kEnterKey = 13;
constexpr std::size_t kStampHalf = 6;

// The box each file chooser fills, by the chooser's index.
constexpr std::array<std::pair<C, int>, 6> kChooserTargets = {{
    {C::txtPath, kNoIndex},
    {C::txtFile3, 0},
    {C::txtFile3, 1},
    {C::txtFile3, 2},
    {C::txtPath2, kNoIndex},
    {C::txtReSrc, kNoIndex},
}};

} // namespace

void FlashForm::cmbBit_Click(const EventArgs&) {
    int32_t bits = WholeNumber(control(C::cmbBit).text());
    if (bits < 1 || bits > 3) return;
    st_.lFWCount = 1 << bits;
    st_.lGroupCount = 1 << (4 - bits);
    Control& fw = control(C::cmbFWGrp);
    Control& group = control(C::cmbGroup);
    fw.clear();
    for (int k = 1; k <= st_.lFWCount; ++k)
        fw.addItem(std::to_string(k));
    group.clear();
    for (int g = 1; g <= st_.lGroupCount; ++g)
        group.addItem(std::to_string(g));
    fw.setListIndex(0);
    group.setListIndex(0);
}

void FlashForm::keepShownFirmwareEntry() {
    if (st_.iFWIndex < 0 || st_.iFWIndex > kFWEntries) return;
    FWInfo& shown = st_.tFW[static_cast<std::size_t>(st_.iFWIndex)];
    shown.strPath = control(C::txtFile3, 1).text();
    shown.strVer = control(C::txtFWVer, 0).text();
    shown.strDate = control(C::txtFWVer, 1).text();
    shown.strTime = control(C::txtFWVer, 2).text();
}

void FlashForm::showFirmwareEntry(int k) {
    if (k < 1 || k > kFWEntries) return;
    const FWInfo& entry = st_.tFW[static_cast<std::size_t>(k)];
    control(C::txtFile3, 1).setText(entry.strPath);
    control(C::txtFWVer, 0).setText(entry.strVer);
    control(C::txtFWVer, 1).setText(entry.strDate);
    control(C::txtFWVer, 2).setText(entry.strTime);
}

void FlashForm::cmbFWGrp_Click(const EventArgs&) {
    std::string selected = control(C::cmbFWGrp).text();
    if (selected.empty()) return;
    if (st_.iFWIndex > 0) keepShownFirmwareEntry();
    int32_t k = WholeNumber(selected);
    if (k < 1 || k > kFWEntries) return;
    showFirmwareEntry(k);
    st_.iFWIndex = k;
}

void FlashForm::cmbFwGrp2_Click(const EventArgs&) {
    control(C::cmbFWGrp).setListIndex(control(C::cmbFwGrp2).listIndex());
}

// Enter takes the stamp: its date and time halves into the header boxes,
// and the stamp into every file name that carries one.
void FlashForm::txtFW_KeyPress(const EventArgs& args) {
    if (args.key != kEnterKey) return;
    const std::string stamp = control(C::txtFW).text();
    control(C::txtFWVer, 1).setText(stamp.substr(0, kStampHalf));
    control(C::txtFWVer, 2)
        .setText(stamp.size() > kStampHalf ? stamp.substr(stamp.size() - kStampHalf) : stamp);
    for (int i = 0; i < 3; ++i) {
        Control& file = control(C::txtFile3, i);
        file.setText(ReplaceStamp(file.text(), stamp));
    }
    Control& out = control(C::txtPath2);
    out.setText(ReplaceStamp(ReplaceStamp(out.text(), stamp), stamp));
}

// Positions count from 1 as the name's characters do; a "_" qualifies with
// six numeric characters on either side and at least one more after them,
// so every character looked at lies inside the name.
std::string FlashForm::ReplaceStamp(std::string_view name, std::string_view stamp) {
    const std::size_t length = name.size();
    for (std::size_t p = 1; p <= length; ++p) {
        if (name[p - 1] != '_') continue;
        if (p <= kStampHalf || p + kStampHalf >= length) continue;
        std::string_view before = name.substr(p - 1 - kStampHalf, kStampHalf);
        std::string_view after = name.substr(p, kStampHalf);
        if (!IsNumber(before) || !IsNumber(after)) continue;
        std::string out(name.substr(0, p - 1 - kStampHalf));
        out += stamp;
        out += name.substr(p + kStampHalf);
        return out;
    }
    return std::string(name);
}

void FlashForm::btnChoose_Click(const EventArgs& args) {
    if (args.index < 0 || args.index >= static_cast<int>(kChooserTargets.size())) return;
    auto [name, index] = kChooserTargets[static_cast<std::size_t>(args.index)];
    std::string chosen = services_.openFileDialog(std::string(text::kMapFileFilter));
    if (!chosen.empty()) control(name, index).setText(chosen);
}

// Stops at the first box that holds no number the field can take, after
// saying which; the caller then goes no further with half-stored values.
bool FlashForm::StoreEdits() {
    const int32_t g = WholeNumber(control(C::cmbGroup).text());
    for (int32_t i = 0; i < st_.lFieldCount && i < kFieldBoxes; ++i) {
        const std::string box = control(C::txtMIBConf, i).text();
        std::optional<int32_t> value = ParseDecimal32(box);
        if (!value) {
            message(std::string(text::kPosition) + std::to_string(i + 1) +
                    std::string(text::kMustBeNumeric));
            return false;
        }
        if (std::optional<std::size_t> at = confIndex(g - 1, i)) st_.lConf[*at] = *value;
    }
    keepShownFirmwareEntry();
    return true;
}

} // namespace plexmoor
