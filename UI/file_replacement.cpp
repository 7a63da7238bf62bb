#include "file_replacement.h"

#include <cerrno>
#include <filesystem>
#include <map>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plexmoor {
namespace {

namespace fs = std::filesystem;

// As many links as the system itself follows before it gives up.
constexpr int kMostLinks = 40;
constexpr int kTemporaryNames = 100;

// The locks this process holds, by file, with how many holders each.
std::map<std::pair<dev_t, ino_t>, int>& HeldLocks() {
    static std::map<std::pair<dev_t, ino_t>, int> held;
    return held;
}

// The folder is synced after a rename, so the new name survives a power cut.
void SyncFolder(const std::string& file) {
    const std::string folder = fs::path(file).parent_path().string();
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

std::string FinalTarget(const std::string& path) {
    fs::path p = path;
    for (int hop = 0; hop < kMostLinks; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec))) break;
        const fs::path link = fs::read_symlink(p, ec);
        if (ec) break;
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    return p.string();
}

FileReplacement::~FileReplacement() {
    discard();
}

void FileReplacement::discard() {
    if (temporary_.empty()) return;
    ::unlink(temporary_.c_str());
    temporary_.clear();
}

bool FileReplacement::write(std::string_view contents) {
    discard();
    if (target_.empty()) return false;
    struct stat old {};
    const bool exists = ::stat(target_.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return false;
    // A folder, a pipe or a device node is never replaced by a plain file.
    if (exists && !S_ISREG(old.st_mode)) return false;
    // A file the user has made read-only stays as it is, although the
    // rename could replace it; for root too, whom access() lets write.
    if (exists && (::access(target_.c_str(), W_OK) != 0 || (old.st_mode & 0222) == 0)) return false;
    // A name no other writer uses, created here or not at all: a file or a
    // link planted under it is never followed or reused.
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < kTemporaryNames; ++attempt) {
        temporary_ =
            target_ + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        temporary_.clear();
        return false;
    }
    bool ok = !exists || ::fchmod(fd, old.st_mode & 07777) == 0;
    for (std::size_t done = 0; ok && done < contents.size();) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    // On disk before the rename, so that after a power cut the name holds
    // the old file or the whole new one, never an empty one.
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) discard();
    return ok;
}

bool FileReplacement::commit() {
    if (temporary_.empty() || ::rename(temporary_.c_str(), target_.c_str()) != 0) return false;
    temporary_.clear();
    SyncFolder(target_);
    return true;
}

FileLock::FileLock(const std::string& path) {
    const std::string file = FinalTarget(path);
    for (;;) {
        // Non-blocking, so that a pipe of that name is not waited on.
        fd_ = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat held {};
        if (fd_ < 0 || ::fstat(fd_, &held) != 0 || !S_ISREG(held.st_mode)) break;
        dev_ = held.st_dev;
        ino_ = held.st_ino;
        int& holders = HeldLocks()[{dev_, ino_}];
        if (holders > 0) {
            ++holders;
            return;
        }
        int locked;
        do
            locked = ::flock(fd_, LOCK_EX);
        while (locked != 0 && errno == EINTR);
        struct stat now {};
        // Still the file the path names: the previous holder may have
        // replaced it while this one waited.
        if (locked == 0 && ::stat(file.c_str(), &now) == 0 && now.st_dev == dev_ &&
            now.st_ino == ino_) {
            holders = 1;
            return;
        }
        HeldLocks().erase({dev_, ino_});
        ::close(fd_);
        fd_ = -1;
        if (locked != 0) return;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

FileLock::~FileLock() {
    if (fd_ < 0) return;
    auto it = HeldLocks().find({dev_, ino_});
    if (it != HeldLocks().end() && --it->second == 0) HeldLocks().erase(it);
    ::close(fd_); // the lock goes with the last descriptor of its open file
}

bool ReplaceFile(const std::string& target, std::string_view contents) {
    FileLock lock(target);
    FileReplacement file(target);
    return file.write(contents) && file.commit();
}

} // namespace plexmoor
