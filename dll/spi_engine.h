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
// One SPI command. 1 done, 0 failed or refused.
int transaction(uint8_t opcode, uint32_t address, uint32_t length, uint8_t* buffer);
// Whether the read phase of the last transaction arrived. A failed read
// still counts as a done transaction (programming surfaces it as a compare
// error), but a caller about to erase what it read must know.
bool read_succeeded();
// Drains the host's message queue.
void pump_messages();

} // namespace zintra::spi
