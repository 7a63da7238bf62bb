#include "flash_backup.h"

#include "flash_io.h"
#include "flash_program.h"
#include "host.h"
#include "library_state.h"
#include "texts.h"

#include "os.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>

namespace zintra::backup {
namespace {

// Everything a 3-byte SPI address can reach.
constexpr uint64_t kAddressSpace = 0x1000000;
constexpr uint32_t kPiece = 4096;

std::array<uint8_t, kPiece> from_flash;
std::array<uint8_t, kPiece> from_file;

// The file being written, beside its target so that the rename replaces
// the target in one step; removed on every way out but a rename.
class TempFile {
  public:
    explicit TempFile(const std::string& target) : name_(target + ".XXXXXX") {
        fd_ = os::create_unique_file(name_);
    }
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!renamed_) std::remove(name_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool created() const { return fd_ >= 0; }
    bool write(std::span<const uint8_t> bytes) {
        while (!bytes.empty()) {
            ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            bytes = bytes.subspan(static_cast<std::size_t>(n));
        }
        return true;
    }
    // On the disk, not in a cache a power cut would take with it.
    bool sync() { return os::flush_to_disk(fd_) && lseek(fd_, 0, SEEK_SET) == 0; }
    bool read(std::span<uint8_t> out) {
        while (!out.empty()) {
            ssize_t n = ::read(fd_, out.data(), out.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            out = out.subspan(static_cast<std::size_t>(n));
        }
        return true;
    }
    bool rename_to(const std::string& target) {
        bool ok = ::close(fd_) == 0;
        fd_ = -1;
        renamed_ = ok && os::replace_file(name_, target);
        return renamed_;
    }

  private:
    std::string name_;
    int fd_ = -1;
    bool renamed_ = false;
};

uint64_t flash_size() {
    uint64_t size = flash::chip_size();
    return size ? size : kAddressSpace;
}

// What went wrong in a pass over the range, and where.
struct Failure {
    const char* format = nullptr;
    uint32_t at = 0;
};

} // namespace

int backup_flash(const char* path, int32_t address, int32_t length) {
    const std::string target = path ? path : "";
    auto size = static_cast<unsigned long long>(flash_size());
    if (target.empty() || address < 0 || length <= 0 || length % flash::kPageSize != 0 ||
        static_cast<uint64_t>(address) + static_cast<uint64_t>(length) > flash_size()) {
        host::showf(text::kBackupRefused, target.c_str(), size);
        return 0;
    }
    if (!state().opened) {
        host::showf(text::kBackupNotOpen, target.c_str());
        return 0;
    }
    TempFile file(target);
    if (!file.created()) {
        host::showf(text::kBackupCreateFailed, target.c_str());
        return 0;
    }
    switch (flash::wait_until_ready()) {
    case flash::Ready::kReady:
        break;
    case flash::Ready::kBusy:
        host::showf(text::kBackupBusy, target.c_str());
        return 0;
    case flash::Ready::kNoAnswer:
        host::showf(text::kBackupReadFailed, static_cast<unsigned>(address), target.c_str());
        return 0;
    }

    // The first reading goes into the file, the second is compared with
    // what the file reads back: so the file holds exactly what the flash
    // read alike twice, a whole pass apart.
    const auto begin = static_cast<uint32_t>(address);
    const auto end = begin + static_cast<uint32_t>(length);
    Failure failure;
    for (uint32_t at = begin; at < end && !failure.format; at += kPiece) {
        std::span<uint8_t> piece(from_flash.data(), std::min(kPiece, end - at));
        if (!flash::read_burst(at, piece))
            failure = {text::kBackupReadFailed, at};
        else if (!file.write(piece))
            failure = {text::kBackupWriteFailed};
    }
    if (!failure.format && !file.sync()) failure = {text::kBackupWriteFailed};
    for (uint32_t at = begin; at < end && !failure.format; at += kPiece) {
        const uint32_t n = std::min(kPiece, end - at);
        std::span<uint8_t> flash_piece(from_flash.data(), n), file_piece(from_file.data(), n);
        if (!flash::read_burst(at, flash_piece)) {
            failure = {text::kBackupReadFailed, at};
        } else if (!file.read(file_piece)) {
            failure = {text::kBackupWriteFailed};
        } else {
            auto [a, b] = std::mismatch(flash_piece.begin(), flash_piece.end(), file_piece.begin());
            if (a != flash_piece.end())
                failure = {text::kBackupReadsDiffer,
                           at + static_cast<uint32_t>(a - flash_piece.begin())};
        }
    }
    if (!failure.format && !file.rename_to(target)) failure = {text::kBackupWriteFailed};
    if (!failure.format) return 1;
    if (failure.format == text::kBackupWriteFailed)
        host::showf(text::kBackupWriteFailed, target.c_str());
    else
        host::showf(failure.format, failure.at, target.c_str());
    return 0;
}

} // namespace zintra::backup
