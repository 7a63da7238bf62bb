// One way of reaching a bridge. The exported D2XX calls pick a backend when
// a device is listed or opened and route every later call on that handle to it.
#pragma once

#include "ftd2xx.h"

#include <chrono>
#include <cstddef>

namespace ftd2xx {

// The longest a transfer to a real bridge may take before it fails; the
// virtual board fails a write its bridge cannot take after the same time.
constexpr std::chrono::milliseconds kTransferDeadline{3000};

// Every method returns FT_OK on success; the other codes each method may
// return are written beside it, and a caller may rely on no other.
class Backend {
  public:
    virtual ~Backend() = default;
    // FT_OK, the number of bridges in devices (0 when none).
    virtual FT_STATUS count(DWORD* devices) = 0;
    // Writes the serial number of device `index`, terminated, into `out`
    // (room for FT_SERIAL_NUMBER_SIZE bytes; a longer serial is cut there).
    // FT_DEVICE_NOT_FOUND for an index past the last bridge.
    virtual FT_STATUS serial(DWORD index, char* out) = 0;
    // Likewise its description (room for FT_DESCRIPTION_SIZE bytes).
    virtual FT_STATUS description(DWORD index, char* out) = 0;
    // The bridge of that serial (nullptr: the first). FT_DEVICE_NOT_FOUND
    // when no bridge has it; FT_DEVICE_NOT_OPENED when it is there but
    // cannot be opened (held by another program, no permission);
    // FT_INSUFFICIENT_RESOURCES or FT_OTHER_ERROR when the USB library
    // itself could not start.
    virtual FT_STATUS open(const char* serial, void** device) = 0;
    // FT_IO_ERROR when the bridge did not take the request.
    virtual FT_STATUS reset(void* device) = 0;
    virtual FT_STATUS set_bit_mode(void* device, UCHAR mask, UCHAR mode) = 0;
    // FT_IO_ERROR when the bytes did not all go out (written says how many
    // did) or all come in within kTransferDeadline (got says how many);
    // FT_DEVICE_NOT_FOUND when the bridge is gone from the bus, after which
    // every transfer on the handle fails the same way.
    virtual FT_STATUS write(void* device, const UCHAR* data, DWORD size, DWORD* written) = 0;
    virtual FT_STATUS read(void* device, UCHAR* data, DWORD size, DWORD* got) = 0;
    // FT_OK always; the handle is gone afterwards.
    virtual FT_STATUS close(void* device) = 0;
};

// The libftdi1 backend for real FT2232H/FT232H bridges.
Backend& usb_backend();

// The virtual board, or nullptr when none is attached (by the environment
// variable FTD2XX_VIRTUAL_BOARD or by a test through the board's interface).
Backend* virtual_backend();

} // namespace ftd2xx
