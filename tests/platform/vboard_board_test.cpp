// The board file, injected faults and the environment that picks a board.
#include "board_fixture.h"
#include "spi_bridge.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

using namespace testing_support;

namespace {

class BoardFileTest : public BoardTest {};

// The board file is the chip: a program is in it before the bridge closes,
// so a process killed at any moment leaves what the part holds.
TEST_F(BoardFileTest, EveryProgramIsInTheFileAsItHappens) {
    const auto path = temp("board.bin");
    EXPECT_EQ(read_file(path), Bytes(2u << 20, 0xFF)) << "a new board file starts erased";
    Bytes data = pattern(256);
    Bridge bridge;
    bridge.write_enable();
    bridge.program(0x10000, data);
    const Bytes file = read_file(path);
    EXPECT_EQ(Bytes(file.begin() + 0x10000, file.begin() + 0x10100), data);
    board().advance_us(10'000);
    bridge.write_enable();
    bridge.erase(0x20, 0x10000);
    EXPECT_EQ(read_file(path).at(0x10000), 0xFF);

    vboard::detach();
    reattach({});
    EXPECT_EQ(board().read(0x10000, 1), Bytes{0xFF});
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path()))
        EXPECT_EQ(entry.path().filename(), "board.bin") << "no temporary file left behind";
}

TEST_F(BoardFileTest, AFileOfTheWrongSizeIsRefusedAndKept) {
    vboard::detach();
    const auto path = temp("short.bin");
    write_file(path, Bytes(1000, 0x00));
    vboard::Options options;
    options.path = path.string();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(vboard::attach(options), nullptr);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("1000"), std::string::npos) << said;
    EXPECT_EQ(vboard::current(), nullptr);
    EXPECT_EQ(std::filesystem::file_size(path), 1000u) << "the refused file is not touched";
}

class FaultTest : public BoardTest {
  protected:
    vboard::Faults& faults() { return board().faults(); }
};

TEST_F(FaultTest, NoDeviceHidesTheBridge) {
    faults().no_device = true;
    DWORD count = 7;
    EXPECT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);
    char serial[64] = {};
    EXPECT_EQ(FT_ListDevices(reinterpret_cast<PVOID>(0), serial, 0x40000001), FT_DEVICE_NOT_FOUND);
    FT_HANDLE h = nullptr;
    EXPECT_EQ(FT_OpenEx(const_cast<char*>(vboard::kSerialNumber), 1, &h), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(h, nullptr);
}

TEST_F(FaultTest, OpenResetAndBitModeFailures) {
    FT_HANDLE h = nullptr;
    faults().open_fails = true;
    EXPECT_NE(FT_OpenEx(const_cast<char*>(vboard::kSerialNumber), 1, &h), FT_OK);
    EXPECT_EQ(h, nullptr);
    faults().open_fails = false;
    Bridge bridge;
    faults().reset_fails = faults().bitmode_fails = true;
    EXPECT_EQ(FT_ResetDevice(bridge.handle), FT_IO_ERROR);
    EXPECT_EQ(FT_SetBitMode(bridge.handle, 0x00, 0x00), FT_IO_ERROR);
    EXPECT_EQ(bridge.status(), 0x00) << "the failed mode change left MPSSE on";
}

TEST_F(FaultTest, TheNthWriteAndReadFail) {
    Bridge bridge; // three set-up writes
    faults().write_fails_on_call = 5;
    faults().read_fails_on_call = 2;
    bridge.write_enable(); // write 4
    Stream program = command(0x02, 0, {0x00});
    DWORD n = 0;
    EXPECT_EQ(FT_Write(bridge.handle, program.data(), static_cast<DWORD>(program.size()), &n),
              FT_IO_ERROR);
    EXPECT_EQ(n, 0u);
    board().advance_us(10'000);
    EXPECT_EQ(board().read(0, 1), Bytes{0xFF}) << "nothing of the failed write went out";
    EXPECT_EQ(bridge.status(), 0x02) << "writes after the failed one work";

    bridge.write(command(0x9F, {}, {}, 3) + command(0x9F, {}, {}, 3));
    uint8_t id[3] = {};
    EXPECT_EQ(FT_Read(bridge.handle, id, 3, &n), FT_IO_ERROR);
    EXPECT_EQ(bridge.read(3), (Stream{0xC2, 0x20, 0x15})) << "the failed read's bytes are lost";
    EXPECT_EQ(board().counters().failed_writes, 1u);
    EXPECT_EQ(board().counters().failed_reads, 1u);
}

TEST_F(FaultTest, StuckBusyIgnoresEverythingButStatus) {
    Bridge bridge;
    faults().busy_stuck = true;
    board().advance_us(60'000'000);
    EXPECT_EQ(bridge.status(), 0x01);
    bridge.write_enable();
    EXPECT_EQ(bridge.transact(command(0x9F, {}, {}, 3), 3), (Stream{0xFF, 0xFF, 0xFF}));
    faults().busy_stuck = false;
    EXPECT_EQ(bridge.status(), 0x00);
}

TEST_F(FaultTest, FlippedBitsOnlyForTheFirstReadsOfTheRange) {
    board().fill(0x00);
    faults().flipped_reads = 2;
    faults().flip_begin = 0x100;
    faults().flip_end = 0x104;
    faults().flip_mask = 0x80;
    Bridge bridge;
    EXPECT_EQ(bridge.read_data(0x0F0, 4), Stream(4, 0x00)) << "outside the range: untouched";
    EXPECT_EQ(bridge.read_data(0x0FE, 4), (Stream{0x00, 0x00, 0x80, 0x80}));
    EXPECT_EQ(bridge.read_data(0x103, 2), (Stream{0x80, 0x00}));
    EXPECT_EQ(bridge.read_data(0x100, 4), Stream(4, 0x00)) << "after two reads, right again";
    EXPECT_EQ(board().counters().flipped_reads, 2u);
    EXPECT_EQ(board().read(0x100, 4), Bytes(4, 0x00)) << "the flash itself is intact";
}

TEST_F(FaultTest, WriteProtectIgnoresProgramAndErase) {
    board().fill(0x00);
    faults().write_protected = true;
    Bridge bridge;
    bridge.write_enable();
    bridge.erase(0xD8, 0);
    // Not busy, the latch cleared, every block protected and the register
    // locked: the part says why it took nothing.
    EXPECT_EQ(bridge.status(), 0xBC);
    bridge.write_enable();
    bridge.program(0x1000, {0x00});
    EXPECT_EQ(board().read(0, 1), Bytes{0x00});
    EXPECT_EQ(board().counters().erases + board().counters().page_programs, 0u);
}

// A bridge with nothing behind it: the data line floats high, so the ID,
// the status and every read answer 0xFF; the bridge itself still works.
TEST_F(FaultTest, NoChipReadsAllOnesAndChangesNothing) {
    faults().no_chip = true;
    Bridge bridge;
    EXPECT_EQ(bridge.transact(command(0x9F, {}, {}, 3), 3), (Stream{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(bridge.status(), 0xFF);
    board().fill(0x00);
    bridge.write_enable();
    bridge.erase(0xD8, 0);
    EXPECT_EQ(bridge.read_data(0, 2), (Stream{0xFF, 0xFF}));
    EXPECT_EQ(board().read(0, 1), Bytes{0x00});
    bridge.write({0x81});
    EXPECT_EQ(bridge.read(1), Stream{0xFE}) << "the pins still answer";
}

// The numbers a run without faults reports are the ones write=N and read=N
// take, so a second run can fail exactly the command chosen.
TEST_F(FaultTest, TheObserverNamesTheTransfersOfEachCommand) {
    Bridge bridge; // three set-up writes
    std::vector<vboard::SeenCommand> seen;
    board().observe_commands([&](const vboard::SeenCommand& c) { seen.push_back(c); });
    bridge.write_enable();
    bridge.transact(command(0x03, 0x012345, {}, 4), 4);
    board().observe_commands({});
    bridge.status(); // not seen: the observer has stopped
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].opcode, 0x06);
    EXPECT_EQ(seen[0].usb_write, 4u);
    EXPECT_EQ(seen[1].opcode, 0x03);
    EXPECT_EQ(seen[1].address, 0x012345u);
    EXPECT_EQ(seen[1].usb_write, 5u);
    EXPECT_EQ(seen[1].usb_read, 1u);
}

TEST(FaultGrammar, ParsesEveryItemAndRefusesTheRest) {
    vboard::Faults f;
    std::string error;
    ASSERT_TRUE(vboard::parse_faults(
        " nodevice,open,reset,bitmode,write=3,read=0x10,busy,wp,nochip,flip=2@0x1000-0x1100/0x40,"
        "slow=7/40",
        f, error))
        << error;
    EXPECT_EQ(f.slow_from_page, 7u);
    EXPECT_EQ(f.slow_percent, 40u);
    EXPECT_TRUE(f.no_device && f.open_fails && f.reset_fails && f.bitmode_fails && f.busy_stuck &&
                f.write_protected && f.no_chip);
    EXPECT_EQ(f.write_fails_on_call, 3u);
    EXPECT_EQ(f.read_fails_on_call, 16u);
    EXPECT_EQ(f.flipped_reads, 2u);
    EXPECT_EQ(f.flip_begin, 0x1000u);
    EXPECT_EQ(f.flip_end, 0x1100u);
    EXPECT_EQ(f.flip_mask, 0x40);

    for (const char* bad :
         {"bogus", "write=0", "write=x", "read=", "flip=1@5-3", "flip=1@0-10/0",
          "flip=1@0-10/0x100", "flip=1", "write=99999999999", "busy=1", "slow=0", "slow=2/0"}) {
        EXPECT_FALSE(vboard::parse_faults(bad, f, error)) << bad;
        EXPECT_TRUE(f.no_device) << "a refused list changes nothing: " << bad;
    }
}

// Each row sets the variables it names (the others unset) and gives what
// the boards must be, or "" when the settings must be refused.
struct EnvironmentCase {
    std::vector<std::pair<const char*, const char*>> set;
    const char* boards; // serial/part/faults per board, e.g. "VB0001 other wp;..."
};

std::string describe(const std::vector<vboard::Options>& boards) {
    std::string out;
    for (const vboard::Options& o : boards) {
        if (!out.empty()) out += ";";
        out += o.path + " " + o.serial + (o.part == &vboard::other_part() ? " other" : "") +
               (o.faults.write_protected ? " wp" : "") + (o.faults.no_chip ? " nochip" : "") +
               (o.virtual_time ? " vt" : "") + (o.master_clock_60mhz ? "" : " 12mhz") + " " +
               std::to_string(o.usb_turnaround_us) + "/" + std::to_string(o.latency_ms) +
               (o.socket.empty() ? "" : " " + o.socket);
    }
    return out;
}

TEST(BoardEnvironment, ReadsTheVariables) {
    const char* all[] = {"FTD2XX_VIRTUAL_BOARD",  "FTD2XX_VIRTUAL_BOARDS",
                         "FTD2XX_VIRTUAL_TIME",   "FTD2XX_VIRTUAL_PART",
                         "FTD2XX_VIRTUAL_FAULTS", "FTD2XX_VIRTUAL_BRIDGE",
                         "FTD2XX_VIRTUAL_USB_US", "FTD2XX_VIRTUAL_LATENCY_MS",
                         "FTD2XX_VIRTUAL_STATS",  "FTD2XX_VIRTUAL_SOCKET"};
    const std::vector<EnvironmentCase> cases = {
        {{}, "-"},
        {{{"FTD2XX_VIRTUAL_BOARD", "/x"},
          {"FTD2XX_VIRTUAL_TIME", "1"},
          {"FTD2XX_VIRTUAL_PART", "other"},
          {"FTD2XX_VIRTUAL_FAULTS", "wp"},
          {"FTD2XX_VIRTUAL_BRIDGE", "12mhz"}},
         "/x VB000001 other wp vt 12mhz 125/16"},
        {{{"FTD2XX_VIRTUAL_BOARDS", "/a:/b:/c:/d"}, {"FTD2XX_VIRTUAL_FAULTS", ";;;nochip"}},
         "/a VB0001 125/16;/b VB0002 125/16;/c VB0003 125/16;/d VB0004 nochip 125/16"},
        {{{"FTD2XX_VIRTUAL_BOARDS", "/a:/b"},
          {"FTD2XX_VIRTUAL_PART", "other"},
          {"FTD2XX_VIRTUAL_FAULTS", "wp"},
          {"FTD2XX_VIRTUAL_USB_US", "1000"},
          {"FTD2XX_VIRTUAL_LATENCY_MS", "2"}},
         "/a VB0001 other wp 1000/2;/b VB0002 other wp 1000/2"},
        {{{"FTD2XX_VIRTUAL_BOARDS", "/a:/b"}, {"FTD2XX_VIRTUAL_PART", ";other"}},
         "/a VB0001 125/16;/b VB0002 other 125/16"},
        {{{"FTD2XX_VIRTUAL_BOARDS", "/a:/b"}, {"FTD2XX_VIRTUAL_SOCKET", "/s-%s"}},
         "/a VB0001 125/16 /s-VB0001;/b VB0002 125/16 /s-VB0002"},
        {{{"FTD2XX_VIRTUAL_BOARDS", "/a:/b"}, {"FTD2XX_VIRTUAL_SOCKET", ";/s"}},
         "/a VB0001 125/16;/b VB0002 125/16 /s"},
        {{{"FTD2XX_VIRTUAL_BOARDS", "/a:/b"}, {"FTD2XX_VIRTUAL_SOCKET", "/s"}}, ""},
        {{{"FTD2XX_VIRTUAL_BOARDS", "/a:/b"}, {"FTD2XX_VIRTUAL_FAULTS", "wp;wp;wp"}}, ""},
        {{{"FTD2XX_VIRTUAL_BOARD", "/x"}, {"FTD2XX_VIRTUAL_FAULTS", "wp;wp"}}, ""},
        {{{"FTD2XX_VIRTUAL_BOARD", "/x"}, {"FTD2XX_VIRTUAL_BOARDS", "/a"}}, ""},
        {{{"FTD2XX_VIRTUAL_BOARDS", "/a::/b"}}, ""},
        {{{"FTD2XX_VIRTUAL_BOARD", "/x"}, {"FTD2XX_VIRTUAL_BRIDGE", "30mhz"}}, ""},
        {{{"FTD2XX_VIRTUAL_BOARD", "/x"}, {"FTD2XX_VIRTUAL_PART", "big"}}, ""},
        {{{"FTD2XX_VIRTUAL_BOARD", "/x"}, {"FTD2XX_VIRTUAL_TIME", "yes"}}, ""},
        {{{"FTD2XX_VIRTUAL_BOARD", "/x"}, {"FTD2XX_VIRTUAL_LATENCY_MS", "0"}}, ""},
        {{{"FTD2XX_VIRTUAL_BOARD", "/x"}, {"FTD2XX_VIRTUAL_USB_US", "fast"}}, ""},
    };
    for (const EnvironmentCase& c : cases) {
        for (const char* name : all)
            unsetenv(name);
        for (auto [name, value] : c.set)
            setenv(name, value, 1);
        std::vector<vboard::Options> boards;
        std::string error;
        const bool ok = vboard::boards_from_environment(boards, error);
        const std::string want = c.boards;
        EXPECT_EQ(ok ? (boards.empty() ? "-" : describe(boards)) : "", want) << error;
        EXPECT_EQ(ok, error.empty()) << want;
    }
    for (const char* name : all)
        unsetenv(name);
}

// A fresh process, so the board named by the environment attaches on the
// first D2XX call with nothing attached before it.
TEST(BoardEnvironment, AttachesOnFirstUse) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto path = std::filesystem::temp_directory_path() /
                      ("vboard-env-" + std::to_string(::getpid()) + ".bin");
    // Set here so that the re-executed child inherits the same name.
    setenv("FTD2XX_VIRTUAL_BOARD", path.c_str(), 0);
    setenv("FTD2XX_VIRTUAL_TIME", "1", 1);
    EXPECT_EXIT(
        {
            DWORD count = 0;
            FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
            vboard::Board* b = vboard::current();
            std::exit(count == 1 && b && b->virtual_time() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    unsetenv("FTD2XX_VIRTUAL_BOARD");
    unsetenv("FTD2XX_VIRTUAL_TIME");
    EXPECT_EQ(std::filesystem::file_size(path), 2u << 20) << "saved at exit";
    std::filesystem::remove(path);
}

// A fresh process with the board in the environment, as a user's program
// finds it: a short reply waits in the bridge for the latency timer unless
// SEND_IMMEDIATE follows the command; the figures of the open are written
// when the bridge closes.
TEST(BoardEnvironment, ShortRepliesWaitForTheLatencyTimerUnlessSentAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Set here so that the re-executed child inherits the same names.
    const auto name = std::filesystem::temp_directory_path() /
                      ("vboard-stats-" + std::to_string(::getpid()) + ".json");
    setenv("FTD2XX_VIRTUAL_STATS", name.c_str(), 0);
    const std::filesystem::path stats = std::getenv("FTD2XX_VIRTUAL_STATS");
    setenv("FTD2XX_VIRTUAL_BOARD", (stats.string() + ".bin").c_str(), 0);
    setenv("FTD2XX_VIRTUAL_TIME", "1", 1);
    EXPECT_EXIT(
        {
            uint64_t waited[2] = {};
            {
                Bridge bridge;
                for (uint64_t& w : waited) {
                    bridge.write(command(0x9F, {}, {}, 3) +
                                 (&w == &waited[1] ? Stream{0x87} : Stream{}));
                    const uint64_t before = vboard::current()->now_us();
                    bridge.read(3);
                    w = vboard::current()->now_us() - before;
                }
            }
            std::fprintf(stderr, "without 0x87 %llu us, with it %llu us\n",
                         static_cast<unsigned long long>(waited[0]),
                         static_cast<unsigned long long>(waited[1]));
            // The timer runs from the open; the read without 0x87 comes
            // within a millisecond of it, so it waits most of its 16 ms.
            std::exit(waited[0] >= 15'000 && waited[1] < 200 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "without 0x87");
    for (const char* name : {"FTD2XX_VIRTUAL_BOARD", "FTD2XX_VIRTUAL_TIME", "FTD2XX_VIRTUAL_STATS"})
        unsetenv(name);
    std::ifstream in(stats);
    const std::string json((std::istreambuf_iterator<char>(in)), {});
    // Three set-up writes, then a command and its read twice.
    const std::string figures = "\"usb_transfers\": 7, \"bytes_out\": 36, \"bytes_in\": 6, "
                                "\"spi_hz\": 3000000, \"erases\": 0, \"pages_programmed\": 0}\n";
    const std::string head = "{\"board_us\": ";
    ASSERT_EQ(json.rfind(head, 0), 0u) << json;
    ASSERT_NE(json.find(figures), std::string::npos) << json;
    EXPECT_GE(std::stoull(json.substr(head.size())), 16'000u) << "the wait is board time";
    std::filesystem::remove(stats);
    std::filesystem::remove(stats.string() + ".bin");
}

} // namespace

namespace {

// A second station on a board whose bridge this process holds is told the
// bridge is busy; once the holder closes, the same command goes through.
TEST(BoardLock, ASecondProcessFindsTheBridgeBusy) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("vboard-lock-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    vboard::Options options;
    options.path = (dir / "board.bin").string();
    ASSERT_NE(vboard::attach(options), nullptr);
    const std::string cli = (std::filesystem::path(PLEXMOOR_PRODUCT_BIN) / "plexmoor-cli").string();
    const std::string run = "cd " + dir.string() +
                            " && FTD2XX_VIRTUAL_TIME=1 FTD2XX_VIRTUAL_BOARD=" + options.path + " " +
                            cli + " read --out read.ini 2>err.txt";
    auto told_busy = [&] {
        std::system(run.c_str());
        const Bytes bytes = read_file(dir / "err.txt");
        const std::string said(bytes.begin(), bytes.end());
        return said.find("Open usb device error") != std::string::npos;
    };
    {
        Bridge holder;
        EXPECT_TRUE(told_busy());
    }
    EXPECT_FALSE(told_busy());
    vboard::detach();
    std::filesystem::remove_all(dir);
}

} // namespace

namespace {

// Lists every bridge, opens the first and the fifth on the same file,
// programs the second and reads the fourth's ID; says what it saw.
int list_and_use_bridges() {
    DWORD count = 0;
    FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
    std::string listed;
    for (uintptr_t i = 0; i < count; ++i) {
        char serial[FT_SERIAL_NUMBER_SIZE] = {};
        char what[FT_DESCRIPTION_SIZE] = {};
        FT_ListDevices(reinterpret_cast<PVOID>(i), serial, 0x40000001);
        FT_ListDevices(reinterpret_cast<PVOID>(i), what, 0x40000002);
        listed += std::string(serial) + " " + what + ";";
    }
    std::fputs(listed.c_str(), stderr);
    FT_HANDLE first = nullptr;
    FT_HANDLE shared = nullptr;
    FT_OpenEx(const_cast<char*>("VB0001"), 1, &first);
    const bool busy = FT_OpenEx(const_cast<char*>("VB0005"), 1, &shared) == FT_DEVICE_NOT_OPENED;
    Bridge second(std::string("VB0002"));
    second.write_enable();
    second.program(0x100, {0x42});
    Bridge fourth(std::string("VB0004"));
    const Stream id = fourth.transact(command(0x9F, {}, {}, 3), 3);
    std::fprintf(stderr, "busy=%d id=%02X%02X%02X", busy, id[0], id[1], id[2]);
    return 0;
}

// Four bridges from the environment, the fourth with no chip, listed and
// opened as the library lists and opens a bridge, in a fresh process.
TEST(BoardEnvironment, SeveralBridgesEachWithItsFileAndFaults) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto dir =
        std::filesystem::temp_directory_path() / ("vboards-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string paths;
    for (const char* name : {"1", "2", "3", "4", "1"})
        paths += (paths.empty() ? "" : ":") + (dir / name).string();
    setenv("FTD2XX_VIRTUAL_BOARDS", paths.c_str(), 0);
    setenv("FTD2XX_VIRTUAL_FAULTS", ";;;nochip;", 1);
    setenv("FTD2XX_VIRTUAL_TIME", "1", 1);
    EXPECT_EXIT(std::exit(list_and_use_bridges()), ::testing::ExitedWithCode(0),
                "VB0001 Virtual FT2232H A;VB0002 Virtual FT2232H A;VB0003 Virtual FT2232H A;"
                "VB0004 Virtual FT2232H A;VB0005 Virtual FT2232H A;busy=1 id=FFFFFF");
    for (const char* name :
         {"FTD2XX_VIRTUAL_BOARDS", "FTD2XX_VIRTUAL_FAULTS", "FTD2XX_VIRTUAL_TIME"})
        unsetenv(name);
    for (const char* name : {"1", "3", "4"})
        EXPECT_EQ(read_file(dir / name).at(0x100), 0xFF) << name;
    EXPECT_EQ(read_file(dir / "2").at(0x100), 0x42) << "only the second board was programmed";
    std::filesystem::remove_all(dir);
}

} // namespace
