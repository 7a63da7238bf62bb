// The preset lists of the MIB tab, as data. Each entry carries its number
// before the "-", which is what the operations use.
#pragma once

#include <array>
#include <string_view>

namespace plexmoor {

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

} // namespace plexmoor
