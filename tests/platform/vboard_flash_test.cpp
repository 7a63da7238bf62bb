// The flash part behind the bridge, driven the way a host programmer drives it.
#include "board_fixture.h"
#include "spi_bridge.h"

using namespace testing_support;

namespace {

constexpr uint8_t kLatch = 0x02;
constexpr uint8_t kBusy = 0x01;

class FlashTest : public BoardTest {
  protected:
    // Past any busy period of the part.
    void settle() { board().advance_us(20'000'000); }
};

TEST_F(FlashTest, ReadsIdentityErasedContentsAndWrapsAtTheEnd) {
    Bridge bridge;
    EXPECT_EQ(bridge.transact(command(0x9F, {}, {}, 3), 3), (Stream{0xC2, 0x20, 0x15}));
    EXPECT_EQ(bridge.status(), 0x00);
    board().write_raw(0, {0x11, 0x22});
    board().write_raw(0x1FFFFF, {0x99});
    EXPECT_EQ(bridge.read_data(0x1FFFFF, 3), (Stream{0x99, 0x11, 0x22}));
    // Fast read: the byte after the address is a dummy, data starts behind it.
    EXPECT_EQ(bridge.transact(command(0x0B, 0, {}, 2, 1), 2), (Stream{0x11, 0x22}));

    vboard::Options options;
    options.part = &vboard::other_part();
    reattach(options);
    Bridge other;
    EXPECT_EQ(other.transact(command(0x9F, {}, {}, 3), 3), (Stream{0xEF, 0x40, 0x15}));
}

TEST_F(FlashTest, ProgramNeedsWriteEnableAndOnlyClearsBits) {
    Bridge bridge;
    bridge.program(0x100, {0x00});
    settle();
    EXPECT_EQ(board().read(0x100, 1), Stream{0xFF});
    EXPECT_EQ(board().counters().page_programs, 0u);

    bridge.write_enable();
    EXPECT_EQ(bridge.status(), kLatch);
    bridge.write(command(0x04));
    EXPECT_EQ(bridge.status(), 0x00) << "write disable clears the latch";

    bridge.write_enable();
    bridge.program(0x100, {0xF0, 0x3C});
    EXPECT_EQ(bridge.status(), kBusy) << "busy, latch cleared";
    settle();
    bridge.write_enable();
    bridge.program(0x100, {0x0F, 0xFF});
    settle();
    EXPECT_EQ(bridge.read_data(0x100, 2), (Stream{0x00, 0x3C}));
    // The latch went with the program: a further program without enabling does nothing.
    bridge.program(0x101, {0x00});
    settle();
    EXPECT_EQ(board().read(0x101, 1), Stream{0x3C});
}

TEST_F(FlashTest, PageProgramWrapsInsideItsPage) {
    Bridge bridge;
    Bytes data = pattern(32);
    bridge.write_enable();
    bridge.program(0x12F0, data);
    settle();
    EXPECT_EQ(board().read(0x12F0, 16), Bytes(data.begin(), data.begin() + 16));
    EXPECT_EQ(board().read(0x1200, 16), Bytes(data.begin() + 16, data.end()));
    EXPECT_EQ(board().read(0x1300, 16), Bytes(16, 0xFF)) << "the next page is untouched";

    // More than a page: the last 256 bytes sent are the ones kept.
    Bytes long_data = pattern(300, 7);
    bridge.write_enable();
    bridge.program(0x4000, long_data);
    settle();
    Bytes expected(256);
    for (std::size_t i = 0; i < long_data.size(); ++i)
        expected[i % 256] = long_data[i];
    EXPECT_EQ(board().read(0x4000, 256), expected);
}

struct EraseCase {
    uint8_t opcode;
    uint32_t size;
    uint32_t vboard::FlashPart::*time_us;
};

class EraseTest : public FlashTest, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(EraseTest, ClearsItsAlignedBlockAndIsBusyForItsTime) {
    const EraseCase c = GetParam();
    const uint32_t size = c.size ? c.size : board().part().size_bytes;
    const uint32_t at = size < board().part().size_bytes ? 3 * size : 0;
    board().fill(0x00);
    Bridge bridge;
    bridge.write_enable();
    if (c.size) {
        bridge.erase(c.opcode, at + size / 2 + 3); // any address inside the block
    } else {
        bridge.write(command(c.opcode));
    }
    const uint64_t started = board().now_us();
    const uint64_t busy_us = board().part().*c.time_us;

    EXPECT_EQ(bridge.status(), kBusy);
    // Commands sent while busy are ignored: this enable never sets the latch.
    bridge.write_enable();
    EXPECT_EQ(bridge.read_data(at, 1), Stream{0xFF}) << "no data driven while busy";
    // A status read itself spends a USB transfer (well under 1 ms) on the way.
    board().advance_us(started + busy_us - 1000 - board().now_us());
    EXPECT_EQ(bridge.status() & kBusy, kBusy) << "still busy just before the erase time";
    board().advance_us(1000);
    EXPECT_EQ(bridge.status(), 0x00) << "done at the erase time, latch clear";

    EXPECT_EQ(board().read(at, size), Bytes(size, 0xFF));
    if (at > 0) {
        EXPECT_EQ(board().read(at - 1, 1), Bytes{0x00});
    }
    if (at + size < board().part().size_bytes) {
        EXPECT_EQ(board().read(at + size, 1), Bytes{0x00});
    }
    EXPECT_EQ(board().counters().erases, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, EraseTest,
    ::testing::Values(EraseCase{0x20, 4096, &vboard::FlashPart::sector_erase_us},
                      EraseCase{0x52, 32768, &vboard::FlashPart::block32_erase_us},
                      EraseCase{0xD8, 65536, &vboard::FlashPart::block64_erase_us},
                      EraseCase{0x60, 0, &vboard::FlashPart::chip_erase_us},
                      EraseCase{0xC7, 0, &vboard::FlashPart::chip_erase_us}));

TEST_F(FlashTest, WritingCommandsNeedExactFraming) {
    board().fill(0x00);
    Bridge bridge;
    // An erase whose chip select rises a byte late is rejected, latch kept.
    bridge.write_enable();
    bridge.write(kSelect + out_bytes({0xD8, 0x00, 0x00, 0x00, 0x00}) + kDeselect);
    EXPECT_EQ(bridge.status(), kLatch);
    // An erase cut short in its address does nothing either.
    bridge.write(kSelect + out_bytes({0x20, 0x00}) + kDeselect);
    EXPECT_EQ(bridge.status(), kLatch);
    EXPECT_EQ(board().read(0, 1), Bytes{0x00});
    // A program without data bytes programs nothing.
    bridge.write(command(0x02, 0));
    EXPECT_EQ(board().counters().page_programs, 0u);
}

TEST_F(FlashTest, DeepPowerDownListensOnlyForRelease) {
    board().write_raw(0, {0x5A});
    Bridge bridge;
    bridge.write(command(0xB9));
    EXPECT_EQ(bridge.transact(command(0x9F, {}, {}, 3), 3), (Stream{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(bridge.read_data(0, 1), Stream{0xFF});
    bridge.write_enable();
    // Release with three dummies returns the electronic signature.
    EXPECT_EQ(bridge.transact(command(0xAB, {}, {}, 1, 3), 1), Stream{0x14});
    EXPECT_EQ(bridge.status(), 0x00) << "the enable sent while powered down was ignored";
    EXPECT_EQ(bridge.read_data(0, 1), Stream{0x5A});
    // The release without a read, as a host sends it, also wakes the part.
    bridge.write(command(0xB9));
    bridge.write(command(0xAB, {}, {}, 0, 3));
    EXPECT_EQ(bridge.read_data(0, 1), Stream{0x5A});
}

TEST_F(FlashTest, BlockProtectBitsGuardTheTopOfThePart) {
    Bridge bridge;
    // Status write in one chip-select period with a read behind it, as hosts send it.
    bridge.write_enable();
    EXPECT_EQ(bridge.transact(command(0x01, {}, {0x04}, 1), 1).size(), 1u);
    EXPECT_EQ(bridge.status(), kBusy | 0x04);
    settle();
    EXPECT_EQ(bridge.status(), 0x04);

    const uint32_t top = board().part().size_bytes - 0x10000;
    for (uint32_t a : {top, 0u}) {
        bridge.write_enable();
        bridge.program(a, {0x00});
        settle();
    }
    EXPECT_EQ(board().read(top, 1), Bytes{0xFF}) << "top 64 KiB guarded";
    EXPECT_EQ(board().read(0, 1), Bytes{0x00});
    bridge.write_enable();
    bridge.write(command(0xC7));
    settle();
    EXPECT_EQ(board().read(0, 1), Bytes{0x00}) << "chip erase refused while any block is guarded";
    EXPECT_EQ(bridge.status(), 0x04) << "the refused erase still cleared the latch";

    // Only the protect bits are writable.
    bridge.write_enable();
    bridge.write(command(0x01, {}, {0x43}));
    settle();
    EXPECT_EQ(bridge.status(), 0x00);
}

} // namespace
