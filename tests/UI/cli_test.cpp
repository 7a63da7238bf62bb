// plexmoor-cli as a production line runs it: a process per command, the
// virtual board chosen by the environment in virtual time, files on disk.
#include "cli_process.h"
#include "flash_form.h"
#include "os.h"
#include "program_folder.h"
#include "record.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace plexmoor::testing {
namespace {

namespace fs = std::filesystem;

// The value of a key in an ini file, or empty.
std::string Value(const std::string& ini, const std::string& key) {
    std::size_t at = ini.find("\r\n" + key + "=");
    if (at == std::string::npos) return {};
    at += key.size() + 3;
    return ini.substr(at, ini.find("\r\n", at) - at);
}

class Quiet : public Services {
  public:
    Answer messageBox(const std::string& text, Buttons b) override {
        messages.push_back(text);
        return b == Buttons::YesNo ? answer : Answer::Ok;
    }
    std::string openFileDialog(const std::string&) override { return {}; }
    std::string saveFileDialog(const std::string&) override { return {}; }
    void processEvents() override {}
    std::string programFolder() override { return folder; }
    Date today() override { return {2026, 12, 7}; }
    void requestClose() override {}
    std::string folder;
    std::vector<std::string> messages;
    Answer answer = Answer::No;
};

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "plexmoor-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir_ = templ;
        fs::create_directory(path("recovery"));
        bin_ = ProductFolder();
        record::Record::Open(path("record.db").string()); // the line's record
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path path(const std::string& name) const { return dir_ / name; }
    // plexmoor-cli started as a process of its own (the shell execs it, so
    // a signal to the pid reaches it), its output in out-TAG.txt and err-TAG.txt.
    pid_t start(const std::string& args, const std::string& env = {}, const std::string& tag = "",
                const std::string& program = "plexmoor-cli") {
        return StartIn(dir_,
                       "FTD2XX_VIRTUAL_BOARD='" + path("board.bin").string() +
                           "' FTD2XX_VIRTUAL_TIME=1 PLEXMOOR_RECORD='" +
                           path("record.db").string() + "' ZINTRA_RECOVERY_DIR='" +
                           path("recovery").string() + "' XDG_STATE_HOME='" +
                           path("state").string() + "' " + env + " exec '" +
                           (bin_ / program).string() + "' " + args,
                       tag);
    }
    Outcome finish(pid_t pid, const std::string& tag = "") { return FinishIn(dir_, pid, tag); }
    Outcome cli(const std::string& args, const std::string& env = {}) {
        return finish(start(args, env));
    }
    // A window in a program folder of its own; with a settings file there
    // it starts from it, as Plexmoor does.
    std::unique_ptr<FlashForm> window(const std::string& settings = {}) {
        fs::path folder = path("window" + std::to_string(++windows_));
        fs::create_directories(folder);
        LinkLibrariesInto(folder.string());
        if (!settings.empty()) fs::copy_file(settings, folder / "Glinterra.ini");
        services_.folder = folder.string();
        auto form = std::make_unique<FlashForm>(services_);
        form->Form_Load();
        return form;
    }
    // The engineer's configuration: version 3, four images, every group.
    std::string prepare() {
        auto form = window();
        auto& c = form->controls();
        c(C::cmbBit).setListIndex(1);
        c(C::txtCfgUnit, 1).setText("40");
        std::ofstream(path("boot.b"), std::ios::binary) << std::string(0x101, 'B');
        c(C::txtFile3, 0).setText(path("boot.b").string());
        form->state().iFWIndex = 0;
        for (int k = 1; k <= 4; ++k) {
            const fs::path fw = path("fw" + std::to_string(k) + ".b");
            std::ofstream(fw, std::ios::binary) << std::string(0x1000 * k, static_cast<char>(k));
            form->state().tFW[k] = {fw.string(), "1", "2", "3"};
        }
        for (int i = 0; i < kConfEntries; ++i)
            form->state().lConf[static_cast<std::size_t>(i)] = 1000 + i;
        for (int p = 0; p < 48; ++p)
            c(C::txtMIBConf, p).setText(std::to_string(1000 + p));
        c(C::txtSerial).setText("QV060904001");
        c(C::txtMemoAll).setText("line 3");
        form->SaveINI(path("line.ini").string());
        return path("line.ini").string();
    }
    static std::string Today() {
        std::time_t now = std::time(nullptr);
        char date[16];
        std::strftime(date, sizeof date, "%y%m%d", std::localtime(&now));
        return std::string("QV") + date;
    }

    fs::path dir_, bin_;
    Quiet services_;
    int windows_ = 0;
};

TEST_F(CliTest, PackProgramAndReadGiveBackThePackedConfiguration) {
    const std::string config = prepare();
    // The window's question about its flash panel is not asked; an old
    // script's answer is taken.
    Outcome pack = cli("pack --config " + config + " --out image.b --no");
    ASSERT_EQ(pack.status, 0) << pack.err;
    EXPECT_EQ(pack.out, path("image.b").string() + "\n");
    EXPECT_EQ(pack.err.find("Replace current flash filename"), std::string::npos);

    Outcome program = cli("program image.b");
    ASSERT_EQ(program.status, 0) << program.err;
    EXPECT_NE(program.err.find("programmed 100%"), std::string::npos) << program.err;
    const std::string image = ReadText(path("image.b"));
    EXPECT_EQ(ReadText(path("board.bin")).substr(0, image.size()), image);

    // The fast mode writes the same bytes, after a backup of what it erases.
    Outcome fast = cli("program image.b --fast --backup kept");
    ASSERT_EQ(fast.status, 0) << fast.err;
    EXPECT_NE(fast.err.find("backup of the erased blocks: " + path("kept").string() + "/backup-"),
              std::string::npos)
        << fast.err;
    EXPECT_EQ(ReadText(path("board.bin")).substr(0, image.size()), image);
    // Backups within one second each get a name of their own, and the
    // folder keeps the last two of this bridge and chip.
    for (int run = 0; run < 3; ++run)
        ASSERT_EQ(cli("program image.b --fast --backup kept --keep-backups 2").status, 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(path("kept")), fs::directory_iterator()), 2);

    Outcome read = cli("read --config " + config + " --out back.ini");
    ASSERT_EQ(read.status, 0) << read.err;
    const std::string before = ReadText(config), after = ReadText(path("back.ini"));
    for (const char* key : {"CONF000", "CONF347", "SerialNumber", "DIP", "SYSVER"})
        EXPECT_EQ(Value(after, key), Value(before, key)) << key;
}

// A board the record knows keeps its serial when it is serialised again
// (rework), and uses none up; --new-serial gives it the next.
TEST_F(CliTest, SerialGivesTheNextNumberToEachBoard) {
    const std::string config = prepare();
    struct Run {
        const char* options;
        const char* counter;
    };
    for (const Run& run : {Run{"", "001"}, Run{"", "001"}, Run{" --new-serial", "002"}}) {
        Outcome serial = cli("serial --config " + config + run.options);
        ASSERT_EQ(serial.status, 0) << serial.err;
        EXPECT_EQ(serial.out, Today() + run.counter + "\n");
        EXPECT_EQ(Value(ReadText(config), "SerialNumber"), Today() + run.counter);
    }
    Outcome rows = cli("history --board " + Today() + "001 --csv");
    EXPECT_NE(rows.out.find(",rework,"), std::string::npos) << rows.out;
    Outcome read = cli("read --config " + config + " --out board.ini");
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(Value(ReadText(path("board.ini")), "SerialNumber"), Today() + "002");
    EXPECT_EQ(Value(ReadText(path("board.ini")), "CONF105"), "1053");
}

// Every refusal names what it refuses, with its status, and leaves the
// files and the board as they were.
TEST_F(CliTest, FailuresAndBadUsageEndWithTheirMessageAndStatus) {
    const std::string config = prepare();
    struct Case {
        std::string args;
        int status;
        std::string message; // on standard error, or standard output for status 0
    };
    std::string v2 = ReadText(config);
    v2.replace(v2.find("SYSVER=3"), 8, "SYSVER=2");
    WriteText(path("v2.ini"), v2);
    WriteText(path("empty.ini"), "");
    WriteText(path("cr.ini"), "\r\r\r");
    WriteText(path("empty.b"), "");
    fs::create_directory(path("folder"));
    const std::string long_name(5000, 'a');
    const Case cases[] = {
        {"pack --config missing.ini --out x.b --yes", 2, "missing.ini: no such file"},
        {"pack --config " + config, 2, "--out is required"},
        {"pack --config " + config + " --out x.b --yes --fast-food", 2, "--fast-food"},
        {"frobnicate", 2, "frobnicate"},
        {"program", 2, "IMAGE is required"},
        {"pack --config " + path("v2.ini").string() + " --out x.b --yes", 1,
         "input file not exist"},
        {"program nothing.b", 2, "nothing.b: no such file"},
        {"program " + long_name, 2, "File name too long"},
        {"program folder", 2, "folder: not a plain file"},
        {"program empty.b", 1, "empty.b: the image is empty"},
        {"program --address 0x1g " + config, 2, "not an address"},
        {"program --address 4294967296 " + config, 2, "not an address"},
        {"read --out ''", 2, "--out: an empty path names no file"},
        {"read --out folder", 2, "folder: not a plain file"},
        {"read --out none/x.ini", 2, "none/x.ini: its folder does not exist"},
        {"parse --out=x.ini -- -x.b", 2, "-x.b: no such file"},
        {"program --backup " + config + " " + config, 2, ": not a folder"},
        {"serial --config empty.ini", 1, "empty.ini) holds no settings line"},
        {"serial --config cr.ini", 1, "cr.ini) holds no settings line"},
        {"program --config " + path("fw1.b").string() + " " + config, 1, "holds no settings line"},
        // A file given by mistake is told for what it is, the board untouched.
        {"program " + config, 1, "not a packed image (it holds text); nothing was programmed"},
        {"program " + path("fw1.b").string(), 1,
         "(it holds 4096 bytes, too short for a configuration header"},
        {"program --raw " + config, 1, "Open usb device error"},
        {"--version", 0, "plexmoor-cli 1.17\n"},
    };
    for (const Case& k : cases) {
        Outcome r = cli(k.args, "FTD2XX_VIRTUAL_FAULTS=nodevice");
        EXPECT_EQ(r.status, k.status) << k.args << "\n" << r.err;
        EXPECT_NE((k.status == 0 ? r.out : r.err).find(k.message), std::string::npos)
            << k.args << "\n"
            << r.err;
    }
    EXPECT_EQ(cli("pack --help").status, 0);
    WriteText(path("big.b"), std::string(8192, 'x'));
    const Outcome overrun = cli("program --raw --address 0x1ff000 big.b");
    EXPECT_EQ(overrun.status, 1);
    EXPECT_NE(overrun.err.find("would end at 0x00200fff, the chip holds"), std::string::npos)
        << overrun.err;
    EXPECT_FALSE(fs::exists(path("x.b")));
    EXPECT_EQ(ReadText(path("empty.ini")), "");
    const std::string board = ReadText(path("board.bin"));
    EXPECT_EQ(board.find_first_not_of('\xff'), std::string::npos) << "a refusal wrote the board";
    EXPECT_FALSE(fs::exists(ProductFolder() / "Glinterra.ini"));
    // The demo tool answers --help instead of writing a file of that name.
    Outcome demo = finish(start("--help", "", "", "plexmoor-demo-image"));
    EXPECT_EQ(demo.status, 0);
    EXPECT_NE(demo.out.find("usage: plexmoor-demo-image OUTPUT"), std::string::npos);
    EXPECT_FALSE(fs::exists(path("--help")));
}

// The progress counts from the start address: at 0x10000 the first lines
// are not 100 %.
TEST_F(CliTest, ProgramFromAnAddressCountsFromIt) {
    const std::string config = prepare();
    ASSERT_EQ(cli("pack --config " + config + " --out image.b --no").status, 0);
    Outcome program = cli("program image.b --address 0x10000");
    ASSERT_EQ(program.status, 0) << program.err;
    EXPECT_NE(program.err.find("programmed  50%"), std::string::npos) << program.err;
    const std::string image = ReadText(path("image.b"));
    EXPECT_EQ(ReadText(path("board.bin")).substr(0x10000, image.size()), image);
}

// The fast mode's clock as the command line chooses it, and the board's
// figures of the run in the file the environment names; a clock the fast
// mode does not offer, or one without --fast, is a usage error.
TEST_F(CliTest, FastProgramRunsAtTheClockAskedForAndTheBoardTellsItsFigures) {
    struct Run {
        const char* mhz;
        char fill;
        const char* figures; // the end of the board's figures
    };
    for (Run r : {Run{"30", 'I', "\"erases\": 0, \"pages_programmed\": 48}"},
                  Run{"3", 'J', "\"erases\": 1, \"pages_programmed\": 48}"}}) {
        WriteText(path("image.b"), std::string(0x3000, r.fill));
        Outcome fast = cli(std::string("program image.b --raw --fast --clock ") + r.mhz,
                           "WINCALLS_DEBUG=1 FTD2XX_VIRTUAL_STATS=stats-%s.json");
        ASSERT_EQ(fast.status, 0) << fast.err;
        EXPECT_NE(fast.err.find(std::string("SPI clock ") + r.mhz + " MHz"), std::string::npos)
            << fast.err;
        const std::string stats = ReadText(path("stats-VB000001.json"));
        EXPECT_NE(stats.find(r.figures), std::string::npos) << stats;
        EXPECT_EQ(ReadText(path("board.bin")).substr(0, 0x3000), std::string(0x3000, r.fill));
    }
    EXPECT_EQ(cli("program image.b --fast --clock 12").status, 2);
    EXPECT_EQ(cli("program image.b --clock 15").status, 2);
}

// A hang-up, a kill and Ctrl+C stop a run at the next page with its
// message, and end with the status a shell gives SIGINT; a closed pipe on
// the output does not stop it.
TEST_F(CliTest, SignalsStopARunAtAPageAndAClosedPipeDoesNot) {
    WriteText(path("image.b"), std::string(0x20000, 'I'));
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        fs::remove(path("board.bin"));
        const pid_t pid = start("program image.b --raw", "FTD2XX_VIRTUAL_TIME=0");
        usleep(500 * 1000);
        kill(pid, signal);
        Outcome r = finish(pid);
        EXPECT_EQ(r.status, 130) << signal << r.err;
        EXPECT_NE(r.err.find("\nStopped at "), std::string::npos) << signal << r.err;
    }
    fs::remove(path("board.bin"));
    WriteText(path("small.b"), std::string(0x2000, 'S'));
    // Real time, so the run still writes once the pipe has closed; a short
    // latency timer keeps the exact mode's reads short.
    WriteText(path("pipe.sh"), "set -o pipefail; FTD2XX_VIRTUAL_BOARD=board.bin "
                               "FTD2XX_VIRTUAL_LATENCY_MS=1 '" +
                                   (bin_ / "plexmoor-cli").string() +
                                   "' program small.b --raw 2>&1 | head -1 >/dev/null");
    const int raw = std::system(("cd '" + dir_.string() + "' && bash pipe.sh").c_str());
    EXPECT_EQ(WEXITSTATUS(raw), 0);
    EXPECT_EQ(ReadText(path("board.bin")).substr(0, 0x2000), std::string(0x2000, 'S'));
}

// Stations on one configuration file, through a link to it, each with a
// board of its own, get consecutive serials; the link stays a link.
TEST_F(CliTest, ConcurrentSerialRunsGetConsecutiveNumbers) {
    fs::create_symlink(prepare(), path("shared.ini"));
    constexpr int kStations = 8;
    std::vector<pid_t> runs;
    for (int n = 0; n < kStations; ++n) {
        const std::string board = path("board-" + std::to_string(n) + ".bin").string();
        // A station's recovery copy lives while its block is rewritten; one
        // folder a station, so that no station waits for another's.
        const fs::path recovery = path("recovery-" + std::to_string(n));
        fs::create_directories(recovery);
        runs.push_back(
            start("serial --config shared.ini",
                  "FTD2XX_VIRTUAL_BOARD=" + board + " ZINTRA_RECOVERY_DIR=" + recovery.string(),
                  std::to_string(n)));
    }
    std::set<std::string> serials, expected;
    for (int n = 0; n < kStations; ++n) {
        Outcome r = finish(runs[static_cast<std::size_t>(n)], std::to_string(n));
        EXPECT_EQ(r.status, 0) << r.err;
        serials.insert(r.out);
        expected.insert(Today() + "00" + std::to_string(n + 1) + "\n");
    }
    EXPECT_EQ(serials, expected);
    EXPECT_TRUE(fs::is_symlink(path("shared.ini")));
    EXPECT_EQ(Value(ReadText(path("shared.ini")), "SerialNumber"), Today() + "008");
}

// The serial is saved before the board is written: a file that cannot take
// it stops the run with the board untouched and the number unused.
TEST_F(CliTest, ASerialThatCannotBeSavedIsNotWritten) {
    const std::string config = prepare();
    ASSERT_EQ(cli("pack --config " + config + " --out image.b --no").status, 0);
    ASSERT_EQ(cli("program image.b").status, 0);
    const std::string board = ReadText(path("board.bin")), before = ReadText(config);
    fs::permissions(config, fs::perms::owner_read);
    Outcome r = cli("serial --config " + config);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Save data to ini fail"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was written to the board"), std::string::npos) << r.err;
    EXPECT_EQ(ReadText(path("board.bin")), board);
    EXPECT_EQ(ReadText(config), before);
}

// A board that came back is checked whole: verified against its image, read
// into a file, erased; each ends with its line and status, the first
// difference named.
TEST_F(CliTest, AReturnedBoardIsVerifiedReadWholeAndErased) {
    const std::string config = prepare();
    ASSERT_EQ(cli("pack --config " + config + " --out image.b --no").status, 0);
    ASSERT_EQ(cli("program image.b").status, 0);
    const struct {
        std::string args;
        int status;
        std::string said;
    } steps[] = {
        {"verify image.b", 0, "verified "},
        {"verify image.b --address 0x1000", 1, "differs from " + path("image.b").string() + " at"},
        {"read --image chip.bin", 0, "read 2097152 bytes into"},
        {"read --image chip.bin", 1, "exists already and is kept"},
        {"erase", 0, "erased 2097152 bytes"},
        {"verify image.b", 1, "at 00000000: the board holds FF where the image has"},
    };
    for (const auto& step : steps) {
        const Outcome r = cli(step.args);
        EXPECT_EQ(r.status, step.status) << step.args << "\n" << r.err;
        EXPECT_NE((r.out + r.err).find(step.said), std::string::npos) << step.args << "\n" << r.err;
    }
    EXPECT_EQ(ReadText(path("chip.bin")).substr(0, 0x1000),
              ReadText(path("image.b")).substr(0, 0x1000));
    EXPECT_EQ(ReadText(path("board.bin")), std::string(2u << 20, '\xFF'));
}

// The window's Init, on the board the environment names, offers the copy
// by its name and block before it writes anything: No keeps it for the
// next Init, Yes writes it back and removes it.
TEST_F(CliTest, TheWindowOffersARecoveryCopyAtInit) {
    const fs::path copy = path("recovery") / "zintra-flash-00010000-20261207-120000.bin";
    const std::string block(0x10000, 'R');
    WriteText(copy, block);
    setenv("FTD2XX_VIRTUAL_BOARD", path("board.bin").c_str(), 1);
    setenv("FTD2XX_VIRTUAL_TIME", "1", 1);
    setenv("ZINTRA_RECOVERY_DIR", path("recovery").c_str(), 1);
    auto form = window();
    for (Answer answer : {Answer::No, Answer::Yes}) {
        services_.answer = answer;
        services_.messages.clear();
        if (form->state().bInit) form->controls().userClick(form->control(C::Command2));
        form->controls().userClick(form->control(C::Command2));
        ASSERT_FALSE(services_.messages.empty());
        EXPECT_NE(
            services_.messages[0].find("00010000. The block as it was is kept in " + copy.string()),
            std::string::npos)
            << services_.messages[0];
        EXPECT_EQ(fs::exists(copy), answer == Answer::No);
    }
    EXPECT_NE(services_.messages.back().find("written back and verified"), std::string::npos)
        << services_.messages.back();
    form->controls().userClick(form->control(C::Command2));
    EXPECT_EQ(ReadText(path("board.bin")).substr(0x10000, 0x10000), block);
}

// The command line packs what the window packs from the same file.
TEST_F(CliTest, PackWritesTheImageTheWindowWrites) {
    const std::string config = prepare();
    ASSERT_EQ(cli("pack --config " + config + " --out cli.b --yes").status, 0);
    auto form = window(config);
    form->control(C::txtPath2).setText(path("window.b").string());
    form->PackFW(0);
    EXPECT_EQ(services_.messages.back(), "Replace current flash filename");
    EXPECT_EQ(ReadText(path("cli.b")), ReadText(path("window.b")));
    EXPECT_GT(ReadText(path("cli.b")).size(), 0x10000u);
}

} // namespace
} // namespace plexmoor::testing
