// The bridge as a host meets it: real time that waits for the model's
// moments, buffers that push back, and boards put on and taken off.
#include "board_fixture.h"
#include "spi_bridge.h"

#include <chrono>
#include <fstream>

using namespace testing_support;

namespace {

class BridgeTest : public BoardTest {
  protected:
    void socket(const std::string& text) { std::ofstream(temp("socket")) << text; }
    Stream id(Bridge& bridge) { return bridge.transact(command(0x9F, {}, {}, 3), 3); }
};

// In real time a reply is held until a real bridge would have sent it: the
// wire time at the SPI clock, or the latency timer for a short reply with
// no SEND_IMMEDIATE behind it.
TEST_F(BridgeTest, ARealTimeReadWaitsForItsModelledMoment) {
    struct Case {
        const char* name;
        Stream stream;
        std::size_t reply;
        uint64_t at_least_us;
    };
    const Case cases[] = {
        {"64 KiB at 3 MHz", command(0x03, 0, {}, 0x10000) + Stream{0x87}, 0x10000, 174'762},
        {"an ID with the 16 ms timer", command(0x9F, {}, {}, 3), 3, 14'000},
    };
    for (const Case& c : cases) {
        vboard::Options real;
        real.virtual_time = false;
        reattach(real);
        Bridge bridge;
        const auto start = std::chrono::steady_clock::now();
        bridge.write(c.stream);
        EXPECT_EQ(bridge.read(c.reply).size(), c.reply) << c.name;
        const auto waited = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
        EXPECT_GE(static_cast<uint64_t>(waited.count()), c.at_least_us) << c.name;
    }
}

// A host that writes before it reads gets its replies only as far as the
// reply buffer holds them; the bridge then stops clocking, its command
// buffer fills and a write that does not fit there never completes. One
// long read last in its write is what every host does, and goes through.
TEST_F(BridgeTest, AStreamThatOverfillsTheBridgesBuffersStalls) {
    auto pages = [](int n, std::size_t status) {
        Stream s;
        for (int p = 0; p < n; ++p)
            s = s + command(0x06) + command(0x02, 0x100 * p, Stream(256, 0)) +
                command(0x05, {}, {}, status);
        return s;
    };
    struct Case {
        const char* name;
        bool clock_60mhz;
        Stream stream;
        std::size_t reply;
        bool stalls;
    };
    const Case cases[] = {
        {"16 pages asking 8 KiB of status each", true, pages(16, 8192), 16 * 8192, true},
        {"16 pages asking 32 readings each", true, pages(16, 32), 16 * 32, false},
        {"one 64 KiB read last", true, command(0x03, 0, {}, 0x10000), 0x10000, false},
        {"an FT2232D: 128 bytes of replies, then pages", false,
         command(0x05, {}, {}, 200) + pages(2, 1), 202, true},
        {"an FT2232D: pages, then a long read", false, pages(2, 1) + command(0x03, 0, {}, 4096),
         4098, false},
    };
    for (const Case& c : cases) {
        vboard::Options options;
        options.master_clock_60mhz = c.clock_60mhz;
        reattach(options);
        Bridge bridge;
        DWORD written = 0;
        Stream s = c.stream + Stream{0x87};
        const uint64_t before = board().now_us();
        const FT_STATUS status =
            FT_Write(bridge.handle, s.data(), static_cast<DWORD>(s.size()), &written);
        EXPECT_EQ(status != FT_OK, c.stalls) << c.name;
        EXPECT_EQ(board().counters().stalled_writes, c.stalls ? 1u : 0u) << c.name;
        if (c.stalls) {
            EXPECT_GE(board().now_us() - before, 3'000'000u) << c.name << ": the host's deadline";
        } else {
            EXPECT_EQ(bridge.read(c.reply).size(), c.reply) << c.name;
        }
    }
}

// The socket names the board behind the bridge. A board taken off goes at
// once, mid-command included, and the bridge then reads as one with no
// chip; one put on while the bridge is open waits for an ID read, so a run
// under way never writes onto it. A board carries its own faults.
TEST_F(BridgeTest, BoardsArePutOnAndTakenOffThroughTheSocket) {
    write_file(temp("a.bin"), Bytes(2u << 20, 0xA0));
    socket("a.bin\n");
    vboard::Options options;
    options.socket = temp("socket").string();
    reattach(options);
    EXPECT_EQ(board().read(0, 1), Bytes{0xA0}) << "on while the bridge is closed";
    const Stream c2{0xC2, 0x20, 0x15}, none{0xFF, 0xFF, 0xFF};
    Bridge bridge;
    EXPECT_EQ(id(bridge), c2);
    socket("");
    EXPECT_EQ(id(bridge), none) << "taken off";
    EXPECT_EQ(bridge.read_data(0, 1), Stream{0xFF});

    socket("b.bin\nfaults=wp\n");
    bridge.write_enable();
    bridge.program(0, {0x00});
    EXPECT_EQ(bridge.status(), 0xFF) << "put on mid-run: not there yet";
    EXPECT_EQ(id(bridge), c2) << "there from the next ID read";
    EXPECT_EQ(read_file(temp("b.bin")).at(0), 0xFF) << "the program before it went nowhere";
    bridge.write_enable();
    bridge.program(0, {0x00});
    board().advance_us(10'000);
    EXPECT_EQ(bridge.read_data(0, 1), Stream{0xFF}) << "its own fault: write-protected";

    socket("a.bin\nfaults=nochip\npart=other\n");
    EXPECT_EQ(id(bridge), none) << "swapped for a board whose chip does not answer";
    socket("a.bin\npart=other\n");
    EXPECT_EQ(id(bridge), (Stream{0xEF, 0x40, 0x15}));
    EXPECT_EQ(bridge.read_data(0, 1), Stream{0xA0});
}

} // namespace
