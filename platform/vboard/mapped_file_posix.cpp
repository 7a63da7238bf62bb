#include "mapped_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vboard {
namespace {

std::string describe(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool write_all(int fd, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::unique_ptr<MappedFile> MappedFile::open(const std::string& path, std::string& error) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        error = describe("cannot open", path);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = path + " is not a regular file";
        ::close(fd);
        return nullptr;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void* data = nullptr;
    if (size > 0) {
        data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (data == MAP_FAILED) {
            error = describe("cannot map", path);
            ::close(fd);
            return nullptr;
        }
    }
    return std::unique_ptr<MappedFile>(new MappedFile(fd, static_cast<uint8_t*>(data), size));
}

// Written and synced under a temporary name, then linked to its own: a link
// never replaces a file that appeared meanwhile, and never shows half a file.
bool MappedFile::create(const std::string& path, std::size_t size, uint8_t fill,
                        std::string& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return true;
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = describe("cannot create", temp);
        return false;
    }
    ::fchmod(fd, 0644);
    const std::vector<uint8_t> bytes(size, fill);
    bool ok = write_all(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    if (!ok) error = describe("cannot write", temp);
    if (::close(fd) != 0 && ok) {
        error = describe("cannot write", temp);
        ok = false;
    }
    if (ok && ::link(temp.c_str(), path.c_str()) != 0 && errno != EEXIST) {
        error = describe("cannot create", path);
        ok = false;
    }
    ::unlink(temp.c_str());
    return ok;
}

MappedFile::~MappedFile() {
    unlock();
    if (data_) ::munmap(data_, size_);
    ::close(static_cast<int>(handle_));
}

bool MappedFile::flush() {
    return !data_ || ::msync(data_, size_, MS_SYNC) == 0;
}

// flock belongs to the open file, not the process, so a second opening in
// the same process is refused as well as another process.
bool MappedFile::try_lock() {
    if (locked_) return true;
    while (::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) != 0)
        if (errno != EINTR) return false;
    locked_ = true;
    return true;
}

void MappedFile::unlock() {
    if (!locked_) return;
    ::flock(static_cast<int>(handle_), LOCK_UN);
    locked_ = false;
}

} // namespace vboard
