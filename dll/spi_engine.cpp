#include "spi_engine.h"

#include "ftd2xx.h"
#include "host.h"
#include "library_state.h"
#include "texts.h"
#include "windows_calls.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <initializer_list>

namespace zintra::spi {
namespace {

constexpr std::size_t kStreamSize = 16384;
// Room for a chunk's pages with their status reads and its verify, or for
// a whole block read at once.
constexpr std::size_t kReadSize = kMaxBurstRead;

// What follows the opcode inside one chip select, in order.
enum Phase : uint8_t {
    kNoPhase = 0,  // an unused place of a command with fewer phases
    kReadPhase,    // clock in the transaction's length
    kAddressPhase, // three address bytes, most significant first
    kWritePhase,   // clock out the transaction's length from the caller's buffer
    kDummyByte,    // one 0x00 clocked out
};

struct Command {
    uint8_t opcode;
    std::array<Phase, 3> phases{};
    // The wait after the transaction, in place of polling the status.
    uint32_t delay_ms;
};

constexpr std::array<Command, 14> kCommands = {{
    {.opcode = kWriteEnable, .delay_ms = 15},
    {.opcode = kWriteDisable, .delay_ms = 15},
    {.opcode = kReadId, .phases = {kReadPhase}, .delay_ms = 1},
    {.opcode = kReadStatus, .phases = {kReadPhase}, .delay_ms = 1},
    // The status register is read back in the same chip select.
    {.opcode = kWriteStatus, .phases = {kWritePhase, kReadPhase}, .delay_ms = 15},
    {.opcode = kRead, .phases = {kAddressPhase, kReadPhase}, .delay_ms = 1},
    {.opcode = kFastRead, .phases = {kAddressPhase, kDummyByte, kReadPhase}, .delay_ms = 1},
    {.opcode = kSectorErase, .phases = {kAddressPhase}, .delay_ms = 120},
    {.opcode = kBlockErase32, .phases = {kAddressPhase}, .delay_ms = 2000},
    {.opcode = kBlockErase64, .phases = {kAddressPhase}, .delay_ms = 3000},
    {.opcode = kChipErase, .delay_ms = 15000},
    {.opcode = kPowerDown, .delay_ms = 1},
    {.opcode = kReleasePowerDown, .phases = {kDummyByte, kDummyByte, kDummyByte}, .delay_ms = 1},
    {.opcode = kPageProgram, .phases = {kAddressPhase, kWritePhase}, .delay_ms = 10},
}};

// A command is found by its opcode; a second row with the same one would
// never be used.
constexpr bool opcodes_unique() {
    for (std::size_t i = 0; i < kCommands.size(); ++i)
        for (std::size_t j = i + 1; j < kCommands.size(); ++j)
            if (kCommands[i].opcode == kCommands[j].opcode) return false;
    return true;
}
static_assert(opcodes_unique());

// MPSSE low-byte pins: CS is bit 3 (active low), DI the only input.
constexpr uint8_t kSetLowPins = 0x80;
constexpr uint8_t kSetHighPins = 0x82;
constexpr uint8_t kSetDivisor = 0x86;
constexpr uint8_t kClockOut = 0x11;
constexpr uint8_t kClockIn = 0x24;
constexpr uint8_t kLowDirection = 0xFB;
constexpr uint8_t kSelected = 0xF6;
constexpr uint8_t kReleased = 0xFE;

constexpr uint8_t kSetupDivisor = 0x01;
constexpr uint32_t kSetupClockHz = 3'000'000;
constexpr std::array<std::array<uint8_t, 3>, 3> kSetupCommands = {{
    {kSetDivisor, kSetupDivisor, 0x00}, // 12 MHz / ((1 + 1) * 2) = 3 MHz SPI clock
    {kSetLowPins, kReleased, kLowDirection},
    {kSetHighPins, 0xFF, 0xFF},
}};

// The master clock: 0x8A switches the divide-by-5 off (60 MHz, on the
// FT2232H and FT232H only), 0x8B back on (12 MHz). The SPI clock is the
// master clock / ((divisor + 1) * 2). Both parts read at up to 33 MHz or
// more; 15 MHz leaves room for the cable to the board.
constexpr uint8_t kMasterClock60 = 0x8A;
constexpr uint8_t kMasterClock12 = 0x8B;
constexpr uint32_t kMaster60Mhz = 60;
constexpr uint32_t kMaster12Mhz = 12;
constexpr uint32_t kDefaultFastMhz = 15;
// The bridge answers an opcode it does not know with 0xFA and the opcode.
// No MPSSE knows these two, so their answer always comes and marks the end
// of the replies to what was sent before them.
constexpr uint8_t kBadCommand = 0xFA;
// SEND_IMMEDIATE: the bridge sends what it holds for the host now instead
// of when its latency timer runs out (16 ms unless a driver lowers it).
constexpr uint8_t kSendImmediate = 0x87;
// Clocks (n + 1) bytes with no data, chip select as it stands.
constexpr uint8_t kClockBytes = 0x8F;
constexpr uint8_t kMarkerA = 0xAA;
constexpr uint8_t kMarkerB = 0xAB;
constexpr int kMarkerReplies = 3;

constexpr DWORD kListBySerial = FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER;
constexpr std::size_t kSerialBufferSize = 60;
constexpr int kSettleIterations = 1000;

std::array<uint8_t, kStreamSize> stream;
std::array<uint8_t, kReadSize> read_buffer;
// What a fast run changed: the master clock, or the divisor alone.
enum class Clock { kSetup, kDivisor, kMaster60 };
Clock clock_changed = Clock::kSetup;
constexpr Bridge kBridge60MHz{.clocks_without_data = true, .reply_room = 1024};
constexpr Bridge kBridge12MHz{};
Bridge bridge_found = kBridge12MHz;

const Command* find_command(uint8_t opcode) {
    for (const Command& command : kCommands)
        if (command.opcode == opcode) return &command;
    return nullptr;
}

// A stream under construction; refuses to grow past the buffer instead of
// writing beyond it.
class Stream {
  public:
    bool put(std::initializer_list<uint8_t> bytes) { return put(bytes.begin(), bytes.size()); }
    bool put(const uint8_t* bytes, std::size_t count) {
        if (count > stream.size() - size_) return false;
        if (count) std::memcpy(stream.data() + size_, bytes, count);
        size_ += count;
        return true;
    }
    std::size_t size() const { return size_; }

  private:
    std::size_t size_ = 0;
};

// The MPSSE length field counts bytes minus one, in 16 bits.
constexpr uint32_t kMaxShift = 0x10000;
uint8_t length_low(uint32_t length) {
    return static_cast<uint8_t>((length - 1) & 0xFF);
}
uint8_t length_high(uint32_t length) {
    return static_cast<uint8_t>(((length - 1) >> 8) & 0xFF);
}

// What a stream under construction asks of the driver.
struct Plan {
    uint32_t read_bytes = 0; // replies of every read phase, in order
};

// `bytes` byte times of clock with no data, in as many 0x8F as it takes.
bool put_clocks(Stream& s, uint32_t bytes) {
    for (; bytes > 0;) {
        const uint32_t n = std::min(bytes, kMaxShift);
        if (!s.put({kClockBytes, length_low(n), length_high(n)})) return false;
        bytes -= n;
    }
    return true;
}

// The read phase: `length` readings in one shift, or one every `every`
// byte times with the clock running on between them.
bool put_readings(Stream& s, uint32_t length, uint32_t every) {
    if (every <= 1) return s.put({kClockIn, length_low(length), length_high(length)});
    for (uint32_t i = 0; i < length; ++i)
        if (!s.put({kClockIn, 0x00, 0x00}) || (i + 1 < length && !put_clocks(s, every - 1)))
            return false;
    return true;
}

// Appends one command in its chip select, refusing what does not fit so
// that nothing is sent. A zero-length read or write phase is left out: the
// MPSSE length field cannot say "no bytes".
bool append(Stream& s, Plan& plan, const Command& command, const Step& step) {
    const uint32_t length = step.length;
    const uint32_t address = step.address;
    const uint8_t* buffer = step.buffer;
    bool ok = put_clocks(s, step.gap) && s.put({kSetLowPins, kSelected, kLowDirection}) &&
              s.put({kClockOut, 0x00, 0x00, command.opcode});
    for (Phase phase : command.phases) {
        if (!ok) break;
        switch (phase) {
        case kReadPhase:
            if (length == 0) break;
            if (length > read_buffer.size() - plan.read_bytes || length > kMaxShift || !buffer)
                return false;
            ok = put_readings(s, length, step.every);
            plan.read_bytes += length;
            break;
        case kAddressPhase:
            ok = s.put({kClockOut, 0x02, 0x00, static_cast<uint8_t>(address >> 16),
                        static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)});
            break;
        case kWritePhase:
            if (length == 0) break;
            if (!buffer || length > kMaxShift) return false;
            ok = s.put({kClockOut, length_low(length), length_high(length)}) &&
                 s.put(buffer, length);
            break;
        case kDummyByte:
            ok = s.put({kClockOut, 0x00, 0x00, 0x00});
            break;
        case kNoPhase:
            break;
        }
    }
    return ok && s.put({kSetLowPins, kReleased, kLowDirection});
}

// Whether the command has a read phase the step gives bytes to.
bool reads(const Command& command, const Step& step) {
    return step.length > 0 && std::find(command.phases.begin(), command.phases.end(), kReadPhase) !=
                                  command.phases.end();
}

// Sends the stream built, then reads its replies into the read buffer.
Result send(const Stream& s, const Plan& plan) {
    LibraryState& st = state();
    // A block written page by page would otherwise tell the same lost
    // bridge once a page: thousands of boxes for one unplug.
    if (st.device_lost) return Result::kWriteFailed;
    FT_HANDLE handle = st.device;
    DWORD written = 0;
    if (const FT_STATUS status =
            FT_Write(handle, stream.data(), static_cast<DWORD>(s.size()), &written);
        status != FT_OK) {
        st.device_lost = status == FT_DEVICE_NOT_FOUND;
        host::show(text::kTransferFailed);
        return Result::kWriteFailed;
    }
    if (plan.read_bytes == 0) return Result::kDone;
    // A failed read must not hand back bytes of an earlier one.
    std::memset(read_buffer.data(), 0, plan.read_bytes);
    DWORD got = 0;
    if (const FT_STATUS status = FT_Read(handle, read_buffer.data(), plan.read_bytes, &got);
        status != FT_OK) {
        st.device_lost = status == FT_DEVICE_NOT_FOUND;
        host::show(text::kTransferFailed);
        return Result::kReadFailed;
    }
    return Result::kDone;
}

void write_bytes(std::initializer_list<uint8_t> bytes) {
    std::array<uint8_t, 8> out{};
    std::copy(bytes.begin(), bytes.end(), out.begin());
    DWORD written = 0;
    FT_Write(state().device, out.data(), static_cast<DWORD>(bytes.size()), &written);
}

// Sends `command` and a marker, then reads two-byte answers until the
// marker's arrives. True when it did, with `refused` telling whether the
// bridge answered `command` as a bad command on the way.
bool send_marked(uint8_t command, uint8_t marker, bool& refused) {
    std::array<uint8_t, 3> out = {command, marker, kSendImmediate};
    DWORD n = 0;
    if (FT_Write(state().device, out.data(), static_cast<DWORD>(out.size()), &n) != FT_OK)
        return false;
    for (int i = 0; i < kMarkerReplies; ++i) {
        std::array<uint8_t, 2> reply{};
        if (FT_Read(state().device, reply.data(), static_cast<DWORD>(reply.size()), &n) != FT_OK)
            return false;
        if (reply[0] != kBadCommand) return false;
        if (reply[1] == marker) return true;
        if (reply[1] == command) refused = true;
    }
    return false;
}

// A short settle between leaving and entering MPSSE mode, without a timed
// wait; the empty asm keeps the compiler from dropping the loop.
void settle() {
    for (int i = 0; i < kSettleIterations; ++i)
        asm volatile("");
}

void write_setup(FT_HANDLE handle) {
    for (const auto& command : kSetupCommands) {
        std::array<uint8_t, 3> bytes = command;
        DWORD written = 0;
        FT_Write(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written);
    }
}

// Gives back a handle whose set-up failed, so the bridge is not left
// claimed by a library that has forgotten it.
int fail_open(FT_HANDLE handle, const char* message) {
    FT_Close(handle);
    host::show(message);
    return 0;
}

} // namespace

int open_sequence() {
    close_device();
    std::array<char, kSerialBufferSize> serial0{};
    std::array<char, kSerialBufferSize> serial1{};
    FT_ListDevices(reinterpret_cast<PVOID>(std::uintptr_t{0}), serial0.data(), kListBySerial);
    FT_ListDevices(reinterpret_cast<PVOID>(std::uintptr_t{1}), serial1.data(), kListBySerial);
    serial0.back() = '\0';
    // The first bridge listed unless the host chose one by its serial number.
    char* serial = state().bridge[0] ? state().bridge.data() : serial0.data();

    FT_HANDLE handle = nullptr;
    if (FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle) != FT_OK) {
        host::show(text::kOpenFailed);
        return 0;
    }
    if (FT_ResetDevice(handle) != FT_OK) return fail_open(handle, text::kResetFailed);
    FT_SetBitMode(handle, 0x00, FT_BITMODE_RESET);
    settle();
    if (FT_SetBitMode(handle, 0xFF, FT_BITMODE_MPSSE) != FT_OK)
        return fail_open(handle, text::kBitModeFailed);
    write_setup(handle);
    state().device = handle;
    state().device_lost = false;
    clock_changed = Clock::kSetup;
    return 1;
}

void close_device() {
    FT_HANDLE& handle = state().device;
    if (!handle) return;
    FT_Close(handle);
    handle = nullptr;
}

Result transaction(uint8_t opcode, uint32_t address, uint32_t length, uint8_t* buffer) {
    const Command* command = find_command(opcode);
    if (!command) return Result::kRefused;
    Stream s;
    Plan plan;
    if (!append(s, plan, *command, Step{opcode, address, length, buffer})) return Result::kRefused;
    Result result = send(s, plan);
    if (result == Result::kWriteFailed) return result;
    if (plan.read_bytes) std::memcpy(buffer, read_buffer.data(), length);
    if (command->delay_ms > 0) host::sleep_ms(command->delay_ms);
    return result;
}

const Bridge& bridge() {
    return bridge_found;
}

Result burst(std::span<const Step> steps) {
    std::size_t last_read = steps.size();
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Command* command = find_command(steps[i].opcode);
        if (!command) return Result::kRefused;
        if ((steps[i].gap > 0 || steps[i].every > 1) && !bridge_found.clocks_without_data)
            return Result::kRefused;
        if (reads(*command, steps[i])) last_read = i;
    }
    Stream s;
    Plan plan;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (i == last_read && plan.read_bytes > bridge_found.reply_room) return Result::kRefused;
        if (!append(s, plan, *find_command(steps[i].opcode), steps[i]) ||
            (i == last_read && !s.put({kSendImmediate})))
            return Result::kRefused;
    }
    Result result = send(s, plan);
    if (result == Result::kWriteFailed) return result;
    std::size_t at = 0;
    for (const Step& step : steps) {
        if (!reads(*find_command(step.opcode), step)) continue;
        std::memcpy(step.buffer, read_buffer.data() + at, step.length);
        at += step.length;
    }
    return result;
}

namespace {

// The divisor that gives `mhz` from a master clock of `master` MHz, or -1.
int divisor_for(uint32_t master, uint32_t mhz) {
    if (mhz == 0 || master % (2 * mhz) != 0) return -1;
    return static_cast<int>(master / (2 * mhz)) - 1;
}

uint32_t set_divisor(int divisor, uint32_t mhz, Clock changed) {
    write_bytes({kSetDivisor, static_cast<uint8_t>(divisor), 0x00});
    clock_changed = changed;
    return mhz * 1'000'000;
}

} // namespace

uint32_t raise_clock(uint32_t mhz) {
    bool refused = false;
    bridge_found = kBridge12MHz;
    if (send_marked(kMasterClock60, kMarkerA, refused) && !refused) {
        bridge_found = kBridge60MHz;
        if (mhz == 0) mhz = kDefaultFastMhz;
        int divisor = divisor_for(kMaster60Mhz, mhz);
        if (divisor < 0) {
            write_bytes({kMasterClock12});
            return 0;
        }
        host::debugf(text::kClockRaised, mhz);
        return set_divisor(divisor, mhz, Clock::kMaster60);
    }
    if (!refused) {
        // Whether 0x8A took effect is not known: the 12 MHz reference is put
        // back, which a bridge without the 60 MHz clock refuses harmlessly.
        send_marked(kMasterClock12, kMarkerB, refused);
    }
    const uint32_t setup_mhz = kSetupClockHz / 1'000'000;
    if (mhz == 0) mhz = setup_mhz;
    int divisor = divisor_for(kMaster12Mhz, mhz);
    if (divisor < 0) return 0;
    host::debugf(mhz != setup_mhz ? text::kClockSlow
                 : refused        ? text::kClockKept
                                  : text::kClockUnknown,
                 mhz);
    if (mhz == setup_mhz) return kSetupClockHz;
    return set_divisor(divisor, mhz, Clock::kDivisor);
}

void restore_clock() {
    if (clock_changed == Clock::kMaster60)
        write_bytes({kMasterClock12, kSetDivisor, kSetupDivisor, 0x00});
    else if (clock_changed == Clock::kDivisor)
        write_bytes({kSetDivisor, kSetupDivisor, 0x00});
    clock_changed = Clock::kSetup;
}

void pump_messages() {
    const WindowsCalls& calls = windows_calls();
    MSG message{};
    while (calls.peek_message(&message, nullptr, 0, 0, PM_REMOVE)) {
        calls.dispatch_message(&message);
        calls.translate_message(&message);
    }
}

} // namespace zintra::spi
