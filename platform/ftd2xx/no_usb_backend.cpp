// Where libftdi1 is not at hand (the Windows build, whose real bridges are
// the vendor's ftd2xx.dll's business) the stand-in reaches the virtual
// board only: without one attached there is no device.
#include "backend.h"

namespace ftd2xx {
namespace {

class NoUsbBackend final : public Backend {
  public:
    FT_STATUS count(DWORD* devices) override {
        *devices = 0;
        return FT_OK;
    }
    FT_STATUS serial(DWORD, char*) override { return FT_DEVICE_NOT_FOUND; }
    FT_STATUS description(DWORD, char*) override { return FT_DEVICE_NOT_FOUND; }
    FT_STATUS open(const char*, void**) override { return FT_DEVICE_NOT_FOUND; }
    // No handle of this backend ever exists, so these are never reached.
    FT_STATUS reset(void*) override { return FT_INVALID_HANDLE; }
    FT_STATUS set_bit_mode(void*, UCHAR, UCHAR) override { return FT_INVALID_HANDLE; }
    FT_STATUS write(void*, const UCHAR*, DWORD, DWORD*) override { return FT_INVALID_HANDLE; }
    FT_STATUS read(void*, UCHAR*, DWORD, DWORD*) override { return FT_INVALID_HANDLE; }
    FT_STATUS close(void*) override { return FT_INVALID_HANDLE; }
};

} // namespace

Backend& usb_backend() {
    static NoUsbBackend backend;
    return backend;
}

} // namespace ftd2xx
