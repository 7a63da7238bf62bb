// The MPSSE link: open and close the bridge, and run one SPI flash command
// as one USB write (and at most one read).
#pragma once

#include <cstdint>
#include <span>

namespace zintra::spi {

enum Opcode : uint8_t {
    kWriteEnable = 0x06,
    kWriteDisable = 0x04,
    kReadId = 0x9F,
    kReadStatus = 0x05,
    kWriteStatus = 0x01,
    kRead = 0x03,
    kFastRead = 0x0B,
    kSectorErase = 0x20,
    kBlockErase32 = 0x52,
    kBlockErase64 = 0xD8,
    kChipErase = 0x60,
    kPowerDown = 0xB9,
    kReleasePowerDown = 0xAB,
    kPageProgram = 0x02,
};

// 1 opened, 0 failed (the reason already shown).
int open_sequence();
// Releases the handle if one is held; a second close does nothing.
void close_device();
// What one SPI command came to.
enum class Result {
    kDone,
    // An unknown opcode, or a request the stream or read buffer cannot take:
    // nothing was sent.
    kRefused,
    // The stream did not go out (shown to the user); nothing read, no delay.
    kWriteFailed,
    // The command went out and its delay was kept, but the reply was lost
    // (shown to the user): the caller's buffer holds zeros.
    kReadFailed,
};

// Whether the command reached the chip, its reply aside.
inline bool sent(Result r) {
    return r == Result::kDone || r == Result::kReadFailed;
}

// One SPI command: the stream in one write, the reply (if the command has a
// read phase) in one read, then the command's delay.
[[nodiscard]] Result transaction(uint8_t opcode, uint32_t address, uint32_t length,
                                 uint8_t* buffer);
// One command of a burst: as for transaction, and where the bridge clocks
// without data (see bridge()) a wait before it and readings spread out.
struct Step {
    uint8_t opcode;
    uint32_t address = 0;
    uint32_t length = 0;
    uint8_t* buffer = nullptr;
    // SPI byte times clocked with chip select high before the command: a
    // wait inside the stream that costs no reply.
    uint32_t gap = 0;
    // One reading of the read phase every `every` byte times, the clock
    // running on between them: `length` readings spread over a window.
    uint32_t every = 1;
};
// The most a burst reads back.
constexpr uint32_t kMaxBurstRead = 192 * 1024;
// What the bridge can take, known once raise_clock has asked it.
struct Bridge {
    // 0x8F, clocks with no data (the chips with the 60 MHz clock have it).
    bool clocks_without_data = false;
    // The replies a write may ask for before its last command: the reply
    // buffer of the smallest bridge of its kind, the FT232H's 1 KiB where
    // 0x8A is answered (an FT2232H holds 4 KiB), the FT2232D's 128 bytes
    // where it is not. Past it the bridge stops clocking until the host
    // reads, which a host still writing never does.
    uint32_t reply_room = 128;
};
const Bridge& bridge();
// Several commands in one USB write, each in a chip select of its own, and
// the replies of all of them in one USB read, with SEND_IMMEDIATE behind
// the last command that reads, so the replies never wait for the bridge's
// latency timer. No fixed delay follows any of them: the caller polls the
// busy bit instead. Refused as a whole when one opcode is unknown, the
// stream exceeds its buffer, the replies together exceed kMaxBurstRead,
// the replies before the last reading command exceed bridge().reply_room,
// or a step asks for a wait or spread readings the bridge cannot clock.
[[nodiscard]] Result burst(std::span<const Step> steps);

// Sets the SPI clock for a fast run: `mhz` of 30, 15, 6 or 3, or 0 for
// 15 MHz where the bridge has the 60 MHz master clock (MPSSE command 0x8A
// answered, not refused as a bad command) and 3 MHz where it has not; says
// which in the debug output. The SPI clock in Hz it runs at now, or 0 when
// the bridge cannot run `mhz` (left at 3 MHz).
uint32_t raise_clock(uint32_t mhz);
// Back to the open sequence's 3 MHz after a raise_clock that did not fail.
void restore_clock();

// Drains the host's message queue.
void pump_messages();

} // namespace zintra::spi
