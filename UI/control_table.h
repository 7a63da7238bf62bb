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

inline constexpr int kFieldBoxes = 48;
inline constexpr std::array<std::string_view, kFieldBoxes> kFieldCaptions = {"Option",
                                                                             "DownTargetSnrMgn",
                                                                             "UpTargetSnrMgn",
                                                                             "DownMaxInterDelay",
                                                                             "UpMaxInterDelay",
                                                                             "BandPlan",
                                                                             "DownTargetSlowBurst",
                                                                             "UpTargetSlowBurst",
                                                                             "DownSlowMaxDataRate",
                                                                             "UpSlowMaxDataRate",
                                                                             "CfgUsPbs",
                                                                             "CfgDsPbs",
                                                                             "RxBandStart1",
                                                                             "RxBandStop1",
                                                                             "RxBandStart2",
                                                                             "RxBandStop2",
                                                                             "RxBandStart3",
                                                                             "RxBandStop3",
                                                                             "RxBandStart4",
                                                                             "RxBandStop4",
                                                                             "CfgUsPb4FirstTone",
                                                                             "CfgUsPb4LastTone",
                                                                             "TxBandStart1",
                                                                             "TxBandStop1",
                                                                             "TxBandStart2",
                                                                             "TxBandStop2",
                                                                             "TxBandStart3",
                                                                             "TxBandStop3",
                                                                             "TxBandStart4",
                                                                             "TxBandStop4",
                                                                             "PGA_REF_OT",
                                                                             "PGA_REF_RT",
                                                                             "TwConfig",
                                                                             "TwConfig2",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "Preserve",
                                                                             "PackConfig"};

inline constexpr std::array<std::string_view, 11> kQuickSettings = {
    "1-997 bandplan",
    "2-998 bandplan",
    "6-High performance bandplan",
    "7-Symmetric bandplan",
    "8-998 with ISDN bandplan",
    "9-997 with ISDN bandplan",
    "10-High performance with ISDN bandplan",
    "11-Symmetric for ISDN bandplan",
    "101-OneGroupDefault",
    "102-OneGroupFastMode",
    "103-OneGroupInterleaveMode"};

inline constexpr std::array<std::string_view, 9> kProfileSets = {
    "1-8OptionV1",  "2-AllGroupDef", "3-AllGroupTheSame", "4-YellowSettingTheSame", "5-8OptionV2A",
    "6-8OptionV2B", "7-8OptionV2C",  "100-test",          "101-Bandplan test"};

// Creates every control of the window with its start state.
void BuildControls(ControlSet& controls);

} // namespace plexmoor
