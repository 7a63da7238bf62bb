// The four multi-line lists of the second product family and the library
// tables their lines become, as data: which bytes of a record each of the
// five numbers takes, where the comment goes, and which record ends a list
// when it is read back.
#pragma once

#include "control_ids.h"
#include "zintra.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace plexmoor {

struct ListNumber {
    int32_t offset; // byte of the record
    int32_t width;  // bytes, big-endian
    bool hex;       // written and shown in hexadecimal
};

struct ListRecord {
    C box;
    std::string_view caption;
    int32_t set_field; // the action that writes the table
    int32_t table;     // the table GetConf reads it from
    int32_t size;      // bytes a record
    std::array<ListNumber, 5> numbers;
    bool has_comment; // the debug lists: "#", then a comment
    int32_t comment_offset;
    int32_t end_byte;  // a read-back stops after the record whose end_byte
    int32_t end_value; // holds end_value
};

inline constexpr int32_t kListRecords = 64;
inline constexpr int32_t kCommentBytes = 64;

inline constexpr std::array<ListNumber, 5> kMibNumbers = {
    {{0, 1, false}, {1, 1, false}, {2, 1, false}, {3, 1, false}, {4, 4, false}}};
inline constexpr std::array<ListNumber, 5> kSwNumbers = {
    {{0, 1, false}, {1, 1, false}, {2, 1, false}, {3, 2, true}, {5, 2, true}}};

// In the order the lists are transferred and shown.
inline constexpr std::array<ListRecord, 4> kListRecordTable = {{
    {C::txtMIBCustomization, "MIB Customization", ZINTRA_SET_TABLE3_FIELD, ZINTRA_TABLE_3, 8,
     kMibNumbers, false, 0, 1, 0},
    {C::txtMIBDebug, "MIB Debug", ZINTRA_SET_TABLE4_FIELD, ZINTRA_TABLE_4, 72, kMibNumbers, true, 8,
     1, 0},
    {C::txtSWCustomization, "SW Customization", ZINTRA_SET_TABLE5_FIELD, ZINTRA_TABLE_5, 7,
     kSwNumbers, false, 0, 0, 4},
    {C::txtSWDebug, "SW Debug", ZINTRA_SET_TABLE6_FIELD, ZINTRA_TABLE_6, 71, kSwNumbers, true, 7, 0,
     4},
}};

} // namespace plexmoor
