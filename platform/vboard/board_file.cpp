#include "board_file.h"

#include "os.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool load_board_file(const std::string& path, uint32_t size, std::vector<uint8_t>& contents,
                     bool& existed, std::string& error) {
    contents.assign(size, 0xFF);
    existed = false;
    int fd = ::open(path.c_str(), O_RDONLY | os::kByteFileFlags);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        error = describe("cannot open", path);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = path + " is not a regular file";
        ::close(fd);
        return false;
    }
    if (static_cast<uint64_t>(info.st_size) != size) {
        error = path + " holds " + std::to_string(info.st_size) +
                " bytes but the flash part holds " + std::to_string(size) +
                "; refusing it rather than guessing what it contains";
        ::close(fd);
        return false;
    }
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, contents.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    existed = true;
    if (done != size) {
        error = path + " changed size while it was read";
        return false;
    }
    return true;
}

bool save_board_file(const std::string& path, const std::vector<uint8_t>& contents,
                     std::string& error) {
    const std::string temp = path + ".tmp." + std::to_string(os::process_id());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | os::kByteFileFlags, 0644);
    if (fd < 0) {
        error = describe("cannot create", temp);
        return false;
    }
    bool ok = write_all(fd, contents.data(), contents.size()) && os::flush_to_disk(fd);
    if (!ok) error = describe("cannot write", temp);
    if (::close(fd) != 0 && ok) {
        error = describe("cannot write", temp);
        ok = false;
    }
    if (ok && !os::replace_file(temp, path)) {
        error = describe("cannot replace", path);
        ok = false;
    }
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

} // namespace vboard
