#include "file_replacement.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

namespace plexmoor {
namespace {

namespace fs = std::filesystem;

// As many links as the system itself follows before it gives up.
constexpr int kMostLinks = 40;
constexpr int kTemporaryNames = 100;

// The locks this process holds, by file, with how many holders each.
std::map<os::FileId, int>& HeldLocks() {
    static std::map<os::FileId, int> held;
    return held;
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
    std::remove(temporary_.c_str());
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
    std::FILE* file = nullptr;
    for (int attempt = 0; !file && attempt < kTemporaryNames; ++attempt) {
        temporary_ = target_ + "." + std::to_string(os::process_id()) + "-" +
                     std::to_string(attempt) + ".tmp";
        file = os::create_new_file(temporary_);
        if (!file && errno != EEXIST) break;
    }
    if (!file) {
        temporary_.clear();
        return false;
    }
    bool ok = (!exists || os::copy_permissions(target_, fileno(file))) &&
              std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    // On disk before the rename, so that after a power cut the name holds
    // the old file or the whole new one, never an empty one.
    ok = ok && os::flush_to_disk(file);
    ok = std::fclose(file) == 0 && ok;
    if (!ok) discard();
    return ok;
}

bool FileReplacement::commit() {
    if (temporary_.empty() || !os::replace_file(temporary_, target_)) return false;
    temporary_.clear();
    return true;
}

FileLock::FileLock(const std::string& path) {
    const std::string file = FinalTarget(path);
    for (;;) {
        handle_ = os::open_for_lock(file, id_);
        if (handle_ < 0) return;
        int& holders = HeldLocks()[id_];
        if (holders > 0) {
            ++holders;
            return;
        }
        const bool locked = os::lock_exclusive(handle_);
        os::FileId now;
        // Still the file the path names: the previous holder may have
        // replaced it while this one waited.
        if (locked && os::file_id(file, now) && now == id_) {
            holders = 1;
            return;
        }
        HeldLocks().erase(id_);
        os::close_for_lock(handle_);
        handle_ = -1;
        if (!locked) return;
    }
}

FileLock::~FileLock() {
    if (handle_ < 0) return;
    auto it = HeldLocks().find(id_);
    if (it != HeldLocks().end() && --it->second == 0) HeldLocks().erase(it);
    // The lock goes with the handle: with the last one in this process.
    os::close_for_lock(handle_);
}

bool ReplaceFile(const std::string& target, std::string_view contents) {
    FileLock lock(target);
    FileReplacement file(target);
    return file.write(contents) && file.commit();
}

} // namespace plexmoor
