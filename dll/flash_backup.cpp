#include "flash_backup.h"

#include "atomic_file.h"
#include "flash_chip.h"
#include "flash_io.h"
#include "flash_parts.h"
#include "host.h"
#include "library_state.h"
#include "spi_engine.h"
#include "texts.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <span>
#include <string>

namespace zintra::backup {
namespace {

constexpr uint32_t kPiece = 4096;

std::array<uint8_t, kPiece> from_flash;
std::array<uint8_t, kPiece> from_file;

uint64_t flash_size() {
    uint64_t size = flash::chip_size();
    return size ? size : parts::kAddressSpace;
}

// What went wrong in a pass over the range, and where.
struct Failure {
    const char* format = nullptr;
    uint32_t at = 0;
};

// Before each piece read: the host's messages (so its window repaints and
// its timers tick), the progress address, and a stop asked for meanwhile.
bool stopped_before(uint32_t at, Failure& failure) {
    state().progress = static_cast<int32_t>(at);
    spi::pump_messages();
    if (!state().stop_requested) return false;
    failure = {text::kBackupStopped, at};
    return true;
}

bool range_refused(const std::string& target, int32_t address, int32_t length) {
    const uint64_t size = flash_size();
    if (!target.empty() && address >= 0 && length > 0 && length % flash::kPageSize == 0 &&
        static_cast<uint64_t>(address) + static_cast<uint64_t>(length) <= size)
        return false;
    host::showf(text::kBackupRefused, target.c_str(), static_cast<unsigned long long>(size));
    return true;
}

} // namespace

int backup_flash(const char* path, int32_t address, int32_t length) {
    const std::string target = path ? path : "";
    if (range_refused(target, address, length)) return 0;
    if (!state().opened) {
        host::showf(text::kBackupNotOpen, target.c_str());
        return 0;
    }
    files::AtomicFile file(target);
    if (file.status() != files::Outcome::kWritten) {
        host::showf(text::kBackupCreateFailed, target.c_str());
        return 0;
    }
    // A backup is the only copy of what a board held: an earlier one of
    // the same name (or at the end of a link of that name) is kept, never
    // replaced.
    std::error_code exists;
    if (std::filesystem::is_regular_file(std::filesystem::status(target, exists))) {
        host::showf(text::kBackupExists, target.c_str());
        return 0;
    }
    // Reads past the chip's end wrap onto its start, so a backup that
    // reaches there would save the wrong bytes as a success: the chip's
    // size is learnt before the range is trusted.
    if (state().jedec_id == std::array<uint8_t, 3>{}) {
        flash::chip_id(nullptr);
        if (range_refused(target, address, length)) return 0;
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
        if (stopped_before(at, failure)) break;
        if (!flash::read_burst(at, piece))
            failure = {text::kBackupReadFailed, at};
        else if (!file.write(piece))
            failure = {text::kBackupWriteFailed};
    }
    if (!failure.format && !file.sync()) failure = {text::kBackupWriteFailed};
    for (uint32_t at = begin; at < end && !failure.format; at += kPiece) {
        const uint32_t n = std::min(kPiece, end - at);
        std::span<uint8_t> flash_piece(from_flash.data(), n), file_piece(from_file.data(), n);
        if (stopped_before(at, failure)) break;
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
    if (!failure.format && !file.commit_new()) {
        if (errno == EEXIST) {
            host::showf(text::kBackupExists, target.c_str());
            return 0;
        }
        failure = {text::kBackupWriteFailed};
    }
    if (!failure.format) return 1;
    if (failure.format == text::kBackupWriteFailed)
        host::showf(text::kBackupWriteFailed, target.c_str());
    else
        host::showf(failure.format, failure.at, target.c_str());
    return 0;
}

} // namespace zintra::backup
