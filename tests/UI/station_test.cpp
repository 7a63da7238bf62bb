// plexmoor-cli station --all as a line runs it: four virtual bridges in
// virtual time, boards put on and taken off through their sockets as a
// technician would, among them one whose chip does not answer, one
// write-protected and one pulled off mid-run. Every board file, every row
// of the record, the serials and the counts are checked.
#include "program_runs.h"
#include "record.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace plexmoor::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kBridges = 4;

// A field of one of the station's JSON lines.
std::string Field(const std::string& json, const std::string& key) {
    const std::string at = "\"" + key + "\": \"";
    const std::size_t start = json.find(at);
    if (start == std::string::npos) return {};
    const std::size_t from = start + at.size();
    return json.substr(from, json.find('"', from) - from);
}

std::string Bytes(const fs::path& path, std::size_t n) {
    std::ifstream in(path, std::ios::binary);
    std::string s(n, '\0');
    in.read(s.data(), static_cast<std::streamsize>(n));
    s.resize(static_cast<std::size_t>(in.gcount()));
    return s;
}

// What a board is, as its socket line says and as the station must end it.
struct Kind {
    const char* name;
    const char* socket_extra; // after the board file's line
    const char* want;         // "pass", "fail", or "" for no board seen at all
};
const Kind kGood{"good", "", "pass"};
const Kind kNoChip{"nochip", "faults=nochip\n", ""};
const Kind kProtected{"write-protected", "faults=wp\n", "fail"};
const Kind kPulled{"pulled mid-run", "faults=pull=100\n", "fail"};

class StationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = os::make_temp_folder("plexmoor-station-");
        ASSERT_FALSE(dir_.empty());
        ASSERT_EQ(RunProgram(dir_, "plexmoor-demo-image demo.b").status, 0);
        ASSERT_EQ(RunProgram(dir_, "plexmoor-cli parse demo.b --out line.ini").status, 0);
        record::Record::Open((dir_ / "line.db").string());
        std::string boards;
        for (int b = 1; b <= kBridges; ++b) {
            boards += (b > 1 ? std::string(1, kPathListSeparator) : "") +
                      (dir_ / ("empty" + std::to_string(b) + ".bin")).string();
            socket(b, "");
        }
        env_ = {{"FTD2XX_VIRTUAL_BOARDS", boards},
                {"FTD2XX_VIRTUAL_SOCKET", (dir_ / "socket-%s").string()},
                {"FTD2XX_VIRTUAL_TIME", "1"},
                {"PLEXMOOR_RECORD", (dir_ / "line.db").string()},
                {"ZINTRA_RECOVERY_DIR", dir_.string()}};
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::string Bridge(int b) { return "VB000" + std::to_string(b); }
    // Atomic, as the socket asks: a half-written socket reads as no board.
    void socket(int b, const std::string& text) {
        const fs::path to = dir_ / ("socket-" + Bridge(b)), tmp = to.string() + ".tmp";
        std::ofstream(tmp, std::ios::binary) << text;
        fs::rename(tmp, to);
    }

    fs::path dir_;
    Variables env_;
};

TEST_F(StationTest, EveryBoardOnceWithConsecutiveSerialsAndExactCounts) {
    // Boards by the order they are put on; each bridge takes them in turn.
    std::vector<const Kind*> plan(12, &kGood);
    plan[2] = &kNoChip;
    plan[5] = &kProtected;
    plan[9] = &kPulled;
    int counted = 0;
    for (const Kind* k : plan)
        counted += *k->want ? 1 : 0;

    std::vector<ProgramRun> runs{
        {Words("plexmoor-cli station demo.b --config line.ini --all --json --count " +
               std::to_string(counted)),
         env_}};
    StartRuns(dir_, runs);
    std::vector<os::Child> child{std::move(runs[0].child)};

    struct Bay {
        int board = -1; // on it now; -1 none
        bool waiting = false;
        Clock::time_point since;
    };
    std::map<int, Bay> bays;
    std::map<int, std::string> ended; // board -> its step
    std::map<int, std::string> serial;
    std::size_t next = 0, taken = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(90);
    std::string lines;
    while (child[0].open && Clock::now() < deadline) {
        os::read_children(child, 50);
        lines += std::exchange(child[0].unread, {});
        for (std::size_t end; (end = lines.find('\n')) != std::string::npos;) {
            const std::string line = lines.substr(0, end);
            lines.erase(0, end + 1);
            const std::string bridge = Field(line, "bridge"), step = Field(line, "step");
            if (bridge.size() != 6) continue;
            Bay& bay = bays[bridge[5] - '0'];
            if (step == "waiting") bay.waiting = true;
            if ((step == "pass" || step == "fail") && bay.board >= 0) {
                EXPECT_FALSE(ended.count(bay.board)) << "board " << bay.board << " twice";
                ended[bay.board] = step;
                serial[bay.board] = Field(line, "serial");
                socket(bridge[5] - '0', ""); // taken off
                bay.board = -1;
            }
        }
        for (auto& [b, bay] : bays) {
            // A board whose chip never answers is seen by nobody: after a
            // while it is taken off again.
            if (bay.board >= 0 && !*plan[bay.board]->want &&
                Clock::now() - bay.since > std::chrono::milliseconds(400)) {
                socket(b, "");
                ended[bay.board] = "";
                bay.board = -1;
                bay.waiting = true;
            }
            if (bay.board < 0 && bay.waiting && next < plan.size()) {
                const int n = static_cast<int>(next++);
                socket(b, "board" + std::to_string(n) + ".bin\n" + plan[n]->socket_extra);
                bay = {n, false, Clock::now()};
                ++taken;
            }
        }
    }
    ASSERT_FALSE(child[0].open) << "the station did not end";
    const int status = os::wait_child(child[0]);
    EXPECT_EQ(status, 1) << "two boards failed";

    // Every board as its kind ends it; the good ones hold the image.
    const std::string image = Bytes(dir_ / "demo.b", 1u << 20);
    std::vector<std::string> passed;
    for (std::size_t n = 0; n < plan.size(); ++n) {
        const Kind& k = *plan[n];
        EXPECT_EQ(ended[static_cast<int>(n)], k.want) << n << " " << k.name;
        const fs::path file = dir_ / ("board" + std::to_string(n) + ".bin");
        if (&k == &kGood) {
            EXPECT_EQ(Bytes(file, 0x10000), image.substr(0, 0x10000)) << n;
            passed.push_back(serial[static_cast<int>(n)]);
        }
        if (&k == &kProtected || &k == &kNoChip) {
            EXPECT_EQ(Bytes(file, 16), std::string(16, '\xff')) << n << " " << k.name;
        }
    }
    // Consecutive serials, none spent on a board that failed.
    std::set<std::string> unique(passed.begin(), passed.end());
    ASSERT_EQ(unique.size(), passed.size());
    const std::string day = passed.front().substr(0, 8);
    for (std::size_t i = 0; i < passed.size(); ++i) {
        EXPECT_TRUE(unique.count(day + (i + 1 < 10 ? "00" : "0") + std::to_string(i + 1))) << i;
    }

    // One row a board the station saw, each closed, the failures with why.
    const auto rows = record::Record::Open((dir_ / "line.db").string())->history({});
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(counted));
    int failed = 0, protected_told = 0;
    for (const record::Entry& row : rows) {
        protected_told += row.message.find("write-protected") != std::string::npos;
        EXPECT_EQ(row.operation, record::Operation::Station);
        EXPECT_NE(row.result, record::Result::Started);
        if (row.result == record::Result::Failed) {
            ++failed;
            EXPECT_FALSE(row.message.empty());
            EXPECT_TRUE(row.serial.empty()) << row.serial;
        }
    }
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(protected_told, 1); // its status register says why
    EXPECT_NE(rows[0].image_sha256.size(), 0u);
}

} // namespace
} // namespace plexmoor::testing
