// The bridge side of the virtual board: MPSSE parsing, chip select, handles
// and the time a transfer takes.
#include "board_fixture.h"
#include "spi_bridge.h"
#include "wincalls.h"

#include <algorithm>
#include <chrono>
#include <thread>

using namespace testing_support;

namespace {

class MpsseTest : public BoardTest {};

TEST_F(MpsseTest, UnknownAndBitShiftOpcodesAnswerBadCommand) {
    Bridge bridge;
    // 0xAB is no MPSSE command; 0x13 is a bit shift the board does not model.
    // Parsing goes on after each, so the pin read behind them still answers.
    bridge.write({0xAB, 0x13, 0x81});
    EXPECT_EQ(bridge.read(5), (Stream{0xFA, 0xAB, 0xFA, 0x13, 0xFE}));
    EXPECT_EQ(board().counters().bad_commands, 2u);
}

TEST_F(MpsseTest, WritesBeforeMpsseModeAreIgnored) {
    Bridge raw(false);
    raw.write(kDeselect + command(0x06) + command(0x02, 0, {0x00}) + command(0x05, {}, {}, 1));
    board().advance_us(10'000);
    EXPECT_EQ(raw.read(1), Stream{}) << "no reply without MPSSE";
    EXPECT_EQ(board().read(0, 1), Bytes{0xFF});
}

TEST_F(MpsseTest, BytesWithChipSelectHighNeverReachTheFlash) {
    Bridge bridge;
    // Released chip select; then chip select low but configured as an input.
    bridge.write(out_bytes({0x06}));
    bridge.write(Stream{0x80, 0xF6, 0xF3} + out_bytes({0x06}) + kDeselect);
    EXPECT_EQ(bridge.status(), 0x00);

    bridge.write_enable();
    bridge.write(out_bytes({0x02, 0x00, 0x00, 0x00, 0x00}) + kDeselect);
    bridge.write(Stream{0x80, 0xF6, 0xF3} + out_bytes({0x02, 0x00, 0x00, 0x00, 0x00}) + kDeselect);
    board().advance_us(10'000);
    EXPECT_EQ(board().read(0, 1), Bytes{0xFF});
    EXPECT_EQ(bridge.status(), 0x02) << "the latch is still set: no program arrived";
}

TEST_F(MpsseTest, ACommandSplitAcrossWritesCompletesWithTheNext) {
    const Stream program = command(0x06) + command(0x02, 0x40, {0x12, 0x34, 0x56});
    const Stream read = command(0x03, 0x40, {}, 3);
    for (std::size_t cut = 1; cut < program.size() + read.size(); ++cut) {
        board().fill(0xFF);
        Bridge bridge;
        Stream all = program + read;
        bridge.write(Stream(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(cut)));
        bridge.write(Stream(all.begin() + static_cast<std::ptrdiff_t>(cut), all.end()));
        board().advance_us(10'000);
        EXPECT_EQ(board().read(0x40, 3), (Bytes{0x12, 0x34, 0x56})) << "cut at " << cut;
        // The read went out right behind the program, while the part was busy.
        EXPECT_EQ(bridge.read(3), (Stream{0xFF, 0xFF, 0xFF})) << "cut at " << cut;
    }
}

TEST_F(MpsseTest, LoopbackAndLsbFirstShifts) {
    Bridge bridge;
    bridge.write({0x84, 0x31, 0x01, 0x00, 0xA5, 0x3C, 0x85});
    EXPECT_EQ(bridge.read(2), (Stream{0xA5, 0x3C}));
    // LSB first out of a 0x9F: the flash sees the reversed byte.
    board().write_raw(0, {0x00});
    bridge.write(kSelect + Stream{0x19, 0x00, 0x00, 0xF9} + in_bytes(3) + kDeselect);
    EXPECT_EQ(bridge.read(3), (Stream{0xC2, 0x20, 0x15}));
}

TEST_F(MpsseTest, TransfersCostLatencyPlusWireTimeAtTheSetClock) {
    Bridge bridge; // divisor 1 with the 12 MHz reference: 3 MHz
    const Stream data(300, 0x00);
    uint64_t before = board().now_us();
    bridge.write(out_bytes(data));
    EXPECT_EQ(board().now_us() - before, 125u + 800u); // 2400 bits at 3 MHz
    before = board().now_us();
    bridge.read(1);
    EXPECT_EQ(board().now_us() - before, 125u);

    bridge.write({0x8A, 0x86, 0x02, 0x00}); // 60 MHz / (2 * 3) = 10 MHz
    before = board().now_us();
    bridge.write(out_bytes(data));
    EXPECT_EQ(board().now_us() - before, 125u + 240u);
}

// An FT2232D has no 60 MHz clock: 0x8A is a bad command and the SPI clock
// stays where the 12 MHz reference puts it.
TEST_F(MpsseTest, ABridgeWithoutThe60MHzClockRefusesItsCommands) {
    vboard::Options options;
    options.master_clock_60mhz = false;
    reattach(options);
    Bridge bridge;
    bridge.write({0x8A, 0x8B, 0x97, 0x87, 0x81});
    EXPECT_EQ(bridge.read(7), (Stream{0xFA, 0x8A, 0xFA, 0x8B, 0xFA, 0x97, 0xFE}));
    const uint64_t before = board().now_us();
    bridge.write(out_bytes(Stream(300, 0x00)));
    EXPECT_EQ(board().now_us() - before, 125u + 800u);
}

// A status read clocked on and on inside one chip select samples the part
// byte by byte, so it shows the moment a program ends.
TEST_F(MpsseTest, ALongStatusReadSeesTheBusyBitClear) {
    Bridge bridge;
    bridge.write_enable();
    bridge.program(0, {0x00});
    // 1.4 ms of programming is 525 bytes at 3 MHz; 600 bytes outlast it.
    Stream status = bridge.transact(command(0x05, {}, {}, 600), 600);
    ASSERT_EQ(status.size(), 600u);
    const auto ready = std::find(status.begin(), status.end(), 0x00) - status.begin();
    EXPECT_GT(ready, 450);
    EXPECT_LT(ready, 525);
    EXPECT_TRUE(
        std::all_of(status.begin(), status.begin() + ready, [](uint8_t b) { return b == 1; }));
}

TEST_F(MpsseTest, ThePerformanceCounterKeepsTheBoardsTime) {
    LARGE_INTEGER frequency, start, end;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_TRUE(QueryPerformanceCounter(&start));
    Sleep(250);
    ASSERT_TRUE(QueryPerformanceCounter(&end));
    EXPECT_EQ((end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart, 250);
}

TEST_F(MpsseTest, SleepAdvancesOnlyAVirtualClock) {
    const uint64_t before = board().now_us();
    Sleep(15);
    EXPECT_EQ(board().now_us() - before, 15'000u);
    EXPECT_EQ(board().counters().sleeps, 1u);
    EXPECT_EQ(board().counters().slept_us, 15'000u);

    vboard::Options real;
    real.virtual_time = false;
    reattach(real);
    EXPECT_EQ(vboard_virtual_sleep(1), 0);
    {
        // In real time a busy period ends with the wall clock.
        Bridge bridge;
        bridge.write_enable();
        bridge.program(0, {0x00});
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(bridge.status(), 0x00);
    }
    vboard::detach();
    EXPECT_EQ(vboard_virtual_sleep(1), 0);
}

TEST_F(MpsseTest, HandlesAreExclusiveAndDieWithTheirBoard) {
    char serial[64] = {};
    ASSERT_EQ(FT_ListDevices(reinterpret_cast<PVOID>(0), serial, 0x40000001), FT_OK);
    EXPECT_STREQ(serial, vboard::kSerialNumber);
    EXPECT_EQ(FT_ListDevices(reinterpret_cast<PVOID>(1), serial, 0x40000001), FT_DEVICE_NOT_FOUND);
    DWORD count = 0;
    EXPECT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 1u);

    FT_HANDLE first = nullptr, second = nullptr;
    ASSERT_EQ(FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &first), FT_OK);
    EXPECT_NE(FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &second), FT_OK);
    EXPECT_NE(FT_OpenEx(const_cast<char*>("VB000002"), FT_OPEN_BY_SERIAL_NUMBER, &second), FT_OK);
    EXPECT_EQ(FT_Close(first), FT_OK);
    ASSERT_EQ(FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &second), FT_OK);

    // A handle from before a re-attach never reaches the new board.
    reattach({});
    uint8_t byte = 0x87;
    DWORD written = 0;
    EXPECT_NE(FT_Write(second, &byte, 1, &written), FT_OK);
    EXPECT_NE(FT_ResetDevice(second), FT_OK);
    EXPECT_EQ(board().counters().usb_writes, 0u);
    FT_Close(second);
}

TEST_F(MpsseTest, ReadsReturnWhatIsQueuedWithoutWaiting) {
    Bridge bridge;
    bridge.write(command(0x9F, {}, {}, 3));
    Stream buffer(8, 0xEE);
    DWORD got = 99;
    ASSERT_EQ(FT_Read(bridge.handle, buffer.data(), 8, &got), FT_OK);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(bridge.read(1), Stream{});
}

} // namespace
