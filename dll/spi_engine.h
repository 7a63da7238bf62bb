// The MPSSE link: open and close the bridge, and run one SPI flash command
// as one USB write (and at most one read).
#pragma once

#include <cstdint>

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
// Drains the host's message queue.
void pump_messages();

} // namespace zintra::spi
