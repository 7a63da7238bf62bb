#include "mapped_file.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace vboard {
namespace {

HANDLE as_handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::string describe(const std::string& what, const std::string& path) {
    return what + " " + path + ": Windows error " + std::to_string(GetLastError());
}

// The lock covers one byte far beyond any board's end: a Windows lock keeps
// other handles from reading and writing the bytes it covers, and readers of
// the board file (a test, a second look at the flash) must not be kept out.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

OVERLAPPED lock_place() {
    OVERLAPPED place{};
    place.OffsetHigh = kLockOffsetHigh;
    return place;
}

bool write_all(HANDLE file, const std::vector<uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        if (!WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    return true;
}

} // namespace

std::unique_ptr<MappedFile> MappedFile::open(const std::string& path, std::string& error) {
    // Shared for reading, writing and deleting, as a POSIX file is: the lock,
    // not the open, keeps a second user away.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = describe("cannot open", path);
        return nullptr;
    }
    LARGE_INTEGER length{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length)) {
        error = path + " is not a regular file";
        CloseHandle(file);
        return nullptr;
    }
    const auto size = static_cast<std::size_t>(length.QuadPart);
    void* data = nullptr;
    if (size > 0) {
        // The view keeps the mapping alive; its own handle is not needed.
        HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
        if (mapping) {
            data = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, size);
            CloseHandle(mapping);
        }
        if (!data) {
            error = describe("cannot map", path);
            CloseHandle(file);
            return nullptr;
        }
    }
    return std::unique_ptr<MappedFile>(
        new MappedFile(reinterpret_cast<std::intptr_t>(file), static_cast<uint8_t*>(data), size));
}

// Written and flushed under a temporary name, then moved to its own without
// replacing: a file that appeared meanwhile stays, and nobody sees half a file.
bool MappedFile::create(const std::string& path, std::size_t size, uint8_t fill,
                        std::string& error) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const std::string temp = path + "." + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetCurrentThreadId()) + ".tmp";
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = describe("cannot create", temp);
        return false;
    }
    bool ok = write_all(file, std::vector<uint8_t>(size, fill)) && FlushFileBuffers(file);
    if (!ok) error = describe("cannot write", temp);
    CloseHandle(file);
    if (ok && !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH) &&
        GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) {
        error = describe("cannot create", path);
        ok = false;
    }
    DeleteFileA(temp.c_str());
    return ok;
}

MappedFile::~MappedFile() {
    unlock();
    if (data_) UnmapViewOfFile(data_);
    CloseHandle(as_handle(handle_));
}

bool MappedFile::flush() {
    return !data_ || (FlushViewOfFile(data_, size_) && FlushFileBuffers(as_handle(handle_)));
}

// A Windows lock belongs to its handle, so a second opening in the same
// process is refused as well as another process.
bool MappedFile::try_lock() {
    if (locked_) return true;
    OVERLAPPED place = lock_place();
    if (!LockFileEx(as_handle(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1,
                    0, &place))
        return false;
    locked_ = true;
    return true;
}

void MappedFile::unlock() {
    if (!locked_) return;
    OVERLAPPED place = lock_place();
    UnlockFileEx(as_handle(handle_), 0, 1, 0, &place);
    locked_ = false;
}

} // namespace vboard
