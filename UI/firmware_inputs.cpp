// The firmware inputs: the FW DIP count, which fixes the numbers of
// firmware entries and configuration groups, and the firmware entry
// selectors.
#include "flash_form.h"

#include "text_functions.h"

namespace plexmoor {

void FlashForm::cmbBit_Click(const EventArgs&) {
    int32_t bits = WholeNumber(control("cmbBit").text());
    if (bits < 1 || bits > 3) return;
    st_.lFWCount = 1 << bits;
    st_.lGroupCount = 1 << (4 - bits);
    Control& fw = control("cmbFWGrp");
    Control& group = control("cmbGroup");
    fw.clear();
    for (int k = 1; k <= st_.lFWCount; ++k)
        fw.addItem(std::to_string(k));
    group.clear();
    for (int g = 1; g <= st_.lGroupCount; ++g)
        group.addItem(std::to_string(g));
    fw.setListIndex(0);
    group.setListIndex(0);
}

void FlashForm::cmbFWGrp_Click(const EventArgs&) {
    std::string selected = control("cmbFWGrp").text();
    if (selected.empty()) return;
    if (st_.iFWIndex > 0 && st_.iFWIndex <= kFWEntries) {
        FWInfo& shown = st_.tFW[static_cast<std::size_t>(st_.iFWIndex)];
        shown.strPath = control("txtFile3", 1).text();
        shown.strVer = control("txtFWVer", 0).text();
        shown.strDate = control("txtFWVer", 1).text();
        shown.strTime = control("txtFWVer", 2).text();
    }
    int32_t k = WholeNumber(selected);
    if (k < 1 || k > kFWEntries) return;
    const FWInfo& entry = st_.tFW[static_cast<std::size_t>(k)];
    control("txtFile3", 1).setText(entry.strPath);
    control("txtFWVer", 0).setText(entry.strVer);
    control("txtFWVer", 1).setText(entry.strDate);
    control("txtFWVer", 2).setText(entry.strTime);
    st_.iFWIndex = k;
}

void FlashForm::cmbFwGrp2_Click(const EventArgs&) {
    control("cmbFWGrp").setListIndex(control("cmbFwGrp2").listIndex());
}

} // namespace plexmoor
