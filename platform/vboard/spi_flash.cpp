#include "spi_flash.h"

#include <algorithm>
#include <limits>

namespace vboard {
namespace {

// The chip's commands as its datasheet gives them, kept apart from the
// library's table on purpose: the model answers what a part would, so a
// wrong opcode in the library fails here instead of being agreed with.
enum Opcode : uint8_t {
    kWriteStatus = 0x01,
    kPageProgram = 0x02,
    kRead = 0x03,
    kWriteDisable = 0x04,
    kReadStatus = 0x05,
    kWriteEnable = 0x06,
    kFastRead = 0x0B,
    kSectorErase = 0x20,
    kBlock32Erase = 0x52,
    kChipErase = 0x60,
    kReadId = 0x9F,
    kReleasePowerDown = 0xAB,
    kPowerDown = 0xB9,
    kChipErase2 = 0xC7,
    kBlock64Erase = 0xD8,
};

constexpr uint8_t kBusy = 0x01;
constexpr uint8_t kWriteEnableLatch = 0x02;
constexpr uint8_t kWritableStatus = 0xBC; // BP0..BP3 and the status-write disable bit
// A part its WP pin holds protected: every block, the register locked.
constexpr uint8_t kProtectedStatus = kWritableStatus;
constexpr uint32_t kPageSize = 256;
constexpr uint32_t kProtectUnit = 64 * 1024;
constexpr uint32_t kAnyLength = std::numeric_limits<uint32_t>::max();

// A writing command is carried out only when chip select rises after a
// byte count the part accepts; anything else is rejected, as real parts do.
struct Framing {
    uint8_t opcode;
    uint32_t min_bytes;
    uint32_t max_bytes;
};
constexpr Framing kFraming[] = {
    {kWriteEnable, 1, 1},
    {kWriteDisable, 1, 1},
    {kWriteStatus, 2, 3},
    {kPageProgram, 5, kAnyLength},
    {kSectorErase, 4, 4},
    {kBlock32Erase, 4, 4},
    {kBlock64Erase, 4, 4},
    {kChipErase, 1, 1},
    {kChipErase2, 1, 1},
    {kPowerDown, 1, 1},
    {kReleasePowerDown, 1, kAnyLength},
};

struct EraseKind {
    uint8_t opcode;
    uint32_t size; // 0: the whole part
    uint32_t FlashPart::*time_us;
};
constexpr EraseKind kErases[] = {
    {kSectorErase, 4 * 1024, &FlashPart::sector_erase_us},
    {kBlock32Erase, 32 * 1024, &FlashPart::block32_erase_us},
    {kBlock64Erase, 64 * 1024, &FlashPart::block64_erase_us},
    {kChipErase, 0, &FlashPart::chip_erase_us},
    {kChipErase2, 0, &FlashPart::chip_erase_us},
};

} // namespace

SpiFlash::SpiFlash(const FlashPart& part, std::span<uint8_t> memory, const Faults& faults,
                   Counters& counters)
    : part_(&part), memory_(memory), faults_(faults), counters_(counters),
      address_mask_(part.size_bytes - 1) {}

void SpiFlash::connect(const FlashPart& part, std::span<uint8_t> memory) {
    part_ = &part;
    memory_ = memory;
    address_mask_ = part.size_bytes - 1;
    status_ = 0;
    busy_until_ns_ = 0;
    powered_down_ = false;
    selected_ = false;
    programs_since_connect_ = 0;
}

bool SpiFlash::busy(uint64_t now_ns) const {
    return faults_.busy_stuck || now_ns < busy_until_ns_;
}

// A write-protected part says why in its protection bits: every block
// protected and the status register locked, as the WP pin holds it.
uint8_t SpiFlash::status(uint64_t now_ns) const {
    const uint8_t protection = faults_.write_protected ? kProtectedStatus : 0;
    return static_cast<uint8_t>((status_ & ~kBusy) | protection | (busy(now_ns) ? kBusy : 0));
}

void SpiFlash::select() {
    selected_ = true;
    ignored_ = false;
    opcode_ = 0;
    count_ = 0;
    address_ = 0;
    page_latch_.fill(0xFF);
    status_in_.fill(0);
    flip_ = Flip::undecided;
}

uint8_t SpiFlash::exchange(uint8_t mosi, uint64_t now_ns) {
    // A board put on while the bridge is open is there once an ID read
    // looks for it, never in the middle of a run that began without it.
    if (selected_ && count_ == 0 && mosi == kReadId && !connected() && put_on_ && put_on_())
        select(); // the part now in place sees this command from its start
    // With no chip on the bus nothing drives the data line: it reads high.
    if (!selected_ || faults_.no_chip || !connected()) return 0xFF;
    const uint32_t index = count_;
    if (count_ < kAnyLength) ++count_;
    if (index == 0) {
        opcode_ = mosi;
        // A part in deep power-down listens for the release only; a busy
        // part answers status reads only.
        if (powered_down_ ? mosi != kReleasePowerDown : (busy(now_ns) && mosi != kReadStatus)) {
            ignored_ = true;
            ++counters_.ignored_commands;
        }
        if (!ignored_ && mosi == kReadStatus) ++counters_.status_reads;
        return 0xFF;
    }
    if (ignored_) return 0xFF;

    const bool address_byte = index <= 3;
    switch (opcode_) {
    case kReadStatus:
        return status(now_ns);
    case kReadId:
        return index <= part_->jedec_id.size() ? part_->jedec_id[index - 1] : 0xFF;
    case kReleasePowerDown:
        return index >= 4 ? part_->electronic_signature : 0xFF;
    case kWriteStatus:
        if (index <= status_in_.size()) status_in_[index - 1] = mosi;
        return 0xFF;
    case kRead:
    case kFastRead:
    case kPageProgram:
    case kSectorErase:
    case kBlock32Erase:
    case kBlock64Erase:
        break;
    default:
        return 0xFF;
    }
    if (address_byte) {
        address_ = ((address_ << 8) | mosi) & 0xFFFFFF;
        return 0xFF;
    }
    const uint32_t data_index = index - 4;
    if (opcode_ == kPageProgram) {
        // The part latches data inside one page; past its end it wraps to the
        // page start and later bytes replace earlier ones.
        page_latch_[(address_ + data_index) % kPageSize] = mosi;
        return 0xFF;
    }
    if (opcode_ == kRead) return read_byte(address_ + data_index);
    if (opcode_ == kFastRead && data_index > 0) return read_byte(address_ + data_index - 1);
    return 0xFF;
}

uint8_t SpiFlash::read_byte(uint32_t address) {
    address &= address_mask_;
    uint8_t value = memory_[address];
    if (address < faults_.flip_begin || address >= faults_.flip_end) return value;
    if (flip_ == Flip::undecided) {
        flip_ = counters_.flipped_reads < faults_.flipped_reads ? Flip::yes : Flip::no;
        if (flip_ == Flip::yes) ++counters_.flipped_reads;
    }
    return flip_ == Flip::yes ? static_cast<uint8_t>(value ^ faults_.flip_mask) : value;
}

void SpiFlash::deselect(uint64_t now_ns) {
    if (!selected_) return;
    selected_ = false;
    if (faults_.no_chip || !connected()) return;
    if (count_ > 0 && observer_)
        observer_({opcode_, address_, counters_.usb_writes, counters_.usb_reads + 1});
    if (ignored_ || count_ == 0) return;
    const Framing* rule = std::find_if(std::begin(kFraming), std::end(kFraming),
                                       [&](const Framing& f) { return f.opcode == opcode_; });
    if (rule == std::end(kFraming)) return; // reads and unknown opcodes change nothing
    if (count_ < rule->min_bytes || count_ > rule->max_bytes) {
        ++counters_.ignored_commands;
        return;
    }
    switch (opcode_) {
    case kWriteEnable:
        status_ |= kWriteEnableLatch;
        return;
    case kWriteDisable:
        status_ &= ~kWriteEnableLatch;
        return;
    case kPowerDown:
        powered_down_ = true;
        return;
    case kReleasePowerDown:
        powered_down_ = false;
        return;
    default:
        finish_write_command(now_ns);
    }
}

// Program, erase and status write need the write-enable latch, and each of
// them clears it again whether or not protection lets it change the array.
void SpiFlash::finish_write_command(uint64_t now_ns) {
    if (!(status_ & kWriteEnableLatch)) {
        ++counters_.ignored_commands;
        return;
    }
    status_ &= ~kWriteEnableLatch;
    if (opcode_ == kWriteStatus) {
        status_ =
            static_cast<uint8_t>((status_ & ~kWritableStatus) | (status_in_[0] & kWritableStatus));
        start_busy(now_ns, part_->status_write_us);
        return;
    }
    if (opcode_ == kPageProgram) {
        const uint32_t page = address_ & address_mask_ & ~(kPageSize - 1);
        if (!write_allowed(page, page + kPageSize)) {
            ++counters_.ignored_commands;
            return;
        }
        for (uint32_t i = 0; i < kPageSize; ++i)
            memory_[page + i] &= page_latch_[i];
        ++counters_.page_programs;
        start_busy(now_ns, page_program_us());
        if (faults_.pulled_after_programs &&
            ++programs_since_connect_ >= faults_.pulled_after_programs)
            memory_ = {}; // pulled: nothing on the bus answers from here on
        return;
    }
    for (const EraseKind& kind : kErases) {
        if (kind.opcode != opcode_) continue;
        const uint32_t size = kind.size ? kind.size : part_->size_bytes;
        erase(now_ns, address_ & address_mask_ & ~(size - 1), size, part_->*kind.time_us);
        return;
    }
}

// The part's own time, or from the slow fault's page on a share of it: a
// hot part, one near its limits, or a faster one than the run learnt from.
uint64_t SpiFlash::page_program_us() const {
    const uint64_t us = part_->page_program_us;
    const bool slow = faults_.slow_from_page && counters_.page_programs >= faults_.slow_from_page;
    return slow ? us * faults_.slow_percent / 100 : us;
}

void SpiFlash::erase(uint64_t now_ns, uint32_t address, uint32_t size, uint32_t microseconds) {
    if (!write_allowed(address, address + size)) {
        ++counters_.ignored_commands;
        return;
    }
    std::fill_n(memory_.begin() + address, size, 0xFF);
    ++counters_.erases;
    start_busy(now_ns, microseconds);
}

// Block-protect level n (1..) guards the top 2^(n-1) 64 KiB blocks; a level
// that covers the part guards all of it. The write-protect fault guards all.
bool SpiFlash::write_allowed(uint32_t begin, uint32_t end) const {
    (void)begin;
    if (faults_.write_protected) return false;
    const uint32_t level = (status_ >> 2) & 0x0F;
    if (level == 0) return true;
    const uint64_t guarded = uint64_t{kProtectUnit} << (level - 1);
    if (guarded >= part_->size_bytes) return false;
    return end <= part_->size_bytes - guarded;
}

void SpiFlash::start_busy(uint64_t now_ns, uint64_t microseconds) {
    busy_until_ns_ = now_ns + microseconds * 1000;
}

} // namespace vboard
