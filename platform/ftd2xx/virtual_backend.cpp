// The D2XX calls over the virtual board. A handle carries the generation of
// the board it was opened on, so a handle that outlives its board (detached
// or replaced) fails cleanly instead of reaching the new board.
#include "backend.h"

#include "virtual_board.h"

#include <cstdint>
#include <cstring>

namespace ftd2xx {
namespace {

void* token(uint64_t generation) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(generation));
}

class VirtualBackend final : public Backend {
  public:
    FT_STATUS count(DWORD* devices) override {
        vboard::Board* board = vboard::current();
        *devices = board && !board->faults().no_device ? 1 : 0;
        return FT_OK;
    }

    FT_STATUS serial(DWORD index, char* out) override {
        vboard::Board* board = vboard::current();
        if (!board || board->faults().no_device || index != 0) return FT_DEVICE_NOT_FOUND;
        static_assert(sizeof vboard::kSerialNumber <= FT_SERIAL_NUMBER_SIZE);
        std::memcpy(out, vboard::kSerialNumber, sizeof vboard::kSerialNumber);
        return FT_OK;
    }

    FT_STATUS open(const char* serial, void** device) override {
        vboard::Board* board = vboard::current();
        if (!board || board->faults().no_device || std::strcmp(serial, vboard::kSerialNumber) != 0)
            return FT_DEVICE_NOT_FOUND;
        FT_STATUS status = board->open();
        if (status == FT_OK) *device = token(vboard::generation());
        return status;
    }

    FT_STATUS reset(void* device) override {
        vboard::Board* board = board_of(device);
        return board ? board->reset() : FT_IO_ERROR;
    }

    FT_STATUS set_bit_mode(void* device, UCHAR mask, UCHAR mode) override {
        vboard::Board* board = board_of(device);
        return board ? board->set_bit_mode(mask, mode) : FT_IO_ERROR;
    }

    FT_STATUS write(void* device, const UCHAR* data, DWORD size, DWORD* written) override {
        vboard::Board* board = board_of(device);
        if (!board) return FT_IO_ERROR;
        FT_STATUS status = board->usb_write(data, size);
        if (status == FT_OK) *written = size;
        return status;
    }

    FT_STATUS read(void* device, UCHAR* data, DWORD size, DWORD* got) override {
        vboard::Board* board = board_of(device);
        if (!board) return FT_IO_ERROR;
        uint32_t n = 0;
        FT_STATUS status = board->usb_read(data, size, &n);
        *got = n;
        return status;
    }

    FT_STATUS close(void* device) override {
        vboard::Board* board = board_of(device);
        if (board) board->close();
        return FT_OK; // closing a handle whose board is gone only forgets it
    }

  private:
    // The board the handle was opened on, or nullptr when it has gone away.
    static vboard::Board* board_of(void* device) {
        vboard::Board* board = vboard::current();
        return board && token(vboard::generation()) == device ? board : nullptr;
    }
};

} // namespace

Backend* virtual_backend() {
    static VirtualBackend backend;
    return vboard::current() ? &backend : nullptr;
}

} // namespace ftd2xx
