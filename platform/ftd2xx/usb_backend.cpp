// Real FT2232H/FT232H bridges through libftdi1, interface A in MPSSE mode.
#include "backend.h"

#include <chrono>
#include <cstring>
#include <ftdi.h>
#include <string>
#include <thread>
#include <vector>

namespace ftd2xx {
namespace {

// One bulk transfer carries up to this much each way: a burst and its
// replies then cost one transfer each, not one per 4 KiB (libftdi's
// default), and every transfer costs at least a microframe.
constexpr int kUsbChunk = 64 * 1024;

struct Device {
    ftdi_context* ctx;
};

struct Listed {
    std::string serial;
    std::string description;
};

// The bridges on the bus, in the order libftdi finds them. An empty list
// also when libusb cannot be started.
std::vector<Listed> list_bridges() {
    std::vector<Listed> bridges;
    ftdi_context* ctx = ftdi_new();
    if (!ctx) return bridges;
    ftdi_device_list* devices = nullptr;
    if (ftdi_usb_find_all(ctx, &devices, 0, 0) > 0) {
        for (ftdi_device_list* d = devices; d; d = d->next) {
            char serial[FT_SERIAL_NUMBER_SIZE] = {};
            char description[FT_DESCRIPTION_SIZE] = {};
            if (ftdi_usb_get_strings(ctx, d->dev, nullptr, 0, description, sizeof description,
                                     serial, sizeof serial) < 0)
                serial[0] = description[0] = '\0';
            bridges.push_back({serial, description});
        }
    }
    ftdi_list_free(&devices);
    ftdi_free(ctx);
    return bridges;
}

FT_STATUS copy_listed(const std::string& text, char* out, std::size_t room) {
    std::strncpy(out, text.c_str(), room - 1);
    out[room - 1] = '\0';
    return FT_OK;
}

// libftdi's open results: -3 no such device; -4 and -5 the device is there
// but cannot be opened or claimed (permission, or another program has it).
FT_STATUS open_status(int result) {
    if (result == -3) return FT_DEVICE_NOT_FOUND;
    return FT_DEVICE_NOT_OPENED;
}

class UsbBackend final : public Backend {
  public:
    FT_STATUS count(DWORD* devices) override {
        *devices = static_cast<DWORD>(list_bridges().size());
        return FT_OK;
    }

    FT_STATUS serial(DWORD index, char* out) override {
        std::vector<Listed> bridges = list_bridges();
        if (index >= bridges.size()) return FT_DEVICE_NOT_FOUND;
        return copy_listed(bridges[index].serial, out, FT_SERIAL_NUMBER_SIZE);
    }

    FT_STATUS description(DWORD index, char* out) override {
        std::vector<Listed> bridges = list_bridges();
        if (index >= bridges.size()) return FT_DEVICE_NOT_FOUND;
        return copy_listed(bridges[index].description, out, FT_DESCRIPTION_SIZE);
    }

    FT_STATUS open(const char* serial, void** device) override {
        ftdi_context* ctx = ftdi_new();
        if (!ctx) return FT_INSUFFICIENT_RESOURCES;
        if (ftdi_set_interface(ctx, INTERFACE_A) < 0) {
            ftdi_free(ctx);
            return FT_OTHER_ERROR;
        }
        int result = ftdi_usb_open_desc(ctx, 0x0403, 0x6010, nullptr, *serial ? serial : nullptr);
        if (result == -3)
            result = ftdi_usb_open_desc(ctx, 0x0403, 0x6014, nullptr, *serial ? serial : nullptr);
        if (result < 0) {
            ftdi_free(ctx);
            return open_status(result);
        }
        // The latency timer stays as the chip has it, as with the vendor's
        // driver: a host that wants short replies at once asks for them
        // with SEND_IMMEDIATE.
        // libusb's own transfer timeout (5 s in libftdi) would hold a read
        // from a bridge that stopped answering past the read deadline.
        ftdi_read_data_set_chunksize(ctx, kUsbChunk);
        ftdi_write_data_set_chunksize(ctx, kUsbChunk);
        ctx->usb_read_timeout = ctx->usb_write_timeout =
            static_cast<int>(kTransferDeadline.count());
        *device = new Device{ctx};
        return FT_OK;
    }

    FT_STATUS reset(void* device) override {
        return ftdi_usb_reset(ctx(device)) < 0 ? FT_IO_ERROR : FT_OK;
    }

    FT_STATUS set_bit_mode(void* device, UCHAR mask, UCHAR mode) override {
        return ftdi_set_bitmode(ctx(device), mask, mode) < 0 ? FT_IO_ERROR : FT_OK;
    }

    FT_STATUS write(void* device, const UCHAR* data, DWORD size, DWORD* written) override {
        while (*written < size) {
            int part = static_cast<int>(std::min<DWORD>(size - *written, kUsbChunk));
            int n = ftdi_write_data(ctx(device), data + *written, part);
            if (n < 0) return failed(device);
            *written += static_cast<DWORD>(n);
        }
        return FT_OK;
    }

    // USB delivers read data in short packets; gather them until all bytes
    // arrived, but never wait past the deadline.
    FT_STATUS read(void* device, UCHAR* data, DWORD size, DWORD* got) override {
        auto deadline = std::chrono::steady_clock::now() + kTransferDeadline;
        while (*got < size) {
            int part = static_cast<int>(std::min<DWORD>(size - *got, kUsbChunk));
            int n = ftdi_read_data(ctx(device), data + *got, part);
            if (n < 0) return failed(device);
            *got += static_cast<DWORD>(n);
            if (n == 0) {
                if (std::chrono::steady_clock::now() > deadline) return FT_IO_ERROR;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        return FT_OK;
    }

    // libftdi1 gives -1 for every failed bulk transfer: a control request
    // tells a bridge gone from the bus from a transfer that failed once.
    static FT_STATUS failed(void* device) {
        unsigned short status = 0;
        return ftdi_poll_modem_status(ctx(device), &status) < 0 ? FT_DEVICE_NOT_FOUND : FT_IO_ERROR;
    }

    FT_STATUS close(void* device) override {
        auto* d = static_cast<Device*>(device);
        ftdi_usb_close(d->ctx);
        ftdi_free(d->ctx);
        delete d;
        return FT_OK;
    }

  private:
    static ftdi_context* ctx(void* device) { return static_cast<Device*>(device)->ctx; }
};

} // namespace

Backend& usb_backend() {
    static UsbBackend backend;
    return backend;
}

} // namespace ftd2xx
