// Programming through the exports on the virtual board, in virtual time.
#include "board_fixture.h"
#include "zintra.h"

#include <algorithm>
#include <string>

namespace {

// A code no action has: it does nothing and succeeds when the library is idle.
constexpr int32_t kUnknownAction = 0;

using testing_support::Bytes;
using testing_support::pattern;
using testing_support::write_file;

class ProgramFlash : public testing_support::BoardTest {
  protected:
    void SetUp() override {
        BoardTest::SetUp();
        ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        ASSERT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
    }
    // The programmer reopened on a board with `part`, kept in `file` when
    // one is named (the board copies the part).
    void use_part(const vboard::FlashPart& part, const std::string& file = "") {
        ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        vboard::Options options;
        options.part = &part;
        if (!file.empty()) options.path = temp(file).string();
        reattach(options);
        ASSERT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
    }
    void use_other_part() { use_part(vboard::other_part()); }
    int program(const Bytes& file, int32_t start, int32_t check = 0) {
        write_file(temp("image.bin"), file);
        EXPECT_EQ(SetupWriteParameter(start, temp("image.bin").string().c_str()), 1);
        return ZintraAction(ZINTRA_PROGRAM_FLASH, check, 0, 0);
    }
    long count_lines(const std::string& prefix) const {
        return std::count_if(debug_lines.begin(), debug_lines.end(),
                             [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
    Bytes flash(uint32_t address, uint32_t size) { return board().read(address, size); }
};

TEST_F(ProgramFlash, FileIsProgrammedInChunksAndTheLastChunkIsPaddedWithZeros) {
    use_other_part();
    Bytes file = pattern(10000);
    EXPECT_EQ(GetFlashProgress(), 0);
    ASSERT_EQ(program(file, 0), 1);
    EXPECT_EQ(GetFlashProgress(), 12288);
    EXPECT_EQ(board().counters().erases, 1u);
    EXPECT_EQ(board().counters().page_programs, 48u);
    EXPECT_EQ(count_lines("CD_PP Addr="), 48);
    EXPECT_EQ(debug_lines[debug_lines.size() - 1], "CD_PP Addr=00002f00\n");
    Bytes expected = file;
    expected.resize(12288, 0x00);
    EXPECT_EQ(flash(0, 12288), expected);
    EXPECT_EQ(flash(12288, 256), Bytes(256, 0xFF));
    EXPECT_TRUE(messages.empty());
}

TEST_F(ProgramFlash, WholeChunkAndEmptyFilesProgramNothingExtra) {
    ASSERT_EQ(program(pattern(8192), 0), 1);
    EXPECT_EQ(GetFlashProgress(), 8192);
    EXPECT_EQ(board().counters().page_programs, 32u);
    EXPECT_EQ(flash(8192, 4096), Bytes(4096, 0xFF));

    uint64_t erases = board().counters().erases;
    ASSERT_EQ(program({}, 0x40000), 1);
    EXPECT_EQ(GetFlashProgress(), 0x40000);
    EXPECT_EQ(board().counters().erases, erases);
    EXPECT_EQ(board().counters().page_programs, 32u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ProgramFlash, EraseHappensOnlyWhereAChunkOpensA64KiBBlock) {
    use_other_part();
    board().write_raw(0x20000, Bytes(0x3000, 0x00)); // old data the erase must clear
    Bytes file = pattern(12 * 1024);
    ASSERT_EQ(program(file, 0x1F000), 1);
    EXPECT_EQ(board().counters().erases, 1u);
    EXPECT_EQ(flash(0x1F000, 12 * 1024), file);
    EXPECT_EQ(GetFlashProgress(), 0x22000);
}

// The 0xC2 maker's 0x52 clears only 32 KiB, so both halves of each block are
// erased; a board holding an older image must take a new one.
TEST_F(ProgramFlash, EraseCommandFollowsTheMakerAndAlwaysClearsTheWholeBlock) {
    Bytes old_image = pattern(0x10000, 7);
    Bytes new_image = pattern(0x10000, 8);
    board().write_raw(0, old_image);
    ASSERT_EQ(program(new_image, 0), 1);
    EXPECT_EQ(board().counters().erases, 2u);
    EXPECT_EQ(flash(0, 0x10000), new_image);

    use_other_part();
    board().write_raw(0, old_image);
    uint64_t erases = board().counters().erases;
    ASSERT_EQ(program(new_image, 0), 1);
    EXPECT_EQ(board().counters().erases, erases + 1);
    EXPECT_EQ(flash(0, 0x10000), new_image);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ProgramFlash, OneBadReadBackRestartsTheChunkOnce) {
    board().faults().flipped_reads = 1;
    board().faults().flip_begin = 0x1100;
    board().faults().flip_end = 0x1101;
    Bytes file = pattern(10000);
    ASSERT_EQ(program(file, 0), 1);
    EXPECT_EQ(std::count(debug_lines.begin(), debug_lines.end(), "\nReWrite Counter=1"), 1);
    EXPECT_EQ(count_lines("\nReWrite Counter="), 1);
    EXPECT_EQ(count_lines("Compare error: Addr = 00001100"), 1);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(flash(0, 10000), file);
}

TEST_F(ProgramFlash, PersistentFaultsEndTheRunOnTheTwentyFirstCheck) {
    board().faults().flipped_reads = 1000;
    board().faults().flip_begin = 0x1100;
    board().faults().flip_end = 0x1101;
    EXPECT_EQ(program(pattern(10000), 0), 0);
    EXPECT_EQ(messages, std::vector<std::string>{"Compare error: Addr = 00001100"});
    EXPECT_EQ(count_lines("Compare error: Addr = 00001100"), 21);
    EXPECT_EQ(count_lines("\nReWrite Counter="), 20);
    EXPECT_EQ(debug_lines.back(), "Compare error: Addr = 00001100");
    EXPECT_EQ(GetFlashProgress(), 0x1000);

    // The same after an erase: the blank check fails instead.
    messages.clear();
    debug_lines.clear();
    board().faults().flip_begin = 0x10203;
    board().faults().flip_end = 0x10204;
    EXPECT_EQ(program(pattern(100), 0x10000), 0);
    EXPECT_EQ(messages, std::vector<std::string>{"Blank error: Addr = 00010203"});
    EXPECT_EQ(count_lines("\nReWrite Counter="), 20);
}

// Without a device every read-back is lost; its zeros must not pass for
// zeros that were to be written.
TEST_F(ProgramFlash, AReadBackThatDidNotArriveNeverPasses) {
    ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    EXPECT_EQ(program(Bytes(300, 0x00), 0x1000), 0);
    EXPECT_EQ(messages.back(), "Compare error: Addr = 00001000");
    EXPECT_EQ(flash(0x1000, 4096), Bytes(4096, 0xFF));
}

TEST_F(ProgramFlash, EraseThatNeverFinishesFailsSilentlyAfter201StatusReads) {
    board().faults().busy_stuck = true;
    uint64_t reads = board().counters().status_reads;
    EXPECT_EQ(program(pattern(100), 0), 0);
    EXPECT_EQ(board().counters().status_reads - reads, 201u);
    EXPECT_EQ(count_lines("CD_SE status="), 201);
    EXPECT_EQ(board().counters().page_programs, 0u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ProgramFlash, FirstByteCheckSkipsALeadingZeroAndRefusesAnythingElse) {
    ASSERT_EQ(program({0x00, 0x11, 0x22, 0x33}, 0x3000, 1), 1);
    EXPECT_EQ(flash(0x3000, 4), (Bytes{0x11, 0x22, 0x33, 0x00}));
    // Any other b leaves the check off.
    ASSERT_EQ(program({0x00, 0x11, 0x22, 0x33}, 0x5000, 2), 1);
    EXPECT_EQ(flash(0x5000, 4), (Bytes{0x00, 0x11, 0x22, 0x33}));

    uint64_t programs = board().counters().page_programs;
    EXPECT_EQ(program({0x01, 0x11}, 0x7000, 1), 0);
    EXPECT_EQ(program({}, 0x7000, 1), 0);
    EXPECT_EQ(messages, std::vector<std::string>(2, "Wrong firmware, firmware binary must start "
                                                    "from 0"));
    EXPECT_EQ(board().counters().page_programs, programs);
}

TEST_F(ProgramFlash, BadPathsAndStartAddressesAreRefusedBeforeTheFlashIsTouched) {
    EXPECT_EQ(SetupWriteParameter(0, temp("missing.bin").string().c_str()), 1);
    EXPECT_EQ(ZintraAction(ZINTRA_PROGRAM_FLASH, 0, 0, 0), 0);
    EXPECT_EQ(messages.back(), "File Error");

    // A path too long is refused and no earlier path is kept for the next run.
    write_file(temp("image.bin"), pattern(100));
    EXPECT_EQ(SetupWriteParameter(0, temp("image.bin").string().c_str()), 1);
    EXPECT_EQ(SetupWriteParameter(0, std::string(5000, 'a').c_str()), 0);
    EXPECT_EQ(messages.back().rfind("Path too long", 0), 0u);
    EXPECT_EQ(ZintraAction(ZINTRA_PROGRAM_FLASH, 0, 0, 0), 0);
    EXPECT_EQ(messages.back(), "File Error");

    for (int32_t start : {0x80, -4096, 0xFFF000, 0x1000000}) {
        messages.clear();
        EXPECT_EQ(program(pattern(8192), start), 0) << start;
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].rfind("Start address", 0), 0u);
    }
    EXPECT_EQ(board().counters().erases, 0u);
    EXPECT_EQ(board().counters().page_programs, 0u);
    // The last page below 16 MiB is still reachable on a chip that large.
    vboard::FlashPart large = vboard::default_part();
    large.size_bytes = 16u << 20;
    large.jedec_id[2] = 0x18;
    use_part(large, "large.bin");
    EXPECT_EQ(program(pattern(4096), 0xFFF000), 1);
}

// The chip's ID gives its size; a file that would pass its end is refused
// before anything is erased instead of wrapping onto the first blocks.
TEST_F(ProgramFlash, AFileLargerThanTheChipIsRefusedWhereTheIdGivesTheSize) {
    board().write_raw(0, pattern(4096, 3));
    EXPECT_EQ(program(pattern(0x280000), 0), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("2621440 bytes"), std::string::npos) << messages[0];
    EXPECT_NE(messages[0].find("2097152 bytes"), std::string::npos) << messages[0];
    EXPECT_NE(messages[0].find("would end at 0x0027ffff"), std::string::npos) << messages[0];
    EXPECT_EQ(board().counters().erases, 0u);
    EXPECT_EQ(flash(0, 4096), pattern(4096, 3));
    // The same file fits from 0 only when the padded end stays inside.
    messages.clear();
    EXPECT_EQ(program(pattern(4096), 0x1FF000), 1);
    EXPECT_EQ(program(pattern(4097), 0x1FF000), 0);

    // An ID whose capacity byte names no size keeps the unchecked run.
    vboard::FlashPart odd = vboard::default_part();
    odd.jedec_id[2] = 0xFF;
    use_part(odd, "odd.bin");
    messages.clear();
    EXPECT_EQ(program(pattern(8192), 0x1FF000), 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ProgramFlash, HandlersInsideTheRunSeeProgressButCannotChangeAnything) {
    std::vector<int32_t> progress;
    std::vector<int32_t> refused;
    on_pump = [&] {
        progress.push_back(GetFlashProgress());
        refused.push_back(ZintraAction(ZINTRA_SET_SYSTEM_VERSION, 2, 0, 0) +
                          ZintraAction(kUnknownAction, 0, 0, 0) +
                          SetupWriteParameter(0, "other.bin") +
                          ZintraActionStr(ZINTRA_STORE_PATH, 0, "x") +
                          ZintraAction(ZINTRA_PROGRAM_FLASH, 0, 0, 0) +
                          ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0));
    };
    ASSERT_EQ(program(pattern(8192), 0x10000), 1);
    ASSERT_EQ(progress.size(), 32u);
    EXPECT_EQ(progress.front(), 0x10000);
    EXPECT_EQ(progress.back(), 0x11000);
    EXPECT_EQ(refused, std::vector<int32_t>(32, 0));
    on_pump = nullptr;
    EXPECT_EQ(ZintraAction(kUnknownAction, 0, 0, 0), 1);
    EXPECT_EQ(ZintraAction(ZINTRA_PROGRAM_FLASH, 0, 0, 0), 1);
}

TEST_F(ProgramFlash, ProbeLoopReadsTheIdUntilItsCountOrAFailure) {
    uint64_t writes = board().counters().usb_writes;
    EXPECT_EQ(ZintraAction(ZINTRA_PROBE_ID_LOOP, 0, 0, 0), 1);
    EXPECT_EQ(board().counters().usb_writes - writes, 60000u);
    EXPECT_EQ(GetFlashProgress(), 0);

    ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
    EXPECT_EQ(ZintraAction(ZINTRA_PROBE_ID_LOOP, 0, 0, 0), 0);
    EXPECT_EQ(messages, std::vector<std::string>{"FT_Write fail!"});

    // A lost reply is shown too, but only a failed write ends the loop.
    messages.clear();
    ASSERT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
    board().faults().read_fails_on_call = board().counters().usb_reads + 1;
    writes = board().counters().usb_writes;
    EXPECT_EQ(ZintraAction(ZINTRA_PROBE_ID_LOOP, 0, 0, 0), 1);
    EXPECT_EQ(board().counters().usb_writes - writes, 60000u);
    EXPECT_EQ(messages, std::vector<std::string>{"FT_Write fail!"});
}

} // namespace
