// Builds the window's controls from the layout tables.
#include "control_table.h"

#include "field_table.h"

#include <string>

namespace plexmoor {
namespace {

using namespace layout;

Control& Add(ControlSet& set, const Row& r) {
    Control& c = set.add(std::string(r.name), r.index, r.kind);
    c.place(std::string(r.parent), r.tab, r.left, r.top, r.width, r.height);
    if (r.kind == Kind::TextBox || r.kind == Kind::MultiLineTextBox) {
        c.setText(std::string(r.content));
    } else {
        c.setCaption(std::string(r.content));
    }
    c.setTag(std::string(r.tag));
    return c;
}

// A label to the left of a box, the pair placed as one cell of a grid.
void AddLabelled(ControlSet& set, std::string_view label, std::string_view box, int index,
                 std::string_view parent, int left, int top, int label_width, int box_width,
                 std::string_view caption, std::string_view text, std::string_view tag = {}) {
    Add(set, {label, index, Kind::Label, parent, 0, left, top + 40, label_width, kLabelH, caption});
    Add(set, {box, index, Kind::TextBox, parent, 0, left + label_width + 20, top, box_width, kLine,
              text, tag});
}

void AddArrays(ControlSet& set) {
    // Firmware header boxes of the first product family.
    for (int i = 0; i < 3; ++i) {
        AddLabelled(set, "lblFWVer", "txtFWVer", i, "fmeOrvoSetting", 150 + i * 3000, 900, 1100,
                    1500, kFWVerCaptions[i], "123456");
    }
    // Configuration addresses on the parameter frame.
    for (int i = 0; i < 3; ++i) {
        AddLabelled(set, "lblCfgUnit", "txtCfgUnit", i, "FmeOrvoPar", 150, 750 + i * 410, 1330,
                    1200, kCfgUnitCaptions[i], kCfgUnitTexts[i]);
    }
    // AL header fields in two columns of twelve, active-line entries in a
    // third column, the four lists below them.
    for (int k = 1; k <= kALFields; ++k) {
        int column = (k - 1) / 12, row = (k - 1) % 12;
        const ALField& f = kALTable[static_cast<std::size_t>(k - 1)];
        AddLabelled(set, "lblAL", "txtAL", k, "fmeQuarnLite", 150 + column * 2800, 300 + row * 330,
                    1500, 1150, f.caption, f.start_text, f.tag);
    }
    for (int j = 0; j < kActiveLines; ++j) {
        const ActiveLine& a = kActiveTable[static_cast<std::size_t>(j)];
        AddLabelled(set, "lblALActive", "txtALActive", j, "fmeQuarnLite", 5750, 300 + j * 330, 2150,
                    1100, a.caption, a.start_text);
    }
    for (int i = 0; i < 4; ++i) {
        const ListBox& l = kListBoxes[i];
        int left = 150 + i * 2250;
        Add(set,
            {"lblList", i, Kind::Label, "fmeQuarnLite", 0, left, 4330, 2180, kLabelH, l.caption});
        Add(set, {l.name, kNoIndex, Kind::MultiLineTextBox, "fmeQuarnLite", 0, left, 4600, 2180,
                  2000, l.text});
    }
    // The configuration fields: three columns of sixteen, caption left of
    // its box. Captions come at start-up.
    for (int k = 0; k < kFieldBoxes; ++k) {
        int column = k / 16, row = k % 16;
        AddLabelled(set, "lblMIBConf", "txtMIBConf", k, "fmeMIB", 150 + column * 2950,
                    1580 + row * 320, 2020, 810, "",
                    kConfigFields[static_cast<std::size_t>(k)].start_text);
    }
    // Global values, two rows of eight, out of sight below the tabs.
    for (int i = 0; i < kGlobalBoxes; ++i) {
        std::string n = std::to_string(i + 1);
        AddLabelled(set, "lblGlobal", "txtGlobal", i, "Frame5", 150 + (i % 8) * 1150,
                    300 + (i / 8) * 400, 400, 650, "G" + n, n);
    }
}

} // namespace

void BuildControls(ControlSet& set) {
    Control& window = set.add(std::string(kWindowName), kNoIndex, Kind::Window);
    window.place("", 0, 0, 0, kWindowWidth, kWindowHeight);
    for (const Row& r : kRows)
        Add(set, r);

    Control& tabs = set(kTabControl);
    for (std::string_view caption : kTabCaptions)
        tabs.addItem(std::string(caption));
    for (std::string_view item : {"1", "2", "3", "4"})
        set("cmbSysVer").addItem(std::string(item));
    for (std::string_view item : {"1", "2", "3"})
        set("cmbBit").addItem(std::string(item));
    set("Timer1").setInterval(1000);
    set("Timer1").setEnabled(false);
    // Nothing on the board is lost unless the user chose so.
    set("chkBackup").setValue(1);
    set("btnStop").setEnabled(false);

    AddArrays(set);
}

} // namespace plexmoor
