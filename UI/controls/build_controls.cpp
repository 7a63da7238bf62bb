// Builds the window's controls from the layout tables.
#include "control_table.h"

#include "field_table.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace plexmoor {
namespace {

using namespace layout;

Control& Add(ControlSet& set, const Row& r) {
    Control& c = set.add(r.name, r.index, r.kind);
    c.place(r.parent ? std::string(NameOf(*r.parent)) : std::string(), r.tab, r.at.left, r.at.top,
            r.at.width, r.at.height);
    if (r.kind == Kind::TextBox || r.kind == Kind::MultiLineTextBox) {
        c.setText(std::string(r.content));
    } else {
        c.setCaption(std::string(r.content));
    }
    c.setTag(std::string(r.tag));
    return c;
}

// A label to the left of a box, the pair placed as one cell of a grid.
void AddLabelled(ControlSet& set, C label, C box, int index, C parent, int left, int top,
                 int label_width, int box_width, std::string_view caption, std::string_view text,
                 std::string_view tag = {}) {
    Add(set, {.name = label,
              .index = index,
              .kind = Kind::Label,
              .parent = parent,
              .at = {left, top + 40, label_width, kLabelH},
              .content = caption});
    Add(set, {.name = box,
              .index = index,
              .kind = Kind::TextBox,
              .parent = parent,
              .at = {left + label_width + 20, top, box_width, kLine},
              .content = text,
              .tag = tag});
}

void AddArrays(ControlSet& set) {
    // Firmware header boxes of the first product family.
    for (int i = 0; i < 3; ++i) {
        AddLabelled(set, C::lblFWVer, C::txtFWVer, i, C::fmeOrvoSetting, 150 + i * 3000, 900, 1100,
                    1500, kFWVerCaptions[i], "123456");
    }
    // Configuration addresses on the parameter frame.
    for (int i = 0; i < 3; ++i) {
        AddLabelled(set, C::lblCfgUnit, C::txtCfgUnit, i, C::FmeOrvoPar, 150, 750 + i * 410, 1330,
                    1200, kCfgUnitCaptions[i], kCfgUnitTexts[i]);
    }
    // AL header fields in two columns of twelve, active-line entries in a
    // third column, the four lists below them.
    for (int k = 1; k <= kALFields; ++k) {
        int column = (k - 1) / 12, row = (k - 1) % 12;
        const ALField& f = kALTable[static_cast<std::size_t>(k - 1)];
        AddLabelled(set, C::lblAL, C::txtAL, k, C::fmeQuarnLite, 150 + column * 2800,
                    300 + row * 330, 1500, 1150, f.caption, f.start_text, f.tag);
    }
    for (int j = 0; j < kActiveLines; ++j) {
        const ActiveLine& a = kActiveTable[static_cast<std::size_t>(j)];
        AddLabelled(set, C::lblALActive, C::txtALActive, j, C::fmeQuarnLite, 5750, 300 + j * 330,
                    2150, 1100, a.caption, a.start_text);
    }
    for (int i = 0; i < 4; ++i) {
        const ListBox& l = kListBoxes[i];
        int left = 150 + i * 2250;
        Add(set, {.name = C::lblList,
                  .index = i,
                  .kind = Kind::Label,
                  .parent = C::fmeQuarnLite,
                  .at = {left, 4330, 2180, kLabelH},
                  .content = l.caption});
        Add(set, {.name = l.name,
                  .kind = Kind::MultiLineTextBox,
                  .parent = C::fmeQuarnLite,
                  .at = {left, 4600, 2180, 2000},
                  .content = l.text});
    }
    // The configuration fields: three columns of sixteen, caption left of
    // its box. Captions come at start-up.
    for (int k = 0; k < kFieldBoxes; ++k) {
        int column = k / 16, row = k % 16;
        AddLabelled(set, C::lblMIBConf, C::txtMIBConf, k, C::fmeMIB, 150 + column * 2950,
                    1580 + row * 320, 2020, 810, "",
                    kConfigFields[static_cast<std::size_t>(k)].start_text);
    }
    // Global values, two rows of eight, out of sight below the tabs.
    for (int i = 0; i < kGlobalBoxes; ++i) {
        std::string n = std::to_string(i + 1);
        AddLabelled(set, C::lblGlobal, C::txtGlobal, i, C::Frame5, 150 + (i % 8) * 1150,
                    300 + (i / 8) * 400, 400, 650, "G" + n, n);
    }
}

} // namespace

void BuildControls(ControlSet& set) {
    Control& window = set.add(C::Flash, kNoIndex, Kind::Window);
    window.place("", 0, 0, 0, kWindowWidth, kWindowHeight);
    for (const Row& r : kRows)
        Add(set, r);

    Control& tabs = set(C::SSTab);
    for (std::string_view caption : kTabCaptions)
        tabs.addItem(std::string(caption));
    for (std::string_view item : {"1", "2", "3", "4"})
        set(C::cmbSysVer).addItem(std::string(item));
    for (std::string_view item : {"1", "2", "3"})
        set(C::cmbBit).addItem(std::string(item));
    for (const FastClock& clock : kFastClocks)
        set(C::cmbClock).addItem(std::string(clock.item));
    set(C::cmbClock).setListIndex(kDefaultFastClock);
    set(C::Timer1).setInterval(1000);
    set(C::Timer1).setEnabled(false);
    // A Flash is the plain Flash until the user asks for a backup first (the
    // settings file keeps the choice).
    set(C::chkBackup).setValue(0);
    set(C::btnStop).setEnabled(false);

    AddArrays(set);

    // A handle the table and the arrays left without a control would fail
    // only when the window first reaches it.
    std::vector<bool> placed(kControlNames.size());
    for (const Control& c : set.all())
        placed[static_cast<std::size_t>(c.id())] = true;
    for (std::size_t i = 0; i < placed.size(); ++i)
        if (!placed[i]) throw std::logic_error("no control " + std::string(kControlNames[i]));
}

} // namespace plexmoor
