#include "mpsse_engine.h"

#include <algorithm>

namespace vboard {
namespace {

// Low-byte pins as the SPI wiring uses them.
constexpr uint8_t kClockPin = 0x01;
constexpr uint8_t kDataOutPin = 0x02;
constexpr uint8_t kDataInPin = 0x04;
constexpr uint8_t kChipSelectPin = 0x08;

// Byte-wise data shifts: 0x10..0x3F without the bit-mode flag (0x02).
// Flag 0x10 writes, 0x20 reads, 0x08 sends the least significant bit first;
// the clock edges (0x01, 0x04) do not change what a mode-0 flash receives.
constexpr uint8_t kShiftWrites = 0x10;
constexpr uint8_t kShiftReads = 0x20;
constexpr uint8_t kShiftLsbFirst = 0x08;
constexpr uint8_t kShiftBitMode = 0x02;

// Bit shifts are real MPSSE commands, but this board models the flash a
// byte at a time; it answers them like unknown opcodes so a stream that
// relies on them fails loudly instead of being modelled wrongly.
bool is_byte_shift(uint8_t opcode) {
    return opcode >= 0x10 && opcode <= 0x3F && !(opcode & kShiftBitMode);
}

enum Command : uint8_t {
    kSetLow = 0x80,
    kGetLow = 0x81,
    kSetHigh = 0x82,
    kGetHigh = 0x83,
    kLoopbackOn = 0x84,
    kLoopbackOff = 0x85,
    kSetDivisor = 0x86,
    kSendImmediate = 0x87,
    kDivideBy5Off = 0x8A,
    kDivideBy5On = 0x8B,
    kThreePhaseOn = 0x8C,
    kThreePhaseOff = 0x8D,
    kAdaptiveOn = 0x96,
    kAdaptiveOff = 0x97,
};

struct FixedCommand {
    uint8_t opcode;
    uint8_t length;
};
constexpr FixedCommand kFixedCommands[] = {
    {kSetLow, 3},       {kGetLow, 1},      {kSetHigh, 3},      {kGetHigh, 1},
    {kLoopbackOn, 1},   {kLoopbackOff, 1}, {kSetDivisor, 3},   {kSendImmediate, 1},
    {kDivideBy5Off, 1}, {kDivideBy5On, 1}, {kThreePhaseOn, 1}, {kThreePhaseOff, 1},
    {kAdaptiveOn, 1},   {kAdaptiveOff, 1},
};

// What the FT2232D lacks: the 60 MHz clock, three-phase and adaptive clocking.
bool needs_60mhz_chip(uint8_t opcode) {
    return (opcode >= kDivideBy5Off && opcode <= kThreePhaseOff) || opcode == kAdaptiveOn ||
           opcode == kAdaptiveOff;
}

constexpr uint8_t kBadCommand = 0xFA;
constexpr uint8_t kMpsseMode = 0x02;
constexpr uint32_t kReference60MHz = 60'000'000;
constexpr uint32_t kReference12MHz = 12'000'000;

uint8_t reverse_bits(uint8_t b) {
    b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

} // namespace

MpsseEngine::MpsseEngine(SpiFlash& flash, BoardClock& clock, Counters& counters, UsbLink& link,
                         bool master_clock_60mhz)
    : flash_(flash), clock_(clock), counters_(counters), link_(link),
      master_clock_60mhz_(master_clock_60mhz) {}

uint32_t MpsseEngine::spi_clock_hz() const {
    const uint32_t reference = divide_by_5_ ? kReference12MHz : kReference60MHz;
    return reference / (2u * (uint32_t{divisor_} + 1u));
}

bool MpsseEngine::flash_selected() const {
    return enabled_ && (low_direction_ & kChipSelectPin) && !(low_value_ & kChipSelectPin);
}

void MpsseEngine::set_mode(uint8_t mode) {
    const bool was_selected = flash_selected();
    const bool enable = mode == kMpsseMode;
    if (enable != enabled_) {
        partial_.clear();
        low_direction_ = high_direction_ = 0;
        low_value_ = high_value_ = 0;
        loopback_ = false;
    }
    enabled_ = enable;
    if (was_selected && !flash_selected()) flash_.deselect();
}

void MpsseEngine::purge() {
    partial_.clear();
    link_.purge();
}

void MpsseEngine::set_low_pins(uint8_t value, uint8_t direction) {
    const bool was_selected = flash_selected();
    low_value_ = value;
    low_direction_ = direction;
    const bool selected = flash_selected();
    if (was_selected && !selected) flash_.deselect();
    if (!was_selected && selected) flash_.select();
}

void MpsseEngine::reply(uint8_t byte) {
    link_.queue(byte);
}

void MpsseEngine::feed(const uint8_t* data, std::size_t size) {
    if (!enabled_ || size == 0) return;
    std::vector<uint8_t> joined;
    if (!partial_.empty()) {
        joined = std::move(partial_);
        partial_.clear();
        joined.insert(joined.end(), data, data + size);
        data = joined.data();
        size = joined.size();
    }
    std::size_t pos = 0;
    while (pos < size) {
        const std::size_t used = execute(data + pos, size - pos);
        if (used == 0) break;
        pos += used;
    }
    if (pos < size) partial_.assign(data + pos, data + size);
}

std::size_t MpsseEngine::execute(const uint8_t* data, std::size_t size) {
    const uint8_t opcode = data[0];
    if (is_byte_shift(opcode)) {
        if (size < 3) return 0;
        const std::size_t length = (std::size_t{data[1]} | std::size_t{data[2]} << 8) + 1;
        const std::size_t total = 3 + ((opcode & kShiftWrites) ? length : 0);
        if (size < total) return 0;
        shift(opcode, data + 3, length);
        return total;
    }
    const FixedCommand* command =
        std::find_if(std::begin(kFixedCommands), std::end(kFixedCommands),
                     [&](const FixedCommand& c) { return c.opcode == opcode; });
    if (command == std::end(kFixedCommands) || (!master_clock_60mhz_ && needs_60mhz_chip(opcode))) {
        ++counters_.bad_commands;
        reply(kBadCommand);
        reply(opcode);
        return 1;
    }
    if (size < command->length) return 0;
    switch (opcode) {
    case kSetLow:
        set_low_pins(data[1], data[2]);
        break;
    case kSetHigh:
        high_value_ = data[1];
        high_direction_ = data[2];
        break;
    case kGetLow:
        // Inputs read high: the flash output and the free pins are pulled up.
        reply(static_cast<uint8_t>((low_value_ & low_direction_) | ~low_direction_));
        break;
    case kGetHigh:
        reply(static_cast<uint8_t>((high_value_ & high_direction_) | ~high_direction_));
        break;
    case kLoopbackOn:
        loopback_ = true;
        break;
    case kLoopbackOff:
        loopback_ = false;
        break;
    case kSetDivisor:
        divisor_ = static_cast<uint16_t>(data[1] | data[2] << 8);
        break;
    case kDivideBy5Off:
        divide_by_5_ = false;
        break;
    case kDivideBy5On:
        divide_by_5_ = true;
        break;
    case kSendImmediate:
        link_.send_immediate();
        break;
    default: // three-phase and adaptive clocking: nothing to model
        break;
    }
    return command->length;
}

void MpsseEngine::shift(uint8_t opcode, const uint8_t* out, std::size_t length) {
    const bool writes = opcode & kShiftWrites;
    const bool reads = opcode & kShiftReads;
    const bool lsb_first = opcode & kShiftLsbFirst;
    // Without a driven clock pin the flash sees no edges at all.
    const bool clocked = flash_selected() && (low_direction_ & kClockPin);
    const bool data_driven = low_direction_ & kDataOutPin;
    // Between writes the data pin keeps the level of the last bit sent.
    uint8_t idle = (low_value_ & kDataOutPin) ? 0xFF : 0x00;
    // Time passes byte by byte, so a status register read on and on inside
    // one command sees the busy bit clear when the part finishes.
    const uint64_t start_ns = clock_.now_ns();
    const uint32_t hz = spi_clock_hz();
    for (std::size_t i = 0; i < length; ++i) {
        const uint64_t due = start_ns + uint64_t{i} * 8u * 1'000'000'000u / hz;
        if (clock_.now_ns() < due) clock_.advance_ns(due - clock_.now_ns());
        uint8_t wire = 0xFF;
        if (data_driven) {
            wire = writes ? (lsb_first ? reverse_bits(out[i]) : out[i]) : idle;
            idle = (wire & 0x01) ? 0xFF : 0x00;
        }
        uint8_t miso = clocked ? flash_.exchange(wire) : 0xFF;
        if (loopback_) {
            miso = wire;
        } else if (low_direction_ & kDataInPin) {
            miso = (low_value_ & kDataInPin) ? 0xFF : 0x00;
        }
        if (reads) reply(lsb_first ? reverse_bits(miso) : miso);
    }
    if (data_driven) {
        low_value_ =
            static_cast<uint8_t>((low_value_ & ~kDataOutPin) | ((idle & 0x01) ? kDataOutPin : 0));
    }
    const uint64_t end_ns = start_ns + uint64_t{length} * 8u * 1'000'000'000u / hz;
    if (clock_.now_ns() < end_ns) clock_.advance_ns(end_ns - clock_.now_ns());
}

} // namespace vboard
