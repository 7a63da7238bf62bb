#include "spi_engine.h"

#include "ftd2xx.h"
#include "host.h"
#include "library_state.h"
#include "texts.h"
#include "wincalls.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <optional>

namespace zintra::spi {
namespace {

constexpr std::size_t kBufferSize = 8192;

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

constexpr std::array<std::array<uint8_t, 3>, 3> kSetupCommands = {{
    {kSetDivisor, 0x01, 0x00}, // 12 MHz / ((1 + 1) * 2) = 3 MHz SPI clock
    {kSetLowPins, kReleased, kLowDirection},
    {kSetHighPins, 0xFF, 0xFF},
}};

constexpr DWORD kListBySerial = FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER;
constexpr std::size_t kSerialBufferSize = 60;
constexpr int kSettleIterations = 1000;

std::array<uint8_t, kBufferSize> stream;
std::array<uint8_t, kBufferSize> read_buffer;

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

// The MPSSE length field counts bytes minus one.
uint8_t length_low(uint32_t length) {
    return static_cast<uint8_t>((length - 1) & 0xFF);
}
uint8_t length_high(uint32_t length) {
    return static_cast<uint8_t>(((length - 1) >> 8) & 0xFF);
}

struct Plan {
    std::size_t size = 0;
    bool reads = false;
    uint32_t delay_ms = 0;
};

// Builds the whole stream before anything is sent, so a request that does
// not fit is refused with nothing on the wire. A zero-length read or write
// phase is left out: the MPSSE length field cannot say "no bytes".
std::optional<Plan> build(const Command& command, uint32_t address, uint32_t length,
                          const uint8_t* buffer) {
    Stream s;
    Plan plan{.delay_ms = command.delay_ms};
    bool ok = s.put({kSetLowPins, kSelected, kLowDirection}) &&
              s.put({kClockOut, 0x00, 0x00, command.opcode});
    for (Phase phase : command.phases) {
        if (!ok) break;
        switch (phase) {
        case kReadPhase:
            if (length == 0) break;
            if (length > read_buffer.size() || !buffer) return std::nullopt;
            ok = s.put({kClockIn, length_low(length), length_high(length)});
            plan.reads = true;
            break;
        case kAddressPhase:
            ok = s.put({kClockOut, 0x02, 0x00, static_cast<uint8_t>(address >> 16),
                        static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)});
            break;
        case kWritePhase:
            if (length == 0) break;
            if (!buffer) return std::nullopt;
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
    if (!ok || !s.put({kSetLowPins, kReleased, kLowDirection})) return std::nullopt;
    plan.size = s.size();
    return plan;
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

    FT_HANDLE handle = nullptr;
    if (FT_OpenEx(serial0.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle) != FT_OK) {
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
    std::optional<Plan> plan = build(*command, address, length, buffer);
    if (!plan) return Result::kRefused;

    FT_HANDLE handle = state().device;
    DWORD written = 0;
    if (FT_Write(handle, stream.data(), static_cast<DWORD>(plan->size), &written) != FT_OK) {
        host::show(text::kTransferFailed);
        return Result::kWriteFailed;
    }
    Result result = Result::kDone;
    if (plan->reads) {
        // A failed read must not hand back bytes of an earlier one.
        std::memset(read_buffer.data(), 0, length);
        DWORD got = 0;
        if (FT_Read(handle, read_buffer.data(), length, &got) != FT_OK) {
            host::show(text::kTransferFailed);
            result = Result::kReadFailed;
        }
        std::memcpy(buffer, read_buffer.data(), length);
    }
    if (plan->delay_ms > 0) host::sleep_ms(plan->delay_ms);
    return result;
}

void pump_messages() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
        TranslateMessage(&message);
    }
}

} // namespace zintra::spi
