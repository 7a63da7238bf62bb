// The exported D2XX calls. A handle is only ever dereferenced after it has
// been found among the handles this library gave out, so a stale or forged
// handle gets FT_INVALID_HANDLE instead of a crash.
#include "backend.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <set>

namespace {

struct Handle {
    ftd2xx::Backend* backend;
    void* device;
};

std::mutex handles_mutex;
std::set<Handle*>& handles() {
    static std::set<Handle*> live;
    return live;
}

ftd2xx::Backend& current_backend() {
    if (ftd2xx::Backend* board = ftd2xx::virtual_backend()) return *board;
    return ftd2xx::usb_backend();
}

Handle* find(FT_HANDLE h) {
    std::lock_guard lock(handles_mutex);
    auto it = handles().find(static_cast<Handle*>(h));
    return it == handles().end() ? nullptr : *it;
}

} // namespace

extern "C" {

FT_STATUS FT_API FT_ListDevices(PVOID pArg1, PVOID pArg2, DWORD Flags) {
    ftd2xx::Backend& backend = current_backend();
    if (Flags & FT_LIST_NUMBER_ONLY) {
        if (!pArg1) return FT_INVALID_PARAMETER;
        return backend.count(static_cast<DWORD*>(pArg1));
    }
    if (Flags & FT_LIST_BY_INDEX) {
        if (!pArg2) return FT_INVALID_PARAMETER;
        auto index = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(pArg1));
        char text[FT_DESCRIPTION_SIZE] = {};
        FT_STATUS status = FT_NOT_SUPPORTED;
        if (Flags & FT_OPEN_BY_SERIAL_NUMBER)
            status = backend.serial(index, text);
        else if (Flags & FT_OPEN_BY_DESCRIPTION)
            status = backend.description(index, text);
        if (status == FT_OK) std::memcpy(pArg2, text, std::strlen(text) + 1);
        return status;
    }
    return FT_NOT_SUPPORTED;
}

FT_STATUS FT_API FT_OpenEx(PVOID pArg1, DWORD Flags, FT_HANDLE* pHandle) {
    if (!pHandle) return FT_INVALID_PARAMETER;
    *pHandle = nullptr;
    if (Flags != FT_OPEN_BY_SERIAL_NUMBER) return FT_NOT_SUPPORTED;
    if (!pArg1) return FT_INVALID_PARAMETER;
    char serial[FT_SERIAL_NUMBER_SIZE] = {};
    std::strncpy(serial, static_cast<const char*>(pArg1), sizeof serial - 1);
    ftd2xx::Backend& backend = current_backend();
    void* device = nullptr;
    FT_STATUS status = backend.open(serial, &device);
    if (status != FT_OK) return status;
    auto* handle = new Handle{&backend, device};
    std::lock_guard lock(handles_mutex);
    handles().insert(handle);
    *pHandle = handle;
    return FT_OK;
}

FT_STATUS FT_API FT_ResetDevice(FT_HANDLE ftHandle) {
    Handle* h = find(ftHandle);
    return h ? h->backend->reset(h->device) : FT_INVALID_HANDLE;
}

FT_STATUS FT_API FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable) {
    Handle* h = find(ftHandle);
    return h ? h->backend->set_bit_mode(h->device, ucMask, ucEnable) : FT_INVALID_HANDLE;
}

FT_STATUS FT_API FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                          LPDWORD lpBytesWritten) {
    DWORD ignored = 0;
    DWORD* written = lpBytesWritten ? lpBytesWritten : &ignored;
    *written = 0;
    Handle* h = find(ftHandle);
    if (!h) return FT_INVALID_HANDLE;
    if (!lpBuffer && dwBytesToWrite) return FT_INVALID_PARAMETER;
    return h->backend->write(h->device, static_cast<const UCHAR*>(lpBuffer), dwBytesToWrite,
                             written);
}

FT_STATUS FT_API FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                         LPDWORD lpBytesReturned) {
    DWORD ignored = 0;
    DWORD* got = lpBytesReturned ? lpBytesReturned : &ignored;
    *got = 0;
    Handle* h = find(ftHandle);
    if (!h) return FT_INVALID_HANDLE;
    if (!lpBuffer && dwBytesToRead) return FT_INVALID_PARAMETER;
    return h->backend->read(h->device, static_cast<UCHAR*>(lpBuffer), dwBytesToRead, got);
}

FT_STATUS FT_API FT_Close(FT_HANDLE ftHandle) {
    Handle* h = nullptr;
    {
        std::lock_guard lock(handles_mutex);
        auto it = handles().find(static_cast<Handle*>(ftHandle));
        if (it == handles().end()) return FT_INVALID_HANDLE;
        h = *it;
        handles().erase(it);
    }
    FT_STATUS status = h->backend->close(h->device);
    delete h;
    return status;
}

} // extern "C"
