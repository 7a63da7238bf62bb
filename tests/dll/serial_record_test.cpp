// The serial field in the port table, and writing the configuration block
// to a board without losing what else shares its erase block.
#include "board_fixture.h"
#include "zintra.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using testing_support::BoardTest;
using testing_support::Bytes;
using testing_support::pattern;

// Bytes [from, to) of table 2 under version 3, where GetConf has no bound.
Bytes port_bytes(int from, int to) {
    Bytes out;
    for (int k = from / 3; k * 3 < to; ++k)
        for (int shift : {16, 8, 0})
            out.push_back(static_cast<uint8_t>(GetConf(ZINTRA_TABLE_PORT, k, 0) >> shift));
    return Bytes(out.begin() + from % 3, out.begin() + from % 3 + (to - from));
}

std::string serial() {
    char buffer[48];
    std::memset(buffer, '#', sizeof buffer);
    GetSerial(buffer);
    EXPECT_EQ(std::string(buffer + 44, 4), "####");
    return std::string(buffer, 44);
}

class SerialRecord : public BoardTest {};

TEST_F(SerialRecord, Version2KeepsTheTailAndLimitsTheLength) {
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0);
    ASSERT_EQ(PackSerial("QV250101001XY", 13), 1);
    ASSERT_EQ(PackSerial("QV250102002", 11), 1);
    EXPECT_EQ(serial(), std::string("QV250102002XY") + std::string(31, '\0'));
    std::string long_text(46, 'S');
    EXPECT_EQ(PackSerial(long_text.c_str(), 45), 1);
    EXPECT_EQ(serial(), std::string(44, 'S'));
    for (int length : {46, -1})
        EXPECT_EQ(PackSerial("short", length), 0);
    EXPECT_EQ(PackSerial(nullptr, 3), 0);
    EXPECT_EQ(serial(), std::string(44, 'S'));
}

TEST_F(SerialRecord, Version3WritesEveryPortBlockPadded) {
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 3, 0, 0);
    ZintraAction(ZINTRA_SET_HEADER_FIELD, 4, 63, 0);
    for (int k = 0; k < 510; ++k)
        ZintraAction(ZINTRA_SET_PORT_FIELD, k, 0xEEEEEE, 0);
    ASSERT_EQ(PackSerial("QV250101001", 11), 1);
    Bytes field(45, 0);
    std::memcpy(field.data(), "QV250101001", 11);
    for (int p = 0; p < 8; ++p) {
        int at = 189 * p + 144;
        EXPECT_EQ(port_bytes(at, at + 45), field) << p;
        EXPECT_EQ(port_bytes(at - 1, at), Bytes{0xEE}) << p;
        EXPECT_EQ(port_bytes(at + 45, at + 46), Bytes{0xEE}) << p;
    }
    EXPECT_EQ(serial(), std::string("QV250101001") + std::string(33, '\0'));

    // S = 3087: the last field of block 7 ends at byte 65016.
    ZintraAction(ZINTRA_SET_HEADER_FIELD, 4, 3087, 0);
    EXPECT_EQ(PackSerial("A", 1), 1);
    ZintraAction(ZINTRA_SET_HEADER_FIELD, 4, 3088, 0);
    EXPECT_EQ(PackSerial("B", 1), 0);
    EXPECT_EQ(serial(), "A" + std::string(43, '\0'));
}

class FlashSerialTest : public BoardTest {
  protected:
    void SetUp() override {
        BoardTest::SetUp();
        ASSERT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
    }
    int byte_lines() const {
        int n = 0;
        for (const std::string& l : debug_lines) {
            unsigned a, v;
            n += l.size() == 12 && l[11] == '\n' && std::sscanf(l.c_str(), "%8x-%2x", &a, &v) == 2;
        }
        return n;
    }
};

TEST_F(FlashSerialTest, BlankBlockGetsExactlyTheVersion2Block) {
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0);
    ZintraAction(ZINTRA_SET_GROUP_FIELD, 0, 0x112233, 0);
    PackSerial("QV250101001", 11);
    ASSERT_EQ(FlashSerial(), 1);
    Bytes block = board().read(0x10000, 0x10000);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 6), (Bytes{0xA5, 0x5A, 0xA5, 0, 0, 2}));
    EXPECT_EQ(Bytes(block.begin() + 0x100, block.begin() + 0x103), (Bytes{0x11, 0x22, 0x33}));
    EXPECT_EQ(std::string(block.begin() + 0x380, block.begin() + 0x38B), "QV250101001");
    EXPECT_TRUE(
        std::all_of(block.begin() + 0x400, block.end(), [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(byte_lines(), 1024);
    EXPECT_NE(std::find(debug_lines.begin(), debug_lines.end(), "00010000-a5\n"),
              debug_lines.end());
    EXPECT_TRUE(messages.empty());
}

TEST_F(FlashSerialTest, OtherDataInTheBlockSurvives) {
    Bytes before = pattern(0x10000, 4);
    std::fill(before.begin() + 0x8000, before.begin() + 0x9000, 0xFF); // a blank stretch
    board().write_raw(0x10000, before);
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 3, 0, 0);
    ZintraAction(ZINTRA_SET_HEADER_FIELD, 4, 64, 0);
    ZintraAction(ZINTRA_SET_PORT_FIELD, 511, 0xABCDEF, 0);
    ASSERT_EQ(FlashSerial(), 1);
    Bytes after = board().read(0x10000, 0x10000);
    EXPECT_EQ(after[0x5], 3);
    EXPECT_EQ(Bytes(after.begin() + 0x7FD, after.begin() + 0x800), (Bytes{0xAB, 0xCD, 0xEF}));
    EXPECT_TRUE(std::equal(after.begin() + 0x100, after.begin() + 0x200, before.begin() + 0x100));
    EXPECT_TRUE(std::equal(after.begin() + 0x800, after.end(), before.begin() + 0x800));
}

TEST_F(FlashSerialTest, RefusedOrFailedRuns) {
    board().write_raw(0x10000, pattern(0x400, 5));
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 4, 0, 0);
    EXPECT_EQ(FlashSerial(), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(board().counters().erases, 0u);
    EXPECT_EQ(board().read(0x10000, 0x400), pattern(0x400, 5));

    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0);
    board().faults().write_protected = true;
    EXPECT_EQ(FlashSerial(), 0);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[1].find("from 00010000 to 000103ff"), std::string::npos) << messages[1];
    // The saved copy the message names holds the block as it was.
    std::string copy = messages[1].substr(messages[1].rfind(' ') + 1);
    EXPECT_EQ(testing_support::read_file(copy), board().read(0x10000, 0x10000));
}

// A read that fails while the block is being saved would otherwise come back
// as zeros and be written over the real data after the erase.
TEST_F(FlashSerialTest, FailedSaveReadErasesNothing) {
    board().write_raw(0x10000, pattern(0x10000, 6));
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0);
    board().faults().read_fails_on_call = board().counters().usb_reads + 5;
    EXPECT_EQ(FlashSerial(), 0);
    EXPECT_EQ(board().counters().erases, 0u);
    EXPECT_EQ(board().read(0x10000, 0x10000), pattern(0x10000, 6));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "FT_Write fail!");
}

} // namespace
