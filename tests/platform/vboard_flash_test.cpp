// The flash part behind the bridge, driven the way a host programmer drives it.
#include "board_fixture.h"
#include "spi_bridge.h"

using namespace testing_support;

namespace {

class FlashTest : public BoardTest {};

TEST_F(FlashTest, ReadsIdentityAndErasedContents) {
    Bridge bridge;
    EXPECT_EQ(bridge.transact(command(0x9F, {}, {}, 3), 3), (Stream{0xC2, 0x20, 0x15}));
    EXPECT_EQ(bridge.read_data(0x1FFFF0, 4), (Stream{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(bridge.status(), 0x00);
}

TEST_F(FlashTest, ProgramNeedsWriteEnableAndOnlyClearsBits) {
    Bridge bridge;
    bridge.program(0x100, {0x00});
    board().advance_us(10'000);
    EXPECT_EQ(board().read(0x100, 1), Stream{0xFF});

    bridge.write_enable();
    EXPECT_EQ(bridge.status() & 0x02, 0x02);
    bridge.program(0x100, {0xF0, 0x3C});
    EXPECT_EQ(bridge.status() & 0x03, 0x01) << "busy, latch cleared";
    board().advance_us(10'000);
    bridge.write_enable();
    bridge.program(0x100, {0x0F, 0xFF});
    board().advance_us(10'000);
    EXPECT_EQ(bridge.read_data(0x100, 2), (Stream{0x00, 0x3C}));
}

} // namespace
