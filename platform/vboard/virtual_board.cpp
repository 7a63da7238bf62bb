#include "virtual_board.h"

#include "board_clock.h"
#include "board_file.h"
#include "ftd2xx.h"
#include "mpsse_engine.h"
#include "spi_flash.h"
#include "wincalls.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
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

constexpr uint32_t kSmallestPart = 64u << 10;
constexpr uint32_t kLargestPart = 16u << 20; // three address bytes

void complain(const std::string& text) {
    std::fprintf(stderr, "virtual board: %s\n", text.c_str());
    std::fflush(stderr);
}

uint64_t saturating_ns(uint64_t us) {
    return us > UINT64_MAX / 1000 ? UINT64_MAX : us * 1000;
}

class BoardImpl final : public Board {
  public:
    BoardImpl(const Options& options, std::vector<uint8_t> contents, bool file_exists)
        : path_(options.path), part_(*options.part), faults_(options.faults),
          clock_(options.virtual_time),
          flash_(part_, std::move(contents), clock_, faults_, counters_),
          engine_(flash_, clock_, counters_, options.master_clock_60mhz),
          file_exists_(file_exists) {}

    ~BoardImpl() override { save_if_changed(); }

    uint64_t now_us() const override { return now_ns() / 1000; }
    uint64_t now_ns() const {
        std::lock_guard lock(mutex_);
        return clock_.now_ns();
    }
    bool virtual_time() const override { return clock_.is_virtual(); }
    void advance_us(uint64_t us) override {
        std::lock_guard lock(mutex_);
        clock_.advance_ns(saturating_ns(us));
    }

    // What Sleep does in virtual time.
    void sleep_ms(uint32_t ms) {
        std::lock_guard lock(mutex_);
        ++counters_.sleeps;
        counters_.slept_us += uint64_t{ms} * 1000;
        clock_.advance_ns(uint64_t{ms} * 1'000'000);
    }

    Faults& faults() override { return faults_; }
    const Counters& counters() const override { return counters_; }
    const FlashPart& part() const override { return part_; }
    void observe_commands(CommandObserver observer) override {
        std::lock_guard lock(mutex_);
        flash_.set_observer(std::move(observer));
    }

    std::vector<uint8_t> read(uint32_t address, uint32_t size) const override {
        std::lock_guard lock(mutex_);
        const std::vector<uint8_t>& memory = flash_.contents();
        if (address >= memory.size()) return {};
        const std::size_t n = std::min<std::size_t>(size, memory.size() - address);
        return {memory.begin() + address, memory.begin() + address + n};
    }

    void write_raw(uint32_t address, const std::vector<uint8_t>& bytes) override {
        std::lock_guard lock(mutex_);
        std::vector<uint8_t>& memory = flash_.contents_for_write();
        if (address >= memory.size()) return;
        const std::size_t n = std::min(bytes.size(), memory.size() - address);
        std::copy_n(bytes.begin(), n, memory.begin() + address);
    }

    void fill(uint8_t value) override {
        std::lock_guard lock(mutex_);
        std::vector<uint8_t>& memory = flash_.contents_for_write();
        std::fill(memory.begin(), memory.end(), value);
    }

    bool save() override {
        std::lock_guard lock(mutex_);
        return save_locked();
    }

    uint32_t open() override {
        std::lock_guard lock(mutex_);
        if (faults_.no_device) return FT_DEVICE_NOT_FOUND;
        // One handle at a time, as with a real bridge: a second open fails
        // until the first handle is closed.
        if (faults_.open_fails || opened_) return FT_DEVICE_NOT_OPENED;
        opened_ = true;
        return FT_OK;
    }

    uint32_t reset() override {
        std::lock_guard lock(mutex_);
        if (!opened_) return FT_INVALID_HANDLE;
        if (faults_.reset_fails) return FT_IO_ERROR;
        engine_.purge();
        return FT_OK;
    }

    uint32_t set_bit_mode(uint8_t, uint8_t mode) override {
        std::lock_guard lock(mutex_);
        if (!opened_) return FT_INVALID_HANDLE;
        if (faults_.bitmode_fails) return FT_IO_ERROR;
        engine_.set_mode(mode);
        return FT_OK;
    }

    uint32_t usb_write(const uint8_t* data, uint32_t size) override {
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

    uint32_t usb_read(uint8_t* data, uint32_t size, uint32_t* got) override {
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

    void close() override {
        std::lock_guard lock(mutex_);
        if (!opened_) return;
        opened_ = false;
        engine_.set_mode(0);
        engine_.purge();
        if (flash_.dirty() || !file_exists_) save_locked();
    }

    void save_if_changed() {
        std::lock_guard lock(mutex_);
        if (flash_.dirty() || !file_exists_) save_locked();
    }

  private:
    bool save_locked() {
        if (path_.empty()) return true;
        std::string error;
        if (!save_board_file(path_, flash_.contents(), error)) {
            complain(error);
            return false;
        }
        file_exists_ = true;
        flash_.mark_clean();
        return true;
    }

    mutable std::mutex mutex_;
    const std::string path_;
    const FlashPart part_;
    Faults faults_;
    Counters counters_;
    BoardClock clock_;
    SpiFlash flash_;
    MpsseEngine engine_;
    bool file_exists_;
    bool opened_ = false;
};

// The process-wide board. Never destroyed: the Windows-calls stand-in may
// still call Sleep from other exit handlers, so the board is only saved at
// exit, not torn down.
struct Registry {
    std::mutex mutex;
    std::unique_ptr<BoardImpl> board;
    uint64_t generation = 0;
    bool environment_checked = false;
};

Registry& registry() {
    static Registry* r = [] {
        auto* created = new Registry;
        std::atexit([] {
            Registry& reg = registry();
            std::lock_guard lock(reg.mutex);
            if (reg.board) reg.board->save_if_changed();
        });
        return created;
    }();
    return *r;
}

bool valid_part(const FlashPart& part) {
    const uint32_t size = part.size_bytes;
    return size >= kSmallestPart && size <= kLargestPart && (size & (size - 1)) == 0;
}

BoardImpl* attach_locked(Registry& reg, const Options& options) {
    reg.board.reset();
    ++reg.generation;
    if (!options.part || !valid_part(*options.part)) {
        complain("the flash part must be a power of two from 64 KiB to 16 MiB");
        return nullptr;
    }
    std::vector<uint8_t> contents;
    bool exists = true; // a board without a file has nothing to create
    if (!options.path.empty()) {
        std::string error;
        if (!load_board_file(options.path, options.part->size_bytes, contents, exists, error)) {
            complain(error);
            return nullptr;
        }
    }
    reg.board = std::make_unique<BoardImpl>(options, std::move(contents), exists);
    // The board tells the Windows-calls stand-in where its clock is, instead
    // of being looked up by symbol: a host that loads the library locally
    // (as Plexmoor does) keeps the board out of the global symbol scope.
    WinAttachSleep([](void*, uint32_t ms) { return vboard_virtual_sleep(ms); }, nullptr);
    WinAttachClock([](void*, uint64_t* ns) { return vboard_virtual_clock(ns); }, nullptr);
    return reg.board.get();
}

bool parse_number(const std::string& text, uint32_t& out) {
    if (text.empty()) return false;
    int base = 10;
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits = digits.substr(2);
    }
    uint64_t value = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0) return false;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (value > UINT32_MAX) return false;
    }
    out = static_cast<uint32_t>(value);
    return true;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// flip=N@BEGIN-END or flip=N@BEGIN-END/MASK
bool parse_flip(const std::string& value, Faults& faults) {
    const auto at = value.find('@');
    const auto dash = value.find('-', at == std::string::npos ? 0 : at);
    if (at == std::string::npos || dash == std::string::npos) return false;
    const auto slash = value.find('/', dash);
    uint32_t count = 0, begin = 0, end = 0, mask = faults.flip_mask;
    if (!parse_number(value.substr(0, at), count) ||
        !parse_number(value.substr(at + 1, dash - at - 1), begin) ||
        !parse_number(value.substr(dash + 1, slash == std::string::npos ? slash : slash - dash - 1),
                      end) ||
        (slash != std::string::npos && !parse_number(value.substr(slash + 1), mask)))
        return false;
    if (begin >= end || mask == 0 || mask > 0xFF) return false;
    faults.flipped_reads = count;
    faults.flip_begin = begin;
    faults.flip_end = end;
    faults.flip_mask = static_cast<uint8_t>(mask);
    return true;
}

} // namespace

const FlashPart& default_part() {
    return kDefaultPart;
}
const FlashPart& other_part() {
    return kOtherPart;
}

bool parse_faults(const std::string& text, Faults& faults, std::string& error) {
    Faults parsed;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = trim(text.substr(start, comma - start));
        start = comma + 1;
        if (item.empty()) continue;
        const auto eq = item.find('=');
        const std::string key = item.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
        bool ok = true;
        if (eq == std::string::npos) {
            if (key == "nodevice")
                parsed.no_device = true;
            else if (key == "open")
                parsed.open_fails = true;
            else if (key == "reset")
                parsed.reset_fails = true;
            else if (key == "bitmode")
                parsed.bitmode_fails = true;
            else if (key == "busy")
                parsed.busy_stuck = true;
            else if (key == "wp")
                parsed.write_protected = true;
            else if (key == "nochip")
                parsed.no_chip = true;
            else
                ok = false;
        } else if (key == "write") {
            ok = parse_number(value, parsed.write_fails_on_call) && parsed.write_fails_on_call;
        } else if (key == "read") {
            ok = parse_number(value, parsed.read_fails_on_call) && parsed.read_fails_on_call;
        } else if (key == "flip") {
            ok = parse_flip(value, parsed);
        } else {
            ok = false;
        }
        if (!ok) {
            error = "fault \"" + item + "\" not understood";
            return false;
        }
    }
    faults = parsed;
    return true;
}

bool options_from_environment(Options& options, bool& named, std::string& error) {
    const char* path = std::getenv("FTD2XX_VIRTUAL_BOARD");
    named = path && *path;
    if (!named) return true;
    options.path = path;

    const std::string time = environment("FTD2XX_VIRTUAL_TIME");
    if (time != "" && time != "0" && time != "1") {
        error = "FTD2XX_VIRTUAL_TIME must be 0 or 1, not \"" + time + "\"";
        return false;
    }
    options.virtual_time = time == "1";

    const std::string part = environment("FTD2XX_VIRTUAL_PART");
    if (part == "" || part == "default") {
        options.part = &default_part();
    } else if (part == "other") {
        options.part = &other_part();
    } else {
        error = "FTD2XX_VIRTUAL_PART must be default or other, not \"" + part + "\"";
        return false;
    }
    const std::string bridge = environment("FTD2XX_VIRTUAL_BRIDGE");
    if (bridge != "" && bridge != "60mhz" && bridge != "12mhz") {
        error = "FTD2XX_VIRTUAL_BRIDGE must be 60mhz or 12mhz, not \"" + bridge + "\"";
        return false;
    }
    options.master_clock_60mhz = bridge != "12mhz";
    const char* faults = std::getenv("FTD2XX_VIRTUAL_FAULTS");
    return !faults || parse_faults(faults, options.faults, error);
}

Board* attach(const Options& options) {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.environment_checked = true; // a board chosen by the program wins
    return attach_locked(reg, options);
}

void detach() {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.environment_checked = true;
    reg.board.reset();
}

Board* current() {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    if (!reg.environment_checked) {
        reg.environment_checked = true;
        Options options;
        bool named = false;
        std::string error;
        if (!options_from_environment(options, named, error)) {
            complain(error + "; no virtual board attached");
        } else if (named) {
            attach_locked(reg, options);
        }
    }
    return reg.board.get();
}

uint64_t generation() {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    return reg.board ? reg.generation : 0;
}

} // namespace vboard

extern "C" int vboard_virtual_sleep(uint32_t milliseconds) {
    vboard::current(); // a board named by the environment attaches on first use
    vboard::Registry& reg = vboard::registry();
    std::lock_guard lock(reg.mutex);
    if (!reg.board || !reg.board->virtual_time()) return 0;
    reg.board->sleep_ms(milliseconds);
    return 1;
}

extern "C" int vboard_virtual_clock(uint64_t* nanoseconds) {
    vboard::current();
    vboard::Registry& reg = vboard::registry();
    std::lock_guard lock(reg.mutex);
    if (!reg.board || !reg.board->virtual_time() || !nanoseconds) return 0;
    *nanoseconds = reg.board->now_ns();
    return 1;
}
