// The window's controls, their captions, start texts, tags and places, and
// the lists the start-up fills, kept as data.
#pragma once

#include "controls.h"

#include <array>
#include <string_view>

namespace plexmoor {

// Outer size of the window in twips, and the client area inside the
// standard caption and borders it is designed for.
inline constexpr int kWindowWidth = 9795;
inline constexpr int kWindowHeight = 8640;
inline constexpr int kClientWidth = 9675;
inline constexpr int kClientHeight = 8130;
inline constexpr int kTwipsPerInch = 1440;

inline constexpr std::string_view kWindowName = "Flash";
inline constexpr std::string_view kTabControl = "SSTab";
inline constexpr std::array<std::string_view, 4> kTabCaptions = {"Flash", "Setting", "MIB",
                                                                 "Design"};

// The device buttons locked while the flash is programmed, and the order
// in which they are unlocked again.
inline constexpr std::array<std::string_view, 5> kLockedButtons = {
    "Command2", "Command3", "btnSerial", "cmdParse", "btnLoadFlash"};
inline constexpr std::array<std::string_view, 5> kUnlockOrder = {
    "Command3", "Command2", "btnSerial", "cmdParse", "btnLoadFlash"};

// What else a run locks: the other run buttons and its options.
inline constexpr std::array<std::string_view, 3> kLockedAdditions = {"btnRestore", "chkFast",
                                                                     "chkBackup"};

namespace layout {

// One control: where it sits (parent frame, or the tab control with a tab
// number, or the window), its place in twips, and what it shows at start.
// For text boxes `content` is the start text, for everything else the
// caption.
struct Row {
    std::string_view name;
    int index;
    Kind kind;
    std::string_view parent;
    int tab;
    int left, top, width, height;
    std::string_view content = {};
    std::string_view tag = {};
};

inline constexpr int kLine = 315;   // a text box or list
inline constexpr int kLabelH = 255; // a label
inline constexpr int kButtonH = 375;
inline constexpr int kTall = 450; // the main buttons of a panel

inline constexpr std::string_view kTabs = "SSTab";
inline constexpr int kTabFlash = 0, kTabSetting = 1, kTabMib = 2, kTabDesign = 3;

// Named controls, containers before what they hold.
inline constexpr Row kRows[] = {
    // The window and what sits on it outside the tabs.
    {"Label17", kNoIndex, Kind::Label, "", 0, 120, 150, 1500, kLabelH, "Product Selection"},
    {"cmbPrd", kNoIndex, Kind::ComboBox, "", 0, 1650, 100, 1900, kLine},
    {"Label8", kNoIndex, Kind::Label, "", 0, 3750, 150, 1000, kLabelH, "Sys Version"},
    {"cmbSysVer", kNoIndex, Kind::ComboBox, "", 0, 4770, 100, 700, kLine},
    {"btnLoadCfg", kNoIndex, Kind::Button, "", 0, 6660, 75, 1400, kButtonH, "Load config"},
    {"btnSaveCfg", kNoIndex, Kind::Button, "", 0, 8160, 75, 1400, kButtonH, "Save config"},
    {"SSTab", kNoIndex, Kind::TabControl, "", 0, 120, 570, 9435, 7440},
    {"Timer1", kNoIndex, Kind::Timer, "", 0, 0, 0, 0, 0},
    {"CD", kNoIndex, Kind::FileDialog, "", 0, 0, 0, 0, 0},
    {"Frame5", kNoIndex, Kind::Frame, "", 0, 120, 8100, 9435, 1300, "Global Configuration"},

    // "Flash" tab.
    {"FmeFWSelect", kNoIndex, Kind::Frame, kTabs, kTabFlash, 90, 120, 9200, 1000, "File Selection"},
    {"Label1", kNoIndex, Kind::Label, "FmeFWSelect", 0, 150, 440, 2500, kLabelH,
     "Released Firmware filename"},
    {"txtPath", kNoIndex, Kind::TextBox, "FmeFWSelect", 0, 2700, 400, 5700, kLine},
    {"btnChoose", 0, Kind::Button, "FmeFWSelect", 0, 8500, 370, 550, kButtonH, "..."},
    {"FmeOrvoFlash", kNoIndex, Kind::Frame, kTabs, kTabFlash, 90, 1260, 9200, 3000, "Orvo Flash"},
    {"Command2", kNoIndex, Kind::Button, "FmeOrvoFlash", 0, 150, 400, 1500, kTall, "Init"},
    {"Command3", kNoIndex, Kind::Button, "FmeOrvoFlash", 0, 1800, 400, 1500, kTall, "Flash"},
    {"btnLoadFlash", kNoIndex, Kind::Button, "FmeOrvoFlash", 0, 3450, 400, 1800, kTall,
     "Load from Flash"},
    {"btnSerial", kNoIndex, Kind::Button, "FmeOrvoFlash", 0, 5400, 400, 1800, kTall,
     "Flash Setting"},
    {"btnStop", kNoIndex, Kind::Button, "FmeOrvoFlash", 0, 7350, 400, 1500, kTall, "Stop"},
    // Which chip answered Init, or that none did.
    {"lblChip", kNoIndex, Kind::Label, "FmeOrvoFlash", 0, 150, 960, 8700, kLabelH},
    {"Label5", kNoIndex, Kind::Label, "FmeOrvoFlash", 0, 150, 1420, 1400, kLabelH,
     "Serial Number:"},
    {"txtSerial", kNoIndex, Kind::TextBox, "FmeOrvoFlash", 0, 1600, 1380, 2400, kLine,
     "QV060904001"},
    {"btnGenerate", kNoIndex, Kind::Button, "FmeOrvoFlash", 0, 4150, 1350, 1800, kButtonH,
     "Generate Serial"},
    {"chkFast", kNoIndex, Kind::CheckBox, "FmeOrvoFlash", 0, 150, 1900, 2300, 300,
     "Fast programming"},
    {"chkBackup", kNoIndex, Kind::CheckBox, "FmeOrvoFlash", 0, 2550, 1900, 3900, 300,
     "Back up the flash before writing"},
    {"btnRestore", kNoIndex, Kind::Button, "FmeOrvoFlash", 0, 6600, 1860, 2250, kButtonH,
     "Restore backup..."},
    // Progress a person can read: a bar, the time left, at the end the
    // time taken and the rate.
    {"pgbFlash", kNoIndex, Kind::ProgressBar, "FmeOrvoFlash", 0, 150, 2450, 5000, kLine},
    {"lblProgress", kNoIndex, Kind::Label, "FmeOrvoFlash", 0, 5300, 2480, 3550, kLabelH},

    // "Setting" tab: the two product frames share one place.
    {"fmeQuarnLite", kNoIndex, Kind::Frame, kTabs, kTabSetting, 90, 120, 9200, 6750,
     "Quarn-Lite Setting", "Quarn"},
    {"fmeOrvoSetting", kNoIndex, Kind::Frame, kTabs, kTabSetting, 300, 3300, 9200, 1700,
     "Orvo Setting Header", "Orvo"},
    {"lblBit", kNoIndex, Kind::Label, "fmeOrvoSetting", 0, 150, 420, 1300, kLabelH, "FW DIP count"},
    {"cmbBit", kNoIndex, Kind::ComboBox, "fmeOrvoSetting", 0, 1500, 380, 700, kLine},
    {"lblFWGrp", kNoIndex, Kind::Label, "fmeOrvoSetting", 0, 2500, 420, 400, kLabelH, "FW"},
    {"cmbFWGrp", kNoIndex, Kind::ComboBox, "fmeOrvoSetting", 0, 2950, 380, 700, kLine},

    // "MIB" tab.
    {"fmeMIB", kNoIndex, Kind::Frame, kTabs, kTabMib, 90, 120, 9200, 6750, "MIB Configuration"},
    {"lblGroup", kNoIndex, Kind::Label, "fmeMIB", 0, 150, 340, 600, kLabelH, "Profile"},
    {"cmbGroup", kNoIndex, Kind::ComboBox, "fmeMIB", 0, 760, 300, 700, kLine},
    {"lblSets", kNoIndex, Kind::Label, "fmeMIB", 0, 1600, 340, 450, kLabelH, "Sets"},
    {"cmbSets", kNoIndex, Kind::ComboBox, "fmeMIB", 0, 2060, 300, 2800, kLine},
    {"btnSets", kNoIndex, Kind::Button, "fmeMIB", 0, 4920, 270, 900, kButtonH, "Update"},
    {"cmbQuick", kNoIndex, Kind::ComboBox, "fmeMIB", 0, 150, 720, 4450, kLine},
    {"BtnQuick", kNoIndex, Kind::Button, "fmeMIB", 0, 4660, 690, 1500, kButtonH, "Update Setting"},
    {"chkAllPort", kNoIndex, Kind::CheckBox, "fmeMIB", 0, 6300, 730, 1500, 300, "All Group"},
    {"lblMemo", kNoIndex, Kind::Label, "fmeMIB", 0, 150, 1180, 1100, kLabelH, "Profile Memo"},
    {"txtMemo", kNoIndex, Kind::TextBox, "fmeMIB", 0, 1260, 1140, 5300, kLine},

    // "Design" tab.
    {"fmePacking", kNoIndex, Kind::Frame, kTabs, kTabDesign, 90, 120, 9200, 3400, "Packing"},
    {"Label4", 1, Kind::Label, "fmePacking", 0, 150, 380, 900, kLabelH, "OT"},
    {"txtFile3", 1, Kind::TextBox, "fmePacking", 0, 1100, 340, 5000, kLine},
    {"btnChoose", 2, Kind::Button, "fmePacking", 0, 6150, 310, 550, kButtonH, "..."},
    {"txtStart", 1, Kind::TextBox, "fmePacking", 0, 6800, 340, 1200, kLine, "131072", "Orvo"},
    {"Label4", 2, Kind::Label, "fmePacking", 0, 150, 790, 900, kLabelH, "RT"},
    {"txtFile3", 2, Kind::TextBox, "fmePacking", 0, 1100, 750, 5000, kLine},
    {"btnChoose", 3, Kind::Button, "fmePacking", 0, 6150, 720, 550, kButtonH, "..."},
    {"txtStart", 2, Kind::TextBox, "fmePacking", 0, 6800, 750, 1200, kLine, "262144", "Orvo"},
    {"lblPath2", kNoIndex, Kind::Label, "fmePacking", 0, 150, 1200, 900, kLabelH, "Dest"},
    {"txtPath2", kNoIndex, Kind::TextBox, "fmePacking", 0, 1100, 1160, 5000, kLine,
     "c:\\firmware.b"},
    {"btnChoose", 4, Kind::Button, "fmePacking", 0, 6150, 1130, 550, kButtonH, "..."},
    {"lblReSrc", kNoIndex, Kind::Label, "fmePacking", 0, 150, 1610, 900, kLabelH, "Packed FW"},
    {"txtReSrc", kNoIndex, Kind::TextBox, "fmePacking", 0, 1100, 1570, 5000, kLine},
    {"btnChoose", 5, Kind::Button, "fmePacking", 0, 6150, 1540, 550, kButtonH, "..."},
    {"lblFwGrp2", kNoIndex, Kind::Label, "fmePacking", 0, 150, 2020, 900, kLabelH, "FW"},
    {"cmbFwGrp2", kNoIndex, Kind::ComboBox, "fmePacking", 0, 1100, 1980, 700, kLine},
    // "Pack from source" last, so the hidden button leaves no gap.
    {"btnPackByPack", kNoIndex, Kind::Button, "fmePacking", 0, 150, 2600, 2000, kTall,
     "Pack from released"},
    {"cmdParse", kNoIndex, Kind::Button, "fmePacking", 0, 2300, 2600, 2000, kTall, "Parse Setting"},
    {"btnPack", kNoIndex, Kind::Button, "fmePacking", 0, 4450, 2600, 2000, kTall,
     "Pack from source"},

    {"FMEDebug", kNoIndex, Kind::Frame, kTabs, kTabDesign, 90, 3650, 4500, 2300, "Debug"},
    {"Label7", kNoIndex, Kind::Label, "FMEDebug", 0, 150, 380, 1500, kLabelH, "Firmware Version:"},
    {"txtFW", kNoIndex, Kind::TextBox, "FMEDebug", 0, 1700, 340, 2600, kLine},
    {"Label2", kNoIndex, Kind::Label, "FMEDebug", 0, 150, 790, 1500, kLabelH, "Address"},
    {"txtAddr", kNoIndex, Kind::TextBox, "FMEDebug", 0, 1700, 750, 2600, kLine, "0"},
    {"chkIgnore", kNoIndex, Kind::CheckBox, "FMEDebug", 0, 150, 1200, 2500, 300,
     "Ignore first byte"},
    {"Command4", kNoIndex, Kind::Button, "FMEDebug", 0, 150, 1650, 1800, kButtonH, "WriteByPar"},

    {"FmeOrvoPar", kNoIndex, Kind::Frame, kTabs, kTabDesign, 4700, 3650, 4590, 3100,
     "Orvo Parameter", "Orvo"},
    {"Label4", 0, Kind::Label, "FmeOrvoPar", 0, 150, 380, 1300, kLabelH, "BootCode"},
    {"txtFile3", 0, Kind::TextBox, "FmeOrvoPar", 0, 1500, 340, 2350, kLine},
    {"btnChoose", 1, Kind::Button, "FmeOrvoPar", 0, 3900, 310, 550, kButtonH, "..."},
    {"lblFWStart", kNoIndex, Kind::Label, "FmeOrvoPar", 0, 150, 2020, 1300, kLabelH, "FW Start"},
    {"txtFWStart", kNoIndex, Kind::TextBox, "FmeOrvoPar", 0, 1500, 1980, 1200, kLine, "20000"},
    {"lblMemoAll", kNoIndex, Kind::Label, "FmeOrvoPar", 0, 150, 2430, 1300, kLabelH, "Memo"},
    {"txtMemoAll", kNoIndex, Kind::TextBox, "FmeOrvoPar", 0, 1500, 2390, 2950, kLine},
};

// Captions and start texts of the control arrays.
inline constexpr std::array<std::string_view, 3> kFWVerCaptions = {"FW Version", "FW Date",
                                                                   "FW Time"};
inline constexpr std::array<std::string_view, 3> kCfgUnitCaptions = {"Cfg Addr", "Cfg Size",
                                                                     "Cfg Dest Addr"};
inline constexpr std::array<std::string_view, 3> kCfgUnitTexts = {"10100", "100", "7fc0"};

struct ListBox {
    std::string_view name;
    std::string_view caption;
    std::string_view text;
};
inline constexpr std::array<ListBox, 4> kListBoxes = {{
    {"txtMIBCustomization", "MIB Customization",
     "2 1 0 25 0 #Flow control enable\r\n2 1 0 49 78 #TWConfig feature\r\n0 0 0 0 0 #End\r\n"},
    {"txtMIBDebug", "MIB Debug",
     "0 4 0 10 0 # LT CRC Counter\r\n0 4 1 10 0 # Nt CRC Counter\r\n0 0 0 0 0 #End\r\n"},
    {"txtSWCustomization", "SW Customization",
     "0 0 0 efff 1000 #page, phy, reg, value, mask\r\n4 0 0 0 0 #End\r\n"},
    {"txtSWDebug", "SW Debug",
     "0 0 0 efff 1000 #Debug page, phy, reg, value, \r\nmask\r\n4 0 0 0 0 #End\r\n"},
}};

} // namespace layout

// Creates every control of the window with its start state.
void BuildControls(ControlSet& controls);

} // namespace plexmoor
