#include "file_replacement.h"

#include "os.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plexmoor {

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
    struct stat old {};
    const bool exists = ::stat(target_.c_str(), &old) == 0;
    // A file the user has made read-only stays as it is, although the
    // rename could replace it.
    if (exists && ::access(target_.c_str(), W_OK) != 0) return false;
    // A name no other writer uses, so two saves at once cannot mix.
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary_ = target_ + "." + std::to_string(os::process_id()) + "-" +
                     std::to_string(attempt) + ".tmp";
        fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | os::kByteFileFlags, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        temporary_.clear();
        return false;
    }
    bool ok = !exists || os::copy_permissions(target_, fd);
    for (std::size_t done = 0; ok && done < contents.size();) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    // On disk before the rename, so that after a power cut the name holds
    // the old file or the whole new one, never an empty one.
    ok = ok && os::flush_to_disk(fd);
    ok = ::close(fd) == 0 && ok;
    if (!ok) discard();
    return ok;
}

bool FileReplacement::commit() {
    if (temporary_.empty() || !os::replace_file(temporary_, target_)) return false;
    temporary_.clear();
    return true;
}

bool ReplaceFile(const std::string& target, std::string_view contents) {
    FileReplacement file(target);
    return file.write(contents) && file.commit();
}

} // namespace plexmoor
