// An FT2232H as its USB side shows it: the FTDI vendor requests on the
// control endpoint and the bulk endpoints of interface A, in front of the
// virtual board's MPSSE engine and flash. Knows nothing of usbfs or umockdev,
// so the same device answers whatever carries its transfers.
#pragma once

#include "virtual_board.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace usbemu {

// Faults of the bus and the bridge, apart from the board's own
// (FTD2XX_VIRTUAL_FAULTS still applies to the board behind the bridge).
struct UsbFaults {
    bool no_device = false;     // nothing on the bus
    bool busy = false;          // another program holds interface A
    uint32_t bulk_fails_on = 0; // the Nth bulk OUT transfer fails on the wire
    uint32_t stall_after = 0;   // the IN transfer after the Nth bulk OUT one never answers
    uint32_t unplug_on = 0;     // the Nth bulk OUT transfer finds the bridge unplugged
};

// The grammar of EMULATED_BRIDGE_FAULTS: nodevice, busy, bulk=N, stall=N,
// unplug=N, comma-separated. False with the reason in `error`.
bool parse_usb_faults(const std::string& text, UsbFaults& faults, std::string& error);

// What a transfer came to: bytes moved, or a negative errno as usbfs puts it
// in an URB's status; kNoAnswer for an IN transfer the bridge never answers.
inline constexpr int kNoAnswer = -1000000;

class Ft2232hBridge {
  public:
    Ft2232hBridge(vboard::Board& board, const UsbFaults& faults);

    // A control transfer: the 8-byte setup packet, then `data` with room for
    // wLength bytes (filled for IN requests). Bytes moved or -errno.
    int control(const uint8_t* setup, uint8_t* data);
    // 0 or -errno; claiming interface A opens the board.
    int claim(unsigned interface);
    void release(unsigned interface);
    // kNoAnswer when the bridge's buffers are full: the transfer never ends.
    int bulk_out(uint8_t endpoint, const uint8_t* data, std::size_t size);
    // Fills whole packets, each two modem-status bytes and up to 510 data
    // bytes, into `out` (room bytes), answering when the bridge sends the
    // short packet that ends the transfer (a status-only one at the latency
    // timer's tick when nothing waits) or fills the room.
    int bulk_in(uint8_t endpoint, uint8_t* out, std::size_t room);
    bool unplugged() const { return unplugged_; }
    bool holds_interface_a() const { return claimed_a_; }
    uint8_t latency_ms() const { return latency_ms_; }

  private:
    int vendor_request(uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                       uint16_t length);
    int standard_request(uint8_t request, uint16_t value, uint8_t* data, uint16_t length);

    vboard::Board& board_;
    const UsbFaults faults_;
    uint32_t bulk_outs_ = 0;
    bool unplugged_ = false;
    bool stalled_ = false;
    bool claimed_a_ = false;
    uint8_t latency_ms_ = 16; // the chip's power-up value
    uint8_t bit_mode_ = 0;
};

} // namespace usbemu
