// The one place the board reaches the operating system's files: a file
// mapped shared into memory, so that every byte stored in it is in the file
// at once whatever becomes of the process, and an advisory lock on it.
// mapped_file_posix.cpp and mapped_file_windows.cpp implement it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vboard {

class MappedFile {
  public:
    // Maps the whole of an existing regular file for reading and writing.
    // Nullptr with the reason in `error` when it cannot; a file of size 0
    // opens with no bytes.
    static std::unique_ptr<MappedFile> open(const std::string& path, std::string& error);
    // Creates `path` holding `size` bytes of `fill`, whole or not at all:
    // nobody ever sees a shorter file. True also when it exists already.
    static bool create(const std::string& path, std::size_t size, uint8_t fill, std::string& error);

    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::span<uint8_t> bytes() { return {data_, size_}; }
    // Pushes the bytes to the disk, for a power cut rather than a crash.
    bool flush();
    // Takes the lock without waiting; false when another holder has it
    // (another process, or another opening of the file in this one).
    bool try_lock();
    void unlock();

  private:
    // handle: a file descriptor, or a Windows file HANDLE.
    MappedFile(std::intptr_t handle, uint8_t* data, std::size_t size)
        : handle_(handle), data_(data), size_(size) {}

    std::intptr_t handle_;
    uint8_t* data_;
    std::size_t size_;
    bool locked_ = false;
};

} // namespace vboard
