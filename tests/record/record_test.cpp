// The production record on both stores: SQLite in a file of its own, and
// PostgreSQL on the private server the test fixture starts (its socket
// folder in PLEXMOOR_TEST_POSTGRES_HOST; without it they are not there).
// The Windows build runs the SQLite cases under Wine.
#include "database.h"
#include "history_format.h"
#include "os.h"
#include "program_runs.h"
#include "record.h"
#include "record_texts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace plexmoor::record;
using plexmoor::testing::ProgramRun;
using plexmoor::testing::Words;

namespace {

const char* PostgresHost() {
    return std::getenv("PLEXMOOR_TEST_POSTGRES_HOST");
}

class RecordTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::string db =
            "t" + std::to_string(os::process_id()) + "_" + name.substr(0, name.find('/'));
        if (GetParam() == "sqlite") {
            dir_ = fs::temp_directory_path() / db;
            fs::remove_all(dir_);
            fs::create_directories(dir_);
            url_ = "sqlite:" + (dir_ / "r.db").string();
            return;
        }
        for (char& c : db)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        auto server =
            OpenDatabase(std::string("postgresql://postgres@/postgres?host=") + PostgresHost(), true);
        server->query("DROP DATABASE IF EXISTS " + db);
        server->query("CREATE DATABASE " + db);
        url_ = "postgresql://postgres@/" + db + "?host=" + PostgresHost();
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }
    fs::path dir_;
    std::string url_;
};

Filter Where(std::string Filter::*field, const std::string& value) {
    Filter f;
    f.*field = value;
    return f;
}

Closing Closed(Result result, const std::string& message, const std::string& serial = {},
               const std::string& chip = {}, std::optional<int64_t> size = {}) {
    Closing c;
    c.result = result;
    c.message = message;
    c.serial = serial;
    c.chip_id = chip;
    c.chip_size = size;
    return c;
}

Entry Program(const std::string& station) {
    Entry e;
    e.station = station;
    e.bridge = "VB0001";
    e.operation = Operation::Flash;
    e.image = "demo.b";
    e.image_size = 163840;
    e.image_sha256 = std::string(64, 'a');
    e.address = 0;
    e.mode = "exact";
    return e;
}

TEST_P(RecordTest, RowsAreCommittedStartedAndClosedOnlyOnce) {
    auto record = Record::Open(url_);
    const int64_t a = record->begin(Program("line-1"));
    // Committed before the board is touched: another connection sees it.
    auto other = Record::Open(url_);
    ASSERT_EQ(other->history({}).size(), 1u);
    EXPECT_EQ(other->history({})[0].result, Result::Started);
    record->finish(a, Closed(Result::Done, "Flash Complete, \"ok\"", {}, "C2 20 15", 2097152));
    EXPECT_THROW(record->finish(a, Closed(Result::Failed, "again")), Error);
    Entry read = Program("line-2");
    read.operation = Operation::LoadFromFlash;
    const int64_t b = record->begin(read);
    record->finish(b, Closed(Result::Failed, "Open usb device error", "QV261207004"));

    const auto rows = other->history({});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].chip_id, "C2 20 15");
    EXPECT_EQ(rows[0].chip_size, 2097152);
    EXPECT_EQ(rows[0].image_size, 163840);
    EXPECT_EQ(rows[0].mode, "exact");
    EXPECT_EQ(rows[0].result, Result::Done);
    EXPECT_FALSE(rows[0].ended.empty());
    EXPECT_EQ(rows[1].operation, Operation::LoadFromFlash);
    EXPECT_EQ(rows[1].serial, "QV261207004");

    // Each filter alone, and the latest rows only.
    EXPECT_EQ(other->history(Where(&Filter::serial, "QV261207004")).at(0).id, b);
    EXPECT_EQ(other->history(Where(&Filter::station, "line-1")).at(0).id, a);
    EXPECT_TRUE(other->history(Where(&Filter::since, "2999-01-01")).empty());
    EXPECT_EQ(other->history(Where(&Filter::since, "2000-01-01")).size(), 2u);
    Filter failed, latest;
    failed.failed_only = true;
    latest.limit = 1;
    EXPECT_EQ(other->history(failed).at(0).id, b);
    EXPECT_EQ(other->history(latest).at(0).id, b);

    const std::string csv = Csv(rows);
    EXPECT_NE(csv.find(",\"Flash Complete, \"\"ok\"\"\","), std::string::npos) << csv;
    EXPECT_NE(Json(rows).find("\"message\": \"Flash Complete, \\\"ok\\\"\""), std::string::npos);
    EXPECT_NE(Json(rows).find("\"image_size\": 163840"), std::string::npos);
}

TEST_P(RecordTest, SerialsAreNeverGivenTwiceWhateverTheCounterSays) {
    auto record = Record::Open(url_);
    struct Step {
        std::string day;
        int config_counter;
        Result outcome;
        int counter;
    };
    const Step steps[] = {
        {"261207", 4, Result::Failed, 5},  // the configuration's counter + 1
        {"261207", 0, Result::Done, 6},    // a failed board's serial is skipped
        {"261207", 3, Result::Stopped, 7}, // the record's counter is higher
        {"261207", 10, Result::Done, 11},  // the configuration's is higher
        {"261208", 0, Result::Done, 1},    // a new day starts at 001
    };
    for (const Step& s : steps) {
        Entry e = Program("line-1");
        e.operation = Operation::FlashSetting;
        const Reservation r = record->reserveSerial(s.day, s.config_counter, e);
        EXPECT_EQ(r.counter, s.counter);
        EXPECT_EQ(r.serial, SerialText(s.day, s.counter));
        record->finish(r.id, Closed(s.outcome, ""));
    }
    EXPECT_EQ(record->nextCounter("261207", 0), 12); // asking reserves nothing
    EXPECT_EQ(record->nextCounter("261207", 0), 12);
    EXPECT_EQ(record->history(Where(&Filter::serial, "QV261207005")).at(0).result, Result::Failed);
    EXPECT_THROW(record->reserveSerial("261207", kLastCounter, Program("x")), Error);
}

#ifndef _WIN32 // no fork there: RecordCliTest's stations are processes of their own
TEST_P(RecordTest, EightProcessesReserveEightConsecutiveSerials) {
    Record::Open(url_); // created once; the children only reserve
    std::set<int> counters;
    std::vector<pid_t> children;
    for (int i = 0; i < 8; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            int code = 100;
            try {
                auto record = Record::Open(url_);
                Entry e = Program("station-" + std::to_string(i));
                e.operation = Operation::FlashSetting;
                const Reservation r = record->reserveSerial("261207", 0, e);
                record->finish(r.id, Closed(Result::Done, ""));
                code = r.counter;
            } catch (...) {
            }
            _exit(code);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        counters.insert(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    EXPECT_EQ(counters, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Record::Open(url_)->history({}).size(), 8u);
}
#endif

// A serial is the box's: reserved exactly, refused where another board was
// given it, taken again by the board that holds it (rework).
TEST_P(RecordTest, AnExactSerialIsReservedOnceAndKeptByItsOwnBoard) {
    auto record = Record::Open(url_);
    struct Step {
        const char* serial;
        const char* board_holds; // what the board on the bridge reads
        Result outcome;
        const char* want; // the row's mode, or "taken"
    };
    const Step steps[] = {
        {"QV261207003", "", Result::Done, "new"},
        {"QV261207003", "QV261207001", Result::Done, "taken"},  // another board's serial
        {"QV261207003", "QV261207003", Result::Done, "rework"}, // its own board again
        {"QV261207004", "", Result::Failed, "new"},
        {"QV261207004", "QV261207009", Result::Done, "new"}, // a failed row gave it to no board
        {"any text up to 45 characters", "", Result::Done, "new"},
    };
    for (const Step& s : steps) {
        Entry e = Program("line-1");
        e.operation = Operation::FlashSetting;
        try {
            const Reservation r = record->reserveExact(s.serial, s.board_holds, "261207", e);
            record->finish(r.id, Closed(s.outcome, ""));
            EXPECT_EQ(record->history(Where(&Filter::serial, s.serial)).back().mode, s.want)
                << s.serial << " on " << s.board_holds;
        } catch (const SerialTaken& taken) {
            EXPECT_STREQ(s.want, "taken") << s.serial;
            EXPECT_EQ(taken.owner.serial, s.serial);
            // 003 is reserved: the record's next passes it by.
            EXPECT_EQ(taken.next, "QV261207004");
            EXPECT_NE(std::string(taken.what()).find("QV261207004"), std::string::npos);
        }
    }
    EXPECT_EQ(record->nextCounter("261207", 0), 5);
    EXPECT_EQ(record->history(Where(&Filter::board, "QV261207003")).size(), 2u);
}

// The first schema's rows, written by the window and by plexmoor-cli under
// names of their own, read back by what was done and who did it; a name no
// build knows reads as unknown.
TEST_P(RecordTest, EarlierRowsReadBackByWhatWasDoneAndWhoDidIt) {
    auto record = Record::Open(url_);
    Database& db = record->database();
    db.query("UPDATE record_schema SET version = 1");
    db.query("DROP INDEX operations_board");
    db.query("DROP INDEX operations_open");
    for (const char* column : {"front_end", "board_serial", "host", "process"})
        db.query(std::string("ALTER TABLE operations DROP COLUMN ") + column);
    const std::pair<const char*, const char*> old[] = {
        {"program", "done"}, {"serial", "failed"},     {"read", "stopped"},
        {"restore", "done"}, {"teleport", "exploded"},
    };
    for (const auto& [operation, result] : old)
        db.query("INSERT INTO operations (started, station, operation, result) VALUES "
                 "('2026-12-01T00:00:00.000Z', 's', $1, $2)",
                 {operation, result});
    const auto rows = Record::Open(url_)->history({});
    ASSERT_EQ(rows.size(), 5u);
    const std::tuple<Operation, FrontEnd, Result> want[] = {
        {Operation::Flash, FrontEnd::Cli, Result::Done},
        {Operation::FlashSetting, FrontEnd::Cli, Result::Failed},
        {Operation::LoadFromFlash, FrontEnd::Cli, Result::Stopped},
        {Operation::Restore, FrontEnd::Window, Result::Done},
        {Operation::Unknown, FrontEnd::Window, Result::Unknown},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].operation, std::get<0>(want[i])) << i;
        EXPECT_EQ(rows[i].front_end, std::get<1>(want[i])) << i;
        EXPECT_EQ(rows[i].result, std::get<2>(want[i])) << i;
    }
}

TEST_P(RecordTest, ARecordOfANewerSchemaIsRefused) {
    Record::Open(url_)->database().query("UPDATE record_schema SET version = 99");
    try {
        Record::Open(url_);
        FAIL() << "opened";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("newer Plexmoor (record schema 99"), std::string::npos)
            << e.what();
    }
}

std::vector<std::string> Stores() {
    if (PostgresHost()) return {"sqlite", "postgresql"};
    return {"sqlite"};
}
// plexmoor-cli as a line runs it, in the test's folder: one virtual board
// file per board, in virtual time.
class RecordCliTest : public RecordTest {
  protected:
    void SetUp() override {
        RecordTest::SetUp();
        work_ = fs::temp_directory_path() / ("cli-" + std::to_string(os::process_id()));
        fs::remove_all(work_);
        fs::create_directories(work_);
        ASSERT_EQ(Ran({Words("plexmoor-demo-image demo.b")}).status, 0);
        ASSERT_EQ(Ran({Words("plexmoor-cli parse demo.b --out line.ini")}).status, 0);
        Record::Open(url_); // the line's record, made before its stations use it
    }
    void TearDown() override {
        fs::remove_all(work_);
        RecordTest::TearDown();
    }
    ProgramRun Ran(ProgramRun run) {
        std::vector<ProgramRun> runs{std::move(run)};
        plexmoor::testing::StartRuns(work_, runs);
        plexmoor::testing::FinishRuns(runs);
        return runs[0];
    }
    // A command on board n, as station n. Each station keeps the recovery
    // copy of its configuration write to itself: another station's copy
    // would stop it.
    ProgramRun OnBoard(int n, const std::string& command) {
        const std::string b = std::to_string(n);
        fs::create_directories(work_ / ("recovery" + b));
        ProgramRun run{Words("plexmoor-cli " + command),
                       {{"ZINTRA_RECOVERY_DIR", (work_ / ("recovery" + b)).string()},
                        {"XDG_STATE_HOME", (work_ / "state").string()},
                        {"FTD2XX_VIRTUAL_BOARD", "board" + b + ".bin"},
                        {"FTD2XX_VIRTUAL_TIME", "1"}}};
        run.args.insert(run.args.end(), {"--record", url_, "--station", "s" + b});
        return run;
    }
    std::string History(const std::vector<std::string>& filter = {}) {
        ProgramRun history{{"plexmoor-cli", "history", "--csv", "--record", url_}};
        history.args.insert(history.args.end(), filter.begin(), filter.end());
        ProgramRun ran = Ran(history);
        EXPECT_EQ(ran.status, 0) << ran.out;
        return ran.out;
    }
    std::vector<std::vector<std::string>> HistoryCsv() {
        std::vector<std::vector<std::string>> rows;
        std::istringstream in(History());
        for (std::string line; std::getline(in, line);) {
            // No field of these rows holds a comma but the quoted message.
            std::vector<std::string> fields;
            std::stringstream split(line.substr(0, line.find(",\"")));
            for (std::string f; std::getline(split, f, ',');)
                fields.push_back(f);
            rows.push_back(fields);
        }
        return rows;
    }
    fs::path work_;
};

// Columns of history --csv.
enum { kChip = 5, kOperation = 7, kSha256 = 10, kSerial = 13, kResult = 14 };

TEST_P(RecordCliTest, ThreeBoardsProgrammedAndSerialisedAreInTheHistory) {
    for (int n = 1; n <= 3; ++n) {
        ASSERT_EQ(Ran(OnBoard(n, "program demo.b")).status, 0);
        ASSERT_EQ(Ran(OnBoard(n, "serial --config line.ini")).status, 0);
    }
    const auto rows = HistoryCsv();
    ASSERT_EQ(rows.size(), 7u); // and the header
    std::set<std::string> serials;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto& r = rows[i];
        EXPECT_EQ(r[kChip], "C2 20 15");
        EXPECT_EQ(r[kResult], "done");
        EXPECT_EQ(r[kOperation], i % 2 ? "flash" : "flash-setting");
        if (r[kOperation] == "flash")
            EXPECT_EQ(r[kSha256], FileSha256((work_ / "demo.b").string()));
        else
            serials.insert(r[kSerial]);
    }
    EXPECT_EQ(serials.size(), 3u);
    // A record that cannot be opened stops the run before the board.
    EXPECT_NE(Ran({Words("plexmoor-cli program demo.b --record /no/such/r.db")}).status, 0);
}

// Arguments reach the program as they were given, however the system
// passes a command line: a station named with blanks, quotes and
// backslashes, one of them last.
TEST_P(RecordCliTest, AStationsNameArrivesAsItWasGiven) {
    const std::string station = "line 2 \"east\" \\\\hall\\";
    ProgramRun program = OnBoard(1, "program demo.b");
    program.args.back() = station;
    ASSERT_EQ(Ran(program).status, 0);
    const std::string rows = History({"--station", station});
    EXPECT_NE(rows.find(",\"line 2 \"\"east\"\" \\\\hall\\\","), std::string::npos) << rows;
}

TEST_P(RecordCliTest, EightStationsSerialisingAtOnceGetEightConsecutiveSerials) {
    std::vector<ProgramRun> runs;
    for (int n = 1; n <= 8; ++n) {
        const std::string config = "c" + std::to_string(n) + ".ini";
        fs::copy_file(work_ / "line.ini", work_ / config);
        runs.push_back(OnBoard(n, "serial --config " + config));
    }
    plexmoor::testing::StartRuns(work_, runs);
    plexmoor::testing::FinishRuns(runs);
    std::set<std::string> serials;
    for (const ProgramRun& run : runs) {
        EXPECT_EQ(run.status, 0) << run.out;
        serials.insert(run.out);
    }
    ASSERT_EQ(serials.size(), 8u);
    const std::string day = serials.begin()->substr(0, 8);
    for (int n = 1; n <= 8; ++n)
        EXPECT_TRUE(serials.count(SerialText(day.substr(2), n) + "\n")) << n;
    Filter failed;
    failed.failed_only = true;
    EXPECT_EQ(Record::Open(url_)->history({}).size(), 8u);
    EXPECT_TRUE(Record::Open(url_)->history(failed).empty());
}

INSTANTIATE_TEST_SUITE_P(Stores, RecordCliTest, ::testing::ValuesIn(Stores()),
                         [](const auto& info) { return info.param; });

INSTANTIATE_TEST_SUITE_P(Stores, RecordTest, ::testing::ValuesIn(Stores()),
                         [](const auto& info) { return info.param; });

TEST(RecordLocation, TheFirstGivenWinsAndNoneMeansWithout) {
    os::set_environment(kEnvironmentVariable, nullptr);
    const std::string beside = (fs::path("/etc/p") / "plexmoor-record.db").string();
    EXPECT_EQ(Locate({}, false, "", "/etc/p").url, beside);
    EXPECT_EQ(Locate({}, false, "sqlite:/s.db", "/etc/p").url, "sqlite:/s.db");
    os::set_environment(kEnvironmentVariable, "postgresql://line/rec");
    EXPECT_EQ(Locate({}, false, "sqlite:/s.db", "/etc/p").url, "postgresql://line/rec");
    EXPECT_EQ(Locate("/a.db", false, "", "").url, "/a.db");
    EXPECT_TRUE(Locate("/a.db", true, "", "").none());
    os::set_environment(kEnvironmentVariable, nullptr);
    EXPECT_TRUE(Locate({}, false, "none", "/etc/p").none());
    // What cannot be opened is told, never created elsewhere.
    EXPECT_THROW(Record::Open("/no/such/folder/r.db"), Error);
    EXPECT_THROW(Record::Open("ftp://host/r.db"), Error);
#ifdef _WIN32
    try {
        Record::Open("postgresql://line/rec");
        ADD_FAILURE() << "opened";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(text::kNoPostgresHere), std::string::npos);
    }
#endif
}

// The image's digest, through nettle or the system's, at the edges of the
// reads (64 KiB); the time as the record writes it, in UTC.
TEST(RecordHostFacts, DigestsAndTimeAreWhatOtherToolsSay) {
    const fs::path file = fs::temp_directory_path() / ("d" + std::to_string(os::process_id()));
    const std::pair<std::string, const char*> vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [bytes, digest] : vectors) {
        std::ofstream(file, std::ios::binary) << bytes;
        EXPECT_EQ(FileSha256(file.string()), digest) << bytes.size();
    }
    fs::remove(file);
    EXPECT_EQ(FileSha256("/no/such/file"), "");

    auto utc = [](std::time_t t) {
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M", std::gmtime(&t));
        return std::string(text);
    };
    const std::time_t before = std::time(nullptr);
    const std::string now = Timestamp();
    const std::time_t after = std::time(nullptr);
    EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")))
        << now;
    EXPECT_TRUE(now.substr(0, 16) == utc(before) || now.substr(0, 16) == utc(after)) << now;
    EXPECT_NE(HostName(), "unknown");
}

} // namespace
