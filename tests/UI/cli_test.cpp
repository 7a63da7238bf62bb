// plexmoor-cli as a production line runs it: a process per command, the
// virtual board chosen by the environment in virtual time, files on disk.
#include "flash_form.h"
#include "program_folder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace plexmoor::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The value of a key in an ini file, or empty.
std::string Value(const std::string& ini, const std::string& key) {
    std::size_t at = ini.find("\r\n" + key + "=");
    if (at == std::string::npos) return {};
    at += key.size() + 3;
    return ini.substr(at, ini.find("\r\n", at) - at);
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

class Quiet : public Services {
  public:
    Answer messageBox(const std::string& text, Buttons b) override {
        messages.push_back(text);
        return b == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
    std::string openFileDialog(const std::string&) override { return {}; }
    std::string saveFileDialog(const std::string&) override { return {}; }
    void processEvents() override {}
    std::string programFolder() override { return folder; }
    Date today() override { return {2026, 12, 7}; }
    void requestClose() override {}
    std::string folder;
    std::vector<std::string> messages;
};

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "plexmoor-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir_ = templ;
        bin_ = ProductFolder();
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path path(const std::string& name) const { return dir_ / name; }
    Outcome cli(const std::string& args, const std::string& env = {}) {
        Outcome r;
        const std::string command =
            "cd '" + dir_.string() + "' && FTD2XX_VIRTUAL_BOARD='" + path("board.bin").string() +
            "' FTD2XX_VIRTUAL_TIME=1 PLEXMOOR_RECORD='" + path("record.db").string() + "' " + env +
            " '" + (bin_ / "plexmoor-cli").string() + "' " + args + " >out.txt 2>err.txt";
        int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadText(path("out.txt"));
        r.err = ReadText(path("err.txt"));
        return r;
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
    Outcome pack = cli("pack --config " + config + " --out image.b --no");
    ASSERT_EQ(pack.status, 0) << pack.err;
    EXPECT_EQ(pack.out, path("image.b").string() + "\n");
    EXPECT_NE(pack.err.find("Replace current flash filename? no"), std::string::npos);

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

    Outcome read = cli("read --config " + config + " --out back.ini");
    ASSERT_EQ(read.status, 0) << read.err;
    const std::string before = ReadText(config), after = ReadText(path("back.ini"));
    for (const char* key : {"CONF000", "CONF347", "SerialNumber", "DIP", "SYSVER"})
        EXPECT_EQ(Value(after, key), Value(before, key)) << key;
}

TEST_F(CliTest, SerialGivesTheNextNumberToEachBoard) {
    const std::string config = prepare();
    for (const char* counter : {"001", "002"}) {
        Outcome serial = cli("serial --config " + config);
        ASSERT_EQ(serial.status, 0) << serial.err;
        EXPECT_EQ(serial.out, Today() + counter + "\n");
        EXPECT_EQ(Value(ReadText(config), "SerialNumber"), Today() + counter);
    }
    Outcome read = cli("read --config " + config + " --out board.ini");
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(Value(ReadText(path("board.ini")), "SerialNumber"), Today() + "002");
    EXPECT_EQ(Value(ReadText(path("board.ini")), "CONF105"), "1053");
}

TEST_F(CliTest, FailuresAndBadUsageEndWithTheirMessageAndStatus) {
    const std::string config = prepare();
    struct Case {
        std::string args;
        int status;
        std::string message;
    };
    std::string v2 = ReadText(config);
    v2.replace(v2.find("SYSVER=3"), 8, "SYSVER=2");
    WriteText(path("v2.ini"), v2);
    const Case cases[] = {
        {"pack --config missing.ini --out x.b --yes", 1,
         "configuration file missing.ini does not exist"},
        {"pack --config " + config, 2, "pack needs --out"},
        {"pack --config " + config + " --out x.b --yes --fast-food", 2,
         "unknown option --fast-food"},
        {"frobnicate", 2, "unknown command frobnicate"},
        {"program", 2, "program takes 1 file"},
        {"pack --config " + config + " --out x.b", 2, "answer it with --yes or --no"},
        {"pack --config " + path("v2.ini").string() + " --out x.b --yes", 1,
         "input file not exist"},
        {"program nothing.b", 1, "nothing.b file doesn't exist"},
        {
            "program " + config,
            1,
            "Open usb device error",
        },
    };
    for (const Case& k : cases) {
        Outcome r = cli(
            k.args, k.message == "Open usb device error" ? "FTD2XX_VIRTUAL_FAULTS=nodevice" : "");
        EXPECT_EQ(r.status, k.status) << k.args << "\n" << r.err;
        EXPECT_NE(r.err.find(k.message), std::string::npos) << k.args << "\n" << r.err;
    }
    EXPECT_EQ(cli("pack --help").status, 0);
    EXPECT_FALSE(fs::exists(path("x.b")));
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
