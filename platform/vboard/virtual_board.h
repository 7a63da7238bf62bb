// The virtual board: an MPSSE bridge with an SPI NOR flash behind it, for
// tests and demos where no hardware is attached. A process may attach
// several, one behind each listed bridge (FTD2XX_VIRTUAL_BOARDS), and a
// bridge's socket may change its board while it runs; the D2XX stand-in
// talks to them whenever one is attached.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vboard {

// Timing and identity of one flash part, as its datasheet gives them.
struct FlashPart {
    std::array<uint8_t, 3> jedec_id;
    uint32_t size_bytes;
    uint32_t page_program_us;
    uint32_t sector_erase_us;            // 0x20, 4 KiB
    uint32_t block32_erase_us;           // 0x52, 32 KiB
    uint32_t block64_erase_us;           // 0xD8, 64 KiB
    uint32_t chip_erase_us;              // 0x60 and 0xC7
    uint32_t status_write_us;            // 0x01
    uint8_t electronic_signature = 0x14; // answered by 0xAB after three dummy bytes
};

const FlashPart& default_part(); // 2 MiB, manufacturer byte 0xC2
const FlashPart& other_part();   // 2 MiB, another maker's manufacturer byte

// Deterministic faults. Counts are 1-based call numbers; 0 means never.
struct Faults {
    bool no_device = false;
    bool open_fails = false;
    bool reset_fails = false;
    bool bitmode_fails = false;
    uint32_t write_fails_on_call = 0; // the Nth FT_Write fails
    uint32_t read_fails_on_call = 0;  // the Nth FT_Read fails
    bool busy_stuck = false;          // status bit 0 never clears
    uint32_t flipped_reads = 0;       // the first N flash reads that touch the range...
    uint32_t flip_begin = 0;          // ...[flip_begin, flip_end)...
    uint32_t flip_end = 0;
    uint8_t flip_mask = 0x01;     // ...return each byte in it XOR this mask
    bool write_protected = false; // program and erase are ignored
    bool no_chip = false;         // nothing behind the bridge: every byte clocked in reads 0xFF
    uint32_t slow_from_page = 0;  // from the Nth page program on, each takes...
    uint32_t slow_percent = 250;  // ...this share of the part's time
    // The board is pulled off the bridge right after this many page programs
    // from the moment it was put on: a technician's hand mid-run.
    uint32_t pulled_after_programs = 0;
    bool operator==(const Faults&) const = default;
};

// What happened on the wire and in the chip since the board was attached.
struct Counters {
    uint64_t usb_writes = 0; // FT_Write calls, failed ones included
    uint64_t usb_reads = 0;  // FT_Read calls, failed ones included
    uint64_t bytes_out = 0;  // bytes written to the bridge
    uint64_t bytes_in = 0;   // bytes read from the bridge
    uint64_t page_programs = 0;
    uint64_t erases = 0;
    uint64_t status_reads = 0;
    uint64_t sleeps = 0;
    uint64_t slept_us = 0;         // virtual time spent in Sleep
    uint64_t flipped_reads = 0;    // flash reads the flip fault has corrupted
    uint64_t failed_writes = 0;    // FT_Write calls failed by a fault
    uint64_t failed_reads = 0;     // FT_Read calls failed by a fault
    uint64_t bad_commands = 0;     // MPSSE opcodes answered with 0xFA
    uint64_t stalled_writes = 0;   // FT_Write calls the bridge could not take: both buffers full
    uint64_t ignored_commands = 0; // rejected: busy, powered down, framing, latch, protection
};

// One command as the flash saw it when chip select rose: which FT_Write
// carried it and which FT_Read will carry its reply, if it has one. A test
// that wants a fault at a chosen command of a run finds these numbers in a
// run without faults and injects write=N or read=N in the next.
struct SeenCommand {
    uint8_t opcode = 0;
    uint32_t address = 0; // the address bytes clocked; 0 for commands without
    uint64_t usb_write = 0;
    uint64_t usb_read = 0;
};
using CommandObserver = std::function<void(const SeenCommand&)>;

// The serial number of the one virtual bridge FTD2XX_VIRTUAL_BOARD names;
// the bridges of FTD2XX_VIRTUAL_BOARDS are VB0001, VB0002, ...
inline constexpr char kSerialNumber[] = "VB000001";

class Board {
  public:
    virtual ~Board() = default;

    // Board time in microseconds: virtual when the board runs in virtual
    // time, otherwise real time since the board was attached.
    virtual uint64_t now_us() const = 0;
    virtual bool virtual_time() const = 0;
    // Advances virtual time (what Sleep does in virtual time).
    virtual void advance_us(uint64_t us) = 0;

    virtual Faults& faults() = 0;
    virtual const Counters& counters() const = 0;
    // As FT_ListDevices lists the bridge.
    virtual const std::string& serial() const = 0;
    virtual std::string description() const = 0;
    virtual const FlashPart& part() const = 0;
    // The SPI clock the bridge's master clock and divisor give now.
    virtual uint32_t spi_clock_hz() const = 0;
    // Told of every command, ignored ones included, while the board is
    // locked: it may change faults() but must not call the board otherwise.
    // An empty observer stops it.
    virtual void observe_commands(CommandObserver observer) = 0;

    // Direct access to the flash contents, for tests and for seeding a board.
    virtual std::vector<uint8_t> read(uint32_t address, uint32_t size) const = 0;
    virtual void write_raw(uint32_t address, const std::vector<uint8_t>& bytes) = 0;
    virtual void fill(uint8_t value) = 0;
    // Every change is in the board file as it happens; this pushes the file
    // to the disk (also done when the bridge closes and on detach).
    virtual bool save() = 0;

    // The bridge side, used by the D2XX stand-in.
    virtual uint32_t open() = 0;  // D2XX status
    virtual uint32_t reset() = 0; // D2XX status
    virtual uint32_t set_bit_mode(uint8_t mask, uint8_t mode) = 0;
    virtual uint32_t usb_write(const uint8_t* data, uint32_t size) = 0;
    virtual uint32_t usb_read(uint8_t* data, uint32_t size, uint32_t* got) = 0;
    // One bulk IN transfer with room for `packets` packets, as the emulated
    // bridge's URB asks for it: it ends at the first short packet (at the
    // latest the latency timer's next tick) or when the room is full. The
    // payload goes to `data`, `got` its length.
    virtual uint32_t usb_transfer_in(uint8_t* data, uint32_t packets, uint32_t* got) = 0;
    // The bridge's latency timer, as a host's driver may set it (the chip
    // starts with Options::latency_ms at every open).
    virtual void set_latency_timer(uint32_t ms) = 0;
    // Writes the figures of the open to Options::stats_path, if one is set.
    virtual void close() = 0;
};

struct Options {
    std::string path; // the board file
    const FlashPart* part = &default_part();
    bool virtual_time = true;
    // A bridge with the 60 MHz master clock (FT2232H, FT232H). Without it
    // (an FT2232D) the commands only those chips have, 0x8A to 0x8D and
    // 0x96/0x97, are answered as bad commands and the clock stays 12 MHz.
    bool master_clock_60mhz = true;
    Faults faults;
    std::string serial = kSerialNumber;
    // The USB model: what one transfer costs, and the bridge's latency
    // timer, which sends back data waiting in the bridge when it runs out
    // (16 ms: the chip's value after power-up, which the vendor's driver
    // keeps on open).
    uint32_t usb_turnaround_us = 125;
    uint32_t latency_ms = 16;
    // Where the board writes its figures, one JSON object, when its bridge
    // closes; empty: nowhere. "%s" in it becomes the bridge's serial number.
    std::string stats_path;
    // The socket a board is put on and taken off by: a file naming the
    // board file now behind the bridge (and that board's faults and part);
    // empty or missing: see the README. Empty: the board at `path` stays.
    std::string socket;
};

// Attaches the process-wide board, replacing (and flushing) any earlier ones.
// Returns nullptr and writes why to standard error when the board file
// cannot be used (for example a file of the wrong size).
Board* attach(const Options& options);
// Attaches one bridge per entry, in that order, on one clock (the first
// entry's kind of time); none when any of them cannot be attached.
bool attach_all(const std::vector<Options>& boards);
// Flushes and removes the boards; the D2XX stand-in goes back to real bridges.
void detach();
// The attached boards. On first use attaches the boards the environment
// names (FTD2XX_VIRTUAL_BOARD or FTD2XX_VIRTUAL_BOARDS, with the other
// FTD2XX_VIRTUAL_* variables; see the README).
std::size_t board_count();
Board* board(std::size_t index); // nullptr past the last
Board* current();                // the first board, or nullptr
// Counts attaches; identifies the boards attached now, so a handle opened on
// an earlier board can be told apart from one on a board attached since.
uint64_t generation();

// The boards' options from the environment variables named above: none
// when neither board variable is set. False with a reason in `error` when a
// variable holds something unusable.
bool boards_from_environment(std::vector<Options>& boards, std::string& error);
// The grammar of FTD2XX_VIRTUAL_FAULTS (see the README); false with a reason
// in `error` on the first item it does not understand.
// Items add to `base` (a board's own faults on top of its bridge's).
bool parse_faults(const std::string& text, Faults& faults, std::string& error,
                  const Faults& base = {});

} // namespace vboard

extern "C" {
// The Sleep of boards in virtual time: advances their clock and returns 1;
// returns 0 when no board in virtual time is attached, so the caller sleeps
// for real. Registered with the Windows-calls stand-in when a board attaches.
int vboard_virtual_sleep(uint32_t milliseconds);
// The clock of a board in virtual time, in nanoseconds, and 1; 0 when no
// board in virtual time is attached. Registered with the Windows-calls
// stand-in beside the Sleep.
int vboard_virtual_clock(uint64_t* nanoseconds);
}
