// Several bridges as a production line attaches them: plexmoor-cli run as a
// process, four virtual bridges from the environment, the demo image. The
// Windows build runs the same cases under Wine.
#include "program_runs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

namespace plexmoor::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path, std::size_t count = std::string::npos) {
    std::ifstream in(path, std::ios::binary);
    std::string all(std::istreambuf_iterator<char>(in), {});
    return all.substr(0, count);
}

class GangTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = os::make_temp_folder("plexmoor-gang-");
        ASSERT_FALSE(dir_.empty());
        ASSERT_EQ(run("demo.b", "plexmoor-demo-image"), 0);
        image_ = ReadBytes(dir_ / "demo.b");
        ASSERT_FALSE(image_.empty());
        ASSERT_EQ(run("history --record-create"), 0); // the line's record
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path board(int n) const { return dir_ / ("board" + std::to_string(n) + ".bin"); }
    bool holdsImage(int n) const { return ReadBytes(board(n), image_.size()) == image_; }

    // A program of the build in the test's folder with four virtual
    // bridges, the fourth without a chip.
    ProgramRun prepared(const std::string& args, const std::string& program = "plexmoor-cli",
                        const char* virtual_time = "1") const {
        std::string boards;
        for (int n = 1; n <= 4; ++n)
            boards += (n > 1 ? std::string(1, kPathListSeparator) : "") + board(n).string();
        return {Words(program + " " + args),
                {{"FTD2XX_VIRTUAL_BOARDS", boards},
                 {"FTD2XX_VIRTUAL_FAULTS", ";;;nochip"},
                 {"FTD2XX_VIRTUAL_TIME", virtual_time},
                 {"PLEXMOOR_RECORD", "record.db"},
                 {"ZINTRA_RECOVERY_DIR", "."},
                 {"XDG_STATE_HOME", "state"}}};
    }
    // Its status; its output in out_.
    int run(const std::string& args, const std::string& program = "plexmoor-cli") {
        std::vector<ProgramRun> runs{prepared(args, program)};
        StartRuns(dir_, runs);
        FinishRuns(runs);
        out_ = runs[0].out;
        return runs[0].status;
    }

    fs::path dir_;
    std::string image_, out_;
};

TEST_F(GangTest, EveryBridgeIsProgrammedAndTheOneWithoutAChipFailsAlone) {
    EXPECT_EQ(run("program --all demo.b"), 1) << out_;
    for (int n : {1, 2, 3})
        EXPECT_TRUE(holdsImage(n)) << "board " << n;
    EXPECT_FALSE(holdsImage(4));
    EXPECT_NE(out_.find("VB0004: failed: No flash chip answered"), std::string::npos) << out_;
    EXPECT_NE(out_.find("3 of 4 boards done"), std::string::npos) << out_;

    // Each board its own row, naming its bridge.
    ASSERT_EQ(run("history --csv"), 0) << out_;
    for (const char* bridge : {",VB0001,", ",VB0002,", ",VB0003,", ",VB0004,"})
        EXPECT_NE(out_.find(bridge), std::string::npos) << bridge << "\n" << out_;

    // Each board its own serial; none is spent on the board without a chip.
    ASSERT_EQ(run("parse demo.b --out line.ini"), 0) << out_;
    EXPECT_EQ(run("serial --all --config line.ini"), 1) << out_;
    std::set<std::string> counters;
    const std::regex serial("QV[0-9]{6}([0-9]{3})");
    for (auto m = std::sregex_iterator(out_.begin(), out_.end(), serial);
         m != std::sregex_iterator(); ++m)
        counters.insert((*m)[1]);
    EXPECT_EQ(counters, (std::set<std::string>{"001", "002", "003"})) << out_;
}

TEST_F(GangTest, OneBridgeChosenBySerialAndTheListOfBridges) {
    ASSERT_EQ(run("program --device VB0002 demo.b --no-record"), 0) << out_;
    for (int n : {1, 2, 3, 4})
        EXPECT_EQ(holdsImage(n), n == 2) << "board " << n;
    EXPECT_EQ(run("program --device VB0009 demo.b --no-record"), 1) << out_;

    ASSERT_EQ(run("list --probe"), 0) << out_;
    for (const char* line : {"VB0001 ", "VB0002 ", "VB0003 ", "VB0004 "})
        EXPECT_NE(out_.find(line), std::string::npos) << line << "\n" << out_;
    EXPECT_NE(out_.find("C2 20 15"), std::string::npos) << out_;
    EXPECT_NE(out_.rfind("none\n"), std::string::npos) << out_;
}

// A stop asked of the parent (SIGTERM, or on Windows its stop event) is
// passed to every worker, and each stops at its next page: in real time,
// once the first board has begun to program.
TEST_F(GangTest, AStopOfTheParentStopsEveryWorker) {
    std::ofstream(dir_ / "big.b", std::ios::binary) << std::string(0x40000, 'G');
    std::vector<ProgramRun> runs{
        prepared("program --all big.b --raw --fast --no-record", "plexmoor-cli", "0")};
    StartRuns(dir_, runs);
    std::vector<os::Child> parent{std::move(runs[0].child)};
    while (parent[0].open && parent[0].unread.find("program 0%") == std::string::npos)
        os::read_children(parent, 1000);
    os::stop_child(parent[0]);
    while (parent[0].open)
        os::read_children(parent, 1000);
    const std::string out = parent[0].unread;
    EXPECT_EQ(os::wait_child(parent[0]), 1) << out;
    EXPECT_NE(out.find("0 of 4 boards done"), std::string::npos) << out;
    for (const char* stopped : {"VB0001: stopped", "VB0002: stopped", "VB0003: stopped"})
        EXPECT_NE(out.find(stopped), std::string::npos) << stopped << "\n" << out;
}

} // namespace
} // namespace plexmoor::testing
