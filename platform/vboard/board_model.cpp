#include "board_model.h"

#include "backend.h"
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

// Each channel's buffers, from the vendor's data sheets: the FT2232H holds
// 4 KiB each way (DS_FT2232H, FT_000061, its list of features; flashrom's
// ft2232_spi.c packs its commands into the same 4096 bytes), the FT2232D
// 384 bytes from the host and 128 for it (DS_FT2232D, FT_000173). The first
// is a high-speed device: 512-byte packets, at most 13 in a 125 us
// microframe; the second a full-speed one: 64-byte packets, at most 19 in a
// 1 ms frame (USB 2.0, the bulk transfer limits).
constexpr BridgeShape kFt2232h{
    .commands = 4096, .replies = 4096, .packet = 512, .frame_ns = 125'000, .frame_bytes = 13 * 512};
constexpr BridgeShape kFt2232d{
    .commands = 384, .replies = 128, .packet = 64, .frame_ns = 1'000'000, .frame_bytes = 19 * 64};

// A write the bridge cannot take fails when the host's deadline runs out.
constexpr uint64_t kStallNs =
    std::chrono::duration_cast<std::chrono::nanoseconds>(ftd2xx::kTransferDeadline).count();

std::span<uint8_t> bytes_of(const std::unique_ptr<BoardMemory>& memory) {
    return memory ? memory->bytes() : std::span<uint8_t>{};
}

} // namespace

const BridgeShape& bridge_shape(const Options& options) {
    return options.master_clock_60mhz ? kFt2232h : kFt2232d;
}

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
    : serial_(options.serial), master_clock_60mhz_(options.master_clock_60mhz),
      socket_(options.socket, {options.path, options.faults, options.part}), wanted_{options.path,
                                                                                     options.faults,
                                                                                     options.part},
      on_(memory != nullptr), base_faults_(options.faults), part_(options.part),
      memory_(std::move(memory)), faults_(options.faults), clock_(clock),
      flash_(*part_, bytes_of(memory_), faults_, counters_),
      link_(usb_timing(options), bridge_shape(options)),
      engine_(flash_, counters_, link_, options.master_clock_60mhz, bridge_shape(options).commands),
      stats_path_(options.stats_path), latency_ms_(options.latency_ms) {
    flash_.on_identify([this] { return put_on(); });
    look_at_socket();
}

BoardModel::~BoardModel() {
    if (memory_) memory_->flush();
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
    if (!memory_) return {};
    std::span<const uint8_t> memory = std::as_const(*memory_).bytes();
    if (address >= memory.size()) return {};
    const std::size_t n = std::min<std::size_t>(size, memory.size() - address);
    return {memory.begin() + address, memory.begin() + address + n};
}

void BoardModel::write_raw(uint32_t address, const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    std::span<uint8_t> memory = bytes_of(memory_);
    if (address >= memory.size()) return;
    const std::size_t n = std::min(bytes.size(), memory.size() - address);
    std::copy_n(bytes.begin(), n, memory.begin() + address);
}

void BoardModel::fill(uint8_t value) {
    std::lock_guard lock(mutex_);
    std::span<uint8_t> memory = bytes_of(memory_);
    std::fill(memory.begin(), memory.end(), value);
}

bool BoardModel::save() {
    std::lock_guard lock(mutex_);
    return !memory_ || memory_->flush();
}

void BoardModel::look_at_socket() {
    std::optional<SocketBoard> seen = socket_.look();
    if (!seen) return;
    if (*seen != wanted_) {
        take_off();
        wanted_ = *seen;
    }
    if (!opened_) put_on();
}

// A board file that cannot be used leaves the bridge empty, said once; one
// another open bridge holds stays off until that bridge lets it go.
bool BoardModel::put_on() {
    if (on_ || wanted_.path.empty()) return false;
    std::string error;
    std::unique_ptr<BoardMemory> memory =
        BoardMemory::open(wanted_.path, wanted_.part->size_bytes, error);
    if (!memory) {
        complain(error + "; no board behind " + serial_);
        wanted_.path.clear();
        return false;
    }
    if (opened_ && !memory->claim()) return false;
    memory_ = std::move(memory);
    part_ = wanted_.part;
    faults_ = wanted_.faults;
    flash_.connect(*part_, memory_->bytes());
    on_ = true;
    return true;
}

void BoardModel::take_off() {
    if (!on_) return;
    memory_->flush();
    if (opened_) memory_->release();
    memory_.reset();
    flash_.disconnect();
    faults_ = base_faults_;
    on_ = false;
}

uint32_t BoardModel::open() {
    std::lock_guard lock(mutex_);
    if (faults_.no_device) return FT_DEVICE_NOT_FOUND;
    look_at_socket();
    put_on();
    // One handle at a time, as with a real bridge: a second open fails
    // until the first handle is closed.
    // The board file is the chip: another process with its bridge open
    // holds it, as another program holds a real bridge.
    if (faults_.open_fails || opened_ || (memory_ && !memory_->claim()))
        return FT_DEVICE_NOT_OPENED;
    opened_ = true;
    link_.set_latency_ms(latency_ms_);
    opened_ns_ = clock_.now_ns();
    link_.open(opened_ns_);
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
    engine_.set_mode(mode, clock_.now_ns());
    return FT_OK;
}

// The host and the engine take turns: the write returns once the engine
// has clocked what it carried, or has stopped for reply room with the rest
// in its command buffer. A write that does not fit there never completes:
// it fails at the host's deadline with what did not fit lost.
uint32_t BoardModel::usb_write(const uint8_t* data, uint32_t size) {
    uint64_t until = 0;
    uint32_t status = FT_OK;
    {
        std::lock_guard lock(mutex_);
        if (!opened_) return FT_INVALID_HANDLE;
        if (!data && size) return FT_INVALID_PARAMETER;
        ++counters_.usb_writes;
        const uint64_t at = clock_.now_ns() + link_.turnaround_ns();
        until = at;
        if (counters_.usb_writes == faults_.write_fails_on_call) {
            ++counters_.failed_writes;
            status = FT_IO_ERROR;
        } else {
            look_at_socket();
            const std::size_t taken = engine_.feed(data, size, at);
            counters_.bytes_out += taken;
            until = std::max(at, engine_.now_ns());
            if (taken < size) {
                ++counters_.stalled_writes;
                until += kStallNs;
                status = FT_IO_ERROR;
            }
        }
    }
    clock_.reach(until);
    return status;
}

void BoardModel::deliver(uint64_t from_ns, std::size_t size) {
    while (link_.arrived() < size) {
        const std::optional<UsbLink::Sent> sent = link_.send(from_ns, false);
        if (!sent) return;
        engine_.run(sent->left_ns);
    }
}

uint32_t BoardModel::usb_read(uint8_t* data, uint32_t size, uint32_t* got) {
    uint32_t ignored = 0;
    if (!got) got = &ignored;
    *got = 0;
    uint64_t until = 0;
    uint32_t status = FT_OK;
    {
        std::lock_guard lock(mutex_);
        if (!opened_) return FT_INVALID_HANDLE;
        if (!data && size) return FT_INVALID_PARAMETER;
        ++counters_.usb_reads;
        const uint64_t at = clock_.now_ns();
        uint64_t last = at;
        // With too few bytes on their way the read returns what there is, as
        // a read with a timeout does; it never waits for bytes that cannot come.
        deliver(at, size);
        if (counters_.usb_reads == faults_.read_fails_on_call) {
            // The bytes of a failed transfer are lost, as on a real bus.
            link_.take(nullptr, size, last);
            ++counters_.failed_reads;
            status = FT_IO_ERROR;
        } else {
            *got = static_cast<uint32_t>(link_.take(data, size, last));
            counters_.bytes_in += *got;
        }
        until = std::max(at, last) + link_.turnaround_ns();
    }
    clock_.reach(until);
    return status;
}

uint32_t BoardModel::usb_transfer_in(uint8_t* data, uint32_t packets, uint32_t* got) {
    *got = 0;
    uint64_t until = 0;
    uint32_t status = FT_OK;
    {
        std::lock_guard lock(mutex_);
        if (!opened_) return FT_INVALID_HANDLE;
        ++counters_.usb_reads;
        const uint64_t at = clock_.now_ns();
        uint64_t from = at, last = at;
        // Bytes an earlier read left behind come first, then packets until a
        // short one ends the transfer.
        const std::size_t room = std::size_t{packets} * link_.payload();
        for (std::size_t taken = link_.arrived(); taken + link_.payload() <= room;) {
            const UsbLink::Sent sent = *link_.send(from, true);
            last = sent.arrived_ns;
            from = sent.left_ns;
            taken += sent.payload;
            engine_.run(sent.left_ns);
            if (sent.payload < link_.payload()) break;
        }
        uint64_t arrived = at;
        if (counters_.usb_reads == faults_.read_fails_on_call) {
            link_.take(nullptr, room, arrived);
            ++counters_.failed_reads;
            status = FT_IO_ERROR;
        } else {
            *got = static_cast<uint32_t>(link_.take(data, room, arrived));
            counters_.bytes_in += *got;
        }
        until = std::max(last, arrived) + link_.turnaround_ns();
    }
    clock_.reach(until);
    return status;
}

void BoardModel::set_latency_timer(uint32_t ms) {
    std::lock_guard lock(mutex_);
    link_.set_latency_ms(ms);
}

void BoardModel::close() {
    std::lock_guard lock(mutex_);
    if (!opened_) return;
    opened_ = false;
    engine_.set_mode(0, clock_.now_ns());
    engine_.purge();
    if (memory_) {
        memory_->flush();
        memory_->release();
    }
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
