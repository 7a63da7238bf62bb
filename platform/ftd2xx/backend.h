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

class Backend {
  public:
    virtual ~Backend() = default;
    virtual FT_STATUS count(DWORD* devices) = 0;
    // Writes the serial number of device `index`, terminated, into `out`
    // (room for FT_SERIAL_NUMBER_SIZE bytes).
    virtual FT_STATUS serial(DWORD index, char* out) = 0;
    // Likewise its description (room for FT_DESCRIPTION_SIZE bytes).
    virtual FT_STATUS description(DWORD index, char* out) = 0;
    virtual FT_STATUS open(const char* serial, void** device) = 0;
    virtual FT_STATUS reset(void* device) = 0;
    virtual FT_STATUS set_bit_mode(void* device, UCHAR mask, UCHAR mode) = 0;
    virtual FT_STATUS write(void* device, const UCHAR* data, DWORD size, DWORD* written) = 0;
    virtual FT_STATUS read(void* device, UCHAR* data, DWORD size, DWORD* got) = 0;
    virtual FT_STATUS close(void* device) = 0;
};

// The libftdi1 backend for real FT2232H/FT232H bridges.
Backend& usb_backend();

// The virtual board, or nullptr when none is attached (by the environment
// variable FTD2XX_VIRTUAL_BOARD or by a test through the board's interface).
Backend* virtual_backend();

} // namespace ftd2xx
