// The window's controls, their captions, start texts, tags and places, and
// the lists the start-up fills, kept as data.
#pragma once

#include "controls.h"

#include <array>
#include <optional>
#include <string_view>

namespace plexmoor {

// Outer size of the window in twips, and the client area inside the
// standard caption and borders it is designed for.
inline constexpr int kWindowWidth = 9795;
inline constexpr int kWindowHeight = 8640;
inline constexpr int kClientWidth = 9675;
inline constexpr int kClientHeight = 8130;
inline constexpr int kTwipsPerInch = 1440;

inline constexpr std::array<std::string_view, 4> kTabCaptions = {"Flash", "Setting", "MIB",
                                                                 "Design"};

// The device buttons locked while the flash is programmed, and the order
// in which they are unlocked again.
inline constexpr std::array kLockedButtons = {C::Command2, C::Command3, C::btnSerial, C::cmdParse,
                                              C::btnLoadFlash};
inline constexpr std::array kUnlockOrder = {C::Command3, C::Command2, C::btnSerial, C::cmdParse,
                                            C::btnLoadFlash};

// What else a run locks: the other run buttons and its options, and the
// record its row is closed in.
inline constexpr std::array kLockedAdditions = {C::btnRestore, C::chkFast,   C::cmbClock,
                                                C::chkBackup,  C::cmbBridge, C::txtRecord,
                                                C::btnStation};

// The SPI clocks the fast mode offers under its check box, and the one a
// new window starts with: 30 MHz needs a bridge with the 60 MHz clock, the
// slow ones suit long cables.
struct FastClock {
    std::string_view item;
    int32_t mhz;
};
inline constexpr std::array kFastClocks = {FastClock{"30 MHz", 30}, FastClock{"15 MHz", 15},
                                           FastClock{"6 MHz", 6}, FastClock{"3 MHz", 3}};
inline constexpr int kDefaultFastClock = 1;

namespace layout {

// One control: where it sits (parent frame, or the tab control with a tab
// number, or the window), its place in twips, and what it shows at start.
// For text boxes `content` is the start text, for everything else the
// caption.
struct Place {
    int left, top, width, height;
};
struct Row {
    C name;
    int index = kNoIndex; // of a control array's member
    Kind kind;
    std::optional<C> parent = {}; // the window when none
    int tab = 0;
    Place at = {};
    std::string_view content = {};
    std::string_view tag = {};
};

inline constexpr int kLine = 315;   // a text box or list
inline constexpr int kLabelH = 255; // a label
inline constexpr int kButtonH = 375;
inline constexpr int kTall = 450; // the main buttons of a panel

inline constexpr int kTabFlash = 0, kTabSetting = 1, kTabMib = 2, kTabDesign = 3;

// Named controls, containers before what they hold.
inline constexpr Row kRows[] = {
    // The window and what sits on it outside the tabs.
    {.name = C::Label17,
     .kind = Kind::Label,
     .at = {120, 150, 1500, kLabelH},
     .content = "Product Selection"},
    {.name = C::cmbPrd, .kind = Kind::ComboBox, .at = {1650, 100, 1900, kLine}},
    {.name = C::Label8,
     .kind = Kind::Label,
     .at = {3750, 150, 1000, kLabelH},
     .content = "Sys Version"},
    {.name = C::cmbSysVer, .kind = Kind::ComboBox, .at = {4770, 100, 700, kLine}},
    {.name = C::btnLoadCfg,
     .kind = Kind::Button,
     .at = {6660, 75, 1400, kButtonH},
     .content = "Load config"},
    {.name = C::btnSaveCfg,
     .kind = Kind::Button,
     .at = {8160, 75, 1400, kButtonH},
     .content = "Save config"},
    {.name = C::SSTab, .kind = Kind::TabControl, .at = {120, 570, 9435, 7440}},
    {.name = C::Timer1, .kind = Kind::Timer},
    {.name = C::CD, .kind = Kind::FileDialog},
    {.name = C::Frame5,
     .kind = Kind::Frame,
     .at = {120, 8100, 9435, 1300},
     .content = "Global Configuration"},

    // "Flash" tab.
    {.name = C::FmeFWSelect,
     .kind = Kind::Frame,
     .parent = C::SSTab,
     .tab = kTabFlash,
     .at = {90, 120, 9200, 1000},
     .content = "File Selection"},
    {.name = C::Label1,
     .kind = Kind::Label,
     .parent = C::FmeFWSelect,
     .at = {150, 440, 2500, kLabelH},
     .content = "Released Firmware filename"},
    {.name = C::txtPath,
     .kind = Kind::TextBox,
     .parent = C::FmeFWSelect,
     .at = {2700, 400, 5700, kLine}},
    {.name = C::btnChoose,
     .index = 0,
     .kind = Kind::Button,
     .parent = C::FmeFWSelect,
     .at = {8500, 370, 550, kButtonH},
     .content = "..."},
    {.name = C::FmeOrvoFlash,
     .kind = Kind::Frame,
     .parent = C::SSTab,
     .tab = kTabFlash,
     .at = {90, 1260, 9200, 4150},
     .content = "Orvo Flash"},
    {.name = C::Command2,
     .kind = Kind::Button,
     .parent = C::FmeOrvoFlash,
     .at = {150, 400, 1500, kTall},
     .content = "Init"},
    {.name = C::Command3,
     .kind = Kind::Button,
     .parent = C::FmeOrvoFlash,
     .at = {1800, 400, 1500, kTall},
     .content = "Flash"},
    {.name = C::btnLoadFlash,
     .kind = Kind::Button,
     .parent = C::FmeOrvoFlash,
     .at = {3450, 400, 1800, kTall},
     .content = "Load from Flash"},
    {.name = C::btnSerial,
     .kind = Kind::Button,
     .parent = C::FmeOrvoFlash,
     .at = {5400, 400, 1800, kTall},
     .content = "Flash Setting"},
    {.name = C::btnStop,
     .kind = Kind::Button,
     .parent = C::FmeOrvoFlash,
     .at = {7350, 400, 1500, kTall},
     .content = "Stop"},
    // The bridge Init opens, under it, where more than one is attached; and
    // which chip answered Init, or that none did.
    {.name = C::cmbBridge,
     .kind = Kind::ComboBox,
     .parent = C::FmeOrvoFlash,
     .at = {150, 920, 3150, kLine}},
    {.name = C::lblChip,
     .kind = Kind::Label,
     .parent = C::FmeOrvoFlash,
     .at = {1800, 960, 7050, kLabelH}},
    {.name = C::Label5,
     .kind = Kind::Label,
     .parent = C::FmeOrvoFlash,
     .at = {150, 1420, 1400, kLabelH},
     .content = "Serial Number:"},
    {.name = C::txtSerial,
     .kind = Kind::TextBox,
     .parent = C::FmeOrvoFlash,
     .at = {1600, 1380, 2400, kLine},
     .content = "QV060904001"},
    {.name = C::btnGenerate,
     .kind = Kind::Button,
     .parent = C::FmeOrvoFlash,
     .at = {4150, 1350, 1800, kButtonH},
     .content = "Generate Serial"},
    {.name = C::chkFast,
     .kind = Kind::CheckBox,
     .parent = C::FmeOrvoFlash,
     .at = {150, 1900, 2300, 300},
     .content = "Fast programming"},
    {.name = C::cmbClock,
     .kind = Kind::ComboBox,
     .parent = C::FmeOrvoFlash,
     .at = {450, 2230, 1500, kLine}},
    {.name = C::chkBackup,
     .kind = Kind::CheckBox,
     .parent = C::FmeOrvoFlash,
     .at = {2550, 1900, 3900, 300},
     .content = "Back up the flash before writing"},
    {.name = C::btnRestore,
     .kind = Kind::Button,
     .parent = C::FmeOrvoFlash,
     .at = {6600, 1860, 2250, kButtonH},
     .content = "Restore backup..."},
    // Progress a person can read: a bar, the time left, at the end the
    // time taken and the rate.
    {.name = C::pgbFlash,
     .kind = Kind::ProgressBar,
     .parent = C::FmeOrvoFlash,
     .at = {150, 2620, 5000, kLine}},
    {.name = C::lblProgress,
     .kind = Kind::Label,
     .parent = C::FmeOrvoFlash,
     .at = {5300, 2650, 3550, kLabelH}},
    // Where the production record lives ("none" to work without one), and
    // its latest rows.
    {.name = C::lblRecord,
     .kind = Kind::Label,
     .parent = C::FmeOrvoFlash,
     .at = {150, 3150, 1400, kLabelH},
     .content = "Record:"},
    {.name = C::txtRecord,
     .kind = Kind::TextBox,
     .parent = C::FmeOrvoFlash,
     .at = {1600, 3110, 5300, kLine}},
    {.name = C::btnHistory,
     .kind = Kind::Button,
     .parent = C::FmeOrvoFlash,
     .at = {7050, 3080, 1800, kButtonH},
     .content = "History..."},
    // How the last operation ended, when, and what it said; and the station
    // for a line of boards.
    {.name = C::lblResult,
     .kind = Kind::Label,
     .parent = C::FmeOrvoFlash,
     .at = {150, 3560, 6750, 2 * kLabelH}},
    {.name = C::btnStation,
     .kind = Kind::Button,
     .parent = C::FmeOrvoFlash,
     .at = {7050, 3580, 1800, kButtonH},
     .content = "Station..."},

    // "Setting" tab: the two product frames share one place.
    {.name = C::fmeQuarnLite,
     .kind = Kind::Frame,
     .parent = C::SSTab,
     .tab = kTabSetting,
     .at = {90, 120, 9200, 6750},
     .content = "Quarn-Lite Setting",
     .tag = "Quarn"},
    {.name = C::fmeOrvoSetting,
     .kind = Kind::Frame,
     .parent = C::SSTab,
     .tab = kTabSetting,
     .at = {300, 3300, 9200, 1700},
     .content = "Orvo Setting Header",
     .tag = "Orvo"},
    {.name = C::lblBit,
     .kind = Kind::Label,
     .parent = C::fmeOrvoSetting,
     .at = {150, 420, 1300, kLabelH},
     .content = "FW DIP count"},
    {.name = C::cmbBit,
     .kind = Kind::ComboBox,
     .parent = C::fmeOrvoSetting,
     .at = {1500, 380, 700, kLine}},
    {.name = C::lblFWGrp,
     .kind = Kind::Label,
     .parent = C::fmeOrvoSetting,
     .at = {2500, 420, 400, kLabelH},
     .content = "FW"},
    {.name = C::cmbFWGrp,
     .kind = Kind::ComboBox,
     .parent = C::fmeOrvoSetting,
     .at = {2950, 380, 700, kLine}},

    // "MIB" tab.
    {.name = C::fmeMIB,
     .kind = Kind::Frame,
     .parent = C::SSTab,
     .tab = kTabMib,
     .at = {90, 120, 9200, 6750},
     .content = "MIB Configuration"},
    {.name = C::lblGroup,
     .kind = Kind::Label,
     .parent = C::fmeMIB,
     .at = {150, 340, 600, kLabelH},
     .content = "Profile"},
    {.name = C::cmbGroup,
     .kind = Kind::ComboBox,
     .parent = C::fmeMIB,
     .at = {760, 300, 700, kLine}},
    {.name = C::lblSets,
     .kind = Kind::Label,
     .parent = C::fmeMIB,
     .at = {1600, 340, 450, kLabelH},
     .content = "Sets"},
    {.name = C::cmbSets,
     .kind = Kind::ComboBox,
     .parent = C::fmeMIB,
     .at = {2060, 300, 2800, kLine}},
    {.name = C::btnSets,
     .kind = Kind::Button,
     .parent = C::fmeMIB,
     .at = {4920, 270, 900, kButtonH},
     .content = "Update"},
    {.name = C::cmbQuick,
     .kind = Kind::ComboBox,
     .parent = C::fmeMIB,
     .at = {150, 720, 4450, kLine}},
    {.name = C::BtnQuick,
     .kind = Kind::Button,
     .parent = C::fmeMIB,
     .at = {4660, 690, 1500, kButtonH},
     .content = "Update Setting"},
    {.name = C::chkAllPort,
     .kind = Kind::CheckBox,
     .parent = C::fmeMIB,
     .at = {6300, 730, 1500, 300},
     .content = "All Group"},
    {.name = C::lblMemo,
     .kind = Kind::Label,
     .parent = C::fmeMIB,
     .at = {150, 1180, 1100, kLabelH},
     .content = "Profile Memo"},
    {.name = C::txtMemo,
     .kind = Kind::TextBox,
     .parent = C::fmeMIB,
     .at = {1260, 1140, 5300, kLine}},

    // "Design" tab.
    {.name = C::fmePacking,
     .kind = Kind::Frame,
     .parent = C::SSTab,
     .tab = kTabDesign,
     .at = {90, 120, 9200, 3400},
     .content = "Packing"},
    {.name = C::Label4,
     .index = 1,
     .kind = Kind::Label,
     .parent = C::fmePacking,
     .at = {150, 380, 900, kLabelH},
     .content = "OT"},
    {.name = C::txtFile3,
     .index = 1,
     .kind = Kind::TextBox,
     .parent = C::fmePacking,
     .at = {1100, 340, 5000, kLine}},
    {.name = C::btnChoose,
     .index = 2,
     .kind = Kind::Button,
     .parent = C::fmePacking,
     .at = {6150, 310, 550, kButtonH},
     .content = "..."},
    {.name = C::txtStart,
     .index = 1,
     .kind = Kind::TextBox,
     .parent = C::fmePacking,
     .at = {6800, 340, 1200, kLine},
     .content = "131072",
     .tag = "Orvo"},
    {.name = C::Label4,
     .index = 2,
     .kind = Kind::Label,
     .parent = C::fmePacking,
     .at = {150, 790, 900, kLabelH},
     .content = "RT"},
    {.name = C::txtFile3,
     .index = 2,
     .kind = Kind::TextBox,
     .parent = C::fmePacking,
     .at = {1100, 750, 5000, kLine}},
    {.name = C::btnChoose,
     .index = 3,
     .kind = Kind::Button,
     .parent = C::fmePacking,
     .at = {6150, 720, 550, kButtonH},
     .content = "..."},
    {.name = C::txtStart,
     .index = 2,
     .kind = Kind::TextBox,
     .parent = C::fmePacking,
     .at = {6800, 750, 1200, kLine},
     .content = "262144",
     .tag = "Orvo"},
    {.name = C::lblPath2,
     .kind = Kind::Label,
     .parent = C::fmePacking,
     .at = {150, 1200, 900, kLabelH},
     .content = "Dest"},
    {.name = C::txtPath2,
     .kind = Kind::TextBox,
     .parent = C::fmePacking,
     .at = {1100, 1160, 5000, kLine},
     .content = "c:\\firmware.b"},
    {.name = C::btnChoose,
     .index = 4,
     .kind = Kind::Button,
     .parent = C::fmePacking,
     .at = {6150, 1130, 550, kButtonH},
     .content = "..."},
    {.name = C::lblReSrc,
     .kind = Kind::Label,
     .parent = C::fmePacking,
     .at = {150, 1610, 900, kLabelH},
     .content = "Packed FW"},
    {.name = C::txtReSrc,
     .kind = Kind::TextBox,
     .parent = C::fmePacking,
     .at = {1100, 1570, 5000, kLine}},
    {.name = C::btnChoose,
     .index = 5,
     .kind = Kind::Button,
     .parent = C::fmePacking,
     .at = {6150, 1540, 550, kButtonH},
     .content = "..."},
    {.name = C::lblFwGrp2,
     .kind = Kind::Label,
     .parent = C::fmePacking,
     .at = {150, 2020, 900, kLabelH},
     .content = "FW"},
    {.name = C::cmbFwGrp2,
     .kind = Kind::ComboBox,
     .parent = C::fmePacking,
     .at = {1100, 1980, 700, kLine}},
    // "Pack from source" last, so the hidden button leaves no gap.
    {.name = C::btnPackByPack,
     .kind = Kind::Button,
     .parent = C::fmePacking,
     .at = {150, 2600, 2000, kTall},
     .content = "Pack from released"},
    {.name = C::cmdParse,
     .kind = Kind::Button,
     .parent = C::fmePacking,
     .at = {2300, 2600, 2000, kTall},
     .content = "Parse Setting"},
    {.name = C::btnPack,
     .kind = Kind::Button,
     .parent = C::fmePacking,
     .at = {4450, 2600, 2000, kTall},
     .content = "Pack from source"},

    {.name = C::FMEDebug,
     .kind = Kind::Frame,
     .parent = C::SSTab,
     .tab = kTabDesign,
     .at = {90, 3650, 4500, 2300},
     .content = "Debug"},
    {.name = C::Label7,
     .kind = Kind::Label,
     .parent = C::FMEDebug,
     .at = {150, 380, 1500, kLabelH},
     .content = "Firmware Version:"},
    {.name = C::txtFW,
     .kind = Kind::TextBox,
     .parent = C::FMEDebug,
     .at = {1700, 340, 2600, kLine}},
    {.name = C::Label2,
     .kind = Kind::Label,
     .parent = C::FMEDebug,
     .at = {150, 790, 1500, kLabelH},
     .content = "Address"},
    {.name = C::txtAddr,
     .kind = Kind::TextBox,
     .parent = C::FMEDebug,
     .at = {1700, 750, 2600, kLine},
     .content = "0"},
    {.name = C::chkIgnore,
     .kind = Kind::CheckBox,
     .parent = C::FMEDebug,
     .at = {150, 1200, 2500, 300},
     .content = "Ignore first byte"},
    {.name = C::Command4,
     .kind = Kind::Button,
     .parent = C::FMEDebug,
     .at = {150, 1650, 1800, kButtonH},
     .content = "WriteByPar"},

    {.name = C::FmeOrvoPar,
     .kind = Kind::Frame,
     .parent = C::SSTab,
     .tab = kTabDesign,
     .at = {4700, 3650, 4590, 3100},
     .content = "Orvo Parameter",
     .tag = "Orvo"},
    {.name = C::Label4,
     .index = 0,
     .kind = Kind::Label,
     .parent = C::FmeOrvoPar,
     .at = {150, 380, 1300, kLabelH},
     .content = "BootCode"},
    {.name = C::txtFile3,
     .index = 0,
     .kind = Kind::TextBox,
     .parent = C::FmeOrvoPar,
     .at = {1500, 340, 2350, kLine}},
    {.name = C::btnChoose,
     .index = 1,
     .kind = Kind::Button,
     .parent = C::FmeOrvoPar,
     .at = {3900, 310, 550, kButtonH},
     .content = "..."},
    {.name = C::lblFWStart,
     .kind = Kind::Label,
     .parent = C::FmeOrvoPar,
     .at = {150, 2020, 1300, kLabelH},
     .content = "FW Start"},
    {.name = C::txtFWStart,
     .kind = Kind::TextBox,
     .parent = C::FmeOrvoPar,
     .at = {1500, 1980, 1200, kLine},
     .content = "20000"},
    {.name = C::lblMemoAll,
     .kind = Kind::Label,
     .parent = C::FmeOrvoPar,
     .at = {150, 2430, 1300, kLabelH},
     .content = "Memo"},
    {.name = C::txtMemoAll,
     .kind = Kind::TextBox,
     .parent = C::FmeOrvoPar,
     .at = {1500, 2390, 2950, kLine}},
};

// Captions and start texts of the control arrays.
inline constexpr std::array<std::string_view, 3> kFWVerCaptions = {"FW Version", "FW Date",
                                                                   "FW Time"};
inline constexpr std::array<std::string_view, 3> kCfgUnitCaptions = {"Cfg Addr", "Cfg Size",
                                                                     "Cfg Dest Addr"};
inline constexpr std::array<std::string_view, 3> kCfgUnitTexts = {"10100", "100", "7fc0"};

struct ListBox {
    C name;
    std::string_view caption;
    std::string_view text;
};
inline constexpr std::array<ListBox, 4> kListBoxes = {{
    {C::txtMIBCustomization, "MIB Customization",
     "2 1 0 25 0 #Flow control enable\r\n2 1 0 49 78 #TWConfig feature\r\n0 0 0 0 0 #End\r\n"},
    {C::txtMIBDebug, "MIB Debug",
     "0 4 0 10 0 # LT CRC Counter\r\n0 4 1 10 0 # Nt CRC Counter\r\n0 0 0 0 0 #End\r\n"},
    {C::txtSWCustomization, "SW Customization",
     "0 0 0 efff 1000 #page, phy, reg, value, mask\r\n4 0 0 0 0 #End\r\n"},
    {C::txtSWDebug, "SW Debug",
     "0 0 0 efff 1000 #Debug page, phy, reg, value, \r\nmask\r\n4 0 0 0 0 #End\r\n"},
}};

} // namespace layout

// Creates every control of the window with its start state.
void BuildControls(ControlSet& controls);

} // namespace plexmoor
