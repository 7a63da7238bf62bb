// Field encodings and their bounds in every system version: each row sets a
// field (or is refused) and reads a field back through GetConf.
#include "board_fixture.h"
#include "zintra.h"

#include <gtest/gtest.h>

namespace {

// Codes no action has: a row with one of them only reads.
constexpr int kNoAction = 0;
constexpr int kNoActionBelow = -1;
constexpr int kNoActionAbove = ZINTRA_SET_TABLE7_FIELD + 1;
// Table numbers GetConf answers with 0 in version 4, and in every version.
constexpr int kPastTables = ZINTRA_TABLE_7 + 1;
constexpr int kPastGetConf = 11;

struct Row {
    int code, b, c, d, result;     // ZintraAction(code, b, c, d) gives result
    int table, index, width, read; // then GetConf(table, index, width) gives read
};

void run(std::initializer_list<Row> rows) {
    for (const Row& r : rows) {
        EXPECT_EQ(ZintraAction(r.code, r.b, r.c, r.d), r.result) << r.code << "," << r.b;
        EXPECT_EQ(GetConf(r.table, r.index, r.width), r.read) << r.code << "," << r.b;
    }
}

class ConfigFields : public testing_support::BoardTest {};

// clang-format off
TEST_F(ConfigFields, Version2) {
    // The first row comes before any version: nothing is stored.
    run({{ZINTRA_SET_HEADER_FIELD, 0, 0x123456, 0, 1,  ZINTRA_TABLE_HEADER, 2, 0, 0},
         {ZINTRA_SET_SYSTEM_VERSION, 1, 0, 0, 0,       ZINTRA_TABLE_HEADER, 0, 0, 0},
         {ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0, 1,       ZINTRA_TABLE_HEADER, 0, 9, 0xA55AA5},
         {ZINTRA_SET_HEADER_FIELD, 0, 0x123456, 0, 1,  ZINTRA_TABLE_HEADER, 2, 0, 0x123456},
         {ZINTRA_SET_HEADER_FIELD, 2, 0x7ABCDEF, 0, 1, ZINTRA_TABLE_HEADER, 4, 0, 0xABCDEF},
         {ZINTRA_SET_HEADER_FIELD, 3, 1, 0, 0,         ZINTRA_TABLE_HEADER, 1, 0, 2},
         {ZINTRA_SET_HEADER_FIELD, -1, 1, 0, 0,        ZINTRA_TABLE_HEADER, 1, 0, 2},
         {ZINTRA_SET_GROUP_FIELD, 84, 0x010203, 0, 1,  ZINTRA_TABLE_GROUP, 84, 0, 0x010203},
         {ZINTRA_SET_GROUP_FIELD_2, 1, 0x0A0B0C, 0, 1, ZINTRA_TABLE_GROUP, 1, 0, 0x0A0B0C},
         {ZINTRA_SET_GROUP_FIELD, 85, 1, 0, 0,         ZINTRA_TABLE_GROUP, 85, 0, 0},
         {ZINTRA_SET_GROUP_FIELD_2, -1, 1, 0, 0,       ZINTRA_TABLE_GROUP, -1, 0, 0},
         {ZINTRA_SET_PORT_FIELD, 127, 0x445566, 0, 1,  ZINTRA_TABLE_PORT, 127, 0, 0x445566},
         // 8 ports of 16 fields only
         {ZINTRA_SET_PORT_FIELD, 128, 7, 0, 1,         ZINTRA_TABLE_PORT, 128, 0, 0},
         {ZINTRA_SET_PORT_FIELD, 21673, 1, 0, 1,       kPastGetConf, 0, 0, 0},
         {ZINTRA_SET_PORT_FIELD, 21674, 1, 0, 0,       ZINTRA_TABLE_PORT, 0, 0, 0},
         {ZINTRA_SET_PORT_FIELD, INT32_MIN, 1, 0, 0,   ZINTRA_TABLE_PORT, 0, 0, 0},
         // table 4 is version 4's
         {ZINTRA_SET_TABLE4_FIELD, 0, 0x55, 1, 1,      ZINTRA_TABLE_GROUP, 1, 0, 0x0A0B0C},
         // and never filled
         {ZINTRA_SET_SYSTEM_VERSION, 4, 0, 0, 1,       ZINTRA_TABLE_4, 0, 1, 0}});
}

TEST_F(ConfigFields, Version3GroupIndexShiftsTheField) {
    run({{ZINTRA_SET_SYSTEM_VERSION, 3, 0, 0, 1,        ZINTRA_TABLE_HEADER, 1, 0, 3},
         {ZINTRA_SET_HEADER_FIELD, 84, 0x111111, 0, 1,  ZINTRA_TABLE_HEADER, 84, 0, 0x111111},
         {ZINTRA_SET_HEADER_FIELD, 85, 1, 0, 0,         ZINTRA_TABLE_HEADER, 85, 0, 0},
         // table 1 not read back
         {ZINTRA_SELECT_GROUP, 10, 0, 0, 1,             ZINTRA_TABLE_GROUP, 0, 3, 0},
         {ZINTRA_SET_GROUP_FIELD, 5, 0xABCDEF, 0, 1,    ZINTRA_TABLE_GROUP, 15, 0, 0},
         {ZINTRA_SELECT_GROUP, 80, 0, 0, 1,             ZINTRA_TABLE_HEADER, 0, 0, 0xA55AA5},
         {ZINTRA_SET_GROUP_FIELD, 4, 0x222222, 0, 1,    ZINTRA_TABLE_HEADER, 0, 0, 0xA55AA5},
         {ZINTRA_SET_GROUP_FIELD, 5, 1, 0, 0,           ZINTRA_TABLE_HEADER, 0, 0, 0xA55AA5},
         {ZINTRA_SELECT_GROUP, -3, 0, 0, 1,             ZINTRA_TABLE_HEADER, 0, 0, 0xA55AA5},
         {ZINTRA_SET_GROUP_FIELD_2, -1, 1, 0, 0,        ZINTRA_TABLE_HEADER, 0, 0, 0xA55AA5},
         {ZINTRA_SET_GROUP_FIELD_2, 3, 0x333333, 0, 1,  ZINTRA_TABLE_HEADER, 0, 0, 0xA55AA5},
         {ZINTRA_SELECT_GROUP, INT32_MAX, 0, 0, 1,      ZINTRA_TABLE_HEADER, 0, 0, 0xA55AA5},
         {ZINTRA_SET_GROUP_FIELD, 1, 1, 0, 0,           ZINTRA_TABLE_HEADER, 0, 0, 0xA55AA5},
         {ZINTRA_SET_PORT_FIELD, 21673, 0x121212, 0, 1, ZINTRA_TABLE_PORT, 21673, 0, 0x121212},
         {ZINTRA_SET_PORT_FIELD, 21674, 1, 0, 0,        ZINTRA_TABLE_PORT, 21674, 0, 0},
         // version 2 reads table 1
         {ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0, 1,        ZINTRA_TABLE_GROUP, 15, 0, 0xABCDEF},
         {kNoAction, 0, 0, 0, 1,                        ZINTRA_TABLE_GROUP, 84, 0, 0x222222},
         {kNoAction, 0, 0, 0, 1,                        ZINTRA_TABLE_GROUP, 0, 0, 0x333333}});
}

TEST_F(ConfigFields, Version4SizedFields) {
    run({{ZINTRA_SET_SYSTEM_VERSION, 4, 0, 0, 1,          ZINTRA_TABLE_HEADER, 5, 1, 0xFF},
         {ZINTRA_SET_HEADER_FIELD, 14, 0x01020304, 4, 1,  ZINTRA_TABLE_HEADER, 14, 4, 0x01020304},
         {kNoActionBelow, 0, 0, 0, 1,                     ZINTRA_TABLE_HEADER, 16, 2, 0x0304},
         {ZINTRA_SET_HEADER_FIELD, 30, 0x1234, 1, 1,      ZINTRA_TABLE_HEADER, 30, 1, 0x34},
         {ZINTRA_SET_HEADER_FIELD, 40, -1, 4, 1,          ZINTRA_TABLE_HEADER, 40, 4, -1},
         // leading bytes kept
         {ZINTRA_SET_HEADER_FIELD, 100, 0x11223344, 6, 1, ZINTRA_TABLE_HEADER, 100, 2, 0xFFFF},
         {kNoActionAbove, 0, 0, 0, 1,                     ZINTRA_TABLE_HEADER, 100, 6, 0x11223344},
         {ZINTRA_SET_HEADER_FIELD, 252, 0x0A0B0C0D, 4, 1, ZINTRA_TABLE_HEADER, 252, 4, 0x0A0B0C0D},
         {ZINTRA_SET_HEADER_FIELD, 253, 1, 4, 0,          ZINTRA_TABLE_HEADER, 253, 4, 0},
         // whole field must fit
         {ZINTRA_SET_HEADER_FIELD, 250, 1, 7, 0,          ZINTRA_TABLE_HEADER, 252, 4, 0x0A0B0C0D},
         {ZINTRA_SET_HEADER_FIELD, -1, 1, 1, 0,           ZINTRA_TABLE_HEADER, INT32_MAX, 4, 0},
         {ZINTRA_SET_HEADER_FIELD, 60, 0x42, 0, 1,        ZINTRA_TABLE_HEADER, 60, 1, 0xFF},
         {kNoAction, 0, 0, 0, 1,                          ZINTRA_TABLE_HEADER, 60, 0, 0},
         {kNoAction, 0, 0, 0, 1,                          kPastTables, 0, 1, 0}});
    const int sizes[] = {256, 256, 65024, 512, 4608, 448, 4544, 512};
    // The setter of each table, by table number.
    const int setter[] = {ZINTRA_SET_HEADER_FIELD, ZINTRA_SET_GROUP_FIELD,  ZINTRA_SET_PORT_FIELD,
                          ZINTRA_SET_TABLE3_FIELD, ZINTRA_SET_TABLE4_FIELD, ZINTRA_SET_TABLE5_FIELD,
                          ZINTRA_SET_TABLE6_FIELD, ZINTRA_SET_TABLE7_FIELD};
    for (int t = 0; t < 8; ++t)
        run({{setter[t], sizes[t] - 1, 0x5A, 1, 1, t, sizes[t] - 1, 1, 0x5A},
             {setter[t], sizes[t], 0x5A, 1, 0,     t, sizes[t], 1, 0}});
    run({{ZINTRA_SET_SYSTEM_VERSION, 5, 0, 0, 1,      ZINTRA_TABLE_HEADER, 0, 3, 0},
         {ZINTRA_SET_HEADER_FIELD, 0, 0x123456, 0, 1, ZINTRA_TABLE_HEADER, 0, 3, 0}});
}
// clang-format on

} // namespace
