// The configuration fields of a group, the AL header fields and the
// active-line entries of the second product family, as data. FieldDef,
// ConfDef, the transfer to the library and the read-back all take them from
// here.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace plexmoor {

// The four bytes that name the line object a field sets.
using Descriptor = std::array<int32_t, 4>;

inline constexpr Descriptor kNoObject = {0, 255, 0, 0};

// One configuration field k of a group: the caption of lblMIBConf(k), its
// descriptor, its default under system versions 3 and 4 and under 1 and 2
// (those versions know only the first kV12Fields fields), and the text
// txtMIBConf(k) shows before a group is first shown.
struct ConfigField {
    std::string_view caption;
    Descriptor head;
    int32_t default_v34;
    int32_t default_v12;
    std::string_view start_text;
};

inline constexpr int kFieldBoxes = 48;
inline constexpr int kV12Fields = 16;

// clang-format off
inline constexpr std::array<ConfigField, kFieldBoxes> kConfigFields = {{
    {"Option",              kNoObject,      0,     0,     "0"},
    {"DownTargetSnrMgn",    {0, 10, 0, 8},  36,    36,    "48"},
    {"UpTargetSnrMgn",      {0, 10, 0, 11}, 36,    36,    "48"},
    {"DownMaxInterDelay",   {0, 10, 0, 22}, 10,    10,    "10"},
    {"UpMaxInterDelay",     {0, 10, 0, 23}, 10,    10,    "10"},
    {"BandPlan",            {0, 10, 0, 31}, 2,     2,     "0"},
    {"DownTargetSlowBurst", {0, 10, 0, 41}, 250,   250,   "250"},
    {"UpTargetSlowBurst",   {0, 10, 0, 42}, 250,   250,   "250"},
    {"DownSlowMaxDataRate", {0, 10, 0, 14}, 50000, 50000, "131072"},
    {"UpSlowMaxDataRate",   {0, 10, 0, 18}, 20000, 20000, "131072"},
    {"CfgUsPbs",            kNoObject,      3,     0,     "0"},
    {"CfgDsPbs",            kNoObject,      3,     0,     "0"},
    {"RxBandStart1",        {1, 3, 0, 2},   10,    0,     "0"},
    {"RxBandStop1",         {1, 3, 0, 3},   33,    0,     "0"},
    {"RxBandStart2",        {1, 3, 1, 2},   872,   0,     "0"},
    {"RxBandStop2",         {1, 3, 1, 3},   1207,  0,     "0"},
    {"RxBandStart3",        {1, 3, 2, 2},   1972,  0,     "0"},
    {"RxBandStop3",         {1, 3, 2, 3},   2787,  0,     "0"},
    {"RxBandStart4",        {1, 3, 3, 2},   0,     0,     "0"},
    {"RxBandStop4",         {1, 3, 3, 3},   0,     0,     "0"},
    {"CfgUsPb4FirstTone",   kNoObject,      0,     0,     "0"},
    {"CfgUsPb4LastTone",    kNoObject,      0,     0,     "0"},
    {"TxBandStart1",        {1, 2, 0, 2},   34,    0,     "0"},
    {"TxBandStop1",         {1, 2, 0, 3},   865,   0,     "0"},
    {"TxBandStart2",        {1, 2, 1, 2},   1208,  0,     "0"},
    {"TxBandStop2",         {1, 2, 1, 3},   1967,  0,     "0"},
    {"TxBandStart3",        {1, 2, 2, 2},   2788,  0,     "0"},
    {"TxBandStop3",         {1, 2, 2, 3},   3219,  0,     "0"},
    {"TxBandStart4",        {1, 2, 3, 2},   0,     0,     "0"},
    {"TxBandStop4",         {1, 2, 3, 3},   0,     0,     "0"},
    {"PGA_REF_OT",          {2, 1, 0, 47},  273,   0,     "0"},
    {"PGA_REF_RT",          {2, 1, 0, 48},  275,   0,     "0"},
    {"TwConfig",            {2, 1, 0, 49},  78,    0,     "0"},
    {"TwConfig2",           {2, 1, 0, 50},  0,     0,     "0"},
    {"Preserve",            kNoObject,      0,     0,     "0"},
    {"Preserve",            kNoObject,      0,     0,     "0"},
    {"Preserve",            kNoObject,      0,     0,     "0"},
    {"Preserve",            kNoObject,      0,     0,     "0"},
    {"Preserve",            kNoObject,      0,     0,     "0"},
    {"Preserve",            kNoObject,      0,     0,     "0"},
    {"Preserve",            kNoObject,      0,     0,     "0"},
    {"Preserve",            kNoObject,      0,     0,     "0"},
    {"Preserve",            kNoObject,      0,     0,     "0"},
    {"Preserve",            kNoObject,      0,     0,     "0"},
    {"Preserve",            kNoObject,      0,     0,     "0"},
    {"Preserve",            kNoObject,      0,     0,     "0"},
    {"Preserve",            kNoObject,      0,     0,     "0"},
    {"PackConfig",          kNoObject,      0,     0,     "0"},
}};
// clang-format on

// The AL header fields txtAL(1) ... txtAL(24): the caption beside the box,
// the field's byte position and width in header table 0, its tag ("s" ten
// bytes of text, "h" a hexadecimal number, none a decimal number) and the
// box's start text. Byte 0 of the table belongs to no field.
struct ALField {
    std::string_view caption;
    int32_t position;
    int32_t width;
    std::string_view tag;
    std::string_view start_text;
};

inline constexpr int kALFields = 24;
inline constexpr std::string_view kTextTag = "s";
inline constexpr std::string_view kHexTag = "h";
inline constexpr int32_t kTextFieldBytes = 10;

// clang-format off
inline constexpr std::array<ALField, kALFields> kALTable = {{
    {"Cfg version",      1,  1,  "",  "4"},
    {"FW Version",       2,  4,  "h", "030001"},
    {"FW Date",          6,  4,  "h", "123456"},
    {"FW Time",          10, 4,  "h", "123456"},
    {"LT FW length",     14, 4,  "",  "0"},
    {"NT FW length",     18, 4,  "",  "0"},
    {"Compatiable",      22, 1,  "",  "1"},
    {"Product Ver",      23, 10, "s", "b1"},
    {"Generic Password", 33, 10, "s", "qlpw"},
    {"Password",         43, 10, "s", "qlpwd"},
    {"Product Name",     53, 10, "s", "(QLP.0)"},
    {"Company Name",     63, 10, "s", "Vomex"},
    {"FW Load",          73, 1,  "",  "0"},
    {"Port Active",      74, 1,  "",  "1"},
    {"Debug",            75, 1,  "",  "0"},
    {"Monitor",          76, 1,  "",  "0"},
    {"Profile ID",       77, 1,  "",  "1"},
    {"Profile Total",    78, 1,  "",  "8"},
    {"Profile max",      79, 1,  "",  "2"},
    {"Profile entry",    80, 1,  "",  "48"},
    {"SW AutoOn",        81, 1,  "",  "1"},
    {"SW Speed",         82, 1,  "",  "100"},
    {"SW Duplex",        83, 1,  "",  "1"},
    {"SW FlowControl",   84, 1,  "",  "1"},
}};
// clang-format on

// Each field starts where the one before it ends, the first after byte 0.
constexpr bool ALFieldsAreContiguous() {
    int32_t at = 1;
    for (const ALField& f : kALTable) {
        if (f.position != at || f.width < 1) return false;
        at += f.width;
    }
    return true;
}
static_assert(ALFieldsAreContiguous());

// The active-line entries txtALActive(0) ... txtALActive(8): caption,
// descriptor (that of the configuration field of the same meaning; the last
// entry ends the list) and start text.
struct ActiveLine {
    std::string_view caption;
    Descriptor head;
    std::string_view start_text;
};

inline constexpr int kActiveLines = 9;

// clang-format off
inline constexpr std::array<ActiveLine, kActiveLines> kActiveTable = {{
    {"DS Target SNR",           {0, 10, 0, 8},  "36"},
    {"US Target SNR",           {0, 10, 0, 11}, "36"},
    {"DS max interleave depth", {0, 10, 0, 22}, "0"},
    {"US max interleave depth", {0, 10, 0, 23}, "0"},
    {"DS target slow burst",    {0, 10, 0, 41}, "0"},
    {"US target slow burst",    {0, 10, 0, 42}, "0"},
    {"DS max data rate",        {0, 10, 0, 14}, "131072"},
    {"US max data rate",        {0, 10, 0, 18}, "131072"},
    {"End",                     {0, 0, 0, 0},   "0"},
}};
// clang-format on

// Where the window's values lie in the library's tables, for the transfer
// (which writes them with the set-field actions) and the read-back (which
// reads them with GetConf) alike.
namespace block {
// Version 2: the firmware version, date and time are header fields 0 to 2,
// which lie in words 2 to 4 of the header table.
inline constexpr int32_t kV2VersionFields = 3;
constexpr int32_t V2VersionWord(int32_t field) {
    return field + 2;
}
// Version 3: header fields, read back at the same word; the firmware
// entries' version, date and time from 14 on, three an entry.
inline constexpr int32_t kV3SystemVersion = 1;
inline constexpr int32_t kV3DipCount = 2;
inline constexpr int32_t kV3FirstCfgUnit = 3;
inline constexpr int32_t kV3FirmwareStart = 6;
constexpr int32_t V3FirmwareField(int32_t entry_from_0, int32_t part) {
    return 14 + 3 * entry_from_0 + part;
}
// Version 4: a field or active-line entry is a record of its four
// descriptor bytes and a 32-bit value; a group's memo takes 64 bytes of
// table 7.
inline constexpr int32_t kHeadBytes = 4;
inline constexpr int32_t kValueBytes = 4;
constexpr int32_t Record(int32_t n) {
    return n * (kHeadBytes + kValueBytes);
}
constexpr int32_t RecordValue(int32_t n) {
    return Record(n) + kHeadBytes;
}
inline constexpr int32_t kMemoBytes = 64;
} // namespace block

// The global boxes txtGlobal(0) ... txtGlobal(15); only the first takes part
// in any operation.
inline constexpr int kGlobalBoxes = 16;

} // namespace plexmoor
