#include "board_model.h"

#include "board_stats.h"
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

uint64_t saturating_ns(uint64_t us) {
    return us > UINT64_MAX / 1000 ? UINT64_MAX : us * 1000;
}

UsbTiming usb_timing(const Options& options) {
    return {.turnaround_ns = uint64_t{options.usb_turnaround_us} * 1000,
            .latency_ns = uint64_t{std::max<uint32_t>(options.latency_ms, 1)} * 1'000'000};
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
      link_(clock_, counters_, usb_timing(options)),
      engine_(flash_, clock_, counters_, link_, options.master_clock_60mhz),
      stats_path_(options.stats_path), latency_ms_(options.latency_ms) {}

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

uint32_t BoardModel::spi_clock_hz() const {
    std::lock_guard lock(mutex_);
    return engine_.spi_clock_hz();
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
    link_.set_latency_ms(latency_ms_);
    link_.open();
    opened_ns_ = clock_.now_ns();
    at_open_ = counters_;
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
    link_.turnaround();
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
    if (counters_.usb_reads == faults_.read_fails_on_call) {
        // The bytes of a failed transfer are lost, as on a real bus.
        link_.take(nullptr, size);
        link_.turnaround();
        ++counters_.failed_reads;
        return FT_IO_ERROR;
    }
    // With too few bytes on their way the read returns what there is, as a
    // read with a timeout does; it never waits for bytes that cannot come.
    *got = static_cast<uint32_t>(link_.take(data, size));
    link_.turnaround();
    counters_.bytes_in += *got;
    return FT_OK;
}

void BoardModel::set_latency_timer(uint32_t ms) {
    std::lock_guard lock(mutex_);
    link_.set_latency_ms(ms);
}

void BoardModel::close() {
    std::lock_guard lock(mutex_);
    if (!opened_) return;
    opened_ = false;
    engine_.set_mode(0);
    engine_.purge();
    memory_->flush();
    memory_->release();
    if (stats_path_.empty()) return;
    const BoardStats stats{
        .board_us = (clock_.now_ns() - opened_ns_) / 1000,
        .usb_transfers =
            counters_.usb_writes - at_open_.usb_writes + counters_.usb_reads - at_open_.usb_reads,
        .bytes_out = counters_.bytes_out - at_open_.bytes_out,
        .bytes_in = counters_.bytes_in - at_open_.bytes_in,
        .spi_hz = engine_.spi_clock_hz(),
        .erases = counters_.erases - at_open_.erases,
        .pages_programmed = counters_.page_programs - at_open_.page_programs,
    };
    std::string error;
    if (!write_stats(stats_path_, serial_, stats, error)) complain(error);
}

} // namespace vboard
