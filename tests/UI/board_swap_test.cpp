// A recovery copy belongs to one board. A configuration write on board A is
// cut off (kill -9 while plexmoor-cli serial rewrites its block, in real
// time); then boards are swapped on the bridge and plexmoor-cli is run as a
// technician would: each cell starts from that moment, with board B
// programmed and serialised earlier, the copy and the record on disk.
#include "cli_process.h"
#include "program_folder.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace plexmoor::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBlock = 0x10000;

class Line {
  public:
    explicit Line(fs::path dir) : dir_(std::move(dir)) {}
    // plexmoor-cli with `board` (a.bin, b.bin) behind the bridge.
    std::string command(const std::string& board, const std::string& args,
                        bool virtual_time = true) const {
        return "FTD2XX_VIRTUAL_BOARD='" + (dir_ / board).string() + "' " +
               (virtual_time ? "FTD2XX_VIRTUAL_TIME=1 " : "") + "ZINTRA_RECOVERY_DIR='" +
               (dir_ / "recovery").string() + "' PLEXMOOR_RECORD='" + (dir_ / "line.db").string() +
               "' exec '" + (ProductFolder() / "plexmoor-cli").string() + "' " + args;
    }
    Outcome run(const std::string& board, const std::string& args) const {
        return FinishIn(dir_, StartIn(dir_, command(board, args)));
    }
    std::string block(const std::string& board) const {
        return ReadText(dir_ / board).substr(kBlock, kBlock);
    }
    // The serial a board's block holds, as read by plexmoor-cli.
    std::string serialOf(const std::string& board) const {
        EXPECT_EQ(run(board, "read --out " + board + ".ini").status, 0);
        const std::string ini = ReadText(dir_ / (board + ".ini"));
        const std::size_t at = ini.find("SerialNumber=") + 13;
        return ini.substr(at, ini.find("\r\n", at) - at);
    }
    fs::path copy() const {
        for (const auto& e : fs::directory_iterator(dir_ / "recovery"))
            if (e.path().extension() == ".bin") return e.path();
        return {};
    }
    const fs::path& dir() const { return dir_; }

  private:
    fs::path dir_;
};

// The moment every cell starts from, made once: A and B programmed and
// serialised, then A's configuration write killed after its copy was saved.
class BoardSwapTest : public ::testing::TestWithParam<int> {
  protected:
    static void SetUpTestSuite() {
        origin_ = fs::temp_directory_path() / ("board-swap-" + std::to_string(getpid()));
        fs::remove_all(origin_);
        fs::create_directories(origin_ / "recovery");
        const Line line(origin_);
        ASSERT_EQ(
            std::system(("cd '" + origin_.string() + "' && '" +
                         (ProductFolder() / "plexmoor-demo-image").string() + "' demo.b >/dev/null")
                            .c_str()),
            0);
        ASSERT_EQ(line.run("a.bin", "parse demo.b --out line.ini").status, 0);
        for (const char* board : {"a.bin", "b.bin"}) {
            const Outcome program = line.run(board, "program demo.b --record-create");
            ASSERT_EQ(program.status, 0) << program.err;
            ASSERT_EQ(line.run(board, "serial --config line.ini").status, 0);
        }
        serial_a_ = line.serialOf("a.bin");
        serial_b_ = line.serialOf("b.bin");
        // In real time the rewrite takes long enough to be cut off once the
        // copy and the board's identity beside it are on disk.
        const pid_t pid =
            StartIn(origin_, line.command("a.bin", "serial --config line.ini --new-serial", false));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (line.copy().empty() || !fs::exists(line.copy().string() + ".board")) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no copy appeared";
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        kill(pid, SIGKILL);
        FinishIn(origin_, pid);
        ready_ = true;
    }
    static void TearDownTestSuite() { fs::remove_all(origin_); }

    void SetUp() override {
        // A line that could not be set up fails every cell, never skips it.
        ASSERT_TRUE(ready_) << "the line of boards A and B could not be set up";
        dir_ = origin_.string() + "-" + std::to_string(GetParam());
        fs::remove_all(dir_);
        fs::copy(origin_, dir_, fs::copy_options::recursive);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static fs::path origin_;
    static std::string serial_a_, serial_b_;
    static bool ready_;
    fs::path dir_;
};
bool BoardSwapTest::ready_ = false;
fs::path BoardSwapTest::origin_;
std::string BoardSwapTest::serial_a_, BoardSwapTest::serial_b_;

struct Cell {
    const char* name;
    std::function<void(const Line&, const std::string& a, const std::string& b)> check;
};

const Cell kCells[] = {
    {"recover_with_another_board_refuses",
     [](const Line& line, const std::string& a, const std::string& b) {
         const std::string before = line.block("b.bin");
         const Outcome r = line.run("b.bin", "recover");
         EXPECT_EQ(r.status, 1);
         EXPECT_NE(r.err.find("belongs to the board with serial " + a +
                              "; the board on the bridge holds " + b + "; nothing was written"),
                   std::string::npos)
             << r.err;
         EXPECT_EQ(line.block("b.bin"), before);
         EXPECT_FALSE(line.copy().empty());
     }},
    {"recover_with_its_own_board_writes_it_back",
     [](const Line& line, const std::string&, const std::string&) {
         const std::string copy = ReadText(line.copy());
         const Outcome r = line.run("a.bin", "recover");
         EXPECT_EQ(r.status, 0) << r.err;
         EXPECT_NE(r.out.find("written back and verified"), std::string::npos) << r.out;
         EXPECT_EQ(line.block("a.bin"), copy);
         EXPECT_TRUE(line.copy().empty());
     }},
    {"force_writes_it_onto_another_board_and_says_so",
     [](const Line& line, const std::string&, const std::string&) {
         const std::string copy = ReadText(line.copy());
         EXPECT_EQ(line.run("b.bin", "recover --force").status, 0);
         EXPECT_EQ(line.block("b.bin"), copy);
         EXPECT_NE(line.run("b.bin", "history --csv").out.find(",recover,"), std::string::npos);
         EXPECT_NE(line.run("b.bin", "history --csv").out.find(",forced,"), std::string::npos);
     }},
    {"other_boards_are_programmed_and_serialised_while_the_copy_waits",
     [](const Line& line, const std::string& a, const std::string& b) {
         const Outcome program = line.run("c.bin", "program demo.b");
         EXPECT_EQ(program.status, 0) << program.err;
         EXPECT_NE(program.err.find("A recovery copy waits for the board with serial " + a),
                   std::string::npos)
             << program.err;
         const Outcome serial = line.run("c.bin", "serial --config line.ini");
         EXPECT_EQ(serial.status, 0) << serial.err;
         EXPECT_NE(serial.out, a + "\n");
         EXPECT_NE(serial.out, b + "\n");
         // A reworked board keeps its serial and uses none up.
         const Outcome again = line.run("b.bin", "serial --config line.ini");
         EXPECT_EQ(again.out, b + "\n") << again.err;
         EXPECT_FALSE(line.copy().empty());
     }},
    {"copies_are_listed_and_one_is_discarded_on_purpose",
     [](const Line& line, const std::string& a, const std::string&) {
         const fs::path copy = line.copy();
         const Outcome list = line.run("b.bin", "recover --list");
         EXPECT_NE(list.out.find(a), std::string::npos) << list.out;
         EXPECT_NE(list.out.find(copy.string()), std::string::npos) << list.out;
         EXPECT_EQ(line.run("b.bin", "recover --discard " + copy.string()).status, 0);
         EXPECT_FALSE(fs::exists(copy));
         EXPECT_FALSE(fs::exists(copy.string() + ".board"));
         EXPECT_NE(line.run("b.bin", "history --csv").out.find(",discard,"), std::string::npos);
     }},
    {"a_copy_of_an_earlier_build_goes_only_onto_an_erased_block",
     [](const Line& line, const std::string&, const std::string&) {
         fs::remove(line.copy().string() + ".board");
         EXPECT_EQ(line.run("b.bin", "recover").status, 1);
         WriteText(line.dir() / "c.bin", std::string(2u << 20, '\xff'));
         EXPECT_EQ(line.run("c.bin", "recover").status, 0);
     }},
};

TEST_P(BoardSwapTest, EachBoardKeepsItsOwnIdentity) {
    ASSERT_NE(serial_a_, serial_b_);
    kCells[GetParam()].check(Line(dir_), serial_a_, serial_b_);
}

INSTANTIATE_TEST_SUITE_P(Cells, BoardSwapTest,
                         ::testing::Range(0, static_cast<int>(std::size(kCells))),
                         [](const auto& info) { return std::string(kCells[info.param].name); });

} // namespace
} // namespace plexmoor::testing
