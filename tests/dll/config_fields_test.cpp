// Field encodings and their bounds in every system version, read back
// through GetConf.
#include "board_fixture.h"
#include "zintra.h"

#include <gtest/gtest.h>

namespace {

using testing_support::BoardTest;

int set(int code, int b, int c, int d = 0) {
    return ZintraAction(code, b, c, d);
}

class ConfigFields : public BoardTest {};

TEST_F(ConfigFields, NoVersionSetChangesNothing) {
    for (int code : {5, 7, 8, 11, 12, 16})
        EXPECT_EQ(set(code, 0, 0x123456), 1) << code;
    EXPECT_EQ(set(10, 1, 0), 0);
    ASSERT_EQ(set(10, 2, 0), 1);
    EXPECT_EQ(GetConf(0, 2, 0), 0);
    EXPECT_EQ(GetConf(1, 0, 0), 0);
    EXPECT_EQ(GetConf(2, 0, 0), 0);
}

TEST_F(ConfigFields, Version2) {
    ASSERT_EQ(set(10, 2, 0), 1);
    EXPECT_EQ(GetConf(0, 0, 9), 0xA55AA5);
    EXPECT_EQ(GetConf(0, 1, 9), 0x000002);

    EXPECT_EQ(set(7, 0, 0x123456), 1);
    EXPECT_EQ(GetConf(0, 2, 0), 0x123456);
    EXPECT_EQ(set(7, 2, 0x7ABCDEF), 1); // low 24 bits only
    EXPECT_EQ(GetConf(0, 4, 0), 0xABCDEF);
    EXPECT_EQ(set(7, 3, 1), 0);
    EXPECT_EQ(set(7, -1, 1), 0);
    EXPECT_EQ(GetConf(0, 1, 0), 2); // refusals left the header alone

    EXPECT_EQ(set(8, 84, 0x010203), 1);
    EXPECT_EQ(set(11, 1, 0x0A0B0C), 1);
    EXPECT_EQ(GetConf(1, 84, 0), 0x010203);
    EXPECT_EQ(GetConf(1, 1, 0), 0x0A0B0C);
    EXPECT_EQ(set(8, 85, 1), 0);
    EXPECT_EQ(set(11, -1, 1), 0);
    EXPECT_EQ(GetConf(1, 85, 0), 0);

    EXPECT_EQ(set(5, 127, 0x445566), 1);
    EXPECT_EQ(GetConf(2, 127, 0), 0x445566);
    EXPECT_EQ(set(5, 128, 0x778899), 1);
    EXPECT_EQ(GetConf(2, 128, 0), 0); // 8 ports of 16 fields only
    EXPECT_EQ(set(5, 21673, 1), 1);
    EXPECT_EQ(set(5, 21674, 1), 0);
    EXPECT_EQ(set(5, INT32_MIN, 1), 0);
    EXPECT_EQ(GetConf(2, -1, 0), 0);
    EXPECT_EQ(GetConf(11, 0, 0), 0);

    EXPECT_EQ(set(13, 0, 0x55, 1), 1); // table 4 belongs to version 4
    ASSERT_EQ(set(10, 4, 0), 1);
    EXPECT_EQ(GetConf(4, 0, 1), 0);
}

TEST_F(ConfigFields, Version3GroupIndexShiftsTheField) {
    ASSERT_EQ(set(10, 3, 0), 1);
    EXPECT_EQ(GetConf(0, 1, 0), 0x000003);
    EXPECT_EQ(set(7, 84, 0x111111), 1);
    EXPECT_EQ(set(7, 85, 1), 0);
    EXPECT_EQ(GetConf(0, 84, 0), 0x111111);

    set(9, 10, 0);
    EXPECT_EQ(set(8, 5, 0xABCDEF), 1);
    set(9, 80, 0);
    EXPECT_EQ(set(8, 4, 0x222222), 1);
    EXPECT_EQ(set(8, 5, 1), 0);
    set(9, -3, 0);
    EXPECT_EQ(set(11, -1, 1), 0);
    EXPECT_EQ(set(11, 3, 0x333333), 1);
    set(9, INT32_MAX, 0);
    EXPECT_EQ(set(8, 1, 1), 0);
    EXPECT_EQ(GetConf(1, 0, 3), 0); // not read back in version 3

    EXPECT_EQ(set(5, 21673, 0x121212), 1);
    EXPECT_EQ(GetConf(2, 21673, 0), 0x121212);
    EXPECT_EQ(GetConf(2, 21674, 0), 0);

    ASSERT_EQ(set(10, 2, 0), 1); // table 1 is readable under version 2
    EXPECT_EQ(GetConf(1, 15, 0), 0xABCDEF);
    EXPECT_EQ(GetConf(1, 84, 0), 0x222222);
    EXPECT_EQ(GetConf(1, 0, 0), 0x333333);
}

TEST_F(ConfigFields, Version4SizedFields) {
    ASSERT_EQ(set(10, 4, 0), 1);
    EXPECT_EQ(GetConf(0, 0, 1), 0xFF);
    EXPECT_EQ(GetConf(0, 5, 1), 0xFF);

    EXPECT_EQ(set(7, 14, 0x01020304, 4), 1);
    EXPECT_EQ(GetConf(0, 14, 4), 0x01020304);
    EXPECT_EQ(GetConf(0, 16, 2), 0x0304);
    EXPECT_EQ(set(7, 30, 0x1234, 1), 1);
    EXPECT_EQ(GetConf(0, 30, 1), 0x34);
    EXPECT_EQ(set(7, 40, -1, 4), 1);
    EXPECT_EQ(GetConf(0, 40, 4), -1);

    // A wider field keeps its leading bytes.
    EXPECT_EQ(set(7, 100, 0x11223344, 6), 1);
    EXPECT_EQ(GetConf(0, 100, 2), 0xFFFF);
    EXPECT_EQ(GetConf(0, 100, 6), 0x11223344);

    EXPECT_EQ(set(7, 252, 0x0A0B0C0D, 4), 1);
    EXPECT_EQ(set(7, 253, 1, 4), 0);
    EXPECT_EQ(set(7, 250, 1, 7), 0); // last four bytes fit, the field does not
    EXPECT_EQ(set(7, -1, 1, 1), 0);
    EXPECT_EQ(set(7, 60, 0x42, 0), 1);
    EXPECT_EQ(GetConf(0, 60, 1), 0xFF);
    EXPECT_EQ(GetConf(0, 252, 4), 0x0A0B0C0D);
    EXPECT_EQ(GetConf(0, 253, 4), 0);
    EXPECT_EQ(GetConf(0, 60, 0), 0);
    EXPECT_EQ(GetConf(0, INT32_MAX, 4), 0);

    const int sizes[] = {256, 256, 65024, 512, 4608, 448, 4544, 512};
    const int setter[] = {7, 8, 5, 12, 13, 14, 15, 16};
    for (int t = 0; t < 8; ++t) {
        EXPECT_EQ(set(setter[t], sizes[t] - 1, 0x5A, 1), 1) << t;
        EXPECT_EQ(set(setter[t], sizes[t], 0x5A, 1), 0) << t;
        EXPECT_EQ(GetConf(t, sizes[t] - 1, 1), 0x5A) << t;
        EXPECT_EQ(GetConf(t, sizes[t], 1), 0) << t;
    }
    EXPECT_EQ(GetConf(8, 0, 1), 0);
}

TEST_F(ConfigFields, VersionAboveFourStoresNothing) {
    ASSERT_EQ(set(10, 5, 0), 1);
    EXPECT_EQ(set(7, 0, 0x123456), 1);
    EXPECT_EQ(GetConf(0, 0, 3), 0);
    ASSERT_EQ(set(10, 2, 0), 1);
    EXPECT_EQ(GetConf(0, 2, 0), 0);
}

} // namespace
