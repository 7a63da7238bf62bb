#include "file_handle.h"

#include "os.h"

#include <unistd.h>

namespace zintra {

File open_regular(const char* path) {
    if (!path) return File();
    const int fd = os::open_regular(path);
    if (fd < 0) return File();
    std::FILE* f = fdopen(fd, "rb");
    if (!f) ::close(fd);
    return File(f);
}

} // namespace zintra
