// The flash panel's additions: the chip's ID, a backup of flash blocks, and
// a stop asked for from inside a programming run.
#include "board_fixture.h"
#include "zintra.h"

#include <array>
#include <string>

namespace {

using testing_support::Bytes;
using testing_support::pattern;
using testing_support::read_file;

class ChipTools : public testing_support::BoardTest {
  protected:
    void SetUp() override {
        BoardTest::SetUp();
        ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    }
    void open(vboard::Options options = {}) {
        reattach(options);
        ASSERT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
    }
};

TEST_F(ChipTools, ChipIdReadsThePartsIdAndAllOnesWithoutAChip) {
    struct Case {
        const vboard::FlashPart* part;
        bool no_chip;
        std::array<uint8_t, 3> id;
    };
    for (Case c : {Case{&vboard::default_part(), false, {0xC2, 0x20, 0x15}},
                   Case{&vboard::other_part(), false, {0xEF, 0x40, 0x15}},
                   Case{&vboard::default_part(), true, {0xFF, 0xFF, 0xFF}}}) {
        ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        vboard::Options options;
        options.part = c.part;
        options.faults.no_chip = c.no_chip;
        open(options);
        std::array<uint8_t, 3> id{};
        EXPECT_EQ(ZintraChipId(id.data()), 1);
        EXPECT_EQ(id, c.id);
    }
    ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    std::array<uint8_t, 3> id{};
    EXPECT_EQ(ZintraChipId(id.data()), 0) << "no programmer open";
    EXPECT_TRUE(messages.empty());
}

TEST_F(ChipTools, BackupOfTwoBlocksHoldsExactlyTheFlash) {
    open();
    board().write_raw(0, pattern(0x40000, 3));
    const auto path = temp("backup.bin");
    testing_support::write_file(path, {0x01}); // an older backup is replaced
    ASSERT_EQ(ZintraBackupFlash(path.string().c_str(), 0x10000, 0x20000), 1);
    EXPECT_EQ(read_file(path), board().read(0x10000, 0x20000));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()), {}), 2)
        << "the board's file and the backup: no temporary file left";
    EXPECT_EQ(board().counters().erases + board().counters().page_programs, 0u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ChipTools, BackupThatCannotBeWrittenStopsBeforeReadingTheFlash) {
    open();
    const auto path = temp("missing") / "backup.bin";
    const uint64_t writes = board().counters().usb_writes;
    EXPECT_EQ(ZintraBackupFlash(path.string().c_str(), 0, 0x10000), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(path.string()), std::string::npos) << messages[0];
    EXPECT_EQ(board().counters().usb_writes, writes);
    EXPECT_FALSE(std::filesystem::exists(path.parent_path()));
}

// From the pump at 30 % of the run: the page the pump came before is not
// programmed, every block behind it is as it was, and the next run is
// not stopped.
TEST_F(ChipTools, StopFromThePumpEndsTheRunAtThatPage) {
    const Bytes old_data = pattern(0x100000, 9);
    const Bytes file = pattern(0x40000, 4);
    for (int32_t mode : {ZINTRA_PROGRAM_EXACT, ZINTRA_PROGRAM_FAST}) {
        messages.clear();
        ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        open();
        board().write_raw(0, old_data);
        testing_support::write_file(temp("image.bin"), file);
        SetupWriteParameter(0x20000, temp("image.bin").string().c_str());
        int32_t stopped_before = -1;
        on_pump = [&] {
            if (stopped_before < 0 && GetFlashProgress() >= 0x20000 + 0x40000 * 3 / 10) {
                EXPECT_EQ(ZintraStop(), 1);
                stopped_before = GetFlashProgress();
            }
        };
        EXPECT_EQ(ZintraAction(ZINTRA_PROGRAM_FLASH, 0, mode, 0), 0) << mode;
        on_pump = nullptr;
        ASSERT_EQ(stopped_before, 0x34000) << "the first chunk at or past 30 %";
        EXPECT_EQ(messages, std::vector<std::string>{"Stopped at 00034000: the board holds a "
                                                     "partial image from 00020000"});
        EXPECT_EQ(board().read(0x34000, 0x100), Bytes(0x100, 0xFF)) << "erased, not programmed";
        EXPECT_EQ(board().read(0x40000, 0xC0000),
                  Bytes(old_data.begin() + 0x40000, old_data.end()));
        EXPECT_EQ(ZintraAction(ZINTRA_PROGRAM_FLASH, 0, mode, 0), 1) << mode;
        EXPECT_EQ(board().read(0x20000, 0x40000), file);
    }
    EXPECT_EQ(ZintraStop(), 0) << "nothing runs";
}

} // namespace
