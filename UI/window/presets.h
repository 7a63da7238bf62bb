// The presets of the MIB tab, as data: the two lists (each entry carries
// its number before the "-", which is what the operations use), the
// bandplans and modes of the quick settings, and the profile sets' values.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

// A field of a group and the value a preset writes into it.
struct FieldValue {
    int32_t field;
    int32_t value;
};

// Quick settings address a group's fields with this stride whatever the
// system version; it is the group's own stride only when a group has 48.
inline constexpr int32_t kPresetStride = 48;

// The bandplans by their quick-setting number, and what each writes: the
// BandPlan field and fields 10 ... 33, one row a field, one column a plan.
inline constexpr std::array<int32_t, 8> kBandplans = {1, 2, 6, 7, 8, 9, 10, 11};
// The bandplans that say, below version 3, that they were made for it.
inline constexpr std::array<int32_t, 4> kVersion3Plans = {1, 2, 6, 7};

struct BandplanRow {
    int32_t field;
    std::array<int32_t, 8> values; // in the order of kBandplans
};

// clang-format off
inline constexpr std::array<BandplanRow, 25> kBandplanTable = {{
    //      997   998   6     7     8     9     10    11
    {5,  {1,    2,    6,    7,    8,    9,    10,   11}},
    {10, {3,    3,    4,    4,    3,    3,    3,    3}},
    {11, {3,    3,    3,    4,    3,    3,    3,    3}},
    {12, {10,   10,   10,   10,   34,   34,   34,   34}},
    {13, {33,   33,   33,   33,   65,   65,   65,   65}},
    {14, {698,  872,  872,  616,  872,  698,  872,  616}},
    {15, {1179, 1207, 1207, 1207, 1207, 1179, 1207, 1207}},
    {16, {1640, 1972, 1972, 1972, 1972, 1640, 1972, 1972}},
    {17, {2781, 2787, 2787, 2787, 2787, 2781, 2787, 2787}},
    {18, {0,    0,    3228, 3230, 0,    0,    3228, 3230}},
    {19, {0,    0,    4011, 3761, 0,    0,    4011, 3761}},
    {20, {0,    0,    0,    0,    0,    0,    0,    0}},
    {21, {0,    0,    0,    0,    0,    0,    0,    0}},
    {22, {34,   34,   34,   34,   66,   66,   66,   66}},
    {23, {691,  865,  865,  609,  865,  691,  865,  609}},
    {24, {1186, 1208, 1208, 1208, 1208, 1186, 1208, 1208}},
    {25, {1631, 1967, 1967, 1967, 1967, 1631, 1967, 1967}},
    {26, {2782, 2788, 2788, 2788, 2788, 2782, 2788, 2788}},
    {27, {3717, 3219, 3219, 3219, 3219, 3717, 3219, 3219}},
    {28, {0,    0,    0,    3804, 0,    0,    0,    3804}},
    {29, {0,    0,    0,    4059, 0,    0,    0,    4059}},
    {30, {273,  273,  273,  273,  273,  273,  273,  273}},
    {31, {275,  275,  275,  275,  275,  275,  275,  275}},
    {32, {78,   78,   78,   78,   78,   78,   78,   78}},
    {33, {0,    0,    0,    0,    2,    2,    2,    2}},
}};
// clang-format on

// The modes by their quick-setting number, and the fields each writes.
struct ModeSetting {
    int32_t number;
    std::array<FieldValue, 9> writes;
    std::size_t count;
};

inline constexpr std::array<ModeSetting, 3> kModeTable = {{
    {101,
     {{{1, 36}, {2, 36}, {3, 10}, {4, 10}, {5, 2}, {6, 250}, {7, 250}, {8, 50000}, {9, 20000}}},
     9},
    {102, {{{3, 0}, {4, 0}, {6, 0}, {7, 0}}}, 4},
    {103, {{{3, 10}, {4, 10}, {6, 250}, {7, 250}}}, 4},
}};

// The option rule of set 1: which groups (h, from 0) get which values, on
// top of the defaults.
enum class Groups {
    kEven,
    kOdd,
    kFirstPairOfFour,
    kSecondPairOfFour,
    kFirstFour,
    kFromFifth,
    kAll
};

struct OptionRow {
    Groups groups;
    std::array<FieldValue, 4> writes;
    std::size_t count;
};

inline constexpr std::array<OptionRow, 7> kOptionRule = {{
    {Groups::kEven, {{{3, 10}, {4, 10}, {6, 250}, {7, 250}}}, 4},
    {Groups::kOdd, {{{3, 0}, {4, 0}, {6, 0}, {7, 0}}}, 4},
    {Groups::kFirstPairOfFour, {{{8, 50000}, {9, 20000}}}, 2},
    {Groups::kSecondPairOfFour, {{{8, 131072}, {9, 131072}}}, 2},
    {Groups::kFirstFour, {{{1, 36}, {2, 36}}}, 2},
    {Groups::kFromFifth, {{{1, 24}, {2, 24}}}, 2},
    {Groups::kAll, {{{5, 2}}}, 1},
}};

constexpr bool InGroups(Groups groups, int32_t h) {
    switch (groups) {
    case Groups::kEven:
        return h % 2 == 0;
    case Groups::kOdd:
        return h % 2 == 1;
    case Groups::kFirstPairOfFour:
        return h % 4 < 2;
    case Groups::kSecondPairOfFour:
        return h % 4 >= 2;
    case Groups::kFirstFour:
        return h < 4;
    case Groups::kFromFifth:
        return h >= 4;
    case Groups::kAll:
        return true;
    }
    return false;
}

// Sets 6 and 7: (bandplan, group from 1) in the order they are applied,
// then fields 8 and 9 of every group get this rate.
struct GroupPlan {
    int32_t bandplan;
    int32_t group;
};
inline constexpr std::array<GroupPlan, 8> kSet6Plans = {
    {{8, 3}, {8, 4}, {8, 7}, {8, 8}, {11, 1}, {11, 2}, {11, 5}, {11, 6}}};
inline constexpr std::array<GroupPlan, 8> kSet7Plans = {
    {{8, 3}, {8, 4}, {8, 7}, {8, 8}, {2, 1}, {2, 2}, {2, 5}, {2, 6}}};
inline constexpr int32_t kSet67Rate = 131072;
inline constexpr std::array<int32_t, 2> kRateFields = {8, 9};
inline constexpr int32_t kSet5Bandplan = 8;

// Set 101: every group's fields 0 ... 32 (the rest 0), then one bandplan a
// group, groups 1 ... 8 whatever their count.
inline constexpr std::array<int32_t, 33> kSet101Fields = {
    0,    24,   24,   0, 0, 2,  0,   0,    131072, 131072, 3,    3, 6, 33,  872, 1207, 1972,
    2787, 3228, 3803, 0, 0, 34, 865, 1208, 1967,   2788,   3219, 0, 0, 273, 275, 74};
inline constexpr std::array<int32_t, 8> kSet101Bandplans = {1, 2, 9, 10, 11, 6, 7, 8};

} // namespace plexmoor
