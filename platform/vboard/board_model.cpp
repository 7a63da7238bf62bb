#include "board_model.h"

#include "ftd2xx.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace vboard {
namespace {

// Typical datasheet times of two 16 Mbit parts, the other maker's as its
// current part gives them. Each is shorter than the fixed wait a host allows
// after the command, except that the block erases are long enough for a
// status poll to be worth doing.
constexpr FlashPart kDefaultPart{
    .jedec_id = {0xC2, 0x20, 0x15},
    .size_bytes = 2u << 20,
    .page_program_us = 1'400,
    .sector_erase_us = 60'000,
    .block32_erase_us = 400'000,
    .block64_erase_us = 700'000,
    .chip_erase_us = 14'000'000,
    .status_write_us = 10'000,
};
constexpr FlashPart kOtherPart{
    .jedec_id = {0xEF, 0x40, 0x15},
    .size_bytes = 2u << 20,
    .page_program_us = 400,
    .sector_erase_us = 45'000,
    .block32_erase_us = 120'000,
    .block64_erase_us = 150'000,
    .chip_erase_us = 5'000'000,
    .status_write_us = 10'000,
};

// The USB model: every transfer costs one high-speed bulk turnaround, about a
// microframe (125 us), and the MPSSE engine then spends the SPI clock time of
// the bytes it shifts (12 MHz or 60 MHz reference / (2 * (divisor + 1)));
// the USB payload time itself is small against both and is not counted.
constexpr uint64_t kUsbTransferNs = 125'000;

uint64_t saturating_ns(uint64_t us) {
    return us > UINT64_MAX / 1000 ? UINT64_MAX : us * 1000;
}

} // namespace

const FlashPart& default_part() {
    return kDefaultPart;
}
const FlashPart& other_part() {
    return kOtherPart;
}

void complain(const std::string& text) {
    std::fprintf(stderr, "virtual board: %s\n", text.c_str());
    std::fflush(stderr);
}

BoardModel::BoardModel(const Options& options, std::unique_ptr<BoardMemory> memory,
                       BoardClock& clock)
    : part_(*options.part), serial_(options.serial),
      master_clock_60mhz_(options.master_clock_60mhz), memory_(std::move(memory)),
      faults_(options.faults), clock_(clock),
      flash_(part_, memory_->bytes(), clock_, faults_, counters_),
      engine_(flash_, clock_, counters_, options.master_clock_60mhz) {}

BoardModel::~BoardModel() {
    memory_->flush();
}

uint64_t BoardModel::now_ns() const {
    std::lock_guard lock(mutex_);
    return clock_.now_ns();
}

void BoardModel::advance_us(uint64_t us) {
    std::lock_guard lock(mutex_);
    clock_.advance_ns(saturating_ns(us));
}

void BoardModel::note_sleep(uint32_t ms) {
    std::lock_guard lock(mutex_);
    ++counters_.sleeps;
    counters_.slept_us += uint64_t{ms} * 1000;
}

// Interface A of the chip the bridge stands for.
std::string BoardModel::description() const {
    return master_clock_60mhz_ ? "Virtual FT2232H A" : "Virtual FT2232D A";
}

void BoardModel::observe_commands(CommandObserver observer) {
    std::lock_guard lock(mutex_);
    flash_.set_observer(std::move(observer));
}

std::vector<uint8_t> BoardModel::read(uint32_t address, uint32_t size) const {
    std::lock_guard lock(mutex_);
    std::span<const uint8_t> memory = std::as_const(*memory_).bytes();
    if (address >= memory.size()) return {};
    const std::size_t n = std::min<std::size_t>(size, memory.size() - address);
    return {memory.begin() + address, memory.begin() + address + n};
}

void BoardModel::write_raw(uint32_t address, const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    std::span<uint8_t> memory = memory_->bytes();
    if (address >= memory.size()) return;
    const std::size_t n = std::min(bytes.size(), memory.size() - address);
    std::copy_n(bytes.begin(), n, memory.begin() + address);
}

void BoardModel::fill(uint8_t value) {
    std::lock_guard lock(mutex_);
    std::span<uint8_t> memory = memory_->bytes();
    std::fill(memory.begin(), memory.end(), value);
}

bool BoardModel::save() {
    std::lock_guard lock(mutex_);
    return memory_->flush();
}

uint32_t BoardModel::open() {
    std::lock_guard lock(mutex_);
    if (faults_.no_device) return FT_DEVICE_NOT_FOUND;
    // One handle at a time, as with a real bridge: a second open fails
    // until the first handle is closed.
    // The board file is the chip: another process with its bridge open
    // holds it, as another program holds a real bridge.
    if (faults_.open_fails || opened_ || !memory_->claim()) return FT_DEVICE_NOT_OPENED;
    opened_ = true;
    return FT_OK;
}

uint32_t BoardModel::reset() {
    std::lock_guard lock(mutex_);
    if (!opened_) return FT_INVALID_HANDLE;
    if (faults_.reset_fails) return FT_IO_ERROR;
    engine_.purge();
    return FT_OK;
}

uint32_t BoardModel::set_bit_mode(uint8_t, uint8_t mode) {
    std::lock_guard lock(mutex_);
    if (!opened_) return FT_INVALID_HANDLE;
    if (faults_.bitmode_fails) return FT_IO_ERROR;
    engine_.set_mode(mode);
    return FT_OK;
}

uint32_t BoardModel::usb_write(const uint8_t* data, uint32_t size) {
    std::lock_guard lock(mutex_);
    if (!opened_) return FT_INVALID_HANDLE;
    if (!data && size) return FT_INVALID_PARAMETER;
    ++counters_.usb_writes;
    clock_.advance_ns(kUsbTransferNs);
    if (counters_.usb_writes == faults_.write_fails_on_call) {
        ++counters_.failed_writes;
        return FT_IO_ERROR;
    }
    counters_.bytes_out += size;
    engine_.feed(data, size);
    return FT_OK;
}

uint32_t BoardModel::usb_read(uint8_t* data, uint32_t size, uint32_t* got) {
    std::lock_guard lock(mutex_);
    uint32_t ignored = 0;
    if (!got) got = &ignored;
    *got = 0;
    if (!opened_) return FT_INVALID_HANDLE;
    if (!data && size) return FT_INVALID_PARAMETER;
    ++counters_.usb_reads;
    clock_.advance_ns(kUsbTransferNs);
    if (counters_.usb_reads == faults_.read_fails_on_call) {
        // The bytes of a failed transfer are lost, as on a real bus.
        engine_.take(nullptr, size);
        ++counters_.failed_reads;
        return FT_IO_ERROR;
    }
    // With too few bytes queued the read returns what there is, as a
    // read with a timeout does; it never waits for bytes that cannot come.
    *got = static_cast<uint32_t>(engine_.take(data, size));
    counters_.bytes_in += *got;
    return FT_OK;
}

void BoardModel::close() {
    std::lock_guard lock(mutex_);
    if (!opened_) return;
    opened_ = false;
    engine_.set_mode(0);
    engine_.purge();
    memory_->flush();
    memory_->release();
}

} // namespace vboard
