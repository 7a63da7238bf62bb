#include "board_file.h"

namespace vboard {

BoardMemory::BoardMemory(uint32_t size) : own_(size, 0xFF), bytes_(own_) {}

BoardMemory::BoardMemory(std::unique_ptr<MappedFile> file)
    : file_(std::move(file)), bytes_(file_->bytes()) {}

std::unique_ptr<BoardMemory> BoardMemory::open(const std::string& path, uint32_t size,
                                               std::string& error) {
    if (!MappedFile::create(path, size, 0xFF, error)) return nullptr;
    std::unique_ptr<MappedFile> file = MappedFile::open(path, error);
    if (!file) return nullptr;
    if (file->bytes().size() != size) {
        error = path + " holds " + std::to_string(file->bytes().size()) +
                " bytes but the flash part holds " + std::to_string(size) +
                "; refusing it rather than guessing what it contains";
        return nullptr;
    }
    return std::unique_ptr<BoardMemory>(new BoardMemory(std::move(file)));
}

} // namespace vboard
