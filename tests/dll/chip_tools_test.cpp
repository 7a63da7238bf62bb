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
    int32_t program(bool fast) {
        return fast ? ZintraProgramFast(0, 0) : ZintraAction(ZINTRA_PROGRAM_FLASH, 0, 0, 0);
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
    // An older backup of that name is what a board held once: kept.
    testing_support::write_file(path, {0x01});
    ASSERT_EQ(ZintraBackupFlash(path.string().c_str(), 0x10000, 0x20000), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("exists already and is kept"), std::string::npos) << messages[0];
    EXPECT_EQ(read_file(path), std::vector<uint8_t>{0x01});
    messages.clear();
    std::filesystem::remove(path);
    ASSERT_EQ(ZintraBackupFlash(path.string().c_str(), 0x10000, 0x20000), 1);
    EXPECT_EQ(read_file(path), board().read(0x10000, 0x20000));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()), {}), 2)
        << "the board's file and the backup: no temporary file left";
    EXPECT_EQ(board().counters().erases + board().counters().page_programs, 0u);
    EXPECT_TRUE(messages.empty());
}

// Reads past the end wrap onto the chip's start: a backup reaching there is
// refused by the size the ID gives, though nothing read the ID before.
TEST_F(ChipTools, BackupPastTheChipsEndIsRefusedWithNoFile) {
    vboard::FlashPart small = vboard::default_part();
    small.jedec_id = {0xC2, 0x20, 0x11};
    small.size_bytes = 0x20000;
    vboard::Options options;
    options.part = &small;
    options.path = temp("small.bin").string();
    open(options);
    const auto path = temp("backup.bin");
    EXPECT_EQ(ZintraBackupFlash(path.string().c_str(), 0x1F000, 0x2000), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("inside the flash's 131072 bytes"), std::string::npos)
        << messages[0];
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(ZintraBackupFlash(path.string().c_str(), 0x1F000, 0x1000), 1);
}

// The window's chip line: the family where the parts table knows the ID,
// the capacity from the table or the capacity byte, and never a cut name.
TEST_F(ChipTools, ChipFamilyNamesKnownPartsAndGivesTheCapacity) {
    struct Case {
        std::array<uint8_t, 3> id;
        int32_t size;
        const char* family;
        int32_t kib;
    };
    for (Case c : {Case{{0xC2, 0x20, 0x15}, 32, "MX25L16-class", 2048},
                   Case{{0xEF, 0x40, 0x15}, 32, "W25Q16-class", 2048},
                   Case{{0xC2, 0x20, 0x18}, 32, "", 16384}, Case{{0x12, 0x34, 0x16}, 32, "", 4096},
                   Case{{0xFF, 0xFF, 0xFF}, 32, "", 0}, Case{{0xC2, 0x20, 0x15}, 13, "", 2048}}) {
        char family[32];
        std::fill(std::begin(family), std::end(family), 'x');
        EXPECT_EQ(ZintraChipFamily(c.id.data(), family, c.size), c.kib) << c.family;
        EXPECT_STREQ(family, c.family);
    }
    EXPECT_EQ(ZintraChipFamily(nullptr, nullptr, 0), 0);
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

// The backup keeps the host's window alive: it pumps, tells the address it
// reads, refuses other calls from the pump, and a stop ends it with no file
// and nothing erased.
TEST_F(ChipTools, BackupPumpsTellsItsProgressAndEndsAtAStop) {
    open();
    board().write_raw(0, pattern(0x20000, 6));
    const auto path = temp("backup.bin");
    std::vector<int32_t> progress;
    int32_t refused = 0;
    on_pump = [&] {
        progress.push_back(GetFlashProgress());
        std::array<uint8_t, 3> id{};
        refused += ZintraChipId(id.data()) + ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0);
        if (GetFlashProgress() == 0x15000) {
            EXPECT_EQ(ZintraStop(), 1);
        }
    };
    EXPECT_EQ(ZintraBackupFlash(path.string().c_str(), 0x10000, 0x10000), 0);
    on_pump = nullptr;
    EXPECT_EQ(messages, std::vector<std::string>{"Backup stopped at 00015000: nothing was "
                                                 "written to " +
                                                 path.string() + " and nothing was erased"});
    EXPECT_EQ(progress,
              (std::vector<int32_t>{0x10000, 0x11000, 0x12000, 0x13000, 0x14000, 0x15000}));
    EXPECT_EQ(refused, 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(board().counters().erases, 0u);
    EXPECT_EQ(ZintraStop(), 0) << "nothing runs";
    EXPECT_EQ(ZintraBackupFlash(path.string().c_str(), 0x10000, 0x10000), 1)
        << "the stop ended with it";
    const Bytes board_bytes = pattern(0x20000, 6);
    EXPECT_EQ(read_file(path), Bytes(board_bytes.begin() + 0x10000, board_bytes.end()));
}

// From the pump at 30 % of the run: the page the pump came before is not
// programmed, every block behind it is as it was, and the next run is
// not stopped.
TEST_F(ChipTools, StopFromThePumpEndsTheRunAtThatPage) {
    const Bytes old_data = pattern(0x100000, 9);
    const Bytes file = pattern(0x40000, 4);
    for (bool fast : {false, true}) {
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
        EXPECT_EQ(program(fast), 0) << fast;
        on_pump = nullptr;
        ASSERT_EQ(stopped_before, 0x34000) << "the first chunk at or past 30 %";
        EXPECT_EQ(messages, std::vector<std::string>{"Stopped at 00034000: the board holds a "
                                                     "partial image from 00020000"});
        EXPECT_EQ(board().read(0x34000, 0x100), Bytes(0x100, 0xFF)) << "erased, not programmed";
        EXPECT_EQ(board().read(0x40000, 0xC0000),
                  Bytes(old_data.begin() + 0x40000, old_data.end()));
        EXPECT_EQ(program(fast), 1) << fast;
        EXPECT_EQ(board().read(0x20000, 0x40000), file);
    }
    EXPECT_EQ(ZintraStop(), 0) << "nothing runs";
}

} // namespace
