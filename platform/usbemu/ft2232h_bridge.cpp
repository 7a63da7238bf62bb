// The FTDI protocol of an FT2232H's interface A over the virtual board.
#include "ft2232h_bridge.h"

#include "fault_grammar.h"
#include "ft2232h_descriptors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace usbemu {
namespace {

// FTDI vendor requests (bRequest of a 0x40 or 0xC0 setup packet).
enum VendorRequest : uint8_t {
    kReset = 0x00, // wValue 0 resets, 1 purges RX, 2 purges TX
    kModemControl = 0x01,
    kSetFlowControl = 0x02,
    kSetBaudRate = 0x03,
    kSetData = 0x04,
    kPollModemStatus = 0x05,
    kSetEventChar = 0x06,
    kSetErrorChar = 0x07,
    kSetLatencyTimer = 0x09,
    kGetLatencyTimer = 0x0A,
    kSetBitMode = 0x0B,
    kReadPins = 0x0C,
    kReadEeprom = 0x90,
};

// Standard requests the host sends on the control endpoint itself.
enum StandardRequest : uint8_t {
    kGetStatus = 0x00,
    kGetDescriptor = 0x06,
    kGetConfiguration = 0x08,
};

constexpr uint8_t kDirectionIn = 0x80;
constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kTypeStandard = 0x00;
constexpr uint8_t kTypeVendor = 0x40;
constexpr uint16_t kLanguageEnglishUs = 0x0409;

int copy_out(const uint8_t* from, std::size_t size, uint8_t* data, uint16_t length) {
    const std::size_t n = std::min<std::size_t>(size, length);
    std::memcpy(data, from, n);
    return static_cast<int>(n);
}

// A string descriptor: UTF-16LE of an ASCII text.
int string_descriptor(std::string_view text, uint8_t* data, uint16_t length) {
    uint8_t descriptor[2 + 2 * 32] = {};
    const std::size_t chars = std::min<std::size_t>(text.size(), 32);
    descriptor[0] = static_cast<uint8_t>(2 + 2 * chars);
    descriptor[1] = 0x03;
    for (std::size_t i = 0; i < chars; ++i)
        descriptor[2 + 2 * i] = uint8_t(text[i]);
    return copy_out(descriptor, descriptor[0], data, length);
}

} // namespace

bool parse_usb_faults(const std::string& text, UsbFaults& faults, std::string& error) {
    UsbFaults parsed;
    for (const std::string& item : vboard::list_items(text)) {
        const std::size_t eq = item.find('=');
        const std::string key = item.substr(0, eq);
        uint32_t n = 0;
        const bool counted =
            eq != std::string::npos && vboard::parse_number(item.substr(eq + 1), n) && n > 0;
        if (item == "nodevice")
            parsed.no_device = true;
        else if (item == "busy")
            parsed.busy = true;
        else if (key == "bulk" && counted)
            parsed.bulk_fails_on = n;
        else if (key == "stall" && counted)
            parsed.stall_after = n;
        else if (key == "unplug" && counted)
            parsed.unplug_on = n;
        else {
            error = "EMULATED_BRIDGE_FAULTS: \"" + item + "\" is not a fault";
            return false;
        }
    }
    faults = parsed;
    return true;
}

Ft2232hBridge::Ft2232hBridge(vboard::Board& board, const UsbFaults& faults)
    : board_(board), faults_(faults) {}

int Ft2232hBridge::control(const uint8_t* setup, uint8_t* data) {
    if (unplugged_) return -ENODEV;
    const uint8_t type = setup[0];
    const uint16_t value = uint16_t(setup[2] | setup[3] << 8);
    const uint16_t index = uint16_t(setup[4] | setup[5] << 8);
    const uint16_t length = uint16_t(setup[6] | setup[7] << 8);
    if ((type & kTypeMask) == kTypeVendor)
        return vendor_request(setup[1], value, index, data, length);
    if ((type & kTypeMask) == kTypeStandard && (type & kDirectionIn))
        return standard_request(setup[1], value, data, length);
    return -EPIPE;
}

int Ft2232hBridge::standard_request(uint8_t request, uint16_t value, uint8_t* data,
                                    uint16_t length) {
    static constexpr uint8_t kSelfPowered[2] = {0, 0};
    static constexpr uint8_t kLanguages[4] = {4, 0x03, kLanguageEnglishUs & 0xFF,
                                              kLanguageEnglishUs >> 8};
    static constexpr uint8_t kConfigured[1] = {1};
    if (request == kGetStatus) return copy_out(kSelfPowered, 2, data, length);
    if (request == kGetConfiguration) return copy_out(kConfigured, 1, data, length);
    if (request != kGetDescriptor) return -EPIPE;
    switch (value >> 8) {
    case 0x01:
        return copy_out(kDeviceDescriptor.data(), kDeviceDescriptor.size(), data, length);
    case 0x02:
        return copy_out(kConfigDescriptor.data(), kConfigDescriptor.size(), data, length);
    case 0x03:
        switch (value & 0xFF) {
        case 0:
            return copy_out(kLanguages, sizeof kLanguages, data, length);
        case 1:
            return string_descriptor(kManufacturer, data, length);
        case 2:
            return string_descriptor(kProduct, data, length);
        case 3:
            return string_descriptor(kSerialNumber, data, length);
        }
    }
    return -EPIPE;
}

int Ft2232hBridge::vendor_request(uint8_t request, uint16_t value, uint16_t, uint8_t* data,
                                  uint16_t length) {
    // Interface B has nothing behind it; its requests are taken and forgotten.
    switch (request) {
    case kReset:
        // A reset or a purge of what the bridge holds for the host; the
        // board's reset drops both directions, as the chip's reset does.
        if (value == 2) return 0;
        return board_.reset() == 0 ? 0 : -EPIPE;
    case kSetBitMode:
        bit_mode_ = uint8_t(value >> 8);
        return board_.set_bit_mode(uint8_t(value & 0xFF), bit_mode_) == 0 ? 0 : -EPIPE;
    case kSetLatencyTimer:
        if ((value & 0xFF) == 0) return -EPIPE; // the chip refuses 0 ms
        latency_ms_ = uint8_t(value & 0xFF);
        board_.set_latency_timer(latency_ms_);
        return 0;
    case kGetLatencyTimer:
        return copy_out(&latency_ms_, 1, data, length);
    case kPollModemStatus:
        return copy_out(kModemStatus.data(), kStatusBytes, data, length);
    case kReadPins: {
        const uint8_t pins = 0xFF;
        return copy_out(&pins, 1, data, length);
    }
    case kReadEeprom: {
        // A bridge module without a configured EEPROM reads blank.
        const uint8_t blank[2] = {0xFF, 0xFF};
        return copy_out(blank, 2, data, length);
    }
    case kModemControl:
    case kSetFlowControl:
    case kSetBaudRate:
    case kSetData:
    case kSetEventChar:
    case kSetErrorChar:
        return 0;
    }
    return -EPIPE;
}

int Ft2232hBridge::claim(unsigned interface) {
    if (unplugged_) return -ENODEV;
    if (interface != 0) return 0;
    if (faults_.busy || claimed_a_) return -EBUSY;
    if (board_.open() != 0) return -EBUSY;
    claimed_a_ = true;
    return 0;
}

void Ft2232hBridge::release(unsigned interface) {
    if (interface != 0 || !claimed_a_) return;
    claimed_a_ = false;
    board_.close();
}

int Ft2232hBridge::bulk_out(uint8_t endpoint, const uint8_t* data, std::size_t size) {
    if (unplugged_) return -ENODEV;
    if (endpoint != kEndpointOutA) return static_cast<int>(size); // interface B: no one listens
    if (!claimed_a_) return -ENOENT;
    ++bulk_outs_;
    if (bulk_outs_ == faults_.unplug_on) {
        unplugged_ = true;
        return -ENODEV;
    }
    if (bulk_outs_ == faults_.bulk_fails_on) return -EPROTO;
    if (bulk_outs_ == faults_.stall_after) stalled_ = true;
    const uint64_t stalls = board_.counters().stalled_writes;
    if (board_.usb_write(data, static_cast<uint32_t>(size)) != 0)
        // A bridge whose buffers are full takes no more: the transfer
        // never ends, and the host gives up on it at its own deadline.
        return board_.counters().stalled_writes != stalls ? kNoAnswer : -EPROTO;
    return static_cast<int>(size);
}

int Ft2232hBridge::bulk_in(uint8_t endpoint, uint8_t* out, std::size_t room) {
    if (unplugged_) return -ENODEV;
    if (room < kStatusBytes) return -EOVERFLOW;
    if (endpoint != kEndpointInA) {
        std::memcpy(out, kModemStatus.data(), kStatusBytes);
        return kStatusBytes;
    }
    if (!claimed_a_) return -ENOENT;
    if (stalled_) {
        // The transfer that never comes back takes its bytes with it.
        stalled_ = false;
        uint8_t lost[4096];
        uint32_t n = 0;
        while (board_.usb_read(lost, sizeof lost, &n) == 0 && n > 0) {
        }
        return kNoAnswer;
    }
    // Whole packets while the room lasts; a short one ends the transfer, and
    // it comes back at the moment the bridge sends that packet.
    constexpr std::size_t kPayload = kMaxPacket - kStatusBytes;
    uint8_t bytes[128 * kPayload];
    if (room < kMaxPacket) return -EOVERFLOW;
    const std::size_t packets = std::min(room / kMaxPacket, sizeof bytes / kPayload);
    uint32_t got = 0;
    if (board_.usb_transfer_in(bytes, static_cast<uint32_t>(packets), &got) != 0) return -EPROTO;
    std::size_t filled = 0;
    std::size_t taken = 0;
    do {
        std::memcpy(out + filled, kModemStatus.data(), kStatusBytes);
        filled += kStatusBytes;
        const std::size_t chunk = std::min<std::size_t>(got - taken, kMaxPacket - kStatusBytes);
        std::memcpy(out + filled, bytes + taken, chunk);
        filled += chunk;
        taken += chunk;
    } while (taken < got);
    return static_cast<int>(filled);
}

} // namespace usbemu
