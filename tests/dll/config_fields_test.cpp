// Field encodings and their bounds in every system version: each row sets a
// field (or is refused) and reads a field back through GetConf.
#include "board_fixture.h"
#include "zintra.h"

#include <gtest/gtest.h>

namespace {

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
    run({{7, 0, 0x123456, 0, 1,   0, 2, 0, 0},         // no version yet: nothing stored
         {10, 1, 0, 0, 0,         0, 0, 0, 0},
         {10, 2, 0, 0, 1,         0, 0, 9, 0xA55AA5},
         {7, 0, 0x123456, 0, 1,   0, 2, 0, 0x123456},
         {7, 2, 0x7ABCDEF, 0, 1,  0, 4, 0, 0xABCDEF},
         {7, 3, 1, 0, 0,          0, 1, 0, 2},
         {7, -1, 1, 0, 0,         0, 1, 0, 2},
         {8, 84, 0x010203, 0, 1,  1, 84, 0, 0x010203},
         {11, 1, 0x0A0B0C, 0, 1,  1, 1, 0, 0x0A0B0C},
         {8, 85, 1, 0, 0,         1, 85, 0, 0},
         {11, -1, 1, 0, 0,        1, -1, 0, 0},
         {5, 127, 0x445566, 0, 1, 2, 127, 0, 0x445566},
         {5, 128, 7, 0, 1,        2, 128, 0, 0},        // 8 ports of 16 fields only
         {5, 21673, 1, 0, 1,      11, 0, 0, 0},
         {5, 21674, 1, 0, 0,      2, 0, 0, 0},
         {5, INT32_MIN, 1, 0, 0,  2, 0, 0, 0},
         {13, 0, 0x55, 1, 1,      1, 1, 0, 0x0A0B0C},   // table 4 is version 4's
         {10, 4, 0, 0, 1,         4, 0, 1, 0}});        // and never filled
}

TEST_F(ConfigFields, Version3GroupIndexShiftsTheField) {
    run({{10, 3, 0, 0, 1,          0, 1, 0, 3},
         {7, 84, 0x111111, 0, 1,   0, 84, 0, 0x111111},
         {7, 85, 1, 0, 0,          0, 85, 0, 0},
         {9, 10, 0, 0, 1,          1, 0, 3, 0},          // table 1 not read back
         {8, 5, 0xABCDEF, 0, 1,    1, 15, 0, 0},
         {9, 80, 0, 0, 1,          0, 0, 0, 0xA55AA5},
         {8, 4, 0x222222, 0, 1,    0, 0, 0, 0xA55AA5},
         {8, 5, 1, 0, 0,           0, 0, 0, 0xA55AA5},
         {9, -3, 0, 0, 1,          0, 0, 0, 0xA55AA5},
         {11, -1, 1, 0, 0,         0, 0, 0, 0xA55AA5},
         {11, 3, 0x333333, 0, 1,   0, 0, 0, 0xA55AA5},
         {9, INT32_MAX, 0, 0, 1,   0, 0, 0, 0xA55AA5},
         {8, 1, 1, 0, 0,           0, 0, 0, 0xA55AA5},
         {5, 21673, 0x121212, 0, 1, 2, 21673, 0, 0x121212},
         {5, 21674, 1, 0, 0,       2, 21674, 0, 0},
         {10, 2, 0, 0, 1,          1, 15, 0, 0xABCDEF},  // version 2 reads table 1
         {0, 0, 0, 0, 1,           1, 84, 0, 0x222222},
         {0, 0, 0, 0, 1,           1, 0, 0, 0x333333}});
}

TEST_F(ConfigFields, Version4SizedFields) {
    run({{10, 4, 0, 0, 1,           0, 5, 1, 0xFF},
         {7, 14, 0x01020304, 4, 1,  0, 14, 4, 0x01020304},
         {-1, 0, 0, 0, 1,           0, 16, 2, 0x0304},
         {7, 30, 0x1234, 1, 1,      0, 30, 1, 0x34},
         {7, 40, -1, 4, 1,          0, 40, 4, -1},
         {7, 100, 0x11223344, 6, 1, 0, 100, 2, 0xFFFF},   // leading bytes kept
         {17, 0, 0, 0, 1,           0, 100, 6, 0x11223344},
         {7, 252, 0x0A0B0C0D, 4, 1, 0, 252, 4, 0x0A0B0C0D},
         {7, 253, 1, 4, 0,          0, 253, 4, 0},
         {7, 250, 1, 7, 0,          0, 252, 4, 0x0A0B0C0D}, // whole field must fit
         {7, -1, 1, 1, 0,           0, INT32_MAX, 4, 0},
         {7, 60, 0x42, 0, 1,        0, 60, 1, 0xFF},
         {0, 0, 0, 0, 1,            0, 60, 0, 0},
         {0, 0, 0, 0, 1,            8, 0, 1, 0}});
    const int sizes[] = {256, 256, 65024, 512, 4608, 448, 4544, 512};
    const int setter[] = {7, 8, 5, 12, 13, 14, 15, 16};
    for (int t = 0; t < 8; ++t)
        run({{setter[t], sizes[t] - 1, 0x5A, 1, 1, t, sizes[t] - 1, 1, 0x5A},
             {setter[t], sizes[t], 0x5A, 1, 0,     t, sizes[t], 1, 0}});
    run({{10, 5, 0, 0, 1,           0, 0, 3, 0},
         {7, 0, 0x123456, 0, 1,     0, 0, 3, 0}});
}
// clang-format on

} // namespace
