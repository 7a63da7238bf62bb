// The D2XX calls over the virtual boards. A handle carries the generation
// of the boards it was opened on and the board's place, so a handle that
// outlives its board (detached or replaced) fails cleanly instead of
// reaching another board.
#include "backend.h"

#include "virtual_board.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ftd2xx {
namespace {

constexpr unsigned kIndexBits = 8; // the environment attaches at most 255 boards

void* token(uint64_t generation, std::size_t index) {
    return reinterpret_cast<void*>(
        static_cast<std::uintptr_t>(generation << kIndexBits | (index + 1)));
}

// The boards a listing shows: a board with the no-device fault is not there.
std::vector<std::size_t> listed() {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < vboard::board_count(); ++i)
        if (!vboard::board(i)->faults().no_device) out.push_back(i);
    return out;
}

FT_STATUS copy_string(const std::string& text, char* out, std::size_t room) {
    if (text.size() >= room) return FT_OTHER_ERROR;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return FT_OK;
}

class VirtualBackend final : public Backend {
  public:
    FT_STATUS count(DWORD* devices) override {
        *devices = static_cast<DWORD>(listed().size());
        return FT_OK;
    }

    FT_STATUS serial(DWORD index, char* out) override {
        const auto boards = listed();
        if (index >= boards.size()) return FT_DEVICE_NOT_FOUND;
        return copy_string(vboard::board(boards[index])->serial(), out, FT_SERIAL_NUMBER_SIZE);
    }

    FT_STATUS description(DWORD index, char* out) override {
        const auto boards = listed();
        if (index >= boards.size()) return FT_DEVICE_NOT_FOUND;
        return copy_string(vboard::board(boards[index])->description(), out, FT_DESCRIPTION_SIZE);
    }

    FT_STATUS open(const char* serial, void** device) override {
        for (std::size_t i : listed()) {
            vboard::Board* board = vboard::board(i);
            if (board->serial() != serial) continue;
            FT_STATUS status = board->open();
            if (status == FT_OK) *device = token(vboard::generation(), i);
            return status;
        }
        return FT_DEVICE_NOT_FOUND;
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
        const auto value = reinterpret_cast<std::uintptr_t>(device);
        const std::size_t index = (value & ((1u << kIndexBits) - 1)) - 1;
        vboard::Board* board = vboard::board(index);
        return board && token(vboard::generation(), index) == device ? board : nullptr;
    }
};

} // namespace

Backend* virtual_backend() {
    static VirtualBackend backend;
    return vboard::board_count() ? &backend : nullptr;
}

} // namespace ftd2xx
