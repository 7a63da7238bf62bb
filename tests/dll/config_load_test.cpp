// The file and flash loaders: what they copy, and that a refused file
// leaves tables, version and the loaded image as they were.
#include "board_fixture.h"
#include "zintra.h"

#include <gtest/gtest.h>

namespace {

using testing_support::BoardTest;
using testing_support::Bytes;
using testing_support::pattern;

int32_t field3(const Bytes& b, std::size_t at) {
    return (b[at] << 16) | (b[at + 1] << 8) | b[at + 2];
}

Bytes image(std::size_t size, uint8_t version, uint32_t seed = 1) {
    Bytes b = pattern(size, seed);
    b[0x10005] = version;
    return b;
}

class ConfigLoad : public BoardTest {
  protected:
    int load(const Bytes& bytes, int mode, const char* name = "in.bin") {
        testing_support::write_file(temp(name), bytes);
        return LoadConfFromFileToBuffer(temp(name).string().c_str(), mode);
    }
};

TEST_F(ConfigLoad, Version2And3Images) {
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 3, 0, 0); // fields per port 48 must not move the serial
    Bytes v2 = image(0x20000, 2);
    ASSERT_EQ(load(v2, 1), 1);
    EXPECT_EQ(GetConf(ZINTRA_TABLE_HEADER, 1, 0), field3(v2, 0x10003));
    EXPECT_EQ(GetConf(ZINTRA_TABLE_GROUP, 84, 0), field3(v2, 0x10100 + 252));
    EXPECT_EQ(GetConf(ZINTRA_TABLE_PORT, 127, 0), field3(v2, 0x10200 + 381));
    char serial[44] = {};
    GetSerial(serial);
    for (int i = 0; i < 44 && serial[i]; ++i)
        EXPECT_EQ(static_cast<uint8_t>(serial[i]), v2[0x10380 + i]);

    // A short version-3 file: the port table past its end reads 0, never
    // bytes of the longer file loaded before it.
    ASSERT_EQ(load(image(0x10A00, 3, 7), 1, "long.bin"), 1);
    Bytes v3 = image(0x10500, 3, 9);
    ASSERT_EQ(load(v3, 1), 1);
    EXPECT_EQ(GetConf(ZINTRA_TABLE_PORT, 255, 0), field3(v3, 0x10200 + 765));
    EXPECT_EQ(GetConf(ZINTRA_TABLE_PORT, 500, 0), 0);
}

TEST_F(ConfigLoad, CompanionFileFillsEveryTable) {
    Bytes file = pattern(13888, 3);
    ASSERT_EQ(load(file, 0), 1);
    const int layout[][3] = {{0, 0x0000, 128}, {7, 0x0080, 512}, {2, 0x0280, 3072},
                             {1, 0x0E80, 64},  {3, 0x0EC0, 512}, {4, 0x10C0, 4608},
                             {5, 0x22C0, 448}, {6, 0x2480, 4544}};
    for (auto [table, offset, length] : layout) {
        EXPECT_EQ(GetConf(table, 0, 1), file[offset]) << table;
        EXPECT_EQ(GetConf(table, length - 3, 3), field3(file, offset + length - 3)) << table;
    }
}

TEST_F(ConfigLoad, RefusedFilesChangeNothing) {
    Bytes good = pattern(13888, 5);
    good[0] = 0xFF; // the packer forces it
    ASSERT_EQ(load(good, 0), 1);
    EXPECT_EQ(load(image(0x100001, 2), 1, "big.bin"), 0);
    EXPECT_EQ(load(image(0x103FF, 2), 1, "short1.bin"), 0);
    EXPECT_EQ(load(pattern(13887, 6), 0, "short0.bin"), 0);
    EXPECT_EQ(LoadConfFromFileToBuffer(temp("missing").string().c_str(), 0), 0);
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0], "File too large, at most 1048576 bytes: " + temp("big.bin").string());
    EXPECT_EQ(messages[3], "File open fail," + temp("missing").string() +
                               " may not exist or permission may not correct!");
    // Still version 4 with the same tables and image: a repack writes it back.
    ASSERT_EQ(PackFlash("", "", 0, "", 0, temp("out").string().c_str(), 1), 1);
    EXPECT_EQ(testing_support::read_file(temp("out")), good);
}

TEST_F(ConfigLoad, FlashLoaderReadsTheBlockOfTheVersion) {
    Bytes block = pattern(0x800, 11);
    block[12] = 0xFF; // S beyond the port table: the first 1280 bytes only
    board().write_raw(0x10000, block);
    ASSERT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0);
    ASSERT_EQ(LoadConfFromFlashToBuffer(), 1);
    EXPECT_EQ(GetConf(ZINTRA_TABLE_HEADER, 84, 0), field3(block, 252));
    EXPECT_EQ(GetConf(ZINTRA_TABLE_GROUP, 10, 0), field3(block, 0x100 + 30));
    EXPECT_EQ(GetConf(ZINTRA_TABLE_PORT, 127, 0), field3(block, 0x200 + 381));
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 3, 0, 0);
    ASSERT_EQ(LoadConfFromFlashToBuffer(), 1);
    EXPECT_EQ(GetConf(ZINTRA_TABLE_PORT, 425, 0), field3(block, 0x200 + 1275));
    EXPECT_EQ(GetConf(ZINTRA_TABLE_PORT, 427, 0), 0);
    board().write_raw(0x1000C, {0, 0, 64}); // S = 64: all 1536 bytes
    ASSERT_EQ(LoadConfFromFlashToBuffer(), 1);
    EXPECT_EQ(GetConf(ZINTRA_TABLE_PORT, 511, 0), field3(block, 0x200 + 1533));
    EXPECT_EQ(GetConf(ZINTRA_TABLE_PORT, 512, 0), 0);
    EXPECT_TRUE(messages.empty());
}

// A part that stays busy, a page that does not arrive or one that reads
// otherwise the second time leaves every table as it was: the caller shows
// what it loaded as the board's configuration.
TEST_F(ConfigLoad, FlashLoaderLoadsNothingItCouldNotReadTwiceAlike) {
    Bytes block = pattern(0x400, 12);
    board().write_raw(0x10000, block);
    ASSERT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
    ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0);
    ZintraAction(ZINTRA_SET_GROUP_FIELD, 10, 0x123456, 0);
    struct Case {
        const char* faults; // read=N counts from the load's first read, the status read
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"busy",
         {"The flash stays busy; the configuration was not read and the tables are "
          "unchanged"}},
        {"read=4",
         {"FT_Write fail!", "Could not read the configuration block at 00010100; the "
                            "tables are unchanged"}},
        {"flip=1@0x10301-0x10302",
         {"The configuration block reads differently twice at "
          "00010301; the tables are unchanged"}},
    };
    for (const Case& c : cases) {
        messages.clear();
        std::string error;
        ASSERT_TRUE(vboard::parse_faults(c.faults, board().faults(), error)) << error;
        if (board().faults().read_fails_on_call)
            board().faults().read_fails_on_call += board().counters().usb_reads;
        EXPECT_EQ(LoadConfFromFlashToBuffer(), 0) << c.faults;
        EXPECT_EQ(messages, c.messages);
        EXPECT_EQ(GetConf(ZINTRA_TABLE_GROUP, 10, 0), 0x123456) << c.faults;
        EXPECT_EQ(GetConf(ZINTRA_TABLE_HEADER, 0, 0), 0xA55AA5) << c.faults;
        board().faults() = {};
    }
    ASSERT_EQ(LoadConfFromFlashToBuffer(), 1);
    EXPECT_EQ(GetConf(ZINTRA_TABLE_GROUP, 10, 0), field3(block, 0x100 + 30));
}

} // namespace
