#include "atomic_file.h"

#include "os.h"
#include "stale_temporaries.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <utility>

namespace zintra::files {
namespace {

namespace fs = std::filesystem;

// Links followed before a chain counts as a loop, as the kernel counts them.
constexpr int kMaxLinks = 40;

// The file a write to `path` must replace: the last target of a chain of
// symlinks, so the link keeps pointing at the new contents. Empty for a
// loop.
std::string final_target(std::string path) {
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
        fs::path next = fs::read_symlink(path, ec);
        if (ec) return {};
        path = next.is_absolute() ? next.string() : (fs::path(path).parent_path() / next).string();
    }
    return {};
}

// Moves all of `bytes` with `io` (read or write), however few bytes each
// call takes.
template <typename Bytes, typename Io> bool whole(int fd, Bytes bytes, Io io) {
    while (!bytes.empty()) {
        ssize_t n = io(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

AtomicFile::AtomicFile(const std::string& path) {
    if (path.empty()) {
        status_ = Outcome::kEmptyPath;
        return;
    }
    target_ = final_target(path);
    if (target_.empty()) return;
    bool exists = false;
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            status_ = Outcome::kNotRegular;
            return;
        }
        // Without a write bit the file is meant to stay, even for root,
        // whom access() lets write anything.
        if (access(target_.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0) {
            status_ = Outcome::kReadOnly;
            return;
        }
        exists = true;
    }
    // A writer of this file killed before its rename left its temporary
    // file; it goes now, unless a live writer holds it.
    const fs::path target_path(target_);
    const std::string name = target_path.filename().string();
    RemoveStaleTemporaries(target_path.parent_path().empty() ? fs::path(".")
                                                             : target_path.parent_path(),
                           [&](std::string_view stem) { return stem == name; });
    // mkstemp creates the file with O_EXCL under a name of its own choosing:
    // nothing planted under a guessed name is followed or overwritten.
    temporary_ = target_ + ".XXXXXX";
    fd_ = os::create_unique_file(temporary_);
    if (fd_ < 0) {
        temporary_.clear();
        return;
    }
    if (exists) os::copy_permissions(target_, fd_);
    status_ = Outcome::kWritten;
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool AtomicFile::write(std::span<const uint8_t> bytes) {
    return fd_ >= 0 && whole(fd_, bytes, ::write);
}

bool AtomicFile::sync() {
    return fd_ >= 0 && os::flush_to_disk(fd_) && lseek(fd_, 0, SEEK_SET) == 0;
}

bool AtomicFile::read(std::span<uint8_t> out) {
    return fd_ >= 0 && whole(fd_, out, ::read);
}

bool AtomicFile::finish(bool renamed) {
    if (!renamed) return false;
    temporary_.clear();
    return true;
}

bool AtomicFile::commit() {
    if (fd_ < 0 || !sync()) return false;
    bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return finish(closed && os::replace_file(temporary_, target_));
}

bool AtomicFile::commit_new() {
    const int fd = commit_new_held();
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

int AtomicFile::commit_new_held() {
    if (fd_ < 0 || !sync()) return -1;
    // Refused where the name exists; the temporary name then goes with the
    // destructor.
    const int held = os::rename_new_held(std::exchange(fd_, -1), temporary_, target_);
    finish(held >= 0);
    return held;
}

Outcome write_file(const std::string& path, std::span<const uint8_t> bytes) {
    AtomicFile file(path);
    if (file.status() != Outcome::kWritten) return file.status();
    return file.write(bytes) && file.commit() ? Outcome::kWritten : Outcome::kFailed;
}

} // namespace zintra::files
