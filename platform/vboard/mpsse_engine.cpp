#include "mpsse_engine.h"

#include <algorithm>
#include <iterator>

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
    kClockBytes = 0x8F, // clocks n bytes with no data: a wait the host puts in its stream
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

// What the FT2232D lacks: the 60 MHz clock, three-phase and adaptive
// clocking, the clocks without data.
bool needs_60mhz_chip(uint8_t opcode) {
    return (opcode >= kDivideBy5Off && opcode <= kThreePhaseOff) || opcode == kAdaptiveOn ||
           opcode == kAdaptiveOff || opcode == kClockBytes;
}

constexpr uint8_t kBadCommand = 0xFA;
constexpr uint64_t kNsPerByte = 8'000'000'000; // eight clock periods, times the clock in Hz
constexpr uint8_t kMpsseMode = 0x02;
constexpr uint32_t kReference60MHz = 60'000'000;
constexpr uint32_t kReference12MHz = 12'000'000;

uint8_t reverse_bits(uint8_t b) {
    b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

} // namespace

MpsseEngine::MpsseEngine(SpiFlash& flash, Counters& counters, UsbLink& link,
                         bool master_clock_60mhz, std::size_t command_buffer)
    : flash_(flash), counters_(counters), link_(link), master_clock_60mhz_(master_clock_60mhz),
      capacity_(command_buffer) {}

uint32_t MpsseEngine::spi_clock_hz() const {
    const uint32_t reference = divide_by_5_ ? kReference12MHz : kReference60MHz;
    return reference / (2u * (uint32_t{divisor_} + 1u));
}

bool MpsseEngine::flash_selected() const {
    return enabled_ && (low_direction_ & kChipSelectPin) && !(low_value_ & kChipSelectPin);
}

void MpsseEngine::set_mode(uint8_t mode, uint64_t now_ns) {
    now_ = std::max(now_, now_ns);
    const bool was_selected = flash_selected();
    const bool enable = mode == kMpsseMode;
    if (enable != enabled_) {
        commands_.clear();
        head_ = 0;
        shift_.active = false;
        low_direction_ = high_direction_ = 0;
        low_value_ = high_value_ = 0;
        loopback_ = false;
    }
    enabled_ = enable;
    if (was_selected && !flash_selected()) flash_.deselect(now_);
}

void MpsseEngine::purge() {
    commands_.clear();
    head_ = 0;
    shift_.active = false;
    link_.purge();
}

void MpsseEngine::set_low_pins(uint8_t value, uint8_t direction) {
    const bool was_selected = flash_selected();
    low_value_ = value;
    low_direction_ = direction;
    const bool selected = flash_selected();
    if (was_selected && !selected) flash_.deselect(now_);
    if (!was_selected && selected) flash_.select();
}

void MpsseEngine::reply(uint8_t byte) {
    link_.queue(byte, now_);
}

std::size_t MpsseEngine::feed(const uint8_t* data, std::size_t size, uint64_t now_ns) {
    if (!enabled_) return size;
    std::size_t taken = 0;
    while (taken < size) {
        const std::size_t room = capacity_ - buffered();
        if (room == 0) break;
        const std::size_t n = std::min(room, size - taken);
        commands_.erase(commands_.begin(), commands_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
        commands_.insert(commands_.end(), data + taken, data + taken + n);
        taken += n;
        run(now_ns);
    }
    return taken;
}

void MpsseEngine::run(uint64_t now_ns) {
    now_ = std::max(now_, now_ns);
    while (step()) {
    }
}

bool MpsseEngine::step() {
    if (shift_.active) return continue_shift();
    if (head_ == commands_.size()) return false;
    return start_command();
}

bool MpsseEngine::start_command() {
    const uint8_t* data = commands_.data() + head_;
    const std::size_t size = buffered();
    const uint8_t opcode = data[0];
    if (is_byte_shift(opcode) || (opcode == kClockBytes && master_clock_60mhz_)) {
        if (size < 3) return false;
        shift_ = {.active = true,
                  .opcode = opcode,
                  .length = (std::size_t{data[1]} | std::size_t{data[2]} << 8) + 1,
                  .hz = spi_clock_hz(),
                  .segment_ns = now_};
        head_ += 3;
        return true;
    }
    const FixedCommand* command =
        std::find_if(std::begin(kFixedCommands), std::end(kFixedCommands),
                     [&](const FixedCommand& c) { return c.opcode == opcode; });
    if (command == std::end(kFixedCommands) || (!master_clock_60mhz_ && needs_60mhz_chip(opcode))) {
        if (!link_.room(2)) return false;
        ++counters_.bad_commands;
        reply(kBadCommand);
        reply(opcode);
        head_ += 1;
        return true;
    }
    if (size < command->length) return false;
    if ((opcode == kGetLow || opcode == kGetHigh) && !link_.room()) return false;
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
        link_.send_immediate(now_);
        break;
    default: // three-phase and adaptive clocking: nothing to model
        break;
    }
    head_ += command->length;
    return true;
}

// Time passes byte by byte, so a status register read on and on inside one
// command sees the busy bit clear when the part finishes. A shift stops
// before a byte whose reply has no room, or whose data has not arrived.
bool MpsseEngine::continue_shift() {
    Shift& s = shift_;
    const bool clock_only = s.opcode == kClockBytes;
    const bool writes = !clock_only && (s.opcode & kShiftWrites);
    const bool reads = !clock_only && (s.opcode & kShiftReads);
    const bool lsb_first = !clock_only && (s.opcode & kShiftLsbFirst);
    // Without a driven clock pin the flash sees no edges at all.
    const bool clocked = flash_selected() && (low_direction_ & kClockPin);
    const bool data_driven = low_direction_ & kDataOutPin;
    auto at = [&](std::size_t i) {
        return s.segment_ns + uint64_t{i - s.segment_first} * kNsPerByte / s.hz;
    };
    for (; s.done < s.length; ++s.done) {
        if (writes && head_ == commands_.size()) return false;
        if (reads && !link_.room()) return false;
        uint64_t t = at(s.done);
        if (t < now_) {
            s.segment_ns = t = now_;
            s.segment_first = s.done;
        }
        now_ = t;
        // Between writes the data pin keeps the level of the last bit sent.
        const uint8_t idle = (low_value_ & kDataOutPin) ? 0xFF : 0x00;
        uint8_t wire = 0xFF;
        if (data_driven) {
            const uint8_t out = writes ? commands_[head_] : idle;
            wire = writes && lsb_first ? reverse_bits(out) : out;
            low_value_ = static_cast<uint8_t>((low_value_ & ~kDataOutPin) |
                                              ((wire & 0x01) ? kDataOutPin : 0));
        }
        if (writes) ++head_;
        uint8_t miso = clocked ? flash_.exchange(wire, now_) : 0xFF;
        if (loopback_) {
            miso = wire;
        } else if (low_direction_ & kDataInPin) {
            miso = (low_value_ & kDataInPin) ? 0xFF : 0x00;
        }
        if (reads) reply(lsb_first ? reverse_bits(miso) : miso);
    }
    now_ = std::max(now_, at(s.length));
    s.active = false;
    return true;
}

} // namespace vboard
