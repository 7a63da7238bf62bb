// Configuration groups: showing and storing a group, the highlighted field,
// quick settings and profile sets.
#include "flash_form.h"

#include <algorithm>

#include "field_table.h"
#include "numbers.h"
#include "presets.h"
#include "text_functions.h"
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
            control(C::txtMIBConf, p).setText(std::to_string(st_.lConf[*at]));
}

// A box that holds no whole number in range keeps the group's stored value
// for that field, and the user is told which position it was.
void FlashForm::storeGroupBoxes(int32_t s) {
    for (int32_t p = 0; p < st_.lFieldCount && p < kFieldBoxes; ++p) {
        std::optional<std::size_t> at = confIndex(s - 1, p);
        if (!at) continue;
        std::optional<int32_t> value = ParseDecimal32(control(C::txtMIBConf, p).text());
        if (value) {
            st_.lConf[*at] = *value;
        } else {
            message(std::string(text::kPosition) + std::to_string(p + 1) +
                    std::string(text::kMustBeNumeric));
        }
    }
}

void FlashForm::storeShownGroup() {
    if (st_.iGroupIndex <= 0) return;
    storeGroupBoxes(st_.iGroupIndex);
    if (versionHasMemos() && st_.iGroupIndex <= kMemos)
        st_.strMemo[static_cast<std::size_t>(st_.iGroupIndex - 1)] = control(C::txtMemo).text();
}

void FlashForm::cmbGroup_Click(const EventArgs&) {
    if (!versionKnown()) return;
    storeShownGroup();
    const int32_t s = WholeNumber(control(C::cmbGroup).text());
    if (s < 1 || s > kMemos) return;
    showGroupBoxes(s);
    if (versionHasMemos())
        control(C::txtMemo).setText(st_.strMemo[static_cast<std::size_t>(s - 1)]);
    st_.iGroupIndex = s;
}

void FlashForm::ShowGroup() {
    showGroupBoxes(WholeNumber(control(C::cmbGroup).text()));
}

// Presets write with a stride of 48; with 16 fields a group they would land
// in other groups' fields, so there they write nothing and say so, once for
// the user's whole operation. Version 1 keeps the 48 fields it found and
// takes them.
bool FlashForm::presetStrideFits() {
    if (st_.lFieldCount == kPresetStride) return true;
    tellOnlyVersion3();
    return false;
}

void FlashForm::tellOnlyVersion3() {
    if (!stride_told_) message(text::kOnlySysVer3);
    stride_told_ = true;
}

void FlashForm::writePreset(int32_t h, int32_t stride, int32_t field, int32_t value) {
    int64_t at = int64_t{h} * stride + field;
    if (h >= 0 && at >= 0 && at < kConfEntries) st_.lConf[static_cast<std::size_t>(at)] = value;
}

void FlashForm::writeBandplan(int32_t h, std::size_t column) {
    for (const BandplanRow& row : kBandplanTable)
        writePreset(h, kPresetStride, row.field, row.values[column]);
}

void FlashForm::QuickSet(int32_t q, int32_t s) {
    if (!presetStrideFits()) return;
    // The bandplans made for version 3 are still written, after a word.
    if (st_.lSysVer < 3 &&
        std::find(kVersion3Plans.begin(), kVersion3Plans.end(), q) != kVersion3Plans.end())
        tellOnlyVersion3();
    int32_t first = s - 1, last = s - 1;
    if (control(C::chkAllPort).value() == 1) {
        first = 0;
        last = st_.lGroupCount - 1;
    }
    const auto plan = std::find(kBandplans.begin(), kBandplans.end(), q);
    const auto mode = std::find_if(kModeTable.begin(), kModeTable.end(),
                                   [q](const ModeSetting& m) { return m.number == q; });
    for (int32_t h = first; h <= last; ++h) {
        if (plan != kBandplans.end()) {
            writeBandplan(h, static_cast<std::size_t>(plan - kBandplans.begin()));
        } else if (mode != kModeTable.end()) {
            for (std::size_t i = 0; i < mode->count; ++i)
                writePreset(h, kPresetStride, mode->writes[i].field, mode->writes[i].value);
        }
    }
    showGroupBoxes(s);
}

// Each box's value into field p of every group; a box that holds no whole
// number leaves every group's stored value, and the user is told.
void FlashForm::copyBoxToAllGroups(int32_t p) {
    std::optional<int32_t> value = ParseDecimal32(control(C::txtMIBConf, p).text());
    if (!value) {
        message(std::string(text::kPosition) + std::to_string(p + 1) +
                std::string(text::kMustBeNumeric));
        return;
    }
    for (int32_t h = 0; h < st_.lGroupCount; ++h)
        writePreset(h, st_.lFieldCount, p, *value);
}

void FlashForm::applyBandplanSet(const std::array<GroupPlan, 8>& plans) {
    ApplySet(1);
    control(C::chkAllPort).setValue(0);
    for (const GroupPlan& g : plans)
        QuickSet(g.bandplan, g.group);
    for (int32_t h = 0; h < st_.lGroupCount; ++h)
        for (int32_t field : kRateFields)
            writePreset(h, st_.lFieldCount, field, kSet67Rate);
    ShowGroup();
}

void FlashForm::ApplySet(int32_t n) {
    const int32_t N = st_.lFieldCount;
    switch (n) {
    case 1: {
        ConfDef();
        for (int32_t h = 0; h < st_.lGroupCount; ++h)
            for (const OptionRow& row : kOptionRule)
                if (InGroups(row.groups, h))
                    for (std::size_t i = 0; i < row.count; ++i)
                        writePreset(h, N, row.writes[i].field, row.writes[i].value);
        const int32_t s = WholeNumber(control(C::cmbGroup).text());
        showGroupBoxes(s);
        st_.iGroupIndex = s;
        break;
    }
    case 2:
        ConfDef();
        ShowGroup();
        cmbGroup_Click({});
        break;
    case 3:
        for (int32_t p = 0; p < N && p < kFieldBoxes; ++p)
            copyBoxToAllGroups(p);
        cmbGroup_Click({});
        break;
    case 4:
        // A highlight beyond the group's fields (boxes 16 ... 47 under
        // version 2) belongs to no field of a group.
        if (st_.lFocusField >= 0 && st_.lFocusField < N) copyBoxToAllGroups(st_.lFocusField);
        cmbGroup_Click({});
        break;
    case 5:
        ApplySet(1);
        control(C::chkAllPort).setValue(1);
        QuickSet(kSet5Bandplan, 1);
        ShowGroup();
        break;
    case 6:
        applyBandplanSet(kSet6Plans);
        break;
    case 7:
        applyBandplanSet(kSet7Plans);
        break;
    case 100:
        if (!presetStrideFits()) return;
        for (int32_t h = 0; h < st_.lGroupCount; ++h)
            for (int32_t k = 0; k < kPresetStride; ++k)
                writePreset(h, kPresetStride, k, kPresetStride * h + k);
        ShowGroup();
        break;
    case 101:
        if (!presetStrideFits()) return;
        for (int32_t h = 0; h < st_.lGroupCount; ++h)
            for (int32_t k = 0; k < kFieldBoxes; ++k)
                writePreset(h, N, k,
                            k < static_cast<int32_t>(kSet101Fields.size())
                                ? kSet101Fields[static_cast<std::size_t>(k)]
                                : 0);
        ShowGroup();
        cmbGroup_Click({});
        for (std::size_t g = 0; g < kSet101Bandplans.size(); ++g) {
            const auto plan = std::find(kBandplans.begin(), kBandplans.end(), kSet101Bandplans[g]);
            writeBandplan(static_cast<int32_t>(g),
                          static_cast<std::size_t>(plan - kBandplans.begin()));
        }
        ShowGroup();
        break;
    default:
        break;
    }
}

void FlashForm::BtnQuick_Click(const EventArgs&) {
    stride_told_ = false;
    QuickSet(WholeNumber(FieldOf(control(C::cmbQuick).text(), "-", 1)),
             WholeNumber(control(C::cmbGroup).text()));
}

void FlashForm::btnSets_Click(const EventArgs&) {
    stride_told_ = false;
    ApplySet(WholeNumber(FieldOf(control(C::cmbSets).text(), "-", 1)));
}

void FlashForm::txtMIBConf_GotFocus(const EventArgs& args) {
    const int k = args.index;
    if (k < 0 || k >= kFieldBoxes) return;
    if (st_.lFocusField >= 0 && st_.lFocusField < kFieldBoxes)
        control(C::lblMIBConf, st_.lFocusField).setBackColor(kButtonFace);
    control(C::lblMIBConf, k).setBackColor(kYellow);
    st_.lFocusField = k;
}

} // namespace plexmoor
