#include "file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zintra {

File open_regular(const char* path) {
    if (!path) return File();
    // Non-blocking, so a FIFO's open returns at once; it is refused below.
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return File();
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return File();
    }
    std::FILE* f = fdopen(fd, "rb");
    if (!f) ::close(fd);
    return File(f);
}

} // namespace zintra
