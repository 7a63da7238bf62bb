// The memory of the board's flash: the board file itself, mapped, so that a
// program or erase is in the file the moment the part carries it out; or,
// for a board without a file, memory of its own.
#pragma once

#include "mapped_file.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vboard {

class BoardMemory {
  public:
    // An erased part with no file behind it.
    explicit BoardMemory(uint32_t size);
    // The board file at `path`, created erased (0xFF) when missing. A file
    // of any other size, or one that cannot be mapped, is refused with the
    // reason in `error`.
    static std::unique_ptr<BoardMemory> open(const std::string& path, uint32_t size,
                                             std::string& error);

    std::span<uint8_t> bytes() { return bytes_; }
    std::span<const uint8_t> bytes() const { return bytes_; }
    bool flush() { return !file_ || file_->flush(); }
    // The board file stays this process's while its bridge is open.
    bool claim() { return !file_ || file_->try_lock(); }
    void release() {
        if (file_) file_->unlock();
    }

  private:
    explicit BoardMemory(std::unique_ptr<MappedFile> file);

    std::vector<uint8_t> own_;
    std::unique_ptr<MappedFile> file_;
    std::span<uint8_t> bytes_;
};

} // namespace vboard
