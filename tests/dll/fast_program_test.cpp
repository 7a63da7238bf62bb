// Fast programming against the exact mode on the virtual board.
#include "board_fixture.h"
#include "zintra.h"

#include <algorithm>
#include <string>

namespace {

using testing_support::Bytes;
using testing_support::pattern;

constexpr uint32_t kFlashSize = 2u << 20;
enum Mode { kExact, kFast };

struct Outcome {
    int32_t result = 0;
    Bytes flash;
    int32_t progress = 0;
    vboard::Counters counters;
};

class FastProgram : public testing_support::BoardTest {
  protected:
    // Programs `file` from `start` in `mode` on a fresh board of `part`
    // that holds `before`.
    Outcome run(int32_t mode, const Bytes& before, const Bytes& file, int32_t start,
                const vboard::FlashPart& part = vboard::default_part(), bool clock_60mhz = true,
                int32_t clock_mhz = 0) {
        ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        vboard::Options options;
        options.part = &part;
        options.master_clock_60mhz = clock_60mhz;
        reattach(options);
        board().write_raw(0, before);
        EXPECT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
        testing_support::write_file(temp("image.bin"), file);
        EXPECT_EQ(SetupWriteParameter(start, temp("image.bin").string().c_str()), 1);
        Outcome o;
        o.result = mode == kFast ? ZintraProgramFast(0, clock_mhz)
                                 : ZintraAction(ZINTRA_PROGRAM_FLASH, 0, 0, 0);
        o.flash = board().read(0, kFlashSize);
        o.progress = GetFlashProgress();
        o.counters = board().counters();
        return o;
    }
    long lines(const std::string& prefix) const {
        return std::count_if(debug_lines.begin(), debug_lines.end(),
                             [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
};

// The board as an earlier run of `file` from the block boundary `start`
// left it: the rest of its last block erased. Other data everywhere else,
// and behind the file as well unless `erased_behind`.
Bytes holding(const Bytes& file, uint32_t start, bool erased_behind = true) {
    Bytes b = pattern(kFlashSize, 9);
    auto end = b.begin() + start + static_cast<std::ptrdiff_t>(file.size());
    if (erased_behind) std::fill(end, b.begin() + ((end - b.begin() + 0xFFFF) & ~0xFFFF), 0xFF);
    std::copy(file.begin(), file.end(), b.begin() + start);
    return b;
}

// A file with whole pages of 0xFF among its data.
Bytes with_blank_pages() {
    Bytes f = pattern(0x14000, 5);
    for (uint32_t page : {0x0u, 0x1100u, 0x10F00u})
        std::fill_n(f.begin() + page, 256, 0xFF);
    return f;
}

struct Board {
    const char* name;
    Bytes before;
    Bytes file;
    int32_t start;
};

TEST_F(FastProgram, LeavesTheFlashAsTheExactModeDoes) {
    const Bytes file = pattern(0x21000, 3);
    Bytes unaligned = pattern(kFlashSize, 9);
    std::fill_n(unaligned.begin() + 0x1F000, 0x1000, 0xFF); // as an earlier erase left it
    const Board boards[] = {
        {"erased chip", Bytes(kFlashSize, 0xFF), file, 0},
        {"other data", pattern(kFlashSize, 9), file, 0x30000},
        {"the same data", holding(file, 0x30000), file, 0x30000},
        {"the same data, other data behind it", holding(file, 0, false), file, 0},
        {"unaligned start", unaligned, pattern(12 * 1024, 4), 0x1F000},
        {"a start inside a chunk", Bytes(kFlashSize, 0xFF), pattern(0x12345, 7), 0x1F100},
        {"not a multiple of 4 KiB", pattern(kFlashSize, 9), pattern(10000, 6), 0x50000},
        {"blank pages in the file", pattern(kFlashSize, 9), with_blank_pages(), 0x70000},
    };
    for (const vboard::FlashPart* part : {&vboard::default_part(), &vboard::other_part()})
        for (const Board& b : boards) {
            Outcome exact = run(kExact, b.before, b.file, b.start, *part);
            Outcome fast = run(kFast, b.before, b.file, b.start, *part);
            EXPECT_EQ(exact.result, 1) << b.name;
            EXPECT_EQ(fast.result, 1) << b.name;
            EXPECT_TRUE(fast.flash == exact.flash)
                << b.name << ", maker " << int(part->jedec_id[0]);
            EXPECT_EQ(fast.progress, exact.progress) << b.name;
        }
    EXPECT_TRUE(messages.empty()) << messages.front();
}

TEST_F(FastProgram, ErasesAndProgramsOnlyWhatTheFlashDoesNotHold) {
    const Bytes file = with_blank_pages(); // 20 chunks over two blocks, 3 blank pages
    struct Case {
        const char* name;
        Bytes before;
        uint64_t erases;
        uint64_t programs;
        uint64_t reads; // USB reads: a block's first chunk, then the rest of it
    };
    const Case cases[] = {
        {"erased chip", Bytes(kFlashSize, 0xFF), 0, 317, 0},
        {"the same data", holding(file, 0x70000), 0, 0, 4},
        {"other data", pattern(kFlashSize, 9), 2, 317, 0},
    };
    for (const Case& c : cases) {
        Outcome o = run(kFast, c.before, file, 0x70000);
        EXPECT_EQ(o.result, 1) << c.name;
        EXPECT_EQ(o.counters.erases, c.erases) << c.name;
        EXPECT_EQ(o.counters.page_programs, c.programs) << c.name;
        if (c.reads) {
            EXPECT_EQ(o.counters.usb_reads, c.reads + 3) << c.name << ": ready, ID, clock probe";
        }
    }
}

// A command that did not go out, a lost reply or a flipped read costs a
// restart; a chip that never takes the bytes is reported, never passed.
TEST_F(FastProgram, FaultsAreRestartedOrReportedLikeTheExactModes) {
    struct Case {
        const char* name;
        vboard::Faults faults;
        int32_t result;
        std::string message; // the last box, when there is one
    };
    auto flips = [](uint32_t n) {
        vboard::Faults f;
        f.flipped_reads = n;
        f.flip_begin = 0x41100;
        f.flip_end = 0x41101;
        return f;
    };
    vboard::Faults protect;
    protect.write_protected = true;
    vboard::Faults lost_write;
    lost_write.write_fails_on_call = 9; // set-up 3, ready, ID, clock 2, first read, the erase
    vboard::Faults lost_read;
    lost_read.read_fails_on_call = 5; // ready, ID, clock, first read, the erase's first poll
    const Case cases[] = {
        {"one flipped read", flips(1), 1, ""},
        {"flips that persist", flips(1000), 0, "Compare error: Addr = 00041100"},
        {"write-protected", protect, 0, "Blank error: Addr = 00040000"},
        {"the erase lost", lost_write, 1, "FT_Write fail!"},
        {"a poll's reply lost", lost_read, 1, "FT_Write fail!"},
    };
    const Bytes file = pattern(0x3000, 8);
    for (const Case& c : cases) {
        messages.clear();
        ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        reattach({});
        board().write_raw(0, pattern(kFlashSize, 9));
        board().faults() = c.faults;
        ASSERT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
        testing_support::write_file(temp("image.bin"), file);
        SetupWriteParameter(0x40000, temp("image.bin").string().c_str());
        EXPECT_EQ(ZintraProgramFast(0, 0), c.result) << c.name;
        EXPECT_EQ(messages.empty() ? "" : messages.back(), c.message) << c.name;
        if (c.result == 1) {
            EXPECT_EQ(board().read(0x40000, 0x3000), file) << c.name;
        }
    }
    EXPECT_EQ(lines("\nReWrite Counter=20"), 2) << "persistent flips and write protection";
    EXPECT_EQ(std::count(debug_lines.begin(), debug_lines.end(), "\nReWrite Counter=1"), 4)
        << "those two, one flip and the lost erase";
}

// Before the first read and after each command the wait ends within the
// command's budget (twice the part's longest), with a message. Pages go out
// a chunk at a time once the first two have shown the part's pace: the one
// reported is the first that went out after the bit stuck, and the run ends
// within its budget after that chunk's write (at most 30 ms at 15 MHz).
TEST_F(FastProgram, AStuckBusyBitEndsTheRunWithinItsBudget) {
    struct Case {
        const char* name;
        int pumps_before; // the busy bit sticks inside this pump; -1 before the run
        uint64_t budget_us;
        uint64_t slack_us;
        std::string message;
    };
    const Case cases[] = {
        {"before the run", -1, 4'000'000, 400'000,
         "The flash stays busy; nothing was erased or programmed"},
        {"at a page program", 5, 10'000, 30'000,
         "The flash was still busy 10 ms after the page program at 00040200; programming stopped "
         "there"},
    };
    for (const Case& c : cases) {
        messages.clear();
        ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        reattach({});
        ASSERT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
        board().faults().busy_stuck = c.pumps_before < 0;
        uint64_t stuck_at = board().now_us();
        on_pump = [&] {
            if (pumps == c.pumps_before + 1) {
                board().faults().busy_stuck = true;
                stuck_at = board().now_us();
            }
        };
        testing_support::write_file(temp("image.bin"), pattern(0x3000, 8));
        SetupWriteParameter(0x40000, temp("image.bin").string().c_str());
        pumps = 0;
        EXPECT_EQ(ZintraProgramFast(0, 0), 0) << c.name;
        EXPECT_EQ(messages, std::vector<std::string>{c.message}) << c.name;
        const uint64_t spent = board().now_us() - stuck_at;
        EXPECT_GE(spent, c.budget_us) << c.name;
        EXPECT_LE(spent, c.budget_us + c.slack_us) << c.name;
        on_pump = nullptr;
    }
}

// A part that turns slower (or faster) mid-run than the pages before had
// shown, a slow host, a bridge that cannot wait in its stream: each page is
// programmed once, no write asks for more replies than the bridge holds,
// and the run keeps close to what the wire and the part take.
TEST_F(FastProgram, KeepsItsPaceAndProgramsEachPageOnceWhenThePartChangesMidRun) {
    struct Case {
        const char* name;
        const vboard::FlashPart* part;
        uint32_t mhz;
        bool clock_60mhz;
        uint32_t usb_us;
        uint32_t slow_from, percent;
        double pace; // the most board time per least, wire and part
    };
    const Case cases[] = {
        {"2.5 times slower from page 100", &vboard::default_part(), 30, true, 125, 100, 250, 1.08},
        {"3 times slower from page 300", &vboard::other_part(), 15, true, 125, 300, 300, 1.08},
        {"twice as fast from page 100", &vboard::default_part(), 15, true, 125, 100, 50, 1.08},
        {"a slow host, slower from page 50", &vboard::other_part(), 30, true, 1000, 50, 200, 1.3},
        {"no wait in the stream, slower from 40", &vboard::default_part(), 6, false, 125, 40, 200,
         1.2},
    };
    const Bytes file = pattern(0x40000, 12);
    const uint32_t pages = 0x40000 / 256;
    for (const Case& c : cases) {
        ZintraAction(ZINTRA_CLOSE_PROGRAMMER, 0, 0, 0);
        vboard::Options options;
        options.part = c.part;
        options.master_clock_60mhz = c.clock_60mhz;
        options.usb_turnaround_us = c.usb_us;
        options.faults.slow_from_page = c.slow_from;
        options.faults.slow_percent = c.percent;
        reattach(options);
        board().fill(0xFF);
        ASSERT_EQ(ZintraAction(ZINTRA_OPEN_PROGRAMMER, 0, 0, 0), 1);
        testing_support::write_file(temp("image.bin"), file);
        SetupWriteParameter(0, temp("image.bin").string().c_str());
        const uint64_t start = board().now_us();
        EXPECT_EQ(ZintraProgramFast(0, static_cast<int32_t>(c.mhz)), 1) << c.name;
        const double took = static_cast<double>(board().now_us() - start);
        EXPECT_TRUE(board().read(0, 0x40000) == file) << c.name;
        EXPECT_EQ(board().counters().page_programs, pages) << c.name;
        EXPECT_EQ(board().counters().stalled_writes, 0u) << c.name;
        // Read to find it blank, written, read back; then the part's pages.
        const double page_us = c.part->page_program_us;
        const double least = 3.0 * 0x40000 * 8 / c.mhz + (c.slow_from - 1) * page_us +
                             (pages - c.slow_from + 1) * page_us * c.percent / 100;
        EXPECT_LE(took / least, c.pace) << c.name << ": " << took / 1e3 << " ms";
    }
    EXPECT_TRUE(messages.empty()) << messages.front();
}

TEST_F(FastProgram, RaisesTheClockOnlyWhereTheBridgeHasItAndPutsItBack) {
    for (bool clock_60mhz : {true, false}) {
        debug_lines.clear();
        ASSERT_EQ(run(kFast, {}, pattern(100), 0, vboard::default_part(), clock_60mhz).result, 1);
        EXPECT_EQ(lines(clock_60mhz ? "Fast programming: the bridge has the 60 MHz clock, SPI "
                                      "clock 15 MHz"
                                    : "Fast programming: the bridge answered 0x8A as a bad "
                                      "command, SPI clock stays 3 MHz"),
                  1);
        EXPECT_EQ(board().spi_clock_hz(), 3'000'000u) << "the open sequence's clock again";
        EXPECT_EQ(board().counters().bad_commands, clock_60mhz ? 1u : 2u);
    }
}

// The clock option: what each value runs at on either bridge, or why not,
// with nothing erased or programmed on a refusal.
TEST_F(FastProgram, TheClockOptionSetsTheSpiClockTheBridgeCanRun) {
    struct Case {
        int32_t mhz;
        bool clock_60mhz;
        const char* said; // the debug line, or the message of a refusal
    };
    int seed = 0;
    for (Case c :
         {Case{30, true, "the bridge has the 60 MHz clock, SPI clock 30 MHz"},
          Case{6, true, "the bridge has the 60 MHz clock, SPI clock 6 MHz"},
          Case{3, true, "the bridge has the 60 MHz clock, SPI clock 3 MHz"},
          Case{6, false, "the bridge has no 60 MHz clock, SPI clock 6 MHz"},
          Case{30, false, "SPI clock cannot be 30 MHz; nothing was erased"},
          Case{15, false, "SPI clock cannot be 15 MHz; nothing was erased"},
          Case{12, true, "SPI clock 12 MHz refused"}, Case{-1, true, "SPI clock -1 MHz refused"}}) {
        messages.clear();
        debug_lines.clear();
        const Bytes file = pattern(5000, static_cast<uint32_t>(++seed));
        Outcome o = run(kFast, {}, file, 0, vboard::default_part(), c.clock_60mhz, c.mhz);
        const bool refused = std::string(c.said).find("SPI clock cannot") != std::string::npos ||
                             std::string(c.said).find("refused") != std::string::npos;
        EXPECT_EQ(o.result, refused ? 0 : 1) << c.mhz;
        const auto& said = refused ? messages : debug_lines;
        EXPECT_TRUE(
            std::any_of(said.begin(), said.end(),
                        [&](const std::string& l) { return l.find(c.said) != std::string::npos; }))
            << c.mhz << " " << c.clock_60mhz;
        if (refused)
            EXPECT_EQ(o.counters.page_programs + o.counters.erases, 0u) << c.mhz;
        else
            EXPECT_EQ(Bytes(o.flash.begin(), o.flash.begin() + 5000), file) << c.mhz;
        EXPECT_EQ(board().spi_clock_hz(), 3'000'000u) << c.mhz << ": the open sequence's again";
    }
}

} // namespace
