// The keys of the settings file and of the user's configuration files, as
// data: their order, when each is written and what reading it does. SaveINI
// writes these rows in order and LoadIni reads by them, so a key is added by
// adding a row at the end; a reader meeting a key it has no row for (one of
// a newer build) passes over that line.
#pragma once

#include "controls.h"
#include "field_table.h"

#include <optional>
#include <string_view>

namespace plexmoor {

enum class KeyKind {
    Text,     // the box's text as it stands, both ways
    Check,    // a check box's value, 0 or 1; reading ignores any other value
    ListItem, // a list's selected text; reading selects the entry of that text, if there is one
    Lines,    // a multi-line box, written on one line with "|" for each line break
    // The box of the shown firmware entry; reading under versions 1 and 2
    // also sets that entry's path (entry 1 before one is shown), so that
    // showing the entry later does not put its old path back into the box.
    FirmwareBox,
    SystemVersion, // the list's text; reading selects it, which runs the version rule
    DipCount,      // the list's text; reading sets lDipBits, applied at the next start
    Fixed,         // the box's text; reading sets `fixed`, whatever the value
    GroupSize,     // as Fixed; `fixed` is also the group stride, in hexadecimal
    // The kinds below carry an index of `digits` digits after the name.
    FirmwarePath, // the path of firmware entry index + 1, for each of the F entries
    // Per group, a run of these rows written group by group: the group's
    // values (the name, the group's digit, then the field) and its memo.
    GroupValue,
    GroupMemo,
    BoxArray, // the boxes box(index) ... box(index + count - 1)
};

enum class Written { Always, KnownVersion, Versions12, Versions34 };

struct SettingsKey {
    std::string_view name; // as written; read without regard to case
    KeyKind kind;
    Written written;
    std::optional<C> box = {};
    int index = kNoIndex;        // of the box; the first of a box array
    int count = 0;               // boxes of a box array
    int digits = 0;              // of the index after the name; none for a whole key
    std::string_view fixed = {}; // what reading a Fixed or GroupSize key sets
    std::string_view alias = {}; // another name reading takes for this key
};

// clang-format off
inline constexpr SettingsKey kSettingsKeys[] = {
    // name            kind                    written                box, index, count, digits, fixed, alias
    {"BOOTCODE",       KeyKind::Text,          Written::Always,       C::txtFile3, 0},
    {"SYSVER",         KeyKind::SystemVersion, Written::KnownVersion, C::cmbSysVer},
    {"OT",             KeyKind::FirmwareBox,   Written::Versions12,   C::txtFile3, 1},
    {"RT",             KeyKind::Text,          Written::Versions12,   C::txtFile3, 2},
    {"FWPATH",         KeyKind::FirmwarePath,  Written::Versions34,   {}, kNoIndex, 0, 1},
    {"DIP",            KeyKind::DipCount,      Written::Versions34,   C::cmbBit},
    {"CFGADDR",        KeyKind::Fixed,         Written::Versions34,   C::txtCfgUnit, 0, 0, 0, "10200"},
    {"CFGSIZE",        KeyKind::GroupSize,     Written::Versions34,   C::txtCfgUnit, 1, 0, 0, "40"},
    {"CFGDESTADDR",    KeyKind::Fixed,         Written::Versions34,   C::txtCfgUnit, 2, 0, 0, "7fc0"},
    {"FWSTART",        KeyKind::Fixed,         Written::Versions34,   C::txtFWStart, kNoIndex, 0, 0, "20000"},
    {"MIBCUST",        KeyKind::Lines,         Written::Versions34,   C::txtMIBCustomization},
    {"MIBDEBUG",       KeyKind::Lines,         Written::Versions34,   C::txtMIBDebug},
    {"SWCUST",         KeyKind::Lines,         Written::Versions34,   C::txtSWCustomization},
    {"SWDEBUG",        KeyKind::Lines,         Written::Versions34,   C::txtSWDebug},
    {"PACKPATH",       KeyKind::Text,          Written::Always,       C::txtPath2},
    {"PACKBYPACKPATH", KeyKind::Text,          Written::Always,       C::txtReSrc},
    {"FLASHPATH",      KeyKind::Text,          Written::Always,       C::txtPath},
    {"MEMOALL",        KeyKind::Text,          Written::Always,       C::txtMemoAll},
    {"CONF",           KeyKind::GroupValue,    Written::Always,       {}, kNoIndex, 0, 2},
    {"PROFILEMEMO",    KeyKind::GroupMemo,     Written::Always,       {}, kNoIndex, 0, 1},
    {"SerialNumber",   KeyKind::Text,          Written::Always,       C::txtSerial, kNoIndex, 0, 0, {}, "SERIAL"},
    {"AL",             KeyKind::BoxArray,      Written::Always,       C::txtAL, 1, kALFields, 2},
    {"ACTIVEAL",       KeyKind::BoxArray,      Written::Always,       C::txtALActive, 0, kActiveLines, 2},
    // Added later: files of older builds lack them, and the boxes keep their
    // start values (fast mode off, backup on, 15 MHz).
    {"FASTPROGRAM",    KeyKind::Check,         Written::Always,       C::chkFast},
    {"BACKUP",         KeyKind::Check,         Written::Always,       C::chkBackup},
    {"FASTCLOCK",      KeyKind::ListItem,      Written::Always,       C::cmbClock},
    // Where the production record lives; empty for the file beside the
    // settings, "none" to work without a record.
    {"RECORD",         KeyKind::Text,          Written::Always,       C::txtRecord},
};
// clang-format on

} // namespace plexmoor
